#include "platform/common.hpp"

#include <cstring>

#include "platform/output.hpp"

namespace kr570::platform {

std::string describeError(int error) {
    if (error == kErrorOpenElsewhere) {
        return "the file is open in another program";
    }
    return std::strerror(error);
}

std::string folderOf(const std::string& path) {
    const std::size_t separator = path.find_last_of(kFolderSeparators);
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

}  // namespace kr570::platform
