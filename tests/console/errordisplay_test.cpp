// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/errordisplay.h"
#include "console/startup.h"
#include "console/ttimer.h"
#include "core/exception.h"
#include "recordingdialogs.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

using corvane::ByteString;

TEST(ErrorDisplay, AppendsAFullStopOnlyAfterBytesAboveIt) {
    const std::pair<ByteString, ByteString> cases[] = {
        {"No Hex-Number", "No Hex-Number."},
        {"Host not found.", "Host not found."},
        {"Socket Error # 10093\r\n", "Socket Error # 10093\r\n"},
        {"(x)", "(x)"},
        {"a\"", "a\""},
        {"a\n", "a\n"},
        {"wow!", "wow!"},
        {"a-", "a-"},
        {"a,", "a,"},
        {"a ", "a "},
        {"a/", "a/."},
        {"a:", "a:."},
        {"why?", "why?."},
        {"7", "7."},
        {"\xE0", "\xE0."},
        {"", ""},
    };
    for (const auto& [message, shown] : cases)
        EXPECT_EQ(ErrorDisplay::BoxText(message), shown) << message;
}

TEST(ErrorDisplay, ShowsEveryFailureOfAnOrdinaryEvent) {
    RecordingDialogs dialogs;
    ErrorDisplay display(dialogs);
    int ran = 0;
    for (int i = 0; i < 3; ++i) {
        display.Run(&ran, ErrorDisplay::Source::Event, [&] {
            ++ran;
            throw corvane::EConvertError("No Hex-Number");
        });
    }
    EXPECT_EQ(ran, 3);
    EXPECT_EQ(dialogs.errors, std::vector<ByteString>(3, "No Hex-Number."));
    display.Run(&ran, ErrorDisplay::Source::Event, [] {});
    EXPECT_EQ(dialogs.errors.size(), 3u);
}

TEST(ErrorDisplay, ARepeatingSourceNeverStacksBoxesAndLeavesTimeToStop) {
    RecordingDialogs dialogs;
    auto now = ErrorDisplay::Clock::time_point{};
    ErrorDisplay display(dialogs, [&] { return now; });
    int timer = 0;
    int other = 0;
    auto failingTick = [&](const void* source) {
        display.Run(source, ErrorDisplay::Source::Repeating,
                    [] { throw corvane::EConvertError("No Hex-Number"); });
    };
    // While the first box is open, the timer fails ten more times: no further box for it, but
    // another timer's failure still shows.
    dialogs.onError = [&] {
        for (int i = 0; i < 10; ++i)
            failingTick(&timer);
        failingTick(&other);
    };
    failingTick(&timer);
    EXPECT_EQ(dialogs.errors.size(), 2u);

    // Just after the box is closed the timer stays quiet; after the quiet period it shows again.
    failingTick(&timer);
    EXPECT_EQ(dialogs.errors.size(), 2u);
    now += ErrorDisplay::kQuietPeriod;
    failingTick(&timer);
    EXPECT_EQ(dialogs.errors.size(), 3u);
}

TEST(ErrorDisplay, AFailingTimerKeepsTickingAndEachFailureReachesTheDisplay) {
    RecordingDialogs dialogs;
    auto now = ErrorDisplay::Clock::time_point{};
    ErrorDisplay display(dialogs, [&] { return now; });
    TTimer timer(nullptr);
    int ticks = 0;
    QObject::connect(&timer, &TTimer::Timer, [&] {
        ++ticks;
        now += ErrorDisplay::kQuietPeriod; // each tick comes after the quiet period of the last
        display.Run(&timer, ErrorDisplay::Source::Repeating,
                    [] { throw corvane::EConvertError("No Hex-Number"); });
    });
    timer.SetInterval(1);
    timer.SetEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 5; }, 10000));
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(dialogs.errors.size(), static_cast<std::size_t>(ticks));
}

TEST(ApplicationError, NamesTheClassModuleAddressAndMessage) {
    EXPECT_EQ(ApplicationErrorText("EIdStackInitializationFailed", "corvane", 0x1234,
                                   "Winsock Initialization Error."),
              "Exception EIdStackInitializationFailed in module corvane at 0000000000001234.\r\n"
              "Winsock Initialization Error.\r\n");
    EXPECT_EQ(ApplicationErrorText("EX", "m", 0, "ends with )"),
              "Exception EX in module m at "
              "0000000000000000.\r\nends with ).\r\n");
    EXPECT_EQ(ApplicationErrorText("EX", "m", 0, ""),
              "Exception EX in module m at 0000000000000000.\r\n\r\n");
}

} // namespace
