#include "text/config_parser.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "config/motor_estimates.hpp"
#include "config/settings.hpp"
#include "text/number_reader.hpp"

namespace kr570 {

namespace {

// A word is kept only as far as any keyword or value word could reach; a longer word is still
// read whole, but can never equal one of them. Memory stays fixed however long a word is.
constexpr std::size_t kWordKept = 64;

// A word lying whole in the read buffer is looked at where it lies, valid until the source
// reads on; one that crosses a refill, or that must outlive the next read, is copied into
// `kept`. Either way `chars` points at its first `keptLength` characters.
class Word {
  public:
    Word() = default;
    // A copy keeps the characters itself, since the read buffer moves on.
    Word(const Word& other) { *this = other; }
    Word& operator=(const Word& other) {
        if (this != &other) {
            std::memcpy(kept_.data(), other.chars_, other.keptLength_);
            chars_ = kept_.data();
            keptLength_ = other.keptLength_;
            length_ = other.length_;
            line = other.line;
        }
        return *this;
    }
    ~Word() = default;

    const char* chars() const { return chars_; }
    std::size_t keptLength() const { return keptLength_; }
    std::size_t length() const { return length_; }
    std::string text() const { return std::string(chars_, keptLength_); }

    // Whether the word is `other`, a short value word: compared as it is walked, with no
    // separate pass for its length.
    bool is(const char* other) const {
        if (length_ != keptLength_) {
            return false;
        }
        for (std::size_t i = 0; i < length_; ++i) {
            if (other[i] == '\0' || other[i] != chars_[i]) {
                return false;
            }
        }
        return other[length_] == '\0';
    }

    // The word is the `count` bytes at `run`, in the read buffer.
    void lookAt(const unsigned char* run, std::size_t count) {
        chars_ = reinterpret_cast<const char*>(run);
        keptLength_ = std::min(count, kWordKept);
        length_ = count;
    }
    void clear() {
        chars_ = kept_.data();
        keptLength_ = 0;
        length_ = 0;
    }
    // Keeps the next characters of a word that is read in runs, as far as it is kept.
    void add(const unsigned char* run, std::size_t count) {
        const std::size_t taken = std::min(count, kWordKept - keptLength_);
        std::memcpy(kept_.data() + keptLength_, run, taken);
        keptLength_ += taken;
        length_ += count;
    }

    long line = 0;  // where it began, when lines are counted

