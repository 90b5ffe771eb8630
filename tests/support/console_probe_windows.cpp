// Says through its exit status whether it has its console window to itself (1) or not (0), for
// the console window tests, which start it in the ways a console program is started.
#include "platform/platform.hpp"

int main() {
    return kr570::platform::ownsConsoleWindow() ? 1 : 0;
}
