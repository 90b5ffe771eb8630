// The interactive run, through the real executable with piped standard input.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570 {
namespace {

using test::kDefaultHex;
using test::kDefaultText;
using test::Tool;

const std::string kBanner =
    "KR570 Motor Controller Configuration Compiler Utility V1.01\n"
    "Copyright KR570 Controls\n"
    "\n"
    "Enter input file with .hex or .txt extension - \n"
    "program will convert according to the file extension\n\n"
    "Enter input file name: ";
const std::string kAsked = kBanner + "Enter output file name: ";
const std::string kFinished = "\nProgram finished!\n";
const std::string kEstimates = test::kDefaultMotorBlock + kFinished;
const std::string kErased(1024, '\xff');  // a read-back of an EEPROM never written
// After a failure's message: the key wait and the closing message.
const std::string kWaited = "\nHit any key to exit\n" + kFinished;

// The dialogue with `typed` on its standard input, in a folder that holds `file` with `text`.
Tool dialogue(const std::string& typed, const std::string& file = "in.txt",
              const std::string& text = "") {
    return Tool().file(file, text).input(typed);
}

TEST(ConsoleRun, TextToHexDialogue) {
    const Tool row = dialogue("x-axis.txt\nx-axis.hex\n", "x-axis.txt", "; nothing changed\n");
    test::check(Tool(row).prints(kAsked + kEstimates).writes("x-axis.hex", kDefaultHex));
}

TEST(ConsoleRun, HexToTextDialogue) {
    const Tool row = dialogue("config.hex config.txt", "config.hex", kDefaultHex);
    const Tool report = Tool(row).env("SOURCE_DATE_EPOCH=1268903103").prints(kAsked + kFinished);
    test::check(Tool(report).writes("config.txt", test::kDefaultReport));
}

// Each row is named by the input file name typed.
struct DirectionCase : test::NamedCase {
    bool text;
};

class ConsoleDirection : public ::testing::TestWithParam<DirectionCase> {};

TEST_P(ConsoleDirection, FollowsTheLastCharacterOfTheName) {
    test::TempDir dir;
    // Valid both ways, and its content says neither: as text, and as HEX whose first line is
    // text, it sets ontime to 7.
    const std::string& name = GetParam().name;
    const std::string hex = test::hexOf(test::withSettings("ontime=7"));
    const Tool row = dialogue(name + "\nconverted\n", name, "x ontime 7\n" + hex);
    const auto run = Tool(row).env("SOURCE_DATE_EPOCH=0").in(dir.path());
    ASSERT_EQ(0, run.status) << run.out << run.err;
    const std::string out = test::readFile(dir.file("converted"));
    if (GetParam().text) {
        EXPECT_EQ(0U, out.find(":1000000085c21e4f")) << out;
        EXPECT_NE(std::string::npos, run.out.find("; Calculated motor parameters:"));
    } else {
        EXPECT_EQ(0U, out.find("; KR570 Configuration File")) << out;
        EXPECT_NE(std::string::npos, out.find(test::nativeText("ontime  7\n")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, ConsoleDirection,
    ::testing::Values(DirectionCase{"a.txt", true}, DirectionCase{"a.TXT", true},
                      DirectionCase{"a.lst", true}, DirectionCase{"t", true},
                      DirectionCase{"a.hex", false}, DirectionCase{"a.bak", false},
                      DirectionCase{"noextension", false}, DirectionCase{"a.tx", false},
                      // A name typed is a file's, "-" too: never standard input.
                      DirectionCase{"-", false}));

TEST(ConsoleRun, MissingInputEndsWithoutAskingForTheOutput) {
    const Tool row = Tool().input("missing.txt\n").exits(1);
    test::check(Tool(row).prints(kBanner + "Can't open input file missing.txt" + kWaited));
}

TEST(ConsoleRun, ClosedStandardInputNeverHangs) {
    test::check(Tool().closedInput().exits(1).prints(kBanner + "Can't open input file " + kWaited));
}

TEST(ConsoleRun, InputThatIsAFolderIsNotConverted) {
    const auto run = test::check(Tool().input(".\nout.hex\n").exits(1).makesNo("out.hex"));
    EXPECT_NE(std::string::npos, run.out.find("Can't open input file .\n"));
}

TEST(ConsoleRun, OutputInAMissingFolder) {
    const Tool row = dialogue("in.txt\nnowhere/out.hex\n").exits(1);
    test::check(Tool(row).prints(kAsked + "Can't open output file nowhere/out.hex" + kWaited));
}

// Failures found once both names are known: the message, the key wait, the closing message,
// and the files as they were.
struct DialogueFailure : test::NamedCase {
    std::string typed;
    std::string message;
};

class ConsoleFailures : public ::testing::TestWithParam<DialogueFailure> {};

TEST_P(ConsoleFailures, SayWhyWaitAndKeepTheFiles) {
    const Tool row = dialogue(GetParam().typed, "notes.txt", "; my notes\n").keeps("notes.txt");
    const Tool files = Tool(row).file("config.hex", kDefaultHex).file("erased.bin", kErased);
    test::check(
        Tool(files).exits(1).prints(kAsked + GetParam().message + kWaited).makesNo("out.txt"));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, ConsoleFailures, ::testing::ValuesIn(std::vector<DialogueFailure>{
    // A report never replaces a text the user wrote, in the dialogue as in a batch run.
    {"hand_written_text", "config.hex\nnotes.txt\n",
        "notes.txt exists and was not written by kr570convert; it is kept"},
    {"erased_readback", "erased.bin\nout.txt\n",
        "erased.bin holds no configuration: the EEPROM is erased (every byte 0xff)"},
}), test::CaseName());
// clang-format on

// A name between double quotes is read whole, blanks included, as a console pastes a file dragged
// into it; an unquoted name is one word.
class QuotedNames : public test::ToolRows {};

TEST_P(QuotedNames, AreReadWhole) {
    test::check(GetParam());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, QuotedNames, ::testing::Values(
    Tool("blanks_between_quotes").file("x axis.txt", kDefaultText).input("\"x axis.txt\"\n\"x axis.hex\"\n")
        .prints(kAsked + kEstimates).writes("x axis.hex", kDefaultHex),
    Tool("quotes_without_blanks").file("typos.txt", kDefaultText).input("\"typos.txt\" out.hex\n")
        .prints(kAsked + kEstimates).writes("out.hex", kDefaultHex),
    Tool("unquoted_is_one_word").file("x axis.txt", kDefaultText).input("x axis.txt\n").exits(1)
        .prints(kBanner + "Can't open input file x" + kWaited)
), test::CaseName());
// clang-format on

// The dialogue warns as a batch run does, on standard error; its standard output stays the
// dialogue.
TEST(ConsoleRun, WarningsGoToStandardError) {
    const Tool row = dialogue("typo.txt\nout.hex\n", "typo.txt", "stepmod half\nontime 128\n");
    const std::string typoWarning =
        "typo.txt:1: warning: 'stepmod half' is ignored: 'stepmod' is not a keyword; did you mean "
        "'stepmode'?\n";
    test::check(Tool(row).prints(kAsked + kEstimates).warns(typoWarning));
}

// A window that the run owns (a double-click, a file dropped on the executable) stays open
// after anything worth reading; KR570_OWNS_CONSOLE plays the owned window here.
struct WindowCase : test::NamedCase {
    std::string arguments;
    std::string typed;
    const char* owns;
    bool waits;
};

class OwnedWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(OwnedWindow, WaitsForAKeyAfterWhatMustBeRead) {
    const WindowCase& c = GetParam();
    test::TempDir dir;
    const Tool row =
        dialogue(c.typed, "in.txt", "ontime 5\n").file("typo.txt", "stepmod half\nontime 5\n");
    const Tool owned = Tool(row).file("config.hex", kDefaultHex).args(c.arguments);
    const auto run = Tool(owned).env(std::string("KR570_OWNS_CONSOLE=") + c.owns).in(dir.path());
    const std::string wait = "Hit any key to exit\n";
    const bool waited = run.out.size() >= wait.size() &&
                        run.out.compare(run.out.size() - wait.size(), wait.size(), wait) == 0;
    EXPECT_EQ(c.waits, waited) << run.out;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, OwnedWindow, ::testing::ValuesIn(std::vector<WindowCase>{
    {"dialogue_warned", "", "typo.txt\nout.hex\n", "1", true},
    {"dialogue_quiet", "", "config.hex\nout.txt\n", "1", false},
    {"dialogue_not_owned", "", "typo.txt\nout.hex\n", "0", false},
    {"dropped_text_shows_estimates", "in.txt", "", "1", true},
    {"dropped_image_says_nothing", "config.hex", "", "1", false},
    {"batch_failure", "missing.txt out.hex", "", "1", true},
    {"batch_not_owned", "in.txt out.hex", "", "0", false},
}), test::CaseName());
// clang-format on

TEST(ConsoleRun, OutputThatIsTheInputLeavesItUntouched) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    test::writeFile(dir.file("in.txt"), "ontime 5\n");
    std::filesystem::create_hard_link(dir.file("in.txt"), dir.file("hard.hex"));
    // Windows lets only privileged users make symbolic links.
    std::error_code noSymlink;
    std::filesystem::create_symlink("in.txt", dir.file("link.hex"), noSymlink);
    for (const std::string output :
         {"in.txt", "./in.txt", "sub/../in.txt", "hard.hex", "link.hex"}) {
        if (!noSymlink || output != "link.hex") {
            const Tool row = Tool().input("in.txt\n" + output + "\n").exits(1);
            const std::string message = "Output file " + output + " is the input file";
            test::expectOutcome(Tool(row).prints(kAsked + message + kWaited), row.in(dir.path()),
                                dir.path());
            EXPECT_EQ("ontime 5\n", test::readFile(dir.file("in.txt")));
        }
    }
}

TEST(ConsoleRun, ExistingOutputThatIsAnotherFileIsReplaced) {
    const Tool row = dialogue("in.txt\nold.hex\n", "in.txt", "; nothing changed\n");
    const Tool replaced = Tool(row).file("old.hex", std::string(5000, 'x'));
    test::check(Tool(replaced).prints(kAsked + kEstimates).writes("old.hex", kDefaultHex));
}

TEST(ConsoleRun, FullDiskIsReported) {
    const char* const full = test::fullDevice();
    if (full == nullptr) {
        GTEST_SKIP() << "this system has no device that is always full";
    }
    const auto run = test::check(dialogue(std::string("in.txt\n") + full + "\n").exits(1));
    EXPECT_NE(std::string::npos,
              run.out.find("Can't write output file " + std::string(full) + kWaited));
}

TEST(ConsoleRun, LongFileNamesAreKeptWhole) {
    const std::string name = std::string(230, 'n') + ".txt";
    const std::string output = std::string(230, 'o') + ".hex";
    const Tool row = dialogue(name + "\n" + output + "\n", name, "ontime 9\n");
    test::check(Tool(row).writes(output, test::hexOf(test::withSettings("ontime=9"))));
}

}  // namespace
}  // namespace kr570
