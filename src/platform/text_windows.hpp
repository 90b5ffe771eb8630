// Names and console text between the tool, which holds them as UTF-8 on every system, and
// Windows, whose wide (...W) functions take every name a folder can hold. The narrow (...A)
// functions and the C runtime's narrow argv go through the ANSI code page, which has no letters
// for most of the world's names: a Cyrillic name on a Western system arrives as "???".
#pragma once

#include <cstddef>
#include <string>

namespace kr570::platform {

// `utf8` as UTF-16, for the wide functions. A byte that is no part of a UTF-8 character
// becomes U+FFFD, so such a name opens nothing rather than another file.
std::wstring wideText(const std::string& utf8);

// `length` UTF-16 units from `wide` as UTF-8.
std::string utf8Text(const wchar_t* wide, std::size_t length);

}  // namespace kr570::platform
