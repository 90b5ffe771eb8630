// The console's standard input: file names typed by the user, and the wait for a key press.
#pragma once

#include <string>

namespace kr570 {

class ConsoleInput {
  public:
    explicit ConsoleInput(int fd) : fd_(fd) {}

    // Reads one whitespace-delimited word of any length; empty when input ends first. The
    // whitespace after the word is left unread. A word that begins with one of `quotes` runs to
    // the same quote (or the line end), blanks included, and is given without its quotes: a
    // name with blanks, as a console pastes a file dropped on it.
    std::string readWord(const char* quotes = "");

    // Waits for a key press. On a terminal only a fresh key counts (not the rest of the line
    // that carried a file name), read without echo. Otherwise it returns as soon as a byte is
    // available or the input is at its end, so that scripts never hang here.
    void waitForKey();

  private:
    int peek();
    bool fill();

    int fd_;
    std::string buffer_;
    std::size_t position_ = 0;
    bool atEnd_ = false;
};

}  // namespace kr570
