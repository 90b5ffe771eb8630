#include "io/byte_source.hpp"

#include <cerrno>
#include <cstring>
#include <utility>

namespace kr570 {

namespace {
constexpr std::size_t kBufferSize = std::size_t{32} * 1024;
static_assert(ByteSource::kMaxWindow <= kBufferSize / 2, "room for a window after compaction");
// The first `c` in [p, end), or nullptr.
const unsigned char* next(const unsigned char* p, const unsigned char* end, unsigned char c) {
    return static_cast<const unsigned char*>(std::memchr(p, c, static_cast<std::size_t>(end - p)));
}

unsigned unitAt(const std::string& raw, std::size_t at, bool bigEndian) {
    const unsigned first = static_cast<unsigned char>(raw[at]);
    const unsigned second = static_cast<unsigned char>(raw[at + 1]);
    return bigEndian ? (first << 8U) | second : (second << 8U) | first;
}

bool isSurrogate(unsigned unit, unsigned first) {
    return unit >= first && unit < first + 0x400;
}

// `point` in UTF-8 at `out`; how many bytes it took.
std::size_t putUtf8(unsigned point, unsigned char* out) {
    if (point < 0x80) {
        out[0] = static_cast<unsigned char>(point);
        return 1;
    }
    const std::size_t length = point < 0x800 ? 2 : point < 0x10000 ? 3 : 4;
    constexpr unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (std::size_t i = length - 1; i > 0; --i, point >>= 6U) {
        out[i] = static_cast<unsigned char>(0x80U | (point & 0x3FU));
    }
    out[0] = static_cast<unsigned char>(kLead[length] | point);
    return length;
}

// UTF-16 units of the raw bytes from `used` on as UTF-8, as far as `room` takes them and whole
// characters are there (`final`: the raw bytes are all there are); a surrogate without its
// other half, or an odd last byte, becomes U+FFFD.
std::size_t decodeUtf16(const std::string& raw, std::size_t& used, bool bigEndian, bool final,
                        unsigned char* out, std::size_t room) {
    std::size_t written = 0;
    while (room - written >= 4 && raw.size() - used >= 2) {
        unsigned point = unitAt(raw, used, bigEndian);
        std::size_t units = 1;
        if (isSurrogate(point, 0xD800) && raw.size() - used < 4 && !final) {
            break;  // its other half is still to come
        }
        if (isSurrogate(point, 0xD800) && raw.size() - used >= 4 &&
            isSurrogate(unitAt(raw, used + 2, bigEndian), 0xDC00)) {
            point =
                0x10000 + ((point - 0xD800) << 10U) + (unitAt(raw, used + 2, bigEndian) - 0xDC00);
            units = 2;
        } else if (isSurrogate(point, 0xD800) || isSurrogate(point, 0xDC00)) {
            point = 0xFFFD;
        }
        written += putUtf8(point, out + written);
        used += 2 * units;
    }
    if (final && raw.size() - used == 1 && room - written >= 3) {
        written += putUtf8(0xFFFD, out + written);
        ++used;
    }
    return written;
}

// Whether the UTF-16 units of `raw` are characters of a text: no NUL and no control
// character but the whitespace that ends lines and separates words.
bool holdsUtf16Text(const std::string& raw, bool bigEndian) {
    for (std::size_t at = 0; at + 1 < raw.size(); at += 2) {
        const unsigned unit = unitAt(raw, at, bigEndian);
        if ((unit < 0x20 && !(unit >= '\t' && unit <= '\r')) || unit == 0x7F) {
            return false;
        }
    }
    return raw.size() >= 2;
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
        const std::size_t got = readMore(buffer_.get() + end_, kBufferSize - end_);
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

std::size_t ByteSource::readMore(unsigned char* into, std::size_t room) {
    if (!utf16_) {
        return std::fread(into, 1, room, stream_);
    }
    std::size_t used = 0;
    std::size_t written = 0;
    bool final = false;
    while (written == 0 && !final) {
        // Every two bytes of UTF-16 take at most three of UTF-8.
        const std::size_t wanted = room / 3 * 2;
        if (raw_.size() < wanted) {
            std::string more(wanted - raw_.size(), '\0');
            more.resize(std::fread(more.data(), 1, more.size(), stream_));
            final = more.empty();
            raw_ += more;
        }
        written = decodeUtf16(raw_, used, bigEndian_, final, into, room);
        raw_.erase(0, used);
        used = 0;
        final = final || std::ferror(stream_) != 0;
    }
    return written;
}

void ByteSource::readTextEncoding() {
    if (encodingRead_) {
        return;
    }
    encodingRead_ = true;
    const std::size_t available = ensure(kMaxWindow);
    const unsigned char* const p = cursor();
    if (available >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        advance(3);
        return;
    }
    const bool little = available >= 2 && p[0] == 0xFF && p[1] == 0xFE;
    const bool big = available >= 2 && p[0] == 0xFE && p[1] == 0xFF;
    if (stream_ == nullptr || !(little || big)) {
        return;
    }
    std::string rest(reinterpret_cast<const char*>(p) + 2, available - 2);
    if (holdsUtf16Text(rest, big)) {
        // The bytes read so far are decoded from now on, with the rest of the stream.
        utf16_ = true;
        bigEndian_ = big;
        raw_ = std::move(rest);
        end_ = begin_;
        atEnd_ = false;
    }
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
