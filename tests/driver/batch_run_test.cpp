// Runs with arguments, for scripts: through the real executable.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570 {
namespace {

using test::runTool;

const std::string kFinished = "\nProgram finished!\n";

TEST(BatchRun, ConvertsLikeTheInteractiveRun) {
    test::TempDir dir;
    test::writeFile(dir.file("in.txt"), "ontime 77\nstepmode half\n");
    const std::vector<std::string> env{"SOURCE_DATE_EPOCH=1268903103"};
    ASSERT_EQ(0, runTool({}, "in.txt\ni.hex\n", dir.path(), env).status);
    ASSERT_EQ(0, runTool({}, "i.hex\ni.report\n", dir.path(), env).status);

    const auto toHex =
        runTool({"-i", "in.txt", "-ob.hex"}, "", dir.path(), env, test::Stdin::Closed);
    EXPECT_EQ(0, toHex.status);
    EXPECT_EQ(0U, toHex.out.find("; Calculated motor parameters:\n"));
    EXPECT_EQ(kFinished, toHex.out.substr(toHex.out.size() - kFinished.size()));
    EXPECT_EQ(test::readFile(dir.file("i.hex")), test::readFile(dir.file("b.hex")));

    const auto toText = runTool({"i.hex", "b.report"}, "", dir.path(), env, test::Stdin::Closed);
    EXPECT_EQ(0, toText.status);
    EXPECT_EQ(kFinished, toText.out);
    EXPECT_EQ(test::readFile(dir.file("i.report")), test::readFile(dir.file("b.report")));
}

TEST(BatchRun, HelpAndVersion) {
    test::TempDir dir;
    const auto help = runTool({"--help"}, "", dir.path());
    EXPECT_EQ(0, help.status);
    EXPECT_EQ(0U, help.out.find("Usage: kr570convert"));
    EXPECT_EQ("", help.err);
    const auto version = runTool({"--version"}, "", dir.path());
    EXPECT_EQ(0, version.status);
    EXPECT_EQ("KR570Convert V1.01\n", version.out);
}

class BatchUsageErrors : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(BatchUsageErrors, ExitTwoAndCreateNothing) {
    test::TempDir dir;
    test::writeFile(dir.file("in.txt"), "");
    const auto run = runTool(GetParam(), "", dir.path());
    EXPECT_EQ(2, run.status);
    EXPECT_EQ("", run.out);
    EXPECT_EQ(0U, run.err.find("kr570convert: ")) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("\nTry 'kr570convert --help'\n"));
    EXPECT_FALSE(test::fileExists(dir.file("out.hex")));
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, BatchUsageErrors,
    ::testing::Values(std::vector<std::string>{"-x", "in.txt", "out.hex"},
                      std::vector<std::string>{"-i", "in.txt", "-o", "out.hex", "stray"},
                      std::vector<std::string>{"-i", "in.txt", "-i", "in.txt", "-o", "out.hex"},
                      std::vector<std::string>{"-i", "in.txt"},
                      std::vector<std::string>{"-o", "out.hex"}, std::vector<std::string>{"-"},
                      // A setting that cannot be made stops the run before it opens anything.
                      std::vector<std::string>{"--set", "stepmod=half", "in.txt", "out.hex"},
                      std::vector<std::string>{"--set", "ontime=12abc", "in.txt", "out.hex"},
                      std::vector<std::string>{"--set=stepmode=quarter", "in.txt", "out.hex"},
                      std::vector<std::string>{"--set", "ontime", "in.txt", "out.hex"},
                      std::vector<std::string>{"--ignore", "ontime", "in.txt", "out.hex"}));

