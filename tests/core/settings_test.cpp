// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: what is set is read back by a later run, defaults until set, the payload
// history rule, and the file's place under XDG_CONFIG_HOME.
#include "core/settings.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

using namespace corvane;

namespace {

TEST(Settings, WhatIsSetIsReadBackByTheNextRunAndDefaultsHoldUntilThen) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.filePath("corvane/corvane.conf");
    {
        Settings fresh(file);
        EXPECT_FALSE(fresh.ShowTimes("mmLog"));
        EXPECT_TRUE(fresh.LastFolder().isEmpty());
        EXPECT_TRUE(fresh.PayloadHistory("edtData").isEmpty());
        EXPECT_TRUE(fresh.Reconnect());
        EXPECT_FALSE(fresh.IncludeTimes());
        EXPECT_FALSE(fresh.ShowCounters());

        fresh.SetShowTimes("mmLogRec", true);
        fresh.SetLastFolder("/home/engineer/логи");
        fresh.AddPayload("edtData", "01 03 00 00");
        fresh.AddPayload("edtData", "01 03 00 00");
        fresh.AddPayload("edtData", "Привет");
        fresh.AddPayload("edtUDPData", "ping");
        fresh.SetReconnect(false);
        fresh.SetIncludeTimes(true);
        fresh.SetShowCounters(true);
        EXPECT_TRUE(fresh.Sync());
    }
    const Settings later(file);
    EXPECT_TRUE(later.ShowTimes("mmLogRec"));
    EXPECT_FALSE(later.ShowTimes("mmLog")) << "per pane";
    EXPECT_EQ(later.LastFolder(), "/home/engineer/логи");
    EXPECT_EQ(later.PayloadHistory("edtData"), (QStringList{"01 03 00 00", "Привет"}));
    EXPECT_EQ(later.PayloadHistory("edtUDPData"), QStringList{"ping"});
    EXPECT_FALSE(later.Reconnect());
    EXPECT_TRUE(later.IncludeTimes());
    EXPECT_TRUE(later.ShowCounters());

    // The reconnect key as an administrator writes it by hand.
    QFile edited(folder.filePath("edited.conf"));
    ASSERT_TRUE(edited.open(QIODevice::WriteOnly));
    edited.write("[General]\nreconnect=false\n");
    edited.close();
    EXPECT_FALSE(Settings(edited.fileName()).Reconnect());
}

TEST(Settings, LineSettingsArePerComNumberAndTheLinesBarHasItsDefaults) {
    QTemporaryDir folder;
    const QString file = folder.filePath("corvane.conf");
    LineFrame modbus;
    modbus.parity = Parity::Even;
    modbus.stopBits = StopBits::One;
    modbus.flow = FlowControl::RtsCts;
    modbus.dtrAtOpen = false;
    LineFrame old;
    old.dataBits = 7;
    old.parity = Parity::Space;
    old.stopBits = StopBits::OneAndHalf;
    old.flow = FlowControl::XonXoff;
    old.rtsAtOpen = false;
    {
        Settings fresh(file);
        EXPECT_EQ(fresh.PortLine(3), std::nullopt);
        EXPECT_FALSE(fresh.ShowSerialLines());
        EXPECT_FALSE(fresh.LogLineChanges());
        EXPECT_EQ(fresh.ResetPulseMs(), 100);
        fresh.SetPortLine(3, modbus);
        fresh.SetPortLine(255, old);
        fresh.SetShowSerialLines(true);
        fresh.SetLogLineChanges(true);
        EXPECT_TRUE(fresh.Sync());
    }
    const Settings later(file);
    EXPECT_EQ(later.PortLine(3), modbus);
    EXPECT_EQ(later.PortLine(255), old);
    EXPECT_EQ(later.PortLine(4), std::nullopt) << "per COM number";
    EXPECT_TRUE(later.ShowSerialLines());
    EXPECT_TRUE(later.LogLineChanges());

    // As someone edits the file by hand: what is spelled wrongly reads as its default.
    QFile edited(folder.filePath("edited.conf"));
    ASSERT_TRUE(edited.open(QIODevice::WriteOnly));
    edited.write("[COM9]\ndataBits=9\nparity=even\nstopBits=3\nflowControl=rts/cts\n"
                 "[lines]\nresetMs=250\n");
    edited.close();
    const Settings hand(edited.fileName());
    LineFrame expected;
    expected.parity = Parity::Even;
    expected.flow = FlowControl::RtsCts;
    EXPECT_EQ(hand.PortLine(9), expected);
    EXPECT_EQ(hand.ResetPulseMs(), 250);
}

