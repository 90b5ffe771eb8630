// What a Windows desktop shows of the tool: the arguments as the C runtime splits the wide command
// line, files that another program holds open, outputs never left hidden, and the icon.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
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

std::wstring wide(const std::string& utf8) {
    return std::filesystem::u8path(utf8).wstring();
}

DWORD attributesOf(const std::string& path) {
    return GetFileAttributesW(wide(path).c_str());
}

constexpr DWORD kHiddenOrTemporary = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY;

struct ArgumentCase : test::NamedCase {
    std::vector<std::string> arguments;
    int status;
    std::string message;
};

class WideArguments : public ::testing::TestWithParam<ArgumentCase> {};

// Every argument arrives as it was given, whatever letters, quotes and backslashes it holds, and
// a wildcard is a name like any other.
TEST_P(WideArguments, ArriveAsGiven) {
    const ArgumentCase& c = GetParam();
    test::TempDir dir;
    test::writeFile(dir.file("in.txt"), "ontime 5\n");
    const auto run = test::runTool(c.arguments, "", dir.path());
    EXPECT_EQ(c.status, run.status);
    EXPECT_NE(std::string::npos, run.err.find(c.message)) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, WideArguments,
    ::testing::Values(
        ArgumentCase{{"quote"}, {"--a\"b"}, 2, "unknown option '--a\"b'"},
        ArgumentCase{{"backslashes"}, {"--a\\\\\"b\\"}, 2, "unknown option '--a\\\\\"b\\'"},
        ArgumentCase{{"blanks"}, {"--a b\tc"}, 2, "unknown option '--a b\tc'"},
        ArgumentCase{{"beyond_the_code_page"}, {"--ключ-键"}, 2, "unknown option '--ключ-键'"},
        ArgumentCase{{"wildcard"}, {"*.txt", "out.hex"}, 1, "Can't open input file *.txt: "}),
    test::CaseName());

struct HeldCase : test::NamedCase {
    std::string held;  // the file another program has open
    DWORD sharing;     // what that program lets others do with it
    bool locked;       // whether it has locked the whole file too
    std::vector<std::string> arguments;
    std::string refused;  // "input file NAME" or "output file NAME"; "" when the run converts
};

