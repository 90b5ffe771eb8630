#include "driver/existing_output.hpp"

#include <cstring>
#include <memory>

#include "eeprom/image_store.hpp"
#include "io/byte_source.hpp"
#include "io/diagnostics.hpp"
#include "platform/platform.hpp"
#include "text/config_report.hpp"

namespace kr570 {

namespace {

bool isReport(ByteSource& existing) {
    const std::size_t length = sizeof kReportStart - 1;
    return existing.ensure(length) >= length &&
           std::memcmp(existing.cursor(), kReportStart, length) == 0;
}

// The first address that the existing image gives and `written` does not, or -1.
long firstLost(ByteSource& existing, const KindRow& kind,
               const std::vector<std::uint8_t>& written) {
    Reporter unheard;
    Diagnostics diagnostics(unheard, "");
    const auto image = std::make_unique<EepromImage>();
    ImageStore store(*image, diagnostics, nullptr);
    kind.read(existing, store, diagnostics);
    for (std::size_t address = 0; address < written.size(); ++address) {
        if (store.gives(address) && written[address] == 0) {
            return static_cast<long>(address);
        }
    }
    return -1;
}

}  // namespace

std::optional<std::string> lossOnReplacing(const platform::OutputTarget& target, FileKind kind,
                                           const std::vector<std::uint8_t>& written) {
    const bool regular = target.kind == platform::TargetKind::RegularFile ||
                         target.kind == platform::TargetKind::SharedFile;
    if (!regular || target.empty) {
        return std::nullopt;
    }
    std::FILE* const file = platform::openForReading(target.path).stream;
    if (file == nullptr) {
        return std::string("cannot be read to tell what it holds");
    }
    ByteSource existing(file);
    std::optional<std::string> loss;
    if (isReport(existing)) {
        loss = isImage(kind) ? std::optional<std::string>("is a report, not an image file")
                             : std::nullopt;
    } else {
        existing.readTextEncoding();
        const FileKind held = kindByContent(existing).value_or(kindByName(target.path));
        const long lost =
            isImage(held) && isImage(kind) ? firstLost(existing, kindRow(held), written) : 0;
        if (!isImage(held)) {
            loss = "was not written by kr570convert";
        } else if (!isImage(kind)) {
            loss = formatted("holds %s, not a report", kindDescription(held));
        } else if (lost >= 0) {
            loss = formatted("holds %s with data at address 0x%04lx, which the new file would lose",
                             kindDescription(held), lost);
        }
    }
    (void)std::fclose(file);  // read only: closing loses nothing
    return loss;
}

std::string keptOutput(const std::string& output, const std::string& loss, bool dialogue) {
    return output + " exists and " + loss + "; " +
           (dialogue ? "it is kept" : "use --force to replace it");
}

}  // namespace kr570
