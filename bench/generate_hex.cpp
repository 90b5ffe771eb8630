// Writes an Intel HEX file for bench/compare.sh: a large one of generated records,
//   generate_hex PATH MEBIBYTES [RECORD_BYTES [upper|lower [lf|crlf]]]
// or a whole 50,000-byte EEPROM image as the tool writes it,
//   generate_hex PATH image
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "generated_files.hpp"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 6) {
        std::fputs(
            "usage: generate_hex PATH MEBIBYTES [RECORD_BYTES [upper|lower [lf|crlf]]]\n"
            "       generate_hex PATH image\n",
            stderr);
        return 2;
    }
    if (argc == 3 && std::strcmp(argv[2], "image") == 0) {
        kr570::bench::writeWholeImage(argv[1]);
        return 0;
    }
    kr570::bench::HexShape shape;
    if (argc > 3) {
        shape.recordBytes = static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10));
    }
    if (argc > 4) {
        shape.upperCase = std::strcmp(argv[4], "lower") != 0;
    }
    if (argc > 5) {
        shape.crLf = std::strcmp(argv[5], "crlf") == 0;
    }
    if (shape.recordBytes == 0 || shape.recordBytes > 255) {
        std::fputs("generate_hex: RECORD_BYTES must be 1 to 255\n", stderr);
        return 2;
    }
    kr570::bench::writeHexFile(argv[1], std::strtoull(argv[2], nullptr, 10) << 20, shape);
    return 0;
}
