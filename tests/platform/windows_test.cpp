// What only Windows has, as the system shows it: the console window a run owns, the write of an
// output to the disk, the executable's version information, manifest and icon; and what a Windows
// desktop meets: arguments as the C runtime splits the wide command line, files that another
// program holds open, outputs never left hidden.
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

using test::Tool;

std::wstring wide(const std::string& utf8) {
    return std::filesystem::u8path(utf8).wstring();
}

const std::wstring kExecutable = wide(KR570CONVERT_PATH);

DWORD attributesOf(const std::string& path) {
    return GetFileAttributesW(wide(path).c_str());
}

constexpr DWORD kHiddenOrTemporary = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY;

struct ConsoleCase : test::NamedCase {
    DWORD creation;          // how the run is started: in a console of its own, or without one
    const wchar_t* through;  // "cmd.exe /c ": by a command prompt in that console
    const char* seam;        // KR570_OWNS_CONSOLE, or nullptr
    DWORD owns;
};

class ConsoleWindow : public ::testing::TestWithParam<ConsoleCase> {};

TEST_P(ConsoleWindow, IsOwnedWhenNoOtherProgramShowsIt) {
    const ConsoleCase& c = GetParam();
    std::wstring line = c.through + std::wstring(L"\"" KR570_CONSOLE_PROBE_PATH L"\"");
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
    {"from_a_console", CREATE_NEW_CONSOLE, L"cmd.exe /c ", nullptr, 0},
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
    const std::wstring name = c.path[0] != L'\0' ? c.path : wide(dir.file("out.hex"));
    std::FILE* stream = _wfopen(name.c_str(), c.mode);
    ASSERT_NE(nullptr, stream);
    EXPECT_EQ(c.error, platform::syncToDisk(stream));
    std::fclose(stream);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Streams, SyncToDisk, ::testing::ValuesIn(std::vector<SyncCase>{
    {"written_file", L"", L"w", 0},
    {"file_opened_to_read", L"", L"rb", EACCES},  // a handle that may not write cannot flush
    {"null_device", L"NUL", L"w", 0},
}), test::CaseName());
// clang-format on

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

// Every run here starts with a text to convert, an old output and a text of the user's.
Tool inFolder(Tool row) {
    return row.file("in.txt", "ontime 5\n").file("old.hex", "old\n").file("notes.txt", "; mine\n");
}

class WideArguments : public test::ToolRows {};

// Every argument arrives as it was given, whatever letters, quotes and backslashes it holds, and
// a wildcard is a name like any other.
TEST_P(WideArguments, ArriveAsGiven) {
    test::check(inFolder(GetParam()));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(CommandLines, WideArguments, ::testing::Values(
    Tool("quote").argv({"--a\"b"}).misused("unknown option '--a\"b'"),
    Tool("backslashes").argv({"--a\\\\\"b\\"}).misused("unknown option '--a\\\\\"b\\'"),
    Tool("blanks").argv({"--a b\tc"}).misused("unknown option '--a b\tc'"),
    Tool("beyond_the_code_page").argv({"--ключ-键"}).misused("unknown option '--ключ-键'"),
    Tool("wildcard").args("*.txt out.hex").exits(1).saying("Can't open input file *.txt: ")
), test::CaseName());
// clang-format on

// "/?" asks for the usage, as it does of Windows' own programs.
TEST(WindowsWords, SlashQuestionMarkPrintsTheUsage) {
    const auto help = test::check(Tool().args("--help"));
    EXPECT_EQ(0U, help.out.find("Usage: kr570convert"));
    test::check(Tool().args("/?").prints(help.out));
}

// A run while another program holds `held` open, letting others do what `sharing` says, and
// has it locked whole when `locked`.
struct HeldCase : Tool {
    std::string held;
    DWORD sharing = 0;
    bool locked = false;
};

class HeldByAnotherProgram : public ::testing::TestWithParam<HeldCase> {};

// A file that another program keeps to itself is named as such, before anything is written;
// one that it shares is converted.
TEST_P(HeldByAnotherProgram, IsToldAndKept) {
    const HeldCase& c = GetParam();
    const test::TempDir dir;
    Tool row = inFolder(c);
    for (const auto& [name, text] : row.files) {
        test::writeFile(dir.file(name), text);
    }
    const std::vector<std::string> before = test::listing(dir.path());
    const HANDLE file = CreateFileW(wide(dir.file(c.held)).c_str(), GENERIC_READ, c.sharing,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    OVERLAPPED whole{};
    const bool locked =
        c.locked && LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) != 0;
    EXPECT_TRUE(file != INVALID_HANDLE_VALUE && locked == c.locked) << GetLastError();
    const test::RunResult run = test::runTool(row.arguments, dir.path());
    if (locked) {
        UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
    }
    CloseHandle(file);
    // Every file as it was; a refused run has made none.
    test::expectOutcome(row.keeps(c.held), run, dir.path());
    if (c.status != 0) {
        EXPECT_EQ(before, test::listing(dir.path()));
    }
}

std::string held(const std::string& file) {
    return "Can't open " + file + ": the file is open in another program";
}

constexpr DWORD kReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
const std::string kInputHeld = held("input file in.txt");
const std::string kOldHeld = held("output file old.hex");

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, HeldByAnotherProgram, ::testing::ValuesIn(std::vector<HeldCase>{
    {Tool("input_kept_to_itself").args("in.txt out.hex").fails(kInputHeld), "in.txt"},
    {Tool("input_locked").args("in.txt out.hex").fails(kInputHeld), "in.txt", kReadWrite, true},
    {Tool("input_shared_with_readers").args("in.txt out.hex"), "in.txt", FILE_SHARE_READ},
    {Tool("output_kept_to_itself").args("in.txt old.hex").fails(kOldHeld), "old.hex"},
    // As the C runtime's fopen opens a file: no other program may remove or replace it.
    {Tool("output_as_fopen_has_it").args("in.txt old.hex").fails(kOldHeld), "old.hex", kReadWrite},
    // Said before the text is found to be the user's: it could not have been read.
    {Tool("report_over_a_held_text").args("--to=text in.txt notes.txt")
        .fails(held("output file notes.txt")), "notes.txt"},
}), test::CaseName());
// clang-format on

