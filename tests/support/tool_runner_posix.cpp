#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570::test {

RunResult runTool(const std::vector<std::string>& arguments, const std::string& input,
                  const std::string& workDir, const std::vector<std::string>& environment,
                  Stdin stdinKind, const RunSetup& setup) {
    TempDir io;
    const std::string inPath = io.file("stdin");
    const std::string outPath = io.file("stdout");
    const std::string errPath = io.file("stderr");
    writeFile(inPath, input);

    std::vector<std::string> argv{KR570CONVERT_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
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
        for (const std::string& entry : environment) {
            putenv(const_cast<char*>(entry.c_str()));
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
    return result;
}

std::string nativeText(const std::string& text) {
    return text;
}

const char* fullDevice() {
    return "/dev/full";
}

const char* missingFeature(const RunSetup& /*setup*/) {
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
