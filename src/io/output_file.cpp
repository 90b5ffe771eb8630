#include "io/output_file.hpp"

#include <cerrno>

#include "platform/output.hpp"

namespace kr570 {

namespace {

// The reason of a failed stream operation; a stream can fail without telling why.
int lastErrorOr(int fallback) {
    return errno != 0 ? errno : fallback;
}

}  // namespace

bool OutputFile::open(const std::string& name) {
    discard();
    error_ = 0;
    if (name.empty()) {
        error_ = ENOENT;
        return false;
    }
    if (name.find('\0') != std::string::npos) {
        error_ = EINVAL;  // such a name cannot name a file; its first part is another file
        return false;
    }
    const platform::OutputTarget target = platform::inspectOutput(name);
    target_ = target.path;
    if (target.writeError != 0) {
        // A write-protected file stays protected, although a new file could replace it.
        error_ = target.writeError;
        return false;
    }
    switch (target.kind) {
        case platform::OutputKind::Missing:
        case platform::OutputKind::RegularFile:
            stream_ = platform::createTemporaryBeside(target_, temporary_, error_);
            if (stream_ != nullptr) {
                mode_ = Mode::Replace;
                replacesFile_ = target.kind == platform::OutputKind::RegularFile;
                return true;
            }
            break;
        case platform::OutputKind::SharedFile:
            break;
        case platform::OutputKind::Special:
            errno = 0;
            stream_ = std::fopen(name.c_str(), "w");
            error_ = stream_ == nullptr ? lastErrorOr(EIO) : 0;
            mode_ = stream_ != nullptr ? Mode::Direct : Mode::None;
            return stream_ != nullptr;
    }
    if (target.kind == platform::OutputKind::Missing) {
        // The folder takes no hidden file, but perhaps the file itself: create it directly.
        errno = 0;
        stream_ = std::fopen(target_.c_str(), "w");
        createdHere_ = stream_ != nullptr;
        error_ = stream_ == nullptr ? lastErrorOr(error_) : 0;
        mode_ = stream_ != nullptr ? Mode::Direct : Mode::None;
        return stream_ != nullptr;
    }
    stream_ = platform::openInPlace(target_, error_);
    mode_ = stream_ != nullptr ? Mode::InPlace : Mode::None;
    if (stream_ != nullptr) {
        error_ = 0;
    }
    return stream_ != nullptr;
}

void OutputFile::useStream(std::FILE* stream) {
    discard();
    error_ = 0;
    stream_ = stream;
    mode_ = Mode::Stream;
}

std::FILE* OutputFile::beginWriting() {
    if (mode_ == Mode::InPlace && error_ == 0) {
        error_ = platform::emptyInPlace(stream_);
    }
    return stream_;
}

// Flushes and closes the stream (flushes only, for a stream that is not ours); false when any
// write so far failed.
bool OutputFile::close() {
    errno = 0;
    bool written = error_ == 0 && std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
    if (!written && error_ == 0) {
        error_ = lastErrorOr(EIO);
    }
    if (written && mode_ == Mode::Replace && replacesFile_) {
        // The new contents must be on the disk before the rename makes them the file's: a
        // power cut must not turn a good old file into an empty new one. A file that is new
        // has nothing to lose and skips the wait.
        error_ = platform::syncToStorage(stream_);
        written = error_ == 0;
    }
    if (mode_ != Mode::Stream) {
        errno = 0;
        if (std::fclose(stream_) != 0 && written) {
            error_ = lastErrorOr(EIO);
            written = false;
        }
    }
    stream_ = nullptr;
    return written;
}

bool OutputFile::commit() {
    if (mode_ == Mode::None) {
        return false;
    }
    bool written = close();
    if (written && mode_ == Mode::Replace) {
        error_ = platform::commitTemporary(temporary_, target_);
        written = error_ == 0;
    }
    if (!written) {
        discard();
    }
    mode_ = Mode::None;
    createdHere_ = false;
    return written;
}

void OutputFile::discard() {
    if (stream_ != nullptr && mode_ != Mode::Stream) {
        std::fclose(stream_);
    }
    stream_ = nullptr;
    if (mode_ == Mode::Replace) {
        platform::discardTemporary(temporary_);
    }
    if (createdHere_) {
        std::remove(target_.c_str());
    }
    mode_ = Mode::None;
    createdHere_ = false;
    replacesFile_ = false;
}

}  // namespace kr570
