// Runs of the tool on Windows: started by CreateProcessW with its standard handles on files, a
// command line the C runtime splits back into the arguments, and an environment of its own.
#include <windows.h>
// psapi.h needs the types of windows.h.
#include <psapi.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <regex>

#include "support/tool_runner.hpp"

namespace kr570::test {

namespace {

// Arguments, folders and names are UTF-8 in the tests, and the wide functions take them all.
std::wstring wide(const std::string& utf8) {
    return std::filesystem::u8path(utf8).wstring();
}

// One argument as the C runtime of the child splits its command line again: quoted when it
// is empty or holds blanks or quotes, with the backslashes before a quote doubled.
std::string quoted(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        return argument;
    }
    const std::string escaped =
        std::regex_replace(argument, std::regex(R"x((\\*)")x"), R"x($1$1\")x");
    return "\"" + std::regex_replace(escaped, std::regex(R"x((\\+)$)x"), "$1$1") + "\"";
}

// This process's environment with the entries NAME=VALUE added or replaced, as the block of
// NUL-terminated strings that CreateProcessW takes.
std::wstring environmentBlock(const std::vector<std::string>& extra) {
    std::wstring added;
    std::wstring names;  // each added name with its '=', between NULs
    for (const std::string& entry : extra) {
        added += wide(entry) + L'\0';
        names += L'\0' + wide(entry.substr(0, entry.find('=', 1) + 1)) + L'\0';
    }
    std::wstring block;
    wchar_t* const strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        const std::wstring current(entry);
        const std::wstring name = current.substr(0, current.find(L'=', 1) + 1);
        if (names.find(L'\0' + name + L'\0') == std::wstring::npos) {
            block += current + L'\0';
        }
    }
    FreeEnvironmentStringsW(strings);
    return block + added + L'\0';
}

// A handle on `path` that the run inherits, opened for `access` (GENERIC_READ or GENERIC_WRITE)
// as `disposition` says.
HANDLE inheritable(const std::string& path, DWORD access, DWORD disposition = OPEN_EXISTING) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void closeHandle(HANDLE handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
}

// The three standard handles a run starts with.
std::array<HANDLE, 3> standardHandles(const TempDir& io, const RunSetup& setup) {
    std::array<HANDLE, 3> handles = {
        setup.inputClosed ? nullptr : inheritable(io.file("stdin"), GENERIC_READ),
        inheritable(io.file("stdout"), GENERIC_WRITE, CREATE_ALWAYS),
        inheritable(io.file("stderr"), GENERIC_WRITE, CREATE_ALWAYS)};
    for (const auto& [descriptor, path] : setup.descriptors) {
        HANDLE& handle = handles.at(static_cast<std::size_t>(descriptor));
        closeHandle(handle);
        // A closed descriptor is a process started without that handle.
        handle = path.empty() ? nullptr : inheritable(path, GENERIC_WRITE);
    }
    return handles;
}

// Console text with CR LF line ends back to "\n"; a line end without its CR is marked, so
// that it shows in the comparison with the expected text.
std::string consoleText(const std::string& raw) {
    const std::string marked = std::regex_replace(raw, std::regex("\n"), "<LF without CR>\n");
    return std::regex_replace(marked, std::regex("\r<LF without CR>\n"), "\n");
}

// Waits for the run to end (or ends it when it hangs) and takes its status and memory.
void finish(const PROCESS_INFORMATION& process, RunResult& result) {
    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 255);
        WaitForSingleObject(process.hProcess, INFINITE);
    } else {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result.status = static_cast<int>(code);
    }
    // Wine does not keep the counters of a finished process: there they read as zero.
    PROCESS_MEMORY_COUNTERS memory{};
    if (K32GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory) != 0 &&
        memory.PeakWorkingSetSize > 0) {
        result.peakKib = static_cast<long>(memory.PeakWorkingSetSize / 1024U);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace

RunResult runTool(const std::vector<std::string>& arguments, const std::string& workDir,
                  const RunSetup& setup) {
    TempDir io;
    writeFile(io.file("stdin"), setup.input);
    std::string line = quoted(KR570CONVERT_PATH);
    for (const std::string& argument : arguments) {
        line += " " + quoted(argument);
    }
    std::wstring commandLine = wide(line);
    std::wstring environment = environmentBlock(setup.environment);
    const std::array<HANDLE, 3> standard = standardHandles(io, setup);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = standard[0];
    startup.hStdOutput = standard[1];
    startup.hStdError = standard[2];
    PROCESS_INFORMATION process{};
    RunResult result;
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT, environment.data(), wide(workDir).c_str(),
                       &startup, &process) != 0) {
        if (setup.whileRunning) {
            setup.whileRunning(static_cast<int>(process.dwProcessId), workDir);
        }
        finish(process, result);
    }
    std::for_each(standard.begin(), standard.end(), closeHandle);
    result.out = consoleText(readFile(io.file("stdout")));
    result.err = consoleText(readFile(io.file("stderr")));
    return result;
}

std::string nativeText(const std::string& text) {
    return std::regex_replace(text, std::regex("\n"), "\r\n");
}

// Windows has no device that is always full.
const char* fullDevice() {
    return nullptr;
}

// Windows has no device that is always full, no file size limit and no strace.
const char* unsupported(const Tool& row) {
    bool full = std::count(row.arguments.begin(), row.arguments.end(), "/dev/full") > 0;
    for (const auto& descriptor : row.setup.descriptors) {
        full = full || descriptor.second == "/dev/full";
    }
    if (full) {
        return "this system has no device that is always full";
    }
    if (!row.setup.strace.empty()) {
        return "this system cannot run the tool under strace";
    }
    return row.setup.fileSizeLimit >= 0 ? "Windows has no file size limit" : nullptr;
}

// Windows' named pipes live in a namespace of their own, not among the files of a folder.
bool makeFifo(const std::string& /*path*/) {
    return false;
}

// Windows has no request to stop that a console program can catch from another process that
// shares no console with it.
bool stopRun(int /*processId*/) {
    return false;
}

void setEnvironment(const char* name, const char* value) {
    _putenv_s(name, value != nullptr ? value : "");  // an empty value removes the variable
}

}  // namespace kr570::test
