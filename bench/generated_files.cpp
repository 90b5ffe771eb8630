#include "generated_files.hpp"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

#include "config/config_record.hpp"
#include "eeprom/config_block.hpp"
#include "eeprom/eeprom_image.hpp"
#include "formats/intel_hex.hpp"

namespace kr570::bench {

namespace {

std::FILE* create(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        throw std::runtime_error("cannot create " + path);
    }
    return file;
}

}  // namespace

void writeHexFile(const std::string& path, std::size_t bytes, const HexShape& shape) {
    std::FILE* file = create(path);
    const char* const lineEnd = shape.crLf ? "\r\n" : "\n";
    const char* const byteFormat = shape.upperCase ? "%02X" : "%02x";
    const char* const headFormat = shape.upperCase ? ":%02X%04X00" : ":%02x%04x00";
    std::size_t written = 0;
    std::uint32_t address = 0;
    std::uint32_t seed = 570;
    const auto count = [&written](int printed) { written += static_cast<std::size_t>(printed); };
    while (written < bytes) {
        if (address % 0x10000 == 0) {
            const unsigned segment = address >> 16;
            const unsigned sum = 2 + 4 + (segment >> 8) + (segment & 0xFF);
            count(std::fprintf(file,
                               shape.upperCase ? ":02000004%04X%02X%s" : ":02000004%04x%02x%s",
                               segment, (0x100 - (sum & 0xFF)) & 0xFF, lineEnd));
        }
        unsigned sum = shape.recordBytes + ((address >> 8) & 0xFF) + (address & 0xFF);
        count(std::fprintf(file, headFormat, shape.recordBytes, address & 0xFFFF));
        for (unsigned i = 0; i < shape.recordBytes; ++i) {
            seed = seed * 1103515245U + 12345U;
            const unsigned value = (seed >> 16) & 0xFF;
            sum += value;
            count(std::fprintf(file, byteFormat, value));
        }
        count(std::fprintf(file, byteFormat, (0x100 - (sum & 0xFF)) & 0xFF));
        count(std::fprintf(file, "%s", lineEnd));
        address += shape.recordBytes;
    }
    std::fprintf(file, ":00000001FF%s", lineEnd);
    std::fclose(file);
}

void writeConfigFile(const std::string& path, std::size_t bytes) {
    static const char kGroup[] =
        "; Stepper motor parameters of one axis\n"
        "followmotorparameters yes\n"
        "resistance 1.50\n"
        "inductance 1.70\n"
        "current 2.50\n"
        "drive_voltage 24.00\n"
        "\n"
        "; Potentiometer set PWM parameters\n"
        "followpots no\n"
        "ontime  128\n"
        "dutycycle  128\n"
        "slewrate  0\n"
        "recoverytime  10\n"
        "stepmode  half\n"
        "motorshutofftime  8000\n"
        "TWI_slaveAddress 0x23\n"
        "steppolarity positive\n"
        "dirpolarity highcw\n\n";
    std::FILE* file = create(path);
    for (std::size_t written = 0; written < bytes; written += sizeof kGroup - 1) {
        std::fputs(kGroup, file);
    }
    std::fclose(file);
}

void writeWholeImage(const std::string& path) {
    auto image = std::make_unique<EepromImage>();
    ConfigRecord record{};
    setDefaults(record);
    buildBlock(*image, record);
    std::uint32_t seed = 570;
    for (std::size_t i = block::kLength; i < EepromImage::kSize; ++i) {
        seed = seed * 1103515245U + 12345U;
        image->putByte(i, (seed >> 16) & 0xFFU);
    }
    std::FILE* file = create(path);
    writeHex(file, *image, std::vector<std::uint8_t>(EepromImage::kSize, 1));  // every byte
    std::fclose(file);
}

}  // namespace kr570::bench
