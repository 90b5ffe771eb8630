#include "text/config_parser.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/test_support.hpp"

namespace kr570 {
namespace {

struct Parsed {
    ConfigRecord record;
    std::string warnings;
    int count;  // warnings counted with none shown
};

Parsed parse(const std::string& text) {
    Parsed parsed{test::defaultRecord(), "", 0};
    test::TempStream warnings;
    for (const bool shown : {true, false}) {
        ConfigRecord record = test::defaultRecord();
        test::TempStream input(text);
        ByteSource source(input.stream());
        Reporter reporter(nullptr, shown ? warnings.stream() : nullptr, nullptr, {});
        Diagnostics diagnostics(reporter, "in.txt");
        parseConfigText(source, record, diagnostics);
        (shown ? parsed.record : record) = record;
        parsed.count = shown ? 0 : diagnostics.count();
    }
    parsed.warnings = warnings.text();
    return parsed;
}

// A text and what it changes in the defaults, as test::withSettings takes it.
struct ParseCase : test::NamedCase {
    std::string text;
    std::string changes;
};

class ConfigParser : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ConfigParser, StoresWhatTheTextSays) {
    EXPECT_EQ(test::settingsOf(test::withSettings(GetParam().changes)),
              test::settingsOf(parse(GetParam().text).record));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Settings, ConfigParser, ::testing::ValuesIn(std::vector<ParseCase>{
    {"empty", "", ""},
    {"only_comments", "; a comment\n;;\n;joined text\n   ; indented\n", ""},
    {"every_keyword",
        "followmotorparameters yes resistance 2.25 inductance 0.5 current 1.25\n"
        "drive_voltage 12 followpots no ontime 1 dutycycle 2 slewrate 3\n"
        "recoverytime 4 followstepheader no stepmode half automotorshutoff no\n"
        "motorshutofftime 100 motorpowerreductionmode off motorpowerreduction 5\n"
        "powerreductiontime 200 steppolarity negative dirpolarity lowcw\n"
        "checklimitswitch yes checkestop yes i2cmode off TWI_slaveAddress 7f\n"
        "followstepdir no\n",
        "followmotorparameters=1 resistance=2.25 inductance=0.5 current=1.25 drive_voltage=12 "
        "followpots=0 ontime=1 dutycycle=2 slewrate=3 recoverytime=4 followstepheader=0 "
        "stepmode=h automotorshutoff=0 motorshutofftime=100 motorpowerreductionmode=0 "
        "motorpowerreduction=5 powerreductiontime=200 steppolarity=n dirpolarity=w "
        "checklimitswitch=1 checkestop=1 i2cmode=0 TWI_slaveAddress=0x7f followstepdir=0"},
    {"byte_wraps_modulo_256", "ontime 300 dutycycle -1", "ontime=44 dutycycle=255"},
    {"switch_needs_exact_yes", "followpots Yes checkestop 1", "followpots=0"},
    {"on_off_switch", "i2cmode yes motorpowerreductionmode off",
        "i2cmode=0 motorpowerreductionmode=0"},
    {"code_keeps_unknown_word", "stepmode quarter steppolarity Negative", ""},
    {"code_full", "stepmode full", "stepmode=f"},
    {"address_with_prefix", "TWI_slaveAddress 0X2a", "TWI_slaveAddress=42"},
    {"address_is_hex", "TWI_slaveAddress 123", "TWI_slaveAddress=0x23"},
    {"float_then_word", "resistance 3.25ohm", "resistance=3.25"},
    {"comment_joined_to_number", "ontime 7;note dutycycle 5\nslewrate 6", "ontime=7 slewrate=6"},
    {"comment_joined_to_word", "followpots yes;note", "followpots=0"},
    {"code_followed_by_comment", "stepmode ; half stepmode full\ncurrent 3",
        "stepmode=f current=3"},
    {"float_followed_by_comment", "resistance ; 9.0\ncurrent 3", "current=3"},
    {"joined_by_equals", "resistance=2.0 ontime=5", ""},
    {"value_on_next_line", "resistance\n\n2.0", "resistance=2"},
    {"last_occurrence_wins", "ontime 5\n; ontime 9\nontime 6 ontime 7", "ontime=7"},
    {"switch_as_last_word", "followmotorparameters yes followmotorparameters", ""},
    {"crlf_line_ends", "ontime 5\r\n; comment\r\ndutycycle 6\r\n", "ontime=5 dutycycle=6"},
    {"comment_without_line_end", "ontime 5 ; the end", "ontime=5"},
    {"time_keeps_32_bits", "motorshutofftime 70000 powerreductiontime -5",
        "motorshutofftime=70000 powerreductiontime=-5"},
    {"no_number_keeps_value", "ontime abc TWI_slaveAddress zz dutycycle 9", "dutycycle=9"},
    {"missing_value_at_end", "ontime", ""},
    {"out_of_range_keeps_value", "ontime 99999999999 motorshutofftime -3000000000", ""},
    {"long_word_is_no_keyword",
        std::string(100000, 'o') + " ontime 3 " + "ontime" + std::string(200, 'x'), "ontime=3"},
    {"nul_inside_word", std::string("ontime 3 ont\0ime 4", 18), "ontime=3"},
    {"control_bytes_inside_words", "ontime 3 dutycycle\x01 4 slew\x1frate 5 ; \x01\n", "ontime=3"},
    {"long_comment_across_refills", "ontime 3 ;" + std::string(200000, 'c') + "\rdutycycle 4",
        "ontime=3 dutycycle=4"},
    {"several_per_line_tabs", "ontime\t1\vdutycycle\f2 slewrate 3",
        "ontime=1 dutycycle=2 slewrate=3"},
}), test::CaseName());
// clang-format on

TEST(ConfigParser, SkipRestOfLineStopsAfterOneLineEnd) {
    test::TempStream stream("comment text\r\nnext");
    ByteSource source(stream.stream());
    skipRestOfLine(source);
    EXPECT_EQ('\n', source.get());
}

// A text and the warnings it gives, every one of them.
struct WarningCase : test::NamedCase {
    std::string text;
    std::string warnings;
};

class ConfigParserWarnings : public ::testing::TestWithParam<WarningCase> {};

TEST_P(ConfigParserWarnings, NameTheLineAndWhatHappened) {
    const Parsed parsed = parse(GetParam().text);
    EXPECT_EQ(GetParam().warnings, parsed.warnings);
    // Hidden warnings count the same: --strict must not depend on --quiet.
    const auto lines = std::count(parsed.warnings.begin(), parsed.warnings.end(), '\n');
    EXPECT_EQ(lines, parsed.count);
}

const std::string kCurrentSlip =
    "'curent 3.0' is ignored: 'curent' is not a keyword; did you mean 'current'?\n";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, ConfigParserWarnings,
                         ::testing::ValuesIn(std::vector<WarningCase>{
    {"clean", "; ok\nontime 5\nfollowpots no\ni2cmode off\nstepmode wave\n", ""},
    {"typo", "\ncurent 3.0\n", "in.txt:2: warning: " + kCurrentSlip},
    {"lines_of_every_kind", "; a\r\n\rontime 1\n\r\nontime x\r\r;\rpots 7 ",
        "in.txt:5: warning: 'ontime' needs a number, not 'x'; the setting is kept\n"
        "in.txt:8: warning: 'pots 7' is ignored: 'pots' is not a keyword\n"},
    {"slip_after_long_comment",
        ";" + std::string(70000, 'c') + "\r\n" + std::string(65530, ' ') + "curent 3.0\n",
        "in.txt:2: warning: " + kCurrentSlip},
    {"wrong_case", "Resistance 2", "in.txt:1: warning: 'Resistance 2' is ignored: 'Resistance' is "
        "not a keyword; did you mean 'resistance'?\n"},
    {"slip_ends_at_line_keyword_or_comment", "stepmod half\nfoo bar ontime 5 baz\nqux ; quux\n",
        "in.txt:1: warning: 'stepmod half' is ignored: 'stepmod' is not a keyword; did you mean "
        "'stepmode'?\n"
        "in.txt:2: warning: 'foo bar' is ignored: 'foo' is not a keyword\n"
        "in.txt:2: warning: 'baz' is not a keyword; it is ignored\n"
        "in.txt:3: warning: 'qux' is not a keyword; it is ignored\n"},
    {"slips_on_separate_lines", "stepmod\nfoo\n",
        "in.txt:1: warning: 'stepmod' is not a keyword; did you mean 'stepmode'?\n"
        "in.txt:2: warning: 'foo' is not a keyword; it is ignored\n"},
    // A word shown in a warning is never cut so that it reads as another word.
    {"long_word_as_a_number",
        "ontime followstepheader_typo\ncurrent " + std::string(45, 'x') + "\n",
        "in.txt:1: warning: 'ontime' needs a number, not 'followstepheader_typo'; the setting is "
        "kept\n"
        "in.txt:2: warning: 'current' needs a number, not '" + std::string(40, 'x') + "...'; the "
        "setting is kept\n"},
    {"no_number", "resistance\n  abc\n",
        "in.txt:2: warning: 'resistance' needs a number, not 'abc'; the setting is kept\n"},
    {"number_runs_on",
        "resistance 1,5\ncurrent 2.5A\nontime 12abc\nTWI_slaveAddress 0xZZ\nmotorshutofftime 9ms\n"
        "ontime 300x",
        "in.txt:1: warning: resistance 1,5: only '1' is a number; 1 is stored\n"
        "in.txt:2: warning: current 2.5A: only '2.5' is a number; 2.5 is stored\n"
        "in.txt:3: warning: ontime 12abc: only '12' is a number; 12 is stored\n"
        "in.txt:4: warning: TWI_slaveAddress 0xZZ: only '0' is a number; 0x0 is stored\n"
        "in.txt:5: warning: motorshutofftime 9ms: only '9' is a number; 9 is stored\n"
        "in.txt:6: warning: ontime 300x: only '300' is a number; 44 is stored\n"},
    {"comment_after_number", "ontime 128;note\nresistance 2;x y\n", ""},
    {"missing_at_end", "\nontime",
        "in.txt:2: warning: 'ontime' has no value at the end of the file; the setting is kept\n"},
    {"switch_word", "followpots Yes\ni2cmode yes",
        "in.txt:1: warning: 'Yes' is not 'yes' or 'no' for 'followpots'; 'followpots' is set to "
        "no\n"
        "in.txt:2: warning: 'yes' is not 'on' or 'off' for 'i2cmode'; 'i2cmode' is set to off\n"},
    {"code_word", "stepmode quarter", "in.txt:1: warning: 'quarter' is not 'wave', 'full' or "
        "'half' for 'stepmode'; the setting is kept\n"},
    {"lines_ended_by_returns_alone", "; saved on an old Mac\rontime 5\r\rontime 300\r",
        "in.txt:4: warning: '300' does not fit 'ontime' (0 to 255); 44 is stored\n"},
    {"byte_overflow", "ontime 300",
        "in.txt:1: warning: '300' does not fit 'ontime' (0 to 255); 44 is stored\n"},
    // The address is hexadecimal even without 0x: decimal digits alone are worth a word.
    {"address_in_decimal_digits",
        "TWI_slaveAddress 33\nTWI_slaveAddress 0x33\nTWI_slaveAddress 2a\n",
        "in.txt:1: warning: TWI_slaveAddress 33: read as hexadecimal 0x33 (51); write 0x33 to say "
        "so\n"},
    {"address_overflow", "TWI_slaveAddress 0x123", "in.txt:1: warning: '0x123' does not fit "
        "'TWI_slaveAddress' (0x0 to 0xff); 0x23 is stored\n"},
    {"time_overflow", "motorshutofftime 70000", "in.txt:1: warning: '70000' is outside 0 to 65535; "
        "'motorshutofftime' reaches the controller as 4464\n"},
    {"out_of_range", "ontime 99999999999", "in.txt:1: warning: '99999999999' is out of range for "
        "'ontime'; the setting is kept\n"},
    {"float_overflow", "current 1e39", "in.txt:1: warning: '1e39' is too large for a "
        "single-precision 'current'; it is stored as infinity\n"},
}), test::CaseName());
// clang-format on

}  // namespace
}  // namespace kr570
