#include "io/text_output.hpp"

#include <cmath>
#include <cstdarg>

namespace kr570 {

void putText(const char* text, std::FILE* stream) {
    (void)std::fputs(text, stream);
}

void printText(std::FILE* stream, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    (void)std::vfprintf(stream, format, arguments);
    va_end(arguments);
}

std::string decimal(double value, int decimals) {
    return std::isnan(value) ? std::string("nan") : formatted("%.*f", decimals, value);
}

void putBytes(const void* bytes, std::size_t count, std::FILE* stream) {
    (void)std::fwrite(bytes, 1, count, stream);
}

}  // namespace kr570
