// Our image files (Intel HEX, S-records, raw binary) against tools that nobody here wrote:
// srec_cat (srecord), objcopy (binutils) and python3-intelhex, a strict reader that checks
// checksums and overlaps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "eeprom/config_block.hpp"
#include "formats/kinds.hpp"
#include "support/test_support.hpp"

namespace kr570 {
namespace {

// Debian's python3-intelhex is a module of the system's Python, which may not be the first
// python3 on the path.
const std::string kIntelHexPython = "/usr/bin/python3";

using K = FileKind;

// The peer that `command` runs (srec_cat, objcopy or python3-intelhex) when it is not
// installed; "" when it is.
std::string missingPeer(const std::string& command) {
    const bool python = command.rfind(kIntelHexPython, 0) == 0;
    const std::string peer = python ? "python3-intelhex" : command.substr(0, command.find(' '));
    const std::string probe =
        python ? kIntelHexPython + " -c 'import intelhex'" : "command -v " + peer;
    return std::system((probe + " >/dev/null 2>&1").c_str()) == 0 ? "" : peer;
}

// `data` as data.bin in a folder of its own, made into peer.out by a peer's `command`, and read
// by our reader of `kind`, with what it warns about in `warnings` when given.
std::unique_ptr<EepromImage> fromPeer(const std::string& command, const std::string& data,
                                      FileKind kind = FileKind::IntelHex,
                                      std::string* warnings = nullptr) {
    test::TempDir dir;
    test::writeFile(dir.file("data.bin"), data);
    EXPECT_EQ(0, std::system(("cd " + dir.path() + " && " + command).c_str())) << command;
    return test::imageFrom(test::readFile(dir.file("peer.out")), kind, warnings);
}

// A python3-intelhex script with `ih` loaded from data.bin at address 0.
std::string intelhex(const std::string& script) {
    return kIntelHexPython +
           " -c \"from intelhex import IntelHex; ih = IntelHex(); ih.loadbin('data.bin'); " +
           script + "\"";
}

void expectImageHolds(const EepromImage& image, const std::string& bytes, std::size_t at) {
    for (std::size_t i = 0; i < EepromImage::kSize; ++i) {
        const int expected =
            (i >= at && i - at < bytes.size()) ? static_cast<unsigned char>(bytes[i - at]) : 0;
        ASSERT_EQ(expected, image.getByte(i)) << "at offset " << i;
    }
}

// A peer's command that makes block.bin from our block.hex, .srec or .raw in the folder, failing on
// any fault, and the kind we write.
struct ReaderCase : test::NamedCase {
    std::string command;
    FileKind written = FileKind::IntelHex;
};

class HexToPeers : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(HexToPeers, AcceptOurFile) {
    const ReaderCase& c = GetParam();
    if (const std::string peer = missingPeer(c.command); !peer.empty()) {
        GTEST_SKIP() << peer << " is not installed";
    }
    test::TempDir dir;
    auto image = std::make_unique<EepromImage>();
    buildBlock(*image, test::defaultRecord());
    test::TempStream ours;
    kindRow(c.written).write(ours.stream(), *image, test::firstAddresses(72));
    const K kind = c.written;
    const char* name = kind == K::SRecord  ? "block.srec"
                       : kind == K::Binary ? "block.raw"
                                           : "block.hex";
    test::writeFile(dir.file(name), ours.text());
    const std::string command = "cd " + dir.path() + " && " + c.command + " 2>err";
    ASSERT_EQ(0, std::system(command.c_str())) << test::readFile(dir.file("err"));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image->data()), 72),
              test::readFile(dir.file("block.bin")));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Tools, HexToPeers, ::testing::ValuesIn(std::vector<ReaderCase>{
    // srec_cat checks every record's checksum and refuses the file on a mismatch.
    {"srec_cat", "srec_cat block.hex -intel -o block.bin -binary"},
    // IntelHex raises on a bad checksum, a malformed record or a missing end-of-file record.
    {"intelhex", kIntelHexPython + " -c \"from intelhex import IntelHex; "
                 "IntelHex('block.hex').tobinfile('block.bin')\""},
    {"srec_cat_srec", "srec_cat block.srec -Motorola -o block.bin -binary", K::SRecord},
    {"objcopy_srec", "objcopy -I srec -O binary block.srec block.bin", K::SRecord},
    {"srec_cat_binary", "srec_cat block.raw -binary -o block.bin -binary", K::Binary},
    {"objcopy_binary", "objcopy -I binary -O ihex block.raw block.ihx && "
                       "objcopy -I ihex -O binary block.ihx block.bin", K::Binary},
}), test::CaseName());
// clang-format on

