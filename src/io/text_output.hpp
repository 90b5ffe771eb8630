// The one path every text of the tool takes to a stream. A write that fails is not checked
// here: the stream keeps the failure in its error flag, and the output file's commit (or the
// run's end, for the console) checks that once and reports it.
#pragma once

#include <cstdio>
#include <string>

#include "io/diagnostics.hpp"

namespace kr570 {

// Writes `text` as it stands.
void putText(const char* text, std::FILE* stream);

// Writes the formatted text, with the conversions of the standard formatted output.
void printText(std::FILE* stream, const char* format, ...) KR570_PRINTF(2, 3);

// `value` in fixed-point notation with `decimals` digits after the point, as "%.*f" writes it,
// except that a NaN is "nan" whatever its sign bit, which C libraries show differently; so every
// system writes the same text.
std::string decimal(double value, int decimals);

// Writes `count` bytes as they stand.
void putBytes(const void* bytes, std::size_t count, std::FILE* stream);

}  // namespace kr570
