// Verifying a controller: two configuration texts or image files (typically the text a
// controller was programmed from and a read-back of its EEPROM) are each turned into the
// configuration block the tool would write for them, and the blocks' settings are compared.
#pragma once

#include <cstdio>
#include <string>

#include "config/settings.hpp"
#include "driver/command_line.hpp"
#include "driver/console.hpp"

namespace kr570 {

// Exit statuses of a comparison.
inline constexpr int kCompareEqual = 0;
inline constexpr int kCompareDifferent = 1;
inline constexpr int kCompareTrouble = 2;

// Loads both files of the command line, each into a configuration of its own, and prints one
// line per setting whose stored value differs, in the text's keywords and value words
// ("ontime: 128 (A) != 7 (B)"); when both sides are images, also the header fields and the
// reserved byte; then a summary naming both files.
int compareFiles(const CommandLine& commandLine, Console& console);

// A setting's value as the block stores it, in the configuration text's words ("half", "0x23",
// "2.2"); a switch or code byte that no word stores (possible in a device dump) is shown as a
// number ("0x02"). A float has the fewest digits that read back as the same single-precision
// value, so that two values the block tells apart are never shown alike.
std::string valueText(const Setting& setting, const ConfigRecord& record);

// Writes the lines of compareFiles for two configurations already loaded, A and B, named as
// `commandLine.compared` names them, leaving out the settings it ignores; returns how many
// settings and header fields differ.
int writeDifferences(std::FILE* out, const Configuration& a, const Configuration& b,
                     const CommandLine& commandLine);

}  // namespace kr570
