// The program as the system starts it. Each system's entry point (src/platform/entry_*.cpp)
// takes the arguments from the command line, in UTF-8, and hands them on to programMain.
#pragma once

#include <string>
#include <vector>

namespace kr570 {

// Prepares the standard streams, runs the tool on `arguments` (without the program's name)
// with the console, and returns the exit status.
int programMain(const std::vector<std::string>& arguments);

}  // namespace kr570
