// What the platform layers of every system share: the words for an error, including the one
// error that has no errno value, and the folder part of a path.
#pragma once

#include <string>

namespace kr570::platform {

// Another program holds the file open and lets no one else open it, or has locked part of it
// (Windows' sharing and lock violations). No errno value says this: the C runtime would call it
// a denied permission, which sends the user looking at the file's permissions instead of at the
// program that has it open. The number lies beyond every errno value of the systems the tool
// runs on; describeError gives its words.
inline constexpr int kErrorOpenElsewhere = 0x10000;

// The characters that end the folder part of a path on this system; each system's output
// source defines them.
extern const char kFolderSeparators[];

// The folder part of `path` with its last separator ("dir/" of "dir/x.hex"); "" for a name
// without a folder.
std::string folderOf(const std::string& path);

}  // namespace kr570::platform
