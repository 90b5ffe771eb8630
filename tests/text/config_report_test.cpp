#include "text/config_report.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <memory>
#include <ostream>

#include "eeprom/config_block.hpp"
#include "support/test_support.hpp"
#include "text/config_parser.hpp"

namespace kr570 {
namespace {

// 09:05:03 on 18 March 2010.
std::tm exampleTime() {
    return reportCreationTime("1268903103", 0);
}

std::string reportOf(const ConfigRecord& record, const std::string& source = "config.hex") {
    test::OutputCapture out;
    writeConfigReport(out.stream(), record, source, exampleTime());
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
    EXPECT_EQ(test::readFile(test::sourcePath("tests/golden/default_report.txt")),
              reportOf(unpacked(*image)));
}

TEST(ConfigReport, ZeroBlockGivesTheEmptyReport) {
    auto image = std::make_unique<EepromImage>();
    EXPECT_EQ(test::readFile(test::sourcePath("tests/golden/zero_report.txt")),
              reportOf(unpacked(*image), "empty.hex"));
}

struct LayoutCase : test::NamedCase {
    std::function<void(ConfigRecord&)> change;
    std::vector<std::string> present;  // texts the report holds
    std::vector<std::string> absent;   // texts it must not hold
};

class ConfigReportLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ConfigReportLayout, ShowsEachByteAsTheControllerReadsIt) {
    ConfigRecord record = test::defaultRecord();
    GetParam().change(record);
    const std::string report = reportOf(record);
    for (const std::string& text : GetParam().present) {
        EXPECT_NE(std::string::npos, report.find(text)) << "missing: " << text;
    }
    for (const std::string& text : GetParam().absent) {
        EXPECT_EQ(std::string::npos, report.find(text)) << "unexpected: " << text;
    }
}

void allSwitches(ConfigRecord& r, std::uint8_t value) {
    for (std::uint8_t* field : {&r.followmotorparameters, &r.followpots, &r.followstepheader,
                                &r.automotorshutoff, &r.motorpowerreductionmode, &r.i2cmode,
                                &r.checklimitswitch, &r.checkestop, &r.followstepdir}) {
        *field = value;
    }
}

// Puts `text` and a NUL at the start of the notice.
void setNotice(ConfigRecord& r, const char* text) {
    std::memcpy(r.notice.data(), text, std::strlen(text) + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigReportLayout,
    ::testing::Values(
        LayoutCase{"switches_hold_2",
                   [](ConfigRecord& r) { allSwitches(r, 2); },
                   {"\nfollowmotorparameters no\n", "\nfollowpots no\n", "\nfollowstepheader  no\n",
                    "\nautomotorshutoff  no\n\nmotorshutofftime",
                    "\nmotorpowerreductionmode  off\n", "\ni2cmode  on\n",
                    "\nchecklimitswitch  yes\n", "\ncheckestop  yes\n\n", "\nfollowstepdir  yes\n"},
                   {}},
        LayoutCase{"switches_hold_1",
                   [](ConfigRecord& r) { allSwitches(r, 1); },
                   {"\nfollowmotorparameters yes\n", "\nautomotorshutoff  yes\nmotorshutofftime"},
                   {}},
        LayoutCase{"upper_case_stepmode",
                   [](ConfigRecord& r) { r.stepmode = 'W'; },
                   {"followstepheader  yes\n;  Automatic Motor shut off mode"},
                   {"stepmode"}},
        LayoutCase{"zero_stepmode", [](ConfigRecord& r) { r.stepmode = 0; }, {}, {"stepmode"}},
        LayoutCase{"half_and_full",
                   [](ConfigRecord& r) { r.stepmode = 'h'; },
                   {"\nstepmode  half\n\n;  Automatic"},
                   {}},
        LayoutCase{"other_polarities",
                   [](ConfigRecord& r) {
                       r.steppolarity = 'x';
                       r.dirpolarity = 'C';
                   },
                   {"\nsteppolarity negative\ndirpolarity lowcw\n\n"},
                   {}},
        LayoutCase{"notice_without_nul",
                   [](ConfigRecord& r) {
                       r.notice.fill('N');
                       r.fixedByte57 = 'X';
                   },
                   {"Notice:  " + std::string(25, 'N') + "\n;\n\n"},
                   {std::string(26, 'N')}},
        LayoutCase{"notice_empty",
                   [](ConfigRecord& r) { r.notice[0] = '\0'; },
                   {"; Embedded Copyright Notice:  \n;\n\n"},
                   {}},
        // A notice from a dump must not start a line that compiling the report would read.
        LayoutCase{"notice_line_feeds",
                   [](ConfigRecord& r) { setNotice(r, "\nstepmode half\n"); },
                   {"Notice:  ?stepmode half?\n;\n\n"},
                   {"\nstepmode half"}},
        LayoutCase{"notice_control_characters",
                   [](ConfigRecord& r) { setNotice(r, "\x01\t\r\x1b[2J\x1f\x7f ~\x80\xe9\xff"); },
                   {"Notice:  ????[2J?? ~\x80\xe9\xff\n;\n\n"},
                   {}},
        LayoutCase{"revision_minor_plain",
                   [](ConfigRecord& r) {
                       r.revisionMajor = 1;
                       r.revisionMinor = 5;
                   },
                   {"; Software Revision Level: 1.5\n"},
                   {}},
        LayoutCase{"times_are_unsigned_words",
                   [](ConfigRecord& r) {
                       r.motorshutofftime = 0xFFFF;
                       r.powerreductiontime = 0xFFFF;
                   },
                   {"motorshutofftime  65535\n\n", "powerreductiontime  65535\n\n"},
                   {"-1"}},
        LayoutCase{"address_in_lower_hex",
                   [](ConfigRecord& r) { r.TWI_slaveAddress = 0xAB; },
                   {"TWI_slaveAddress 0xab\n\n"},
                   {}},
        LayoutCase{"floats_two_decimals",
                   [](ConfigRecord& r) { r.resistance = -0.125F; },
                   {"resistance -0.12\n"},
                   {}}),
    test::CaseName());

TEST(ConfigReport, SourceNameIsWrittenUnchanged) {
    const std::string report = reportOf(test::defaultRecord(), "50%d\\x%s.hex");
    EXPECT_NE(std::string::npos, report.find("; Source file: 50%d\\x%s.hex\n"));
}

TEST(ConfigReport, ReadsBackIntoTheSameSettings) {
    ConfigRecord record = test::defaultRecord();
    allSwitches(record, 2);
    record.stepmode = 'W';
    record.steppolarity = 'n';
    record.ontime = 201;
    record.resistance = 0.75F;
    record.TWI_slaveAddress = 0x0A;
    // With no stepmode line of its own, the report would take one from the notice.
    setNotice(record, "\nstepmode half\r\n");
    std::FILE* report = test::streamWith(reportOf(record));
    ConfigRecord back = test::defaultRecord();
    ByteSource source(report);
    Reporter reporter;
    Diagnostics silent(reporter, "report.txt");
    parseConfigText(source, back, silent);
    std::fclose(report);
    // The switches compared with 1 come back off, those tested for non-zero on; a stepmode the
    // report has no line for keeps the default; a text carries no notice.
    ConfigRecord expected = record;
    expected.notice = test::defaultRecord().notice;
    allSwitches(expected, 0);
    expected.i2cmode = expected.checklimitswitch = expected.checkestop = 1;
    expected.followstepdir = 1;
    expected.stepmode = 'w';
    EXPECT_TRUE(test::sameSettings(expected, back));
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
    if (GetParam().fromEpoch) {
        EXPECT_EQ(2010 - 1900, chosen.tm_year);
        EXPECT_EQ(9, chosen.tm_hour);
        EXPECT_EQ(3, chosen.tm_sec);
    } else {
        EXPECT_EQ(local.tm_year, chosen.tm_year);
        EXPECT_EQ(local.tm_hour, chosen.tm_hour);
        EXPECT_EQ(local.tm_min, chosen.tm_min);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReportClock,
    ::testing::Values(ClockCase{"epoch", "1268903103", true}, ClockCase{"unset", nullptr, false},
                      ClockCase{"empty", "", false}, ClockCase{"trailing_letter", "12x", false},
                      ClockCase{"negative", "-5", false},
                      ClockCase{"leading_blank", " 1268903103", false},
                      ClockCase{"too_large", "99999999999999999999999", false}),
    test::CaseName());

}  // namespace
}  // namespace kr570