// The names in a folder, sorted: a run must leave no temporary file behind.
std::vector<std::string> listing(const test::TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

const std::string kDefaultHex = test::readFile(test::sourcePath("tests/golden/default.hex"));

struct FailureCase : test::NamedCase {
    std::vector<std::string> arguments;
    std::string message;
    test::RunSetup setup;
    bool terminate;  // the input is a FIFO kept open, and the run is stopped while it reads
    std::string standardInput = "";
};

// A text longer than the reader's buffer.
const std::string kLongText = ";" + std::string(40000, 'c') + "\nontime 5\n";

// Keeps the FIFO input open until the run has its temporary output file, then stops the run.
void terminateWhileReading(int processId, const std::string& fifo, const std::string& folder) {
    std::ofstream writer(fifo, std::ios::binary);  // waits for the run to open it
    ASSERT_TRUE(writer.is_open());
    writer << "ontime 5\n" << std::flush;
    bool started = false;
    for (int i = 0; i < 2000 && !started; ++i) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            started = started || entry.path().filename().string()[0] == '.';
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(started) << "no temporary output file appeared";
    EXPECT_TRUE(test::stopRun(processId));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

bool names(const FailureCase& c, const std::string& file) {
    bool named = std::find(c.arguments.begin(), c.arguments.end(), file) != c.arguments.end();
    for (const auto& descriptor : c.setup.descriptors) {
        named = named || descriptor.second == file;
    }
    return named;
}

// Why this system cannot run the row; nullptr when it can.
const char* unsupported(const FailureCase& c) {
    if (names(c, "/dev/full") && test::fullDevice() == nullptr) {
        return "this system has no device that is always full";
    }
    if (names(c, "locked.hex") && test::writesAnyFile() && !c.setup.unprivileged) {
        return "this user may write a write-protected file";
    }
    return test::missingFeature(c.setup);
}

// Takes the write permission (on Windows: sets the read-only attribute) from `path`, or gives
// it back so that the folder can be removed.
void protect(const std::string& path, bool on) {
    namespace fs = std::filesystem;
    const fs::perms write =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(path, write, on ? fs::perm_options::remove : fs::perm_options::add);
}

// Where the runner of this system gives back no trace of a traced run.
const char* const kNoTrace = "this system cannot run the tool under strace";

class BatchFailures : public ::testing::TestWithParam<FailureCase> {};

// Every failure exits 1 without a key wait, says why on standard error, and leaves every file
// as it was: the existing output, the link to it, and no temporary file.
TEST_P(BatchFailures, ExitOneSayWhyAndChangeNothing) {
    const FailureCase& c = GetParam();
    test::TempDir dir;
    test::writeFile(dir.file("in.txt"), "ontime 5\n");
    test::writeFile(dir.file("in.hex"), kDefaultHex);
    test::writeFile(dir.file("notes.txt"), "; my notes\n");
    test::writeFile(dir.file("typo.txt"), "stepmod half\nontime 300\n");
    test::writeFile(dir.file("slips.txt"), "stepmod half\nfoo\nbar\n");
    test::writeFile(dir.file("old.hex"), "old\n");
    test::writeFile(dir.file("locked.hex"), "old\n");
    test::writeFile(dir.file("big.txt"), kLongText);
    test::writeFile(dir.file("x-axis.hex"), kDefaultHex);
    test::writeFile(dir.file("x-axis-report.txt"), "; my notes\n");
    if (unsupported(c) != nullptr) {
        GTEST_SKIP() << unsupported(c);
    }
    protect(dir.file("locked.hex"), true);
    // Symbolic links need a privilege on Windows: there the rows run without one.
    std::error_code noLink;
    std::filesystem::create_symlink("old.hex", dir.file("link.hex"), noLink);
    if (c.terminate && !test::makeFifo(dir.file("fifo.txt"))) {
        GTEST_SKIP() << "this system has no FIFO to keep a run reading";
    }
    const auto before = listing(dir);
    // Standard input stays open and empty: a key wait would hang until killed.
    test::RunSetup setup = c.setup;
    if (c.terminate) {
        setup.whileRunning = [&dir](int processId) {
            terminateWhileReading(processId, dir.file("fifo.txt"), dir.path());
        };
    }
    const auto run =
        runTool(c.arguments, c.standardInput, dir.path(), {}, test::Stdin::Text, setup);
    if (!c.setup.strace.empty() && !run.trace) {
        protect(dir.file("locked.hex"), false);
        GTEST_SKIP() << kNoTrace;
    }
    if (c.terminate) {
        EXPECT_EQ(SIGTERM, run.signal);
    } else {
        EXPECT_EQ(1, run.status);
        EXPECT_EQ(std::string::npos, run.out.find("Hit any key"));
    }
    if (!c.message.empty()) {
        EXPECT_NE(std::string::npos, run.err.find(c.message)) << run.err;
    }
    EXPECT_EQ(before, listing(dir));
    EXPECT_EQ("ontime 5\n", test::readFile(dir.file("in.txt")));
    EXPECT_EQ("; my notes\n", test::readFile(dir.file("notes.txt")));
    EXPECT_EQ("; my notes\n", test::readFile(dir.file("x-axis-report.txt")));
    EXPECT_EQ("old\n", test::readFile(dir.file("old.hex")));
    EXPECT_EQ("old\n", test::readFile(dir.file("locked.hex")));
    protect(dir.file("locked.hex"), false);
    if (!noLink) {
        EXPECT_EQ("old.hex", std::filesystem::read_symlink(dir.file("link.hex")).string());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatchFailures,
    ::testing::Values(
        FailureCase{{"missing_input"},
                    {"-i", "missing.txt", "-o", "out.hex"},
                    "kr570convert: Can't open input file missing.txt: No such file or directory\n",
                    {},
                    false},
        FailureCase{{"folder_input"},
                    {".", "out.hex"},
                    "kr570convert: Can't open input file .: Is a directory\n",
                    {},
                    false},
        FailureCase{{"output_folder_missing"},
                    {"-i", "in.txt", "-o", "no/out.hex"},
                    "kr570convert: Can't open output file no/out.hex: No such file or directory\n",
                    {},
                    false},
        FailureCase{{"output_is_input"},
                    {"-i", "in.txt", "-o", "in.txt"},
                    "kr570convert: Output file in.txt is the input file\n",
                    {},
                    false},
        FailureCase{{"full_device"},
                    {"-i", "in.txt", "-o", "/dev/full"},
                    "kr570convert: Can't write output file /dev/full: No space left on device\n",
                    {},
                    false},
        // Root may write any file: there the run goes as an unprivileged user.
        FailureCase{{"write_protected_output"},
                    {"in.txt", "locked.hex"},
                    "kr570convert: Can't open output file locked.hex: Permission denied\n",
                    {{}, -1, {}, {}, true},
                    false},
        // A file that did not reach the disk is no output: the old one stays.
        // A read that fails is no end of the input: nothing is written from what came before.
        FailureCase{{"read_error_at_the_first_read"},
                    {"in.hex", "new.txt"},
                    "kr570convert: Can't read input file in.hex: Input/output error\n",
                    {{}, -1, {}, {"-e", "inject=read:error=EIO:when=1", "-P", "in.hex"}},
                    false},
        FailureCase{{"read_error_after_the_first_buffer"},
                    {"big.txt", "old.hex"},
                    "kr570convert: Can't read input file big.txt: Input/output error\n",
                    {{}, -1, {}, {"-e", "inject=read:error=EIO:when=2", "-P", "big.txt"}},
                    false},
        FailureCase{{"read_error_on_standard_input"},
                    {"--from=text", "-", "new.hex"},
                    "kr570convert: Can't read input file (standard input): Input/output error\n",
                    {{}, -1, {}, {"-e", "inject=read:error=EIO:when=1", "-P", "{stdin}"}},
                    false,
                    "ontime 5\n"},
        FailureCase{{"read_error_on_standard_input_after_the_first_buffer"},
                    {"-", "new.txt"},
                    "kr570convert: Can't read input file (standard input): Input/output error\n",
                    {{}, -1, {}, {"-e", "inject=read:error=EIO:when=2", "-P", "{stdin}"}},
                    false,
                    std::string(40000, '\n') + kDefaultHex},
        FailureCase{{"sync_fails"},
                    {"in.txt", "old.hex"},
                    "kr570convert: Can't write output file old.hex: Input/output error\n",
                    {{}, -1, {}, {"-e", "inject=fsync:error=EIO"}},
                    false},
        FailureCase{{"sync_of_a_new_file_fails"},
                    {"in.txt", "new.hex"},
                    "kr570convert: Can't write output file new.hex: Input/output error\n",
                    {{}, -1, {}, {"-e", "inject=fsync:error=EIO"}},
                    false},
        FailureCase{{"alone_beside_a_hand_written_text"},
                    {"x-axis.hex"},
                    "kr570convert: x-axis-report.txt exists and was not written by kr570convert; "
                    "use --force to replace it\n",
                    {},
                    false},
        FailureCase{{"hand_written_text"},
                    {"in.hex", "notes.txt"},
                    "kr570convert: notes.txt exists and was not written by kr570convert; use "
                    "--force to replace it\n",
                    {},
                    false},
        FailureCase{{"strict_keeps_the_output"},
                    {"--strict", "-q", "typo.txt", "old.hex"},
                    "kr570convert: typo.txt: 2 warning(s); nothing written (--strict)\n",
                    {},
                    false},
        // Hidden or shown, every warning counts: the two slips stay two.
        FailureCase{{"quiet_strict_counts_every_line"},
                    {"--strict", "-q", "slips.txt", "new.hex"},
                    "kr570convert: slips.txt: 3 warning(s); nothing written (--strict)\n",
                    {},
                    false},
        FailureCase{{"strict_creates_nothing"},
                    {"--strict", "typo.txt", "new.hex"},
                    "kr570convert: typo.txt: 2 warning(s); nothing written (--strict)\n",
                    {},
                    false},
        // Under a file size limit of 0 even the captured standard error takes nothing.
        FailureCase{{"file_size_limit"}, {"in.txt", "old.hex"}, "", {{}, 0, {}}, false},
        FailureCase{
            {"file_size_limit_through_link"}, {"in.txt", "link.hex"}, "", {{}, 0, {}}, false},
        FailureCase{{"standard_output_full"},
                    {"in.hex", "-"},
                    "kr570convert: Can't write standard output: No space left on device\n",
                    {{{1, "/dev/full"}}, -1, {}},
                    false},
        FailureCase{{"terminated_while_reading_a_fifo"}, {"fifo.txt", "link.hex"}, "", {}, true}),
    test::CaseName());

TEST(BatchRun, WarningsAreShownUnlessQuiet) {
    test::TempDir dir;
    test::writeFile(dir.file("typo.txt"), "; motor\nresistance 2.0\ncurent 3.0\nontime 300\n");
    const std::string warnings =
        "typo.txt:3: warning: 'curent 3.0' is ignored: 'curent' is not a keyword; did you mean "
        "'current'?\n"
        "typo.txt:4: warning: '300' does not fit 'ontime' (0 to 255); 44 is stored\n";
    const auto plain = runTool({"typo.txt", "plain.hex"}, "", dir.path());
    const auto loud = runTool({"-w", "typo.txt", "loud.hex"}, "", dir.path());
    const auto quiet = runTool({"--quiet", "typo.txt", "quiet.hex"}, "", dir.path());
    EXPECT_EQ(0, plain.status + loud.status + quiet.status);
    EXPECT_EQ(warnings, plain.err);
    EXPECT_EQ(warnings, loud.err);
    EXPECT_EQ("", quiet.err);
    EXPECT_EQ("", quiet.out);  // no motor parameters, no closing message
    EXPECT_EQ(test::readFile(dir.file("plain.hex")), test::readFile(dir.file("loud.hex")));
    EXPECT_EQ(test::readFile(dir.file("plain.hex")), test::readFile(dir.file("quiet.hex")));
}

const std::string kDefaultReport =
    test::readFile(test::sourcePath("tests/golden/default_report.txt"));

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

struct OutputCase : test::NamedCase {
    std::vector<std::string> arguments;
    std::string input;  // standard input
    std::string out;    // standard output
    std::string err;    // standard error
    std::string file;   // the output file, "" for standard output
    std::string written;
    test::RunSetup setup;
    std::vector<std::string> calls{};  // the traced system calls in order, for a run under strace
};

// The system calls of a traced run as the rows give them: without the process id, descriptor
// numbers and the padding before the result, with the run's folder as DIR and the random part
// of a temporary file's name as XXXXXX.
std::vector<std::string> tracedCalls(const std::string& trace, const std::string& folder) {
    const std::regex call(R"(^\d+ +(.*?) *= (.*)$)");
    const std::regex descriptor(R"(\b\d+<)");
    const std::regex temporary(R"(([/"]\.[^/"<>]+\.)[A-Za-z0-9]{6}([">]))");
    std::vector<std::string> calls;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        std::smatch parts;
        if (!std::regex_match(line, parts, call)) {
            continue;
        }
        std::string text = parts[1].str() + " = " + parts[2].str();
        for (std::size_t at = text.find(folder); at != std::string::npos; at = text.find(folder)) {
            text.replace(at, folder.size(), "DIR");
        }
        text = std::regex_replace(text, descriptor, "<");
        calls.push_back(std::regex_replace(text, temporary, "$1XXXXXX$2"));
    }
    return calls;
}

