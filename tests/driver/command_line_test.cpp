#include "driver/command_line.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "support/test_support.hpp"

namespace kr570 {
namespace {

// A command line, split at blanks, and what it parses into as `summary` writes it.
struct CommandLineCase : test::NamedCase {
    std::string arguments;
    std::string parsed;
};

// "ACTION INPUT OUTPUT FLAGS: ERROR", an empty name as _, no flags and no error left out. The
// flags are q s(trict) f(orce), the kind of --from, > and that of --to, @ for an output beside
// the input; the kinds t(ext), h(ex), S(-records), b(inary), l(ist).
std::string summary(const CommandLine& parsed) {
    const char* const actions[] = {"interactive", "convert", "units", "compare",
                                   "help",        "version", "usage"};
    const auto name = [](const std::string& file) { return file.empty() ? "_" : file; };
    const auto kind = [](std::optional<FileKind> k) {
        return k ? std::string(1, "thSbl"[static_cast<int>(*k)]) : "";
    };
    const std::string flags = std::string(parsed.quiet ? "q" : "") + (parsed.strict ? "s" : "") +
                              (parsed.force ? "f" : "") + kind(parsed.from) +
                              (parsed.to ? ">" + kind(parsed.to) : "") +
                              (parsed.besideInput ? "@" : "");
    const bool compare = parsed.action == CommandLine::Action::Compare;
    return actions[static_cast<int>(parsed.action)] +
           (" " + name((compare ? parsed.compared[0] : parsed.input).given)) + " " +
           name((compare ? parsed.compared[1] : parsed.output).given) +
           (flags.empty() ? "" : " " + flags) +
           (parsed.mistake.what.empty() ? "" : ": " + parsed.mistake.what);
}

class CommandLineParsing : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineParsing, ReadsNamesOptionsAndMistakes) {
    EXPECT_EQ(GetParam().parsed, summary(parseCommandLine(test::words(GetParam().arguments))));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, CommandLineParsing,
                         ::testing::ValuesIn(std::vector<CommandLineCase>{
    {"none", "", "interactive _ _"},
    {"joined", "-ia.txt -ob.hex", "convert a.txt b.hex >h"},
    {"separate_upper", "-O b.hex -I a.txt", "convert a.txt b.hex >h"},
    {"plain_pair", "-w a.hex b.txt", "convert a.hex b.txt >t"},
    {"long_warnings", "--warnings -i a -o b", "convert a b"},
    {"name_after_double_dash", "-- -a.txt -b.hex", "convert -a.txt -b.hex >h"},
    {"dash_is_a_name", "- out.hex", "convert - out.hex >h"},
    {"safety_options", "-q --strict --force --from=text - -", "convert - - qsft"},
    {"long_quiet_and_hex", "--quiet --from hex -i in.txt -o-", "convert in.txt - qh"},
    {"unknown_kind", "--from=binary a b",
        "usage _ _: --from takes text, hex, srec, bin or list, not 'binary'"},
    {"every_kind_in_and_out", "--from=list --to srec a.csv b.srec", "convert a.csv b.srec l>S"},
    {"no_list_is_written", "--to=list a b",
        "usage _ _: --to takes text, hex, srec or bin, not 'list'"},
    {"kind_missing", "a b --to", "usage _ _: option '--to' needs a value"},
    {"help_wins", "-x --help", "help _ _"},
    {"version", "--version", "version _ _"},
    {"unknown_option", "-x a b", "usage _ _: unknown option '-x'"},
    {"stray_argument", "-i a -o b c", "usage _ _: unexpected argument 'c'"},
    {"three_plain", "a b c", "usage _ _: unexpected argument 'c'"},
    {"repeated_input", "-ia -ib -oc", "usage _ _: input file named more than once"},
    {"only_input", "-i a.txt", "usage _ _: missing output file name (-o NAME)"},
    {"only_output", "-o a.txt", "usage _ _: missing input file name (-i NAME)"},
    // One file alone, as Windows names a file dropped on the executable: converted beside.
    {"one_plain", "a.txt", "convert a.txt _ @"},
    {"standard_input_alone", "-", "usage _ _: missing output file name (-o NAME)"},
    {"option_without_name", "-o b -i", "usage _ _: option '-i' needs a file name"},
    {"warnings_alone", "-w", "usage _ _: missing input file name (-i NAME)"},
    {"compare", "a.txt --compare -w b.hex", "compare a.txt b.hex"},
    {"compare_from", "--compare --from=hex a.txt b.txt", "compare a.txt b.txt h"},
    {"compare_one_name", "--compare a.txt", "usage _ _: --compare needs two file names, A and B"},
    {"compare_with_output", "--compare a -o c",
        "usage _ _: --compare needs two file names, A and B"},
    {"compare_standard_input_twice", "--compare - -", "usage _ _: --compare takes standard input for one file only"},
    {"compare_sets_the_expected_side", "--compare a.txt - --set ontime=7", "compare a.txt -"},
    {"compare_set_on_standard_input", "--compare - b.hex --set ontime=7", "usage _ _: --set applies to A, the configuration text a unit is checked against, which must be named, not '-'"},
    {"to_contradicts_the_name", "--to srec a.txt b.hex", "usage _ _: --to srec contradicts the output's name b.hex (Intel HEX)"},
    {"name_of_a_kind_not_written", "a.txt b.csv", "usage _ _: b.csv names a byte list, which kr570convert does not write; it writes text, hex, srec or bin"},
    {"name_ending_in_t_is_a_report", "a.hex b.out", "convert a.hex b.out >t"},
    {"name_that_says_nothing", "a.hex b", "convert a.hex b"},
    {"set_a_value_cut_to_its_field", "--set ontime=300 a b", "usage _ _: --set ontime=300: '300' does not fit 'ontime' (0 to 255)"},
    {"set_an_address_in_decimal", "--set TWI_slaveAddress=33 a b", "usage _ _: --set TWI_slaveAddress=33: 33 is hexadecimal 0x33 (51); write 0x33 to mean 0x33"},
    {"set_a_reserved_address", "--set TWI_slaveAddress=0x78 a b", "usage _ _: --set TWI_slaveAddress=0x78: 0x78 is an address that I2C reserves (0x00 to 0x07, 0x78 to 0x7f)"},
    {"set_a_negative_motor_setting", "--set resistance=-1 a b", "usage _ _: --set resistance=-1: '-1' is negative; the motor estimates assume positive values"},
    {"units_write_each_unit", "--units line.csv --output-dir u base.txt", "units base.txt _"},
    {"units_with_an_output", "--units line.csv base.txt out.hex", "usage _ _: --units without --unit takes the base configuration alone and writes one file for each unit (into --output-dir)"},
    {"unit_of_a_table", "--units line.csv --unit x-axis base.txt x.hex", "convert base.txt x.hex >h"},
    {"unit_without_a_table", "--unit x-axis a b", "usage _ _: --unit goes with --units FILE, the table that names the unit"},
    {"compare_units_without_a_unit", "--compare --units t a b", "usage _ _: --compare checks one unit: --units FILE --unit NAME"},
    {"output_folder_without_units", "--output-dir d a b", "usage _ _: --output-dir goes with --units FILE and no --unit: it holds each unit's file"},
}), test::CaseName());
// clang-format on

}  // namespace
}  // namespace kr570
