#include "text/config_report.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>

#include "config/settings.hpp"
#include "eeprom/config_block.hpp"
#include "support/test_support.hpp"
#include "text/config_parser.hpp"

namespace kr570 {
namespace {

// The report of `record` made at 09:05:03 on 18 March 2010.
std::string reportOf(const ConfigRecord& record, const std::string& source = "config.hex") {
    test::TempStream out;
    writeConfigReport(out.stream(), record, source, reportCreationTime("1268903103", 0));
    return out.text();
}

ConfigRecord unpacked(const EepromImage& image) {
    ConfigRecord record{};
    unpackBlock(image, record);
    return record;
}

TEST(ConfigReport, DefaultBlockGivesTheReferenceReport) {
    auto image = std::make_unique<EepromImage>();
    buildBlock(*image, test::defaultRecord());
    EXPECT_EQ(test::kDefaultReport, reportOf(unpacked(*image)));
}

TEST(ConfigReport, ZeroBlockGivesTheEmptyReport) {
    auto image = std::make_unique<EepromImage>();
    EXPECT_EQ(test::sourceFile("tests/golden/zero_report.txt"),
              reportOf(unpacked(*image), "empty.hex"));
}

// A record and texts its report must hold and must not hold.
struct LayoutCase : test::NamedCase {
    ConfigRecord record;
    std::vector<std::string> present;
    std::vector<std::string> absent;
};

class ConfigReportLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ConfigReportLayout, ShowsEachByteAsTheControllerReadsIt) {
    const std::string report = reportOf(GetParam().record);
    for (const std::string& text : GetParam().present) {
        EXPECT_NE(std::string::npos, report.find(text)) << "missing: " << text;
    }
    for (const std::string& text : GetParam().absent) {
        EXPECT_EQ(std::string::npos, report.find(text)) << "unexpected: " << text;
    }
}

// `record` with every switch holding `value`.
ConfigRecord withSwitches(std::uint8_t value, ConfigRecord record = test::defaultRecord()) {
    for (const Setting& setting : kSettings) {
        if (setting.kind == ValueKind::Switch) {
            setting.byteIn(record) = value;
        }
    }
    return record;
}

// The default record with `changes` and `text` at the start of the notice, with a NUL after it
// where the notice has room.
ConfigRecord noticed(const std::string& text, const std::string& changes = "") {
    ConfigRecord record = test::withSettings(changes);
    std::memcpy(record.notice.data(), text.c_str(), std::min(text.size() + 1, kNoticeLength));
    return record;
}

using test::withSettings;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, ConfigReportLayout, ::testing::ValuesIn(std::vector<LayoutCase>{
    {"switches_hold_2", withSwitches(2),
        {"\nfollowmotorparameters no\n", "\nfollowpots no\n", "\nfollowstepheader  no\n",
         "\nautomotorshutoff  no\n\nmotorshutofftime", "\nmotorpowerreductionmode  off\n",
         "\ni2cmode  on\n", "\nchecklimitswitch  yes\n", "\ncheckestop  yes\n\n",
         "\nfollowstepdir  yes\n"}, {}},
    {"switches_hold_1", withSwitches(1),
        {"\nfollowmotorparameters yes\n", "\nautomotorshutoff  yes\nmotorshutofftime"}, {}},
    {"upper_case_stepmode", withSettings("stepmode=W"),
        {"followstepheader  yes\n;  Automatic Motor shut off mode"}, {"stepmode"}},
    {"zero_stepmode", withSettings("stepmode=0x0"), {}, {"stepmode"}},
    {"half_and_full", withSettings("stepmode=h"), {"\nstepmode  half\n\n;  Automatic"}, {}},
    {"other_polarities", withSettings("steppolarity=x dirpolarity=C"),
        {"\nsteppolarity negative\ndirpolarity lowcw\n\n"}, {}},
    {"notice_without_nul", noticed(std::string(25, 'N'), "fixedByte57=0x58"),
        {"Notice:  " + std::string(25, 'N') + "\n;\n\n"}, {std::string(26, 'N')}},
    {"notice_empty", noticed(""), {"; Embedded Copyright Notice:  \n;\n\n"}, {}},
    // A notice from a dump must not start a line that compiling the report would read.
    {"notice_line_feeds", noticed("\nstepmode half\n"), {"Notice:  ?stepmode half?\n;\n\n"},
        {"\nstepmode half"}},
    {"notice_control_characters", noticed("\x01\t\r\x1b[2J\x1f\x7f ~\x80\xe9\xff"),
        {"Notice:  ????[2J?? ~\x80\xe9\xff\n;\n\n"}, {}},
    {"revision_minor_plain", withSettings("revisionMajor=1 revisionMinor=5"),
        {"; Software Revision Level: 1.5\n"}, {}},
    {"times_are_unsigned_words", withSettings("motorshutofftime=65535 powerreductiontime=65535"),
        {"motorshutofftime  65535\n\n", "powerreductiontime  65535\n\n"}, {"-1"}},
    {"address_in_lower_hex", withSettings("TWI_slaveAddress=0xab"), {"TWI_slaveAddress 0xab\n\n"},
        {}},
    {"floats_two_decimals", withSettings("resistance=-0.125"), {"resistance -0.12\n"}, {}},
}), test::CaseName());
// clang-format on

