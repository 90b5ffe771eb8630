// Warnings about input files, in the form compilers use: "NAME:LINE: warning: MESSAGE".
#pragma once

#include <cstdio>
#include <string>
#include <utility>

namespace kr570 {

// The one place that decides whether a warning is shown: the readers report everything they
// find, and a Diagnostics without a sink only counts.
class Diagnostics {
  public:
    // `sink` nullptr: warnings are counted but never printed.
    Diagnostics(std::FILE* sink, std::string fileName)
        : sink_(sink), fileName_(std::move(fileName)) {}

    // A silent one, for callers that do not want to hear about the input.
    static Diagnostics silent() { return Diagnostics(nullptr, std::string()); }

    // A warning about line `line` of the file; a line of 0 names the file alone.
    void warn(long line, const std::string& message);

    // The same, for a message that takes real work to compose: `makeMessage()` gives it, and
    // is called only when the warning is printed.
    template <typename MakeMessage>
    void warnWith(long line, MakeMessage makeMessage) {
        ++count_;
        if (sink_ != nullptr) {
            print(line, makeMessage());
        }
    }

    int count() const { return count_; }

    // Whether warnings reach a reader, who would want their line numbers: a reader of input
    // asks once, to know whether counting lines is worth its while.
    bool printsWarnings() const { return sink_ != nullptr; }

  private:
    void print(long line, const std::string& message);

    std::FILE* sink_;
    std::string fileName_;
    int count_ = 0;
};

// Quotes a piece of the input for a message, shortened when it is long.
std::string quoted(const std::string& text);

// A number for a message as 0x followed by lower-case hexadecimal digits, zero-filled to at
// least `width` of them: 0x23, 0x0, 0x0c350.
std::string hexText(unsigned long value, int width = 0);

}  // namespace kr570