// A peer's command that makes peer.out from data.bin in the folder, and where the data belongs
// in the image; the file also fills the image with 0xff after the data up to `erasedTo`.
struct PeerCase : test::NamedCase {
    std::string command;
    std::size_t at = 0;
    FileKind kind = FileKind::IntelHex;
    std::size_t erasedTo = 0;
};

class HexFromPeers : public ::testing::TestWithParam<PeerCase> {};

TEST_P(HexFromPeers, LandInTheRightPlace) {
    const PeerCase& c = GetParam();
    if (const std::string peer = missingPeer(c.command); !peer.empty()) {
        GTEST_SKIP() << peer << " is not installed";
    }
    const std::string data = test::randomBytes(1000, 570);
    const std::size_t erased =
        c.erasedTo > c.at + data.size() ? c.erasedTo - c.at - data.size() : 0;
    std::string warnings;
    expectImageHolds(*fromPeer(c.command, data, c.kind, &warnings),
                     data + std::string(erased, '\xff'), c.at);
    EXPECT_EQ("", warnings) << "a correct file needs no warning";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Tools, HexFromPeers, ::testing::ValuesIn(std::vector<PeerCase>{
    {"srec_cat_linear", "srec_cat data.bin -binary -o peer.out -intel -address-length=4"},
    {"srec_cat_offset", "srec_cat data.bin -binary -offset 0x1234 -o peer.out -intel "
                        "-address-length=4 -output_block_size=32", 0x1234},
    {"objcopy", "objcopy -I binary -O ihex data.bin peer.out"},
    {"objcopy_moved", "objcopy -I binary -O ihex --change-addresses 0x100 data.bin peer.out",
        0x100},
    {"intelhex_8", intelhex("ih.write_hex_file('peer.out', byte_count=8)")},
    {"intelhex_16", intelhex("ih.write_hex_file('peer.out')")},
    {"intelhex_32", intelhex("ih.write_hex_file('peer.out', byte_count=32)")},
    {"intelhex_255", intelhex("ih.write_hex_file('peer.out', byte_count=255)")},
    {"intelhex_crlf",
        intelhex("f = open('peer.out', 'w', newline='\\r\\n'); ih.write_hex_file(f); f.close()")},
    {"intelhex_start_address",
        intelhex("ih.start_addr = {'EIP': 0x12345678}; ih.write_hex_file('peer.out')")},
    // A read-back of an erased 4 KiB EEPROM that holds the data at its start.
    {"intelhex_4k_dump", intelhex("ih.puts(1000, bytes([255]) * 3096); "
                                  "ih.write_hex_file('peer.out', byte_count=32)"),
        0, K::IntelHex, 4096},
    {"srec_cat_s19", "srec_cat data.bin -binary -o peer.out -Motorola -address-length=2", 0,
        K::SRecord},
    {"srec_cat_s28_without_header",
        "srec_cat data.bin -binary -offset 0x300 -o peer.out -Motorola -address-length=3 "
        "-disable=header", 0x300, K::SRecord},
    {"srec_cat_s37", "srec_cat data.bin -binary -o peer.out -Motorola -address-length=4", 0,
        K::SRecord},
    {"objcopy_srec", "objcopy -I binary -O srec data.bin peer.out", 0, K::SRecord},
    {"objcopy_binary", "objcopy -I binary -O ihex data.bin data.hex && "
                       "objcopy -I ihex -O binary data.hex peer.out", 0, K::Binary},
    {"intelhex_binary", intelhex("ih.tobinfile('peer.out')"), 0, K::Binary},
}), test::CaseName());
// clang-format on

TEST(HexPeers, DataBeyondTheImageIsDropped) {
    const std::string command =
        "srec_cat data.bin -binary -offset 0x20000 -o peer.out -intel -address-length=4";
    if (!missingPeer(command).empty()) {
        GTEST_SKIP() << "srec_cat (Debian package srecord) is not installed";
    }
    expectImageHolds(*fromPeer(command, test::randomBytes(64, 570)), "", 0);
}

}  // namespace
}  // namespace kr570
