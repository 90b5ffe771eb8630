#include "text/config_parser.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "io/characters.hpp"
#include "text/number_reader.hpp"

namespace kr570 {

namespace {

// A word is kept only as far as any keyword or value word could reach, and far enough to show
// in a message; a longer word is still read whole, but can never equal one of them. Memory
// stays fixed however long a word is.
constexpr std::size_t kWordKept = 64;

struct Word {
    std::string kept;        // its first kWordKept characters
    std::size_t length = 0;  // its whole length
    long line = 0;           // where it began

    bool is(const char* other) const { return length == kept.size() && kept == other; }
};

// Reads the next run of non-whitespace characters; false when only whitespace remains. The
// whitespace that ends the word stays in the stream.
bool readWord(ByteSource& input, Word& word) {
    skipSpace(input);
    word.line = input.line();
    word.kept.clear();
    word.length = 0;
    for (int c = input.peek(); c != -1 && !isWhitespace(c); c = input.peek()) {
        if (word.length++ < kWordKept) {
            word.kept.push_back(static_cast<char>(c));
        }
        input.advance(1);
    }
    return word.length > 0;
}

const Setting* findKeyword(const Word& word) {
    return word.length == word.kept.size() ? findSetting(word.kept) : nullptr;
}

char foldedCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Edit distance between two short words, ignoring case, for suggesting the keyword a typo
// meant; `limit` + 1 as soon as it is known to exceed `limit` (no later row of the table can
// come back below the smallest entry of a row).
constexpr std::size_t longestKeyword() {
    std::size_t longest = 0;
    for (const Setting& setting : kSettings) {
        longest = std::max(longest, std::char_traits<char>::length(setting.keyword));
    }
    return longest;
}

std::size_t editDistance(const std::string& a, std::string_view b, std::size_t limit) {
    // Two rows of the table, as long as the longest keyword and one more.
    std::array<std::size_t, longestKeyword() + 1> previous{};
    std::array<std::size_t, longestKeyword() + 1> current{};
    for (std::size_t j = 0; j <= b.size(); ++j) {
        previous[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        std::size_t smallest = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t substitution =
                previous[j - 1] + (foldedCase(a[i - 1]) == foldedCase(b[j - 1]) ? 0 : 1);
            current[j] = std::min(std::min(previous[j], current[j - 1]) + 1, substitution);
            smallest = std::min(smallest, current[j]);
        }
        if (smallest > limit) {
            return limit + 1;
        }
        std::swap(previous, current);
    }
    return previous[b.size()];
}

// The keyword a mistyped word most likely meant, or nullptr when none is close.
const char* nearestKeyword(const Word& word) {
    if (word.length != word.kept.size()) {
        return nullptr;
    }
    const char* best = nullptr;
    std::size_t bestDistance = 0;
    for (const Setting& setting : kSettings) {
        const std::string_view keyword = setting.keyword;
        // Allow one slip in a short word, up to three in the long run-together keywords.
        const std::size_t allowed = std::min<std::size_t>(3, 1 + keyword.size() / 8);
        const std::size_t gap = word.length > keyword.size() ? word.length - keyword.size()
                                                             : keyword.size() - word.length;
        if (gap > allowed) {
            continue;  // too far apart to be a slip
        }
        const std::size_t distance = editDistance(word.kept, keyword, allowed);
        if (distance <= allowed && (best == nullptr || distance < bestDistance)) {
            best = setting.keyword;
            bestDistance = distance;
        }
    }
    return best;
}

// "'a' or 'b'", "'a', 'b' or 'c'".
std::string wordList(const ValueWords& words) {
    std::vector<std::string> quotedWords;
    for (const ValueWord& w : words) {
        quotedWords.push_back("'" + std::string(w.word) + "'");
    }
    return listed(quotedWords, "or");
}

// Reads the value of one keyword and stores it; reports what was adjusted.
class ValueReader {
  public:
    ValueReader(ByteSource& input, ConfigRecord& record, Diagnostics& diagnostics)
        : input_(input), record_(record), diagnostics_(diagnostics) {}

