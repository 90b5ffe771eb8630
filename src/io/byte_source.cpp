#include "io/byte_source.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace kr570 {

namespace {
// Large reads keep system calls rare on big HEX files; the buffer is the reader's only memory.
constexpr std::size_t kBufferSize = 64 * 1024;
static_assert(ByteSource::kMaxWindow < kBufferSize / 2, "room for a window after compaction");

// Whether the byte at p ends a line, given the byte before it: every carriage return does (a
// line feed after it then belongs to the same line end), and every line feed that no return
// precedes.
inline std::uint8_t endsLine(unsigned char c, unsigned char before) {
    return (c == '\r' || (c == '\n' && before != '\r')) ? 1 : 0;
}

// Line ends in [p, end), `before` being the byte before p. Every byte of a file passes here
// once, so long runs are counted in byte-wide lanes over blocks short enough that no lane
// overflows, a loop that the compiler turns into a few vector instructions per 16 or 32 bytes.
long countLineEnds(const unsigned char* p, const unsigned char* end, unsigned char before) {
    constexpr std::size_t kLanes = 32;
    constexpr std::size_t kRounds = 255;  // a lane holds up to 255
    long total = 0;
    if (p < end) {
        total += endsLine(*p, before);
        ++p;  // from here on the byte before is in the range
    }
    while (static_cast<std::size_t>(end - p) >= kLanes) {
        const std::size_t rounds = std::min(kRounds, static_cast<std::size_t>(end - p) / kLanes);
        std::uint8_t lanes[kLanes] = {};
        for (std::size_t r = 0; r < rounds; ++r, p += kLanes) {
            const unsigned char* const previous = p - 1;
            for (std::size_t k = 0; k < kLanes; ++k) {
                lanes[k] = static_cast<std::uint8_t>(lanes[k] + endsLine(p[k], previous[k]));
            }
        }
        for (const std::uint8_t lane : lanes) {
            total += lane;
        }
    }
    for (; p < end; ++p) {
        total += endsLine(*p, p[-1]);
    }
    return total;
}
}  // namespace

ByteSource::ByteSource(std::FILE* stream, Lines lines)
    : stream_(stream),
      countLines_(lines == Lines::Counted),
      buffer_(new unsigned char[kBufferSize]) {}

std::size_t ByteSource::refill(std::size_t n) {
    n = std::min(n, kMaxWindow);
    while (end_ - begin_ < n && !atEnd_) {
        if (begin_ > 0 && end_ + kMaxWindow > kBufferSize) {
            // Keep the unread bytes and the line count; drop what has been read.
            if (countLines_) {
                countLinesUpTo(begin_);
            }
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
    // A return that ends the counted bytes counts at once, and a line feed that turns out to
    // follow it (the pair split where the buffer was refilled or where a line was asked) does
    // not.
    lineEnds_ +=
        countLineEnds(buffer_.get() + counted_, buffer_.get() + position, countedCr_ ? '\r' : '\0');
    countedCr_ = buffer_[position - 1] == '\r';
    counted_ = position;
}

}  // namespace kr570
