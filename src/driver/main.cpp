// Program entry: hands the command line and the console to the driver.
#include <cstdio>
#include <string>
#include <vector>

#include "driver/run.hpp"
#include "platform/output.hpp"
#include "platform/platform.hpp"

int main(int argc, char** argv) {
    kr570::platform::prepareStandardStreams();
    const std::vector<std::string> arguments = kr570::platform::commandLineArguments(argc, argv);
    kr570::ConsoleInput input(kr570::platform::kStandardInput);
    kr570::Console console{input, kr570::platform::standardStream(stdout),
                           kr570::platform::standardStream(stderr),
                           kr570::platform::standardStream(stdin)};
    const int status = kr570::runProgram(arguments, console);
    return std::fflush(console.out) == 0 ? status : kr570::kExitFailed;
}
