// The page's way into the tool, through embind: a file is read, checked and packed by the one
// pipeline (loadConfiguration), each value edited in the form is read as --set reads it
// (readOverride), and every output is the pipeline's writer (writeConfiguration). The settings
// table, the estimates and the compare mode's lines are the tool's own too. This file only
// carries bytes and texts between JavaScript and the tool, in the command line's words.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/motor_estimates.hpp"
#include "config/settings.hpp"
#include "driver/compare.hpp"
#include "driver/pipeline.hpp"
#include "formats/kinds.hpp"

namespace kr570::web {

namespace {

using emscripten::val;

// A file in memory, for the pipeline's readers and writers, which take streams.
class MemoryFile {
  public:
    MemoryFile() : file_(std::tmpfile()) {}
    explicit MemoryFile(const std::string& bytes) : MemoryFile() {
        (void)std::fwrite(bytes.data(), 1, bytes.size(), file_);
        std::rewind(file_);
    }
    ~MemoryFile() { (void)std::fclose(file_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    std::FILE* get() const { return file_; }

    // Everything written so far, from the start.
    std::string contents() const {
        (void)std::fflush(file_);
        std::rewind(file_);
        std::string bytes;
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file_)) > 0;) {
            bytes.append(buffer, got);
        }
        return bytes;
    }

  private:
    std::FILE* file_;
};

// The lines of a text the tool wrote, without their line ends.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

val bytesOf(const std::string& bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    // A copy that outlives the memory it came from.
    return val::global("Uint8Array").new_(emscripten::typed_memory_view(bytes.size(), data));
}

template <typename Items, typename Convert>
val arrayOf(const Items& items, Convert convert) {
    val array = val::array();
    for (const auto& item : items) {
        array.call<void>("push", convert(item));
    }
    return array;
}

// What the page opens: a file's bytes and name, the kind it names ("" lets the content, then
// the name, decide, as on the command line) and the form's edits as --set gives them.
struct Document {
    std::string bytes;
    FileName name;
    std::optional<FileKind> kind;
    std::vector<std::string> sets;
};

Document documentFrom(const val& page) {
    Document document;
    document.bytes = page["bytes"].as<std::string>();
    document.name.given = page["name"].as<std::string>();
    document.kind = kindNamed(page["kind"].as<std::string>());
    document.sets = emscripten::vecFromJSArray<std::string>(page["sets"]);
    return document;
}

// A document read through the pipeline, and what the run says about it: each warning and the
// failure as a line of the command line's standard error.
struct Loaded {
    std::unique_ptr<Configuration> configuration = std::make_unique<Configuration>();
    std::vector<Warning> warnings;
    std::vector<std::string> said;  // one line per warning, then the failure's line
    bool failed = false;
    val edits = val::array();  // per edit: why --set could not read it, or null
};

std::vector<Override> readEdits(const Document& document, val& edits) {
    std::vector<Override> overrides;
    for (const std::string& assignment : document.sets) {
        Override override;
        if (const auto failure = readOverride(assignment, override)) {
            edits.call<void>("push", failure->what);
        } else {
            edits.call<void>("push", val::null());
            overrides.push_back(override);
        }
    }
    return overrides;
}

std::unique_ptr<Loaded> load(const Document& document) {
    auto loaded = std::make_unique<Loaded>();
    const std::vector<Override> overrides = readEdits(document, loaded->edits);
    const MemoryFile input(document.bytes);
    const MemoryFile err;
    Reporter reporter(nullptr, err.get(), nullptr, ReportMode{});
    ByteSource source(input.get());
    const auto failure = loadConfiguration(Input{source, document.name, document.kind}, overrides,
                                           reporter, *loaded->configuration);
    if (failure) {
        reporter.fail(*failure);
        loaded->failed = true;
    }
    loaded->warnings = reporter.collected();
    loaded->said = linesOf(err.contents());
    return loaded;
}

val warningsOf(const Loaded& loaded) {
    val warnings = val::array();
    for (std::size_t i = 0; i < loaded.warnings.size(); ++i) {
        val warning = val::object();
        warning.set("source", loaded.warnings[i].source);
        warning.set("line", static_cast<double>(loaded.warnings[i].line));
        warning.set("message", loaded.warnings[i].message);
        warning.set("text", loaded.said[i]);
        warnings.call<void>("push", warning);
    }
    return warnings;
}

val headerOf(const ConfigRecord& record) {
    val header = val::object();
    header.set("productId", record.productId);
    header.set("revision",
               std::to_string(record.revisionMajor) + "." + std::to_string(record.revisionMinor));
    header.set("notice",
               arrayOf(record.notice, [](char c) { return static_cast<unsigned char>(c); }));
    header.set("reserved", record.fixedByte57);
    return header;
}

// The estimates as the report prints them, their values, and what the check says of them.
val motorOf(const ConfigRecord& record) {
    val motor = val::object();
    const float l = record.inductance;
    const float r = record.resistance;
    const float v = record.drive_voltage;
    const float i = record.current;
    motor.set("inductance", static_cast<double>(l));
    motor.set("resistance", static_cast<double>(r));
    motor.set("voltage", static_cast<double>(v));
    motor.set("current", static_cast<double>(i));
    motor.set("onTime", onTimeMicroseconds(l, r, v, i));
    motor.set("dutyCycle", dutyCycleEstimate(l, r, v, i));
    motor.set("slewRate", slewRateEstimate(l, r, v, i));
    const MemoryFile block;
    writeMotorParameterBlock(block.get(), record);
    motor.set("lines", arrayOf(linesOf(block.contents()), [](const std::string& s) { return s; }));
    Reporter checked;
    Diagnostics diagnostics(checked, "");
    warnAboutMotorSettings(record, diagnostics);
    motor.set("check", arrayOf(checked.collected(), [](const Warning& w) { return w.message; }));
    return motor;
}

// The words of a list as the command line gives it: "text, hex, srec, bin or list".
std::vector<std::string> wordsOf(const std::string& list) {
    std::vector<std::string> words;
    for (std::size_t start = 0; start < list.size();) {
        const std::size_t end = std::min(list.find_first_of(", ", start), list.size());
        const std::string word = list.substr(start, end - start);
        if (!word.empty() && word != "or") {
            words.push_back(word);
        }
        start = end + 1;
    }
    return words;
}

const char* kindName(ValueKind kind) {
    switch (kind) {
        case ValueKind::Float:
            return "float";
        case ValueKind::Byte:
            return "byte";
        case ValueKind::Time:
            return "time";
        case ValueKind::Address:
            return "address";
        case ValueKind::Switch:
            return "switch";
        case ValueKind::Code:
            break;
    }
    return "code";
}

val settingsOf(const ConfigRecord& record) {
    val values = val::object();
    for (const Setting& setting : kSettings) {
        values.set(setting.keyword, valueText(setting, record));
    }
    return values;
}

}  // namespace

