// What only Windows has: the console window a run owns and the write of an output to the disk.
#include <gtest/gtest.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/output.hpp"
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

struct SyncCase : test::NamedCase {
    const wchar_t* path;  // "" for a file of the test's own
    const wchar_t* mode;
    int error;
};

class SyncToDisk : public ::testing::TestWithParam<SyncCase> {};

// A file on a disk is written out, and a failure says so; a device has nothing to write out.
TEST_P(SyncToDisk, WritesFilesOnly) {
    const SyncCase& c = GetParam();
    test::TempDir dir;
    test::writeFile(dir.file("out.hex"), "old\n");
    const std::wstring name =
        c.path[0] != L'\0' ? c.path : std::filesystem::u8path(dir.file("out.hex")).wstring();
    std::FILE* stream = _wfopen(name.c_str(), c.mode);
    ASSERT_NE(nullptr, stream);
    EXPECT_EQ(c.error, platform::syncToDisk(stream));
    std::fclose(stream);
}

INSTANTIATE_TEST_SUITE_P(Streams, SyncToDisk,
                         ::testing::Values(SyncCase{{"written_file"}, L"", L"w", 0},
                                           // A handle that may not write cannot flush either.
                                           SyncCase{{"file_opened_to_read"}, L"", L"rb", EACCES},
                                           SyncCase{{"null_device"}, L"NUL", L"w", 0}),
                         test::CaseName());

}  // namespace
}  // namespace kr570
