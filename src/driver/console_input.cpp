#include "driver/console_input.hpp"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "io/characters.hpp"

namespace kr570 {

namespace {

// Waits for one key on a terminal: no line editing, no echo, and no signal keys, so that
// Ctrl-C is a key press like any other and the terminal is always restored.
bool waitForTerminalKey(int fd) {
    termios saved{};
    if (isatty(fd) == 0 || tcgetattr(fd, &saved) != 0) {
        return false;
    }
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &raw) != 0) {
        return false;
    }
    char key = 0;
    while (read(fd, &key, 1) < 0 && errno == EINTR) {
    }
    tcsetattr(fd, TCSANOW, &saved);
    return true;
}

}  // namespace

bool ConsoleInput::fill() {
    if (atEnd_) {
        return false;
    }
    if (position_ == buffer_.size()) {
        buffer_.clear();
        position_ = 0;
    }
    char chunk[512];
    ssize_t got = 0;
    do {
        got = read(fd_, chunk, sizeof chunk);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        atEnd_ = true;
        return false;
    }
    buffer_.append(chunk, static_cast<std::size_t>(got));
    return true;
}

int ConsoleInput::peek() {
    if (position_ == buffer_.size() && !fill()) {
        return -1;
    }
    return static_cast<unsigned char>(buffer_[position_]);
}

std::string ConsoleInput::readWord() {
    while (isWhitespace(peek())) {
        ++position_;
    }
    std::string word;
    for (int c = peek(); c != -1 && !isWhitespace(c); c = peek()) {
        word.push_back(static_cast<char>(c));
        ++position_;
    }
    return word;
}

void ConsoleInput::waitForKey() {
    if (waitForTerminalKey(fd_)) {
        return;
    }
    if (position_ < buffer_.size() || atEnd_) {
        return;
    }
    pollfd request{fd_, POLLIN, 0};
    while (poll(&request, 1, -1) < 0 && errno == EINTR) {
    }
}

}  // namespace kr570
