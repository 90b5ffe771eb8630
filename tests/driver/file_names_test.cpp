// File names in any script, through the real executable: given as arguments, typed in the
// dialogue (through a pipe: UTF-8 bytes), in a report's header and in messages. On Windows they
// reach the system through its wide functions; elsewhere they are bytes that nothing may change.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570 {
namespace {

using test::Tool;

const Tool kFixedTime = Tool().env("SOURCE_DATE_EPOCH=1268903103");

struct NameCase : test::NamedCase {
    std::string folder;  // the run's working folder inside the test's own, "" for that one
    std::string input;   // a configuration text when it ends in 't', otherwise a HEX file
    std::string output;
    bool typed;          // typed in the dialogue instead of given as arguments
    bool alone = false;  // the input named alone (dropped): the output is the one beside it
};

class FileNames : public ::testing::TestWithParam<NameCase> {};

// The file converted under its own name is the one converted under a plain name, with that name
// in the report's header.
TEST_P(FileNames, ReachTheFilesAndTheReport) {
    const NameCase& c = GetParam();
    test::TempDir dir;
    const std::string work = c.folder.empty() ? dir.path() : dir.file(c.folder);
    std::filesystem::create_directories(std::filesystem::u8path(work + "/sub"));
    const bool fromText = c.input.back() == 't';
    const std::string contents = fromText ? "ontime 77\nstepmode half\n" : test::kDefaultHex;
    const std::string plainInput = fromText ? "plain.txt" : "plain.hex";
    const std::string plainOutput = fromText ? "plain-out.hex" : "plain-out.txt";
    const Tool given = Tool(kFixedTime).file(plainInput, contents).file(c.input, contents);
    ASSERT_EQ(0, Tool(given).argv({plainInput, plainOutput}).in(work).status);
    const auto run = c.typed   ? Tool(given).input(c.input + "\n" + c.output + "\n").in(work)
                     : c.alone ? Tool(given).argv({c.input}).in(work)
                               : Tool(given).argv({c.input, c.output}).in(work);
    EXPECT_EQ(0, run.status) << run.out << run.err;
    EXPECT_EQ(test::replaced(test::readFile(work + "/" + plainOutput),
                             "; Source file: " + plainInput, "; Source file: " + c.input),
              test::readFile(work + "/" + c.output));
    std::vector<std::string> expected{plainInput, plainOutput, c.input, c.output};
    std::sort(expected.begin(), expected.end());
    // Exactly the files the run was given and made, under the names it was given.
    EXPECT_EQ(expected, test::listing(work));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Scripts, FileNames, ::testing::ValuesIn(std::vector<NameCase>{
    {"cyrillic_arguments", "", "Ось-X.txt", "Ось-X.hex", false},
    {"cjk_arguments_report", "", "軸.hex", "軸-report.txt", false},
    {"accented_typed", "", "Größe.txt", "Größe.hex", true},
    {"cyrillic_typed_report", "", "Ось-X.hex", "Ось-X.txt", true},
    {"blanks_in_a_lettered_folder", "Папка 設定", "Ось X.txt", "Ось X.hex", false},
    {"lettered_subfolders", "Größe", "sub/軸.hex", "sub/Ось.txt", false},
    {"typed_in_a_lettered_folder", "軸", "sub/Ось.txt", "Ось.hex", true},
    {"cjk_dropped", "", "軸.hex", "軸-report.txt", false, true},
    {"cyrillic_dropped", "Папка", "Ось-X.txt", "Ось-X.hex", false, true},
}), test::CaseName());
// clang-format on

// A name that opens nothing is shown as it was given, in UTF-8.
TEST(FileNames, MessagesShowTheNameAsGiven) {
    const Tool folder = Tool().file("Ось.txt", "").exits(1);
    const std::string cannot = "kr570convert: Can't open ";
    test::check(Tool(folder).args("Нет.txt Нет.hex").saying(cannot + "input file Нет.txt: "));
    test::check(
        Tool(folder).args("Ось.txt Папка/軸.hex").saying(cannot + "output file Папка/軸.hex: "));
}

}  // namespace
}  // namespace kr570