class BatchOutputs : public ::testing::TestWithParam<OutputCase> {};

TEST_P(BatchOutputs, WriteExactlyWhatTheyShould) {
    const OutputCase& c = GetParam();
    if (const char* missing = test::missingFeature(c.setup)) {
        GTEST_SKIP() << missing;
    }
    test::TempDir dir;
    test::writeFile(dir.file("in.txt"), "; nothing changed\n");
    test::writeFile(dir.file("typo.txt"), "stepmod half\n");
    test::writeFile(dir.file("config.hex"), kDefaultHex);
    test::writeFile(dir.file("x-axis.hex"), kDefaultHex);
    test::writeFile(dir.file("x-axis-report.txt"), kDefaultReport);
    const std::string lineFeedName = "x\nfollowpots no\n.hex";
    test::writeFile(dir.file(lineFeedName), kDefaultHex);
    if (c.arguments[0] == lineFeedName && !test::fileExists(dir.file(lineFeedName))) {
        GTEST_SKIP() << "this system allows no line feed in a file name";
    }
    test::writeFile(dir.file("notes.txt"), "; my notes\n");
    test::writeFile(dir.file("report.txt"), "; KR570 Configuration File created by KR570Convert\n");
    test::writeFile(dir.file("empty.txt"), "");
    test::writeFile(dir.file("old.hex"), "old\n");
    test::writeFile(dir.file("shared.hex"), "old\n");
    std::error_code noLink;
    std::filesystem::create_hard_link(dir.file("shared.hex"), dir.file("other.hex"), noLink);
    const auto run = runTool(c.arguments, c.input, dir.path(), {"SOURCE_DATE_EPOCH=1268903103"},
                             test::Stdin::Text, c.setup);
    if (!c.setup.strace.empty() && !run.trace) {
        GTEST_SKIP() << kNoTrace;
    }
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(c.out, run.out);
    EXPECT_EQ(c.err, run.err);
    if (!c.file.empty()) {
        EXPECT_EQ(test::nativeText(c.written), test::readFile(dir.file(c.file)));
    }
    if (run.trace) {
        const std::string folder = std::filesystem::canonical(dir.path()).string();
        EXPECT_EQ(c.calls, tracedCalls(*run.trace, folder)) << *run.trace;
    }
}

