// The page's way into the tool, through embind: a file is read, checked and packed by the one
// pipeline (loadConfiguration), each value edited in the form is read as --set reads it
// (readOverride), and every output is the pipeline's writer (writeConfiguration). The settings
// table, the estimates and the compare mode's lines are the tool's own too. This file only
// carries bytes and texts between JavaScript and the tool, in the command line's words.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

// An input's bytes as a stream, as the pipeline reads every input: the readers count lines
// and warn by them.
class MemoryInput {
  public:
    explicit MemoryInput(std::string& bytes)
        : stream_(fmemopen(bytes.data(), bytes.size(), "rb")) {}
    ~MemoryInput() {
        if (stream_ != nullptr) {
            (void)std::fclose(stream_);  // read only: closing loses nothing
        }
    }
    MemoryInput(const MemoryInput&) = delete;
    MemoryInput& operator=(const MemoryInput&) = delete;

    std::FILE* get() const { return stream_; }

  private:
    std::FILE* stream_;
};

// A stream whose text is kept in memory, for the pipeline's writers and the reporter: the page
// needs no file system at all.
class MemoryOutput {
  public:
    MemoryOutput() : stream_(open_memstream(&data_, &size_)) {}
    ~MemoryOutput() {
        close();
        std::free(data_);
    }
    MemoryOutput(const MemoryOutput&) = delete;
    MemoryOutput& operator=(const MemoryOutput&) = delete;

    std::FILE* get() const { return stream_; }

    // Everything written; nothing can be written after.
    std::string contents() {
        close();
        return data_ != nullptr ? std::string(data_, size_) : std::string();
    }

  private:
    void close() {
        if (stream_ != nullptr) {
            (void)std::fclose(stream_);
            stream_ = nullptr;
        }
    }

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* stream_;
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

// A warning or a failure as the command line prints it on standard error, without its line
// end: "NAME:LINE: warning: MESSAGE", "kr570convert: WHAT".
template <typename Tell>
std::string said(Tell tell) {
    MemoryOutput err;
    Reporter reporter(nullptr, err.get(), nullptr, ReportMode{});
    tell(reporter);
    std::string text = err.contents();
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

// A document read through the pipeline, and what the run says about it.
struct Loaded {
    std::unique_ptr<Configuration> configuration = std::make_unique<Configuration>();
    Reporter reporter;  // collects the warnings
    std::optional<std::string> failure;
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

std::unique_ptr<Loaded> load(Document& document) {
    auto loaded = std::make_unique<Loaded>();
    const std::vector<Override> overrides = readEdits(document, loaded->edits);
    MemoryInput input(document.bytes);
    std::optional<Failure> failure;
    if (input.get() == nullptr) {
        failure = Failure{"Can't read input file " + document.name.shown(), errno};
    } else {
        ByteSource source(input.get());
        failure = loadConfiguration(Input{source, document.name, document.kind}, overrides,
                                    loaded->reporter, *loaded->configuration);
    }
    if (failure) {
        loaded->failure = said([&failure](Reporter& reporter) { reporter.fail(*failure); });
    }
    return loaded;
}

val warningsOf(const Loaded& loaded) {
    return arrayOf(loaded.reporter.collected(), [](const Warning& warning) {
        val shown = val::object();
        shown.set("source", warning.source);
        shown.set("line", static_cast<double>(warning.line));
        shown.set("message", warning.message);
        shown.set("text", said([&warning](Reporter& reporter) { reporter.warn(warning); }));
        return shown;
    });
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
    MemoryOutput block;
    writeMotorParameterBlock(block.get(), record);
    motor.set("lines", arrayOf(linesOf(block.contents()), [](const std::string& s) { return s; }));
    Reporter checked;
    Diagnostics diagnostics(checked, "");
    warnAboutMotorSettings(record, diagnostics);
    motor.set("check", arrayOf(checked.collected(), [](const Warning& w) { return w.message; }));
    return motor;
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
    Document document = documentFrom(page);
    const std::unique_ptr<Loaded> loaded = load(document);
    const Configuration& configuration = *loaded->configuration;
    val result = val::object();
    result.set("warnings", warningsOf(*loaded));
    result.set("edits", loaded->edits);
    result.set("failure", loaded->failure ? val(*loaded->failure) : val::null());
    if (!loaded->failure) {
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
    Document document = documentFrom(page);
    const std::unique_ptr<Loaded> loaded = load(document);
    const std::optional<FileKind> written = kindNamed(kind);
    if (loaded->failure || !written) {
        return bytesOf("");
    }
    MemoryOutput output;
    writeConfiguration(*written, output.get(), *loaded->configuration, document.name.given);
    return bytesOf(output.contents());
}

// The compare mode's lines for A and B: one per differing setting or header field (its name
// before the first ": "), then the verdict; or B's failure.
val compare(const val& pageA, const val& pageB) {
    Document a = documentFrom(pageA);
    Document b = documentFrom(pageB);
    const std::unique_ptr<Loaded> loadedA = load(a);
    const std::unique_ptr<Loaded> loadedB = load(b);
    val result = val::object();
    result.set("warnings", warningsOf(*loadedB));
    if (loadedA->failure || loadedB->failure) {
        result.set("failure", loadedB->failure ? *loadedB->failure : *loadedA->failure);
        return result;
    }
    const Comparison comparison =
        compareConfigurations(*loadedA->configuration, *loadedB->configuration, {});
    result.set("verdict", verdictOf(comparison, a.name.given, b.name.given));
    std::vector<Difference> differences = comparison.settings;
    differences.insert(differences.end(), comparison.header.begin(), comparison.header.end());
    result.set("lines", arrayOf(differences, [](const Difference& d) {
                   val difference = val::object();
                   difference.set("name", d.name);
                   difference.set("text", d.line);
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
    return arrayOf(allKinds(), [](FileKind kind) {
        val row = val::object();
        row.set("word", std::string(kindRow(kind).word));
        row.set("description", std::string(kindDescription(kind)));
        row.set("written", isWritten(kind));
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
