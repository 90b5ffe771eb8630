// Helpers shared by the tests: table rows, in-memory streams, temporary folders, the files of the
// source tree and records with settings changed.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "config/config_record.hpp"
#include "eeprom/eeprom_image.hpp"
#include "formats/kinds.hpp"

namespace kr570::test {

// A row of a table-driven test. Its name shows in failure messages and, through CaseName, in
// the test's own name.
struct NamedCase {
    std::string name;
};

inline std::ostream& operator<<(std::ostream& os, const NamedCase& row) {
    return os << row.name;
}

// A row of a table whose cases differ in one value alone.
template <typename Value>
struct ValueCase : NamedCase {
    Value value;
};

// For INSTANTIATE_TEST_SUITE_P: names each test after its row, with every character that a
// test name cannot hold turned into '_'.
struct CaseName {
    template <typename Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& info) const {
        std::string name = info.param.name;
        const auto other = [](unsigned char c) { return std::isalnum(c) == 0; };  // in "C" locale
        std::replace_if(name.begin(), name.end(), other, '_');
        return name;
    }
};

// The words of `line`, split at blanks: a command line as a row writes it.
std::vector<std::string> words(const std::string& line);

// A folder that exists for the life of the object. Paths and names here are UTF-8 on every
// system, as the tool takes them.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// A stream on a file of its own, removed with the object: it holds `text`, read from its start,
// and text() gives back all it holds, what was written to it included.
class TempStream {
  public:
    explicit TempStream(const std::string& text = "");
    ~TempStream() { std::fclose(stream_); }
    TempStream(const TempStream&) = delete;
    TempStream& operator=(const TempStream&) = delete;

    std::FILE* stream() const { return stream_; }
    std::string text();

  private:
    TempDir dir_;
    std::FILE* stream_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);
// The files in `folder` and its subfolders, named from it with '/' between the parts, sorted.
std::vector<std::string> listing(const std::string& folder);

// Path of a file shipped in the source tree, and what it holds.
std::string sourcePath(const std::string& relative);
inline std::string sourceFile(const std::string& relative) {
    return readFile(sourcePath(relative));
}

// The default block as the tool writes it, its report read from "config.hex" at 09:05:03 on
// 18 March 2010 (SOURCE_DATE_EPOCH=1268903103), and the shipped default text.
inline const std::string kDefaultHex = sourceFile("tests/golden/default.hex");
inline const std::string kDefaultReport = sourceFile("tests/golden/default_report.txt");
inline const std::string kDefaultText = sourceFile("examples/default.txt");
// A controller's whole EEPROM (1,024 bytes) as avrdude reads it back: the default block, erased
// after it.
inline const std::string kReadBack = sourceFile("tests/data/avrdude/default-1k-i.hex");

// The calculated motor parameters block of the controller's defaults.
inline const std::string kDefaultMotorBlock =
    "; Calculated motor parameters:\n"
    ";   On time= 192.552247 usecond\n"
    ";   Duty Cycle= 0.192552 %\n"
    ";   Slew Rate= 0.192552 \n\n";

// `text` with its first `from` replaced by `to`; unchanged when it holds no `from`.
std::string replaced(std::string text, const std::string& from, const std::string& to);

// `count` bytes of any value, the same for the same seed.
std::string randomBytes(std::size_t count, unsigned seed);

// The default record, as the tool holds it after start-up.
ConfigRecord defaultRecord();

// `record` (the defaults unless given) with each KEYWORD=VALUE of `changes` (separated by blanks)
// stored straight into its field, without the parser: a decimal or 0x number, a float, or for a
// code a letter (a longer value is a number). productId, revisionMajor, revisionMinor and
// fixedByte57 name the header bytes.
ConfigRecord withSettings(const std::string& changes, ConfigRecord record = defaultRecord());

// One flag per EEPROM address, for the image writers: the first `count` addresses written.
std::vector<std::uint8_t> firstAddresses(std::size_t count);

// The block built from `record` (header, notice and settings), as the first 72 bytes of an
// image, then written as Intel HEX.
std::string hexOf(const ConfigRecord& record);
std::string hexOf(const EepromImage& image, int count = 72);
// The same block as Motorola S-records.
std::string srecOf(const ConfigRecord& record);

// The first `count` bytes of the image that an Intel HEX text gives.
std::string bytesOf(const std::string& hex, std::size_t count = 72);

// The image the tool's reader of `kind` makes of `bytes`, over an image that held 0xee (reading
// must clear it), with the warnings about "in.hex" in `warnings` when given.
std::unique_ptr<EepromImage> imageFrom(const std::string& bytes, FileKind kind = FileKind::IntelHex,
                                       std::string* warnings = nullptr);

// A record as the block stores it, a line a field: every setting (the two times in full), the
// header bytes and the notice. Two records hold the same configuration when theirs are equal,
// and a failure shows the lines that differ.
std::string settingsOf(const ConfigRecord& record);

}  // namespace kr570::test
