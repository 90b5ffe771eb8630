// Runs of the tool on POSIX systems: forked with its standard streams on files, perhaps under
// strace or as the unprivileged user nobody, and waited for with a deadline.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <thread>

#include "support/tool_runner.hpp"

namespace kr570::test {

namespace {

namespace fs = std::filesystem;

// Lets every user reach `folder` and use the files in it as `files` says.
void openToEveryUser(const std::string& folder, fs::perms files = fs::perms::others_read) {
    fs::permissions(folder, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::error_code ignored;  // a link that leads nowhere, say
        fs::permissions(entry.path(), files, fs::perm_options::add, ignored);
    }
}

// Puts the open descriptor `fd` in the place of `target`; -1 closes `target`.
void moveTo(int fd, int target) {
    if (fd < 0) {
        close(target);
    } else if (fd != target) {
        dup2(fd, target);
        close(fd);
    }
}

// In the child, which cannot report through the test: says on the run's standard error which
// step failed and why, and ends with status 127.
[[noreturn]] void childFails(const std::string& step) {
    const std::string message = "test runner: " + step + ": " + std::strerror(errno) + "\n";
    (void)!write(STDERR_FILENO, message.data(), message.size());
    _exit(127);
}

// One run of the tool: its standard streams and trace in a folder of their own, its command line
// and environment, the user it runs as, the child and the wait for it.
class ToolRun {
  public:
    ToolRun(const std::vector<std::string>& arguments, const std::string& workDir,
            const RunSetup& setup)
        : setup_(setup), workDir_(workDir), environment_(setup.environment) {
        writeFile(io_.file("stdin"), setup.input);
        if (!setup.strace.empty()) {
            argv_ = {"strace", "-f", "-qq", "-y", "-o", io_.file("trace")};
            for (const std::string& option : setup.strace) {
                argv_.push_back(option == "{stdin}" ? io_.file("stdin") : option);
            }
            argv_.emplace_back("--");
            // LeakSanitizer cannot work under ptrace: a traced run of a sanitizer build is
            // checked for everything but leaks, which the untraced runs check.
            const char* asan = std::getenv("ASAN_OPTIONS");
            environment_.push_back("ASAN_OPTIONS=" + std::string(asan ? asan : "") +
                                   ":detect_leaks=0");
        }
        // Only a user who may write any file, write-protected or not (root), becomes nobody.
        const bool asNobody = setup.unprivileged && geteuid() == 0;
        argv_.emplace_back(asNobody ? unprivilegedTool() : std::string(KR570CONVERT_PATH));
        argv_.insert(argv_.end(), arguments.begin(), arguments.end());
    }

    RunResult run() {
        const pid_t child = fork();
        if (child == 0) {
            startTool();
        }
        if (setup_.whileRunning) {
            setup_.whileRunning(child, workDir_);
        }
        RunResult result;
        waitFor(child, result);
        result.out = readFile(io_.file("stdout"));
        result.err = readFile(io_.file("stderr"));
        if (!setup_.strace.empty()) {
            result.trace = readFile(io_.file("trace"));
            // strace notes on the shared standard error how it resolved a -P path: not the tool's.
            result.err =
                std::regex_replace(result.err, std::regex("strace: Requested path.*\n"), "");
        }
        return result;
    }

  private:
    // The build tree may lie where only its owner may enter (under /root, in a mktemp -d
    // folder): nobody runs a copy in the run's own folder, which every user may enter, in a work
    // folder opened to every user.
    std::string unprivilegedTool() {
        const passwd* nobody = getpwnam("nobody");
        // 65534 is nobody and nogroup wherever the name is not in the user database.
        uid_ = nobody != nullptr ? nobody->pw_uid : 65534;
        gid_ = nobody != nullptr ? nobody->pw_gid : 65534;
        const std::string tool = io_.file("kr570convert");
        fs::copy_file(KR570CONVERT_PATH, tool);
        openToEveryUser(io_.path(), fs::perms::others_read | fs::perms::others_exec);
        openToEveryUser(workDir_);
        return tool;
    }

    // In the child: the standard streams, the limit, the environment, the user, the folder,
    // then the tool.
    [[noreturn]] void startTool() {
        moveTo(setup_.inputClosed ? -1 : open(io_.file("stdin").c_str(), O_RDONLY), STDIN_FILENO);
        moveTo(open(io_.file("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
        moveTo(open(io_.file("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
        for (const auto& [descriptor, path] : setup_.descriptors) {
            moveTo(path.empty() ? -1 : open(path.c_str(), O_WRONLY), descriptor);
        }
        const auto limit = static_cast<rlim_t>(setup_.fileSizeLimit);
        const rlimit fileSize{limit, limit};
        if (setup_.fileSizeLimit >= 0 && setrlimit(RLIMIT_FSIZE, &fileSize) != 0) {
            childFails("no file size limit");
        }
        for (std::string& entry : environment_) {
            putenv(entry.data());
        }
        // As setpriv --reuid=nobody --regid=nogroup --clear-groups does.
        if (uid_ != 0 && (setgroups(0, nullptr) != 0 || setgid(gid_) != 0 || setuid(uid_) != 0)) {
            childFails("cannot become nobody");
        }
        if (chdir(workDir_.c_str()) != 0) {
            childFails("cannot enter the work folder " + workDir_);
        }
        std::vector<char*> argv(argv_.size() + 1, nullptr);  // ending in nullptr
        std::transform(argv_.begin(), argv_.end(), argv.begin(), [](auto& a) { return a.data(); });
        execvp(argv[0], argv.data());
        childFails("cannot start " + argv_[0]);
    }

    // The status, the signal and the peak memory, or status -1 when the run hangs and is killed.
    static void waitFor(pid_t child, RunResult& result) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int status = 0;
        rusage usage{};
        while (wait4(child, &status, WNOHANG, &usage) != child) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        result.peakKib = usage.ru_maxrss;
    }

    const RunSetup& setup_;
    const std::string workDir_;
    TempDir io_;
    std::vector<std::string> argv_;
    std::vector<std::string> environment_;
    uid_t uid_ = 0;  // the user the run goes as; 0: the test's own
    gid_t gid_ = 0;
};

}  // namespace

RunResult runTool(const std::vector<std::string>& arguments, const std::string& workDir,
                  const RunSetup& setup) {
    return ToolRun(arguments, workDir, setup).run();
}

std::string nativeText(const std::string& text) {
    return text;
}

const char* fullDevice() {
    return "/dev/full";
}

// Only strace may be missing.
const char* unsupported(const Tool& row) {
    const bool strace = row.setup.strace.empty() || std::system("strace -V >/dev/null 2>&1") == 0;
    return strace ? nullptr : "strace is not installed (Debian package strace)";
}

bool makeFifo(const std::string& path) {
    return mkfifo(path.c_str(), 0600) == 0;
}

bool stopRun(int processId) {
    return kill(processId, SIGTERM) == 0;
}

void setEnvironment(const char* name, const char* value) {
    value != nullptr ? setenv(name, value, 1) : unsetenv(name);
}

}  // namespace kr570::test
