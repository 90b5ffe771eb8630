// Warnings about input files, in the form compilers use: "NAME:LINE: warning: MESSAGE".
#pragma once

#include <cstdio>
#include <string>

// Lets the compiler check a printf-style format against its arguments.
#define KR570_PRINTF(formatIndex, firstArgument) \
    __attribute__((format(printf, formatIndex, firstArgument)))

namespace kr570 {

// The one place that decides whether a warning is shown: the readers report everything they
// find, and a Diagnostics without a sink only counts. Shown or not, every warning counts the
// same, so that --strict decides alike with and without --quiet.
class Diagnostics {
  public:
    // `sink` nullptr: warnings are counted but never printed. `fileName` names the input in
    // every warning.
    Diagnostics(std::FILE* sink, std::string fileName);

    // A warning about line `line` of the file; a line of 0 names the file alone.
    void warn(long line, const char* format, ...) KR570_PRINTF(3, 4);

    int count() const { return count_; }

  private:
    std::FILE* sink_;
    std::string fileName_;
    int count_ = 0;
};

// A piece of the input quoted for a message: control bytes escaped as \xNN, so that binary
// garbage never reaches the user's terminal raw, and shortened with "..." when it is longer
// than kQuotedLongest characters.
std::string quoted(const std::string& text);

inline constexpr std::size_t kQuotedLongest = 40;

}  // namespace kr570