    void read(const Setting& keyword, long keywordLine) {
        keywordLine_ = keywordLine;
        refused_ = false;
        // In the order of ValueKind: a float, a byte, a time, an address, a switch, a code.
        using Reader = void (ValueReader::*)(const Setting&);
        static constexpr Reader kReaders[] = {
            &ValueReader::readFloatValue, &ValueReader::readByteValue,
            &ValueReader::readTimeValue,  &ValueReader::readAddressValue,
            &ValueReader::readWordValue,  &ValueReader::readWordValue,
        };
        (this->*kReaders[static_cast<std::size_t>(keyword.kind)])(keyword);
    }

    // Whether the last value was refused: no value, no number, a number out of range or run
    // into other characters, or a word that is none of the keyword's; the setting then keeps
    // what it held (a switch is turned off) and the warning has said so.
    bool refused() const { return refused_; }

    // Why the values read so far were stored other than written, or warned about.
    const std::vector<std::string>& reasons() const { return reasons_; }

    // Whether the word now in keyword position is what is left of a value that was not read
    // whole; the value's own warning has told about it. Asking clears it.
    bool takeValueRest() {
        const bool rest = valueRest_;
        valueRest_ = false;
        return rest;
    }

  private:
    // A value stored otherwise than written: the warning says why and what is stored.
    void adjusted(long line, const std::string& reason, const std::string& consequence) {
        diagnostics_.warn(line, "%s; %s", reason.c_str(), consequence.c_str());
        reasons_.push_back(reason);
    }

    // The word ahead, left unread; long enough that quoting it shows whether it goes on.
    std::string peekWord() {
        std::string shown;
        for (std::size_t i = 0; i <= kQuotedLongest; ++i) {
            const int c = input_.peek(i);
            if (c == -1 || isWhitespace(c)) {
                break;
            }
            shown.push_back(static_cast<char>(c));
        }
        return shown;
    }

    // Whether the word of the number just read goes on after it: with no whitespace, end of
    // the text or comment between them.
    bool wordGoesOn() {
        const int next = input_.peek();
        return next != -1 && !isWhitespace(next) && next != ';';
    }

    // A number that runs straight into other characters (1,5 or 2.5A or 0xZZ): only the number
    // was read, and the rest of the word is read next in keyword position. A ';' right after
    // the number starts a comment and is no slip.
    template <typename T>
    bool runsOn(const Setting& keyword, long line, const NumberValue<T>& number,
                const std::string& stored) {
        if (!wordGoesOn()) {
            return false;
        }
        const std::string written = quoted(number.text() + peekWord());
        diagnostics_.warn(line, "%s %s: only %s is a number; %s is stored", keyword.keyword,
                          written.substr(1, written.size() - 2).c_str(),
                          quoted(number.text()).c_str(), stored.c_str());
        valueRest_ = true;
        refused_ = true;
        return true;
    }

    // The line a value starts on, once the whitespace before it has been skipped.
    long valueLine() {
        skipSpace(input_);
        return input_.line();
    }

