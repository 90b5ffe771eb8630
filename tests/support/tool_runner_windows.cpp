#include <windows.h>
// psapi.h needs the types of windows.h.
#include <psapi.h>

#include <array>
#include <cstdlib>
#include <cwchar>

#include "support/tool_runner.hpp"

namespace kr570::test {

namespace {

// Arguments, folders and names are UTF-8 in the tests, and the wide functions take them all.
std::wstring wide(const std::string& utf8) {
    const int size = static_cast<int>(utf8.size());
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), size);
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return text;
}

std::string utf8(const std::wstring& text) {
    const int size = static_cast<int>(text.size());
    std::string bytes(3 * text.size(), '\0');
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, bytes.data(),
                                           static_cast<int>(bytes.size()), nullptr, nullptr);
    bytes.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return bytes;
}

// One argument as the C runtime of the child splits its command line again: quoted when it
// is empty or holds blanks or quotes, with the backslashes before a quote doubled.
std::string quoted(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        return argument;
    }
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}

std::string commandLine(const std::vector<std::string>& arguments) {
    std::string line = quoted(KR570CONVERT_PATH);
    for (const std::string& argument : arguments) {
        line += " " + quoted(argument);
    }
    return line;
}

// This process's environment with the entries NAME=VALUE added or replaced, as the block of
// NUL-terminated strings that CreateProcessW takes.
std::wstring environmentBlock(const std::vector<std::string>& extra) {
    std::wstring block;
    wchar_t* const strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        const std::wstring current(entry);
        const std::string name = utf8(current.substr(0, current.find(L'=', 1) + 1));
        bool replaced = false;
        for (const std::string& added : extra) {
            replaced = replaced || added.compare(0, name.size(), name) == 0;
        }
        if (!replaced) {
            block += current + L'\0';
        }
    }
    FreeEnvironmentStringsW(strings);
    for (const std::string& added : extra) {
        block += wide(added) + L'\0';
    }
    return block + L'\0';
}

enum class Access { Read, Create, Write };

HANDLE inheritable(const std::string& path, Access access) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(wide(path).c_str(), access == Access::Read ? GENERIC_READ : GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       access == Access::Create ? CREATE_ALWAYS : OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The three standard handles a run starts with, closed again here once it has ended.
class StandardHandles {
  public:
    StandardHandles(const TempDir& io, const RunSetup& setup) {
        handles_[0] = setup.inputClosed ? nullptr : inheritable(io.file("stdin"), Access::Read);
        handles_[1] = inheritable(io.file("stdout"), Access::Create);
        handles_[2] = inheritable(io.file("stderr"), Access::Create);
        for (const auto& [descriptor, path] : setup.descriptors) {
            HANDLE& handle = handles_.at(static_cast<std::size_t>(descriptor));
            close(handle);
            // A closed descriptor is a process started without that handle.
            handle = path.empty() ? nullptr : inheritable(path, Access::Write);
        }
    }
    ~StandardHandles() {
        for (HANDLE& handle : handles_) {
            close(handle);
        }
    }
    StandardHandles(const StandardHandles&) = delete;
    StandardHandles& operator=(const StandardHandles&) = delete;

    void into(STARTUPINFOW& startup) const {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = handles_[0];
        startup.hStdOutput = handles_[1];
        startup.hStdError = handles_[2];
    }

  private:
    static void close(HANDLE& handle) {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
        handle = nullptr;
    }

    std::array<HANDLE, 3> handles_{};
};

// Console text with CR LF line ends back to "\n"; a line end without its CR is marked, so
// that it shows in the comparison with the expected text.
std::string consoleText(const std::string& raw) {
    std::string text;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
            continue;
        }
        if (raw[i] == '\n' && (i == 0 || raw[i - 1] != '\r')) {
            text += "<LF without CR>";
        }
        text.push_back(raw[i]);
    }
    return text;
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
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    RunResult result;
    {
        const StandardHandles handles(io, setup);
        handles.into(startup);
        std::wstring line = wide(commandLine(arguments));
        std::wstring block = environmentBlock(setup.environment);
        PROCESS_INFORMATION process{};
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                           block.data(), wide(workDir).c_str(), &startup, &process) != 0) {
            if (setup.whileRunning) {
                setup.whileRunning(static_cast<int>(process.dwProcessId), workDir);
            }
            finish(process, result);
        }
    }
    result.out = consoleText(readFile(io.file("stdout")));
    result.err = consoleText(readFile(io.file("stderr")));
    return result;
}

std::string nativeText(const std::string& text) {
    std::string native;
    for (const char c : text) {
        if (c == '\n') {
            native.push_back('\r');
        }
        native.push_back(c);
    }
    return native;
}

// Windows has no device that is always full.
const char* fullDevice() {
    return nullptr;
}

const char* missingFeature(const RunSetup& setup) {
    if (!setup.strace.empty()) {
        return "this system cannot run the tool under strace";
    }
    return setup.fileSizeLimit >= 0 ? "Windows has no file size limit" : nullptr;
}

// The read-only attribute holds for every user.
bool writesAnyFile() {
    return false;
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