  private:
    std::array<char, kWordKept> kept_;
    const char* chars_ = kept_.data();
    std::size_t keptLength_ = 0;
    std::size_t length_ = 0;  // the word's whole length
};

// Reads the next run of non-whitespace characters; false when only whitespace remains. The
// whitespace that ends the word stays in the stream.
bool readWord(ByteSource& input, Word& word) {
    skipSpace(input);
    word.line = input.line();
    // Nearly every word lies whole in the read buffer, its end in sight: take it in one step.
    const unsigned char* const start = input.cursor();
    // Every whitespace byte lies below '!'.
    const unsigned char* end = passBytesNotBelow(start, input.limit(), '!');
    while (end < input.limit() && !isWhitespaceByte(*end)) {
        ++end;
    }
    if (end < input.limit()) {
        word.lookAt(start, static_cast<std::size_t>(end - start));
        input.advanceOverText(word.length());
        return word.length() > 0;
    }
    word.clear();
    input.consumeWhile(
        [](unsigned char c) { return !isWhitespaceByte(c); },
        [&word](const unsigned char* run, std::size_t count) { word.add(run, count); });
    return word.length() > 0;
}

const Setting* findKeyword(const Word& word) {
    return findSetting(word.chars(), word.length());
}

char foldedCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Edit distance between two short words, ignoring case, for suggesting the keyword a typo
// meant, or limit + 1 when it exceeds `limit`. Every unknown word of a text that warnings are
// shown for passes here, so only the band of the table within `limit` of its diagonal is
// worked out, in two rows on the stack, and the work stops at the first row whose entries all
// exceed the limit (no later row can come back below it).
std::size_t editDistance(const std::string& a, const char* b, std::size_t bLength,
                         std::size_t limit) {
    const std::size_t beyond = limit + 1;
    std::array<std::size_t, kWordKept + 2> first;
    std::array<std::size_t, kWordKept + 2> second;
    std::size_t* previous = first.data();
    std::size_t* current = second.data();
    for (std::size_t j = 0; j <= bLength; ++j) {
        previous[j] = std::min(j, beyond);
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        const std::size_t low = i > limit ? i - limit : 1;
        const std::size_t high = std::min(bLength, i + limit);
        current[0] = std::min(i, beyond);
        current[low - 1] = low > 1 ? beyond : current[0];
        std::size_t smallest = current[low - 1];
        for (std::size_t j = low; j <= high; ++j) {
            const bool same = foldedCase(a[i - 1]) == foldedCase(b[j - 1]);
            const std::size_t substitution = previous[j - 1] + (same ? 0 : 1);
            current[j] = std::min(std::min(previous[j], current[j - 1]) + 1, substitution);
            smallest = std::min(smallest, current[j]);
        }
        current[high + 1] = beyond;  // the right edge of the band, for the next row
        if (smallest > limit) {
            return beyond;
        }
        std::swap(previous, current);
    }
    return std::min(previous[bLength], beyond);
}

// The keyword a mistyped word most likely meant, or nullptr when none is close.
const char* nearestKeyword(const Word& word) {
    if (word.length() != word.keptLength()) {
        return nullptr;
    }
    const char* best = nullptr;
    std::size_t bestDistance = 0;
    for (const Setting& setting : kSettings) {
        const std::size_t length = setting.keywordLength;
        // Allow one slip in a short word, up to three in the long run-together keywords.
        const std::size_t allowed = std::min<std::size_t>(3, 1 + length / 8);
        const std::size_t typed = word.length();
        const std::size_t lengthGap = typed > length ? typed - length : length - typed;
        if (lengthGap > allowed) {
            continue;  // too far apart to be a slip, and cheap to rule out
        }
        const std::size_t distance = editDistance(word.text(), setting.keyword, length, allowed);
        if (distance <= allowed && (best == nullptr || distance < bestDistance)) {
            best = setting.keyword;
            bestDistance = distance;
        }
    }
    return best;
}

std::string wordList(const ValueWords& words) {
    std::string list;
    for (const ValueWord& w : words) {
        if (!list.empty()) {
            list += &w == words.end() - 1 ? " or " : ", ";
        }
        list += "'" + std::string(w.word) + "'";
    }
    return list;
}

// Reads the value of one keyword and stores it; reports through `warn` what was adjusted.
class ValueReader {
  public:
    ValueReader(ByteSource& input, ConfigRecord& record, Diagnostics& diagnostics)
        : input_(input), record_(record), diagnostics_(diagnostics) {}

    void read(const Setting& keyword, long keywordLine) {
        keywordLine_ = keywordLine;
        switch (keyword.kind) {
            case ValueKind::Float:
                readFloatValue(keyword);
                break;
            case ValueKind::Byte:
                readByteValue(keyword);
                break;
            case ValueKind::Time:
                readTimeValue(keyword);
                break;
            case ValueKind::Address:
                readAddressValue(keyword);
                break;
            case ValueKind::Switch:
            case ValueKind::Code:
                readWordValue(keyword);
                break;
        }
    }

    // Whether the word now in keyword position is what is left of a value that was not read
    // whole; the value's own warning has told about it. Asking clears it.
    bool takeValueRest() {
        const bool rest = valueRest_;
        valueRest_ = false;
        return rest;
    }

  private:
    void warn(long line, const std::string& message) { diagnostics_.warn(line, message); }

    // Up to `longest` characters of the word ahead, left unread.
    std::string peekWord(std::size_t longest) {
        std::string shown;
        for (std::size_t i = 0; i < longest; ++i) {
            const int c = input_.peek(i);
            if (c == -1 || isWhitespace(c)) {
                break;
            }
            shown.push_back(static_cast<char>(c));
        }
        return shown;
    }

    // A number that runs straight into other characters (1,5 or 2.5A or 0xZZ): only the number
    // was read, and the rest of the word is read next in keyword position. A ';' right after
    // the number starts a comment and is no slip. `stored()` says what was stored; it is asked
    // only for the warning, since nearly every value ends cleanly.
    template <typename T, typename Stored>
    bool runsOn(const Setting& keyword, long line, const NumberValue<T>& number, Stored stored) {
        if (!wordGoesOn()) {
            return false;
        }
        const std::string written = quoted(number.text() + peekWord(32));
        warn(line, std::string(keyword.keyword) + " " + written.substr(1, written.size() - 2) +
                       ": only " + quoted(number.text()) + " is a number; " + stored() +
                       " is stored");
        valueRest_ = true;
        return true;
    }

