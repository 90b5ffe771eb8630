// Large input files for the benchmarks, generated on demand.
#pragma once

#include <cstddef>
#include <string>

namespace kr570::bench {

// How the data records of a generated HEX file look.
struct HexShape {
    unsigned recordBytes = 16;  // data bytes a record
    bool upperCase = true;      // as most other tools write
    bool crLf = false;          // CR LF line ends instead of LF
};

// Writes about `bytes` of Intel HEX text in `shape`, with an extended linear address record
// before every 64 KiB of data.
void writeHexFile(const std::string& path, std::size_t bytes, const HexShape& shape = {});

// Writes about `bytes` of configuration text: groups of settings with comment lines.
void writeConfigFile(const std::string& path, std::size_t bytes);

}  // namespace kr570::bench