// Reads a document: its kind, its settings in the text's words, its header, the estimates, the
// warnings and the failure, and why each edit could not be read.
val open(const val& page) {
    const std::unique_ptr<Loaded> loaded = load(documentFrom(page));
    const Configuration& configuration = *loaded->configuration;
    val result = val::object();
    result.set("warnings", warningsOf(*loaded));
    result.set("edits", loaded->edits);
    result.set("failure", loaded->failed ? val(loaded->said.back()) : val::null());
    if (!loaded->failed) {
        result.set("kind", std::string(kindRow(configuration.kind).word));
        result.set("kindDescription", std::string(kindDescription(configuration.kind)));
        result.set("image", isImage(configuration.kind));
        result.set("settings", settingsOf(configuration.record));
        result.set("header", headerOf(configuration.record));
        result.set("motor", motorOf(configuration.record));
    }
    return result;
}

// The document written as `kind` (a word of --to), as the command line writes it; an empty
// array when it cannot be read.
val save(const val& page, const std::string& kind) {
    const Document document = documentFrom(page);
    const std::unique_ptr<Loaded> loaded = load(document);
    const std::optional<FileKind> written = kindNamed(kind);
    if (loaded->failed || !written) {
        return bytesOf("");
    }
    const MemoryFile output;
    writeConfiguration(*written, output.get(), *loaded->configuration, document.name.given);
    return bytesOf(output.contents());
}

// The compare mode's lines for A and B: one per differing setting or header field (its name
// before the first ": "), then the verdict; or B's failure.
val compare(const val& pageA, const val& pageB) {
    const Document a = documentFrom(pageA);
    const Document b = documentFrom(pageB);
    const std::unique_ptr<Loaded> loadedA = load(a);
    const std::unique_ptr<Loaded> loadedB = load(b);
    val result = val::object();
    result.set("warnings", warningsOf(*loadedB));
    if (loadedA->failed || loadedB->failed) {
        result.set("failure", loadedB->failed ? loadedB->said.back() : loadedA->said.back());
        return result;
    }
    CommandLine commandLine;
    commandLine.compared = {a.name, b.name};
    const MemoryFile out;
    writeDifferences(out.get(), *loadedA->configuration, *loadedB->configuration, commandLine);
    std::vector<std::string> lines = linesOf(out.contents());
    result.set("verdict", lines.back());
    lines.pop_back();
    result.set("lines", arrayOf(lines, [](const std::string& line) {
                   val difference = val::object();
                   difference.set("name", line.substr(0, line.find(": ")));
                   difference.set("text", line);
                   return difference;
               }));
    return result;
}

// The settings table: each keyword, its kind, its words, its factory value in the text's words
// and how many bits of it the block keeps.
val settings() {
    ConfigRecord factory{};
    setDefaults(factory);
    return arrayOf(kSettings, [&factory](const Setting& setting) {
        val row = val::object();
        row.set("keyword", std::string(setting.keyword));
        row.set("kind", std::string(kindName(setting.kind)));
        row.set("words",
                arrayOf(setting.words, [](const ValueWord& w) { return std::string(w.word); }));
        row.set("factory", valueText(setting, factory));
        row.set("bits", static_cast<int>(8 * blockWidth(setting.kind)));
        return row;
    });
}

// The kinds of file as the command line names them, in the table's order, and whether the
// tool writes each.
val kinds() {
    const std::vector<std::string> written = wordsOf(kindWords(true));
    return arrayOf(wordsOf(kindWords(false)), [&written](const std::string& word) {
        val row = val::object();
        row.set("word", word);
        row.set("description", std::string(kindDescription(*kindNamed(word))));
        row.set("written", std::find(written.begin(), written.end(), word) != written.end());
        return row;
    });
}

// The name the command line gives the output of `name` converted beside itself as `kind`.
std::string outputName(const std::string& name, const std::string& kind) {
    return nameBeside(name, *kindNamed(kind));
}

}  // namespace kr570::web

EMSCRIPTEN_BINDINGS(kr570) {
    emscripten::function("open", &kr570::web::open);
    emscripten::function("save", &kr570::web::save);
    emscripten::function("compare", &kr570::web::compare);
    emscripten::function("settings", &kr570::web::settings);
    emscripten::function("kinds", &kr570::web::kinds);
    emscripten::function("outputName", &kr570::web::outputName);
}
