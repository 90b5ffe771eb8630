// Runs with arguments, for scripts: through the real executable.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "eeprom/config_block.hpp"
#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570 {
namespace {

using test::kDefaultHex;
using test::kDefaultReport;
using test::kDefaultText;
using test::replaced;
using test::Tool;

const std::string kFinished = "\nProgram finished!\n";
const std::string kEstimates = test::kDefaultMotorBlock + kFinished;

TEST(BatchRun, ConvertsLikeTheInteractiveRun) {
    test::TempDir dir;
    const Tool run =
        Tool().file("in.txt", "ontime 77\nstepmode half\n").env("SOURCE_DATE_EPOCH=1268903103");
    ASSERT_EQ(0, Tool(run).input("in.txt\ni.hex\n").in(dir.path()).status);
    ASSERT_EQ(0, Tool(run).input("i.hex\ni.report\n").in(dir.path()).status);
    const auto toHex = Tool(run).args("-i in.txt -ob.hex").closedInput().in(dir.path());
    EXPECT_EQ(0, toHex.status);
    EXPECT_EQ(0U, toHex.out.find("; Calculated motor parameters:\n"));
    EXPECT_EQ(kFinished, toHex.out.substr(toHex.out.size() - kFinished.size()));
    const auto toText = Tool(run).args("i.hex b.report").closedInput().in(dir.path());
    EXPECT_EQ(0, toText.status);
    EXPECT_EQ(kFinished, toText.out);
    EXPECT_EQ(test::readFile(dir.file("i.hex")), test::readFile(dir.file("b.hex")));
    EXPECT_EQ(test::readFile(dir.file("i.report")), test::readFile(dir.file("b.report")));
}

TEST(BatchRun, HelpAndVersion) {
    EXPECT_EQ(0U, test::check(Tool().args("--help")).out.find("Usage: kr570convert"));
    test::check(Tool().args("--version").prints("KR570Convert V1.01\n"));
}

class BatchUsageErrors : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(BatchUsageErrors, ExitTwoAndCreateNothing) {
    Tool row = Tool().argv(GetParam()).file("in.txt", "").exits(2).prints("").makesNo("out.hex");
    const auto run = test::check(row.saying("\nTry 'kr570convert --help'\n"));
    EXPECT_EQ(0U, run.err.find("kr570convert: ")) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, BatchUsageErrors,
    ::testing::ValuesIn(std::vector<std::vector<std::string>>{
        test::words("-x in.txt out.hex"), test::words("-i in.txt -o out.hex stray"),
        test::words("-i in.txt -i in.txt -o out.hex"), test::words("-i in.txt"),
        test::words("-o out.hex"), test::words("-"),
        // A setting that cannot be made stops the run before it opens anything.
        test::words("--set stepmod=half in.txt out.hex"),
        test::words("--set ontime=12abc in.txt out.hex"),
        test::words("--set=stepmode=quarter in.txt out.hex"),
        test::words("--set ontime in.txt out.hex"),
        test::words("--ignore ontime in.txt out.hex")}));

// The names in a folder, sorted: a run must leave no temporary file behind.
std::vector<std::string> listing(const test::TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The folder every failing run starts in; a failure leaves each file as it was. big.txt is longer
// than the reader's buffer.
// clang-format off
const std::vector<std::pair<std::string, std::string>> kFailureFolder{
    {"in.txt", "ontime 5\n"}, {"in.hex", kDefaultHex}, {"notes.txt", "; my notes\n"},
    {"typo.txt", "stepmod half\nontime 300\n"}, {"slips.txt", "stepmod half\nfoo\nbar\nontime 5\n"},
    {"prose.txt", "a text of no settings\n"}, {"readback.hex", test::kReadBack},
    {"y-axis.hex", test::kReadBack}, {"y-axis.txt", "ontime 5\n"}, {"image.dat", kDefaultHex},
    {"cut.hex", test::kReadBack.substr(0, 150)}, {"cut.bin", test::bytesOf(kDefaultHex).substr(0, 50)},
    {"erased.bin", std::string(10, '\xff')}, {"list.txt", "1,2"},
    {"big.hex", std::string(32760, '\n') + test::kReadBack},
    {"old.hex", "old\n"}, {"locked.hex", "old\n"},
    {"big.txt", ";" + std::string(40000, 'c') + "\nontime 5\n"},
    {"x-axis.hex", kDefaultHex}, {"x-axis-report.txt", "; my notes\n"}};
// clang-format on

// Keeps the FIFO input open until the run has its temporary output file, then stops the run.
void stopWhileReading(int processId, const std::string& folder) {
    std::ofstream writer(folder + "/fifo.txt", std::ios::binary);  // waits for the run to open it
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

// Takes the write permission (on Windows: sets the read-only attribute) from `path`, or gives
// it back so that the folder can be removed.
void protect(const std::string& path, bool on) {
    namespace fs = std::filesystem;
    const fs::perms write =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(path, write, on ? fs::perm_options::remove : fs::perm_options::add);
}

class BatchFailures : public test::ToolRows {};

// Every failure exits 1 without a key wait, says why on standard error, and leaves every file
// as it was: the existing output, the link to it, and no temporary file.
TEST_P(BatchFailures, ExitOneSayWhyAndChangeNothing) {
    const Tool& row = GetParam();
    test::TempDir dir;
    if (row.setup.whileRunning && !test::makeFifo(dir.file("fifo.txt"))) {
        GTEST_SKIP() << "this system has no FIFO to keep a run reading";
    }
    for (const auto& [name, contents] : kFailureFolder) {
        test::writeFile(dir.file(name), contents);
    }
    protect(dir.file("locked.hex"), true);
    // Symbolic links need a privilege on Windows: there the rows run without one.
    std::error_code noLink;
    std::filesystem::create_symlink("old.hex", dir.file("link.hex"), noLink);
    const auto before = listing(dir);
    const auto run = row.in(dir.path());
    test::expectOutcome(row, run, dir.path());
    EXPECT_EQ(std::string::npos, run.out.find("Hit any key"));
    EXPECT_EQ(before, listing(dir));
    for (const auto& [name, contents] : kFailureFolder) {
        EXPECT_EQ(contents, test::readFile(dir.file(name))) << name;
    }
    protect(dir.file("locked.hex"), false);
    if (!noLink) {
        EXPECT_EQ("old.hex", std::filesystem::read_symlink(dir.file("link.hex")).string());
    }
}

// strace options that make the `nth` read of `file` fail.
std::vector<std::string> readFails(int nth, const std::string& file) {
    return {"-e", "inject=read:error=EIO:when=" + std::to_string(nth), "-P", file};
}

const std::vector<std::string> kSyncFails{"-e", "inject=fsync:error=EIO"};
const std::string kNotByUs =
    " exists and was not written by kr570convert; use --force to replace it";
const std::string kStdinFails = "Can't read input file (standard input): Input/output error";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, BatchFailures, ::testing::Values(
    Tool("missing_input").args("-i missing.txt -o out.hex")
        .fails("Can't open input file missing.txt: No such file or directory"),
    Tool("folder_input").args(". out.hex").fails("Can't open input file .: Is a directory"),
    Tool("output_folder_missing").args("-i in.txt -o no/out.hex")
        .fails("Can't open output file no/out.hex: No such file or directory"),
    Tool("output_is_input").args("-i in.txt -o in.txt")
        .fails("Output file in.txt is the input file"),
    Tool("full_device").args("-i in.txt -o /dev/full")
        .fails("Can't write output file /dev/full: No space left on device"),
    // Root may write any file: there the run goes as an unprivileged user.
    Tool("write_protected_output").args("in.txt locked.hex").unprivileged()
        .fails("Can't open output file locked.hex: Permission denied"),
    // A read that fails is no end of the input: nothing is written from what came before.
    Tool("read_error_at_the_first_read").args("in.hex new.txt").strace(readFails(1, "in.hex"))
        .fails("Can't read input file in.hex: Input/output error"),
    Tool("read_error_after_the_first_buffer").args("big.txt old.hex")
        .strace(readFails(2, "big.txt")).fails("Can't read input file big.txt: Input/output error"),
    Tool("read_error_on_standard_input").args("--from=text - new.hex").input("ontime 5\n")
        .strace(readFails(1, "{stdin}")).fails(kStdinFails),
    Tool("read_error_on_standard_input_after_the_first_buffer").args("- new.txt")
        .input(std::string(40000, '\n') + kDefaultHex).strace(readFails(2, "{stdin}"))
        .fails(kStdinFails),
    // A file that did not reach the disk is no output: the old one stays.
    Tool("sync_fails").args("in.txt old.hex").strace(kSyncFails)
        .fails("Can't write output file old.hex: Input/output error"),
    Tool("sync_of_a_new_file_fails").args("in.txt new.hex").strace(kSyncFails)
        .fails("Can't write output file new.hex: Input/output error"),
    Tool("alone_beside_a_hand_written_text").args("x-axis.hex")
        .fails("x-axis-report.txt" + kNotByUs),
    Tool("hand_written_text").args("in.hex notes.txt").fails("notes.txt" + kNotByUs),
    Tool("strict_keeps_the_output").args("--strict -q typo.txt old.hex")
        .fails("typo.txt: 2 warnings; nothing written (--strict)"),
    // Hidden or shown, every warning counts: the three slips stay three.
    Tool("quiet_strict_counts_every_line").args("--strict -q slips.txt new.hex")
        .fails("slips.txt: 3 warnings; nothing written (--strict)"),
    // Nothing before the refusal but the warnings: no motor estimates, no closing message.
    Tool("strict_creates_nothing").args("--strict typo.txt new.hex").exits(1).prints("")
        .saying("\nkr570convert: typo.txt: 2 warnings; nothing written (--strict)\n"),
    // Under a file size limit of 0 even the captured standard error takes nothing.
    Tool("file_size_limit").args("in.txt old.hex").fileSizeLimit(0).exits(1),
    Tool("file_size_limit_through_link").args("in.txt link.hex").fileSizeLimit(0).exits(1),
    Tool("standard_output_full").args("in.hex -").fd(1, "/dev/full")
        .fails("Can't write standard output: No space left on device"),
    Tool("terminated_while_reading_a_fifo").args("fifo.txt link.hex").meanwhile(stopWhileReading)
        .stopped(SIGTERM),
    // The one message for a read that failed inside a record: no record cut short before it.
    Tool("read_error_in_a_record").args("big.hex new.txt").strace(readFails(2, "big.hex"))
        .fails("Can't read input file big.hex: Input/output error"),
    // An output is replaced only when nothing of it is lost.
    Tool("text_over_a_hand_written_text").args("in.txt notes.txt").fails("notes.txt" + kNotByUs),
    Tool("block_over_a_read_back").args("in.txt readback.hex").fails("readback.hex exists and holds "
        "Intel HEX with data at address 0x0048, which the new file would lose; use --force to replace it"),
    Tool("text_alone_over_a_read_back").args("y-axis.txt").fails("y-axis.hex exists and holds "
        "Intel HEX with data at address 0x0048, which the new file would lose; use --force to replace it"),
    Tool("report_over_an_image").args("--to=text in.hex image.dat")
        .fails("image.dat exists and holds Intel HEX, not a report; use --force to replace it"),
    // A read-back cut short is no configuration that zeros may complete, unless --force says so.
    Tool("cut_hex").args("cut.hex new.txt").exits(1).saying("record cut short\ncut.hex: warning: no "
        "end-of-file record\nkr570convert: cut.hex holds only 64 of the 72 bytes of the configuration "
        "block; --force converts it with the others read as 0\n"),
    Tool("cut_bin").args("cut.bin new.txt").fails("cut.bin holds only 50 of the 72 bytes of the "
        "configuration block; --force converts it with the others read as 0"),
    Tool("list_without_line_end").args("list.txt new.hex").exits(1).saying("kr570convert: list.txt "
        "holds only 2 of the 72 bytes of the configuration block"),
    Tool("erased_short_run").args("erased.bin new.txt").fails("erased.bin holds no configuration: the "
        "EEPROM is erased (its 10 bytes of the configuration block are all 0xff)"),
    Tool("text_of_no_settings").args("prose.txt new.hex").exits(1)
        .saying("\nkr570convert: prose.txt holds no configuration: none of its 5 words is a setting\n"),
    Tool("no_setting_rescues_it").args("--set ontime=5 prose.txt new.hex").exits(1)
        .saying("\nkr570convert: prose.txt holds no configuration: none of its 5 words is a setting\n")
    ), test::CaseName());
// clang-format on

TEST(BatchRun, WarningsAreShownUnlessQuiet) {
    const Tool typo = Tool().file("typo.txt", "; motor\nresistance 2.0\ncurent 3.0\nontime 300\n");
    const std::string warnings =
        "typo.txt:3: warning: 'curent 3.0' is ignored: 'curent' is not a keyword; did you mean "
        "'current'?\n"
        "typo.txt:4: warning: '300' does not fit 'ontime' (0 to 255); 44 is stored\n";
    const std::string hex = test::hexOf(test::withSettings("resistance=2 ontime=44"));
    test::check(Tool(typo).args("typo.txt plain.hex").warns(warnings).writes("plain.hex", hex));
    test::check(Tool(typo).args("-w typo.txt loud.hex").warns(warnings).writes("loud.hex", hex));
    // No motor parameters, no closing message.
    test::check(Tool(typo).args("--quiet typo.txt q.hex").prints("").writes("q.hex", hex));
}

// The folder every output run starts in.
// clang-format off
const std::vector<std::pair<std::string, std::string>> kOutputFolder{
    {"in.txt", "; nothing changed\n"}, {"typo.txt", "stepmod half\nontime 128\n"}, {"config.hex", kDefaultHex},
    {"x-axis.hex", kDefaultHex}, {"x-axis-report.txt", kDefaultReport},
    {"x\nfollowpots no\n.hex", kDefaultHex}, {"notes.txt", "; my notes\n"},
    {"report.txt", "; KR570 Configuration File created by KR570Convert\n"}, {"empty.txt", ""},
    {"old.hex", "old\n"}, {"shared.hex", "old\n"}};
// clang-format on

class BatchOutputs : public test::ToolRows {};

TEST_P(BatchOutputs, WriteExactlyWhatTheyShould) {
    const Tool& row = GetParam();
    test::TempDir dir;
    for (const auto& [name, contents] : kOutputFolder) {
        test::writeFile(dir.file(name), contents);
    }
    if (row.arguments[0] == kOutputFolder[5].first &&
        !test::fileExists(dir.file(row.arguments[0]))) {
        GTEST_SKIP() << "this system allows no line feed in a file name";
    }
    std::error_code noLink;
    std::filesystem::create_hard_link(dir.file("shared.hex"), dir.file("other.hex"), noLink);
    const auto run = Tool(row).env("SOURCE_DATE_EPOCH=1268903103").in(dir.path());
    test::expectOutcome(row, run, dir.path());
}

// The calls that put a file on the disk and in its place.
const std::vector<std::string> kSyncs{"-e", "trace=fsync,fdatasync,rename,renameat,renameat2"};

// A replaced file: the new file synced, renamed over the old one, and its folder synced.
const std::vector<std::string> kReplacedCalls{"fsync(<DIR/.old.hex.XXXXXX>) = 0",
                                              "rename(\".old.hex.XXXXXX\", \"old.hex\") = 0",
                                              "fsync(<DIR>) = 0"};

const std::string kTypoWarnings =
    "typo.txt:1: warning: 'stepmod half' is ignored: 'stepmod' is not a keyword; did you mean "
    "'stepmode'?\n";

const std::string kHalfStepHex = test::hexOf(test::withSettings("stepmode=h"));
// The default block, and two bytes at 0x100 after a gap.
const std::string kGaps = replaced(kDefaultHex, ":00000001FF", ":020100000102fa\n:00000001FF");
const std::string kReadBackSrec = test::sourceFile("tests/data/readbacks/default-1024-s.srec");

// `text` in UTF-16 with its byte-order mark, as Notepad saves "Unicode" (ASCII text only).
std::string utf16(const std::string& text, bool bigEndian) {
    std::string units = bigEndian ? "\xfe\xff" : "\xff\xfe";
    for (const char c : text) {
        units += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    }
    return units;
}

// The 1,024 bytes of the read-back with ontime (block byte 53) made 96: a clone patched byte for
// byte.
std::string patchedReadBack() {
    std::string bytes = test::bytesOf(test::kReadBack, 1024);
    bytes[53] = '\x60';
    return bytes;
}

// A whole 50,000-byte EEPROM read back from a controller: the default block, the rest erased.
std::string wholeImage(bool asHex) {
    auto image = std::make_unique<EepromImage>();
    image->fillImage(0xFF);
    buildBlock(*image, test::defaultRecord());
    const auto bytes = reinterpret_cast<const char*>(image->data());
    return asHex ? test::hexOf(*image, static_cast<int>(EepromImage::kSize))
                 : std::string(bytes, EepromImage::kSize);
}

// The default report of nan.hex, whose inductance is a NaN: so are the estimates.
std::string nanReport() {
    std::string report = replaced(kDefaultReport, "config.hex", "nan.hex");
    for (const char* number : {"1.70", "192.552247", "0.192552", "0.192552"}) {
        report = replaced(report, number, "nan");
    }
    return report;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, BatchOutputs, ::testing::Values(
    Tool("report_on_standard_output").args("config.hex -").prints(kDefaultReport).warns(kFinished),
    Tool("quiet_report_on_standard_output").args("-q config.hex -").prints(kDefaultReport),
    Tool("text_from_standard_input").args("--from=text - -").input("ontime 128\n")
        .prints(kDefaultHex).warns(kEstimates),
    // Read as bytes: Ctrl-Z is no end of the input.
    Tool("ctrl_z_from_standard_input").args("--from=text - out.hex")
        .input("ontime 128\r\n\x1a\nstepmode half\r\n").prints(kEstimates)
        .warns("(standard input):2: warning: '\\x1a' is not a keyword; it is ignored\n"),
    Tool("standard_input_is_hex").args("- out.txt").input(kDefaultHex).prints(kFinished)
        .writes("out.txt", replaced(kDefaultReport, "config.hex", "-")),
    // Every system writes a NaN as "nan", whatever sign its math library gives it.
    Tool("nan_estimates").args("--from=text - out.hex").input("current 20\n").prints("; Calculated "
        "motor parameters:\n;   On time= nan usecond\n;   Duty Cycle= nan %\n;   Slew Rate= nan \n\n"
        + kFinished).warns("(standard input): warning: the calculated motor parameters are not a "
        "number: 'current' x 'resistance' (30) is not below 'drive_voltage' (24)\n"),
    Tool("negative_nan_in_a_report").file("nan.hex", replaced(kDefaultHex, ":00000001FF",
        ":040028000000c0ff15\n:00000001FF")).args("-q nan.hex out.txt").writes("out.txt",
        nanReport()),
    // A file named alone is converted beside itself.
    Tool("text_alone").args("in.txt").prints(test::kDefaultMotorBlock + "Output file: in.hex\n" + kFinished)
        .writes("in.hex", kDefaultHex),
    Tool("image_alone_replaces_its_report").args("x-axis.hex")
        .prints("Output file: x-axis-report.txt\n" + kFinished)
        .writes("x-axis-report.txt", replaced(kDefaultReport, "config.hex", "x-axis.hex")),
    Tool("force_replaces_a_text").args("--force config.hex notes.txt").prints(kFinished)
        .writes("notes.txt", kDefaultReport),
    Tool("previous_report_is_replaced").args("config.hex report.txt").prints(kFinished)
        .writes("report.txt", kDefaultReport),
    Tool("empty_file_is_replaced").args("config.hex empty.txt").prints(kFinished)
        .writes("empty.txt", kDefaultReport),
    Tool("hex_output_is_replaced").args("in.txt old.hex").prints(kEstimates)
        .writes("old.hex", kDefaultHex),
    Tool("line_feed_in_the_input_name").argv({"x\nfollowpots no\n.hex", "out.txt"})
        .prints(kFinished)
        .writes("out.txt", replaced(kDefaultReport, "config.hex", "x?followpots no?.hex")),
    Tool("warnings_with_standard_error_closed").args("typo.txt out.hex").fd(2, "")
        .prints(kEstimates).writes("out.hex", kDefaultHex),
    Tool("standard_output_closed").args("typo.txt out.hex").fd(1, "").prints("")
        .warns(kTypoWarnings).writes("out.hex", kDefaultHex),
    // On the disk before the rename, the folder after it.
    Tool("replaced_output_reaches_the_disk").args("in.txt old.hex").strace(kSyncs)
        .prints(kEstimates).writes("old.hex", kDefaultHex).traces(kReplacedCalls),
    Tool("shared_file_reaches_the_disk").args("in.txt shared.hex").strace(kSyncs).prints(kEstimates)
        .writes("other.hex", kDefaultHex).traces({"fsync(<DIR/shared.hex>) = 0"}),
    // Only regular files are synced.
    Tool("device_is_not_synced").args("in.txt /dev/null").strace(kSyncs).prints(kEstimates)
        .traces({}),
    // A whole EEPROM read back, up to its last address, needs no warning.
    Tool("whole_image_under_strict").file("whole.bin", wholeImage(false))
        .args("--strict whole.bin out.txt").prints(kFinished)
        .writes("out.txt", replaced(kDefaultReport, "config.hex", "whole.bin")),
    Tool("whole_image_as_hex_under_strict").file("whole.hex", wholeImage(true))
        .args("--strict -q whole.hex -")
        .prints(replaced(kDefaultReport, "config.hex", "whole.hex")),
    // Texts as editors save them: a UTF-8 mark, UTF-16 of either byte order.
    Tool("utf8_byte_order_mark").file("a.txt", "\xef\xbb\xbfstepmode half\n").args("a.txt a.hex")
        .prints(kEstimates).writes("a.hex", kHalfStepHex),
    Tool("utf16_little_endian").file("a.txt", utf16("stepmode half\r\n", false)).args("a.txt a.hex")
        .prints(kEstimates).writes("a.hex", kHalfStepHex),
    Tool("utf16_big_endian").file("a.txt", utf16("stepmode half\r\n", true)).args("a.txt a.hex")
        .prints(kEstimates).writes("a.hex", kHalfStepHex),
    // What the content says unmistakably, whatever the name.
    Tool("configuration_named_cfg").file("x.cfg", "ontime 5").args("x.cfg x.hex").prints(kEstimates)
        .writes("x.hex", test::hexOf(test::withSettings("ontime=5"))),
    Tool("s_records_behind_a_comment").file("c.mot", "; read back\n" + kReadBackSrec)
        .args("c.mot c.txt").prints(kFinished).writes("c.txt", replaced(kDefaultReport, "config.hex", "c.mot")),
    Tool("signed_address_in_decimal").file("a.txt", "TWI_slaveAddress +33\n").args("a.txt a.hex")
        .prints(test::kDefaultMotorBlock + kFinished).warns("a.txt:1: warning: TWI_slaveAddress +33: "
        "read as hexadecimal 0x33 (51); write 0x33 to say so\n"),
    // The output's name says what it holds; an image out of an image keeps every byte it gave.
    Tool("patched_read_back_is_whole").file("readback.hex", test::kReadBack)
        .args("--set ontime=96 readback.hex patched.bin").prints(kFinished).writesBytes("patched.bin", patchedReadBack()),
    Tool("gaps_stay_gaps").file("gaps.hex", kGaps).args("gaps.hex out.hex").prints(kFinished)
        .writes("out.hex", kGaps),
    Tool("gaps_read_as_erased_in_raw_binary").file("gaps.hex", kGaps)
        .args("gaps.hex out.bin").prints(kFinished).writesBytes("out.bin", test::bytesOf(kDefaultHex)
        + std::string(0x100 - 72, '\xff') + "\x01\x02"),
    // --force replaces what the run would not.
    Tool("force_text_over_a_hand_written_text").args("--force in.txt notes.txt").prints(kEstimates)
        .writes("notes.txt", replaced(kDefaultReport, "config.hex", "in.txt")),
    Tool("force_block_over_a_read_back").file("readback.hex", test::kReadBack)
        .args("--force in.txt readback.hex").prints(kEstimates).writes("readback.hex", kDefaultHex),
    Tool("force_cut_read_back").file("cut.bin", test::bytesOf(kDefaultHex).substr(0, 50))
        .args("--force cut.bin cut.txt").prints(kFinished).warns("cut.bin: warning: only 50 of the 72 bytes of the "
        "configuration block are in the file; the others read as 0\n")
    ), test::CaseName());
// clang-format on

// A machine's units: a base text and a table of each unit's settings.
class UnitsTable : public test::ToolRows {};

TEST_P(UnitsTable, MakesEveryUnitOrNone) {
    test::check(Tool(GetParam()).file("base.txt", kDefaultText));
}

const std::string kLine = "unit,TWI_slaveAddress,ontime\nx-axis,0x21,96\ny-axis,0x22,\n";

// The one problem of a table, as its refusal says it.
std::string problem(const std::string& what) {
    return "kr570convert: " + what + "\nkr570convert: 1 problem; nothing written\n" +
           "Try 'kr570convert --help'\n";
}

std::string unitHex(const std::string& changes) {
    return test::hexOf(test::withSettings(changes));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Tables, UnitsTable, ::testing::Values(
    Tool("each_unit_written").file("line.csv", kLine).args("--units line.csv --output-dir u base.txt")
        .prints("Output file: u/x-axis.hex\nOutput file: u/y-axis.hex\n" + kFinished)
        .writes("u/x-axis.hex", unitHex("TWI_slaveAddress=0x21 ontime=96"))
        .writes("u/y-axis.hex", unitHex("TWI_slaveAddress=0x22")),
    Tool("each_unit_as_srecords").file("line.csv", kLine).args("-q --units line.csv --to srec base.txt")
        .writes("x-axis.srec", test::srecOf(test::withSettings("TWI_slaveAddress=0x21 ontime=96"))),
    // As a spreadsheet saves it: a byte-order mark, ';' between cells, quotes, decimal commas, CR LF.
    Tool("spreadsheet_with_semicolons").file("line.csv", "\xef\xbb\xbf" "unit;TWI_slaveAddress;resistance"
        "\r\n# spare\r\n\"x-axis\";\"0x21\";\"1,5\"\r\n\r\n\"y;axis\";0x22;2,25\r\n")
        .args("-q --units line.csv base.txt").writes("y;axis.hex", unitHex("TWI_slaveAddress=0x22 "
        "resistance=2.25")),
    Tool("one_unit").file("line.csv", kLine).args("-q --units line.csv --unit x-axis base.txt x.hex")
        .writes("x.hex", unitHex("TWI_slaveAddress=0x21 ontime=96")),
    Tool("no_such_unit").file("line.csv", kLine).args("--units line.csv --unit z-axis base.txt z.hex")
        .exits(2).warns("kr570convert: line.csv has no unit 'z-axis'\n").makesNo("z.hex"),
    // The whole table is checked before anything is written, each problem by line and column.
    Tool("column_no_keyword").file("line.csv", "unit,TWI_slaveAddress,ontme\nx,0x21,5\n")
        .args("--units line.csv base.txt").exits(2).prints("").warns(problem("line.csv:1: column "
        "'ontme' is not a keyword; did you mean 'ontime'?")).makesNo("x.hex"),
    Tool("value_a_text_would_warn_about").file("line.csv", "unit,TWI_slaveAddress,ontime\nx,0x21,300\n")
        .args("--units line.csv base.txt").exits(2).warns(problem("line.csv:2: unit x, column "
        "'ontime': '300' does not fit 'ontime' (0 to 255)")).makesNo("x.hex"),
    Tool("address_I2C_reserves").file("line.csv", "unit,TWI_slaveAddress\nx,0x7a\n")
        .args("--units line.csv base.txt").exits(2).warns(problem("line.csv:2: unit x, column "
        "'TWI_slaveAddress': 0x7a is an address that I2C reserves (0x00 to 0x07, 0x78 to 0x7f)")),
    Tool("unit_named_twice").file("line.csv", "unit,TWI_slaveAddress\nx,0x21\nx,0x22\n")
        .args("--units line.csv base.txt").exits(2).warns(problem("line.csv:3: unit x is named "
        "twice (first on line 2)")).makesNo("x.hex"),
    Tool("unit_name_no_file_name").file("line.csv", "unit,TWI_slaveAddress\na/b,0x21\n")
        .args("--units line.csv base.txt").exits(2).warns(problem("line.csv:2: the unit name "
        "'a/b' holds '/', which a file name cannot hold on every system")),
    Tool("unit_name_windows_reserves").file("line.csv", "unit,TWI_slaveAddress\ncom1,0x21\n")
        .args("--units line.csv base.txt").exits(2).warns(problem("line.csv:2: the unit name "
        "'com1' is a device name that Windows reserves")),
    Tool("two_units_one_address").file("line.csv", "unit,TWI_slaveAddress\nx,0x21\ny,0x21\n")
        .args("--units line.csv base.txt").exits(2).warns(problem("line.csv:3: units x (line 2) and "
        "y share the I2C address 0x21; give each unit its own in a TWI_slaveAddress column"))
        .makesNo("x.hex"),
    Tool("no_address_column").file("line.csv", "unit,ontime\nx,1\ny,2\n")
        .args("--units line.csv base.txt").exits(2).warns(problem("line.csv:3: units x (line 2) and "
        "y share the I2C address 0x23; give each unit its own in a TWI_slaveAddress column")),
    Tool("unit_output_would_lose_data").file("line.csv", kLine).file("x-axis.hex", test::kReadBack)
        .args("--units line.csv base.txt").exits(2).keeps("x-axis.hex").warns(problem("x-axis.hex "
        "exists and holds Intel HEX with data at address 0x0048, which the new file would lose; "
        "use --force to replace it")).makesNo("y-axis.hex")
    ), test::CaseName());
// clang-format on

// A write that fails midway says which units were written: here the second unit's name is a
// folder.
TEST(UnitsTable, FailureMidwayNamesTheUnitsWritten) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("y-axis.hex"));
    const auto run = Tool()
                         .file("base.txt", kDefaultText)
                         .file("line.csv", kLine)
                         .args("-q --units line.csv base.txt")
                         .in(dir.path());
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(0U, run.err.find("kr570convert: Can't write output file y-axis.hex (units written: "
                               "x-axis): "))
        << run.err;
    EXPECT_TRUE(test::fileExists(dir.file("x-axis.hex")));
}

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
        EXPECT_EQ(0, test::runTool({"in.txt", output}, dir.path()).status) << output;
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
    const std::string warnings =
        "odd.hex:1: warning: checksum is 0xff, expected 0xee; the record is applied\n"
        "odd.hex: warning: no end-of-file record\n"
        "odd.hex: warning: only 1 of the 72 bytes of the configuration block are in the file; "
        "the others read as 0\n"
        "odd.hex: warning: no configuration block signature (85 c2 1e 4f 11) at address 0; the "
        "first 72 bytes are read as a block all the same\n";
    const Tool row = Tool().file("odd.hex", ":0100000011ff\n").args("-w --force odd.hex odd.txt");
    test::expectOutcome(Tool(row).warns(warnings), row.in(dir.path()), dir.path());
    EXPECT_TRUE(test::fileExists(dir.file("odd.txt")));
}

}  // namespace
}  // namespace kr570
