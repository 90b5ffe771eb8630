// Windows form of the safe output: a new, hidden file made beside the target with CREATE_NEW,
// written to the disk, shown and put in place by ReplaceFile (which keeps the replaced file's
// attributes and security) or MoveFileEx, and a console control handler that removes the new
// file when Ctrl-C, Ctrl-Break or closing the console window ends the run. Names are UTF-8 here
// and go to the wide functions, which take every name a folder can hold.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// versionhelpers.h needs the types of windows.h.
#include <versionhelpers.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

#include "platform/common.hpp"
#include "platform/handles_windows.hpp"
#include "platform/output.hpp"
#include "platform/text_windows.hpp"

namespace kr570::platform {

const char kFolderSeparators[] = "/\\:";

namespace {

// The mutable global state of the program, and it has to be global: the console control
// handlers run on a thread of their own that reaches nothing else, and they must know which new
// file to remove and which code page to give the console back. The name is set and cleared
// under the lock, so the handler never sees half a name, and never removes a file that has just
// become the output; the code page is set before its handler exists.
constexpr std::size_t kLongestName = 32768;
wchar_t pendingTemporary[kLongestName];
bool temporaryPending = false;
SRWLOCK pendingLock = SRWLOCK_INIT;
UINT savedOutputCodePage = 0;

class PendingLocked {
  public:
    PendingLocked() { AcquireSRWLockExclusive(&pendingLock); }
    ~PendingLocked() { ReleaseSRWLockExclusive(&pendingLock); }
    PendingLocked(const PendingLocked&) = delete;
    PendingLocked& operator=(const PendingLocked&) = delete;
};

// Removes the new file and lets the next handler (the system's: the process ends) run.
BOOL WINAPI removeTemporaryAndStop(DWORD /*event*/) {
    const PendingLocked locked;
    if (temporaryPending) {
        DeleteFileW(pendingTemporary);
        temporaryPending = false;
    }
    return FALSE;
}

void restoreOutputCodePage() {
    SetConsoleOutputCP(savedOutputCodePage);
}

BOOL WINAPI restoreOutputCodePageAndStop(DWORD /*event*/) {
    restoreOutputCodePage();
    return FALSE;
}

// The attributes of a new file while it is written, none of which the finished output keeps.
constexpr DWORD kWhileWritten = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY;

// The new file shown as an ordinary file, before it takes its place; 0 or the error.
int showFinished(const std::wstring& name) {
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return lastError();
    }
    const DWORD rest = attributes & ~kWhileWritten;
    return SetFileAttributesW(name.c_str(), rest != 0 ? rest : FILE_ATTRIBUTE_NORMAL) != 0
               ? 0
               : lastError();
}

bool isMissing(DWORD system) {
    return system == ERROR_FILE_NOT_FOUND || system == ERROR_PATH_NOT_FOUND;
}

// The name that opening `file` reached, through every symbolic link and junction; `name` when
// the system cannot tell.
std::string finalPath(HANDLE file, const std::string& name) {
    std::vector<wchar_t> buffer(kLongestName);
    const DWORD length =
        GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= buffer.size()) {
        return name;
    }
    return utf8Text(buffer.data(), length);
}

// Whether another program holds the file open in a way that lets no new file take its place:
// the replace removes the old file, which each program that has it open must allow. It would
// fail only once the whole output is written.
bool heldElsewhere(const std::wstring& name) {
    const HANDLE file =
        CreateFileW(name.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (isUsable(file)) {
        CloseHandle(file);
        return false;
    }
    return lastError() == kErrorOpenElsewhere;
}

// What an existing, opened output is; its kind is Special unless it is a file on a disk.
OutputTarget describeOpened(HANDLE file, const std::string& name, const std::wstring& wide) {
    OutputTarget target;
    target.path = name;
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(file) != FILE_TYPE_DISK ||
        GetFileInformationByHandle(file, &information) == 0 ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return target;
    }
    target.kind = information.nNumberOfLinks > 1 ? TargetKind::SharedFile : TargetKind::RegularFile;
    target.identity = FileIdentity{
        information.dwVolumeSerialNumber,
        (std::uint64_t{information.nFileIndexHigh} << 32U) | information.nFileIndexLow};
    target.empty = information.nFileSizeHigh == 0 && information.nFileSizeLow == 0;
    // A read-only file stays protected, although a new file could take its place.
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        target.writeError = EACCES;
    } else if (target.kind == TargetKind::RegularFile && heldElsewhere(wide)) {
        target.writeError = kErrorOpenElsewhere;
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        target.path = finalPath(file, name);
    }
    return target;
}

