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

// Writes a whole 50,000-byte EEPROM image as the tool writes Intel HEX: the default block at
// address 0, other bytes after it, in 3,125 records of 16 bytes.
void writeWholeImage(const std::string& path);

}  // namespace kr570::bench