class FinishedOutput : public test::ToolRows {};

// The new file an output is written to is hidden; the output it becomes (the last argument),
// new or replacing an old one, is an ordinary file.
TEST_P(FinishedOutput, IsNotHidden) {
    const test::TempDir dir;
    const Tool row = inFolder(GetParam());
    test::expectOutcome(row, row.in(dir.path()), dir.path());
    const DWORD attributes = attributesOf(dir.file(row.arguments.back()));
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_EQ(0U, attributes & kHiddenOrTemporary) << std::hex << attributes;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Outputs, FinishedOutput, ::testing::Values(
    Tool("new_output").args("in.txt new.hex"), Tool("replaced_output").args("in.txt old.hex"),
    Tool("new_report").args("--to=text in.txt new.txt")
), test::CaseName());
// clang-format on

// Rows say whether an old output is replaced.
class TemporaryBeside : public ::testing::TestWithParam<test::ValueCase<bool>> {};

// While it is written the new file is hidden (and marked temporary, which Wine does not keep);
// once in place it is neither.
TEST_P(TemporaryBeside, IsHiddenUntilInPlace) {
    test::TempDir dir;
    const std::string output = dir.file("out.hex");
    if (GetParam().value) {
        test::writeFile(output, "old\n");
    }
    std::string temporary;
    const platform::Opened opened =
        platform::createTemporaryBeside(platform::inspectOutput(output), temporary);
    ASSERT_NE(nullptr, opened.stream) << opened.error;
    EXPECT_NE(0U, attributesOf(temporary) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_GE(std::fputs("new\n", opened.stream), 0);
    EXPECT_EQ(0, std::fclose(opened.stream));
    EXPECT_EQ(0, platform::commitTemporary(temporary, output));
    EXPECT_EQ(0U, attributesOf(output) & kHiddenOrTemporary);
    EXPECT_EQ(test::nativeText("new\n"), test::readFile(output));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Outputs, TemporaryBeside, ::testing::Values(
    test::ValueCase<bool>{{"new_output"}, false}, test::ValueCase<bool>{{"replaced_output"}, true}
), test::CaseName());
// clang-format on

class Icon : public ::testing::TestWithParam<test::ValueCase<int>> {};  // sizes in pixels

// The executable's icon has an image of each size that Windows shows a program at: the image the
// system picks for that size, in the first icon group, makes an icon of that size.
TEST_P(Icon, HasEverySize) {
    const int size = GetParam().value;
    const HMODULE module = LoadLibraryExW(
        kExecutable.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(nullptr, module) << GetLastError();
    // 14 is RT_GROUP_ICON and 3 RT_ICON, here as the wide functions take them.
    const HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));
    auto* directory = static_cast<BYTE*>(LockResource(LoadResource(module, group)));
    ASSERT_NE(nullptr, directory);
    const int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
    const HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));
    ASSERT_NE(nullptr, image);
    // Sizes of 0: the image's own size.
    const HICON icon = CreateIconFromResourceEx(
        static_cast<BYTE*>(LockResource(LoadResource(module, image))),
        SizeofResource(module, image), TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR);
    ICONINFO information{};
    BITMAP bitmap{};
    if (icon != nullptr && GetIconInfo(icon, &information) != 0) {
        GetObjectW(information.hbmColor, sizeof bitmap, &bitmap);
        DeleteObject(information.hbmColor);
        DeleteObject(information.hbmMask);
    }
    DestroyIcon(icon);
    FreeLibrary(module);
    EXPECT_EQ(size, bitmap.bmWidth);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Sizes, Icon, ::testing::ValuesIn(std::vector<Icon::ParamType>{
    {"small", 16}, {"medium", 32}, {"large", 48}, {"extra_large", 256},
}), test::CaseName());
// clang-format on

}  // namespace
}  // namespace kr570
