#include "io/byte_source.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.hpp"

namespace kr570 {
namespace {

// Long enough that reading it takes several refills of the buffer.
std::string numberedLines(int count, const std::string& lineEnd = "\n") {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        text += "line " + std::to_string(i) + lineEnd;
    }
    return text;
}

// A source reading `text` from a file of its own.
struct Source : test::TempStream, ByteSource {
    explicit Source(const std::string& text) : TempStream(text), ByteSource(stream()) {}
};

TEST(ByteSource, ReadsEveryByteInOrderAcrossRefills) {
    const std::string text = numberedLines(40000);
    Source source(text);
    std::string back;
    for (int c = source.get(); c != -1; c = source.get()) {
        back.push_back(static_cast<char>(c));
    }
    EXPECT_EQ(text, back);
}

TEST(ByteSource, EnsureKeepsAWindowAcrossTheBufferEnd) {
    const std::string text = numberedLines(40000);
    Source source(text);
    std::size_t offset = 0;
    while (offset + 600 < text.size()) {
        ASSERT_GE(source.ensure(600), 600U);
        ASSERT_EQ(0, text.compare(offset, 600, reinterpret_cast<const char*>(source.cursor()), 600))
            << "at offset " << offset;
        source.advance(599);
        offset += 599;
    }
    EXPECT_EQ(text.size() - offset, source.ensure(600));
}

TEST(ByteSource, PeekBeyondTheEndIsMinusOne) {
    Source source("ab");
    EXPECT_EQ('a', source.peek(0));
    EXPECT_EQ('b', source.peek(1));
    EXPECT_EQ(-1, source.peek(2));
    EXPECT_EQ('a', source.get());
}

class LineEnds : public ::testing::TestWithParam<test::ValueCase<std::string>> {};  // line ends

TEST_P(LineEnds, CountLinesAcrossRefills) {
    const std::string text = numberedLines(40000, GetParam().value);
    Source source(text);
    long expectedLine = 1;
    for (int c = source.get(); c != -1; c = source.get()) {
        if (c == GetParam().value[0]) {
            ++expectedLine;
        }
        if (c != 'l' && source.peek() == 'l' && expectedLine % 997 == 0) {
            ASSERT_EQ(expectedLine, source.line());
        }
    }
    EXPECT_EQ(40001, source.line());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Kinds, LineEnds, ::testing::ValuesIn(std::vector<LineEnds::ParamType>{
    {"line_feed", "\n"}, {"return_line_feed", "\r\n"}, {"return", "\r"},
}), test::CaseName());
// clang-format on

struct LineCase : test::NamedCase {
    std::string text;
    long lastLine;  // the line of the last byte
};

class LineNumbers : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineNumbers, CountEveryKindOfLineEndOnce) {
    Source source(GetParam().text);
    while (source.ensure(2) > 1) {
        source.advance(1);
        source.line();  // counting piecemeal must give the same as counting at once
    }
    EXPECT_EQ(GetParam().lastLine, source.line());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, LineNumbers, ::testing::ValuesIn(std::vector<LineCase>{
    {"mixed", "a\r\nb\nc\rd", 4},
    {"line_feed_then_return", "a\n\rb", 3},
    {"returns_in_a_row", "\r\r\r\nb", 4},
    // The first read fills the 64 KiB buffer: the pair is split by a refill.
    {"pair_split_by_a_refill", std::string(65535, 'x') + "\r\ny", 2},
    {"return_alone_at_a_refill", std::string(65535, 'x') + "\ry", 2},
}), test::CaseName());
// clang-format on

}  // namespace
}  // namespace kr570
