// SPDX-License-Identifier: GPL-3.0-or-later
// The UDP group's context menu, driven as the operator drives it: broadcast in a network of the
// test's own.
#include "configfolder.h"
#include "console/udpnetworkmenu.h"
#include "console/untMain.h"
#include "console/windowtools.h"
#include "core/codepage.h"
#include "core/settings.h"
#include "loopbackpeer.h"
#include "ownnetwork.h"
#include "panelines.h"
#include "recordingdialogs.h"

#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using corvane::ByteString;

class UdpTools : public ::testing::Test {
protected:
    void SetUp() override { ManyTimesUDP = false; }

    // Runs the item named name of the group's context menu; false when it is not there.
    bool Choose(QWidget* group, const char* name, int index = 0) {
        QMenu menu;
        frm().Tools()->FillGroupMenu(group, menu);
        const auto items = menu.findChildren<QAction*>(QLatin1String(name));
        if (index >= items.size() || !items[index]->isEnabled())
            return false;
        items[index]->trigger();
        return true;
    }
    QStringList MenuTexts(QWidget* group) {
        QMenu menu;
        frm().Tools()->FillGroupMenu(group, menu);
        QStringList texts;
        for (const QAction* action : menu.actions())
            texts << action->text();
        return texts;
    }
    int OpenOnFreePort() {
        const int port = corvane::test::FreePort();
        frm().edtUDPPort->setText(QString::number(port));
        frm().btnOpenUDPPort->click();
        EXPECT_EQ(frm().btnOpenUDPPort->Tag, 1);
        return port;
    }
    bool WaitForRec(const ByteString& line) {
        return QTest::qWaitFor(
            [&] {
                const auto lines = PaneLines(frm().mmLogRec);
                return std::find(lines.begin(), lines.end(), line) != lines.end();
            },
            20000);
    }

    TfrmMain& frm() {
        if (!window_)
            window_ = std::make_unique<TfrmMain>(dialogs);
        return *window_;
    }
    // A window made afresh, as the next run makes it.
    void Restart() {
        window_.reset();
        frm();
    }

    corvane::testing::ConfigFolder config; // before any window, which reads the settings
    RecordingDialogs dialogs;

private:
    std::unique_ptr<TfrmMain> window_;
};

// Made in the test's own network: the window's socket, made at Open, then belongs to it.
class UdpToolsInOwnNetwork : public UdpTools {
protected:
    void SetUp() override {
        UdpTools::SetUp();
        if (!network.Refusal().empty())
            GTEST_SKIP() << "multicast and broadcast are tested only in a network of the test's "
                            "own, which this machine does not give: "
                         << network.Refusal();
    }
    void TearDown() override { Restart(); } // the window's socket goes before the network

    corvane::test::OwnNetwork network;
};

TEST_F(UdpToolsInOwnNetwork, AllowBroadcastIsOffUntilChosenAndThenRemembered) {
    const int port = OpenOnFreePort();
    frm().edtHost->setText(QStringLiteral("255.255.255.255:%1").arg(port));
    frm().edtUDPData->setText("7E");
    frm().btnSendUDP->click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Socket Error # 10013\r\nAccess denied.");

    ASSERT_TRUE(Choose(frm().grpbxUDP, "allow-broadcast")); // on, the port open
    frm().btnSendUDP->click();
    ASSERT_TRUE(WaitForRec("-> (192.0.2.1) : 7E"));
    EXPECT_EQ(PaneLines(frm().mmLog), std::vector<ByteString>{"<- 7E"});

    Restart(); // remembered
    QMenu menu;
    frm().Tools()->FillGroupMenu(frm().grpbxUDP, menu);
    EXPECT_TRUE(menu.findChild<QAction*>(QStringLiteral("allow-broadcast"))->isChecked());
    EXPECT_TRUE(frm().IdUDPServer1->BroadcastEnabled());
}

} // namespace
