// Whole conversions in both directions on the shipped examples.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "eeprom/config_block.hpp"
#include "formats/intel_hex.hpp"
#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570 {
namespace {

using test::runTool;

class Examples : public ::testing::TestWithParam<std::string> {};

TEST_P(Examples, CompileToTheShippedHexFile) {
    test::TempDir dir;
    const std::string source = test::sourcePath("examples/" + GetParam() + ".txt");
    const auto run = runTool({source, dir.file("out.hex")}, "", dir.path());
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(test::nativeText(test::readFile(test::sourcePath("examples/" + GetParam() + ".hex"))),
              test::readFile(dir.file("out.hex")));
}

TEST_P(Examples, ReportReadsBackIntoTheSameHexFile) {
    test::TempDir dir;
    const std::string hex = test::sourcePath("examples/" + GetParam() + ".hex");
    ASSERT_EQ(0, runTool({hex, dir.file("report.txt")}, "", dir.path()).status);
    ASSERT_EQ(0, runTool({dir.file("report.txt"), dir.file("again.hex")}, "", dir.path()).status);
    const std::string expected = test::nativeText(test::readFile(hex));
    EXPECT_EQ(expected, test::readFile(dir.file("again.hex")));
    // A second cycle changes nothing either.
    ASSERT_EQ(0, runTool({dir.file("again.hex"), dir.file("report2.txt")}, "", dir.path(),
                         {"SOURCE_DATE_EPOCH=0"})
                     .status);
    ASSERT_EQ(0, runTool({dir.file("report2.txt"), dir.file("third.hex")}, "", dir.path()).status);
    EXPECT_EQ(expected, test::readFile(dir.file("third.hex")));
}

INSTANTIATE_TEST_SUITE_P(Shipped, Examples,
                         ::testing::Values("default", "x-axis-halfstep", "all-keywords"));

std::string hexOf(const EepromImage& image) {
    test::OutputCapture out;
    writeHex(out.stream(), image, static_cast<int>(block::kLength));
    return out.text();
}

TEST(RoundTrip, WhatTheTextDoesNotCarryComesBackAsBuilt) {
    // A block with another header, notice and fixed byte, and switches holding 2 and 3.
    auto odd = std::make_unique<EepromImage>();
    buildBlock(*odd, test::defaultRecord());
    odd->putByte(block::kProductId, 7);
    odd->putByte(block::kRevisionMajor, 2);
    odd->putByte(block::kRevisionMinor, 3);
    for (std::size_t i = 0; i < kNoticeLength; ++i) {
        odd->putByte(block::kNotice + i, static_cast<unsigned>('A' + i));
    }
    odd->putByte(block::kFixedByte57, 0x7F);
    odd->putByte(33 /* i2cmode */, 2);
    odd->putByte(52 /* followpots */, 2);
    odd->putByte(71 /* followstepdir */, 3);

    test::TempDir dir;
    test::writeFile(dir.file("odd.hex"), hexOf(*odd));
    ASSERT_EQ(0, runTool({"odd.hex", "odd.txt"}, "", dir.path()).status);
    ASSERT_EQ(0, runTool({"odd.txt", "back.hex"}, "", dir.path()).status);

    ConfigRecord expected = test::defaultRecord();
    expected.i2cmode = 1;        // tested for non-zero
    expected.followpots = 0;     // compared with 1
    expected.followstepdir = 1;  // tested for non-zero
    auto image = std::make_unique<EepromImage>();
    buildBlock(*image, expected);
    EXPECT_EQ(test::nativeText(hexOf(*image)), test::readFile(dir.file("back.hex")));
}

const std::string kDefaultReport =
    test::readFile(test::sourcePath("tests/golden/default_report.txt"));
const std::string kDefaultHex = test::readFile(test::sourcePath("examples/default.hex"));
const std::vector<std::string> kEpoch{"SOURCE_DATE_EPOCH=1268903103"};

std::string readback(const std::string& name) {
    return test::readFile(test::sourcePath("tests/data/readbacks/" + name));
}

// The report of the default block, read from a file of that name.
std::string reportFrom(const std::string& name) {
    std::string report = kDefaultReport;
    return report.replace(report.find("config.hex"), 10, name);
}

// avrdude's read-backs of a controller holding the default configuration, in each of the nine
// forms it writes, and of one whose EEPROM was never written.
struct ReadbackCase : test::NamedCase {
    std::string file;
    std::string warnings;
};

class Readbacks : public ::testing::TestWithParam<ReadbackCase> {};

TEST_P(Readbacks, GiveTheReportAndCompareEqualOrSayTheyAreErased) {
    const ReadbackCase& c = GetParam();
    test::TempDir dir;
    test::writeFile(dir.file(c.file), readback(c.file));
    test::writeFile(dir.file("default.txt"),
                    test::readFile(test::sourcePath("examples/default.txt")));
    const auto run = runTool({c.file, "report.txt"}, "", dir.path(), kEpoch);
    const auto compare = runTool({"-q", "--compare", "default.txt", c.file}, "", dir.path());
    if (c.file.rfind("erased", 0) == 0) {
        EXPECT_EQ(1, run.status);
        EXPECT_EQ(c.warnings + "kr570convert: " + c.file +
                      " holds no configuration: the EEPROM is erased (every byte 0xff)\n",
                  run.err);
        EXPECT_FALSE(test::fileExists(dir.file("report.txt")));
        EXPECT_EQ(2, compare.status);
        return;
    }
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(c.warnings, run.err);
    EXPECT_EQ(test::nativeText(reportFrom(c.file)), test::readFile(dir.file("report.txt")));
    EXPECT_EQ(0, compare.status) << compare.out << compare.err;
}

std::vector<ReadbackCase> readbackCases() {
    std::vector<ReadbackCase> cases;
    for (const char* device : {"default", "erased"}) {
        for (const char* form : {"i.hex", "I.hex", "s.srec", "r.bin", "d.csv", "h.csv", "o.csv",
                                 "b.csv", "noformat.hex"}) {
            const std::string file = std::string(device) + "-1024-" + form;
            const std::string warnings =
                std::string(form) == "noformat.hex"
                    ? file + ": warning: holds raw binary, not Intel HEX; read as raw binary\n"
                    : "";
            cases.push_back({{std::string(device) + "_" + form}, file, warnings});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Avrdude, Readbacks, ::testing::ValuesIn(readbackCases()),
                         test::CaseName());

// The content decides what a file holds wherever it says so unmistakably; the name decides
// only where it cannot, and then as it always has.
struct KindCase : test::NamedCase {
    std::vector<std::string> arguments;  // the input is "in.NAME", or "-" for standard input
    std::string content;
    int status;
    std::string err;
    std::string written;  // what out.x holds afterwards; "" when it must not exist
    bool binary = false;  // out.x holds bytes, not text with the system's line ends
};

class KindOfInput : public ::testing::TestWithParam<KindCase> {};

TEST_P(KindOfInput, IsToldByContentThenByName) {
    const KindCase& c = GetParam();
    test::TempDir dir;
    const bool standard =
        std::find(c.arguments.begin(), c.arguments.end(), "-") != c.arguments.end();
    for (const std::string& argument : c.arguments) {
        if (argument.rfind("in.", 0) == 0) {
            test::writeFile(dir.file(argument), c.content);
        }
    }
    std::vector<std::string> arguments = c.arguments;
    arguments.emplace_back("out.x");
    const auto run = runTool(arguments, standard ? c.content : "", dir.path(), kEpoch);
    EXPECT_EQ(c.status, run.status) << run.err;
    EXPECT_EQ(c.err, run.err);
    if (c.written.empty()) {
        EXPECT_FALSE(test::fileExists(dir.file("out.x")));
    } else {
        EXPECT_EQ(c.binary ? c.written : test::nativeText(c.written),
                  test::readFile(dir.file("out.x")));
    }
}

const std::string kDefaultText = test::readFile(test::sourcePath("examples/default.txt"));

// The HEX file of the default block with `change` made to its record (and `header` to its
// image after building).
std::string hexWith(void (*change)(ConfigRecord&), void (*header)(EepromImage&) = nullptr) {
    ConfigRecord record = test::defaultRecord();
    change(record);
    auto image = std::make_unique<EepromImage>();
    buildBlock(*image, record);
    if (header != nullptr) {
        header(*image);
    }
    return hexOf(*image);
}

// A controller's own header: product id 7, a notice of its own, reserved byte 0x11.
void ownHeader(EepromImage& image) {
    image.putByte(block::kProductId, 7);
    image.putByte(block::kNotice, 'X');
    image.putByte(block::kFixedByte57, 0x11);
}
const std::string kFinished = "\nProgram finished!\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, KindOfInput,
    ::testing::Values(
        KindCase{"text_named_cfg",
                 {"-q", "in.cfg"},
                 kDefaultText,
                 1,
                 "kr570convert: in.cfg holds no configuration: it gives no data for the "
                 "configuration block (addresses 0 to 71)\n",
                 ""},
        KindCase{"text_named_cfg_from_text",
                 {"-q", "--from=text", "in.cfg"},
                 kDefaultText,
                 0,
                 "",
                 kDefaultHex},
        KindCase{"hex_named_dat", {"-q", "in.dat"}, kDefaultHex, 0, "", reportFrom("in.dat")},
        KindCase{"hex_named_txt",
                 {"in.txt"},
                 kDefaultHex,
                 0,
                 "in.txt: warning: holds Intel HEX, not configuration text; read as Intel HEX\n",
                 reportFrom("in.txt")},
        KindCase{"nul_in_a_text_named_txt",
                 {"-q", "in.txt"},
                 std::string("; x\0\xff\n", 6),
                 0,
                 "",
                 kDefaultHex},
        KindCase{"srec_on_standard_input",
                 {"-q", "-"},
                 readback("default-1024-s.srec"),
                 0,
                 "",
                 reportFrom("-")},
        KindCase{"binary_on_standard_input",
                 {"-q", "-"},
                 readback("default-1024-r.bin"),
                 0,
                 "",
                 reportFrom("-")},
        KindCase{"list_on_standard_input",
                 {"-q", "-"},
                 readback("default-1024-h.csv"),
                 0,
                 "",
                 reportFrom("-")},
        KindCase{"hex_on_standard_input", {"-q", "-"}, kDefaultHex, 0, "", reportFrom("-")},
        KindCase{
            "text_on_standard_input", {"-q", "--from=text", "-"}, kDefaultText, 0, "", kDefaultHex},
        KindCase{"erased_on_standard_input",
                 {"-q", "-"},
                 readback("erased-1024-r.bin"),
                 1,
                 "kr570convert: (standard input) holds no configuration: the EEPROM is erased "
                 "(every byte 0xff)\n",
                 ""},
        KindCase{"from_wins_over_content",
                 {"-q", "--from=hex", "in.bin"},
                 readback("default-1024-r.bin"),
                 1,
                 "kr570convert: in.bin holds no configuration: it gives no data for the "
                 "configuration block (addresses 0 to 71)\n",
                 ""},
        // --to names what is written.
        KindCase{"text_to_srec",
                 {"-q", "--to=srec", "in.txt"},
                 kDefaultText,
                 0,
                 "",
                 test::readFile(test::sourcePath("tests/golden/default.srec"))},
        KindCase{"readback_to_bin",
                 {"-q", "--to", "bin", "in.hex"},
                 readback("default-1024-I.hex"),
                 0,
                 "",
                 readback("default-1024-r.bin").substr(0, 72),
                 true},
        KindCase{"readback_to_hex",
                 {"-q", "--to=hex", "in.csv"},
                 readback("default-1024-o.csv"),
                 0,
                 "",
                 kDefaultHex},
        // --set changes the settings read, in order; the last one wins.
        KindCase{"set_each_kind_of_value",
                 {"-q", "--set", "ontime=1", "--set=ontime=96", "--set", "TWI_slaveAddress=0x27",
                  "--set", "stepmode=half", "--set", "resistance=2.2", "--set", "followpots=no",
                  "--set", "motorshutofftime=1000", "in.txt"},
                 "",
                 0,
                 "",
                 hexWith([](ConfigRecord& r) {
                     r.ontime = 96;
                     r.TWI_slaveAddress = 0x27;
                     r.stepmode = 'h';
                     r.resistance = 2.2F;
                     r.followpots = 0;
                     r.motorshutofftime = 1000;
                 })},
        // A device's image keeps every byte that the settings do not cover.
        KindCase{"set_patches_an_image",
                 {"-q", "--set", "ontime=96", "--to=hex", "in.hex"},
                 hexWith([](ConfigRecord&) {}, ownHeader),
                 0,
                 "",
                 hexWith([](ConfigRecord& r) { r.ontime = 96; }, ownHeader)},
        KindCase{"set_warns_as_a_text_would",
                 {"--set", "TWI_slaveAddress=33", "--set", "ontime=300", "in.txt"},
                 "",
                 0,
                 "--set TWI_slaveAddress=33: warning: TWI_slaveAddress 33: read as hexadecimal "
                 "0x33 (51); write 0x33 to say so\n"
                 "--set ontime=300: warning: '300' does not fit 'ontime' (0 to 255); 44 is "
                 "stored\n",
                 hexWith([](ConfigRecord& r) {
                     r.TWI_slaveAddress = 0x33;
                     r.ontime = 44;
                 })},
        // A setting changed in an image is checked as a text's would be: the page refuses to
        // save what warns.
        KindCase{"set_motor_settings_of_an_image_are_checked",
                 {"--set", "current=30", "--to=hex", "in.hex"},
                 kDefaultHex,
                 0,
                 "in.hex: warning: the calculated motor parameters are not a number: 'current' x "
                 "'resistance' (45) is not below 'drive_voltage' (24)\n",
                 hexWith([](ConfigRecord& r) { r.current = 30.0F; })},
        KindCase{"text_to_a_tidy_text",
                 {"-q", "--to=text", "in.txt"},
                 "ontime 128\n",
                 0,
                 "",
                 reportFrom("in.txt")}),
    test::CaseName());

}  // namespace
}  // namespace kr570
