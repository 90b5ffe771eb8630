#include "io/console_input.hpp"

#include <cstring>

#include "io/characters.hpp"
#include "platform/platform.hpp"

namespace kr570 {

bool ConsoleInput::fill() {
    if (atEnd_) {
        return false;
    }
    if (position_ == buffer_.size()) {
        buffer_.clear();
        position_ = 0;
    }
    char chunk[512];
    const std::size_t got = platform::readInput(fd_, chunk, sizeof chunk);
    if (got == 0) {
        atEnd_ = true;
        return false;
    }
    buffer_.append(chunk, got);
    return true;
}

int ConsoleInput::peek() {
    if (position_ == buffer_.size() && !fill()) {
        return -1;
    }
    return static_cast<unsigned char>(buffer_[position_]);
}

std::string ConsoleInput::readWord(const char* quotes) {
    while (isWhitespace(peek())) {
        ++position_;
    }
    const int first = peek();
    const bool quoted = first > 0 && std::strchr(quotes, first) != nullptr;
    position_ += quoted ? 1U : 0U;
    std::string word;
    for (int c = peek();
         c != -1 && (quoted ? c != first && c != '\n' && c != '\r' : !isWhitespace(c));
         c = peek()) {
        word.push_back(static_cast<char>(c));
        ++position_;
    }
    position_ += quoted && peek() == first ? 1U : 0U;
    return word;
}

void ConsoleInput::waitForKey() {
    if (platform::waitForConsoleKey(fd_) || position_ < buffer_.size() || atEnd_) {
        return;
    }
    platform::waitForInput(fd_);
}

}  // namespace kr570
