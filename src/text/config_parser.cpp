#include "text/config_parser.hpp"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "config/motor_estimates.hpp"
#include "config/settings.hpp"
#include "text/number_reader.hpp"

namespace kr570 {

namespace {

// A word is kept only as far as any keyword or value word could reach; a longer word is still
// read whole, but can never equal one of them. Memory stays fixed however long a word is.
constexpr std::size_t kWordKept = 64;

struct Word {
    std::string text;        // the first kWordKept characters
    std::size_t length = 0;  // the word's whole length
    long line = 0;           // where it began, when lines are counted

    bool is(const char* other) const { return length == text.size() && text == other; }
};

// Reads the next run of non-whitespace characters; false when only whitespace remains. The
// whitespace that ends the word stays in the stream.
bool readWord(ByteSource& input, Word& word) {
    skipSpace(input);
    word.text.clear();
    word.length = 0;
    word.line = input.line();
    input.consumeWhile([](unsigned char c) { return !isWhitespace(c); },
                       [&word](const unsigned char* start, std::size_t count) {
                           if (word.text.size() < kWordKept) {
                               word.text.append(reinterpret_cast<const char*>(start),
                                                std::min(count, kWordKept - word.text.size()));
                           }
                           word.length += count;
                       });
    return word.length > 0;
}

const Setting* findKeyword(const Word& word) {
    return findSetting(word.text.data(), word.length);
}

// Edit distance between two short words, for suggesting the keyword a typo meant.
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::string::size_type rows = a.size();
    std::vector<std::size_t> previous(b.size() + 1);
    std::vector<std::size_t> current(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        previous[j] = j;
    }
    for (std::size_t i = 1; i <= rows; ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t substitution = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitution});
        }
        previous.swap(current);
    }
    return previous[b.size()];
}

std::string lowered(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// The keyword a mistyped word most likely meant, or nullptr when none is close.
const char* nearestKeyword(const Word& word) {
    if (word.length != word.text.size()) {
        return nullptr;
    }
    const std::string typed = lowered(word.text);
    const char* best = nullptr;
    std::size_t bestDistance = 0;
    for (const Setting& setting : kSettings) {
        const std::string name = lowered(setting.keyword);
        // Allow one slip in a short word, up to three in the long run-together keywords.
        const std::size_t allowed = std::min<std::size_t>(3, 1 + name.size() / 8);
        const std::size_t lengthGap =
            typed.size() > name.size() ? typed.size() - name.size() : name.size() - typed.size();
        if (lengthGap > allowed) {
            continue;  // too far apart to be a slip, and cheap to rule out
        }
        const std::size_t distance = editDistance(typed, name);
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
    // the number starts a comment and is no slip.
    template <typename T>
    bool runsOn(const Setting& keyword, long line, const NumberValue<T>& number,
                const std::string& stored) {
        const int next = input_.peek();
        if (next == -1 || isWhitespace(next) || next == ';') {
            return false;
        }
        const std::string written = quoted(number.text + peekWord(32));
        warn(line, std::string(keyword.keyword) + " " + written.substr(1, written.size() - 2) +
                       ": only " + quoted(number.text) + " is a number; " + stored + " is stored");
        valueRest_ = true;
        return true;
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
            warn(line, quoted(number.text) + " is out of range for '" + keyword.keyword +
                           "'; the setting is kept");
            valueRest_ =
                input_.peek() != -1 && !isWhitespace(input_.peek()) && input_.peek() != ';';
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
        char stored[32];
        std::snprintf(stored, sizeof stored, "%g", static_cast<double>(number.value));
        if (runsOn(keyword, line, number, stored)) {
            return;
        }
        if (!number.inRange) {
            warn(line, quoted(number.text) + " is too large for a single-precision '" +
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
        if (runsOn(keyword, line, number, std::to_string(stored))) {
            return;
        }
        if (number.value != stored) {
            warn(line, quoted(number.text) + " does not fit '" + keyword.keyword +
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
        if (runsOn(keyword, line, number, std::to_string(number.value))) {
            return;
        }
        if (number.value < 0 || number.value > 0xFFFF) {
            const auto reaching = static_cast<std::uint16_t>(number.value);
            warn(line, quoted(number.text) + " is outside 0 to 65535; '" + keyword.keyword +
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
        char shown[8];
        std::snprintf(shown, sizeof shown, "0x%x", static_cast<unsigned>(stored));
        if (runsOn(keyword, line, number, shown)) {
            return;
        }
        if (number.value != stored) {
            warn(line, quoted(number.text) + " does not fit '" + keyword.keyword +
                           "' (0x0 to 0xff); " + shown + " is stored");
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
            warn(value.line, quoted(value.text) + " is not " + wordList(keyword.words) + " for '" +
                                 keyword.keyword + "'; " + outcome);
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
            text_ = word.text;
        } else if (text_.size() < kWordKept) {
            text_ += " " + word.text;
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
        const std::string notKeyword = quoted(first_.text) + " is not a keyword";
        if (words_ == 1) {
            diagnostics_.warn(first_.line,
                              notKeyword + "; " + (hint.empty() ? "it is ignored" : hint));
        } else {
            diagnostics_.warn(first_.line, quoted(text_) + " is ignored: " + notKeyword +
                                               (hint.empty() ? "" : "; " + hint));
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

void skipRestOfLine(ByteSource& input) {
    input.consumeWhile([](unsigned char c) { return c != '\n' && c != '\r'; });
    input.get();  // the line end itself, if the stream has one
}

void parseConfigText(std::FILE* input, ConfigRecord& record, std::FILE* console,
                     Diagnostics& diagnostics) {
    ByteSource source(input);
    ValueReader values(source, record, diagnostics);
    Slip slip(diagnostics);
    Word word;
    while (readWord(source, word)) {
        const bool valueRest = values.takeValueRest();
        if (word.text[0] == ';') {
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
