// What a run has to tell its user: warnings about its inputs, in the form compilers use
// ("NAME:LINE: warning: MESSAGE"), failures and mistakes on the command line. One reporter
// decides, for every message, whether and where it is shown.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Lets the compiler check a printf-style format against its arguments.
#define KR570_PRINTF(formatIndex, firstArgument) \
    __attribute__((format(printf, formatIndex, firstArgument)))

namespace kr570 {

class ConsoleInput;

// Why something could not be done: what failed, in the tool's words, and the system's reason
// as an errno value (0 when the tool's words say it all).
struct Failure {
    std::string what;
    int error = 0;
};

// One warning about one source of a run (a file, or a --set option).
struct Warning {
    std::string source;
    long line;  // 0 names the source alone
    std::string message;
};

// How a run wants its messages: --quiet shows no warning, --strict refuses any, and the
// dialogue shows a failure on its console and waits for a key before the window can close.
struct ReportMode {
    bool quiet = false;
    bool strict = false;
    bool dialogue = false;
};

// The one place that decides what a run shows. Everything a reader finds is reported here;
// shown or not, every warning counts alike, so that --strict decides the same with and without
// --quiet.
class Reporter {
  public:
    // Warnings and a batch run's failures go to `err`; the dialogue's failures to `out`, after
    // which it waits for a key on `keys`. A Reporter with no streams counts and collects only.
    Reporter(std::FILE* out, std::FILE* err, ConsoleInput* keys, ReportMode mode);
    Reporter() : Reporter(nullptr, nullptr, nullptr, ReportMode{}) {}

    void warn(Warning warning);
    // Tells the warnings that `held` collected, as if they had been told here.
    void tell(const Reporter& held);
    // "kr570convert: WHAT: REASON" on standard error, or WHAT on the dialogue's console and a
    // key wait.
    void fail(const Failure& failure);
    // A mistake on the command line.
    void usage(const std::string& mistake);

    const ReportMode& mode() const { return mode_; }
    int warnings() const { return static_cast<int>(warnings_.size()); }
    // Whether any warning was shown to the user.
    bool showedWarnings() const { return err_ != nullptr && !mode_.quiet && !warnings_.empty(); }
    const std::vector<Warning>& collected() const { return warnings_; }
    // How many warnings each source gave, in the order of their first: "x.txt: 2 warnings".
    std::string warningCounts() const;

  private:
    std::FILE* out_;
    std::FILE* err_;
    ConsoleInput* keys_;
    ReportMode mode_;
    std::vector<Warning> warnings_;
};

// The warnings about one source, named once: what the readers and checks report to.
class Diagnostics {
  public:
    Diagnostics(Reporter& reporter, std::string source)
        : reporter_(reporter), source_(std::move(source)) {}

    // A warning about line `line` of the source; a line of 0 names the source alone.
    void warn(long line, const char* format, ...) KR570_PRINTF(3, 4);

    int count() const { return count_; }
    const std::string& source() const { return source_; }

  private:
    Reporter& reporter_;
    std::string source_;
    int count_ = 0;
};

// A piece of the input quoted for a message: control bytes escaped as \xNN, so that binary
// garbage never reaches the user's terminal raw, and shortened with "..." when it is longer
// than kQuotedLongest characters.
std::string quoted(const std::string& text);

inline constexpr std::size_t kQuotedLongest = 40;

// Items of a message listed as people write them: "a", "a or b", "a, b or c" (with `last` "or").
std::string listed(const std::vector<std::string>& items, const char* last);

// The text of a printf-style format and its arguments.
std::string formatted(const char* format, ...) KR570_PRINTF(1, 2);

}  // namespace kr570
