// The output of a run, written so that a failure never loses what it replaces.
#pragma once

#include <cstdio>
#include <string>

#include "platform/output.hpp"

namespace kr570 {

// A regular output file is written to a new file beside it (beside the final target, for a
// symbolic link) and renamed over it only once everything is written, flushed and closed;
// until then the existing file, and any link to it, stays as it was. A file with more than one
// hard link is written in place so that every name sees the new contents, and so is a file in
// a folder that cannot take a new file; it is emptied only when writing begins. Devices, FIFOs
// and terminals are written directly. A file counts as written only once it is on the disk:
// the new file is synced before the rename and its folder after it, and a file written in
// place is synced before it is closed, so that a power cut after the run never leaves an empty
// file where the old output stood.
class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile() { discard(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Prepares the output `name`, which `target` describes, for writing without changing it
    // yet; false, with error(), when it cannot be written.
    bool open(const std::string& name, const platform::OutputTarget& target);

    // Writes to `stream` (standard output), which is flushed but never closed.
    void useStream(std::FILE* stream);

    // The stream to write the converted file to. A file written in place is emptied now.
    std::FILE* beginWriting();

    // Puts the written contents in place; false, with error(), when any write, the flush, the
    // sync, the close or the rename failed, and the existing output is then unchanged (except
    // one written in place, or one replaced already when only the sync of its folder failed).
    bool commit();

    // Gives up: the temporary file is removed and the existing output stays as it was.
    void discard();

    // Why open or commit failed, as an errno value.
    int error() const { return error_; }

  private:
    enum class Mode { None, Replace, InPlace, Direct, Stream };

    bool openReplacing();  // a new file beside the target
    bool openInPlace();    // the target itself, emptied when writing begins
    bool openDirect(const std::string& path, bool created);  // created or emptied now
    bool use(const platform::Opened& opened, Mode mode);
    bool close();

    Mode mode_ = Mode::None;
    std::FILE* stream_ = nullptr;
    platform::OutputTarget target_;  // where the contents end up, as examined before opening
    std::string temporary_;          // the new file beside it, for Mode::Replace
    bool createdHere_ = false;       // a file of this run's own, removed again on failure
    int error_ = 0;
};

}  // namespace kr570
