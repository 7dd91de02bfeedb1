// SPDX-License-Identifier: GPL-3.0-or-later
// The hex view as the payload codec writes it is the one the line store packs: if the two ever
// disagreed, every received line would be kept as text, three times its bytes.
#include "logstore/hexview.h"
#include "logstore/linestore.h"
#include "payload/hexcodec.h"

#include <gtest/gtest.h>

namespace {

using corvane::ByteString;

TEST(HexView, TheCodecsViewOfEveryByteIsFoundPackedAndWrittenBackExactly) {
    ByteString all;
    for (int value = 0; value < 256; ++value)
        all.push_back(static_cast<char>(value));
    const ByteString view = corvane::StrToHexView(all);
    const ByteString line = "-> " + view;
    const corvane::HexView found = corvane::FindHexView(line);
    EXPECT_EQ(found.prefix, 3u);
    EXPECT_EQ(found.groups, 256u);

    ByteString raw(256, '\0');
    corvane::PackHexView(std::string_view(line).substr(found.prefix), raw.data());
    EXPECT_EQ(raw, all);
    ByteString back;
    corvane::UnpackHexView(raw.data(), 0, static_cast<std::int64_t>(view.size()), back);
    EXPECT_EQ(back, view);
    // From within a group on: the raw bytes from that group's byte.
    ByteString part;
    corvane::UnpackHexView(raw.data() + 10, 31, 100, part);
    EXPECT_EQ(part, view.substr(31, 69));

    corvane::LineStore store;
    std::size_t text = 0;
    for (int copy = 0; copy < 20000; ++copy) {
        store.AppendLine(line, 0);
        text += line.size();
    }
    EXPECT_LT(store.BytesInMemory(), text * 2 / 3) << "a third of the text, and a chunk spare";
    EXPECT_EQ(store.Line(19999), line);
}

} // namespace
