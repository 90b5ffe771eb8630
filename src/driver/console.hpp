// The standard streams a run talks to, and the one way a run reports that it failed.
#pragma once

#include <cstdio>
#include <string>

#include "driver/console_input.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

// Exit statuses.
inline constexpr int kExitConverted = 0;
inline constexpr int kExitFailed = 1;  // a file could not be read or written
inline constexpr int kExitUsage = 2;

struct Console {
    ConsoleInput& input;  // the dialogue's names and the key wait
    std::FILE* out;
    std::FILE* err;
    std::FILE* in;  // standard input as a stream, for an input file named '-'
};

// Tells the user that something failed. A batch run (and the compare mode) writes
// "kr570convert: WHAT: REASON" on standard error, for scripts and logs; the interactive run
// writes WHAT on the console, then waits for a key, so that the message stays readable in a
// window that closes when the run ends.
class FailureReport {
  public:
    FailureReport(Console& console, bool interactive)
        : console_(console), interactive_(interactive) {}

    // `error` is an errno value that gives the reason, or 0 for none.
    void fail(int error, const char* format, ...) KR570_PRINTF(3, 4);

    // A mistake on the command line.
    void usage(const std::string& mistake);

  private:
    Console& console_;
    bool interactive_;
};

// Makes sure that standard output took everything written to it; reports when it did not.
bool standardOutputWritten(Console& console);

}  // namespace kr570
