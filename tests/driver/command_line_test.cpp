#include "driver/command_line.hpp"

#include <gtest/gtest.h>

#include <optional>
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
    // q s(trict) f(orce), the kind of --from, > and that of --to, @ for an output beside
    std::string flags;
    std::string error;
};

std::string flagsOf(const CommandLine& parsed) {
    std::string flags;
    flags += parsed.quiet ? "q" : "";
    flags += parsed.strict ? "s" : "";
    flags += parsed.force ? "f" : "";
    // t(ext), h(ex), S(-records), b(inary), l(ist).
    const auto letter = [](std::optional<FileKind> kind) -> std::string {
        return !kind ? "" : std::string(1, "thSbl"[static_cast<int>(*kind)]);
    };
    flags += letter(parsed.from);
    flags += parsed.to ? ">" + letter(parsed.to) : "";
    flags += parsed.besideInput ? "@" : "";
    return flags;
}

class CommandLineParsing : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineParsing, ReadsNamesOptionsAndMistakes) {
    const CommandLineCase& c = GetParam();
    const CommandLine parsed = parseCommandLine(c.arguments);
    EXPECT_EQ(c.action, parsed.action);
    EXPECT_EQ(c.input,
              parsed.action == Action::Compare ? parsed.compared[0].given : parsed.input.given);
    EXPECT_EQ(c.output,
              parsed.action == Action::Compare ? parsed.compared[1].given : parsed.output.given);
    EXPECT_EQ(c.flags, flagsOf(parsed));
    EXPECT_EQ(c.error, parsed.mistake.what);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineParsing,
    ::testing::Values(
        CommandLineCase{"none", {}, Action::Interactive, "", "", "", ""},
        CommandLineCase{
            "joined", {"-ia.txt", "-ob.hex"}, Action::Convert, "a.txt", "b.hex", "", ""},
        CommandLineCase{"separate_upper",
                        {"-O", "b.hex", "-I", "a.txt"},
                        Action::Convert,
                        "a.txt",
                        "b.hex",
                        "",
                        ""},
        CommandLineCase{
            "plain_pair", {"-w", "a.hex", "b.txt"}, Action::Convert, "a.hex", "b.txt", "", ""},
        CommandLineCase{"long_warnings",
                        {"--warnings", "-i", "a", "-o", "b"},
                        Action::Convert,
                        "a",
                        "b",
                        "",
                        ""},
        CommandLineCase{"name_after_double_dash",
                        {"--", "-a.txt", "-b.hex"},
                        Action::Convert,
                        "-a.txt",
                        "-b.hex",
                        "",
                        ""},
        CommandLineCase{
            "dash_is_a_name", {"-", "out.hex"}, Action::Convert, "-", "out.hex", "", ""},
        CommandLineCase{"safety_options",
                        {"-q", "--strict", "--force", "--from=text", "-", "-"},
                        Action::Convert,
                        "-",
                        "-",
                        "qsft",
                        ""},
        CommandLineCase{"long_quiet_and_hex",
                        {"--quiet", "--from", "hex", "-i", "in.txt", "-o-"},
                        Action::Convert,
                        "in.txt",
                        "-",
                        "qh",
                        ""},
        CommandLineCase{"unknown_kind",
                        {"--from=binary", "a", "b"},
                        Action::UsageError,
                        "",
                        "",
                        "",
                        "--from takes text, hex, srec, bin or list, not 'binary'"},
        CommandLineCase{"every_kind_in_and_out",
                        {"--from=list", "--to", "srec", "a.csv", "b.srec"},
                        Action::Convert,
                        "a.csv",
                        "b.srec",
                        "l>S",
                        ""},
        CommandLineCase{"no_list_is_written",
                        {"--to=list", "a", "b"},
                        Action::UsageError,
                        "",
                        "",
                        "",
                        "--to takes text, hex, srec or bin, not 'list'"},
        CommandLineCase{"kind_missing",
                        {"a", "b", "--to"},
                        Action::UsageError,
                        "",
                        "",
                        "",
                        "option '--to' needs a value"},
        CommandLineCase{"help_wins", {"-x", "--help"}, Action::Help, "", "", "", ""},
        CommandLineCase{"version", {"--version"}, Action::Version, "", "", "", ""},
        CommandLineCase{"unknown_option",
                        {"-x", "a", "b"},
                        Action::UsageError,
                        "",
                        "",
                        "",
                        "unknown option '-x'"},
        CommandLineCase{"stray_argument",
                        {"-i", "a", "-o", "b", "c"},
                        Action::UsageError,
                        "",
                        "",
                        "",
                        "unexpected argument 'c'"},
        CommandLineCase{"three_plain",
                        {"a", "b", "c"},
                        Action::UsageError,
                        "",
                        "",
                        "",
                        "unexpected argument 'c'"},
        CommandLineCase{"repeated_input",
                        {"-ia", "-ib", "-oc"},
                        Action::UsageError,
                        "",
                        "",
                        "",
                        "input file named more than once"},
        CommandLineCase{"only_input",
                        {"-i", "a.txt"},
                        Action::UsageError,
                        "",
                        "",
                        "",
                        "missing output file name (-o NAME)"},
        CommandLineCase{"only_output",
                        {"-o", "a.txt"},
                        Action::UsageError,
                        "",
                        "",
                        "",
                        "missing input file name (-i NAME)"},
        // One file alone, as Windows names a file dropped on the executable: converted beside.
        CommandLineCase{"one_plain", {"a.txt"}, Action::Convert, "a.txt", "", "@", ""},
        CommandLineCase{"standard_input_alone",
                        {"-"},
                        Action::UsageError,
                        "",
                        "",
                        "",
                        "missing output file name (-o NAME)"},
        CommandLineCase{"option_without_name",
                        {"-o", "b", "-i"},
                        Action::UsageError,
                        "",
                        "",
                        "",
                        "option '-i' needs a file name"},
        CommandLineCase{"warnings_alone",
                        {"-w"},
                        Action::UsageError,
                        "",
                        "",
                        "",
                        "missing input file name (-i NAME)"},
        CommandLineCase{"compare",
                        {"a.txt", "--compare", "-w", "b.hex"},
                        Action::Compare,
                        "a.txt",
                        "b.hex",
                        "",
                        ""},
        CommandLineCase{"compare_from",
                        {"--compare", "--from=hex", "a.txt", "b.txt"},
                        Action::Compare,
                        "a.txt",
                        "b.txt",
                        "h",
                        ""},
        CommandLineCase{"compare_one_name",
                        {"--compare", "a.txt"},
                        Action::UsageError,
                        "",
                        "",
                        "",
                        "--compare needs two file names, A and B"},
        CommandLineCase{"compare_with_output",
                        {"--compare", "a", "-o", "c"},
                        Action::UsageError,
                        "",
                        "",
                        "",
                        "--compare needs two file names, A and B"}),
    test::CaseName());

}  // namespace
}  // namespace kr570
