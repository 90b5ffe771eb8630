// What an existing output holds, so that a run replaces it only when nothing of it is lost.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "formats/kinds.hpp"
#include "platform/output.hpp"

namespace kr570 {

// Why writing `kind` over the output that `target` describes would lose something of it, or
// nothing when it would not: a report replaces a report, and an image file an image file of any
// kind whose every address the new one gives (`written`, one flag per EEPROM address); an empty
// file may always be replaced, and devices, FIFOs and missing files are no files to guard.
// Anything else (a text of the user's, a file of another kind, an image that would lose
// addresses, a file that cannot be read to tell) is kept.
std::optional<std::string> lossOnReplacing(const platform::OutputTarget& target, FileKind kind,
                                           const std::vector<std::uint8_t>& written);

// What a run says of an output it keeps for `loss`: that it is kept, in the dialogue, where no
// option can be given; how to replace it anyway, on the command line.
std::string keptOutput(const std::string& output, const std::string& loss, bool dialogue);

}  // namespace kr570
