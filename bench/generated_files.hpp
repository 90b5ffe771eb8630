// Large input files for the benchmarks, generated on demand.
#pragma once

#include <cstddef>
#include <string>

namespace kr570::bench {

// Writes about `bytes` of Intel HEX text: 16-byte data records in upper case, as other tools
// write them, with an extended linear address record before every 64 KiB of data.
void writeHexFile(const std::string& path, std::size_t bytes);

// Writes about `bytes` of configuration text: groups of settings with comment lines.
void writeConfigFile(const std::string& path, std::size_t bytes);

}  // namespace kr570::bench
