// SPDX-License-Identifier: GPL-3.0-or-later
#include "longlinefind.h"

#include "console/findbar.h"
#include "console/logpane.h"
#include "core/hexformat.h"
#include "lateness.h"
#include "logstore/dataview.h"
#include "logstore/linefind.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <utility>

namespace {

constexpr std::size_t kHistoryBytes = 20'000'000;
constexpr std::size_t kLongestLine = std::size_t{4} << 20; // of text: a third of it in bytes

void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void Press(QWidget* widget, int key, const QString& text = {}) {
    QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
    QCoreApplication::postEvent(widget,
                                new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
}

// Random bytes as the receive worker logs them: "-> " and a hex view, lines of up to 4 MiB.
void Fill(TLogPane& pane) {
    std::mt19937_64 random(20261207);
    std::uniform_int_distribution<std::size_t> length(1, kLongestLine / 3);
    std::string line;
    std::int64_t time = 1'796'000'000'000'000;
    for (std::size_t bytes = 0; bytes < kHistoryBytes;) {
        const std::size_t count = std::min(length(random), kHistoryBytes - bytes);
        line = "-> ";
        line.reserve(3 + 3 * count);
        for (std::size_t i = 0; i < count; ++i) {
            const auto byte = static_cast<unsigned char>(random());
            line += ' ';
            line += corvane::kHexDigits[byte >> 4];
            line += corvane::kHexDigits[byte & 15];
        }
        pane.Append(line, time += 1000);
        bytes += count;
    }
}

// The number of the last match of the longest line, once the count has passed it: how long the
// find bar's "N of M" takes to follow a step to it.
void NumberAtTheEndOfTheLongestLine(const corvane::LineStore& store, const std::string& view) {
    std::int64_t longest = 0;
    for (std::int64_t line = 1; line < store.LineCount(); ++line) {
        if (store.LineLength(line) > store.LineLength(longest))
            longest = line;
    }
    const corvane::FindQuery query("ff", {});
    corvane::MatchCounter counter(query);
    while (!counter.Step(store, corvane::FindClock::now() + std::chrono::seconds(1))) {
    }
    const std::int64_t length = store.LineLength(longest);
    const std::vector<corvane::Match> matches =
        query.MatchesInColumns(store, longest, length - 3000, length);
    if (matches.empty()) {
        std::printf("  %sno match at the end of the longest line\n", view.c_str());
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::optional<std::int64_t> number = counter.NumberOf(store, matches.back());
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("  %sthe number of the last match of the longest line (%.1f MiB of text), %lld of "
                "%lld: found in %.2f ms\n",
                view.c_str(), static_cast<double>(length) / (1 << 20),
                static_cast<long long>(number.value_or(-1)),
                static_cast<long long>(counter.Total(store)), ms);
}

// Types "0d 0a ff" into the field, a key at a time as fast as a quick typist, steps with F3, and
// turns pages with the bar open and then closed (what the pane's own painting costs), printing
// how late the timer was in each; then counts a text and hex bytes over the whole history.
void FindInView(TLogPane& pane, TFindBar& bar, const std::string& view) {
    auto* field = bar.findChild<QLineEdit*>(QStringLiteral("findText"));
    Lateness lateness;
    const auto stop = [&](const char* what) { lateness.Stop((view + what).c_str()); };
    lateness.Start();
    for (const QChar c : QStringLiteral("0d 0a ff")) {
        Press(field, c == u' ' ? int{Qt::Key_Space} : c.toUpper().unicode(), QString(c));
        RunEventsFor(120);
    }
    stop("typing \"0d 0a ff\" into the find field");

    lateness.Start();
    for (int i = 0; i < 8; ++i) {
        Press(field, Qt::Key_F3);
        RunEventsFor(150);
    }
    stop("F3 eight times");

    for (const bool open : {true, false}) {
        if (!open)
            bar.Close();
        lateness.Start();
        pane.setFocus();
        for (int i = 0; i < 10; ++i) {
            Press(&pane, Qt::Key_PageUp);
            RunEventsFor(60);
        }
        stop(open ? "Page Up ten times with the bar open"
                  : "Page Up ten times with the bar closed");
    }
    bar.Open();

    // A text found nowhere, then bytes found rarely: every byte of the history searched.
    for (const QString& text : {QStringLiteral("zz"), QStringLiteral("7a 7a 7a")}) {
        lateness.Start();
        field->setText(text);
        RunEventsFor(3000);
        stop(("a count of \"" + text.toStdString() + "\" over the whole history (3 s watched)")
                 .c_str());
    }
    NumberAtTheEndOfTheLongestLine(pane.Store(), view);
}

} // namespace

void RunLongLineFind() {
    TLogPane pane(nullptr);
    pane.resize(753, 400);
    pane.show();
    Fill(pane);
    std::printf("find over %lld lines of random received bytes (%.0f MB of bytes, lines of up "
                "to %zu MiB of text)\n",
                static_cast<long long>(pane.LineCount() - 1), kHistoryBytes / 1e6,
                kLongestLine >> 20);
    TFindBar bar(&pane);
    bar.Open();
    // In the other views the hex bytes are found in the lines' bytes, where the view shows them.
    using corvane::DataView;
    using corvane::TextEncoding;
    for (const auto& [view, name] :
         {std::pair{corvane::PaneView{DataView::Hex}, ""},
          std::pair{corvane::PaneView{DataView::Text, TextEncoding::Utf8}, "Text view: "},
          std::pair{corvane::PaneView{DataView::Text, TextEncoding::Windows1251},
                    "Text view, Windows-1251: "},
          std::pair{corvane::PaneView{DataView::HexAndText}, "Hex and Text view: "}}) {
        pane.SetView(view);
        bar.findChild<QLineEdit*>(QStringLiteral("findText"))->clear();
        RunEventsFor(300);
        FindInView(pane, bar, name);
    }
}
