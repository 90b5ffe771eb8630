// What only Windows has: the console window a run owns.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570 {
namespace {

struct ConsoleCase : test::NamedCase {
    DWORD creation;         // how the run is started: in a console of its own, or without one
    const wchar_t* option;  // "--started-from-console": from a program already in that console
    const char* seam;       // KR570_OWNS_CONSOLE, or nullptr
    DWORD owns;
};

class ConsoleWindow : public ::testing::TestWithParam<ConsoleCase> {};

TEST_P(ConsoleWindow, IsOwnedWhenNoOtherProgramShowsIt) {
    const ConsoleCase& c = GetParam();
    std::wstring line = L"\"" KR570_CONSOLE_PROBE_PATH L"\" ";
    line += c.option;
    test::setEnvironment("KR570_OWNS_CONSOLE", c.seam);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, c.creation,
                                        nullptr, nullptr, &startup, &process);
    test::setEnvironment("KR570_OWNS_CONSOLE", nullptr);
    ASSERT_NE(0, started) << GetLastError();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 2;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(c.owns, status);
}

INSTANTIATE_TEST_SUITE_P(
    Starts, ConsoleWindow,
    ::testing::Values(
        ConsoleCase{{"double_click"}, CREATE_NEW_CONSOLE, L"", nullptr, 1},
        ConsoleCase{{"from_a_console"}, CREATE_NEW_CONSOLE, L"--started-from-console", nullptr, 0},
        ConsoleCase{{"without_console"}, DETACHED_PROCESS, L"", nullptr, 0},
        ConsoleCase{{"seam_says_not_owned"}, CREATE_NEW_CONSOLE, L"", "0", 0},
        ConsoleCase{{"seam_says_owned"}, DETACHED_PROCESS, L"", "1", 1}),
    test::CaseName());

}  // namespace
}  // namespace kr570