    // Reports a value that is no number; the field keeps what it held.
    void noNumber(const Setting& keyword, long line) {
        refused_ = true;
        if (input_.peek() == -1) {
            diagnostics_.warn(keywordLine_,
                              "'%s' has no value at the end of the file; the setting is kept",
                              keyword.keyword);
            return;
        }
        // Show what stands there without consuming it: the parser reads it next, as part of
        // this one slip.
        const std::string shown = peekWord();
        valueRest_ = shown[0] != ';';
        diagnostics_.warn(line, "'%s' needs a number, not %s; the setting is kept", keyword.keyword,
                          quoted(shown).c_str());
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
            diagnostics_.warn(line, "%s is out of range for '%s'; the setting is kept",
                              quoted(number.text()).c_str(), keyword.keyword);
            valueRest_ = wordGoesOn();
            refused_ = true;
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
        const std::string stored = formatted("%g", static_cast<double>(number.value));
        if (!runsOn(keyword, line, number, stored) && !number.inRange) {
            adjusted(line,
                     quoted(number.text()) + " is too large for a single-precision '" +
                         keyword.keyword + "'",
                     "it is stored as infinity");
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
        if (!runsOn(keyword, line, number, std::to_string(stored)) && number.value != stored) {
            adjusted(line,
                     quoted(number.text()) + " does not fit '" + keyword.keyword + "' (0 to 255)",
                     std::to_string(stored) + " is stored");
        }
    }

    void readTimeValue(const Setting& keyword) {
        const long line = valueLine();
        const NumberValue<std::int32_t> number = readDecimal(input_);
        if (!storable(keyword, line, number)) {
            return;
        }
        keyword.timeIn(record_) = number.value;
        if (!runsOn(keyword, line, number, std::to_string(number.value)) &&
            (number.value < 0 || number.value > 0xFFFF)) {
            adjusted(line, quoted(number.text()) + " is outside 0 to 65535",
                     formatted("'%s' reaches the controller as %u", keyword.keyword,
                               static_cast<unsigned>(static_cast<std::uint16_t>(number.value))));
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
        const std::string shown = formatted("0x%x", static_cast<unsigned>(stored));
        if (runsOn(keyword, line, number, shown)) {
            return;
        }
        warnDecimalDigits(keyword, line, number);
        if (number.value != stored) {
            adjusted(
                line,
                quoted(number.text()) + " does not fit '" + keyword.keyword + "' (0x0 to 0xff)",
                shown + " is stored");
        }
        // Seven bits address a device on the bus, and the I2C bus keeps the lowest
        // and highest eight for itself.
        if (stored < 0x08 || stored > 0x77) {
            adjusted(line,
                     shown + (stored > 0x7F ? " is above 0x7f, more than 7 bits of I2C address"
                                            : " is an address that I2C reserves (0x00 to 0x07, "
                                              "0x78 to 0x7f)"),
                     "it is stored");
        }
    }

    // The address is hexadecimal even without 0x: digits that read as a decimal number most
    // likely meant one.
    void warnDecimalDigits(const Setting& keyword, long line,
                           const NumberValue<std::uint32_t>& number) {
        const std::string text = number.text();
        const std::string digits = text.substr(text[0] == '+' || text[0] == '-' ? 1 : 0);
        if (digits.find_first_not_of("0123456789") != std::string::npos) {
            return;
        }
        diagnostics_.warn(line, "%s %s: read as hexadecimal 0x%x (%u); write 0x%s to say so",
                          keyword.keyword, text.c_str(), number.value, number.value,
                          digits.c_str());
        reasons_.push_back(formatted("%s is hexadecimal 0x%x (%u); write 0x%s to mean 0x%s",
                                     text.c_str(), number.value, number.value, digits.c_str(),
                                     digits.c_str()));
    }

    void readWordValue(const Setting& keyword) {
        Word value;
        const bool present = readWord(input_, value);
        for (const ValueWord& w : keyword.words) {
            if (present && value.is(w.word)) {
                keyword.byteIn(record_) = w.stored;
                return;
            }
        }
        // A switch is on only for its "yes" word; anything else turns it off. A code keeps
        // its letter unless one of its own words is given.
        refused_ = true;
        const bool isSwitch = keyword.kind == ValueKind::Switch;
        std::string outcome = "the setting is kept";
        if (isSwitch) {
            keyword.byteIn(record_) = 0;
            outcome =
                "'" + std::string(keyword.keyword) + "' is set to " + keyword.words.wordFor(0);
        }
        if (!present) {
            diagnostics_.warn(keywordLine_, "'%s' has no value at the end of the file; %s",
                              keyword.keyword, outcome.c_str());
        } else {
            diagnostics_.warn(value.line, "%s is not %s for '%s'; %s", quoted(value.kept).c_str(),
                              wordList(keyword.words).c_str(), keyword.keyword, outcome.c_str());
        }
    }

    ByteSource& input_;
    ConfigRecord& record_;
    Diagnostics& diagnostics_;
    long keywordLine_ = 0;
    bool valueRest_ = false;
    bool refused_ = false;
    std::vector<std::string> reasons_;
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
            text_ = word.kept;
        } else if (text_.size() <= kQuotedLongest) {
            text_ += " " + word.kept;
        }
        ++words_;
    }

