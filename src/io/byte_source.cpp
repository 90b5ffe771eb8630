#include "io/byte_source.hpp"

#include <cerrno>
#include <cstring>

namespace kr570 {

namespace {
constexpr std::size_t kBufferSize = std::size_t{32} * 1024;
static_assert(ByteSource::kMaxWindow <= kBufferSize / 2, "room for a window after compaction");
// The first `c` in [p, end), or nullptr.
const unsigned char* next(const unsigned char* p, const unsigned char* end, unsigned char c) {
    return static_cast<const unsigned char*>(std::memchr(p, c, static_cast<std::size_t>(end - p)));
}
}  // namespace

ByteSource::ByteSource(std::FILE* stream)
    : stream_(stream), buffer_(new unsigned char[kBufferSize]) {}

ByteSource::ByteSource(const std::string& text)
    : stream_(nullptr),
      buffer_(new unsigned char[text.size() + 1]),
      end_(text.size()),
      atEnd_(true) {
    std::memcpy(buffer_.get(), text.data(), text.size());
}

std::size_t ByteSource::refill(std::size_t n) {
    n = n < kMaxWindow ? n : kMaxWindow;
    while (end_ - begin_ < n && !atEnd_) {
        if (end_ + kMaxWindow > kBufferSize) {
            // Keep the unread bytes and the line count; drop what has been read.
            countLinesUpTo(begin_);
            std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
            end_ -= begin_;
            counted_ -= begin_;
            begin_ = 0;
        }
        errno = 0;
        const std::size_t got = std::fread(buffer_.get() + end_, 1, kBufferSize - end_, stream_);
        end_ += got;
        if (got == 0 || std::ferror(stream_) != 0) {
            atEnd_ = true;
            if (std::ferror(stream_) != 0) {
                readError_ = errno != 0 ? errno : EIO;
            }
        }
    }
    return end_ - begin_;
}

void ByteSource::countLinesUpTo(std::size_t position) {
    if (position <= counted_) {
        return;
    }
    const unsigned char* const from = buffer_.get() + counted_;
    const unsigned char* const to = buffer_.get() + position;
    // A return ends a line at once; a line feed ends one unless it follows a return, whose line
    // end it completes.
    for (const unsigned char* p = from; (p = next(p, to, '\r')) != nullptr; ++p) {
        ++lineEnds_;
    }
    for (const unsigned char* p = from; (p = next(p, to, '\n')) != nullptr; ++p) {
        const bool afterReturn = p == from ? afterReturn_ : p[-1] == '\r';
        lineEnds_ += afterReturn ? 0 : 1;
    }
    afterReturn_ = to[-1] == '\r';
    counted_ = position;
}

long ByteSource::line() {
    if (stream_ == nullptr) {
        return 0;
    }
    countLinesUpTo(begin_);
    return lineEnds_ + 1;
}

}  // namespace kr570
