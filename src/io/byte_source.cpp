#include "io/byte_source.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace kr570 {

namespace {
// Large reads keep system calls rare on big HEX files; the buffer is the reader's only memory.
constexpr std::size_t kBufferSize = 64 * 1024;
static_assert(ByteSource::kMaxWindow < kBufferSize / 2, "room for a window after compaction");

// Line feeds in [p, end). Every byte of a file passes here once, so the count is kept in
// byte-wide lanes over blocks short enough that no lane overflows, a loop the compiler turns
// into a few vector instructions per 16 or 32 bytes.
long countLineFeeds(const unsigned char* p, const unsigned char* end) {
    constexpr std::size_t kLanes = 32;
    constexpr std::size_t kRounds = 255;  // a lane holds up to 255
    long total = 0;
    while (static_cast<std::size_t>(end - p) >= kLanes) {
        const std::size_t rounds = std::min(kRounds, static_cast<std::size_t>(end - p) / kLanes);
        std::uint8_t lanes[kLanes] = {};
        for (std::size_t r = 0; r < rounds; ++r, p += kLanes) {
            for (std::size_t k = 0; k < kLanes; ++k) {
                lanes[k] = static_cast<std::uint8_t>(lanes[k] + (p[k] == '\n' ? 1 : 0));
            }
        }
        for (const std::uint8_t lane : lanes) {
            total += lane;
        }
    }
    for (; p < end; ++p) {
        total += *p == '\n' ? 1 : 0;
    }
    return total;
}
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
    if (position > counted_) {
        lineFeeds_ += countLineFeeds(buffer_.get() + counted_, buffer_.get() + position);
        counted_ = position;
    }
}

long ByteSource::line() {
    countLinesUpTo(begin_);
    return lineFeeds_ + 1;
}

}  // namespace kr570
