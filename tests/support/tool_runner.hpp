// Runs of the real kr570convert executable, for the end-to-end tests.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.hpp"

namespace kr570::test {

// What a run is given besides its arguments, and what else it may meet.
struct RunSetup {
    std::string input;                     // standard input
    bool inputClosed = false;              // the run starts with standard input closed
    std::vector<std::string> environment;  // entries NAME=VALUE added to the test's own
    // Each descriptor (on Windows 0, 1 or 2) is opened write-only on its path instead, or closed
    // when it is "".
    std::vector<std::pair<int, std::string>> descriptors;
    long fileSizeLimit = -1;  // bytes, as ulimit -f sets it; -1: none
    // Called once the run has started, with its process id and work folder.
    using Action = std::function<void(int processId, const std::string& workDir)>;
    Action whileRunning;
    // When not empty, the run goes under `strace -f -qq -y` with these options added, such as
    // {"-e", "trace=fsync,rename"} or {"-e", "inject=fsync:error=EIO"}; "{stdin}" stands for
    // the file the run's standard input comes from. What strace records is given back in
    // RunResult::trace.
    std::vector<std::string> strace;
    // The run goes as an unprivileged user (nobody) when the tests run as one who may write
    // every file (root), from a copy of the tool that every user may run; the work folder is
    // then made reachable and its files readable for every user. Not together with strace.
    bool unprivileged = false;
};

struct RunResult {
    int status = -1;    // exit status, or -1 when the run was killed
    int signal = 0;     // the signal that ended the run
    long peakKib = -1;  // the run's peak resident memory; -1 when the system does not tell
    std::string out;    // with "\n" line ends, whatever the system writes
    std::string err;
    // What strace recorded, one system call a line after the process id, file descriptors
    // followed by their paths in <>; empty when the run was not traced.
    std::optional<std::string> trace;
};

// Runs the real kr570convert in `workDir` with `arguments`. A run that takes longer than a few
// seconds is killed and reported with status -1, so a hang fails the test instead of stalling it.
RunResult runTool(const std::vector<std::string>& arguments, const std::string& workDir,
                  const RunSetup& setup = {});

// `text` as the tool writes it through a text stream on this system: on Windows every "\n"
// becomes CR LF. The tool's standard output and error in a RunResult are given back with
// "\n" line ends on every system.
std::string nativeText(const std::string& text);

// One run of the tool as a row of a table: the files its work folder holds, its command line,
// what else it is given, and what must come of it. Each part is set by name, so that a row reads
// as one line:
//   Tool("missing_input").args("-i missing.txt -o out.hex").fails("Can't open input file ...")
struct Tool : NamedCase {
    std::vector<std::string> arguments;
    std::vector<std::pair<std::string, std::string>> files;  // written before the run
    RunSetup setup;
    int status = 0;
    int signal = 0;
    std::optional<std::string> out;                  // the whole standard output, when given
    std::optional<std::string> err = std::string();  // the whole standard error: "" unless said
    std::string says;  // what standard error holds somewhere, whatever else it holds
    // The files afterwards, as they must be written byte for byte; nullopt: must not exist.
    std::vector<std::pair<std::string, std::optional<std::string>>> written;
    std::optional<std::vector<std::string>> calls;  // the traced calls, as tracedCalls gives them

    explicit Tool(std::string rowName = "") { name = std::move(rowName); }

    // What the run is given. A command line is split at blanks; argv() takes names with blanks.
    Tool& args(const std::string& line) { return set(arguments, words(line)); }
    Tool& argv(std::vector<std::string> list) { return set(arguments, std::move(list)); }
    Tool& file(std::string path, std::string text) { return add(files, {path, text}); }
    Tool& input(std::string text) { return set(setup.input, std::move(text)); }
    Tool& closedInput() { return set(setup.inputClosed, true); }
    Tool& env(std::string entry) { return add(setup.environment, entry); }
    Tool& fd(int number, std::string path) { return add(setup.descriptors, {number, path}); }
    Tool& fileSizeLimit(long bytes) { return set(setup.fileSizeLimit, bytes); }
    Tool& meanwhile(RunSetup::Action action) { return set(setup.whileRunning, action); }
    Tool& strace(std::vector<std::string> options) { return set(setup.strace, std::move(options)); }
    Tool& unprivileged() { return set(setup.unprivileged, true); }

    // What must come of it: the exit status (0 unless said), the outputs, the files.
    Tool& exits(int code) { return set(status, code); }
    Tool& stopped(int bySignal) { return set(signal, bySignal).exits(-1); }
    Tool& prints(std::string text) { return set(out, std::move(text)); }
    Tool& warns(std::string text) { return set(err, std::move(text)); }
    Tool& saying(std::string text) { return set(err, std::nullopt).set(says, std::move(text)); }
    // Exit 1 with "kr570convert: MESSAGE\n" and nothing else on standard error.
    Tool& fails(const std::string& message) { return exits(1).warns(kProgram + message + "\n"); }
    // Exit 2, nothing on standard output and "kr570convert: MESSAGE\n" on standard error: no
    // verdict of the compare mode; misused() adds "Try 'kr570convert --help'".
    Tool& refused(const std::string& message) { return prints("").fails(message).exits(2); }
    Tool& misused(const std::string& message) { return refused(message + "\n" + kTryHelp); }
    // Files as they must be afterwards: text in the system's line ends, bytes as they stand.
    Tool& writes(std::string path, std::string text) { return writesBytes(path, nativeText(text)); }
    Tool& writesBytes(std::string path, std::string bytes) { return add(written, {path, bytes}); }
    Tool& makesNo(std::string path) { return add(written, {path, std::nullopt}); }
    Tool& keeps(const std::string& path);  // as file() wrote it
    Tool& traces(std::vector<std::string> expected) { return set(calls, std::move(expected)); }

    // Writes the files into `folder` and runs the tool there.
    RunResult in(const std::string& folder) const;

  private:
    static inline const std::string kProgram = "kr570convert: ";
    static inline const std::string kTryHelp = "Try 'kr570convert --help'";

    template <typename Field, typename Value>
    Tool& set(Field& field, Value&& value) {
        field = std::forward<Value>(value);
        return *this;
    }
    template <typename Item>
    Tool& add(std::vector<Item>& list, Item item) {
        list.push_back(std::move(item));
        return *this;
    }
};

// Why this system cannot run `row` (a file size limit, strace, a device that is always full);
// nullptr when it can. One for each system.
const char* unsupported(const Tool& row);

// A table of runs, each row a Tool; a row this system cannot run is skipped with the reason.
class ToolRows : public ::testing::TestWithParam<Tool> {
  protected:
    void SetUp() override {
        if (const char* why = unsupported(GetParam())) {
            GTEST_SKIP() << why;
        }
    }
};

// Checks the run's status, outputs and files against what `row` says must come of it.
void expectOutcome(const Tool& row, const RunResult& run, const std::string& folder);

// Runs `row` in a folder of its own and checks what came of it.
RunResult check(const Tool& row);

// A device on which every write fails for want of space; nullptr where there is none.
const char* fullDevice();

// Makes a FIFO at `path`; false where the system has none.
bool makeFifo(const std::string& path);

// Asks the run `processId` to stop (SIGTERM), as a shutdown would; false where the system
// has no such request.
bool stopRun(int processId);

// Sets an environment variable of the test process itself; a `value` of nullptr removes it.
void setEnvironment(const char* name, const char* value);

}  // namespace kr570::test