// Another program's open file, as the held file of `c`, for the life of the object.
class HeldFile {
  public:
    HeldFile(const std::string& path, const HeldCase& c)
        : file_(CreateFileW(wide(path).c_str(), GENERIC_READ, c.sharing, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {
        OVERLAPPED start{};
        locked_ = c.locked &&
                  LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &start) != 0;
    }
    ~HeldFile() {
        OVERLAPPED start{};
        if (locked_) {
            UnlockFileEx(file_, 0, MAXDWORD, MAXDWORD, &start);
        }
        CloseHandle(file_);
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool holds(const HeldCase& c) const {
        return file_ != INVALID_HANDLE_VALUE && locked_ == c.locked;
    }

  private:
    HANDLE file_;
    bool locked_ = false;
};

class HeldByAnotherProgram : public ::testing::TestWithParam<HeldCase> {};

// A file that another program keeps to itself is named as such, before anything is written;
// one that it shares is converted.
TEST_P(HeldByAnotherProgram, IsToldAndKept) {
    const HeldCase& c = GetParam();
    test::TempDir dir;
    test::writeFile(dir.file("in.txt"), "ontime 5\n");
    test::writeFile(dir.file("old.hex"), "old\n");
    test::writeFile(dir.file("notes.txt"), "; my notes\n");
    const std::string before = test::readFile(dir.file(c.held));
    const auto files = [&dir] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(wide(dir.path()))) {
            names.push_back(entry.path().filename().u8string());
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> listing = files();
    {
        const HeldFile holder(dir.file(c.held), c);
        ASSERT_TRUE(holder.holds(c)) << GetLastError();
        const auto run = test::runTool(c.arguments, "", dir.path());
        EXPECT_EQ(c.refused.empty() ? 0 : 1, run.status);
        EXPECT_EQ(c.refused.empty() ? ""
                                    : "kr570convert: Can't open " + c.refused +
                                          ": the file is open in another program\n",
                  run.err);
    }
    EXPECT_EQ(before, test::readFile(dir.file(c.held)));
    if (!c.refused.empty()) {
        EXPECT_EQ(listing, files());
    }
}

constexpr DWORD kReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
const std::vector<std::string> kConvert = {"in.txt", "out.hex"};
const std::vector<std::string> kReplace = {"in.txt", "old.hex"};
const std::vector<std::string> kReport = {"--to=text", "in.txt", "notes.txt"};
const char* const kOldHex = "output file old.hex";
const char* const kNotes = "output file notes.txt";

INSTANTIATE_TEST_SUITE_P(
    Files, HeldByAnotherProgram,
    ::testing::Values(
        HeldCase{{"input_kept_to_itself"}, "in.txt", 0, false, kConvert, "input file in.txt"},
        HeldCase{{"input_locked"}, "in.txt", kReadWrite, true, kConvert, "input file in.txt"},
        HeldCase{{"input_shared_with_readers"}, "in.txt", FILE_SHARE_READ, false, kConvert, ""},
        HeldCase{{"output_kept_to_itself"}, "old.hex", 0, false, kReplace, kOldHex},
        // As the C runtime's fopen opens a file: no other program may remove or replace it.
        HeldCase{{"output_as_fopen_has_it"}, "old.hex", kReadWrite, false, kReplace, kOldHex},
        // Said before the text is found to be the user's: it could not have been read.
        HeldCase{{"report_over_a_held_text"}, "notes.txt", 0, false, kReport, kNotes}),
    test::CaseName());

struct OutputCase : test::NamedCase {
    std::vector<std::string> arguments;
    std::string output;
};

class FinishedOutput : public ::testing::TestWithParam<OutputCase> {};

// The new file an output is written to is hidden; the output it becomes, new or replacing an
// old one, is an ordinary file.
TEST_P(FinishedOutput, IsNotHidden) {
    const OutputCase& c = GetParam();
    test::TempDir dir;
    test::writeFile(dir.file("in.txt"), "ontime 5\n");
    test::writeFile(dir.file("old.hex"), "old\n");
    const auto run = test::runTool(c.arguments, "", dir.path());
    ASSERT_EQ(0, run.status) << run.err;
    const DWORD attributes = attributesOf(dir.file(c.output));
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_EQ(0U, attributes & kHiddenOrTemporary) << std::hex << attributes;
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, FinishedOutput,
    ::testing::Values(OutputCase{{"new_output"}, {"in.txt", "new.hex"}, "new.hex"},
                      OutputCase{{"replaced_output"}, {"in.txt", "old.hex"}, "old.hex"},
                      OutputCase{{"new_report"}, {"--to=text", "in.txt", "new.txt"}, "new.txt"}),
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
    std::FILE* const stream = opened.stream;
    ASSERT_NE(nullptr, stream) << opened.error;
    EXPECT_NE(0U, attributesOf(temporary) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_GE(std::fputs("new\n", stream), 0);
    EXPECT_EQ(0, std::fclose(stream));
    EXPECT_EQ(0, platform::commitTemporary(temporary, output));
    EXPECT_EQ(0U, attributesOf(output) & kHiddenOrTemporary);
    EXPECT_EQ(test::nativeText("new\n"), test::readFile(output));
}

INSTANTIATE_TEST_SUITE_P(Outputs, TemporaryBeside,
                         ::testing::Values(TemporaryCase{{"new_output"}, false},
                                           TemporaryCase{{"replaced_output"}, true}),
                         test::CaseName());

const std::wstring kExecutable = wide(KR570CONVERT_PATH);

struct IconCase : test::NamedCase {
    int size;
};

// The resource types of an icon's images (RT_ICON) and of its group (RT_GROUP_ICON).
constexpr WORD kIconImage = 3;
constexpr WORD kIconGroup = 14;

// The width of the icon that the system makes from the image of `size` pixels in the first icon
// group of `module`; 0 when the group has no image of that size.
int widthOfImage(HMODULE module, int size) {
    const HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(kIconGroup));
    if (group == nullptr) {
        return 0;
    }
    const auto* directory =
        static_cast<const unsigned char*>(LockResource(LoadResource(module, group)));
    // The group: 6 bytes of header with the count at 4, then 14 bytes an image, its width first
    // (0 for 256) and its resource number last.
    WORD count = 0;
    std::memcpy(&count, directory + 4, sizeof count);
    for (WORD i = 0; i < count; ++i) {
        const unsigned char* entry = directory + 6 + 14 * i;
        WORD id = 0;
        std::memcpy(&id, entry + 12, sizeof id);
        const HRSRC image =
            FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(kIconImage));
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

class Icon : public ::testing::TestWithParam<IconCase> {};

// The executable's icon has an image of each size that Windows shows a program at, from which
// the system makes an icon of that size.
TEST_P(Icon, HasEverySize) {
    const HMODULE module = LoadLibraryExW(
        kExecutable.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
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
