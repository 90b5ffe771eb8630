#include "io/diagnostics.hpp"

namespace kr570 {

void Diagnostics::warn(long line, const std::string& message) {
    ++count_;
    if (sink_ != nullptr) {
        print(line, message);
    }
}

void Diagnostics::print(long line, const std::string& message) {
    if (line > 0) {
        std::fprintf(sink_, "%s:%ld: warning: %s\n", fileName_.c_str(), line, message.c_str());
    } else {
        std::fprintf(sink_, "%s: warning: %s\n", fileName_.c_str(), message.c_str());
    }
}

std::string hexText(unsigned long value, int width) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*lx", width, value);
    return text;
}

std::string quoted(const std::string& text) {
    // Input may be binary garbage: control bytes are shown as escapes, never sent raw to the
    // user's terminal.
    constexpr std::size_t kLongest = 40;
    std::string out = "'";
    for (std::size_t i = 0; i < text.size() && i < kLongest; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += text.size() > kLongest ? "...'" : "'";
    return out;
}

}  // namespace kr570
