// The wide decoder of regular records against the scalar scanner: on every input both must
// leave the same image and report the same warnings.
#include "hex/hex_fast_path.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "hex/hex_reader.hpp"
#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570 {
namespace {

struct Reading {
    std::string image;
    std::string warnings;
};

// Reads `text` with the decoder that KR570_HEX_DECODER names.
Reading readWith(const std::string& text, const char* decoder) {
    test::setEnvironment("KR570_HEX_DECODER", decoder);
    auto image = std::make_unique<EepromImage>();
    test::OutputCapture sink;
    Diagnostics diagnostics(sink.stream(), "in.hex");
    std::FILE* stream = test::streamWith(text);
    readHex(stream, *image, diagnostics);
    std::fclose(stream);
    test::setEnvironment("KR570_HEX_DECODER", nullptr);
    return {std::string(reinterpret_cast<const char*>(image->data()), EepromImage::kSize),
            sink.text()};
}

// Every path against the scalar scanner; the text is named in a failure only by its length
// and its start.
void expectSamePaths(const std::string& text) {
    const Reading scalar = readWith(text, "scalar");
    for (const char* decoder : {"", "ssse3"}) {
        const Reading fast = readWith(text, decoder);
        EXPECT_EQ(scalar.warnings, fast.warnings)
            << decoder << ", " << text.size() << " bytes: " << text.substr(0, 80);
        EXPECT_TRUE(scalar.image == fast.image)
            << decoder << ", " << text.size() << " bytes: " << text.substr(0, 80);
    }
}

// A data record with a correct checksum, lower- or upper-case digits.
std::string dataRecord(unsigned address, const std::string& bytes, bool upper = false) {
    unsigned sum = static_cast<unsigned>(bytes.size()) + (address >> 8) + (address & 0xFF);
    char head[16];
    std::snprintf(head, sizeof head, upper ? ":%02X%04X00" : ":%02x%04x00",
                  static_cast<unsigned>(bytes.size()), address & 0xFFFF);
    std::string record = head;
    for (const char byte : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, upper ? "%02X" : "%02x",
                      static_cast<unsigned char>(byte));
        record += digits;
        sum += static_cast<unsigned char>(byte);
    }
    char checksum[4];
    std::snprintf(checksum, sizeof checksum, upper ? "%02X" : "%02x",
                  (0x100 - (sum & 0xFF)) & 0xFF);
    return record + checksum;
}

std::string pattern(std::size_t count, unsigned seed) {
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i) {
        bytes.push_back(static_cast<char>((seed * 37U + static_cast<unsigned>(i) * 11U) & 0xFFU));
    }
    return bytes;
}

// How many records `decode` takes from the start of `text` (after its first ':').
std::size_t decodedRecords(RecordDecoder decode, const std::string& text) {
    DecodedRun run;
    const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
    decode(begin + 1, begin + text.size(), run);
    return run.records;
}

std::string mixedCase(std::string text) {
    for (std::size_t i = 1; i < text.size(); i += 3) {
        text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    }
    return text;
}

const std::string kSixteen = dataRecord(0x0010, pattern(16, 1));
const std::string kThirtyTwo = dataRecord(0x0100, pattern(32, 2), true);
const std::string kPadding = ":00000001FF\n" + std::string(100, ' ');  // room for the wide loads

struct Shape : test::NamedCase {
    std::string text;
    std::size_t decoded;  // records the wide decoders must take from the start
};

class FastPathShapes : public ::testing::TestWithParam<Shape> {};

TEST_P(FastPathShapes, DecodeLikeTheScalarScanner) {
    expectSamePaths(GetParam().text);
    for (const char* decoder : {"", "ssse3"}) {
        const RecordDecoder decode = detail::processorRecordDecoder(decoder);
        if (decode == nullptr) {
            GTEST_SKIP() << "no wide decoder on this processor";
        }
        EXPECT_EQ(GetParam().decoded, decodedRecords(decode, GetParam().text)) << decoder;
    }
}

std::string with(std::string text, std::size_t at, const std::string& replacement) {
    return text.replace(at, replacement.size(), replacement);
}

