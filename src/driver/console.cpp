#include "driver/console.hpp"

#include <cerrno>

namespace kr570 {

bool standardOutputWritten(Console& console) {
    errno = 0;
    if (std::fflush(console.out) == 0 && std::ferror(console.out) == 0) {
        return true;
    }
    console.reporter(ReportMode{})
        .fail(Failure{"Can't write standard output", errno != 0 ? errno : EIO});
    return false;
}

}  // namespace kr570
