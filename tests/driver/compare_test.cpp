// Comparing two configurations, as a technician checks a controller's read-back against the
// text it was programmed from: through the real executable.
#include <gtest/gtest.h>

#include <vector>

#include "io/diagnostics.hpp"
#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570 {
namespace {

using test::kDefaultHex;
using test::kDefaultText;
using test::Tool;

class CompareRun : public test::ToolRows {};

// Standard input is closed unless a row gives it.
TEST_P(CompareRun, ReportsEveryDifferenceAndExitsByTheSettings) {
    Tool row = GetParam();
    test::check(row.setup.input.empty() ? row.closedInput() : row);
}

// The summary of two files whose settings are equal.
std::string equal(const std::string& a, const std::string& b, int settings = 24) {
    return "The " + std::to_string(settings) + " settings are equal in A (" + a + ") and B (" + b +
           ")\n";
}

const std::string kDump = test::sourceFile("tests/data/avrdude/default-1k-I.hex");
const std::string kHalfstep = test::sourceFile("examples/x-axis-halfstep.txt");
// One unit of a line of controllers on one bus: its address 0x21.
const std::string kUnit = test::hexOf(test::withSettings("TWI_slaveAddress=0x21"));
const std::string kAnotherHeader = kDefaultHex + ":0100050002f8\n";  // product id 2

// The summaries of two files that differ in one header field or in one setting, named.
std::string headerDiffers(const std::string& a, const std::string& b, const std::string& field) {
    return "The 24 settings are equal in A (" + a + ") and B (" + b +
           "); 1 header field differs: " + field + "\n";
}
std::string oneDiffers(const std::string& a, const std::string& b, const std::string& setting) {
    return "1 of the 24 settings differs between A (" + a + ") and B (" + b + "): " + setting +
           "\n";
}

// An Intel HEX data record of `bytes` at `address`, with its checksum.
std::string record(unsigned address, const std::vector<unsigned>& bytes) {
    auto sum = static_cast<unsigned>(bytes.size()) + (address >> 8U) + (address & 0xFFU);
    std::string text = formatted(":%02x%04x00", static_cast<unsigned>(bytes.size()), address);
    for (const unsigned byte : bytes) {
        text += formatted("%02x", byte);
        sum += byte;
    }
    return text + formatted("%02x\n", (0x100U - (sum & 0xFFU)) & 0xFFU);
}

// The default block with the records given after it.
std::string defaultWith(const std::string& records) {
    return test::replaced(kDefaultHex, ":00000001FF", records + ":00000001FF");
}

const std::string kTable = "unit,TWI_slaveAddress\nx-axis,0x21\ny-axis,0x22\n";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, CompareRun, ::testing::Values(
    Tool("text_matches_the_dump").file("default.txt", kDefaultText).file("dump.hex", kDump)
        .args("--compare default.txt dump.hex").prints(equal("default.txt", "dump.hex")),
    Tool("text_differs_from_the_dump").file("x.txt", kHalfstep).file("dump.hex", kDump)
        .args("--compare x.txt dump.hex").exits(1)
        .prints(test::sourceFile("tests/golden/halfstep_against_default.txt")),
    // Both decimals are the same single-precision value, the one the block stores.
    Tool("floats_as_stored").file("a.txt", "resistance 1.50000001\nTWI_slaveAddress 0x123\n")
        .file("b.txt", "resistance 1.5\n").args("-q --compare a.txt b.txt")
        .prints(equal("a.txt", "b.txt")),
    // A later record sets the product id: only two HEX files carry a header to compare.
    // -q silences the warnings about that record.
    Tool("header_of_two_dumps").file("a.hex", kDefaultHex).file("b.hex", kAnotherHeader)
        .args("-q --compare a.hex b.hex").exits(1)
        .prints("product id: 1 (A) != 2 (B)\n" + headerDiffers("a.hex", "b.hex", "product id")),
    Tool("dump_bytes_without_a_word").file("a.txt", "checkestop yes\n")
        .file("b.hex", kDefaultHex + ":01003d0002c0\n").args("-q --compare a.txt b.hex").exits(1)
        .prints("checkestop: yes (A) != 0x02 (B)\n" + oneDiffers("a.txt", "b.hex", "checkestop")),
    Tool("from_overrides_the_names").file("a.dat", "ontime 7\n").file("b.hex", "ontime 7\n")
        .args("--compare --from text a.dat b.hex").prints(equal("a.dat", "b.hex")),
    Tool("warnings_about_either_input").file("a.txt", "ontime 7\nontme\n")
        .file("b.hex", kDefaultHex + ":0100350007ff\n").args("-w --compare a.txt b.hex")
        .prints(equal("a.txt", "b.hex")).warns(
            "a.txt:2: warning: 'ontme' is not a keyword; did you mean 'ontime'?\n"
            "b.hex:7: warning: record after the end-of-file record; it is still applied\n"
            "b.hex:7: warning: address 0x0035 is written twice, with 0x80 and then 0x07; the "
            "later value is kept\n"
            "b.hex:7: warning: checksum is 0xff, expected 0xc3; the record is applied\n"),
    // A text carries no header: against an image, the settings alone count.
    Tool("text_against_an_image_with_another_header").file("a.txt", kDefaultText)
        .file("b.hex", kAnotherHeader).args("-q --compare a.txt b.hex")
        .prints(equal("a.txt", "b.hex")),
    // Notice bytes 2 to 4 replaced by 0x13, 0x80 and a backslash, then its end.
    Tool("notice_shown_in_printable_ascii").file("a.hex", kDefaultHex)
        .file("b.hex", kDefaultHex + ":04000a0013805c000b\n").args("-q --compare a.hex b.hex")
        .exits(1).prints("notice: 'Copyright KR570 Controls' (A) != 'Co\\x13\\x80\\\\' (B)\n" +
                         headerDiffers("a.hex", "b.hex", "notice")),
    Tool("ignored_address").file("base.txt", kDefaultText).file("unit.hex", kUnit)
        .args("-q --compare base.txt unit.hex --ignore TWI_slaveAddress")
        .prints(equal("base.txt", "unit.hex", 23)),
    Tool("address_not_ignored").file("base.txt", kDefaultText).file("unit.hex", kUnit)
        .args("-q --compare base.txt unit.hex").exits(1)
        .prints("TWI_slaveAddress: 0x23 (A) != 0x21 (B)\n" + oneDiffers("base.txt", "unit.hex",
            "TWI_slaveAddress")),
    Tool("read_back_on_standard_input").file("base.txt", kDefaultText).args("--compare base.txt -")
        .input(test::sourceFile("tests/data/readbacks/default-1024-r.bin"))
        .prints(equal("base.txt", "-")),
    Tool("strict_gives_no_verdict_on_a_warned_file").file("a.txt", "ontime 7\nontme\n")
        .file("b.txt", "ontime 7\n").args("--strict -q --compare a.txt b.txt")
        .refused("a.txt: 1 warning; not compared (--strict)"),
    Tool("ignore_names_a_keyword").args("--compare a.txt b.txt --ignore stepmod")
        .misused("--ignore stepmod: 'stepmod' is not a keyword; did you mean 'stepmode'?"),
    Tool("read_error").file("a.txt", "ontime 7\n").file("b.hex", kDefaultHex)
        .args("--compare a.txt b.hex").strace({"-e", "inject=read:error=EIO:when=1", "-P", "b.hex"})
        .refused("Can't read input file b.hex: Input/output error"),
    Tool("unreadable").file("a.txt", "").args("--compare a.txt missing.hex")
        .refused("Can't open input file missing.hex: No such file or directory"),
    Tool("standard_output_full").file("a.txt", "ontime 7\n").file("b.txt", "")
        .args("--compare a.txt b.txt").fd(1, "/dev/full")
        .refused("Can't write standard output: No space left on device"),
    Tool("one_name").args("--compare a.txt").misused("--compare needs two file names, A and B"),
    // A unit checked against the base text and its own settings: no setting left out.
    Tool("set_on_the_expected_side").file("base.txt", kDefaultText).file("unit.hex", kUnit)
        .args("--compare base.txt unit.hex --set TWI_slaveAddress=0x21")
        .prints(equal("base.txt --set TWI_slaveAddress=0x21", "unit.hex")),
    Tool("set_catches_the_wrong_address").file("base.txt", kDefaultText).file("unit.hex", kUnit)
        .args("--compare base.txt unit.hex --set TWI_slaveAddress=0x22").exits(1)
        .prints("TWI_slaveAddress: 0x22 (A) != 0x21 (B)\n" + oneDiffers("base.txt --set "
            "TWI_slaveAddress=0x22", "unit.hex", "TWI_slaveAddress")),
    Tool("set_never_patches_a_read_back").file("unit.hex", kUnit).file("base.txt", kDefaultText)
        .args("--compare unit.hex base.txt --set TWI_slaveAddress=0x21").refused("--set and --unit "
        "apply to A, which must be a configuration text; unit.hex holds Intel HEX"),
    Tool("unit_of_a_table").file("base.txt", kDefaultText).file("unit.hex", kUnit)
        .file("line.csv", kTable).args("--compare base.txt - --units line.csv --unit x-axis")
        .input(kUnit).prints(equal("base.txt with unit x-axis of line.csv", "-")),
    Tool("unit_of_a_table_differs").file("base.txt", kDefaultText).file("line.csv", kTable)
        .args("--compare base.txt - --units line.csv --unit y-axis").input(kUnit).exits(1)
        .prints("TWI_slaveAddress: 0x22 (A) != 0x21 (B)\n" + oneDiffers("base.txt with unit "
            "y-axis of line.csv", "-", "TWI_slaveAddress")),
    // Floats as the report writes them, with the decimals it takes to tell them apart.
    Tool("floats_with_more_decimals").file("a.txt", "resistance 1.001\n").file("b.txt",
        "resistance 1.002\n").args("--compare a.txt b.txt").exits(1).prints("resistance: 1.001 "
        "(A) != 1.002 (B)\n" + oneDiffers("a.txt", "b.txt", "resistance")),
    Tool("float_with_an_exponent").file("a.txt", "drive_voltage 2e+01\n").file("b.txt",
        kDefaultText).args("--compare a.txt b.txt").exits(1).prints("drive_voltage: 20.00 (A) != "
        "24.00 (B)\n" + oneDiffers("a.txt", "b.txt", "drive_voltage")),
    Tool("nan_payloads").file("a.hex", defaultWith(record(40, {0, 0, 0xc0, 0x7f})))
        .file("b.hex", defaultWith(record(40, {1, 0, 0xc0, 0x7f}))).args("-q --compare a.hex b.hex")
        .exits(1).prints("inductance: nan (0x7fc00000) (A) != nan (0x7fc00001) (B)\n" +
        oneDiffers("a.hex", "b.hex", "inductance")),
    Tool("negative_nan").file("a.hex", defaultWith(record(40, {0, 0, 0xc0, 0xff})))
        .file("b.hex", defaultWith(record(40, {0, 0, 0xc0, 0x7f}))).args("-q --compare a.hex b.hex")
        .exits(1).prints("inductance: nan (0xffc00000) (A) != nan (0x7fc00000) (B)\n" +
        oneDiffers("a.hex", "b.hex", "inductance")),
    Tool("notice_after_its_nul").file("a.hex", defaultWith(record(10, {0, 1, 2})))
        .file("b.hex", defaultWith(record(10, {0, 3, 4}))).args("-q --compare a.hex b.hex").exits(1)
        .prints("notice: 'Co' in both, but the bytes after its NUL differ\n" +
        headerDiffers("a.hex", "b.hex", "notice")),
    // Two images are compared whole.
    Tool("bytes_after_the_block").file("a.hex", test::kReadBack).file("b.hex", test::kReadBack +
        record(0x100, {1}) + record(0x3ff, {2})).args("-q --compare a.hex b.hex").exits(1)
        .prints("The 24 settings are equal in A (a.hex) and B (b.hex); 2 bytes differ after the "
        "block, the first at 0x0100\n"),
    // With standard input and a named file, --from says what standard input holds.
    Tool("from_applies_to_standard_input").file("unit.hex", kUnit).input(kDefaultText)
        .args("--compare --from=text - unit.hex").exits(1).prints("TWI_slaveAddress: 0x23 (A) != "
        "0x21 (B)\n" + oneDiffers("-", "unit.hex", "TWI_slaveAddress"))
    ), test::CaseName());
// clang-format on

}  // namespace
}  // namespace kr570
