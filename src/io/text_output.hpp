// The one path every text of the tool takes to a stream. A write that fails is not checked
// here: the stream keeps the failure in its error flag, and the output file's commit (or the
// run's end, for the console) checks that once and reports it.
#pragma once

#include <cstdio>

#include "io/diagnostics.hpp"

namespace kr570 {

// Writes `text` as it stands.
void putText(const char* text, std::FILE* stream);

// Writes the formatted text, with the conversions of the standard formatted output.
void printText(std::FILE* stream, const char* format, ...) KR570_PRINTF(2, 3);

// Writes `count` bytes as they stand.
void putBytes(const void* bytes, std::size_t count, std::FILE* stream);

}  // namespace kr570
