// What differs between the systems the tool runs on: the console's input and key wait, whether
// the run has a console window of its own, the identity of a file, the clock and the mode of an
// already open stream. One source file per system implements this header; the build picks the
// one for the target, as it picks the program's entry (entry_*.cpp), which takes the arguments
// from the command line. Names and text are UTF-8 on every system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

#include "platform/output.hpp"

namespace kr570::platform {

// The descriptor of standard input on every system.
inline constexpr int kStandardInput = 0;

// Reads up to `size` bytes from the descriptor, retrying when a signal interrupts the read.
// Returns the number of bytes read; 0 at the end of the input or when it cannot be read. What
// is typed at a Windows console comes as UTF-8 whatever the console's code page (a line that
// begins with Ctrl-Z ends the input there); anything else is read byte for byte.
std::size_t readInput(int fd, char* buffer, std::size_t size);

// When the descriptor is an interactive console, waits for one fresh key press, without echo,
// and returns true; Ctrl-C counts as a key. Returns false at once for anything else.
bool waitForConsoleKey(int fd);

// Whether an argument asks for the help the way the system's own programs take it: "/?" on
// Windows; on other systems it is a name like any other.
bool asksForHelp(const std::string& argument);

// The quotes that a name typed at the console may stand between: double quotes, as Windows
// pastes a file dropped on its console, and on other systems single quotes too, as terminals
// paste one.
const char* nameQuotes();

// Waits until the descriptor has a byte to read or is at its end; returns at once when it is a
// file or closed, so that a script never hangs here.
void waitForInput(int fd);

// Whether the run has its console window to itself, so that the window closes the moment the
// run ends: on Windows, when this process is the only one attached to its console, as after a
// double-click on the executable or a file dropped on it. False when it was started from a
// console (a command prompt, a script, a terminal), without one, and on every other system.
// Test seam: the environment variable KR570_OWNS_CONSOLE set to 1 or 0 gives the answer
// instead, on every system.
bool ownsConsoleWindow();

// The identity of an open file; empty when the system cannot tell it.
std::optional<FileIdentity> identityOf(std::FILE* file);

// The calendar time in the local time zone.
std::tm localTime(std::time_t time);

// The calendar time in UTC; empty when `time` cannot be represented.
std::optional<std::tm> universalTime(std::time_t time);

// Makes an already open stream pass bytes unchanged, CR and Ctrl-Z included.
void setBinaryMode(std::FILE* stream);

// Opens the named file for reading its bytes unchanged ("rb"), so that a CR or a Ctrl-Z reads
// the same on every system. No stream, and the error, when it cannot be read as a file:
// missing, unreadable, or a folder (EISDIR, whichever way the system refuses it). Names are
// UTF-8 on every system.
Opened openForReading(const std::string& name);

// Opens the named file as a text stream for writing, creating it or emptying it now.
Opened openForWriting(const std::string& name);

// Removes the named file; false when it could not be removed.
bool removeFile(const std::string& name);

}  // namespace kr570::platform
