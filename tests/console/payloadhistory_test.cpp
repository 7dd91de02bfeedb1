// SPDX-License-Identifier: GPL-3.0-or-later
// The payloads sent from the window, recalled with Up and Down in the next runs too.
#include "console/untMain.h"
#include "loopbackpeer.h"
#include "recordingdialogs.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

using corvane::test::FreePort;

// A configuration folder of the test's own, for the windows it makes.
class ConfigFolder {
public:
    ConfigFolder() : saved_(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", folder_.path().toLocal8Bit());
    }
    ~ConfigFolder() { qputenv("XDG_CONFIG_HOME", saved_); }

private:
    QByteArray saved_;
    QTemporaryDir folder_;
};

TEST(PayloadHistory, UpAndDownRecallWhatWasSentInThisRunAndTheNext) {
    ConfigFolder config;
    ManyTimesUDP = false;
    RecordingDialogs dialogs;
    auto frm = std::make_unique<TfrmMain>(dialogs);
    // The start-up texts stay as they are.
    EXPECT_EQ(frm->edtUDPData->text(), "");
    EXPECT_EQ(frm->edtData->text(), "");

    frm->edtUDPPort->setText(QString::number(FreePort()));
    frm->edtHost->setText("LOCALHOST");
    frm->chkbxRawDataUDP->setChecked(true);
    frm->btnOpenUDPPort->click();
    ASSERT_TRUE(frm->btnSendUDP->isEnabled());
    for (const char* payload : {"01 02", "hello", "hello", "03"}) {
        frm->edtUDPData->setText(payload);
        frm->btnSendUDP->click();
    }
    ASSERT_TRUE(dialogs.errors.empty());

    QLineEdit* edit = frm->edtUDPData;
    edit->setFocus();
    edit->setText("draft");
    const auto key = [&](Qt::Key k) {
        QTest::keyClick(edit, k);
        return edit->text();
    };
    EXPECT_EQ(key(Qt::Key_Up), "03");
    EXPECT_EQ(key(Qt::Key_Up), "hello"); // sent twice in a row: kept once
    EXPECT_EQ(key(Qt::Key_Up), "01 02");
    EXPECT_EQ(key(Qt::Key_Up), "01 02");
    EXPECT_EQ(key(Qt::Key_Down), "hello");
    EXPECT_EQ(key(Qt::Key_Down), "03");
    EXPECT_EQ(key(Qt::Key_Down), "draft");
    // The serial field has a history of its own: nothing yet.
    frm->edtData->setText("x");
    QTest::keyClick(frm->edtData, Qt::Key_Up);
    EXPECT_EQ(frm->edtData->text(), "x");
    frm->btnOpenUDPPort->click();

    // The next window starts empty as specified, and recalls the same payloads.
    frm = std::make_unique<TfrmMain>(dialogs);
    EXPECT_EQ(frm->edtUDPData->text(), "");
    QTest::keyClick(frm->edtUDPData, Qt::Key_Up);
    EXPECT_EQ(frm->edtUDPData->text(), "03");
}

} // namespace
