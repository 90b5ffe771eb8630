// Comparing two configurations, as a technician checks a controller's read-back against the
// text it was programmed from: through the real executable.
#include <gtest/gtest.h>

#include <utility>

#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570 {
namespace {

struct CompareCase : test::NamedCase {
    std::vector<std::pair<std::string, std::string>> files;  // name, contents
    std::vector<std::string> arguments;
    int status;
    std::string out;
    std::string err;
    test::RunSetup setup = {};
    std::string standardInput = "";  // given when an argument is '-'
};

class CompareRun : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareRun, ReportsEveryDifferenceAndExitsByTheSettings) {
    test::TempDir dir;
    for (const auto& [name, contents] : GetParam().files) {
        test::writeFile(dir.file(name), contents);
    }
    if (!GetParam().setup.descriptors.empty() && test::fullDevice() == nullptr) {
        GTEST_SKIP() << "this system has no device that is always full";
    }
    const CompareCase& c = GetParam();
    const auto run =
        test::runTool(c.arguments, c.standardInput, dir.path(), {},
                      c.standardInput.empty() ? test::Stdin::Closed : test::Stdin::Text, c.setup);
    if (!c.setup.strace.empty() && !run.trace) {
        GTEST_SKIP() << "this system cannot run the tool under strace";
    }
    EXPECT_EQ(GetParam().status, run.status);
    EXPECT_EQ(GetParam().out, run.out);
    EXPECT_EQ(GetParam().err, run.err);
}

std::string source(const std::string& relative) {
    return test::readFile(test::sourcePath(relative));
}

