// Our HEX files against Intel HEX tools that nobody here wrote: srec_cat (srecord) and
// objcopy (binutils).
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <ostream>

#include "eeprom/config_block.hpp"
#include "hex/hex_reader.hpp"
#include "hex/hex_writer.hpp"
#include "support/test_support.hpp"

namespace kr570 {
namespace {

bool haveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::unique_ptr<EepromImage> readHexFile(const std::string& path) {
    auto image = std::make_unique<EepromImage>();
    std::FILE* stream = std::fopen(path.c_str(), "r");
    EXPECT_NE(nullptr, stream) << path;
    if (stream != nullptr) {
        readHex(stream, *image);
        std::fclose(stream);
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

TEST(HexPeers, SrecCatAcceptsOurFile) {
    if (!haveTool("srec_cat")) {
        GTEST_SKIP() << "srec_cat (Debian package srecord) is not installed";
    }
    test::TempDir dir;
    auto image = std::make_unique<EepromImage>();
    buildBlock(*image, test::defaultRecord());
    std::FILE* out = std::fopen(dir.file("block.hex").c_str(), "w");
    ASSERT_NE(nullptr, out);
    writeHex(out, *image, 72);
    std::fclose(out);
    // srec_cat checks every record's checksum and refuses the file on a mismatch.
    const std::string command = "srec_cat " + dir.file("block.hex") + " -intel -o " +
                                dir.file("block.bin") + " -binary 2>" + dir.file("err");
    ASSERT_EQ(0, std::system(command.c_str())) << test::readFile(dir.file("err"));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image->data()), 72),
              test::readFile(dir.file("block.bin")));
}

struct PeerCase : test::NamedCase {
    const char* tool;
    std::string command;  // makes peer.hex from data.bin in the folder
    std::size_t at;       // where the data belongs in the image
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
    expectImageHolds(*readHexFile(dir.file("peer.hex")), data, GetParam().at);
}

INSTANTIATE_TEST_SUITE_P(
    Tools, HexFromPeers,
    ::testing::Values(
        PeerCase{"srec_cat_linear", "srec_cat",
                 "srec_cat data.bin -binary -o peer.hex -intel -address-length=4", 0},
        PeerCase{"srec_cat_offset", "srec_cat",
                 "srec_cat data.bin -binary -offset 0x1234 -o peer.hex -intel "
                 "-address-length=4 -output_block_size=32",
                 0x1234},
        PeerCase{"objcopy", "objcopy", "objcopy -I binary -O ihex data.bin peer.hex", 0},
        PeerCase{"objcopy_moved", "objcopy",
                 "objcopy -I binary -O ihex --change-addresses 0x100 data.bin peer.hex", 0x100}),
    test::CaseName());

TEST(HexPeers, DataBeyondTheImageIsDropped) {
    if (!haveTool("srec_cat")) {
        GTEST_SKIP() << "srec_cat (Debian package srecord) is not installed";
    }
    test::TempDir dir;
    test::writeFile(dir.file("data.bin"), test::randomBytes(64, 570));
    const std::string command = "cd " + dir.path() +
                                " && srec_cat data.bin -binary -offset 0x20000 -o peer.hex "
                                "-intel -address-length=4";
    ASSERT_EQ(0, std::system(command.c_str()));
    expectImageHolds(*readHexFile(dir.file("peer.hex")), "", 0);
}

}  // namespace
}  // namespace kr570
