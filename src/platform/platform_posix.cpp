#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/platform.hpp"

namespace kr570::platform {

std::size_t readInput(int fd, char* buffer, std::size_t size) {
    ssize_t got = 0;
    do {
        got = read(fd, buffer, size);
    } while (got < 0 && errno == EINTR);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

// No line editing, no echo, and no signal keys, so that Ctrl-C is a key press like any other
// and the terminal is always restored.
bool waitForConsoleKey(int fd) {
    termios saved{};
    if (isatty(fd) == 0 || tcgetattr(fd, &saved) != 0) {
        return false;
    }
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &raw) != 0) {
        return false;
    }
    char key = 0;
    while (read(fd, &key, 1) < 0 && errno == EINTR) {
    }
    tcsetattr(fd, TCSANOW, &saved);
    return true;
}

bool asksForHelp(const std::string& /*argument*/) {
    return false;
}

const char* nameQuotes() {
    return "\"'";
}

void waitForInput(int fd) {
    pollfd request{fd, POLLIN, 0};
    while (poll(&request, 1, -1) < 0 && errno == EINTR) {
    }
}

// A terminal window belongs to its shell, which outlives the run: no run owns its window here.
bool ownsConsoleWindow() {
    const char* const seam = std::getenv("KR570_OWNS_CONSOLE");
    return seam != nullptr && std::strcmp(seam, "1") == 0;
}

std::optional<FileIdentity> identityOf(std::FILE* file) {
    struct stat status {};
    if (fstat(fileno(file), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino)};
}

std::tm localTime(std::time_t time) {
    std::tm result{};
    localtime_r(&time, &result);
    return result;
}

std::optional<std::tm> universalTime(std::time_t time) {
    std::tm result{};
    if (gmtime_r(&time, &result) == nullptr) {
        return std::nullopt;
    }
    return result;
}

// POSIX streams never translate bytes.
void setBinaryMode(std::FILE* /*stream*/) {}

Opened openForReading(const std::string& name) {
    errno = 0;
    std::FILE* input = std::fopen(name.c_str(), "rb");
    if (input == nullptr) {
        return {nullptr, errno != 0 ? errno : EIO};
    }
    // A folder opens for reading here but yields no data: converting it would pass an empty
    // configuration off as the user's.
    struct stat status {};
    if (fstat(fileno(input), &status) != 0 || S_ISDIR(status.st_mode)) {
        (void)std::fclose(input);  // read only: closing loses nothing
        return {nullptr, EISDIR};
    }
    return {input};
}

Opened openForWriting(const std::string& name) {
    errno = 0;
    std::FILE* output = std::fopen(name.c_str(), "w");
    return {output, output == nullptr ? (errno != 0 ? errno : EIO) : 0};
}

bool removeFile(const std::string& name) {
    return unlink(name.c_str()) == 0;
}

}  // namespace kr570::platform
