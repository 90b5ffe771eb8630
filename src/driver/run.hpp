// A whole run of the tool, from the command line to the exit status.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "driver/console_input.hpp"

namespace kr570 {

// Exit statuses.
inline constexpr int kExitConverted = 0;
inline constexpr int kExitFailed = 1;  // a file could not be opened or written
inline constexpr int kExitUsage = 2;

// The standard streams a run talks to.
struct Console {
    ConsoleInput& input;
    std::FILE* out;
    std::FILE* err;
};

// Runs the tool with the given arguments (without the program name); returns the exit status.
int runProgram(const std::vector<std::string>& arguments, Console& console);

}  // namespace kr570
