// Our image files (Intel HEX, S-records, raw binary) against tools that nobody here wrote:
// srec_cat (srecord), objcopy (binutils) and python3-intelhex, a strict reader that checks
// checksums and overlaps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <ostream>

#include "eeprom/config_block.hpp"
#include "formats/kinds.hpp"
#include "support/test_support.hpp"

namespace kr570 {
namespace {

// Debian's python3-intelhex is a module of the system's Python, which may not be the first
// python3 on the path.
const std::string kIntelHexPython = "/usr/bin/python3";

bool haveTool(const std::string& name) {
    const std::string probe =
        name == "intelhex" ? kIntelHexPython + " -c 'import intelhex'" : "command -v " + name;
    return std::system((probe + " >/dev/null 2>&1").c_str()) == 0;
}

// A python3-intelhex script with `ih` loaded from data.bin at address 0.
std::string intelhex(const std::string& script) {
    return kIntelHexPython +
           " -c \"from intelhex import IntelHex; ih = IntelHex(); ih.loadbin('data.bin'); " +
           script + "\"";
}

std::unique_ptr<EepromImage> readImageFile(const std::string& path, FileKind kind,
                                           int* warnings = nullptr) {
    auto image = std::make_unique<EepromImage>();
    Reporter reporter;
    Diagnostics diagnostics(reporter, path);
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    EXPECT_NE(nullptr, stream) << path;
    if (stream != nullptr) {
        ByteSource source(stream);
        ImageStore store(*image, diagnostics, &source);
        kindRow(kind).read(source, store, diagnostics);
        std::fclose(stream);
    }
    if (warnings != nullptr) {
        *warnings = diagnostics.count();
    }
    return image;
}

void expectImageHolds(const EepromImage& image, const std::string& bytes, std::size_t at) {
    for (std::size_t i = 0; i < EepromImage::kSize; ++i) {
        const int expected =
            (i >= at && i - at < bytes.size()) ? static_cast<unsigned char>(bytes[i - at]) : 0;
        ASSERT_EQ(expected, image.getByte(i)) << "at offset " << i;
    }
}

struct ReaderCase : test::NamedCase {
    const char* tool;
    std::string command;  // makes block.bin from block.<kind> in the folder, failing on any fault
    FileKind written = FileKind::IntelHex;
};

const char* extension(FileKind kind) {
    return kind == FileKind::SRecord ? ".srec" : kind == FileKind::Binary ? ".raw" : ".hex";
}

class HexToPeers : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(HexToPeers, AcceptOurFile) {
    if (!haveTool(GetParam().tool)) {
        GTEST_SKIP() << GetParam().tool << " is not installed";
    }
    test::TempDir dir;
    auto image = std::make_unique<EepromImage>();
    buildBlock(*image, test::defaultRecord());
    const ReaderCase& c = GetParam();
    std::FILE* out =
        std::fopen(dir.file(std::string("block") + extension(c.written)).c_str(), "wb");
    ASSERT_NE(nullptr, out);
    kindRow(c.written).write(out, *image, 72);
    std::fclose(out);
    const std::string command = "cd " + dir.path() + " && " + GetParam().command + " 2>err";
    ASSERT_EQ(0, std::system(command.c_str())) << test::readFile(dir.file("err"));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image->data()), 72),
              test::readFile(dir.file("block.bin")));
}

INSTANTIATE_TEST_SUITE_P(
    Tools, HexToPeers,
    ::testing::Values(
        // srec_cat checks every record's checksum and refuses the file on a mismatch.
        ReaderCase{"srec_cat", "srec_cat", "srec_cat block.hex -intel -o block.bin -binary"},
        // IntelHex raises on a bad checksum, a malformed record or a missing end-of-file record.
        ReaderCase{"intelhex", "intelhex",
                   kIntelHexPython + " -c \"from intelhex import IntelHex; "
                                     "IntelHex('block.hex').tobinfile('block.bin')\""},
        ReaderCase{"srec_cat_srec", "srec_cat",
                   "srec_cat block.srec -Motorola -o block.bin -binary", FileKind::SRecord},
        ReaderCase{"objcopy_srec", "objcopy", "objcopy -I srec -O binary block.srec block.bin",
                   FileKind::SRecord},
        ReaderCase{"srec_cat_binary", "srec_cat", "srec_cat block.raw -binary -o block.bin -binary",
                   FileKind::Binary},
        ReaderCase{"objcopy_binary", "objcopy",
                   "objcopy -I binary -O ihex block.raw block.ihx && "
                   "objcopy -I ihex -O binary block.ihx block.bin",
                   FileKind::Binary}),
    test::CaseName());

struct PeerCase : test::NamedCase {
    const char* tool;
    std::string command;       // makes peer.out from data.bin in the folder
    std::size_t at;            // where the data belongs in the image
    std::size_t erasedTo = 0;  // the file also fills the image with 0xff after the data up to here
    FileKind kind = FileKind::IntelHex;
};

