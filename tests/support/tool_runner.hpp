// Runs of the real kr570convert executable, for the end-to-end tests.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kr570::test {

// How a test hands the tool its standard input.
enum class Stdin { Text, Closed };

// What else a run may meet: standard descriptors opened on other files or closed, a file
// size limit, something done to it while it runs, strace, and a user who may not write every
// file.
struct RunSetup {
    // Each descriptor (on Windows 0, 1 or 2) is opened write-only on its path instead, or closed
    // when it is "".
    std::vector<std::pair<int, std::string>> descriptors;
    long fileSizeLimit = -1;                          // bytes, as ulimit -f sets it; -1: none
    std::function<void(int processId)> whileRunning;  // called once the run has started
    // When not empty, the run goes under `strace -f -qq -y` with these options added, such as
    // {"-e", "trace=fsync,rename"} or {"-e", "inject=fsync:error=EIO"}; "{stdin}" stands for
    // the file the run's standard input comes from. What strace records is given back in
    // RunResult::trace.
    std::vector<std::string> strace{};
    // The run goes as an unprivileged user (nobody) when the tests run as one who may write
    // every file (root); the work folder is then made reachable and its files readable for
    // every user. Not together with strace.
    bool unprivileged = false;
};

struct RunResult {
    int status = -1;    // exit status, or -1 when the run was killed
    int signal = 0;     // the signal that ended the run
    long peakKib = -1;  // the run's peak resident memory; -1 when the system does not tell
    std::string out;    // with "\n" line ends, whatever the system writes
    std::string err;
    // What strace recorded, one system call a line after the process id, file descriptors
    // followed by their paths in <>; empty when the run was not traced (RunSetup::strace, on a
    // system whose runner can trace).
    std::optional<std::string> trace;
};

// Runs the real kr570convert in `workDir` with `arguments`, standard input from `input`, and
// the extra environment entries NAME=VALUE. A run that takes longer than a few seconds is
// killed and reported with status -1, so a hang fails the test instead of stalling it.
RunResult runTool(const std::vector<std::string>& arguments, const std::string& input,
                  const std::string& workDir, const std::vector<std::string>& environment = {},
                  Stdin stdinKind = Stdin::Text, const RunSetup& setup = {});

// `text` as the tool writes it through a text stream on this system: on Windows every "\n"
// becomes CR LF. The tool's standard output and error in a RunResult are given back with
// "\n" line ends on every system.
std::string nativeText(const std::string& text);

// A device on which every write fails for want of space; nullptr where there is none.
const char* fullDevice();

// Why this system cannot give a run `setup` (a file size limit has no Windows form, strace may
// be missing); nullptr when it can.
const char* missingFeature(const RunSetup& setup);

// Whether the tests run as a user who may write any file, write-protected or not (root).
bool writesAnyFile();

// Makes a FIFO at `path`; false where the system has none.
bool makeFifo(const std::string& path);

// Asks the run `processId` to stop (SIGTERM), as a shutdown would; false where the system
// has no such request.
bool stopRun(int processId);
// Sets an environment variable of the test process itself; a `value` of nullptr removes it.
void setEnvironment(const char* name, const char* value);

}  // namespace kr570::test
