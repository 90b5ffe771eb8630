// Says through its exit status whether it has its console window to itself (1) or not (0), for
// the console window tests. Given "--started-from-console", it first starts a copy of itself in
// its own console, as a command prompt starts a program, and ends with that copy's status.
#include <windows.h>

#include <cstring>

#include "platform/platform.hpp"

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--started-from-console") != 0) {
        return kr570::platform::ownsConsoleWindow() ? 1 : 0;
    }
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(self, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process) == 0) {
        return 2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 2;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}