class HexFromPeers : public ::testing::TestWithParam<PeerCase> {};

TEST_P(HexFromPeers, LandInTheRightPlace) {
    if (!haveTool(GetParam().tool)) {
        GTEST_SKIP() << GetParam().tool << " is not installed";
    }
    test::TempDir dir;
    const std::string data = test::randomBytes(1000, 570);
    test::writeFile(dir.file("data.bin"), data);
    const std::string command = "cd " + dir.path() + " && " + GetParam().command;
    ASSERT_EQ(0, std::system(command.c_str()));
    std::string expected = data;
    if (GetParam().erasedTo > GetParam().at + data.size()) {
        expected.append(GetParam().erasedTo - GetParam().at - data.size(), '\xff');
    }
    int warnings = 0;
    expectImageHolds(*readImageFile(dir.file("peer.out"), GetParam().kind, &warnings), expected,
                     GetParam().at);
    EXPECT_EQ(0, warnings) << "a correct file needs no warning";
}

INSTANTIATE_TEST_SUITE_P(
    Tools, HexFromPeers,
    ::testing::Values(
        PeerCase{"srec_cat_linear", "srec_cat",
                 "srec_cat data.bin -binary -o peer.out -intel -address-length=4", 0},
        PeerCase{"srec_cat_offset", "srec_cat",
                 "srec_cat data.bin -binary -offset 0x1234 -o peer.out -intel "
                 "-address-length=4 -output_block_size=32",
                 0x1234},
        PeerCase{"objcopy", "objcopy", "objcopy -I binary -O ihex data.bin peer.out", 0},
        PeerCase{"objcopy_moved", "objcopy",
                 "objcopy -I binary -O ihex --change-addresses 0x100 data.bin peer.out", 0x100},
        PeerCase{"intelhex_8", "intelhex", intelhex("ih.write_hex_file('peer.out', byte_count=8)"),
                 0},
        PeerCase{"intelhex_16", "intelhex", intelhex("ih.write_hex_file('peer.out')"), 0},
        PeerCase{"intelhex_32", "intelhex",
                 intelhex("ih.write_hex_file('peer.out', byte_count=32)"), 0},
        PeerCase{"intelhex_255", "intelhex",
                 intelhex("ih.write_hex_file('peer.out', byte_count=255)"), 0},
        PeerCase{"intelhex_crlf", "intelhex",
                 intelhex("f = open('peer.out', 'w', newline='\\r\\n'); ih.write_hex_file(f); "
                          "f.close()"),
                 0},
        PeerCase{"intelhex_start_address", "intelhex",
                 intelhex("ih.start_addr = {'EIP': 0x12345678}; ih.write_hex_file('peer.out')"), 0},
        // A read-back of an erased 4 KiB EEPROM that holds the data at its start.
        PeerCase{"intelhex_4k_dump", "intelhex",
                 intelhex("ih.puts(1000, bytes([255]) * 3096); "
                          "ih.write_hex_file('peer.out', byte_count=32)"),
                 0, 4096},
        PeerCase{"srec_cat_s19", "srec_cat",
                 "srec_cat data.bin -binary -o peer.out -Motorola -address-length=2", 0, 0,
                 FileKind::SRecord},
        PeerCase{"srec_cat_s28_without_header", "srec_cat",
                 "srec_cat data.bin -binary -offset 0x300 -o peer.out -Motorola "
                 "-address-length=3 -disable=header",
                 0x300, 0, FileKind::SRecord},
        PeerCase{"srec_cat_s37", "srec_cat",
                 "srec_cat data.bin -binary -o peer.out -Motorola -address-length=4", 0, 0,
                 FileKind::SRecord},
        PeerCase{"objcopy_srec", "objcopy", "objcopy -I binary -O srec data.bin peer.out", 0, 0,
                 FileKind::SRecord},
        PeerCase{"objcopy_binary", "objcopy",
                 "objcopy -I binary -O ihex data.bin data.hex && "
                 "objcopy -I ihex -O binary data.hex peer.out",
                 0, 0, FileKind::Binary},
        PeerCase{"intelhex_binary", "intelhex", intelhex("ih.tobinfile('peer.out')"), 0, 0,
                 FileKind::Binary}),
    test::CaseName());

TEST(HexPeers, DataBeyondTheImageIsDropped) {
    if (!haveTool("srec_cat")) {
        GTEST_SKIP() << "srec_cat (Debian package srecord) is not installed";
    }
    test::TempDir dir;
    test::writeFile(dir.file("data.bin"), test::randomBytes(64, 570));
    const std::string command = "cd " + dir.path() +
                                " && srec_cat data.bin -binary -offset 0x20000 -o peer.out "
                                "-intel -address-length=4";
    ASSERT_EQ(0, std::system(command.c_str()));
    expectImageHolds(*readImageFile(dir.file("peer.out"), FileKind::IntelHex), "", 0);
}

}  // namespace
}  // namespace kr570
