#include "io/byte_source.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.hpp"

namespace kr570 {
namespace {

// Long enough that reading it takes several refills of the buffer.
std::string numberedLines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        text += "line " + std::to_string(i) + "\n";
    }
    return text;
}

TEST(ByteSource, ReadsEveryByteInOrderAcrossRefills) {
    const std::string text = numberedLines(40000);
    std::FILE* stream = test::streamWith(text);
    ByteSource source(stream);
    std::string back;
    for (int c = source.get(); c != -1; c = source.get()) {
        back.push_back(static_cast<char>(c));
    }
    std::fclose(stream);
    EXPECT_EQ(text, back);
}

TEST(ByteSource, EnsureKeepsAWindowAcrossTheBufferEnd) {
    const std::string text = numberedLines(40000);
    std::FILE* stream = test::streamWith(text);
    ByteSource source(stream);
    std::size_t offset = 0;
    while (offset + 600 < text.size()) {
        ASSERT_GE(source.ensure(600), 600U);
        ASSERT_EQ(0, text.compare(offset, 600, reinterpret_cast<const char*>(source.cursor()), 600))
            << "at offset " << offset;
        source.advance(599);
        offset += 599;
    }
    EXPECT_EQ(text.size() - offset, source.ensure(600));
    std::fclose(stream);
}

TEST(ByteSource, PeekBeyondTheEndIsMinusOne) {
    std::FILE* stream = test::streamWith("ab");
    ByteSource source(stream);
    EXPECT_EQ('a', source.peek(0));
    EXPECT_EQ('b', source.peek(1));
    EXPECT_EQ(-1, source.peek(2));
    EXPECT_EQ('a', source.get());
    std::fclose(stream);
}

TEST(ByteSource, CountsLinesAcrossRefills) {
    const std::string text = numberedLines(40000);
    std::FILE* stream = test::streamWith(text);
    ByteSource source(stream);
    long expectedLine = 1;
    for (int c = source.get(); c != -1; c = source.get()) {
        if (c == '\n') {
            ++expectedLine;
            if (expectedLine % 997 == 0) {
                ASSERT_EQ(expectedLine, source.line());
            }
        }
    }
    EXPECT_EQ(40001, source.line());
    std::fclose(stream);
}

}  // namespace
}  // namespace kr570
