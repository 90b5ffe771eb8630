// A whole run of the tool, from the command line to the exit status.
#pragma once

#include <string>
#include <vector>

#include "driver/console.hpp"

namespace kr570 {

// Runs the tool with the given arguments (without the program name); returns the exit status.
int runProgram(const std::vector<std::string>& arguments, Console& console);

}  // namespace kr570
