#include "io/byte_source.hpp"

#include <algorithm>
#include <cstring>

namespace kr570 {

namespace {
// Large reads keep system calls rare on big HEX files; the buffer is the reader's only memory.
constexpr std::size_t kBufferSize = 64 * 1024;
static_assert(ByteSource::kMaxWindow < kBufferSize / 2, "room for a window after compaction");
}  // namespace

ByteSource::ByteSource(std::FILE* stream)
    : stream_(stream), buffer_(new unsigned char[kBufferSize]) {}

std::size_t ByteSource::refill(std::size_t n) {
    n = std::min(n, kMaxWindow);
    while (end_ - begin_ < n && !atEnd_) {
        if (begin_ > 0 && end_ + kMaxWindow > kBufferSize) {
            // Keep the unread bytes and the line count; drop what has been read.
            countLinesUpTo(begin_);
            std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
            end_ -= begin_;
            counted_ -= begin_;
            begin_ = 0;
        }
        const std::size_t got = std::fread(buffer_.get() + end_, 1, kBufferSize - end_, stream_);
        end_ += got;
        if (got == 0) {
            atEnd_ = true;
        }
    }
    return end_ - begin_;
}

void ByteSource::countLinesUpTo(std::size_t position) {
    if (position <= counted_) {
        return;
    }
    // Every line feed counts, and every carriage return that no line feed follows. A return
    // that ends the counted bytes counts at once, and a line feed that turns out to follow it
    // (the pair split where the buffer was refilled or where a line was asked) does not.
    const unsigned char* const first = buffer_.get() + counted_;
    const unsigned char* const end = buffer_.get() + position;
    lineEnds_ += static_cast<long>(std::count(first, end, '\n'));
    if (countedCr_ && *first == '\n') {
        --lineEnds_;
    }
    for (const unsigned char* p = first;
         (p = static_cast<const unsigned char*>(
              std::memchr(p, '\r', static_cast<std::size_t>(end - p)))) != nullptr;) {
        ++p;
        if (p == end || *p != '\n') {
            ++lineEnds_;
        }
    }
    countedCr_ = end[-1] == '\r';
    counted_ = position;
}

long ByteSource::line() {
    countLinesUpTo(begin_);
    return lineEnds_ + 1;
}

}  // namespace kr570
