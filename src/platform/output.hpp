// What writing an output file safely needs from the operating system: a temporary file beside
// the file it will replace, the rename that puts it in place, and its removal when the run is
// interrupted. Every call here is a plain function on names and standard streams; errors are
// errno values (0 for none), turned into words by describeError.
#pragma once

#include <cstdio>
#include <string>

namespace kr570::platform {

// Opens the null device on any of the standard descriptors 0, 1 and 2 that is closed, so that
// no file the run opens can take its number (and receive text meant for the console). Also
// makes a write beyond the process's file size limit fail with an error that the run reports,
// instead of ending the process, and, on Windows, makes a console show the run's UTF-8 text
// (its code page is given back when the run ends). Called once, first thing at start-up.
void prepareStandardStreams();

// The stream to use for `stream` (stdin, stdout or stderr) once prepareStandardStreams has run:
// `stream` itself, or, where the run started without that handle and the C runtime could not
// open the stream again, a stream of its own on the same descriptor (now the null device).
std::FILE* standardStream(std::FILE* stream);

// The reason for error `error`, in the system's words ("No such file or directory").
std::string describeError(int error);

// What an output name stands for once symbolic links are followed to their final target.
enum class OutputKind {
    Missing,      // nothing there yet (or a link to nothing): a new file is made at `path`
    RegularFile,  // a regular file with one name: a new file is renamed over it
    SharedFile,   // a regular file with more than one hard link: written in place
    Special,      // anything else (device, FIFO, terminal, folder) or unknown: written directly
};

struct OutputTarget {
    OutputKind kind = OutputKind::Special;
    std::string path;    // the final target: the name itself unless it is a symbolic link
    bool empty = false;  // a regular file of size 0
    int writeError = 0;  // for an existing file: why it may not be written (errno), or 0
};

// Looks at `name` without changing anything. Never fails: a name that cannot be examined is
// Special at `name` itself, so that opening it directly reports the reason.
OutputTarget inspectOutput(const std::string& name);

// Creates a new, empty file in the folder of `target`, with the permissions (and, where
// allowed, the owner) of `target` when it exists, otherwise those an ordinary create gives,
// and opens it as a text stream for writing. Its name goes to `temporary`. From now until
// commitTemporary or discardTemporary, SIGINT, SIGTERM or SIGHUP removes the file before the
// process ends. nullptr, with `error` set, when the folder cannot take a new file.
std::FILE* createTemporaryBeside(const std::string& target, std::string& temporary, int& error);

// Renames the closed temporary file over `target`, in one step that leaves either the old or
// the new contents there; 0 or the error (the temporary file then still exists).
int commitTemporary(const std::string& temporary, const std::string& target);

// Removes the temporary file (closed or not yet created) and forgets it.
void discardTemporary(const std::string& temporary);

// Opens an existing file as a text stream for writing at its start, without emptying it yet;
// nullptr with `error` set on failure.
std::FILE* openInPlace(const std::string& name, int& error);

// Writes what the system still holds of the file behind `stream` to the disk, so that a power
// cut after the run cannot lose it: called once everything is written and flushed (fflush),
// before the stream is closed and, for a new file, before it replaces the old one. Devices,
// pipes and consoles are left as they are. 0 or the error; a failure is a failed write.
int syncToDisk(std::FILE* stream);

// Empties the file behind a stream from openInPlace when it is a regular file (a device or a
// FIFO has nothing to empty); 0 or the error.
int emptyInPlace(std::FILE* stream);

}  // namespace kr570::platform
