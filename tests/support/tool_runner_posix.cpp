#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570::test {

namespace {

// The executable `program` in the first folder of PATH that has one; "" when none has.
std::string findOnPath(const std::string& program) {
    const char* variable = std::getenv("PATH");
    const std::string folders = variable != nullptr ? variable : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        const std::string candidate = folder + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return "";
}

// Who an unprivileged run is: nobody, with no group but its own.
struct User {
    uid_t uid;
    gid_t gid;
};

User nobody() {
    const passwd* entry = getpwnam("nobody");
    // 65534 is nobody and nogroup wherever the name is not in the user database.
    return entry != nullptr ? User{entry->pw_uid, entry->pw_gid} : User{65534, 65534};
}

// Lets every user reach the folder and read the files in it, as they may in a shared folder.
void openToEveryUser(const std::string& folder) {
    namespace fs = std::filesystem;
    fs::permissions(folder, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::error_code ignored;
        if (entry.is_regular_file(ignored)) {
            fs::permissions(entry.path(), fs::perms::others_read, fs::perm_options::add, ignored);
        }
    }
}

// The whole command line: the tool and its arguments, after strace and its options when the
// run is traced to `tracePath`.
std::vector<std::string> commandLine(const std::vector<std::string>& arguments,
                                     const RunSetup& setup, const std::string& tracePath,
                                     const std::string& inPath) {
    std::vector<std::string> argv;
    if (!setup.strace.empty()) {
        argv = {findOnPath("strace"), "-f", "-qq", "-y", "-o", tracePath};
        for (const std::string& option : setup.strace) {
            argv.push_back(option == "{stdin}" ? inPath : option);
        }
        argv.emplace_back("--");
    }
    argv.emplace_back(KR570CONVERT_PATH);
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return argv;
}

}  // namespace

RunResult runTool(const std::vector<std::string>& arguments, const std::string& input,
                  const std::string& workDir, const std::vector<std::string>& environment,
                  Stdin stdinKind, const RunSetup& setup) {
    TempDir io;
    const std::string inPath = io.file("stdin");
    const std::string outPath = io.file("stdout");
    const std::string errPath = io.file("stderr");
    const std::string tracePath = io.file("trace");
    writeFile(inPath, input);
    const bool dropPrivileges = setup.unprivileged && writesAnyFile();
    const User user = dropPrivileges ? nobody() : User{0, 0};
    if (dropPrivileges) {
        openToEveryUser(workDir);
    }

    std::vector<std::string> argv = commandLine(arguments, setup, tracePath, inPath);
    std::vector<std::string> entries = environment;
    if (!setup.strace.empty()) {
        // LeakSanitizer cannot work under ptrace: a traced run of a sanitizer build is checked
        // for everything but leaks, which the untraced runs check.
        const char* asan = std::getenv("ASAN_OPTIONS");
        entries.push_back("ASAN_OPTIONS=" + std::string(asan != nullptr ? asan : "") +
                          ":detect_leaks=0");
    }
    std::vector<char*> rawArgv;
    for (std::string& argument : argv) {
        rawArgv.push_back(argument.data());
    }
    rawArgv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        if (stdinKind == Stdin::Closed) {
            close(STDIN_FILENO);
        } else {
            const int in = open(inPath.c_str(), O_RDONLY);
            dup2(in, STDIN_FILENO);
            close(in);
        }
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        close(out);
        close(err);
        for (const auto& [descriptor, path] : setup.descriptors) {
            close(descriptor);
            const int fd = path.empty() ? descriptor : open(path.c_str(), O_WRONLY);
            if (fd != descriptor) {
                dup2(fd, descriptor);
                close(fd);
            }
        }
        if (setup.fileSizeLimit >= 0) {
            const auto limit = static_cast<rlim_t>(setup.fileSizeLimit);
            const rlimit fileSize{limit, limit};
            setrlimit(RLIMIT_FSIZE, &fileSize);
        }
        for (const std::string& entry : entries) {
            putenv(const_cast<char*>(entry.c_str()));
        }
        // As setpriv --reuid=nobody --regid=nogroup --clear-groups does.
        if (dropPrivileges &&
            (setgroups(0, nullptr) != 0 || setgid(user.gid) != 0 || setuid(user.uid) != 0)) {
            _exit(126);
        }
        if (chdir(workDir.c_str()) != 0) {
            _exit(127);
        }
        execv(rawArgv[0], rawArgv.data());
        _exit(127);
    }

    if (setup.whileRunning) {
        setup.whileRunning(child);
    }
    RunResult result;
    int waitStatus = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        rusage usage{};
        const pid_t done = wait4(child, &waitStatus, WNOHANG, &usage);
        if (done == child) {
            result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
            result.signal = WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : 0;
            result.peakKib = usage.ru_maxrss;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &waitStatus, 0);
            result.status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    if (!setup.strace.empty()) {
        result.trace = readFile(tracePath);
        // strace notes on the shared standard error how it resolved a -P path: not the tool's.
        const std::size_t note = result.err.find("strace: Requested path");
        if (note != std::string::npos) {
            const std::size_t start = result.err.rfind('\n', note);
            const std::size_t from = start == std::string::npos ? 0 : start + 1;
            result.err.erase(from, result.err.find('\n', note) + 1 - from);
        }
    }
    return result;
}

std::string nativeText(const std::string& text) {
    return text;
}

const char* fullDevice() {
    return "/dev/full";
}

const char* missingFeature(const RunSetup& setup) {
    if (!setup.strace.empty() && findOnPath("strace").empty()) {
        return "strace is not installed (Debian package strace)";
    }
    return nullptr;
}

bool writesAnyFile() {
    return geteuid() == 0;
}

bool makeFifo(const std::string& path) {
    return mkfifo(path.c_str(), 0600) == 0;
}

bool stopRun(int processId) {
    return kill(processId, SIGTERM) == 0;
}

void setEnvironment(const char* name, const char* value) {
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
}

}  // namespace kr570::test
