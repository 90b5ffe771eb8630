// The program's entry on Windows, linked with -municode: the C runtime splits the wide command
// line into wide arguments, which hold every letter a name can have, where the narrow argv of
// main would hold them in the ANSI code page and lose every letter that it lacks.
#include <cwchar>
#include <string>
#include <vector>

#include "driver/main.hpp"
#include "platform/text_windows.hpp"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(kr570::platform::utf8Text(argv[i], std::wcslen(argv[i])));
    }
    return kr570::programMain(arguments);
}
