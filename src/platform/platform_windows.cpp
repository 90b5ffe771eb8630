#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <climits>

#include "platform/platform.hpp"

namespace kr570::platform {

namespace {

HANDLE handleOf(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

bool isUsable(HANDLE handle) {
    return handle != INVALID_HANDLE_VALUE && handle != nullptr;
}

// Shift, Ctrl and Alt on their own make no key press, as with _getch.
bool isKeyPress(const INPUT_RECORD& record) {
    if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) {
        return false;
    }
    const WORD key = record.Event.KeyEvent.wVirtualKeyCode;
    return key != VK_SHIFT && key != VK_CONTROL && key != VK_MENU;
}

std::optional<FileIdentity> identityOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!isUsable(handle) || GetFileInformationByHandle(handle, &information) == 0) {
        return std::nullopt;
    }
    return FileIdentity{
        information.dwVolumeSerialNumber,
        (std::uint64_t{information.nFileIndexHigh} << 32U) | information.nFileIndexLow};
}

}  // namespace

std::size_t readInput(int fd, char* buffer, std::size_t size) {
    const auto chunk = static_cast<unsigned>(size < INT_MAX ? size : INT_MAX);
    const int got = _read(fd, buffer, chunk);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

// The console's own input records, read with line input, echo and Ctrl-C processing off, so
// that every key, Ctrl-C included, is one press; the console mode is always restored.
bool waitForConsoleKey(int fd) {
    const HANDLE console = handleOf(fd);
    DWORD saved = 0;
    if (!isUsable(console) || GetConsoleMode(console, &saved) == 0 ||
        SetConsoleMode(console, 0) == 0) {
        return false;
    }
    INPUT_RECORD record{};
    DWORD count = 0;
    while (ReadConsoleInputW(console, &record, 1, &count) != 0 && !isKeyPress(record)) {
    }
    SetConsoleMode(console, saved);
    return true;
}

// A pipe is watched until a byte arrives or its writer closes it; files, devices and closed
// input have nothing to wait for.
void waitForInput(int fd) {
    const HANDLE input = handleOf(fd);
    if (!isUsable(input) || GetFileType(input) != FILE_TYPE_PIPE) {
        return;
    }
    DWORD available = 0;
    while (PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) != 0 && available == 0) {
        Sleep(10);
    }
}

std::optional<FileIdentity> identityOf(std::FILE* file) {
    return identityOfHandle(handleOf(_fileno(file)));
}

// The name is opened for its attributes only, sharing everything, so that a file another
// program (or this run) holds open is still found.
std::optional<FileIdentity> regularFileIdentity(const std::string& name) {
    const HANDLE file = CreateFileA(name.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (!isUsable(file)) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool regular = GetFileType(file) == FILE_TYPE_DISK &&
                         GetFileInformationByHandle(file, &information) != 0 &&
                         (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    std::optional<FileIdentity> identity = regular ? identityOfHandle(file) : std::nullopt;
    CloseHandle(file);
    return identity;
}

std::tm localTime(std::time_t time) {
    std::tm result{};
    localtime_s(&result, &time);
    return result;
}

std::optional<std::tm> universalTime(std::time_t time) {
    std::tm result{};
    if (gmtime_s(&result, &time) != 0) {
        return std::nullopt;
    }
    return result;
}

void setBinaryMode(std::FILE* stream) {
    _setmode(_fileno(stream), _O_BINARY);
}

std::FILE* openForReading(const std::string& name, int& error) {
    errno = 0;
    std::FILE* input = std::fopen(name.c_str(), "rb");
    if (input == nullptr) {
        error = errno != 0 ? errno : EIO;
        // Windows refuses to open a folder as a file and calls it a denied access.
        const DWORD attributes = GetFileAttributesA(name.c_str());
        if (error == EACCES && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            error = EISDIR;
        }
        return nullptr;
    }
    struct _stat64 status {};
    if (_fstat64(_fileno(input), &status) != 0 || (status.st_mode & _S_IFDIR) != 0) {
        std::fclose(input);
        error = EISDIR;
        return nullptr;
    }
    return input;
}

std::FILE* openForWriting(const std::string& name, int& error) {
    errno = 0;
    std::FILE* output = std::fopen(name.c_str(), "w");
    if (output == nullptr) {
        error = errno != 0 ? errno : EIO;
    }
    return output;
}

bool removeFile(const std::string& name) {
    return DeleteFileA(name.c_str()) != 0;
}

}  // namespace kr570::platform
