// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/inputqueue.h"

#include <gtest/gtest.h>

#include <string>

using corvane::posix::InputQueue;

namespace {

std::string Pop(InputQueue& queue, std::size_t size) {
    std::string out(size, '\0');
    out.resize(queue.Pop(out.data(), size));
    return out;
}

TEST(InputQueue, KeepsOrderAcrossTheRingsEndAndDropsWhatDoesNotFit) {
    InputQueue queue(8);
    EXPECT_EQ(queue.Push("abcdef", 6), 6u);
    EXPECT_EQ(Pop(queue, 4), "abcd");
    EXPECT_EQ(queue.Push("ghijklmn", 8), 6u); // wraps; "mn" do not fit
    EXPECT_EQ(queue.Size(), 8u);
    EXPECT_EQ(queue.Free(), 0u);
    EXPECT_EQ(Pop(queue, 3), "efg");
    EXPECT_EQ(Pop(queue, 100), "hijkl");
    EXPECT_EQ(Pop(queue, 1), "");
    EXPECT_EQ(queue.Push("xyz", 3), 3u);
    queue.Clear();
    EXPECT_EQ(queue.Size(), 0u);
    EXPECT_EQ(Pop(queue, 3), "");
}

TEST(InputQueue, HoldsFourMebibytesByDefault) {
    InputQueue queue;
    const std::string block(1 << 20, 'z');
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(queue.Push(block.data(), block.size()), block.size());
    EXPECT_EQ(queue.Push("!", 1), 0u);
    EXPECT_EQ(queue.Size(), std::size_t{4} << 20);
}

} // namespace
