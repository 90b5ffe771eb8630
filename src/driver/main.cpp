// Hands the command line and the console to the driver.
#include "driver/main.hpp"

#include <cstdio>

#include "driver/run.hpp"
#include "platform/output.hpp"
#include "platform/platform.hpp"

namespace kr570 {

int programMain(const std::vector<std::string>& arguments) {
    platform::prepareStandardStreams();
    ConsoleInput input(platform::kStandardInput);
    Console console{input, platform::standardStream(stdout), platform::standardStream(stderr),
                    platform::standardStream(stdin)};
    const int status = runProgram(arguments, console);
    return std::fflush(console.out) == 0 ? status : kExitFailed;
}

}  // namespace kr570
