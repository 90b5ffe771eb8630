// Buffered forward reading of an open input stream, shared by every reader of input files.
// Memory stays fixed whatever the file's size; the line count is kept here so that the readers
// never do their own bookkeeping; and a failed read is remembered, so that a file that could
// not be read whole is never taken for a shorter one.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace kr570 {

class ByteSource {
  public:
    // The longest look-ahead a reader may ask for: room for a whole Intel HEX record.
    static constexpr std::size_t kMaxWindow = 1024;

    explicit ByteSource(std::FILE* stream);

    // The bytes of `text`, as a value given on the command line: no stream behind them, and no
    // lines to name in a warning (line() is 0).
    explicit ByteSource(const std::string& text);

    // Makes `n` (at most kMaxWindow) bytes available from the current position, unless the
    // stream ends or fails first; returns how many are available.
    std::size_t ensure(std::size_t n) { return end_ - begin_ >= n ? end_ - begin_ : refill(n); }

    // The available bytes: [cursor(), limit()).
    const unsigned char* cursor() const { return buffer_.get() + begin_; }
    const unsigned char* limit() const { return buffer_.get() + end_; }
    // Consumes `n` available bytes.
    void advance(std::size_t n) { begin_ += n; }

    // The byte `ahead` positions on, or -1 beyond the end of the stream.
    int peek(std::size_t ahead = 0) {
        return ensure(ahead + 1) > ahead ? buffer_[begin_ + ahead] : -1;
    }
    // The next byte, consumed, or -1 at the end of the stream.
    int get() { return ensure(1) > 0 ? buffer_[begin_++] : -1; }

    // The 1-based number of the line that the next byte lies on, or 0 for a text that has no
    // lines. A line ends at a line feed, at a carriage return and line feed pair, and at a
    // carriage return alone, as files from any system end their lines.
    long line();

    // Why reading the stream failed, as an errno value; 0 while every read has succeeded. A
    // failed read ends the stream for the readers.
    int readError() const { return readError_; }

    // Reads a text as the characters it holds, the way editors save them: a UTF-8 byte-order
    // mark at the current position is skipped, and after a UTF-16 mark (either byte order) the
    // rest is read as UTF-8, provided its start holds text characters only. Anything else is
    // left as it stands. Only the first call looks.
    void readTextEncoding();

  private:
    std::size_t refill(std::size_t n);
    std::size_t readMore(unsigned char* into, std::size_t room);
    void countLinesUpTo(std::size_t position);

    std::FILE* stream_;
    std::unique_ptr<unsigned char[]> buffer_;  // never zeroed: only read bytes count
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool atEnd_ = false;
    int readError_ = 0;
    long lineEnds_ = 0;         // line ends in the bytes before `counted_`
    std::size_t counted_ = 0;   // buffer position up to which line ends are counted
    bool afterReturn_ = false;  // the last counted byte was a carriage return
    bool encodingRead_ = false;
    // UTF-16 text: its bytes are read into `raw_` and handed on as UTF-8.
    bool utf16_ = false;
    bool bigEndian_ = false;
    std::string raw_;
};

}  // namespace kr570
