// POSIX form of the safe output: mkstemp beside the target, rename over it, and signal
// handlers that remove the temporary file when the run is interrupted.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "platform/output.hpp"

namespace kr570::platform {

namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

// The one mutable global state of the program, and it has to be global: a signal handler
// reaches nothing but globals, and it must know which temporary file to remove. It holds a
// name only while a temporary file exists; it is set and cleared with the interrupt signals
// blocked, so the handler never sees half a name.
char pendingTemporary[PATH_MAX];
volatile std::sig_atomic_t temporaryPending = 0;

extern "C" void removeTemporaryAndStop(int signal) {
    if (temporaryPending != 0) {
        unlink(pendingTemporary);
    }
    // End the way the signal would have ended the process, so the caller sees it.
    std::signal(signal, SIG_DFL);
    raise(signal);
}

// Blocks the interrupt signals for the life of the object.
class InterruptsBlocked {
  public:
    InterruptsBlocked() {
        sigset_t set;
        sigemptyset(&set);
        for (const int signal : kInterrupts) {
            sigaddset(&set, signal);
        }
        sigprocmask(SIG_BLOCK, &set, &previous_);
    }
    ~InterruptsBlocked() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    InterruptsBlocked(const InterruptsBlocked&) = delete;
    InterruptsBlocked& operator=(const InterruptsBlocked&) = delete;

  private:
    sigset_t previous_{};
};

void catchInterrupts() {
    for (const int signal : kInterrupts) {
        struct sigaction current {};
        // A signal the caller chose to ignore (nohup, a shell's background job) stays ignored.
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = removeTemporaryAndStop;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return std::string();
    }
    return path.substr(0, slash + 1);
}

// Follows symbolic links from `name` to the final target, as opening the name would; the
// name itself when it is no link or cannot be read as one.
std::string finalTarget(const std::string& name) {
    std::string path = name;
    for (int hops = 0; hops < 40; ++hops) {
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t length = readlink(path.c_str(), buffer.data(), PATH_MAX);
        if (length < 0) {
            return path;
        }
        const std::string link(buffer.data(), static_cast<std::size_t>(length));
        path = (!link.empty() && link[0] == '/') ? link : folderOf(path) + link;
    }
    return name;  // a loop of links: opening the name reports it
}

// The permissions a new file gets from an ordinary create.
mode_t createMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

void prepareStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // The lowest free number is taken, and every lower one is open by now.
            open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        }
    }
    std::signal(SIGXFSZ, SIG_IGN);
}

// The C library's standard streams always sit on their descriptors.
std::FILE* standardStream(std::FILE* stream) {
    return stream;
}

std::string describeError(int error) {
    return std::strerror(error);
}

OutputTarget inspectOutput(const std::string& name) {
    OutputTarget target;
    target.path = finalTarget(name);
    struct stat status {};
    if (stat(target.path.c_str(), &status) != 0) {
        target.kind = errno == ENOENT ? OutputKind::Missing : OutputKind::Special;
        if (target.kind == OutputKind::Special) {
            target.path = name;
        }
        return target;
    }
    if (!S_ISREG(status.st_mode)) {
        target.kind = OutputKind::Special;
        target.path = name;
    } else {
        target.kind = status.st_nlink > 1 ? OutputKind::SharedFile : OutputKind::RegularFile;
        target.empty = status.st_size == 0;
        target.writeError = access(target.path.c_str(), W_OK) == 0 ? 0 : errno;
    }
    return target;
}

std::FILE* createTemporaryBeside(const std::string& target, std::string& temporary, int& error) {
    const std::size_t slash = target.rfind('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    // Hidden, named after the file it will become, and short enough for any file system.
    std::string pattern = folderOf(target) + "." + base.substr(0, 200) + ".XXXXXX";
    if (pattern.size() >= PATH_MAX) {
        error = ENAMETOOLONG;
        return nullptr;
    }
    struct stat existing {};
    const bool exists = stat(target.c_str(), &existing) == 0;
    const InterruptsBlocked blocked;
    catchInterrupts();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    std::memcpy(pendingTemporary, pattern.c_str(), pattern.size() + 1);
    temporaryPending = 1;
    temporary = pattern;
    if (exists) {
        // Best effort: only the owner's own files or root may hand a file to another owner.
        (void)fchown(fd, existing.st_uid, existing.st_gid);
    }
    fchmod(fd, exists ? static_cast<mode_t>(existing.st_mode & 07777) : createMode());
    std::FILE* stream = fdopen(fd, "w");
    if (stream == nullptr) {
        error = errno;
        close(fd);
        discardTemporary(temporary);
    }
    return stream;
}

int commitTemporary(const std::string& temporary, const std::string& target) {
    const InterruptsBlocked blocked;
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        return errno;
    }
    temporaryPending = 0;
    return 0;
}

void discardTemporary(const std::string& temporary) {
    const InterruptsBlocked blocked;
    unlink(temporary.c_str());
    temporaryPending = 0;
}

std::FILE* openInPlace(const std::string& name, int& error) {
    const int fd = open(name.c_str(), O_WRONLY);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    std::FILE* stream = fdopen(fd, "w");
    if (stream == nullptr) {
        error = errno;
        close(fd);
    }
    return stream;
}

// The system writes the file back to the disk in its own time: forcing it here (fsync on the
// file, and on its folder after the rename) is still to come.
int syncToDisk(std::FILE* /*stream*/) {
    return 0;
}

int emptyInPlace(std::FILE* stream) {
    const int fd = fileno(stream);
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        return errno;
    }
    if (S_ISREG(status.st_mode) && ftruncate(fd, 0) != 0) {
        return errno;
    }
    return 0;
}

}  // namespace kr570::platform
