// The interactive run, through the real executable with piped standard input.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570 {
namespace {

using test::nativeText;
using test::runTool;

const std::string kBanner =
    "KR570 Motor Controller Configuration Compiler Utility V1.01\n"
    "Copyright KR570 Controls\n"
    "\n"
    "Enter input file with .hex or .txt extension - \n"
    "program will convert according to the file extension\n\n"
    "Enter input file name: ";

const std::string kMotorBlock = test::kDefaultMotorBlock;

const std::string kDefaultHex = test::readFile(test::sourcePath("tests/golden/default.hex"));

TEST(ConsoleRun, TextToHexDialogue) {
    test::TempDir dir;
    test::writeFile(dir.file("x-axis.txt"), "; nothing changed\n");
    const auto run = runTool({}, "x-axis.txt\nx-axis.hex\n", dir.path());
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(kBanner + "Enter output file name: " + kMotorBlock + "\nProgram finished!\n",
              run.out);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(nativeText(kDefaultHex), test::readFile(dir.file("x-axis.hex")));
}

TEST(ConsoleRun, HexToTextDialogue) {
    test::TempDir dir;
    test::writeFile(dir.file("config.hex"), kDefaultHex);
    const auto run =
        runTool({}, "config.hex config.txt", dir.path(), {"SOURCE_DATE_EPOCH=1268903103"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(kBanner + "Enter output file name: \nProgram finished!\n", run.out);
    EXPECT_EQ(nativeText(test::readFile(test::sourcePath("tests/golden/default_report.txt"))),
              test::readFile(dir.file("config.txt")));
}

// Each row is named by the input file name typed.
struct DirectionCase : test::NamedCase {
    bool text;
};

class ConsoleDirection : public ::testing::TestWithParam<DirectionCase> {};

TEST_P(ConsoleDirection, FollowsTheLastCharacterOfTheName) {
    test::TempDir dir;
    // Valid both ways: as text, and as HEX whose first line is text, it sets ontime to 7.
    test::writeFile(dir.file(GetParam().name), "ontime 7\n:0100350007c3\n");
    const auto run =
        runTool({}, std::string(GetParam().name) + "\nout\n", dir.path(), {"SOURCE_DATE_EPOCH=0"});
    ASSERT_EQ(0, run.status);
    const std::string out = test::readFile(dir.file("out"));
    if (GetParam().text) {
        EXPECT_EQ(0U, out.find(":1000000085c21e4f")) << out;
        EXPECT_NE(std::string::npos, run.out.find("; Calculated motor parameters:"));
    } else {
        EXPECT_EQ(0U, out.find("; KR570 Configuration File")) << out;
        EXPECT_NE(std::string::npos, out.find(nativeText("ontime  7\n")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, ConsoleDirection,
    ::testing::Values(DirectionCase{"a.txt", true}, DirectionCase{"a.TXT", true},
                      DirectionCase{"a.lst", true}, DirectionCase{"t", true},
                      DirectionCase{"a.hex", false}, DirectionCase{"a.bak", false},
                      DirectionCase{"noextension", false}, DirectionCase{"a.tx", false}));

TEST(ConsoleRun, MissingInputEndsWithoutAskingForTheOutput) {
    test::TempDir dir;
    const auto run = runTool({}, "missing.txt\n", dir.path());
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(
        kBanner + "Can't open input file missing.txt\nHit any key to exit\n\nProgram finished!\n",
        run.out);
}

TEST(ConsoleRun, ClosedStandardInputNeverHangs) {
    test::TempDir dir;
    const auto run = runTool({}, "", dir.path(), {}, test::Stdin::Closed);
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(kBanner + "Can't open input file \nHit any key to exit\n\nProgram finished!\n",
              run.out);
}

TEST(ConsoleRun, InputThatIsAFolderIsNotConverted) {
    test::TempDir dir;
    const auto run = runTool({}, ".\nout.hex\n", dir.path());
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.out.find("Can't open input file .\n"));
    EXPECT_FALSE(test::fileExists(dir.file("out.hex")));
}

TEST(ConsoleRun, OutputInAMissingFolder) {
    test::TempDir dir;
    test::writeFile(dir.file("in.txt"), "");
    const auto run = runTool({}, "in.txt\nnowhere/out.hex\n", dir.path());
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(kBanner +
                  "Enter output file name: Can't open output file nowhere/out.hex\n"
                  "Hit any key to exit\n\nProgram finished!\n",
              run.out);
}

// Failures found once both names are known: the message, the key wait, the closing message,
// and the files as they were.
struct DialogueFailure : test::NamedCase {
    std::string typed;
    std::string message;
};

class ConsoleFailures : public ::testing::TestWithParam<DialogueFailure> {};

TEST_P(ConsoleFailures, SayWhyWaitAndKeepTheFiles) {
    test::TempDir dir;
    test::writeFile(dir.file("config.hex"), kDefaultHex);
    test::writeFile(dir.file("notes.txt"), "; my notes\n");
    test::writeFile(dir.file("erased.bin"), std::string(1024, '\xff'));
    const auto run = runTool({}, GetParam().typed, dir.path());
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(kBanner + "Enter output file name: " + GetParam().message +
                  "\nHit any key to exit\n\nProgram finished!\n",
              run.out);
    EXPECT_EQ("; my notes\n", test::readFile(dir.file("notes.txt")));
    EXPECT_FALSE(test::fileExists(dir.file("out.txt")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConsoleFailures,
    ::testing::Values(
        // A report never replaces a text the user wrote, in the dialogue as in a batch run.
        DialogueFailure{"hand_written_text", "config.hex\nnotes.txt\n",
                        "notes.txt exists and was not written by kr570convert; it is kept"},
        DialogueFailure{"erased_readback", "erased.bin\nout.txt\n",
                        "erased.bin holds no configuration: the EEPROM is erased (every byte "
                        "0xff)"}),
    test::CaseName());

// The dialogue warns as a batch run does, on standard error; its standard output stays the
// dialogue.
TEST(ConsoleRun, WarningsGoToStandardError) {
    test::TempDir dir;
    test::writeFile(dir.file("typo.txt"), "stepmod half\n");
    const auto run = runTool({}, "typo.txt\nout.hex\n", dir.path());
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(kBanner + "Enter output file name: " + kMotorBlock + "\nProgram finished!\n",
              run.out);
    EXPECT_EQ(
        "typo.txt:1: warning: 'stepmod half' is ignored: 'stepmod' is not a keyword; did "
        "you mean 'stepmode'?\n",
        run.err);
}

// A window that the run owns (a double-click, a file dropped on the executable) stays open
// after anything worth reading; KR570_OWNS_CONSOLE plays the owned window here.
struct WindowCase : test::NamedCase {
    std::vector<std::string> arguments;
    std::string typed;
    const char* owns;
    bool waits;
};

class OwnedWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(OwnedWindow, WaitsForAKeyAfterWhatMustBeRead) {
    test::TempDir dir;
    test::writeFile(dir.file("in.txt"), "ontime 5\n");
    test::writeFile(dir.file("typo.txt"), "stepmod half\n");
    test::writeFile(dir.file("config.hex"), kDefaultHex);
    const auto run = runTool(GetParam().arguments, GetParam().typed, dir.path(),
                             {std::string("KR570_OWNS_CONSOLE=") + GetParam().owns});
    const std::string wait = "Hit any key to exit\n";
    const bool waited = run.out.size() >= wait.size() &&
                        run.out.compare(run.out.size() - wait.size(), wait.size(), wait) == 0;
    EXPECT_EQ(GetParam().waits, waited) << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OwnedWindow,
    ::testing::Values(WindowCase{"dialogue_warned", {}, "typo.txt\nout.hex\n", "1", true},
                      WindowCase{"dialogue_quiet", {}, "config.hex\nout.txt\n", "1", false},
                      WindowCase{"dialogue_not_owned", {}, "typo.txt\nout.hex\n", "0", false},
                      WindowCase{"dropped_text_shows_estimates", {"in.txt"}, "", "1", true},
                      WindowCase{"dropped_image_says_nothing", {"config.hex"}, "", "1", false},
                      WindowCase{"batch_failure", {"missing.txt", "out.hex"}, "", "1", true},
                      WindowCase{"batch_not_owned", {"in.txt", "out.hex"}, "", "0", false}),
    test::CaseName());

TEST(ConsoleRun, OutputThatIsTheInputLeavesItUntouched) {
    test::TempDir dir;
    const std::string text = "ontime 5\n";
    test::writeFile(dir.file("in.txt"), text);
    std::filesystem::create_directory(dir.file("sub"));
    std::filesystem::create_hard_link(dir.file("in.txt"), dir.file("hard.hex"));
    // Windows lets only privileged users make symbolic links.
    std::error_code noSymlink;
    std::filesystem::create_symlink("in.txt", dir.file("link.hex"), noSymlink);
    for (const char* output : {"in.txt", "./in.txt", "sub/../in.txt", "hard.hex", "link.hex"}) {
        if (noSymlink && std::string(output) == "link.hex") {
            continue;
        }
        const auto run = runTool({}, std::string("in.txt\n") + output + "\n", dir.path());
        EXPECT_EQ(1, run.status);
        EXPECT_EQ(kBanner + "Enter output file name: Output file " + output +
                      " is the input file\nHit any key to exit\n\nProgram finished!\n",
                  run.out);
        EXPECT_EQ(text, test::readFile(dir.file("in.txt")));
    }
}

TEST(ConsoleRun, ExistingOutputThatIsAnotherFileIsReplaced) {
    test::TempDir dir;
    test::writeFile(dir.file("in.txt"), "; nothing changed\n");
    test::writeFile(dir.file("old.hex"), std::string(5000, 'x'));
    const auto run = runTool({}, "in.txt\nold.hex\n", dir.path());
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(kBanner + "Enter output file name: " + kMotorBlock + "\nProgram finished!\n",
              run.out);
    EXPECT_EQ(nativeText(kDefaultHex), test::readFile(dir.file("old.hex")));
}

TEST(ConsoleRun, FullDiskIsReported) {
    const char* const full = test::fullDevice();
    if (full == nullptr) {
        GTEST_SKIP() << "this system has no device that is always full";
    }
    test::TempDir dir;
    test::writeFile(dir.file("in.txt"), "");
    const auto run = runTool({}, std::string("in.txt\n") + full + "\n", dir.path());
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.out.find("Can't write output file " + std::string(full) +
                                              "\nHit any key to exit\n\nProgram finished!\n"));
}

TEST(ConsoleRun, LongFileNamesAreKeptWhole) {
    test::TempDir dir;
    const std::string name = std::string(230, 'n') + ".txt";
    test::writeFile(dir.file(name), "ontime 9\n");
    const auto run = runTool({}, name + "\n" + std::string(230, 'o') + ".hex\n", dir.path());
    EXPECT_EQ(0, run.status);
    EXPECT_TRUE(test::fileExists(dir.file(std::string(230, 'o') + ".hex")));
}

}  // namespace
}  // namespace kr570
