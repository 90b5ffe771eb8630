#include "platform/handles_windows.hpp"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdint>

#include "platform/common.hpp"
#include "platform/text_windows.hpp"

namespace kr570::platform {

namespace {

struct ErrorPair {
    DWORD system;
    int error;
};

// The errors that opening, replacing, emptying and syncing a file meet, named as the C runtime
// names them (a name too long for the system names no file there either); any other is a
// failure of the device.
constexpr ErrorPair kErrors[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},
    {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_INVALID_DRIVE, ENOENT},
    {ERROR_BAD_NETPATH, ENOENT},
    {ERROR_BAD_NET_NAME, ENOENT},
    {ERROR_FILENAME_EXCED_RANGE, ENOENT},
    {ERROR_INVALID_NAME, EINVAL},
    {ERROR_INVALID_PARAMETER, EINVAL},
    {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_WRITE_PROTECT, EACCES},
    {ERROR_CANNOT_MAKE, EACCES},
    {ERROR_SHARING_VIOLATION, kErrorOpenElsewhere},
    {ERROR_LOCK_VIOLATION, kErrorOpenElsewhere},
    {ERROR_DISK_FULL, ENOSPC},
    {ERROR_HANDLE_DISK_FULL, ENOSPC},
};

// A lock that another program holds on any part of the file would stop this run's reads (or
// writes) there: a lock over every byte that a file may have, shared for reading and exclusive
// for writing, is refused then.
bool lockedElsewhere(HANDLE file, DWORD access) {
    if (GetFileType(file) != FILE_TYPE_DISK) {
        return false;
    }
    OVERLAPPED start{};
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY |
                        (access == GENERIC_WRITE ? DWORD{LOCKFILE_EXCLUSIVE_LOCK} : DWORD{0});
    if (LockFileEx(file, flags, 0, MAXDWORD, MAXDWORD, &start) != 0) {
        UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &start);
        return false;
    }
    return GetLastError() == ERROR_LOCK_VIOLATION;
}

}  // namespace

HANDLE handleOf(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

bool isUsable(HANDLE handle) {
    return handle != INVALID_HANDLE_VALUE && handle != nullptr;
}

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return isUsable(handle) && GetConsoleMode(handle, &mode) != 0;
}

int errorOf(DWORD system) {
    for (const ErrorPair& pair : kErrors) {
        if (pair.system == system) {
            return pair.error;
        }
    }
    return EIO;
}

int lastError() {
    return errorOf(GetLastError());
}

Opened streamOn(HANDLE file, DWORD access) {
    const bool reading = access == GENERIC_READ;
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(file),
                                   reading ? _O_RDONLY | _O_BINARY : _O_WRONLY | _O_TEXT);
    if (fd < 0) {
        CloseHandle(file);
        return {nullptr, EMFILE};
    }
    errno = 0;
    std::FILE* stream = _fdopen(fd, reading ? "rb" : "w");
    if (stream == nullptr) {
        const int error = errno != 0 ? errno : EMFILE;
        _close(fd);
        return {nullptr, error};
    }
    return {stream};
}

Opened openStream(const std::string& name, DWORD access, DWORD disposition) {
    const HANDLE file =
        CreateFileW(wideText(name).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!isUsable(file)) {
        return {nullptr, lastError()};
    }
    if (lockedElsewhere(file, access)) {
        CloseHandle(file);
        return {nullptr, kErrorOpenElsewhere};
    }
    return streamOn(file, access);
}

}  // namespace kr570::platform