const std::string kDump = "tests/data/avrdude/default-1k-I.hex";

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareRun,
    ::testing::Values(
        CompareCase{"text_matches_the_dump",
                    {{"default.txt", source("examples/default.txt")}, {"dump.hex", source(kDump)}},
                    {"--compare", "default.txt", "dump.hex"},
                    0,
                    "The 24 settings are equal in A (default.txt) and B (dump.hex)\n",
                    ""},
        CompareCase{
            "text_differs_from_the_dump",
            {{"x.txt", source("examples/x-axis-halfstep.txt")}, {"dump.hex", source(kDump)}},
            {"--compare", "x.txt", "dump.hex"},
            1,
            "followmotorparameters: yes (A) != no (B)\n"
            "resistance: 0.9 (A) != 1.5 (B)\n"
            "inductance: 2.5 (A) != 1.7 (B)\n"
            "current: 2.8 (A) != 2.5 (B)\n"
            "followpots: no (A) != yes (B)\n"
            "ontime: 96 (A) != 128 (B)\n"
            "dutycycle: 140 (A) != 128 (B)\n"
            "slewrate: 12 (A) != 0 (B)\n"
            "recoverytime: 8 (A) != 10 (B)\n"
            "followstepheader: no (A) != yes (B)\n"
            "stepmode: half (A) != wave (B)\n"
            "checklimitswitch: yes (A) != no (B)\n"
            "checkestop: yes (A) != no (B)\n"
            "motorshutofftime: 30000 (A) != 8000 (B)\n"
            "motorpowerreduction: 40 (A) != 50 (B)\n"
            "powerreductiontime: 2000 (A) != 4000 (B)\n"
            "16 of the 24 settings differ between A (x.txt) and B (dump.hex)\n",
            ""},
        // Both decimals are the same single-precision value, the one the block stores.
        CompareCase{"floats_as_stored",
                    {{"a.txt", "resistance 1.50000001\nTWI_slaveAddress 0x123\n"},
                     {"b.txt", "resistance 1.5\n"}},
                    {"-q", "--compare", "a.txt", "b.txt"},
                    0,
                    "The 24 settings are equal in A (a.txt) and B (b.txt)\n",
                    ""},
        // A later record sets the product id: only two HEX files carry a header to compare.
        // -q silences the warnings about that record.
        CompareCase{"header_of_two_dumps",
                    {{"a.hex", source("examples/default.hex")},
                     {"b.hex", source("examples/default.hex") + ":0100050002f8\n"}},
                    {"-q", "--compare", "a.hex", "b.hex"},
                    1,
                    "product id: 1 (A) != 2 (B)\n"
                    "The 24 settings are equal in A (a.hex) and B (b.hex); 1 header field "
                    "differs\n",
                    ""},
        CompareCase{"dump_bytes_without_a_word",
                    {{"a.txt", "checkestop yes\n"},
                     {"b.hex", source("examples/default.hex") + ":01003d0002c0\n"}},
                    {"-q", "--compare", "a.txt", "b.hex"},
                    1,
                    "checkestop: yes (A) != 0x02 (B)\n"
                    "1 of the 24 settings differs between A (a.txt) and B (b.hex)\n",
                    ""},
        CompareCase{"from_overrides_the_names",
                    {{"a.dat", "ontime 7\n"}, {"b.hex", "ontime 7\n"}},
                    {"--compare", "--from", "text", "a.dat", "b.hex"},
                    0,
                    "The 24 settings are equal in A (a.dat) and B (b.hex)\n",
                    ""},
        CompareCase{"warnings_about_either_input",
                    {{"a.txt", "ontime 7\nontme\n"},
                     {"b.hex", source("examples/default.hex") + ":0100350007ff\n"}},
                    {"-w", "--compare", "a.txt", "b.hex"},
                    0,
                    "The 24 settings are equal in A (a.txt) and B (b.hex)\n",
                    "a.txt:2: warning: 'ontme' is not a keyword; did you mean 'ontime'?\n"
                    "b.hex:7: warning: record after the end-of-file record; it is still applied\n"
                    "b.hex:7: warning: address 0x0035 is written twice, with 0x80 and then 0x07; "
                    "the later value is kept\n"
                    "b.hex:7: warning: checksum is 0xff, expected 0xc3; the record is applied\n"},
        // A text carries no header: against an image, the settings alone count.
        CompareCase{"text_against_an_image_with_another_header",
                    {{"a.txt", source("examples/default.txt")},
                     {"b.hex", source("examples/default.hex") + ":0100050002f8\n"}},
                    {"-q", "--compare", "a.txt", "b.hex"},
                    0,
                    "The 24 settings are equal in A (a.txt) and B (b.hex)\n",
                    ""},
        // Notice bytes 2 to 4 replaced by 0x13, 0x80 and a backslash, then its end.
        CompareCase{"notice_shown_in_printable_ascii",
                    {{"a.hex", source("examples/default.hex")},
                     {"b.hex", source("examples/default.hex") + ":04000a0013805c000b\n"}},
                    {"-q", "--compare", "a.hex", "b.hex"},
                    1,
                    "notice: 'Copyright KR570 Controls' (A) != 'Co\\x13\\x80\\\\' (B)\n"
                    "The 24 settings are equal in A (a.hex) and B (b.hex); 1 header field "
                    "differs\n",
                    ""},
        // One unit of a line of controllers on one bus, checked against the shared text.
        CompareCase{"ignored_address",
                    {{"base.txt", source("examples/default.txt")},
                     {"unit.hex", source("examples/default.hex") + ":0100220021bc\n"}},
                    {"-q", "--compare", "base.txt", "unit.hex", "--ignore", "TWI_slaveAddress"},
                    0,
                    "The 23 settings are equal in A (base.txt) and B (unit.hex)\n",
                    ""},
        CompareCase{"address_not_ignored",
                    {{"base.txt", source("examples/default.txt")},
                     {"unit.hex", source("examples/default.hex") + ":0100220021bc\n"}},
                    {"-q", "--compare", "base.txt", "unit.hex"},
                    1,
                    "TWI_slaveAddress: 0x23 (A) != 0x21 (B)\n"
                    "1 of the 24 settings differs between A (base.txt) and B (unit.hex)\n",
                    ""},
        CompareCase{"read_back_on_standard_input",
                    {{"base.txt", source("examples/default.txt")}},
                    {"--compare", "base.txt", "-"},
                    0,
                    "The 24 settings are equal in A (base.txt) and B (-)\n",
                    "",
                    {},
                    source("tests/data/readbacks/default-1024-r.bin")},
        CompareCase{"strict_gives_no_verdict_on_a_warned_file",
                    {{"a.txt", "ontime 7\nontme\n"}, {"b.txt", "ontime 7\n"}},
                    {"--strict", "-q", "--compare", "a.txt", "b.txt"},
                    2,
                    "",
                    "kr570convert: 1 warning(s) about A (a.txt) or B (b.txt); not compared "
                    "(--strict)\n"},
        CompareCase{"ignore_names_a_keyword",
                    {},
                    {"--compare", "a.txt", "b.txt", "--ignore", "stepmod"},
                    2,
                    "",
                    "kr570convert: --ignore stepmod: 'stepmod' is not a keyword; did you mean "
                    "'stepmode'?\nTry 'kr570convert --help'\n"},
        CompareCase{"read_error",
                    {{"a.txt", "ontime 7\n"}, {"b.hex", source("examples/default.hex")}},
                    {"--compare", "a.txt", "b.hex"},
                    2,
                    "",
                    "kr570convert: Can't read input file b.hex: Input/output error\n",
                    {{}, -1, {}, {"-e", "inject=read:error=EIO:when=1", "-P", "b.hex"}}},
        CompareCase{"unreadable",
                    {{"a.txt", ""}},
                    {"--compare", "a.txt", "missing.hex"},
                    2,
                    "",
                    "kr570convert: Can't open input file missing.hex: No such file or directory\n"},
        CompareCase{"standard_output_full",
                    {{"a.txt", "ontime 7\n"}, {"b.txt", ""}},
                    {"--compare", "a.txt", "b.txt"},
                    2,
                    "",
                    "kr570convert: Can't write standard output: No space left on device\n",
                    {{{1, "/dev/full"}}, -1, {}}},
        CompareCase{"one_name",
                    {},
                    {"--compare", "a.txt"},
                    2,
                    "",
                    "kr570convert: --compare needs two file names, A and B\n"
                    "Try 'kr570convert --help'\n"}),
    test::CaseName());

}  // namespace
}  // namespace kr570
