// What writing an output file safely needs from the operating system: a temporary file beside
// the file it will replace, the rename that puts it in place, and its removal when the run is
// interrupted. Every call here is a plain function on names and standard streams; errors are
// errno values (0 for none), turned into words by describeError.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
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

// What tells two names of one file apart from two files: equal identities are the same file,
// whatever path or link leads to it.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;

    bool operator==(const FileIdentity& other) const {
        return volume == other.volume && index == other.index;
    }
};

// A stream opened by name, or why it could not be: an errno value.
struct Opened {
    std::FILE* stream = nullptr;
    int error = 0;
};

// What an output name stands for once symbolic links are followed to their final target.
enum class TargetKind {
    Missing,      // nothing there yet (or a link to nothing): a new file is made at `path`
    RegularFile,  // a regular file with one name: a new file is renamed over it
    SharedFile,   // a regular file with more than one hard link: written in place
    Special,      // anything else (device, FIFO, terminal, folder) or unknown: written directly
};

struct OutputTarget {
    TargetKind kind = TargetKind::Special;
    std::string path;    // the final target: the name itself unless it is a symbolic link
    bool empty = false;  // a regular file of size 0
    int writeError = 0;  // for an existing file: why it may not be written (errno), or 0
    // For an existing regular file, what a new file that replaces it keeps, where the system
    // keeps it in its permission bits and owner (on Windows the replacement itself keeps it).
    unsigned permissions = 0;
    unsigned owner = 0;
    unsigned group = 0;
    std::optional<FileIdentity> identity;  // an existing regular file's
};

// Looks at `name` without changing anything. Never fails: a name that cannot be examined is
// Special at `name` itself, so that opening it directly reports the reason.
OutputTarget inspectOutput(const std::string& name);

// Creates a new, empty file in the folder of `target`, with the permissions (and, where
// allowed, the owner) of `target` when it exists, otherwise those an ordinary create gives,
// and opens it as a text stream for writing. Its name goes to `temporary`. From now until
// commitTemporary or discardTemporary, SIGINT, SIGTERM or SIGHUP removes the file before the
// process ends. No stream, and the error, when the folder cannot take a new file.
Opened createTemporaryBeside(const OutputTarget& target, std::string& temporary);

// Renames the closed temporary file over `target`, in one step that leaves either the old or
// the new contents there, then writes the folder to the disk so that the new name survives a
// power cut; 0 or the error. When the rename fails the temporary file still exists; when only
// the folder's sync fails, the new contents are in place already and the error says that they
// may not have reached the disk.
int commitTemporary(const std::string& temporary, const std::string& target);

// Removes the temporary file (closed or not yet created) and forgets it.
void discardTemporary(const std::string& temporary);

// Writes what the system still holds of the file behind `stream`, which the caller has
// flushed, to the disk: a file that counts as written must survive a power cut. Only a regular
// file is synced; a device, a FIFO or a terminal keeps nothing to sync. 0 or the error.
int syncToDisk(std::FILE* stream);

// Opens an existing file as a text stream for writing at its start, without emptying it yet.
Opened openInPlace(const std::string& name);

// Empties the file behind a stream from openInPlace when it is a regular file (a device or a
// FIFO has nothing to empty); 0 or the error.
int emptyInPlace(std::FILE* stream);

}  // namespace kr570::platform