// The calls that put a file on the disk and in its place.
const test::RunSetup kSyncsTraced{
    {}, -1, {}, {"-e", "trace=fsync,fdatasync,rename,renameat,renameat2"}};

// A replaced file: the new file synced, renamed over the old one, and its folder synced.
const std::vector<std::string> kReplacedCalls{"fsync(<DIR/.old.hex.XXXXXX>) = 0",
                                              "rename(\".old.hex.XXXXXX\", \"old.hex\") = 0",
                                              "fsync(<DIR>) = 0"};

const std::string kTypoWarnings =
    "typo.txt:1: warning: 'stepmod half' is ignored: 'stepmod' is not a keyword; did you mean "
    "'stepmode'?\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, BatchOutputs,
    ::testing::Values(OutputCase{{"report_on_standard_output"},
                                 {"config.hex", "-"},
                                 "",
                                 kDefaultReport,
                                 kFinished,
                                 "",
                                 "",
                                 {}},
                      OutputCase{{"quiet_report_on_standard_output"},
                                 {"-q", "config.hex", "-"},
                                 "",
                                 kDefaultReport,
                                 "",
                                 "",
                                 "",
                                 {}},
                      OutputCase{{"text_from_standard_input"},
                                 {"--from=text", "-", "-"},
                                 "ontime 128\n",
                                 kDefaultHex,
                                 test::kDefaultMotorBlock + kFinished,
                                 "",
                                 "",
                                 {}},
                      // Read as bytes: Ctrl-Z is no end of the input.
                      OutputCase{{"ctrl_z_from_standard_input"},
                                 {"--from=text", "-", "out.hex"},
                                 "ontime 128\r\n\x1a\nstepmode half\r\n",
                                 test::kDefaultMotorBlock + kFinished,
                                 "(standard input):2: warning: '\\x1a' is "
                                 "not a keyword; it is ignored\n",
                                 "",
                                 "",
                                 {}},
                      OutputCase{{"standard_input_is_hex"},
                                 {"-", "out.txt"},
                                 kDefaultHex,
                                 kFinished,
                                 "",
                                 "out.txt",
                                 replaced(kDefaultReport, "config.hex", "-"),
                                 {}},
                      // A file named alone is converted beside itself.
                      OutputCase{{"text_alone"},
                                 {"in.txt"},
                                 "",
                                 "Output file: in.hex\n" + test::kDefaultMotorBlock + kFinished,
                                 "",
                                 "in.hex",
                                 kDefaultHex,
                                 {}},
                      OutputCase{{"image_alone_replaces_its_report"},
                                 {"x-axis.hex"},
                                 "",
                                 "Output file: x-axis-report.txt\n" + kFinished,
                                 "",
                                 "x-axis-report.txt",
                                 replaced(kDefaultReport, "config.hex", "x-axis.hex"),
                                 {}},
                      OutputCase{{"force_replaces_a_text"},
                                 {"--force", "config.hex", "notes.txt"},
                                 "",
                                 kFinished,
                                 "",
                                 "notes.txt",
                                 kDefaultReport,
                                 {}},
                      OutputCase{{"previous_report_is_replaced"},
                                 {"config.hex", "report.txt"},
                                 "",
                                 kFinished,
                                 "",
                                 "report.txt",
                                 kDefaultReport,
                                 {}},
                      OutputCase{{"empty_file_is_replaced"},
                                 {"config.hex", "empty.txt"},
                                 "",
                                 kFinished,
                                 "",
                                 "empty.txt",
                                 kDefaultReport,
                                 {}},
                      OutputCase{{"hex_output_is_replaced"},
                                 {"in.txt", "old.hex"},
                                 "",
                                 test::kDefaultMotorBlock + kFinished,
                                 "",
                                 "old.hex",
                                 kDefaultHex,
                                 {}},
                      OutputCase{{"line_feed_in_the_input_name"},
                                 {"x\nfollowpots no\n.hex", "out.txt"},
                                 "",
                                 kFinished,
                                 "",
                                 "out.txt",
                                 replaced(kDefaultReport, "config.hex", "x?followpots no?.hex"),
                                 {}},
                      OutputCase{{"warnings_with_standard_error_closed"},
                                 {"typo.txt", "out.hex"},
                                 "",
                                 test::kDefaultMotorBlock + kFinished,
                                 "",
                                 "out.hex",
                                 kDefaultHex,
                                 {{{2, ""}}, -1, {}}},
                      OutputCase{{"standard_output_closed"},
                                 {"typo.txt", "out.hex"},
                                 "",
                                 "",
                                 kTypoWarnings,
                                 "out.hex",
                                 kDefaultHex,
                                 {{{1, ""}}, -1, {}}},
                      // On the disk before the rename, the folder after it.
                      OutputCase{{"replaced_output_reaches_the_disk"},
                                 {"in.txt", "old.hex"},
                                 "",
                                 test::kDefaultMotorBlock + kFinished,
                                 "",
                                 "old.hex",
                                 kDefaultHex,
                                 kSyncsTraced,
                                 kReplacedCalls},
                      OutputCase{{"shared_file_reaches_the_disk"},
                                 {"in.txt", "shared.hex"},
                                 "",
                                 test::kDefaultMotorBlock + kFinished,
                                 "",
                                 "other.hex",
                                 kDefaultHex,
                                 kSyncsTraced,
                                 {"fsync(<DIR/shared.hex>) = 0"}},
                      // Only regular files are synced.
                      OutputCase{{"device_is_not_synced"},
                                 {"in.txt", "/dev/null"},
                                 "",
                                 test::kDefaultMotorBlock + kFinished,
                                 "",
                                 "",
                                 "",
                                 kSyncsTraced,
                                 {}}),
    test::CaseName());

