#include "driver/conversion.hpp"

#include <sys/stat.h>

#include "eeprom/config_block.hpp"
#include "hex/hex_reader.hpp"
#include "hex/hex_writer.hpp"
#include "platform/platform.hpp"
#include "text/config_parser.hpp"
#include "text/config_report.hpp"

namespace kr570 {

namespace {

// A name with a NUL byte in it cannot name a file; opening its first part instead would
// convert the wrong file.
bool isUsableName(const std::string& name) {
    return name.find('\0') == std::string::npos;
}

}  // namespace

Direction chooseDirection(const std::string& inputName) {
    const char last = inputName.empty() ? '\0' : inputName.back();
    return (last == 't' || last == 'T') ? Direction::TextToHex : Direction::HexToText;
}

std::FILE* openInput(const std::string& name) {
    if (!isUsableName(name)) {
        return nullptr;
    }
    std::FILE* input = std::fopen(name.c_str(), "rb");
    if (input == nullptr) {
        return nullptr;
    }
    // A directory opens for reading here but yields no data: converting it would pass an
    // empty configuration off as the user's.
    struct stat status {};
    if (fstat(fileno(input), &status) != 0 || S_ISDIR(status.st_mode)) {
        std::fclose(input);
        return nullptr;
    }
    return input;
}

OutputOpening openOutput(const std::string& name, std::FILE* input, std::FILE*& output) {
    output = nullptr;
    if (!isUsableName(name)) {
        return OutputOpening::Failed;
    }
    const auto existing = platform::regularFileIdentity(name);
    if (existing && existing == platform::identityOf(input)) {
        return OutputOpening::IsInput;
    }
    output = std::fopen(name.c_str(), "w");
    return output != nullptr ? OutputOpening::Opened : OutputOpening::Failed;
}

void loadHexBlock(std::FILE* input, EepromImage& image, Diagnostics& diagnostics) {
    readHex(input, image, diagnostics);
    if (!hasBlockSignature(image)) {
        diagnostics.warn(0,
                         "no configuration block signature (85 c2 1e 4f 11) at address "
                         "0; the first 72 bytes are read as a block all the same");
    }
}

int compileTextBlock(std::FILE* input, ConfigRecord& record, EepromImage& image, std::FILE* console,
                     Diagnostics& diagnostics) {
    buildBlock(image, record);
    parseConfigText(input, record, console, diagnostics);
    return packBlock(image, record);
}

void convert(Direction direction, const Conversion& c) {
    if (direction == Direction::HexToText) {
        loadHexBlock(c.input, c.image, c.diagnostics);
        unpackBlock(c.image, c.record);
        writeConfigReport(c.output, c.record, c.inputName, reportCreationTime());
    } else {
        const int length = compileTextBlock(c.input, c.record, c.image, c.console, c.diagnostics);
        writeHex(c.output, c.image, length);
    }
}

bool closeOutput(std::FILE* output, const std::string& name) {
    bool written = std::fflush(output) == 0 && std::ferror(output) == 0;
    written = std::fclose(output) == 0 && written;
    if (!written) {
        struct stat status {};
        if (stat(name.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
            std::remove(name.c_str());
        }
    }
    return written;
}

}  // namespace kr570
