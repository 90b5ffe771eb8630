#include "io/diagnostics.hpp"

#include <cstdarg>
#include <utility>

namespace kr570 {

Diagnostics::Diagnostics(std::FILE* sink, std::string fileName)
    : sink_(sink), fileName_(std::move(fileName)) {}

void Diagnostics::warn(long line, const char* format, ...) {
    ++count_;
    if (sink_ == nullptr) {
        return;
    }
    // Warnings go to the console: a failed write there has nowhere left to be told.
    if (line > 0) {
        (void)std::fprintf(sink_, "%s:%ld: warning: ", fileName_.c_str(), line);
    } else {
        (void)std::fprintf(sink_, "%s: warning: ", fileName_.c_str());
    }
    va_list arguments;
    va_start(arguments, format);
    (void)std::vfprintf(sink_, format, arguments);
    va_end(arguments);
    (void)std::fputc('\n', sink_);
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (std::size_t i = 0; i < text.size() && i < kQuotedLongest; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            char escape[8];
            (void)std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += text.size() > kQuotedLongest ? "...'" : "'";
    return out;
}

}  // namespace kr570
