// SPDX-License-Identifier: GPL-3.0-or-later
// Random appends and edits, checked against a plain model of the text (a string per line): in
// memory, and with a budget so small that most edits fall on lines in the spool file.
#include "logstore/linestore.h"
#include "logstore/tabstops.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using corvane::LineStore;
using corvane::TextPos;

namespace {

// The text as the header describes it, one string per line.
struct Model {
    std::vector<std::string> lines{""};

    void Append(const std::string& text) {
        const bool endsWithBreak = lines.back().empty();
        if (!endsWithBreak)
            lines.emplace_back();
        for (std::size_t start = 0;;) {
            const std::size_t crlf = text.find("\r\n", start);
            lines.back() += text.substr(start, crlf == std::string::npos ? crlf : crlf - start);
            if (crlf == std::string::npos)
                break;
            lines.emplace_back();
            start = crlf + 2;
        }
        if (endsWithBreak)
            lines.emplace_back();
    }
    std::string Text(TextPos from, TextPos to, const std::string& lineBreak) const {
        if (to < from)
            std::swap(from, to);
        std::string text = lines[from.line].substr(from.column);
        for (std::int64_t line = from.line + 1; line <= to.line; ++line)
            text += lineBreak + lines[line];
        text.resize(text.size() - (lines[to.line].size() - to.column));
        return text;
    }
    TextPos Replace(TextPos from, TextPos to, const std::string& text) {
        if (to < from)
            std::swap(from, to);
        const std::string tail = lines[to.line].substr(to.column);
        std::vector<std::string> pieces{lines[from.line].substr(0, from.column)};
        for (char c : text) {
            if (c == '\n')
                pieces.emplace_back();
            else
                pieces.back().push_back(c);
        }
        const TextPos end{from.line + static_cast<std::int64_t>(pieces.size()) - 1,
                          static_cast<std::int64_t>(pieces.back().size())};
        pieces.back() += tail;
        lines.erase(lines.begin() + from.line, lines.begin() + to.line + 1);
        lines.insert(lines.begin() + from.line, pieces.begin(), pieces.end());
        return end;
    }
};

class Random {
public:
    explicit Random(unsigned seed) : engine_(seed) {}
    std::int64_t Below(std::int64_t n) {
        return std::uniform_int_distribution<std::int64_t>(0, n - 1)(engine_);
    }
    // Text of the given length made mostly of letters, with the bytes that matter to the rules.
    std::string Text(std::int64_t length) {
        static const std::string kBytes = "abcdefghij0123456789 \r\n\t\xFF";
        if (length > 12 && Below(3) == 0)
            return HexLine(length / 3);
        std::string text;
        for (std::int64_t i = 0; i < length; ++i)
            text +=
                kBytes[static_cast<std::size_t>(Below(static_cast<std::int64_t>(kBytes.size())))];
        return text;
    }
    // A line as the program writes received bytes: a prefix and a hex view, now and then with a
    // lower-case digit that the view must not swallow.
    std::string HexLine(std::int64_t groups) {
        static const char* const kPrefixes[] = {"-> (127.0.0.1) :", "->  ", "", "x 0"};
        static const std::string kDigits = "0123456789ABCDEF";
        std::string text = kPrefixes[Below(4)];
        for (std::int64_t group = 0; group < groups; ++group) {
            text += ' ';
            text += kDigits[static_cast<std::size_t>(Below(16))];
            text += Below(50) == 0 ? 'a' : kDigits[static_cast<std::size_t>(Below(16))];
        }
        return text;
    }
    std::int64_t Length() {
        const std::int64_t kind = Below(100);
        return kind < 3 ? 3000 + Below(6000) : kind < 10 ? 0 : Below(120);
    }

private:
    std::mt19937_64 engine_;
};

TextPos AnyPlace(const Model& model, Random& random) {
    const std::int64_t line = random.Below(static_cast<std::int64_t>(model.lines.size()));
    return {line, random.Below(static_cast<std::int64_t>(model.lines[line].size()) + 1)};
}

void ExpectSame(const LineStore& store, const Model& model) {
    std::int64_t widest = 0;
    ASSERT_EQ(store.LineCount(), static_cast<std::int64_t>(model.lines.size()));
    for (std::size_t line = 0; line < model.lines.size(); ++line) {
        ASSERT_EQ(store.LineLength(line), static_cast<std::int64_t>(model.lines[line].size()))
            << "line " << line;
        ASSERT_EQ(store.Line(line), model.lines[line]) << "line " << line;
        ASSERT_EQ(store.LineWidth(line), corvane::CellAfter(model.lines[line])) << "line " << line;
        ASSERT_EQ(store.HasTabs(line), model.lines[line].find('\t') != std::string::npos);
        widest = std::max(widest, store.LineWidth(line));
    }
    EXPECT_EQ(store.LongestLine(), widest);
}

// Returns the most bytes the spool file held at a check.
std::size_t RunRandomEdits(LineStore& store, unsigned seed) {
    std::size_t mostSpooled = 0;
    Model model;
    Random random(seed);
    for (int step = 0; step < 3000; ++step) {
        if (random.Below(3) > 0) {
            const std::string text = random.Text(random.Length());
            store.AppendLine(text, 0);
            model.Append(text);
        } else {
            const TextPos from = AnyPlace(model, random);
            // Mostly within a line, as the operator's edits are; sometimes across a few lines,
            // and rarely across much of the text.
            const auto lineCount = static_cast<std::int64_t>(model.lines.size());
            const std::int64_t kind = random.Below(1000);
            const std::int64_t toLine =
                kind < 3 ? random.Below(lineCount)
                         : std::min(lineCount - 1, from.line + (kind < 300 ? random.Below(4) : 0));
            const TextPos to{toLine, random.Below(model.lines[toLine].size() + 1)};
            std::string text =
                random.Text(random.Below(4) == 0 ? random.Length() : random.Below(3));
            std::replace(text.begin(), text.end(), '\r', '\n');
            EXPECT_EQ(store.Replace(from, to, text), model.Replace(from, to, text))
                << "step " << step;
        }
        if (step % 250 == 0) {
            SCOPED_TRACE(step);
            ExpectSame(store, model);
            if (::testing::Test::HasFatalFailure())
                return mostSpooled;
        }
        mostSpooled = std::max(mostSpooled, store.BytesSpooled());
    }
    ExpectSame(store, model);
    for (int i = 0; i < 50; ++i) {
        const TextPos a = AnyPlace(model, random);
        const TextPos b = AnyPlace(model, random);
        EXPECT_EQ(store.Text(a, b, "\r\n"), model.Text(a, b, "\r\n"));
    }
    return mostSpooled;
}

} // namespace

TEST(LineStoreModel, RandomEditsInMemory) {
    for (unsigned seed : {1u, 2u, 3u}) {
        LineStore store;
        EXPECT_EQ(RunRandomEdits(store, seed), 0u);
    }
}

TEST(LineStoreModel, RandomEditsOnSpooledLines) {
    TempFolder folder;
    for (unsigned seed : {4u, 5u, 6u}) {
        LineStore store({.memoryBudget = 64 << 10, .spoolFolder = folder.Path().string()});
        EXPECT_GT(RunRandomEdits(store, seed), 2 * (64u << 10))
            << "the edits were to reach the spool file";
        EXPECT_EQ(store.LinesShiftedOut(), 0);
    }
}
