// What the platform layers of every system share: the words for an error (describeError, of
// output.hpp) and the folder part of a path.
#pragma once

#include <string>

namespace kr570::platform {

// The characters that end the folder part of a path on this system; each system's output
// source defines them.
extern const char kFolderSeparators[];

// The folder part of `path` with its last separator ("dir/" of "dir/x.hex"); "" for a name
// without a folder.
std::string folderOf(const std::string& path);

}  // namespace kr570::platform
