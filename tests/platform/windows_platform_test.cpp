// What only Windows has: the console window a run owns, the write of an output to the disk, and
// the executable's version information and manifest as the system reads them.
#include <gtest/gtest.h>
#include <windows.h>
#include <winver.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ios>
#include <iterator>
#include <string>
#include <vector>

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
    std::wstring line = std::wstring(L"\"" KR570_CONSOLE_PROBE_PATH L"\" ") + c.option;
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

// clang-format off
INSTANTIATE_TEST_SUITE_P(Starts, ConsoleWindow, ::testing::ValuesIn(std::vector<ConsoleCase>{
    {"double_click", CREATE_NEW_CONSOLE, L"", nullptr, 1},
    {"from_a_console", CREATE_NEW_CONSOLE, L"--started-from-console", nullptr, 0},
    {"without_console", DETACHED_PROCESS, L"", nullptr, 0},
    {"seam_says_not_owned", CREATE_NEW_CONSOLE, L"", "0", 0},
    {"seam_says_owned", DETACHED_PROCESS, L"", "1", 1},
}), test::CaseName());
// clang-format on

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

const std::wstring kExecutable = std::filesystem::u8path(KR570CONVERT_PATH).wstring();

// The version information of the executable, as Explorer reads it for the file's properties.
std::vector<char> versionInformation() {
    const DWORD size = GetFileVersionInfoSizeW(kExecutable.c_str(), nullptr);
    std::vector<char> information(size);
    if (size == 0 || GetFileVersionInfoW(kExecutable.c_str(), 0, size, information.data()) == 0) {
        information.clear();
    }
    return information;
}

struct VersionString : test::NamedCase {
    const wchar_t* key;
    std::string expected;
};

class VersionInformation : public ::testing::TestWithParam<VersionString> {};

TEST_P(VersionInformation, ShowsTheProject) {
    std::vector<char> information = versionInformation();
    ASSERT_FALSE(information.empty());
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + GetParam().key;
    void* value = nullptr;
    UINT length = 0;
    ASSERT_NE(0, VerQueryValueW(information.data(), path.c_str(), &value, &length));
    const std::wstring text(static_cast<const wchar_t*>(value));
    EXPECT_EQ(GetParam().expected, std::string(text.begin(), text.end()));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Strings, VersionInformation,
                         ::testing::ValuesIn(std::vector<VersionString>{
    {"product", L"ProductName", KR570_PROJECT_NAME},
    {"description", L"FileDescription", KR570_DESCRIPTION},
    {"file_version", L"FileVersion", KR570_PROJECT_VERSION},
    {"product_version", L"ProductVersion", KR570_PROJECT_VERSION},
    {"copyright", L"LegalCopyright", KR570_COPYRIGHT},
    {"file_name", L"OriginalFilename", "kr570convert.exe"},
}), test::CaseName());
// clang-format on

// The numbers Windows compares versions by: 1.01 is 1.1.0.0.
TEST(VersionInformation, NumbersAreTheProjectVersion) {
    std::vector<char> information = versionInformation();
    ASSERT_FALSE(information.empty());
    void* value = nullptr;
    UINT length = 0;
    ASSERT_NE(0, VerQueryValueW(information.data(), L"\\", &value, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    unsigned major = 0;
    unsigned minor = 0;
    ASSERT_EQ(2, std::sscanf(KR570_PROJECT_VERSION, "%u.%u", &major, &minor));
    EXPECT_EQ((major << 16U) | minor, fixed->dwFileVersionMS);
    EXPECT_EQ(0U, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
}

// The manifest as the system takes it when the program starts: a manifest it cannot read
// would stop the program from starting at all.
TEST(Manifest, IsReadBySystem) {
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = kExecutable.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    const HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(INVALID_HANDLE_VALUE, context) << GetLastError();
    wchar_t setting[16] = {};
    SIZE_T length = 0;
    EXPECT_NE(0, QueryActCtxSettingsW(0, context,
                                      L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                                      L"longPathAware", setting, 16, &length));
    EXPECT_STREQ(L"true", setting);
    std::vector<char> compatibility(4096);
    ASSERT_NE(0, QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext,
                              compatibility.data(), compatibility.size(), &length));
    // Windows 7, 8, 8.1 and 10 (and 11), each as its identifier.
    const GUID supported[] = {
        {0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}},
        {0x4a2f28e3, 0x53b9, 0x4441, {0xba, 0x9c, 0xd6, 0x9d, 0x4a, 0x4a, 0x6e, 0x38}},
        {0x1f676c76, 0x80e1, 0x4239, {0x95, 0xbb, 0x83, 0xd0, 0xf6, 0xd0, 0xda, 0x78}},
        {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}}};
    DWORD count = 0;
    std::memcpy(&count, compatibility.data(), sizeof count);
    EXPECT_EQ(std::size(supported), count);
    // The layout of the entries differs between versions of Windows: each identifier is looked
    // for in what the system read.
    const char* const begin = compatibility.data();
    for (const GUID& system : supported) {
        const auto* bytes = reinterpret_cast<const char*>(&system);
        EXPECT_NE(begin + length, std::search(begin, begin + length, bytes, bytes + sizeof system))
            << std::hex << system.Data1;
    }
    ReleaseActCtx(context);
}

}  // namespace
}  // namespace kr570
