// Verifying a controller: two configuration texts or image files (typically the text a
// controller was programmed from and a read-back of its EEPROM) are each turned into the
// configuration block the tool would write for them, and the blocks' settings are compared.
#pragma once

#include <string>
#include <vector>

#include "config/settings.hpp"
#include "driver/command_line.hpp"
#include "driver/console.hpp"
#include "driver/pipeline.hpp"

namespace kr570 {

// Exit statuses of a comparison.
inline constexpr int kCompareEqual = 0;
inline constexpr int kCompareDifferent = 1;
inline constexpr int kCompareTrouble = 2;

// One difference, named by the setting's keyword or the header field, and its line in the
// text's keywords and value words ("ontime: 128 (A) != 7 (B)").
struct Difference {
    std::string name;
    std::string line;
};

struct Comparison {
    int compared = 0;  // the settings compared
    std::vector<Difference> settings;
    std::vector<Difference> header;  // the header fields and reserved byte of two images
    // The bytes after the block of two images that differ, and the first of them.
    std::size_t bytesBeyond = 0;
    std::size_t firstBytesBeyond = 0;

    bool equal() const { return settings.empty() && header.empty() && bytesBeyond == 0; }
};

// Compares two configurations as their blocks store them, leaving out the `ignored` keywords;
// two images also by their headers and the bytes after their blocks.
Comparison compareConfigurations(const Configuration& a, const Configuration& b,
                                 const std::vector<std::string>& ignored);

// Loads both files of the command line, each into a configuration of its own (the overrides
// apply to A, the expected side, which must be a configuration text), prints one line for each
// difference and ends with the verdict, which names what differs.
int compareFiles(const CommandLine& commandLine, Console& console);

// A setting's value as the block stores it, in the configuration text's words ("half", "0x23",
// "2.2"); a switch or code byte that no word stores (possible in a device dump) is shown as a
// number ("0x02"). A float has the fewest digits that read back as the same single-precision
// value, so that two values the block tells apart are never shown alike.
std::string valueText(const Setting& setting, const ConfigRecord& record);

// The last line of a comparison, which a log can keep: the verdict, naming what differs.
std::string verdictOf(const Comparison& comparison, const std::string& nameA,
                      const std::string& nameB);

}  // namespace kr570
