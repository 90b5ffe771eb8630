#include "formats/record_reader.hpp"

#include <string>

#include "io/characters.hpp"

namespace kr570 {

namespace {

// The characters after its start of the longest record a reader takes: a count, an address
// of up to four bytes, 255 data bytes and the checksum.
constexpr std::size_t kLongestRecord = 2 + 2 + 8 + 2 * 255 + 2;
static_assert(kLongestRecord <= ByteSource::kMaxWindow, "a whole record fits the window");

bool isLineEnd(int c) {
    return c == '\n' || c == '\r';
}

bool isBlank(int c) {
    return c == ' ' || c == '\t';
}

}  // namespace

// The three counts of a record layout, in the order its description gives them.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters)
bool isWholeRecord(const StartLine& line, std::size_t start, std::size_t fixed,
                   std::size_t perCount) {
    if (!line.whole || static_cast<std::size_t>(line.end - line.begin) < start + 2) {
        return false;
    }
    const unsigned char* const digits = line.begin + start;
    std::size_t count = 0;
    while (digits + count < line.end && hexDigitValue(digits[count]) != kNotHexDigit) {
        ++count;
    }
    const std::size_t counted = hexDigitValue(digits[0]) * 16U + hexDigitValue(digits[1]);
    const unsigned char* tail = digits + count;
    while (tail < line.end && isBlank(*tail)) {
        ++tail;
    }
    const bool cleanTail =
        tail == line.end || (line.end - tail >= 2 && tail[0] == '/' && tail[1] == '/');
    return count % 2 == 0 && count >= fixed && count == fixed + perCount * counted && cleanTail;
}

void RecordReader::run() {
    while (skipToRecord()) {
        source_.ensure(kLongestRecord);
        FieldCursor fields(source_.cursor(), source_.limit());
        const bool complete = scanRecord(fields);
        source_.advance(fields.taken());
        recordOnLine_ = true;
        if (complete) {
            skipRecordTail();
        } else {
            skipBrokenTail();
        }
    }
    if (source_.readError() != 0) {
        return;  // what is missing was never read: the failed read is what is reported
    }
    store_.finish();
    if (textLines_ > 1) {
        diagnostics_.warn(0, "%ld more lines hold text outside records", textLines_ - 1);
    }
    if (!sawData_) {
        diagnostics_.warn(0, "no data record");
    }
    if (!sawEnd_ && endRequired()) {
        diagnostics_.warn(0, "no %s record", endRecordName());
    }
}

void RecordReader::recordCutShort(int stop) {
    if (stop == -1 || isLineEnd(stop)) {
        diagnostics_.warn(line(), "record cut short");
    } else {
        const std::string character(1, static_cast<char>(stop));
        diagnostics_.warn(line(), "record cut short by the non-hexadecimal character %s",
                          quoted(character).c_str());
    }
}

bool RecordReader::checkRecord(FieldCursor& fields, bool complete, std::uint32_t expected,
                               const char* consequence) {
    std::uint32_t checksum = 0;
    if (!complete || !fields.take(1, checksum)) {
        recordCutShort(fields.stopCharacter());
        return false;
    }
    if (checksum != expected) {
        diagnostics_.warn(line(), "checksum is 0x%02x, expected 0x%02x; %s", checksum, expected,
                          consequence);
    }
    return true;
}

void RecordReader::afterEnd() {
    if (sawEnd_ && !warnedAfterEnd_) {
        warnedAfterEnd_ = true;
        diagnostics_.warn(line(), "record after the %s record; it is still applied",
                          endRecordName());
    }
}

// Skips what follows a complete record on its line: blanks, and a comment that begins with
// "//" and runs to the line end, which may hold anything, a record's start included.
void RecordReader::skipRecordTail() {
    while (isBlank(source_.peek())) {
        source_.advance(1);
    }
    if (source_.peek() == '/' && source_.peek(1) == '/') {
        while (source_.peek() != -1 && !isLineEnd(source_.peek())) {
            source_.advance(1);
        }
    }
}

// Skips the rest of a record that was cut short or of an unknown type, up to its line end or
// the next start of a record; it was reported with the record.
void RecordReader::skipBrokenTail() {
    for (int c = source_.peek(); c != -1 && !isLineEnd(c) && !startsRecordInText(c);
         c = source_.peek()) {
        source_.advance(1);
    }
}

// Skips a run of text outside records, up to its line end (or a start of a record that may
// stand in text), and reports it once for its line.
void RecordReader::skipText() {
    const long where = textOnLine_ ? 0 : line();
    bool hexDigitsOnly = true;
    for (int c = source_.peek(); c != -1 && !isLineEnd(c) && !startsRecordInText(c);
         c = source_.peek()) {
        hexDigitsOnly = hexDigitsOnly && (isBlank(c) || hexDigitValue(c) != kNotHexDigit);
        source_.advance(1);
    }
    if (textOnLine_) {
        return;
    }
    textOnLine_ = true;
    if (textLines_++ == 0) {
        // Digits alone at the start of a line are most likely a record that lost its start.
        const char* hint = hexDigitsOnly && !recordOnLine_ ? bareDigitsHint() : nullptr;
        diagnostics_.warn(where, "text outside records is ignored%s%s", hint != nullptr ? "; " : "",
                          hint != nullptr ? hint : "");
    }
}

// Moves the source just past the start of the next record; false at the end of the stream.
bool RecordReader::skipToRecord() {
    for (int c = source_.peek(); c != -1; c = source_.peek()) {
        const std::size_t start = recordStart();
        if (start > 0) {
            source_.advance(start);
            return true;
        }
        if (!isWhitespace(c)) {
            skipText();
            continue;
        }
        source_.advance(1);
        if (isLineEnd(c)) {
            recordOnLine_ = false;
            textOnLine_ = false;
        }
    }
    return false;
}

}  // namespace kr570
