#include "support/test_support.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>

#include "config/settings.hpp"
#include "eeprom/config_block.hpp"
#include "formats/intel_hex.hpp"
#include "formats/srecord.hpp"

namespace kr570::test {

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// In a folder of its own: std::tmpfile's names collide between test processes that run side by
// side under Wine.
TempStream::TempStream(const std::string& text)
    : stream_(std::fopen(dir_.file("stream").c_str(), "w+b")) {
    if (stream_ == nullptr) {
        throw std::runtime_error("no temporary file could be made in " + dir_.path());
    }
    std::fwrite(text.data(), 1, text.size(), stream_);
    std::rewind(stream_);
}

// Everything the file holds; later writes go on at the end, where the stream is left.
std::string TempStream::text() {
    std::fseek(stream_, 0, SEEK_END);  // which also writes out what the stream holds back
    return readFile(dir_.file("stream"));
}

// A fresh folder under a random name: creating it fails when the name is taken, so a folder is
// never shared with another test run.
TempDir::TempDir() {
    std::random_device seed;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const std::string name = std::to_string(std::mt19937_64(seed())() % 1000000000000U);
        const auto candidate = std::filesystem::temp_directory_path() / ("kr570-test-" + name);
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate.generic_u8string();
        }
    }
    if (path_.empty()) {
        throw std::runtime_error("no temporary folder could be made");
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::u8path(path_), ignored);
}

std::string readFile(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary);
    out << text;
}

bool fileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::u8path(path), ignored);
}

std::vector<std::string> listing(const std::string& folder) {
    const std::filesystem::path root = std::filesystem::u8path(folder);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_directory()) {
            names.push_back(entry.path().lexically_relative(root).generic_u8string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::string randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes;
    std::generate_n(std::back_inserter(bytes), count,
                    [&generator] { return static_cast<char>(generator() & 0xFFU); });
    return bytes;
}

ConfigRecord defaultRecord() {
    ConfigRecord record{};
    setDefaults(record);
    return record;
}

std::vector<std::uint8_t> firstAddresses(std::size_t count) {
    std::vector<std::uint8_t> given(EepromImage::kSize);
    std::fill(given.begin(), given.begin() + static_cast<std::ptrdiff_t>(count), 1);
    return given;
}

std::string hexOf(const EepromImage& image, int count) {
    TempStream out;
    writeHex(out.stream(), image, firstAddresses(static_cast<std::size_t>(count)));
    return out.text();
}

namespace {

// The header bytes a row may change by their record names.
// clang-format off
const std::pair<const char*, std::uint8_t ConfigRecord::*> kHeaderBytes[] = {
    {"productId", &ConfigRecord::productId}, {"revisionMajor", &ConfigRecord::revisionMajor},
    {"revisionMinor", &ConfigRecord::revisionMinor}, {"fixedByte57", &ConfigRecord::fixedByte57}};
// clang-format on

void store(ConfigRecord& record, const std::string& field, const std::string& value) {
    const auto number = [&value] { return std::stol(value, nullptr, 0); };
    for (const auto& [name, byte] : kHeaderBytes) {
        if (field == name) {
            record.*byte = static_cast<std::uint8_t>(number());
            return;
        }
    }
    const Setting* setting = findSetting(field);
    if (setting == nullptr) {
        throw std::invalid_argument("no setting named " + field);
    } else if (setting->kind == ValueKind::Float) {
        setting->floatIn(record) = std::stof(value);
    } else if (setting->kind == ValueKind::Time) {
        setting->timeIn(record) = static_cast<std::int32_t>(number());
    } else {
        const bool letter = setting->kind == ValueKind::Code && value.size() == 1;
        setting->byteIn(record) = static_cast<std::uint8_t>(letter ? value[0] : number());
    }
}

std::string hexBytes(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += {"0123456789abcdef"[bytes[i] >> 4U], "0123456789abcdef"[bytes[i] & 0xFU]};
    }
    return text;
}

}  // namespace

ConfigRecord withSettings(const std::string& changes, ConfigRecord record) {
    for (const std::string& change : words(changes)) {
        const std::size_t equals = change.find('=');
        store(record, change.substr(0, equals), change.substr(equals + 1));
    }
    return record;
}

std::string srecOf(const ConfigRecord& record) {
    auto image = std::make_unique<EepromImage>();
    buildBlock(*image, record);
    TempStream out;
    writeSRecords(out.stream(), *image, firstAddresses(72));
    return out.text();
}

std::string hexOf(const ConfigRecord& record) {
    auto image = std::make_unique<EepromImage>();
    buildBlock(*image, record);
    return hexOf(*image);
}

std::unique_ptr<EepromImage> imageFrom(const std::string& bytes, FileKind kind,
                                       std::string* warnings) {
    auto image = std::make_unique<EepromImage>();
    image->fillImage(0xEE);
    TempStream sink;
    Reporter reporter(nullptr, warnings != nullptr ? sink.stream() : nullptr, nullptr, {});
    Diagnostics diagnostics(reporter, "in.hex");
    TempStream input(bytes);
    ByteSource source(input.stream());
    ImageStore store(*image, diagnostics, kind == FileKind::Binary ? nullptr : &source);
    kindRow(kind).read(source, store, diagnostics);
    if (warnings != nullptr) {
        *warnings = sink.text();
    }
    return image;
}

std::string bytesOf(const std::string& hex, std::size_t count) {
    const auto image = imageFrom(hex);
    return std::string(reinterpret_cast<const char*>(image->data()), count);
}

std::string settingsOf(const ConfigRecord& record) {
    auto block = std::make_unique<EepromImage>();
    buildBlock(*block, record);
    std::string text;
    for (const Setting& setting : kSettings) {
        text += std::string(setting.keyword) + " " +
                (setting.kind == ValueKind::Time
                     ? std::to_string(setting.timeIn(record))
                     : hexBytes(block->data() + setting.offset, blockWidth(setting.kind))) +
                "\n";
    }
    const std::uint8_t header[] = {record.productId, record.revisionMajor, record.revisionMinor,
                                   record.fixedByte57};
    return text + "product id, revision, reserved byte " + hexBytes(header, sizeof header) +
           "\nnotice " + hexBytes(block->data() + block::kNotice, kNoticeLength) + "\n";
}

std::string sourcePath(const std::string& relative) {
    return std::string(KR570_SOURCE_DIR) + "/" + relative;
}

}  // namespace kr570::test
