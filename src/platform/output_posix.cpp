// POSIX form of the safe output: mkstemp beside the target, fsync, rename over it, fsync of the
// folder, and signal handlers that remove the temporary file when the run is interrupted.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "platform/common.hpp"
#include "platform/output.hpp"

namespace kr570::platform {

const char kFolderSeparators[] = "/";

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
    (void)std::signal(signal, SIG_DFL);
    (void)raise(signal);
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
        if (!link.empty() && link[0] == '/') {
            path = link;
        } else {
            path = folderOf(path).append(link);
        }
    }
    return name;  // a loop of links: opening the name reports it
}

// fsync, again when a signal interrupts it; 0 or the error. A file system that cannot sync
// this kind of file (EINVAL) has nothing of it to write.
int syncDescriptor(int fd) {
    int result = 0;
    do {
        result = fsync(fd);
    } while (result != 0 && errno == EINTR);
    return result == 0 || errno == EINVAL ? 0 : errno;
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
    (void)std::signal(SIGXFSZ, SIG_IGN);
}

// The C library's standard streams always sit on their descriptors.
std::FILE* standardStream(std::FILE* stream) {
    return stream;
}

OutputTarget inspectOutput(const std::string& name) {
    OutputTarget target;
    target.path = finalTarget(name);
    struct stat status {};
    if (stat(target.path.c_str(), &status) != 0) {
        target.kind = errno == ENOENT ? TargetKind::Missing : TargetKind::Special;
        if (target.kind == TargetKind::Special) {
            target.path = name;
        }
        return target;
    }
    if (!S_ISREG(status.st_mode)) {
        target.kind = TargetKind::Special;
        target.path = name;
    } else {
        target.kind = status.st_nlink > 1 ? TargetKind::SharedFile : TargetKind::RegularFile;
        target.identity = FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                                       static_cast<std::uint64_t>(status.st_ino)};
        target.empty = status.st_size == 0;
        target.writeError = access(target.path.c_str(), W_OK) == 0 ? 0 : errno;
        target.permissions = static_cast<unsigned>(status.st_mode & 07777);
        target.owner = static_cast<unsigned>(status.st_uid);
        target.group = static_cast<unsigned>(status.st_gid);
    }
    return target;
}

Opened createTemporaryBeside(const OutputTarget& target, std::string& temporary) {
    const std::string folder = folderOf(target.path);
    const std::string base = target.path.substr(folder.size());
    // Hidden, named after the file it will become, and short enough for any file system.
    std::string pattern = folder + "." + base.substr(0, 200) + ".XXXXXX";
    if (pattern.size() >= PATH_MAX) {
        return {nullptr, ENAMETOOLONG};
    }
    const bool exists = target.kind == TargetKind::RegularFile;
    const InterruptsBlocked blocked;
    catchInterrupts();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        return {nullptr, errno};
    }
    std::memcpy(pendingTemporary, pattern.c_str(), pattern.size() + 1);
    temporaryPending = 1;
    temporary = pattern;
    if (exists) {
        // Best effort: only the owner's own files or root may hand a file to another owner.
        (void)fchown(fd, static_cast<uid_t>(target.owner), static_cast<gid_t>(target.group));
    }
    (void)fchmod(fd, exists ? static_cast<mode_t>(target.permissions) : createMode());
    std::FILE* stream = fdopen(fd, "w");
    if (stream == nullptr) {
        const int error = errno;
        close(fd);
        discardTemporary(temporary);
        return {nullptr, error};
    }
    return {stream};
}

int commitTemporary(const std::string& temporary, const std::string& target) {
    // The new name is part of the folder, which must reach the disk too: a file system may
    // otherwise write the rename before the data, or neither. A folder this user may write but
    // not read cannot be opened to sync; its entry is then left to the system.
    const std::string folder = folderOf(target);
    const int folderFd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    {
        const InterruptsBlocked blocked;
        if (rename(temporary.c_str(), target.c_str()) != 0) {
            const int error = errno;
            if (folderFd >= 0) {
                close(folderFd);
            }
            return error;
        }
        temporaryPending = 0;
    }
    if (folderFd < 0) {
        return 0;
    }
    const int error = syncDescriptor(folderFd);
    close(folderFd);
    return error;
}

void discardTemporary(const std::string& temporary) {
    const InterruptsBlocked blocked;
    unlink(temporary.c_str());
    temporaryPending = 0;
}

int syncToDisk(std::FILE* stream) {
    const int fd = fileno(stream);
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        return errno;
    }
    return S_ISREG(status.st_mode) ? syncDescriptor(fd) : 0;
}

Opened openInPlace(const std::string& name) {
    const int fd = open(name.c_str(), O_WRONLY);
    std::FILE* stream = fd < 0 ? nullptr : fdopen(fd, "w");
    const int error = stream == nullptr ? errno : 0;
    if (stream == nullptr && fd >= 0) {
        close(fd);
    }
    return {stream, error};
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