TEST(BatchRun, ReplacedOutputsKeepTheirLinksAndPermissions) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    test::writeFile(dir.file("in.txt"), "");
    test::writeFile(dir.file("real.hex"), "old\n");
    // What an ordinary create gives a file in this folder.
    test::writeFile(dir.file("ordinary"), "");
    const fs::perms kept = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(dir.file("real.hex"), kept);
    std::error_code noLink;
    fs::create_symlink("real.hex", dir.file("link.hex"), noLink);
    test::writeFile(dir.file("a.hex"), "old\n");
    fs::create_hard_link(dir.file("a.hex"), dir.file("b.hex"));
    for (const char* output : {"link.hex", "a.hex", "new.hex"}) {
        EXPECT_EQ(0, runTool({"in.txt", output}, "", dir.path()).status) << output;
    }
    // Both names of a file with two see the new contents.
    for (const char* written : {"b.hex", "new.hex"}) {
        EXPECT_EQ(test::nativeText(kDefaultHex), test::readFile(dir.file(written))) << written;
    }
    if (noLink) {
        GTEST_SKIP() << "symbolic links need a privilege here, and permissions are one bit";
    }
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.file("link.hex"))));
    EXPECT_EQ(test::nativeText(kDefaultHex), test::readFile(dir.file("real.hex")));
    EXPECT_EQ(kept, fs::status(dir.file("real.hex")).permissions());
    EXPECT_EQ(2U, fs::hard_link_count(dir.file("b.hex")));
    EXPECT_EQ(fs::status(dir.file("ordinary")).permissions(),
              fs::status(dir.file("new.hex")).permissions());
}

TEST(BatchRun, HexWarningsIncludeTheMissingSignature) {
    test::TempDir dir;
    test::writeFile(dir.file("odd.hex"), ":0100000011ff\n");
    const auto run = runTool({"-w", "odd.hex", "odd.txt"}, "", dir.path(), {"SOURCE_DATE_EPOCH=0"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(
        "odd.hex:1: warning: checksum is 0xff, expected 0xee; the record is applied\n"
        "odd.hex: warning: no end-of-file record\n"
        "odd.hex: warning: only 1 of the 72 bytes of the configuration block are in the file; "
        "the others read as 0\n"
        "odd.hex: warning: no configuration block signature (85 c2 1e 4f 11) at address 0; the "
        "first 72 bytes are read as a block all the same\n",
        run.err);
    EXPECT_TRUE(test::fileExists(dir.file("odd.txt")));
}

}  // namespace
}  // namespace kr570
