#include "driver/command_line.hpp"

#include <gtest/gtest.h>

#include <ostream>

#include "support/test_support.hpp"

namespace kr570 {
namespace {

using Action = CommandLine::Action;

struct CommandLineCase : test::NamedCase {
    std::vector<std::string> arguments;
    Action action;
    std::string input;
    std::string output;
    bool warnings;
    std::string error;
};

class CommandLineParsing : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineParsing, ReadsNamesOptionsAndMistakes) {
    const CommandLineCase& c = GetParam();
    const CommandLine parsed = parseCommandLine(c.arguments);
    EXPECT_EQ(c.action, parsed.action);
    EXPECT_EQ(c.input, parsed.inputName);
    EXPECT_EQ(c.output, parsed.outputName);
    EXPECT_EQ(c.warnings, parsed.warnings);
    EXPECT_EQ(c.error, parsed.error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineParsing,
    ::testing::Values(
        CommandLineCase{"none", {}, Action::Interactive, "", "", false, ""},
        CommandLineCase{
            "joined", {"-ia.txt", "-ob.hex"}, Action::Convert, "a.txt", "b.hex", false, ""},
        CommandLineCase{"separate_upper",
                        {"-O", "b.hex", "-I", "a.txt"},
                        Action::Convert,
                        "a.txt",
                        "b.hex",
                        false,
                        ""},
        CommandLineCase{
            "plain_pair", {"-w", "a.hex", "b.txt"}, Action::Convert, "a.hex", "b.txt", true, ""},
        CommandLineCase{"long_warnings",
                        {"--warnings", "-i", "a", "-o", "b"},
                        Action::Convert,
                        "a",
                        "b",
                        true,
                        ""},
        CommandLineCase{"name_after_double_dash",
                        {"--", "-a.txt", "-b.hex"},
                        Action::Convert,
                        "-a.txt",
                        "-b.hex",
                        false,
                        ""},
        CommandLineCase{
            "dash_is_a_name", {"-", "out.hex"}, Action::Convert, "-", "out.hex", false, ""},
        CommandLineCase{"help_wins", {"-x", "--help"}, Action::Help, "", "", false, ""},
        CommandLineCase{"version", {"--version"}, Action::Version, "", "", false, ""},
        CommandLineCase{"unknown_option",
                        {"-x", "a", "b"},
                        Action::UsageError,
                        "",
                        "",
                        false,
                        "unknown option '-x'"},
        CommandLineCase{"stray_argument",
                        {"-i", "a", "-o", "b", "c"},
                        Action::UsageError,
                        "",
                        "",
                        false,
                        "unexpected argument 'c'"},
        CommandLineCase{"three_plain",
                        {"a", "b", "c"},
                        Action::UsageError,
                        "",
                        "",
                        false,
                        "unexpected argument 'c'"},
        CommandLineCase{"repeated_input",
                        {"-ia", "-ib", "-oc"},
                        Action::UsageError,
                        "",
                        "",
                        false,
                        "input file named more than once"},
        CommandLineCase{"only_input",
                        {"-i", "a.txt"},
                        Action::UsageError,
                        "",
                        "",
                        false,
                        "missing output file name (-o NAME)"},
        CommandLineCase{"only_output",
                        {"-o", "a.txt"},
                        Action::UsageError,
                        "",
                        "",
                        false,
                        "missing input file name (-i NAME)"},
        CommandLineCase{"one_plain",
                        {"a.txt"},
                        Action::UsageError,
                        "",
                        "",
                        false,
                        "missing output file name (-o NAME)"},
        CommandLineCase{"option_without_name",
                        {"-o", "b", "-i"},
                        Action::UsageError,
                        "",
                        "",
                        false,
                        "option '-i' needs a file name"},
        CommandLineCase{"warnings_alone",
                        {"-w"},
                        Action::UsageError,
                        "",
                        "",
                        false,
                        "missing input file name (-i NAME)"},
        CommandLineCase{"compare",
                        {"a.txt", "--compare", "-w", "b.hex"},
                        Action::Compare,
                        "a.txt",
                        "b.hex",
                        true,
                        ""},
        CommandLineCase{"compare_from",
                        {"--compare", "--from=hex", "a.txt", "b.txt"},
                        Action::Compare,
                        "a.txt",
                        "b.txt",
                        false,
                        ""},
        CommandLineCase{"compare_one_name",
                        {"--compare", "a.txt"},
                        Action::UsageError,
                        "",
                        "",
                        false,
                        "--compare needs two file names, A and B"},
        CommandLineCase{"compare_from_what",
                        {"--compare", "a", "b", "--from", "bin"},
                        Action::UsageError,
                        "",
                        "",
                        false,
                        "--from takes text or hex, not 'bin'"},
        CommandLineCase{"compare_with_output",
                        {"--compare", "a", "b", "-o", "c"},
                        Action::UsageError,
                        "",
                        "",
                        false,
                        "unknown option '-o' with --compare"}),
    test::CaseName());

}  // namespace
}  // namespace kr570
