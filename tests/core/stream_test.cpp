// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stream.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

TEST(Stream, WritesAndReadsMoveThePosition) {
    MemoryStream stream;
    stream.Write("ab\0cd", 5);
    EXPECT_EQ(stream.Size(), 5u);
    EXPECT_EQ(stream.Position(), 5u);
    stream.SetPosition(1);
    char got[8] = {};
    EXPECT_EQ(stream.Read(got, sizeof got), 4u);
    EXPECT_EQ(ByteString(got, 4), ByteString("b\0cd", 4));
    EXPECT_EQ(stream.Read(got, 1), 0u);
    stream.SetPosition(3);
    stream.Write("XYZ", 3); // overwrites and grows
    EXPECT_EQ(ByteString(stream.Memory(), stream.Size()), ByteString("ab\0XYZ", 6));
}

TEST(Stream, SetSizeGrowsWithZerosAndShrinkingPullsThePositionBack) {
    MemoryStream stream;
    stream.SetSize(3);
    EXPECT_EQ(ByteString(stream.Memory(), 3), ByteString(3, '\0'));
    stream.SetPosition(3);
    stream.SetSize(1);
    EXPECT_EQ(stream.Position(), 1u);
    stream.SetSize(0);
    EXPECT_EQ(stream.Position(), 0u);
}

TEST(Stream, CopyFromWithCountZeroTakesAllOfTheSourceWhateverItsPosition) {
    MemoryStream source;
    source.Write("hello", 5);
    StringStream whole;
    whole.CopyFrom(source, 0);
    EXPECT_EQ(whole.DataString(), "hello");
    EXPECT_EQ(source.Position(), 5u);

    source.SetPosition(1);
    StringStream part;
    part.CopyFrom(source, 3);
    EXPECT_EQ(part.DataString(), "ell");
    part.CopyFrom(source, 10); // only what is left
    EXPECT_EQ(part.DataString(), "ello");

    MemoryStream empty;
    StringStream nothing;
    nothing.CopyFrom(empty, 0);
    EXPECT_EQ(nothing.DataString(), "");
}

} // namespace