INSTANTIATE_TEST_SUITE_P(
    Records, FastPathShapes,
    ::testing::Values(
        Shape{"sixteen_lf", kSixteen + "\n" + kPadding, 1},
        Shape{"sixteen_crlf", kSixteen + "\r\n" + kSixteen + "\r\n" + kPadding, 2},
        Shape{"thirty_two_upper", kThirtyTwo + "\n" + kSixteen + "\n" + kPadding, 2},
        Shape{"mixed_case", mixedCase(kSixteen) + "\n" + kPadding, 1},
        Shape{"changed_digit", with(kSixteen, 9, "aB") + "\n" + kPadding, 0},
        Shape{"cr_alone", kSixteen + "\r" + kSixteen + "\n" + kPadding, 0},
        Shape{"blank_after_checksum", kSixteen + " \n" + kPadding, 0},
        Shape{"bad_checksum", with(kSixteen, 41, "0") + "\n" + kPadding, 0},
        Shape{"bad_digit_in_data", with(kSixteen, 20, "g") + "\n" + kPadding, 0},
        Shape{"bad_digit_in_checksum", with(kSixteen, 42, "\x10") + "\n" + kPadding, 0},
        Shape{"second_bad", kSixteen + "\n" + with(kSixteen, 33, "G") + "\n" + kPadding, 1},
        Shape{"type_not_data", with(kSixteen, 7, "01") + "\n" + kPadding, 0},
        Shape{"count_eight", dataRecord(0, pattern(8, 3)) + "\n" + kPadding, 0},
        Shape{"count_says_32_has_16", with(kSixteen, 1, "2") + "\n" + kPadding, 0},
        Shape{"text_between", kSixteen + "\n; note\n" + kSixteen + "\n" + kPadding, 1},
        Shape{"outside_image", ":020000040001f9\n" + kSixteen + "\n" + kPadding, 0},
        Shape{"straddles_image_end", dataRecord(49990, pattern(16, 4)) + "\n" + kPadding, 1},
        Shape{"wraps_at_2_to_32",
              ":02000004FFFFFC\n" + dataRecord(0xFFF8, pattern(16, 5)) + "\n" + kPadding, 0},
        Shape{"outside_between_overwrites",
              kSixteen + "\n" + dataRecord(50000, pattern(16, 6)) + "\n" +
                  dataRecord(50016, pattern(32, 7)) + "\n" + dataRecord(0x0010, pattern(16, 8)) +
                  "\n" + dataRecord(0x0018, pattern(16, 9)) + "\n" + kPadding,
              5},
        Shape{"after_end_of_file", ":00000001FF\n" + kSixteen + "\n" + kPadding, 0},
        Shape{"at_stream_end", kSixteen + "\n", 0},
        Shape{"warning_after_crlf_run",
              kSixteen + "\r\n" + kSixteen + "\r\n" + with(kSixteen, 41, "0") + "\n" + kPadding, 2},
        Shape{"return_after_line_feed",
              kSixteen + "\n\r" + kSixteen + "\n" + with(kSixteen, 41, "0") + "\n" + kPadding, 1}),
    test::CaseName());

TEST(FastPath, RecordsCutShortAtEveryLengthReadAlike) {
    const std::string text = kSixteen + "\r\n" + kThirtyTwo + "\n" + kSixteen + "\n";
    for (std::size_t length = 0; length <= text.size(); ++length) {
        expectSamePaths(text.substr(0, length));
    }
}

// Files of regular records, each with a few bytes changed, removed, added or cut off, some
// long enough to cross the read buffer's end several times.
std::string mutatedFile(std::mt19937& random) {
    std::string text;
    const int records =
        std::uniform_int_distribution<int>(1, random() % 8 == 0 ? 4000 : 40)(random);
    for (int i = 0; i < records; ++i) {
        const std::size_t count = random() % 2 == 0 ? 16 : 32;
        const auto address = static_cast<unsigned>(random() % 0x10000);
        text +=
            dataRecord(address, pattern(count, static_cast<unsigned>(random())), random() % 2 == 0);
        text += random() % 3 == 0 ? "\r\n" : "\n";
        if (random() % 50 == 0) {
            text += random() % 2 == 0 ? ":020000040000fa\n" : ":00000001FF\n";
        }
    }
    const char kNoise[] = "0123456789abcdefABCDEFgG:\r\n \x10\x00";
    for (int edits = static_cast<int>(random() % 4); edits > 0; --edits) {
        const std::size_t at = random() % text.size();
        const char noise = kNoise[random() % (sizeof kNoise - 1)];
        switch (random() % 3) {
            case 0:
                text[at] = noise;
                break;
            case 1:
                text.erase(at, 1);
                break;
            default:
                text.insert(at, 1, noise);
                break;
        }
    }
    return random() % 4 == 0 ? text.substr(0, random() % (text.size() + 1)) : text;
}

TEST(FastPath, SeededMutatedFilesReadAlike) {
    std::mt19937 random(570);
    for (int i = 0; i < 300; ++i) {
        expectSamePaths(mutatedFile(random));
    }
}

}  // namespace
}  // namespace kr570
