// Buffered forward reading of an open input stream, shared by the HEX reader and the
// configuration text parser. Memory stays fixed whatever the file's size, and the line count
// is kept here so that the readers never do their own bookkeeping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "io/characters.hpp"

namespace kr570 {

// Where the first byte below `bound` (at most 128) may stand in [p, limit): eight bytes at a
// time are passed while all of them are at least `bound`, and what is returned lies at or
// before the first lower byte, within eight bytes of it (or at the last partial eight). The
// scanners of words and comments then look at the few bytes left one by one: whitespace and
// line ends all lie below the printable characters that make up nearly all of a text.
inline const unsigned char* passBytesNotBelow(const unsigned char* p, const unsigned char* limit,
                                              unsigned char bound) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    const std::uint64_t bounds = kOnes * bound;
    while (limit - p >= 8) {
        std::uint64_t bytes;
        std::memcpy(&bytes, p, sizeof bytes);
        // The high bit of a lane is set by the subtraction only where some lane is below the
        // bound (the lowest such lane exactly, a borrow may mark those above it).
        if (((bytes - bounds) & ~bytes & kHighBits) != 0) {
            break;
        }
        p += 8;
    }
    return p;
}

class ByteSource {
  public:
    // Longest look-ahead a caller may ask of `ensure`.
    static constexpr std::size_t kMaxWindow = 4096;

    // Whether the source counts lines. A reader whose warnings are not printed never shows a
    // line number, and counting them is then a fifth of the work on a large HEX file.
    enum class Lines { Counted, NotCounted };

    explicit ByteSource(std::FILE* stream, Lines lines = Lines::Counted);

    // Makes at least `n` (at most kMaxWindow) bytes available from the current position,
    // unless the stream ends first; returns how many are available. A read error counts as
    // the end of the stream.
    std::size_t ensure(std::size_t n) { return end_ - begin_ >= n ? end_ - begin_ : refill(n); }

    // The available bytes: [cursor(), limit()).
    const unsigned char* cursor() const { return buffer_.get() + begin_; }
    const unsigned char* limit() const { return buffer_.get() + end_; }
    void advance(std::size_t n) { begin_ += n; }

    // The byte `ahead` positions on, or -1 beyond the end of the stream.
    int peek(std::size_t ahead = 0) {
        return ensure(ahead + 1) > ahead ? buffer_[begin_ + ahead] : -1;
    }
    // The next byte, consumed, or -1 at the end of the stream.
    int get() {
        if (begin_ == end_ && refill(1) == 0) {
            return -1;
        }
        return buffer_[begin_++];
    }

    // Consumes bytes for as long as `keep(byte)` holds, up to the first byte for which it does
    // not (left unread) or the end of the stream; `visit(start, count)` sees every consumed
    // run in order. Runs of any length pass through the fixed buffer.
    template <typename Keep, typename Visit>
    void consumeWhile(Keep keep, Visit visit) {
        while (ensure(1) > 0) {
            const unsigned char* const start = cursor();
            const unsigned char* p = start;
            while (p < limit() && keep(*p)) {
                ++p;
            }
            const auto count = static_cast<std::size_t>(p - start);
            visit(start, count);
            advance(count);
            if (begin_ < end_) {
                return;
            }
        }
    }
    template <typename Keep>
    void consumeWhile(Keep keep) {
        consumeWhile(keep, [](const unsigned char*, std::size_t) {});
    }

    // The 1-based number of the line that the current position lies on, or 0 when lines are
    // not counted. A line ends at a line feed, at a carriage return and line feed pair, and at
    // a carriage return alone, as files from any system end their lines.
    //
    // The configuration text parser keeps this free: it passes line ends only by skipping
    // whitespace, which counts them on the way, and words and numbers, which hold none.
    long line() {
        if (!countLines_) {
            return 0;
        }
        if (begin_ > counted_) {
            countLinesUpTo(begin_);
        }
        return lineEnds_ + 1;
    }

    // Consumes whitespace up to the next other byte or the end of the stream, counting the line
    // ends it passes.
    void skipWhitespace() {
        if (!countLines_) {
            consumeWhile([](unsigned char c) { return isWhitespaceByte(c); });
            return;
        }
        while (ensure(1) > 0) {
            if (begin_ > counted_) {
                countLinesUpTo(begin_);
            }
            const unsigned char* const buffer = buffer_.get();
            std::size_t p = begin_;
            unsigned char before = countedCr_ ? '\r' : '\0';
            long ends = 0;
            for (; p < end_ && isWhitespaceByte(buffer[p]); ++p) {
                ends += (buffer[p] == '\r' || (buffer[p] == '\n' && before != '\r')) ? 1 : 0;
                before = buffer[p];
            }
            lineEnds_ += ends;
            countedCr_ = before == '\r';
            begin_ = counted_ = p;
            if (p < end_) {
                return;
            }
        }
    }

    // Moves past `n` available bytes that the caller knows hold no line end (a word, a
    // number), keeping the line count where it was.
    void advanceOverText(std::size_t n) {
        if (counted_ == begin_ && n > 0) {
            counted_ += n;
            countedCr_ = false;
        }
        begin_ += n;
    }

    // Moves past `n` available bytes that the caller knows hold exactly `ends` line ends and do
    // not end in a carriage return (whole HEX records with their line ends, say): the count
    // moves on with them, and the bytes are never counted one by one. Where the count lags
    // behind the position, or a line feed could still pair with a counted return, the bytes
    // are left to be counted as usual.
    void advanceOverLines(std::size_t n, long ends) {
        if (counted_ == begin_ && !countedCr_) {
            counted_ += n;
            lineEnds_ += ends;
        }
        begin_ += n;
    }

  private:
    std::size_t refill(std::size_t n);
    void countLinesUpTo(std::size_t position);

    std::FILE* stream_;
    bool countLines_;
    std::unique_ptr<unsigned char[]> buffer_;  // never zeroed: only read bytes count
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool atEnd_ = false;
    long lineEnds_ = 0;        // line ends before `counted_`
    std::size_t counted_ = 0;  // buffer position up to which line ends are counted
    bool countedCr_ = false;   // the last counted byte was a carriage return
};

}  // namespace kr570
