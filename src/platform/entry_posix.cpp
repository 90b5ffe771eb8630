// The program's entry on POSIX systems: the arguments are the bytes the user gave, and names
// on these systems are bytes too.
#include <string>
#include <vector>

#include "driver/main.hpp"

int main(int argc, char** argv) {
    return kr570::programMain(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
