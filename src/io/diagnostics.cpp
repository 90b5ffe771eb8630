#include "io/diagnostics.hpp"

#include <cstdarg>
#include <utility>

#include "io/console_input.hpp"
#include "io/text_output.hpp"
#include "platform/output.hpp"

namespace kr570 {

namespace {

std::string formattedList(const char* format, va_list arguments) KR570_PRINTF(1, 0);

std::string formattedList(const char* format, va_list arguments) {
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    (void)std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

}  // namespace

std::string formatted(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = formattedList(format, arguments);
    va_end(arguments);
    return text;
}

// Standard output, then standard error, in the order of the Console that every caller has.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters)
Reporter::Reporter(std::FILE* out, std::FILE* err, ConsoleInput* keys, ReportMode mode)
    : out_(out), err_(err), keys_(keys), mode_(mode) {}

void Reporter::warn(Warning warning) {
    // Warnings go to the console: a failed write there has nowhere left to be told.
    if (err_ != nullptr && !mode_.quiet) {
        if (warning.line > 0) {
            printText(err_, "%s:%ld: warning: %s\n", warning.source.c_str(), warning.line,
                      warning.message.c_str());
        } else {
            printText(err_, "%s: warning: %s\n", warning.source.c_str(), warning.message.c_str());
        }
    }
    warnings_.push_back(std::move(warning));
}

void Reporter::fail(const Failure& failure) {
    if (mode_.dialogue && out_ != nullptr) {
        printText(out_, "%s\nHit any key to exit\n", failure.what.c_str());
        (void)std::fflush(out_);
        if (keys_ != nullptr) {
            keys_->waitForKey();
        }
    } else if (err_ != nullptr && failure.error != 0) {
        printText(err_, "kr570convert: %s: %s\n", failure.what.c_str(),
                  platform::describeError(failure.error).c_str());
    } else if (err_ != nullptr) {
        printText(err_, "kr570convert: %s\n", failure.what.c_str());
    }
}

void Reporter::usage(const std::string& mistake) {
    if (err_ != nullptr) {
        printText(err_, "kr570convert: %s\nTry 'kr570convert --help'\n", mistake.c_str());
    }
}

void Diagnostics::warn(long line, const char* format, ...) {
    ++count_;
    va_list arguments;
    va_start(arguments, format);
    reporter_.warn(Warning{source_, line, formattedList(format, arguments)});
    va_end(arguments);
}

std::string listed(const std::vector<std::string>& items, const char* last) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        text += (i == 0                  ? ""
                 : i + 1 == items.size() ? std::string(" ") + last + " "
                                         : ", ") +
                items[i];
    }
    return text;
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (std::size_t i = 0; i < text.size() && i < kQuotedLongest; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            out += formatted("\\x%02x", static_cast<unsigned>(c));
        } else {
            out += static_cast<char>(c);
        }
    }
    out += text.size() > kQuotedLongest ? "...'" : "'";
    return out;
}

}  // namespace kr570
