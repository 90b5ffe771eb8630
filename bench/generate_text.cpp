// Writes a large configuration text for bench/compare.sh: generate_text PATH MEBIBYTES
#include <cstdio>
#include <cstdlib>

#include "generated_files.hpp"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: generate_text PATH MEBIBYTES\n", stderr);
        return 2;
    }
    kr570::bench::writeConfigFile(argv[1], std::strtoull(argv[2], nullptr, 10) << 20);
    return 0;
}
