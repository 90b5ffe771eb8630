#include "driver/file_kind.hpp"

namespace kr570 {

FileKind kindByName(const std::string& name) {
    const char last = name.empty() ? '\0' : name.back();
    return (last == 't' || last == 'T') ? FileKind::Text : FileKind::IntelHex;
}

std::optional<FileKind> kindNamed(const std::string& word) {
    if (word == "text") {
        return FileKind::Text;
    }
    if (word == "hex") {
        return FileKind::IntelHex;
    }
    return std::nullopt;
}

bool isImage(FileKind kind) {
    return kind != FileKind::Text;
}

}  // namespace kr570
