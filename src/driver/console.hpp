// The standard streams a run talks to, and its exit statuses.
#pragma once

#include <cstdio>

#include "io/console_input.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

// Exit statuses.
inline constexpr int kExitSuccess = 0;  // converted, or the help or version shown
inline constexpr int kExitFailed = 1;   // a file could not be read or written, or was refused
inline constexpr int kExitUsage = 2;

// The closing message of a run that went as it should (and of the dialogue, whatever happened).
inline constexpr char kFinished[] = "\nProgram finished!\n";

struct Console {
    ConsoleInput& input;  // the dialogue's names and the key wait
    std::FILE* out;
    std::FILE* err;
    std::FILE* in;  // standard input as a stream, for an input file named '-'

    // The reporter of a run in `mode`.
    Reporter reporter(ReportMode mode) { return Reporter(out, err, &input, mode); }
};

}  // namespace kr570
