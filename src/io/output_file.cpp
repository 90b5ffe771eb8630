#include "io/output_file.hpp"

#include <cerrno>

#include "platform/output.hpp"
#include "platform/platform.hpp"

namespace kr570 {

namespace {

// The reason of a failed stream operation; a stream can fail without telling why.
int lastErrorOr(int fallback) {
    return errno != 0 ? errno : fallback;
}

}  // namespace

bool OutputFile::open(const std::string& name, const platform::OutputTarget& target) {
    discard();
    // An empty name names no file, and one with a NUL byte would name another file: its
    // first part.
    error_ = name.empty() ? ENOENT : name.find('\0') != std::string::npos ? EINVAL : 0;
    if (error_ != 0) {
        return false;
    }
    target_ = target;
    // A write-protected file stays protected, although a new file could replace it.
    error_ = target.writeError;
    if (error_ != 0) {
        return false;
    }
    switch (target.kind) {
        case platform::TargetKind::Missing:
            // A folder that takes no hidden file may still take the file itself.
            return openReplacing() || openDirect(target_.path, true);
        case platform::TargetKind::RegularFile:
            return openReplacing() || openInPlace();
        case platform::TargetKind::SharedFile:
            return openInPlace();
        case platform::TargetKind::Special:
            break;
    }
    return openDirect(name, false);
}

bool OutputFile::openReplacing() {
    return use(platform::createTemporaryBeside(target_, temporary_), Mode::Replace);
}

bool OutputFile::use(const platform::Opened& opened, Mode mode) {
    stream_ = opened.stream;
    error_ = opened.error;
    mode_ = stream_ != nullptr ? mode : Mode::None;
    return stream_ != nullptr;
}

bool OutputFile::openInPlace() {
    return use(platform::openInPlace(target_.path), Mode::InPlace);
}

bool OutputFile::openDirect(const std::string& path, bool created) {
    createdHere_ = use(platform::openForWriting(path), Mode::Direct) && created;
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

// Flushes, syncs and closes the stream (flushes only, for a stream that is not ours); false
// when any write so far or the sync failed.
bool OutputFile::close() {
    errno = 0;
    bool written = error_ == 0 && std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
    if (!written && error_ == 0) {
        error_ = lastErrorOr(EIO);
    }
    if (written && mode_ != Mode::Stream) {
        error_ = platform::syncToDisk(stream_);
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
        error_ = platform::commitTemporary(temporary_, target_.path);
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
        (void)std::fclose(stream_);  // given up: whatever it held is thrown away
    }
    stream_ = nullptr;
    if (mode_ == Mode::Replace) {
        platform::discardTemporary(temporary_);
    }
    if (createdHere_) {
        platform::removeFile(target_.path);
    }
    mode_ = Mode::None;
    createdHere_ = false;
}

}  // namespace kr570
