#include <algorithm>
#include <cstdint>
#include <string>

#include "formats/byte_list.hpp"
#include "io/characters.hpp"
#include "text/config_parser.hpp"

namespace kr570 {

namespace {

bool isSeparator(int c) {
    return c == ',' || isWhitespace(c);
}

class ByteListReader {
  public:
    ByteListReader(ByteSource& source, ImageStore& store, Diagnostics& diagnostics)
        : source_(source), store_(store), diagnostics_(diagnostics) {}

    void run() {
        while (nextValue()) {
            const long line = source_.line();
            std::string text;
            std::size_t length = 0;
            for (int c = source_.peek(); c != -1 && !isSeparator(c); c = source_.peek()) {
                if (length++ <= kQuotedLongest) {
                    text.push_back(static_cast<char>(c));
                }
                source_.advance(1);
            }
            // No byte needs as many characters as a message shows.
            const int value = length == text.size() ? byteListValue(text) : -1;
            if (value < 0) {
                notAByte(line, text);
            } else if (address_ <= EepromImage::kSize) {
                // The first value past the image is reported; the others are dropped.
                const auto byte = static_cast<std::uint8_t>(value);
                store_.store(static_cast<std::uint32_t>(address_), &byte, 1);
            }
            ++address_;
        }
        store_.finish();
        if (notBytes_ > kTold) {
            diagnostics_.warn(0, "%ld more values are not bytes", notBytes_ - kTold);
        }
    }

  private:
    // Moves to the start of the next value; false at the end of the list. Two commas with
    // nothing but blanks between them stand around an empty value, which is no byte either.
    // A line that begins with ';', '#' or "//" is a comment, as people write them above a list.
    bool nextValue() {
        bool comma = false;
        for (int c = source_.peek(); isSeparator(c) || startsComment(c); c = source_.peek()) {
            if (startsComment(c)) {
                skipRestOfLine(source_);
                lineStart_ = true;
                continue;
            }
            if (c == ',' && comma) {
                notAByte(source_.line(), "");
                ++address_;
            }
            comma = comma || c == ',';
            lineStart_ = c == '\n' || c == '\r' || (lineStart_ && c != ',');
            source_.advance(1);
        }
        lineStart_ = false;
        return source_.peek() != -1;
    }

    bool startsComment(int c) {
        return lineStart_ && (c == ';' || c == '#' || (c == '/' && source_.peek(1) == '/'));
    }

    // Each value that is no byte is told, up to kTold of them; the rest are counted.
    static constexpr long kTold = 10;

    void notAByte(long line, const std::string& text) {
        if (notBytes_++ < kTold) {
            diagnostics_.warn(line, "%s at address 0x%04x is not a byte value; it is left out",
                              quoted(text).c_str(), static_cast<unsigned>(address_));
        }
    }

    ByteSource& source_;
    ImageStore& store_;
    Diagnostics& diagnostics_;
    std::uint64_t address_ = 0;
    bool lineStart_ = true;
    long notBytes_ = 0;
};

}  // namespace

int byteListValue(const std::string& text) {
    unsigned base = 10;
    std::size_t digits = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        digits = 2;
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'b' || text[1] == 'B')) {
        base = 2;
        digits = 2;
    } else if (text.size() > 1 && text[0] == '0') {
        base = 8;
        digits = 1;
    }
    if (digits == text.size()) {
        return -1;  // no digits at all
    }
    unsigned value = 0;
    for (std::size_t i = digits; i < text.size(); ++i) {
        const unsigned digit = hexDigitValue(static_cast<unsigned char>(text[i]));
        if (digit >= base) {
            return -1;
        }
        value = std::min(value * base + digit, 256U);
    }
    return value <= 255 ? static_cast<int>(value) : -1;
}

void readByteList(ByteSource& source, ImageStore& store, Diagnostics& diagnostics) {
    ByteListReader(source, store, diagnostics).run();
}

bool looksLikeByteList(const FileStart& start) {
    const StartLine line = firstLine(start);
    int values = 0;
    int bytes = 0;
    for (const unsigned char* p = line.begin; p < line.end;) {
        const unsigned char* end = std::find(p, line.end, ',');
        if (end == line.end && !line.whole) {
            break;  // cut by the end of what was looked at
        }
        std::string value(p, end);
        value.erase(std::remove_if(value.begin(), value.end(),
                                   [](char c) { return c == ' ' || c == '\t'; }),
                    value.end());
        bytes += byteListValue(value) >= 0 ? 1 : 0;
        ++values;
        p = end == line.end ? end : end + 1;
    }
    // A value that is no byte is a slip in a list, as long as most of them are bytes.
    return values >= 2 && 2 * bytes > values;
}

}  // namespace kr570