// A name for the new file that no other run is likely to pick at the same moment.
std::string uniqueSuffix(unsigned attempt) {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    const std::uint64_t mixed = (std::uint64_t{GetCurrentProcessId()} << 32U) ^
                                static_cast<std::uint64_t>(counter.QuadPart) ^
                                (std::uint64_t{attempt} * 0x9E3779B97F4A7C15ULL);
    constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string suffix;
    for (std::uint64_t rest = mixed; suffix.size() < 6; rest /= 36U) {
        suffix.push_back(kDigits[rest % 36U]);
    }
    return suffix;
}

// The first `bytes` bytes of the UTF-8 `text`, or fewer, so that no character is cut.
std::string leadingCharacters(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) {
        return text;
    }
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0U) == 0x80U) {
        --bytes;
    }
    return text.substr(0, bytes);
}

// Makes the new file; it can be removed (by the control handler) while it is still open. A
// leading dot hides a file on Linux only: here it is hidden by its attribute, and marked as
// temporary while it is written, until commitTemporary puts it in place.
HANDLE createNew(const std::wstring& base, std::wstring& temporary) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string suffix = uniqueSuffix(attempt);
        temporary = base + std::wstring(suffix.begin(), suffix.end());
        const HANDLE file =
            CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                        nullptr, CREATE_NEW, kWhileWritten, nullptr);
        if (isUsable(file) || GetLastError() != ERROR_FILE_EXISTS) {
            return file;
        }
    }
    return INVALID_HANDLE_VALUE;
}

// The C runtime's descriptor `fd`, its stream and the system's standard handle `id` all on the
// null device, when the run started without that handle. The C runtime then keeps the
// descriptor's number taken but gives the stream no descriptor at all: `fd` is opened on the
// null device, so that no file the run opens can take that number, and the stream is opened
// again on it under a number of its own. Some C runtimes (Wine's) reopen no stream that has no
// descriptor: standardStream then gives one on `fd`.
void restoreStandard(DWORD id, int fd, std::FILE* stream, const char* mode) {
    if (isUsable(GetStdHandle(id))) {
        return;
    }
    const int opened = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
    if (opened < 0) {
        return;
    }
    if (opened != fd) {
        _dup2(opened, fd);
        _close(opened);
    }
    std::freopen("NUL", mode, stream);
    SetStdHandle(id, handleOf(fd));
}

// The tool's text is UTF-8, names included, and a console shows bytes in its output code page:
// the console is set to UTF-8 for the run and given its code page back when the run ends, as it
// belongs to the console, which the command prompt that started the run goes on using. Windows
// 7's console counts UTF-8 text it wrote in characters, not bytes, so that the C runtime takes
// the write for a failed one: there the console keeps its code page.
void showUtf8OnConsole() {
    if ((!isConsole(GetStdHandle(STD_OUTPUT_HANDLE)) &&
         !isConsole(GetStdHandle(STD_ERROR_HANDLE))) ||
        !IsWindows8OrGreater()) {
        return;
    }
    savedOutputCodePage = GetConsoleOutputCP();
    if (savedOutputCodePage == CP_UTF8 || SetConsoleOutputCP(CP_UTF8) == 0) {
        return;
    }
    std::atexit(restoreOutputCodePage);
    SetConsoleCtrlHandler(restoreOutputCodePageAndStop, TRUE);
}

}  // namespace

void prepareStandardStreams() {
    restoreStandard(STD_INPUT_HANDLE, 0, stdin, "r");
    restoreStandard(STD_OUTPUT_HANDLE, 1, stdout, "w");
    restoreStandard(STD_ERROR_HANDLE, 2, stderr, "w");
    showUtf8OnConsole();
}