TEST(LineFrame, TheShortFormNamesRateFrameAndFlowControl) {
    const LineFrame standard;
    EXPECT_EQ(FrameText(19200, standard), "19200 8N2");
    LineFrame frame;
    frame.parity = Parity::Even;
    frame.stopBits = StopBits::One;
    frame.flow = FlowControl::RtsCts;
    EXPECT_EQ(FrameText(19200, frame), "19200 8E1, RTS/CTS");
    frame = {5, Parity::Odd, StopBits::OneAndHalf, FlowControl::XonXoff, true, true};
    EXPECT_EQ(FrameText(9600, frame), "9600 5O1.5, XON/XOFF");
    frame = {7, Parity::Mark, StopBits::Two, FlowControl::None, false, false};
    EXPECT_EQ(FrameText(115200, frame), "115200 7M2");
    frame.parity = Parity::Space;
    EXPECT_EQ(FrameText(1200, frame), "1200 7S2");
}

TEST(Settings, HistoryKeepsTheLastFiftyWithoutRepeatsInARow) {
    QStringList history;
    PushHistory(history, "a", 3);
    PushHistory(history, "a", 3);
    PushHistory(history, "b", 3);
    PushHistory(history, "a", 3);
    EXPECT_EQ(history, (QStringList{"a", "b", "a"})) << "only repeats in a row are dropped";
    PushHistory(history, "c", 3);
    EXPECT_EQ(history, (QStringList{"b", "a", "c"}));

    QTemporaryDir folder;
    Settings settings(folder.filePath("corvane.conf"));
    for (int i = 0; i < 60; ++i)
        settings.AddPayload("edtUDPData", QString::number(i));
    const QStringList kept = settings.PayloadHistory("edtUDPData");
    ASSERT_EQ(kept.size(), Settings::kHistoryLength);
    EXPECT_EQ(kept.front(), "10");
    EXPECT_EQ(kept.back(), "59");
}

// Another program that shares the file adds a payload between two of this one's: the history
// written holds all three, in the order sent.
TEST(Settings, TwoProgramsMergeTheirHistoriesOnWrite) {
    QTemporaryDir folder;
    const QString file = folder.filePath("corvane.conf");
    {
        Settings settings(file);
        settings.AddPayload("edtData", "first");
        settings.SetShowTimes("mmLog", true);
        // The other program's write, as it lands in the file.
        QFile other(file);
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.write("[history]\nedtData=first, other\n[panes]\nmmLogRec\\showTimes=true\n");
        other.close();
        settings.AddPayload("edtData", "second");
        EXPECT_TRUE(settings.Sync());
    }
    const Settings later(file);
    EXPECT_EQ(later.PayloadHistory("edtData"), (QStringList{"first", "other", "second"}));
    EXPECT_TRUE(later.ShowTimes("mmLogRec"));
}

// A file that cannot be written (here its folder is a file) is said once, with the reason; what
// was set lives on for the run.
TEST(Settings, AFileThatCannotBeWrittenIsSaidOnceAndTheRunKeepsItsChoices) {
    QTemporaryDir folder;
    QFile notAFolder(folder.filePath("corvane"));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    const QString file = folder.filePath("corvane/corvane.conf");
    Settings settings(file);
    std::vector<FileError> said;
    settings.SetOnWriteFailure([&](const FileError& error) { said.push_back(error); });
    settings.SetShowTimes("mmLog", true);
    settings.AddPayload("edtData", "01 02");
    settings.AddPayload("edtData", "03");
    EXPECT_FALSE(settings.Sync());
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].file, file.toStdString());
    EXPECT_EQ(said[0].reason, "Not a directory");
    EXPECT_TRUE(settings.ShowTimes("mmLog"));
    EXPECT_EQ(settings.PayloadHistory("edtData"), (QStringList{"01 02", "03"}));
}

