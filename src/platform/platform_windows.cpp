#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/handles_windows.hpp"
#include "platform/platform.hpp"
#include "platform/text_windows.hpp"

namespace kr570::platform {

namespace {

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

// What was typed at the console, read in the console's own UTF-16 whatever its code page, and
// handed on as UTF-8. A UTF-16 unit takes at most three bytes, and a pair cut by the end of the
// buffer is completed at once: the rest of its line is already there.
std::size_t readConsole(HANDLE console, char* buffer, std::size_t size) {
    std::wstring typed(std::min<std::size_t>(size / 3, 4096), L'\0');
    const auto room = static_cast<DWORD>(typed.size() - 1);
    DWORD got = 0;
    if (ReadConsoleW(console, typed.data(), room, &got, nullptr) == 0 || got == 0) {
        return 0;
    }
    if (IS_HIGH_SURROGATE(typed[got - 1])) {
        DWORD rest = 0;
        ReadConsoleW(console, &typed[got], 1, &rest, nullptr);
        got += rest;
    }
    // A line that begins with Ctrl-Z ends the input, as for every program that reads a console.
    if (typed[0] == L'\x1a') {
        return 0;
    }
    const std::string text = utf8Text(typed.data(), got);
    std::memcpy(buffer, text.data(), text.size());
    return text.size();
}

}  // namespace

// Windows takes no name of more than 32767 units. A longer one is cut to at least one unit
// more than that (a UTF-8 byte never gives less than a quarter of a unit), which every call
// refuses as too long, and the cut keeps the length within what the conversion takes.
std::wstring wideText(const std::string& utf8) {
    constexpr std::size_t kLongestConverted = 4 * 32768;
    const int size = static_cast<int>(std::min(utf8.size(), kLongestConverted));
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string utf8Text(const wchar_t* wide, std::size_t length) {
    const int size = static_cast<int>(std::min<std::size_t>(length, INT_MAX / 3));
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, size, utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

std::size_t readInput(int fd, char* buffer, std::size_t size) {
    const HANDLE input = handleOf(fd);
    if (size >= 6 && isConsole(input)) {
        return readConsole(input, buffer, size);
    }
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

bool asksForHelp(const std::string& argument) {
    return argument == "/?";
}

// A Windows file name cannot hold a double quote, but may hold a single one.
const char* nameQuotes() {
    return "\"";
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

// A console that this process alone is attached to was made for it, and goes when it ends.
bool ownsConsoleWindow() {
    const char* const seam = std::getenv("KR570_OWNS_CONSOLE");
    if (seam != nullptr && (std::strcmp(seam, "0") == 0 || std::strcmp(seam, "1") == 0)) {
        return seam[0] == '1';
    }
    DWORD processes[2] = {};
    return GetConsoleProcessList(processes, 2) == 1;
}

std::optional<FileIdentity> identityOf(std::FILE* file) {
    return identityOfHandle(handleOf(_fileno(file)));
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

// Windows refuses to open a folder as a file and calls it a denied access.
Opened openForReading(const std::string& name) {
    Opened input = openStream(name, GENERIC_READ, OPEN_EXISTING);
    if (input.error == EACCES) {
        const DWORD attributes = GetFileAttributesW(wideText(name).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            input.error = EISDIR;
        }
    }
    return input;
}

Opened openForWriting(const std::string& name) {
    return openStream(name, GENERIC_WRITE, CREATE_ALWAYS);
}

bool removeFile(const std::string& name) {
    return DeleteFileW(wideText(name).c_str()) != 0;
}

}  // namespace kr570::platform