std::FILE* standardStream(std::FILE* stream) {
    if (_fileno(stream) >= 0) {
        return stream;
    }
    const bool input = stream == stdin;
    std::FILE* own = _fdopen(input ? 0 : stream == stdout ? 1 : 2, input ? "r" : "w");
    return own != nullptr ? own : stream;
}

// The name is opened for its attributes only, following links as writing to it would, and
// sharing everything, so that a file another program holds open is still seen.
OutputTarget inspectOutput(const std::string& name) {
    const std::wstring wide = wideText(name);
    const HANDLE file = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (!isUsable(file)) {
        const bool missing = isMissing(GetLastError());
        OutputTarget target;
        target.path = name;
        // A link to nothing is left to opening the name itself, which says why it fails.
        const bool dangling = GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
        target.kind = missing && !dangling ? TargetKind::Missing : TargetKind::Special;
        return target;
    }
    const OutputTarget target = describeOpened(file, name, wide);
    CloseHandle(file);
    return target;
}

Opened createTemporaryBeside(const OutputTarget& target, std::string& temporary) {
    const std::string folder = folderOf(target.path);
    const std::string base = target.path.substr(folder.size());
    const std::wstring prefix = wideText(folder + "." + leadingCharacters(base, 200) + ".");
    if (prefix.size() + 7 > kLongestName) {
        return {nullptr, ENAMETOOLONG};
    }
    SetConsoleCtrlHandler(removeTemporaryAndStop, TRUE);
    std::wstring name;
    HANDLE file = INVALID_HANDLE_VALUE;
    {
        const PendingLocked locked;
        file = createNew(prefix, name);
        if (!isUsable(file)) {
            return {nullptr, lastError()};
        }
        std::wmemcpy(pendingTemporary, name.c_str(), name.size() + 1);
        temporaryPending = true;
    }
    temporary = utf8Text(name.data(), name.size());
    const Opened opened = streamOn(file, GENERIC_WRITE);
    if (opened.stream == nullptr) {
        discardTemporary(temporary);
    }
    return opened;
}

// ReplaceFile keeps what belongs to the replaced file (attributes, security, creation time);
// where it cannot (another file system, an older system), the plain replacing rename does. The
// new file loses the attributes it was written with first: no output is ever left hidden.
int commitTemporary(const std::string& temporary, const std::string& target) {
    const std::wstring from = wideText(temporary);
    const std::wstring to = wideText(target);
    const PendingLocked locked;
    const int shown = showFinished(from);
    if (shown != 0) {
        return shown;
    }
    const bool exists = GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES;
    bool done = exists && ReplaceFileW(to.c_str(), from.c_str(), nullptr,
                                       REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
    if (!done) {
        const DWORD flags = MOVEFILE_WRITE_THROUGH | (exists ? MOVEFILE_REPLACE_EXISTING : 0U);
        done = MoveFileExW(from.c_str(), to.c_str(), flags) != 0;
    }
    if (!done) {
        return lastError();
    }
    temporaryPending = false;
    return 0;
}

void discardTemporary(const std::string& temporary) {
    const std::wstring wide = wideText(temporary);
    const PendingLocked locked;
    DeleteFileW(wide.c_str());
    temporaryPending = false;
}

Opened openInPlace(const std::string& name) {
    return openStream(name, GENERIC_WRITE, OPEN_EXISTING);
}

int emptyInPlace(std::FILE* stream) {
    const HANDLE file = handleOf(_fileno(stream));
    if (GetFileType(file) != FILE_TYPE_DISK) {
        return 0;
    }
    LARGE_INTEGER start{};
    if (SetFilePointerEx(file, start, nullptr, FILE_BEGIN) == 0 || SetEndOfFile(file) == 0) {
        return lastError();
    }
    return 0;
}

// Only a file on a disk has buffers to write out: a pipe would wait here until its reader took
// everything, and a console or a device keeps nothing.
int syncToDisk(std::FILE* stream) {
    const int fd = _fileno(stream);
    const HANDLE file = fd >= 0 ? handleOf(fd) : INVALID_HANDLE_VALUE;
    if (!isUsable(file) || GetFileType(file) != FILE_TYPE_DISK) {
        return 0;
    }
    return FlushFileBuffers(file) != 0 ? 0 : lastError();
}

}  // namespace kr570::platform
