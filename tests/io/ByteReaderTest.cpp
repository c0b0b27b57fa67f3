// Tests of the bounded byte reader: little-endian values, reads that fail
// without consuming, and child readers that cannot see past their length.

#include "io/ByteReader.h"

#include <gtest/gtest.h>
#include <vector>

using namespace korvanta;

namespace {

std::vector<std::byte> bytesOf(std::initializer_list<int> values) {
    std::vector<std::byte> out;
    for (int v : values)
        out.push_back(static_cast<std::byte>(v));
    return out;
}

} // namespace

TEST(ProjectByteReader, ReadsLittleEndianValues) {
    const auto bytes = bytesOf({0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0x3F});
    ByteReader in(bytes);
    EXPECT_EQ(in.u16(), 0x1234);
    EXPECT_EQ(in.i32(), -2);
    EXPECT_EQ(in.f32(), 1.0f);
    EXPECT_TRUE(in.atEnd());
}

TEST(ProjectByteReader, AReadPastTheEndFailsAndConsumesNothing) {
    const auto bytes = bytesOf({1, 2, 3});
    ByteReader in(bytes);
    EXPECT_FALSE(in.u32());
    EXPECT_FALSE(in.skip(4));
    EXPECT_EQ(in.remaining(), 3u);
    EXPECT_EQ(in.u16(), 0x0201);
}

TEST(ProjectByteReader, AChildSeesOnlyItsBytesAndKeepsAbsoluteOffsets) {
    const auto bytes = bytesOf({9, 1, 2, 3, 4, 5});
    ByteReader in(bytes);
    ASSERT_TRUE(in.u8());
    auto child = in.child(2);
    ASSERT_TRUE(child);
    EXPECT_EQ(child->offset(), 1u);
    EXPECT_FALSE(child->u32());
    EXPECT_EQ(child->u16(), 0x0201);
    EXPECT_FALSE(child->u8());
    EXPECT_EQ(in.offset(), 3u);
    EXPECT_FALSE(in.child(4));
    EXPECT_EQ(in.remaining(), 3u);
}

TEST(ProjectByteWriter, WritesWhatTheReaderReadsBack) {
    ByteWriter out;
    out.tag("AbCd");
    out.i16(-300);
    out.u32(0xDEADBEEF);
    out.f32(-0.25f);
    out.zeros(2);
    ByteReader in(out.bytes());
    const auto tag = in.tag();
    ASSERT_TRUE(tag);
    EXPECT_EQ(std::string(tag->data(), 4), "AbCd");
    EXPECT_EQ(in.i16(), -300);
    EXPECT_EQ(in.u32(), 0xDEADBEEFu);
    EXPECT_EQ(in.f32(), -0.25f);
    EXPECT_EQ(in.remaining(), 2u);
}