    // Warns about the slip so far, if there is one.
    void report() {
        if (words_ == 0) {
            return;
        }
        const char* suggestion = nearestKeyword(first_);
        const std::string hint =
            suggestion != nullptr ? "did you mean '" + std::string(suggestion) + "'?" : "";
        const std::string notKeyword = quoted(first_.kept) + " is not a keyword";
        if (words_ == 1) {
            diagnostics_.warn(first_.line, "%s; %s", notKeyword.c_str(),
                              hint.empty() ? "it is ignored" : hint.c_str());
        } else {
            diagnostics_.warn(first_.line, "%s is ignored: %s%s%s", quoted(text_).c_str(),
                              notKeyword.c_str(), hint.empty() ? "" : "; ", hint.c_str());
        }
        words_ = 0;
    }

  private:
    Diagnostics& diagnostics_;
    Word first_;
    std::string text_;
    int words_ = 0;
};

}  // namespace

const char* nearestKeyword(const std::string& word) {
    Word typed;
    typed.kept = word.substr(0, kWordKept);
    typed.length = word.size();
    return nearestKeyword(typed);
}

std::string notAKeyword(const std::string& word) {
    const char* meant = nearestKeyword(word);
    return "'" + word + "' is not a keyword" +
           (meant != nullptr ? std::string("; did you mean '") + meant + "'?" : "");
}

namespace {

// What a value of the setting is written as, for a message.
std::string valueForm(const Setting& setting) {
    // In the order of ValueKind; a switch or a code is one of its words.
    static constexpr const char* kForms[] = {"a decimal number", "a whole number",
                                             "a whole number of milliseconds",
                                             "a hexadecimal number"};
    const auto kind = static_cast<std::size_t>(setting.kind);
    return kind < std::size(kForms) ? kForms[kind] : wordList(setting.words);
}

}  // namespace

std::optional<Failure> readSettingValue(const Setting& setting, const std::string& value,
                                        ConfigRecord& record, Diagnostics& diagnostics) {
    ByteSource input(value);
    ValueReader reader(input, record, diagnostics);
    reader.read(setting, 0);
    skipSpace(input);
    if (reader.refused() || input.peek() != -1) {
        return Failure{quoted(value) + " cannot be read as " + valueForm(setting) + " for '" +
                       setting.keyword + "'"};
    }
    // What a text would be warned about, the command line does not take at all.
    if (!reader.reasons().empty()) {
        return Failure{reader.reasons().front()};
    }
    if (setting.kind == ValueKind::Float && setting.floatIn(record) < 0.0F) {
        return Failure{quoted(value) + " is negative; the motor estimates assume positive values"};
    }
    return std::nullopt;
}

void skipRestOfLine(ByteSource& input) {
    for (int c = input.get(); c != -1 && c != '\n' && c != '\r'; c = input.get()) {
    }
}

TextSummary parseConfigText(ByteSource& input, ConfigRecord& record, Diagnostics& diagnostics) {
    ValueReader values(input, record, diagnostics);
    Slip slip(diagnostics);
    TextSummary summary;
    Word word;
    while (readWord(input, word)) {
        const bool valueRest = values.takeValueRest();
        if (word.kept[0] == ';') {
            slip.report();
            skipRestOfLine(input);
            continue;
        }
        ++summary.words;
        const Setting* keyword = findKeyword(word);
        if (keyword != nullptr) {
            ++summary.settings;
            slip.report();
            values.read(*keyword, word.line);
        } else if (!valueRest) {
            slip.add(word);
        }
    }
    slip.report();
    return summary;
}

bool looksLikeConfigurationText(const FileStart& start) {
    const unsigned char* p = start.begin;
    for (;;) {
        while (p < start.limit && isWhitespace(*p)) {
            ++p;
        }
        if (p == start.limit || *p != ';') {
            break;
        }
        while (p < start.limit && *p != '\n' && *p != '\r') {
            ++p;
        }
    }
    const unsigned char* const word = p;
    while (p < start.limit && !isWhitespace(*p)) {
        ++p;
    }
    // A word that the window cuts may go on into something else.
    return (p < start.limit || start.whole) && findSetting(std::string(word, p)) != nullptr;
}

}  // namespace kr570
