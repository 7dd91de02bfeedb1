// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: what is set is read back by a later run, defaults until set, the payload
// history rule, and the file's place under XDG_CONFIG_HOME.
#include "core/settings.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

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

        fresh.SetShowTimes("mmLogRec", true);
        fresh.SetLastFolder("/home/engineer/логи");
        fresh.AddPayload("edtData", "01 03 00 00");
        fresh.AddPayload("edtData", "01 03 00 00");
        fresh.AddPayload("edtData", "Привет");
        fresh.AddPayload("edtUDPData", "ping");
        fresh.SetReconnect(false);
        EXPECT_TRUE(fresh.Sync());
    }
    const Settings later(file);
    EXPECT_TRUE(later.ShowTimes("mmLogRec"));
    EXPECT_FALSE(later.ShowTimes("mmLog")) << "per pane";
    EXPECT_EQ(later.LastFolder(), "/home/engineer/логи");
    EXPECT_EQ(later.PayloadHistory("edtData"), (QStringList{"01 03 00 00", "Привет"}));
    EXPECT_EQ(later.PayloadHistory("edtUDPData"), QStringList{"ping"});
    EXPECT_FALSE(later.Reconnect());

    // The reconnect key as an administrator writes it by hand.
    QFile edited(folder.filePath("edited.conf"));
    ASSERT_TRUE(edited.open(QIODevice::WriteOnly));
    edited.write("[General]\nreconnect=false\n");
    edited.close();
    EXPECT_FALSE(Settings(edited.fileName()).Reconnect());
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