    // Whether the word of the number just read goes on after it: with no whitespace, end of
    // the text or comment between them.
    bool wordGoesOn() {
        const int next = input_.peek();
        return next != -1 && !isWhitespace(next) && next != ';';
    }

    // The line a value starts on, once the whitespace before it has been skipped.
    long valueLine() {
        skipSpace(input_);
        return input_.line();
    }

    // Reports a value that is no number; the field keeps what it held.
    void noNumber(const Setting& keyword, long line) {
        if (input_.peek() == -1) {
            warn(keywordLine_, "'" + std::string(keyword.keyword) +
                                   "' has no value at the end of the file; the setting is kept");
            return;
        }
        // Show what stands there without consuming it: the parser reads it next, as part of
        // this one slip.
        const std::string shown = peekWord(16);
        valueRest_ = shown[0] != ';';
        warn(line, "'" + std::string(keyword.keyword) + "' needs a number, not " + quoted(shown) +
                       "; the setting is kept");
    }

    // Whether an integer value can be stored; reports why not when it cannot, and the field
    // keeps what it held.
    template <typename T>
    bool storable(const Setting& keyword, long line, const NumberValue<T>& number) {
        if (!number.found) {
            noNumber(keyword, line);
            return false;
        }
        if (!number.inRange) {
            warn(line, quoted(number.text()) + " is out of range for '" + keyword.keyword +
                           "'; the setting is kept");
            valueRest_ = wordGoesOn();
            return false;
        }
        return true;
    }

    void readFloatValue(const Setting& keyword) {
        const long line = valueLine();
        const NumberValue<float> number = readFloat(input_);
        if (!number.found) {
            noNumber(keyword, line);
            return;
        }
        keyword.floatIn(record_) = number.value;
        const auto stored = [&number] {
            char shown[32];
            std::snprintf(shown, sizeof shown, "%g", static_cast<double>(number.value));
            return std::string(shown);
        };
        if (runsOn(keyword, line, number, stored)) {
            return;
        }
        if (!number.inRange) {
            warn(line, quoted(number.text()) + " is too large for a single-precision '" +
                           keyword.keyword + "'; it is stored as infinity");
        }
    }

    void readByteValue(const Setting& keyword) {
        const long line = valueLine();
        const NumberValue<std::int32_t> number = readDecimal(input_);
        if (!storable(keyword, line, number)) {
            return;
        }
        // The block keeps one byte: the value modulo 256.
        const auto stored = static_cast<std::uint8_t>(number.value);
        keyword.byteIn(record_) = stored;
        if (runsOn(keyword, line, number, [stored] { return std::to_string(stored); })) {
            return;
        }
        if (number.value != stored) {
            warn(line, quoted(number.text()) + " does not fit '" + keyword.keyword +
                           "' (0 to 255); " + std::to_string(stored) + " is stored");
        }
    }

    void readTimeValue(const Setting& keyword) {
        const long line = valueLine();
        const NumberValue<std::int32_t> number = readDecimal(input_);
        if (!storable(keyword, line, number)) {
            return;
        }
        keyword.timeIn(record_) = number.value;
        if (runsOn(keyword, line, number, [&number] { return std::to_string(number.value); })) {
            return;
        }
        if (number.value < 0 || number.value > 0xFFFF) {
            const auto reaching = static_cast<std::uint16_t>(number.value);
            warn(line, quoted(number.text()) + " is outside 0 to 65535; '" + keyword.keyword +
                           "' reaches the controller as " + std::to_string(reaching));
        }
    }

    void readAddressValue(const Setting& keyword) {
        const long line = valueLine();
        const NumberValue<std::uint32_t> number = readHexNumber(input_);
        if (!storable(keyword, line, number)) {
            return;
        }
        const auto stored = static_cast<std::uint8_t>(number.value);
        keyword.byteIn(record_) = stored;
        const auto shown = [stored] { return hexText(stored); };
        if (runsOn(keyword, line, number, shown)) {
            return;
        }
        if (number.value != stored) {
            warn(line, quoted(number.text()) + " does not fit '" + keyword.keyword +
                           "' (0x0 to 0xff); " + shown() + " is stored");
        }
    }

