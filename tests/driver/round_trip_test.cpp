// Whole conversions in both directions on the shipped examples.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>
#include <vector>

#include "eeprom/config_block.hpp"
#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570 {
namespace {

using test::kDefaultHex;
using test::kDefaultText;
using test::Tool;

class Examples : public ::testing::TestWithParam<std::string> {};

TEST_P(Examples, CompileToTheShippedHexFile) {
    const std::string example = test::sourcePath("examples/" + GetParam());
    const std::string hex = test::readFile(example + ".hex");
    test::check(Tool().argv({example + ".txt", "out.hex"}).writes("out.hex", hex));
}

TEST_P(Examples, ReportReadsBackIntoTheSameHexFile) {
    const std::string hex = test::sourceFile("examples/" + GetParam() + ".hex");
    test::TempDir dir;
    test::writeFile(dir.file("shipped.hex"), hex);
    // A second cycle changes nothing either.
    for (const char* step : {"shipped.hex report.txt", "report.txt again.hex",
                             "again.hex report2.txt", "report2.txt third.hex"}) {
        ASSERT_EQ(0, test::runTool(test::words(step), dir.path()).status) << step;
    }
    EXPECT_EQ(test::nativeText(hex), test::readFile(dir.file("again.hex")));
    EXPECT_EQ(test::nativeText(hex), test::readFile(dir.file("third.hex")));
}

INSTANTIATE_TEST_SUITE_P(Shipped, Examples,
                         ::testing::Values("default", "x-axis-halfstep", "all-keywords"));

// The HEX file of a controller's own block: product id 7, revision 2.3, a notice of its own,
// reserved byte 0x11, and the default settings with `changes`.
std::string ownBlock(const std::string& changes) {
    ConfigRecord record = test::withSettings("fixedByte57=0x11 " + changes);
    record.notice.fill('X');
    auto image = std::make_unique<EepromImage>();
    buildBlock(*image, record);
    image->putByte(block::kProductId, 7);
    image->putByte(block::kRevisionMajor, 2);
    image->putByte(block::kRevisionMinor, 3);
    return test::hexOf(*image);
}

TEST(RoundTrip, WhatTheTextDoesNotCarryComesBackAsBuilt) {
    test::TempDir dir;
    // Another header, notice and reserved byte, and switches holding 2 and 3.
    test::writeFile(dir.file("odd.hex"), ownBlock("fixedByte57=0x7f i2cmode=2 followpots=2 "
                                                  "followstepdir=3"));
    ASSERT_EQ(0, test::runTool({"odd.hex", "odd.txt"}, dir.path()).status);
    ASSERT_EQ(0, test::runTool({"odd.txt", "back.hex"}, dir.path()).status);
    // i2cmode and followstepdir are tested for non-zero, followpots compared with 1.
    EXPECT_EQ(test::nativeText(test::hexOf(test::withSettings("followpots=0"))),
              test::readFile(dir.file("back.hex")));
}

const std::string kEpoch = "SOURCE_DATE_EPOCH=1268903103";

std::string readback(const std::string& name) {
    return test::sourceFile("tests/data/readbacks/" + name);
}

// The report of the default block, read from a file of that name.
std::string reportFrom(const std::string& name) {
    return test::replaced(test::kDefaultReport, "config.hex", name);
}

// avrdude's read-backs of a controller holding the default configuration, in each of the nine
// forms it writes, and of one whose EEPROM was never written.
class Readbacks : public ::testing::TestWithParam<std::tuple<std::string, std::string>> {};

TEST_P(Readbacks, GiveTheReportAndCompareEqualOrSayTheyAreErased) {
    const std::string file = std::get<0>(GetParam()) + "-1024-" + std::get<1>(GetParam());
    // avrdude writes raw bytes whatever the name says when the format is left out.
    const std::string warnings =
        file.find("noformat.hex") == std::string::npos
            ? ""
            : file + ": warning: holds raw binary, not Intel HEX; read as raw binary\n";
    const Tool folder = Tool().file(file, readback(file)).file("default.txt", kDefaultText);
    Tool convert = Tool(folder).args(file + " report.txt").env(kEpoch);
    Tool compare = Tool(folder).args("-q --compare default.txt " + file);
    if (file.rfind("erased", 0) == 0) {
        const std::string why = " holds no configuration: the EEPROM is erased (every byte 0xff)\n";
        convert.exits(1).warns(warnings + "kr570convert: " + file + why).makesNo("report.txt");
        compare.exits(2).saying(why);
    } else {
        convert.warns(warnings).writes("report.txt", reportFrom(file));
    }
    test::check(convert);
    test::check(compare);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Avrdude, Readbacks, ::testing::Combine(
    ::testing::Values("default", "erased"),
    ::testing::Values("i.hex", "I.hex", "s.srec", "r.bin", "d.csv", "h.csv", "o.csv", "b.csv",
                      "noformat.hex")),
    [](const ::testing::TestParamInfo<Readbacks::ParamType>& row) {
        std::string name = std::get<0>(row.param) + "_" + std::get<1>(row.param);
        std::replace(name.begin(), name.end(), '.', '_');
        return name;
    });
// clang-format on

class KindOfInput : public test::ToolRows {};

// The content decides what a file holds wherever it says so unmistakably; the name decides
// only where it cannot, and then as it always has. Every row writes out.x, or nothing when it
// fails.
TEST_P(KindOfInput, IsToldByContentThenByName) {
    Tool row = GetParam();
    row.arguments.emplace_back("out.x");
    test::check(row.status == 0 ? row.env(kEpoch) : row.env(kEpoch).makesNo("out.x"));
}

std::string noData(const std::string& file) {
    return file + " holds no configuration: read as Intel HEX, it gives no data at all";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, KindOfInput, ::testing::Values(
    Tool("text_named_cfg").file("in.cfg", kDefaultText).args("-q in.cfg").writes("out.x", kDefaultHex),
    Tool("text_named_cfg_from_text").file("in.cfg", kDefaultText).args("-q --from=text in.cfg")
        .writes("out.x", kDefaultHex),
    Tool("hex_named_dat").file("in.dat", kDefaultHex).args("-q in.dat")
        .writes("out.x", reportFrom("in.dat")),
    Tool("hex_named_txt").file("in.txt", kDefaultHex).args("in.txt")
        .warns("in.txt: warning: holds Intel HEX, not configuration text; read as Intel HEX\n")
        .writes("out.x", reportFrom("in.txt")),
    // Bytes that no text holds: a raw image, here one cut short.
    Tool("nul_in_a_text_named_txt").file("in.txt", std::string("; x\0\xff\n", 6)).args("-q in.txt")
        .fails("in.txt holds only 6 of the 72 bytes of the configuration block; --force converts "
               "it with the others read as 0"),
    Tool("srec_on_standard_input").input(readback("default-1024-s.srec")).args("-q -")
        .writes("out.x", reportFrom("-")),
    Tool("binary_on_standard_input").input(readback("default-1024-r.bin")).args("-q -")
        .writes("out.x", reportFrom("-")),
    Tool("list_on_standard_input").input(readback("default-1024-h.csv")).args("-q -")
        .writes("out.x", reportFrom("-")),
    Tool("hex_on_standard_input").input(kDefaultHex).args("-q -").writes("out.x", reportFrom("-")),
    Tool("text_on_standard_input").input(kDefaultText).args("-q --from=text -")
        .writes("out.x", kDefaultHex),
    Tool("erased_on_standard_input").input(readback("erased-1024-r.bin")).args("-q -")
        .fails("(standard input) holds no configuration: the EEPROM is erased (every byte 0xff)"),
    Tool("from_wins_over_content").file("in.bin", readback("default-1024-r.bin"))
        .args("-q --from=hex in.bin").fails(noData("in.bin")),
    // --to names what is written.
    Tool("text_to_srec").file("in.txt", kDefaultText).args("-q --to=srec in.txt")
        .writes("out.x", test::sourceFile("tests/golden/default.srec")),
    Tool("readback_to_bin").file("in.hex", readback("default-1024-I.hex"))
        .args("-q --to bin in.hex")
        .writesBytes("out.x", readback("default-1024-r.bin")),
    Tool("readback_to_hex").file("in.csv", readback("default-1024-o.csv"))
        .args("-q --to=hex in.csv").writes("out.x", test::hexOf(*test::imageFrom(
            readback("default-1024-i.hex")), 1024)),
    // --set changes the settings read, in order; the last one wins.
    Tool("set_each_kind_of_value").file("in.txt", "")
        .args("-q --set ontime=1 --set=ontime=96 --set TWI_slaveAddress=0x27 --set stepmode=half "
              "--set resistance=2.2 --set followpots=no --set motorshutofftime=1000 in.txt")
        .writes("out.x", test::hexOf(test::withSettings("ontime=96 TWI_slaveAddress=0x27 "
              "stepmode=h resistance=2.2 followpots=0 motorshutofftime=1000"))),
    // A device's image keeps every byte that the settings do not cover.
    Tool("set_patches_an_image").file("in.hex", ownBlock(""))
        .args("-q --set ontime=96 --to=hex in.hex").writes("out.x", ownBlock("ontime=96")),
    // A setting changed in an image is checked as a text's would be (the page refuses to save
    // what warns).
    Tool("set_motor_settings_of_an_image_are_checked").file("in.hex", kDefaultHex)
        .args("--set current=30 --to=hex in.hex").warns("in.hex: warning: the calculated motor "
              "parameters are not a number: 'current' x 'resistance' (45) is not below "
              "'drive_voltage' (24)\n").writes("out.x", test::hexOf(test::withSettings("current=30"))),
    // What a text would be warned about, --set refuses before anything is opened.
    Tool("set_warns_as_a_text_would").file("in.txt", "")
        .args("--set TWI_slaveAddress=33 --set ontime=300 in.txt").misused("--set TWI_slaveAddress=33: "
              "33 is hexadecimal 0x33 (51); write 0x33 to mean 0x33"),
    Tool("text_to_a_tidy_text").file("in.txt", "ontime 128\n").args("-q --to=text in.txt")
        .writes("out.x", reportFrom("in.txt"))
    ), test::CaseName());
// clang-format on

}  // namespace
}  // namespace kr570