TEST(Settings, TheFileLivesInTheConfigurationFolderTheEnvironmentNames) {
    QTemporaryDir folder;
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", folder.path().toUtf8());
    EXPECT_EQ(Settings::DefaultFileName(), folder.path() + "/corvane/corvane.conf");
    {
        Settings settings;
        EXPECT_EQ(settings.FileName(), folder.path() + "/corvane/corvane.conf");
        settings.SetShowTimes("mmLog", true);
        EXPECT_TRUE(settings.Sync());
    }
    EXPECT_TRUE(QFile::exists(folder.path() + "/corvane/corvane.conf"));
    if (old.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", old);
}

} // namespace

namespace {

TEST(SettingsOfTheLinks, BroadcastGroupsAndPacesAreKeptAndTheTimeToLiveIsReadAsWritten) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.filePath("corvane.conf");
    {
        Settings fresh(file);
        EXPECT_FALSE(fresh.AllowBroadcast());
        EXPECT_EQ(fresh.MulticastTTL(), 1);
        EXPECT_TRUE(fresh.MulticastGroups().isEmpty());
        const Settings::FileSendPace pace = fresh.FileSendPaceOf("udp", {1024, 1});
        EXPECT_EQ(pace.chunkSize, 1024);
        EXPECT_EQ(pace.delayMs, 1);

        fresh.SetAllowBroadcast(true);
        fresh.SetMulticastGroups({"239.0.0.1", "239.1.2.3 192.0.2.1"});
        fresh.SetFileSendPace("serial", {64, 5});
        EXPECT_TRUE(fresh.Sync());
    }
    const Settings later(file);
    EXPECT_TRUE(later.AllowBroadcast());
    EXPECT_EQ(later.MulticastGroups(), (QStringList{"239.0.0.1", "239.1.2.3 192.0.2.1"}));
    const Settings::FileSendPace serial = later.FileSendPaceOf("serial", {256, 0});
    EXPECT_EQ(serial.chunkSize, 64);
    EXPECT_EQ(serial.delayMs, 5);
    EXPECT_EQ(later.FileSendPaceOf("udp", {1024, 1}).chunkSize, 1024) << "per link";

    // The time to live as an administrator writes it by hand, held to what a datagram can carry.
    for (const auto& [text, ttl] :
         {std::pair{"8", 8}, {"0", 0}, {"300", 255}, {"-4", 0}, {"x", 1}}) {
        // A file of its own each: the process keeps what it read of a file for a while.
        QFile edited(folder.filePath(QStringLiteral("ttl%1.conf").arg(text)));
        ASSERT_TRUE(edited.open(QIODevice::WriteOnly));
        edited.write(QByteArray("[udp]\nmulticastTTL=") + text + "\n");
        edited.close();
        EXPECT_EQ(Settings(edited.fileName()).MulticastTTL(), ttl) << text;
    }
}

} // namespace

namespace {

TEST(Settings, PlotWindowIsRememberedAndShowsTenSecondsUntilChosen) {
    QTemporaryDir folder;
    const QString file = folder.filePath("corvane.conf");
    {
        Settings fresh(file);
        EXPECT_TRUE(fresh.PlotGeometry().isEmpty());
        EXPECT_TRUE(fresh.PlotFollow().isEmpty());
        EXPECT_EQ(fresh.PlotSeconds(), 10);
        fresh.SetPlotGeometry(QByteArray("\x01\xd9\xd0\xcb\0\x03", 6));
        fresh.SetPlotFollow("udp");
        fresh.SetPlotSeconds(60);
    }
    const Settings later(file);
    EXPECT_EQ(later.PlotGeometry(), QByteArray("\x01\xd9\xd0\xcb\0\x03", 6));
    EXPECT_EQ(later.PlotFollow(), "udp");
    EXPECT_EQ(later.PlotSeconds(), 60);
}

} // namespace
