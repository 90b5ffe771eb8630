// Writes a large Intel HEX file for bench/compare.sh:
//   generate_hex PATH MEBIBYTES [RECORD_BYTES [upper|lower [lf|crlf]]]
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "generated_files.hpp"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 6) {
        std::fputs("usage: generate_hex PATH MEBIBYTES [RECORD_BYTES [upper|lower [lf|crlf]]]\n",
                   stderr);
        return 2;
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