TEST(ConfigReport, SourceNameIsWrittenUnchanged) {
    const std::string report = reportOf(test::defaultRecord(), "50%d\\x%s.hex");
    EXPECT_NE(std::string::npos, report.find("; Source file: 50%d\\x%s.hex\n"));
}

TEST(ConfigReport, ReadsBackIntoTheSameSettings) {
    // With no stepmode line of its own, the report would take one from the notice.
    const std::string settings = "steppolarity=n ontime=201 resistance=0.75 TWI_slaveAddress=0x0a";
    test::TempStream report(
        reportOf(withSwitches(2, noticed("\nstepmode half\r\n", settings + " stepmode=W"))));
    ConfigRecord back = test::defaultRecord();
    ByteSource source(report.stream());
    Reporter reporter;
    Diagnostics silent(reporter, "report.txt");
    parseConfigText(source, back, silent);
    // The switches compared with 1 come back off, those tested for non-zero on; a stepmode the
    // report has no line for keeps the default; a text carries no notice.
    const std::string onAgain = " i2cmode=1 checklimitswitch=1 checkestop=1 followstepdir=1";
    EXPECT_EQ(test::settingsOf(withSettings(settings + onAgain, withSwitches(0))),
              test::settingsOf(back));
}

struct ClockCase : test::NamedCase {
    const char* value;
    bool fromEpoch;
};

class ReportClock : public ::testing::TestWithParam<ClockCase> {};

TEST_P(ReportClock, TakesOnlyAWellFormedSourceDateEpoch) {
    const std::time_t now = 1700000000;
    const std::tm local = *std::localtime(&now);
    const std::tm chosen = reportCreationTime(GetParam().value, now);
    const bool epoch = GetParam().fromEpoch;  // 09:05:03 on 18 March 2010, or else the local time
    EXPECT_EQ(epoch ? 2010 - 1900 : local.tm_year, chosen.tm_year);
    EXPECT_EQ(epoch ? 9 : local.tm_hour, chosen.tm_hour);
    EXPECT_EQ(epoch ? 5 : local.tm_min, chosen.tm_min);
    EXPECT_EQ(epoch ? 3 : local.tm_sec, chosen.tm_sec);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Values, ReportClock, ::testing::ValuesIn(std::vector<ClockCase>{
    {"epoch", "1268903103", true}, {"unset", nullptr, false}, {"empty", "", false},
    {"trailing_letter", "12x", false}, {"negative", "-5", false},
    {"leading_blank", " 1268903103", false}, {"too_large", "99999999999999999999999", false},
}), test::CaseName());
// clang-format on

}  // namespace
}  // namespace kr570
