// What the Windows sources of the platform layer share: the system's handles behind the C
// runtime's descriptors, the one translation of Windows' errors into the tool's errno values, and
// files opened by name the one way, through CreateFileW, as C streams.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/output.hpp"

namespace kr570::platform {

// The system's handle behind the C runtime's descriptor `fd`.
HANDLE handleOf(int fd);

// Whether `handle` stands for something at all: the system says "none" in two ways.
bool isUsable(HANDLE handle);

// Whether `handle` is a console's.
bool isConsole(HANDLE handle);

// Windows' error `system` as the errno value that the C runtime gives for it, so that a failure
// reads the same whichever way it came; a sharing or a lock violation is kErrorOpenElsewhere.
int errorOf(DWORD system);

// errorOf the calling thread's last error.
int lastError();

// A C stream on `file`, which the stream owns from now on: for GENERIC_READ one that reads the
// bytes unchanged, for GENERIC_WRITE a text stream, whose lines end in CR LF. nullptr, with
// the error and `file` closed, when the C runtime takes no more files.
Opened streamOn(HANDLE file, DWORD access);

// Opens `name` for `access` (GENERIC_READ or GENERIC_WRITE) in the way `disposition` of
// CreateFileW says, sharing it as the C runtime's fopen does, and hands it to streamOn. A file
// of which another program has locked a part fails as one open in another program, here rather
// than at the first read or write. nullptr, with `error` set, on failure.
Opened openStream(const std::string& name, DWORD access, DWORD disposition);

}  // namespace kr570::platform