    void readWordValue(const Setting& keyword) {
        Word value;
        const bool present = readWord(input_, value);
        const ValueWord* match = nullptr;
        for (const ValueWord& w : keyword.words) {
            if (present && value.is(w.word)) {
                match = &w;
            }
        }
        const bool isSwitch = keyword.kind == ValueKind::Switch;
        if (match != nullptr) {
            keyword.byteIn(record_) = match->stored;
            return;
        }
        // A switch is on only for its "yes" word; anything else turns it off. A code keeps
        // its letter unless one of its own words is given.
        if (isSwitch) {
            keyword.byteIn(record_) = 0;
        }
        const std::string outcome = isSwitch ? "'" + std::string(keyword.keyword) + "' is set to " +
                                                   keyword.words.wordFor(0)
                                             : "the setting is kept";
        if (!present) {
            warn(keywordLine_, "'" + std::string(keyword.keyword) +
                                   "' has no value at the end of the file; " + outcome);
        } else {
            warn(value.line, quoted(value.text()) + " is not " + wordList(keyword.words) +
                                 " for '" + keyword.keyword + "'; " + outcome);
        }
    }

    ByteSource& input_;
    ConfigRecord& record_;
    Diagnostics& diagnostics_;
    long keywordLine_ = 0;
    bool valueRest_ = false;
};

// Words in keyword position that are no keywords. A run of them on one line is one slip (a
// misspelt keyword and its value) and gets one warning.
class Slip {
  public:
    explicit Slip(Diagnostics& diagnostics) : diagnostics_(diagnostics) {}

    // Adds a word that is no keyword; a word on another line starts a new slip.
    void add(const Word& word) {
        if (words_ > 0 && word.line != first_.line) {
            report();
        }
        if (words_ == 0) {
            first_ = word;
            text_ = word.text();
        } else if (text_.size() < kWordKept) {
            text_ += " " + word.text();
        }
        ++words_;
    }

    // Warns about the slip so far, if there is one.
    void report() {
        if (words_ == 0) {
            return;
        }
        // Looking for the keyword a typo meant is the dearest part of a warning: done only for
        // a warning that is shown.
        diagnostics_.warnWith(first_.line, [this] {
            const char* suggestion = nearestKeyword(first_);
            const std::string hint =
                suggestion != nullptr ? "did you mean '" + std::string(suggestion) + "'?" : "";
            const std::string notKeyword = quoted(first_.text()) + " is not a keyword";
            if (words_ == 1) {
                return notKeyword + "; " + (hint.empty() ? "it is ignored" : hint);
            }
            return quoted(text_) + " is ignored: " + notKeyword + (hint.empty() ? "" : "; " + hint);
        });
        words_ = 0;
    }

  private:
    Diagnostics& diagnostics_;
    Word first_;
    std::string text_;
    int words_ = 0;
};

}  // namespace

void skipRestOfLine(ByteSource& input) {
    while (input.ensure(1) > 0) {
        const unsigned char* const start = input.cursor();
        const unsigned char* const limit = input.limit();
        // Both line ends lie below '\r' + 1.
        const unsigned char* p = passBytesNotBelow(start, limit, '\r' + 1);
        while (p < limit && *p != '\n' && *p != '\r') {
            ++p;
        }
        // A comment holds no line end, so the count stays where it was.
        input.advanceOverText(static_cast<std::size_t>(p - start));
        if (p < limit) {
            break;
        }
    }
    input.get();  // the line end itself, if the stream has one
}

void parseConfigText(std::FILE* input, ConfigRecord& record, std::FILE* console,
                     Diagnostics& diagnostics) {
    ByteSource source(input, diagnostics.printsWarnings() ? ByteSource::Lines::Counted
                                                          : ByteSource::Lines::NotCounted);
    ValueReader values(source, record, diagnostics);
    Slip slip(diagnostics);
    Word word;
    while (readWord(source, word)) {
        const bool valueRest = values.takeValueRest();
        if (word.chars()[0] == ';') {
            slip.report();
            skipRestOfLine(source);
            continue;
        }
        const Setting* keyword = findKeyword(word);
        if (keyword != nullptr) {
            slip.report();
            values.read(*keyword, word.line);
        } else if (!valueRest) {
            slip.add(word);
        }
    }
    slip.report();
    writeMotorParameterBlock(console, record);
}

void parseConfigText(std::FILE* input, ConfigRecord& record, std::FILE* console) {
    Diagnostics silent = Diagnostics::silent();
    parseConfigText(input, record, console, silent);
}

}  // namespace kr570
