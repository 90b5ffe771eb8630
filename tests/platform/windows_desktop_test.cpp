// What a Windows desktop shows of the tool: the arguments as the C runtime splits the wide command
// line, files that another program holds open, outputs never left hidden, and the icon.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
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

DWORD attributesOf(const std::string& path) {
    return GetFileAttributesW(wide(path).c_str());
}

constexpr DWORD kHiddenOrTemporary = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY;

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

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, HeldByAnotherProgram, ::testing::ValuesIn(std::vector<HeldCase>{
    {Tool("input_kept_to_itself").args("in.txt out.hex").fails(held("input file in.txt")),
        "in.txt"},
    {Tool("input_locked").args("in.txt out.hex").fails(held("input file in.txt")), "in.txt",
        kReadWrite, true},
    {Tool("input_shared_with_readers").args("in.txt out.hex"), "in.txt", FILE_SHARE_READ},
    {Tool("output_kept_to_itself").args("in.txt old.hex").fails(held("output file old.hex")),
        "old.hex"},
    // As the C runtime's fopen opens a file: no other program may remove or replace it.
    {Tool("output_as_fopen_has_it").args("in.txt old.hex").fails(held("output file old.hex")),
        "old.hex", kReadWrite},
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

INSTANTIATE_TEST_SUITE_P(Outputs, FinishedOutput,
                         ::testing::Values(Tool("new_output").args("in.txt new.hex"),
                                           Tool("replaced_output").args("in.txt old.hex"),
                                           Tool("new_report").args("--to=text in.txt new.txt")),
                         test::CaseName());

struct TemporaryCase : test::NamedCase {
    bool existing;  // whether an old output is replaced
};

class TemporaryBeside : public ::testing::TestWithParam<TemporaryCase> {};

// While it is written the new file is hidden (and marked temporary, which Wine does not keep);
// once in place it is neither.
TEST_P(TemporaryBeside, IsHiddenUntilInPlace) {
    test::TempDir dir;
    const std::string output = dir.file("out.hex");
    if (GetParam().existing) {
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

INSTANTIATE_TEST_SUITE_P(Outputs, TemporaryBeside,
                         ::testing::Values(TemporaryCase{{"new_output"}, false},
                                           TemporaryCase{{"replaced_output"}, true}),
                         test::CaseName());

// The width of the icon that the system makes from the image of `size` pixels in the first icon
// group of `module`; 0 when the group has no image of that size.
int widthOfImage(HMODULE module, int size) {
    // 14 is RT_GROUP_ICON and 3 RT_ICON, here as the wide functions take them.
    const HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));
    const auto* directory =
        static_cast<const unsigned char*>(LockResource(LoadResource(module, group)));
    // The group: 6 bytes of header with the count at 4, then 14 bytes an image, its width first
    // (0 for 256) and its resource number last.
    if (directory == nullptr) {
        return 0;
    }
    WORD count = 0;
    std::memcpy(&count, directory + 4, sizeof count);
    for (const unsigned char* entry = directory + 6; count > 0; --count, entry += 14) {
        WORD id = 0;
        std::memcpy(&id, entry + 12, sizeof id);
        const HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));
        if ((entry[0] == 0 ? 256 : entry[0]) != size || image == nullptr) {
            continue;
        }
        auto* bits = static_cast<BYTE*>(LockResource(LoadResource(module, image)));
        // Sizes of 0: the image's own size.
        const HICON icon = CreateIconFromResourceEx(bits, SizeofResource(module, image), TRUE,
                                                    0x00030000, 0, 0, LR_DEFAULTCOLOR);
        ICONINFO information{};
        BITMAP bitmap{};
        if (icon != nullptr && GetIconInfo(icon, &information) != 0) {
            GetObjectW(information.hbmColor, sizeof bitmap, &bitmap);
            DeleteObject(information.hbmColor);
            DeleteObject(information.hbmMask);
        }
        DestroyIcon(icon);
        return bitmap.bmWidth;
    }
    return 0;
}

struct IconCase : test::NamedCase {
    int size;
};

class Icon : public ::testing::TestWithParam<IconCase> {};

// The executable's icon has an image of each size that Windows shows a program at, from which
// the system makes an icon of that size.
TEST_P(Icon, HasEverySize) {
    const HMODULE module =
        LoadLibraryExW(wide(KR570CONVERT_PATH).c_str(), nullptr,
                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(nullptr, module) << GetLastError();
    EXPECT_EQ(GetParam().size, widthOfImage(module, GetParam().size));
    FreeLibrary(module);
}

INSTANTIATE_TEST_SUITE_P(Sizes, Icon,
                         ::testing::Values(IconCase{{"small"}, 16}, IconCase{{"medium"}, 32},
                                           IconCase{{"large"}, 48}, IconCase{{"extra_large"}, 256}),
                         test::CaseName());

}  // namespace
}  // namespace kr570
