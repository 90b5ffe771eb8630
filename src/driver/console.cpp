#include "driver/console.hpp"

#include <cerrno>
#include <cstdarg>

#include "io/text_output.hpp"
#include "platform/output.hpp"

namespace kr570 {

void FailureReport::fail(int error, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string what(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    (void)std::vsnprintf(what.data(), what.size() + 1, format, again);
    va_end(again);
    if (interactive_) {
        printText(console_.out, "%s\n", what.c_str());
        putText("Hit any key to exit\n", console_.out);
        (void)std::fflush(console_.out);
        console_.input.waitForKey();
        return;
    }
    if (error != 0) {
        printText(console_.err, "kr570convert: %s: %s\n", what.c_str(),
                  platform::describeError(error).c_str());
    } else {
        printText(console_.err, "kr570convert: %s\n", what.c_str());
    }
}

void FailureReport::usage(const std::string& mistake) {
    printText(console_.err, "kr570convert: %s\nTry 'kr570convert --help'\n", mistake.c_str());
}

bool standardOutputWritten(Console& console) {
    errno = 0;
    if (std::fflush(console.out) == 0 && std::ferror(console.out) == 0) {
        return true;
    }
    FailureReport(console, false).fail(errno != 0 ? errno : EIO, "Can't write standard output");
    return false;
}

}  // namespace kr570
