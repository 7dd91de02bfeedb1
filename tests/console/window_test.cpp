// SPDX-License-Identifier: GPL-3.0-or-later
#include "captionfit.h"
#include "commandline/commandline.h"
#include "console/logpanetools.h"
#include "console/untMain.h"
#include "console/windowtools.h"
#include "recordingdialogs.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QStyleOptionGroupBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class Window : public ::testing::Test {
protected:
    RecordingDialogs dialogs;
    TfrmMain frm{dialogs};
};

struct Placement {
    const char* name;
    const char* parent;
    QRect geometry;
};

TEST_F(Window, EveryControlStandsWhereTheLayoutPutsIt) {
    frm.show();
    const Placement table[] = {
        {"pnlTools", "", QRect(0, 0, 759, 145)},
        {"pnlLog", "", QRect(0, 145, 759, 364)},
        {"grpbxLog", "pnlLog", QRect(1, 1, 757, 362)},
        {"mmLog", "grpbxLog", QRect(2, 15, 753, 162)},
        {"Splitter1", "grpbxLog", QRect(2, 177, 753, 3)},
        {"ToolBar1", "grpbxLog", QRect(2, 331, 753, 29)},
        {"btnClearLog", "ToolBar1", QRect(0, 2, 75, 22)},
        {"mmLogRec", "grpbxLog", QRect(2, 180, 753, 151)},
        {"imgLogo", "pnlTools", QRect(272, 16, 151, 32)},
        {"grpbxComPort", "pnlTools", QRect(8, 8, 257, 49)},
        {"grpbxSendToUDPPort", "pnlTools", QRect(432, 8, 321, 129)},
        {"grpbxSendToComPort", "pnlTools", QRect(8, 56, 417, 81)},
        {"cmbxComPorts", "grpbxComPort", QRect(8, 16, 73, 21)},
        {"cmbxBaudRate", "grpbxComPort", QRect(88, 16, 65, 21)},
        {"shpComPortState", "grpbxComPort", QRect(160, 18, 17, 17)},
        {"btnOpenComPort", "grpbxComPort", QRect(182, 14, 65, 25)},
        {"edtData", "grpbxSendToComPort", QRect(8, 20, 401, 21)},
        {"chkbxManyTimes", "grpbxSendToComPort", QRect(8, 48, 81, 17)},
        {"spnedtSendTime", "grpbxSendToComPort", QRect(104, 48, 65, 22)},
        {"chkbxRawData", "grpbxSendToComPort", QRect(208, 48, 65, 17)},
        {"btnWriteToPort", "grpbxSendToComPort", QRect(342, 48, 65, 25)},
        {"grpbxUDP", "grpbxSendToUDPPort", QRect(8, 16, 249, 49)},
        {"edtUDPPort", "grpbxUDP", QRect(8, 14, 41, 21)},
        {"shpUDPPortState", "grpbxUDP", QRect(56, 16, 17, 17)},
        {"edtHost", "grpbxUDP", QRect(80, 12, 89, 21)},
        {"chkbxOnlyFromThis", "grpbxUDP", QRect(80, 32, 89, 15)},
        {"btnOpenUDPPort", "grpbxUDP", QRect(174, 12, 65, 25)},
        {"edtUDPData", "grpbxSendToUDPPort", QRect(8, 68, 305, 21)},
        {"chkbxManyTimesUDP", "grpbxSendToUDPPort", QRect(8, 96, 81, 17)},
        {"spnedtSendTimeUDP", "grpbxSendToUDPPort", QRect(96, 96, 65, 22)},
        {"chkbxRawDataUDP", "grpbxSendToUDPPort", QRect(168, 96, 65, 17)},
        {"btnSendUDP", "grpbxSendToUDPPort", QRect(246, 96, 65, 25)},
    };
    EXPECT_EQ(frm.centralWidget()->size(), QSize(759, 509));
    for (const auto& p : table) {
        auto* widget = frm.findChild<QWidget*>(QString::fromLatin1(p.name));
        ASSERT_NE(widget, nullptr) << p.name;
        EXPECT_EQ(widget->geometry(), p.geometry) << p.name;
        const QString parent = widget->parentWidget()->objectName();
        if (*p.parent) {
            EXPECT_EQ(parent, QString::fromLatin1(p.parent)) << p.name;
        }
    }
}

TEST_F(Window, ResizingMovesOnlyTheLogGroup) {
    frm.show();
    frm.resize(frm.width() + 100, frm.height() + 80);
    QApplication::processEvents();
    EXPECT_EQ(frm.pnlTools->geometry(), QRect(0, 0, 859, 145));
    EXPECT_EQ(frm.grpbxComPort->geometry(), QRect(8, 8, 257, 49));
    EXPECT_EQ(frm.grpbxLog->size(), QSize(857, 442));
    EXPECT_EQ(frm.mmLog->geometry(), QRect(2, 15, 853, 162)); // its height stays
    EXPECT_EQ(frm.ToolBar1->geometry(), QRect(2, 411, 853, 29));
    EXPECT_EQ(frm.mmLogRec->geometry(), QRect(2, 180, 853, 231));
}

// However small the window is made, the fixed controls stay whole and the log group's parts keep
// their order without overlapping, the lower pane keeping some lines, also after the upper pane
// was made as tall as a larger window allowed.
TEST_F(Window, AWindowMadeSmallKeepsEveryControlAndBothPanes) {
    frm.show();
    const auto expectWhole = [&] {
        QApplication::processEvents();
        EXPECT_GE(frm.client->width(), frm.grpbxSendToUDPPort->geometry().right() + 1);
        EXPECT_GE(frm.client->height(), frm.pnlTools->height());
        EXPECT_GE(frm.mmLogRec->y(), frm.Splitter1->geometry().bottom() + 1);
        EXPECT_GE(frm.ToolBar1->y(), frm.mmLogRec->geometry().bottom() + 1);
        EXPECT_LE(frm.ToolBar1->geometry().bottom(), frm.grpbxLog->height() - 1);
    };
    frm.resize(200, 150);
    expectWhole();
    EXPECT_GE(frm.mmLogRec->height(), 60);
    EXPECT_EQ(frm.mmLog->height(), 162);

    frm.resize(759, 900);
    QApplication::processEvents();
    const QPoint start(10, 1);
    QTest::mousePress(frm.Splitter1, Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(0, 600)),
                     frm.Splitter1->mapToGlobal(QPointF(start + QPoint(0, 600))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frm.Splitter1, &move);
    QTest::mouseRelease(frm.Splitter1, Qt::LeftButton, {}, start + QPoint(0, 600));
    ASSERT_GT(frm.mmLog->height(), 600);
    frm.resize(200, 150);
    expectWhole();
    EXPECT_GT(frm.mmLogRec->height(), 0);
}

TEST_F(Window, StartsWithEveryControlInItsInitialState) {
    EXPECT_EQ(frm.windowTitle(), "Corvane");
    ASSERT_EQ(frm.cmbxComPorts->count(), 255);
    EXPECT_EQ(frm.cmbxComPorts->itemText(0), "COM1");
    EXPECT_EQ(frm.cmbxComPorts->itemText(254), "COM255");
    EXPECT_EQ(frm.cmbxComPorts->currentIndex(), 0);
    EXPECT_FALSE(frm.cmbxComPorts->isEditable());
    const QStringList bauds = {"115200", "57600", "28800", "19200", "14400",
                               "7200",   "3600",  "2400",  "1200"};
    ASSERT_EQ(frm.cmbxBaudRate->count(), bauds.size());
    for (int i = 0; i < bauds.size(); ++i)
        EXPECT_EQ(frm.cmbxBaudRate->itemText(i), bauds[i]);
    EXPECT_TRUE(frm.cmbxBaudRate->isEditable());
    EXPECT_EQ(frm.cmbxBaudRate->currentText(), "19200");

    for (TShape* lamp : {frm.shpComPortState, frm.shpUDPPortState})
        EXPECT_EQ(lamp->BrushColor(), QColor(255, 0, 0));
    for (TButton* open : {frm.btnOpenComPort, frm.btnOpenUDPPort}) {
        EXPECT_EQ(open->text(), "Open");
        EXPECT_TRUE(open->isEnabled());
        EXPECT_EQ(open->Tag, 0);
    }
    for (TButton* send : {frm.btnWriteToPort, frm.btnSendUDP}) {
        EXPECT_EQ(send->text(), "Send");
        EXPECT_FALSE(send->isEnabled());
        EXPECT_EQ(send->Tag, 0);
    }
    EXPECT_FALSE(frm.spnedtSendTime->isEnabled());
    EXPECT_EQ(frm.spnedtSendTime->Value(), 700);
    EXPECT_FALSE(frm.spnedtSendTimeUDP->isEnabled());
    EXPECT_EQ(frm.spnedtSendTimeUDP->Value(), 600);
    for (QCheckBox* box : {frm.chkbxManyTimes, frm.chkbxRawData, frm.chkbxManyTimesUDP,
                           frm.chkbxRawDataUDP, frm.chkbxOnlyFromThis})
        EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
    EXPECT_EQ(frm.chkbxOnlyFromThis->toolTip(), "Receive packet only from this host");
    EXPECT_EQ(frm.edtUDPPort->text(), "4001");
    EXPECT_TRUE(frm.edtData->text().isEmpty());
    EXPECT_TRUE(frm.edtHost->text().isEmpty());
    EXPECT_FALSE(frm.tmrSendSerial->Enabled());
    EXPECT_EQ(frm.tmrSendSerial->Interval(), 1000u);
    EXPECT_FALSE(frm.tmrSendUDP->Enabled());
    EXPECT_TRUE(frm.mmLog->toPlainText().isEmpty());
    EXPECT_TRUE(frm.mmLogRec->toPlainText().isEmpty());
    EXPECT_FALSE(ManyTimesSerial);
    EXPECT_FALSE(ManyTimesUDP);
    EXPECT_EQ(frm.grpbxSendToComPort->title(), "Send data  to serial port");
    EXPECT_EQ(frm.grpbxSendToUDPPort->title(), "Send data  to UDP port");
    EXPECT_EQ(frm.About1->text(), "About");
    EXPECT_EQ(frm.Exit1->text(), "Exit");
    EXPECT_EQ(frm.imgLogo->pixmap().deviceIndependentSize(), QSizeF(151, 32));
}

TEST_F(Window, CaptionsAndValuesFitTheirControlsWhole) {
    EXPECT_EQ(ClippedCaptions(frm), std::vector<std::string>{});
}

// The frame of a group box runs through the middle of its caption, so that the controls placed
// under the caption stand clear of it.
TEST_F(Window, GroupFramesRunThroughTheMiddleOfTheirCaptions) {
    frm.show();
    for (QGroupBox* group : {frm.grpbxLog, frm.grpbxComPort, frm.grpbxSendToComPort,
                             frm.grpbxSendToUDPPort, frm.grpbxUDP}) {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        const QRect frame = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                           QStyle::SC_GroupBoxFrame, group);
        const QRect caption = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                             QStyle::SC_GroupBoxLabel, group);
        const std::string name = group->objectName().toStdString();
        EXPECT_EQ(caption.top(), 0) << name;
        EXPECT_EQ(frame.top(), caption.height() / 2) << name;
        EXPECT_EQ(frame.size(), QSize(group->width(), group->height() - caption.height() / 2))
            << name;
        // No control is crossed by the frame's top line, or reaches under the caption.
        for (QWidget* child : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!child->isVisible())
                continue; // the splitter's drag line, shown only during a drag
            const QRect area = child->geometry();
            const std::string what = name + "/" + child->objectName().toStdString();
            EXPECT_GT(area.top(), frame.top() + 1) << what;
            EXPECT_FALSE(area.intersects(caption)) << what;
        }
    }
}

TEST_F(Window, TabMovesThroughTheControlsInTheLayoutsOrder) {
    // Disabled controls are passed over by Tab; enable them to see the whole order.
    for (QWidget* w : std::initializer_list<QWidget*>{frm.spnedtSendTime, frm.spnedtSendTimeUDP,
                                                      frm.btnWriteToPort, frm.btnSendUDP})
        w->setEnabled(true);
    frm.show();
    QApplication::setActiveWindow(&frm);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frm));
    const QWidget* expected[] = {
        frm.cmbxBaudRate,      frm.cmbxComPorts,   frm.btnOpenComPort, frm.chkbxManyTimesUDP,
        frm.spnedtSendTimeUDP, frm.btnSendUDP,     frm.edtUDPData,     frm.chkbxRawDataUDP,
        frm.btnOpenUDPPort,    frm.edtUDPPort,     frm.edtHost,        frm.chkbxOnlyFromThis,
        frm.chkbxManyTimes,    frm.spnedtSendTime, frm.btnWriteToPort, frm.edtData,
        frm.chkbxRawData,      frm.mmLog,          frm.btnClearLog,    frm.mmLogRec,
    };
    const_cast<QWidget*>(expected[0])->setFocus();
    for (std::size_t i = 1; i < std::size(expected); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        // A spin edit's focus sits in its text part.
        if (focus && focus->parentWidget() == expected[i])
            focus = focus->parentWidget();
        EXPECT_EQ(focus, expected[i])
            << "after " << expected[i - 1]->objectName().toStdString() << " came "
            << (focus ? focus->objectName().toStdString() : "");
    }
}

// An open find bar is in the Tab order right after its pane: its field, then "Match case"; the
// window's own controls keep their order around it.
TEST_F(Window, AnOpenFindBarFollowsItsPaneInTheTabOrder) {
    frm.show();
    QApplication::setActiveWindow(&frm);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frm));
    frm.mmLog->setFocus();
    QTest::keyClick(frm.mmLog, Qt::Key_F, Qt::ControlModifier);
    frm.mmLogRec->setFocus();
    QTest::keyClick(frm.mmLogRec, Qt::Key_F, Qt::ControlModifier);
    const auto barOf = [](QWidget* pane, const char* name) {
        return pane->findChild<QWidget*>(QLatin1String(name));
    };
    const QWidget* expected[] = {
        frm.chkbxRawData,
        frm.mmLog,
        barOf(frm.mmLog, "findText"),
        barOf(frm.mmLog, "findMatchCase"),
        frm.btnClearLog,
        frm.mmLogRec,
        barOf(frm.mmLogRec, "findText"),
        barOf(frm.mmLogRec, "findMatchCase"),
        frm.cmbxBaudRate,
        frm.cmbxComPorts,
    };
    for (const QWidget* widget : expected)
        ASSERT_TRUE(widget && widget->isVisible());
    const_cast<QWidget*>(expected[0])->setFocus();
    for (std::size_t i = 1; i < std::size(expected); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        EXPECT_EQ(focus, expected[i])
            << "after " << expected[i - 1]->objectName().toStdString() << " came "
            << (focus ? focus->objectName().toStdString() : "");
    }
}

// A settings file that cannot be written (its folder is a file) is said once, in the upper pane.
TEST(WindowSettings, AFileThatCannotBeWrittenIsSaidOnceInTheUpperPane) {
    QTemporaryDir config;
    QFile notAFolder(config.filePath("corvane"));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    RecordingDialogs dialogs;
    TfrmMain frm{dialogs};
    qputenv("XDG_CONFIG_HOME", old);
    frm.Tools()->LogTools()->ShowTimes(true);
    frm.Tools()->LogRecTools()->ShowTimes(true);
    EXPECT_EQ(frm.mmLog->toPlainText(),
              "Settings not saved: " + config.filePath("corvane/corvane.conf") +
                  ": Not a directory\n");
    EXPECT_TRUE(frm.Tools()->LogTools()->TimesShown());
}

TEST_F(Window, AFreshlyShownWindowHasTheFocusOnTheFirstTabStop) {
    frm.show();
    QApplication::setActiveWindow(&frm);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frm));
    QWidget* focus = QApplication::focusWidget();
    EXPECT_EQ(focus, frm.cmbxBaudRate) << (focus ? focus->objectName().toStdString() : "none");
}

TEST_F(Window, ClearEmptiesBothPanes) {
    frm.AddToLog("one");
    frm.AddToLogRec("two");
    frm.btnClearLog->click();
    EXPECT_TRUE(frm.mmLog->toPlainText().isEmpty());
    EXPECT_TRUE(frm.mmLogRec->toPlainText().isEmpty());
    frm.AddToLogRec("-> 01");
    EXPECT_EQ(frm.mmLogRec->toPlainText(), "-> 01\n");
}

TEST_F(Window, AScreenReaderTellsThePanesApart) {
    QAccessibleInterface* upper = QAccessible::queryAccessibleInterface(frm.mmLog);
    QAccessibleInterface* lower = QAccessible::queryAccessibleInterface(frm.mmLogRec);
    ASSERT_NE(upper, nullptr);
    ASSERT_NE(lower, nullptr);
    EXPECT_EQ(upper->text(QAccessible::Name), "Log");
    EXPECT_EQ(lower->text(QAccessible::Name), "Received data");
    EXPECT_FALSE(upper->text(QAccessible::Description).isEmpty());
    EXPECT_FALSE(lower->text(QAccessible::Description).isEmpty());
    EXPECT_NE(upper->text(QAccessible::Description), lower->text(QAccessible::Description));
}

TEST_F(Window, EveryCloseRequestAsksAndOnlyYesCloses) {
    frm.show();
    dialogs.answer = false;
    frm.Exit1->trigger();
    EXPECT_TRUE(frm.isVisible());
    frm.close();
    EXPECT_TRUE(frm.isVisible());
    ASSERT_EQ(dialogs.confirmations.size(), 2u);
    EXPECT_EQ(dialogs.confirmations[0], "Exit?");

    dialogs.answer = true;
    frm.Exit1->trigger();
    EXPECT_FALSE(frm.isVisible());
    EXPECT_EQ(dialogs.confirmations.size(), 3u);
}

TEST_F(Window, AboutShowsFourLinesThatNameTheProjectAndTheGuide) {
    frm.About1->trigger();
    ASSERT_EQ(dialogs.informations.size(), 1u);
    const QStringList lines =
        QString::fromStdString(dialogs.informations[0]).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 4) << dialogs.informations[0];
    EXPECT_EQ(lines[0], "Corvane");
    EXPECT_TRUE(lines[1].contains("Corvane")) << lines[1].toStdString();
    // The version a bug report names, and the licence.
    EXPECT_TRUE(lines[1].contains(corvane::ProgramVersion())) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains("GPL-3.0-or-later")) << lines[1].toStdString();
    EXPECT_EQ(lines[2].toStdString(), frm.GuideAddress());
    EXPECT_TRUE(lines[2].startsWith("file:///")) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].endsWith("/guide.html")) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].contains("@") && lines[3].contains("corvane", Qt::CaseInsensitive))
        << lines[3].toStdString();
    EXPECT_EQ(dialogs.informations[0].find("example."), std::string::npos);
}

// The desktop ends a program by sending the application a Quit event after the session's save
// step. This filter, installed before the window's, takes the event once the window has seen it,
// so that the test program itself goes on.
class SwallowQuit : public QObject {
public:
    SwallowQuit() { qApp->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Quit; }
};

// The save step of a log-off or shutdown, which the desktop runs before it ends the session and
// before another program may cancel that end. Nothing bound to it may read the session manager.
void SessionSaveStep() {
    const QMetaMethod signal = QMetaMethod::fromSignal(&QGuiApplication::commitDataRequest);
    void* arguments[] = {nullptr, nullptr};
    QMetaObject::activate(qGuiApp, signal.methodIndex(), arguments);
}

class SessionEnd : public ::testing::Test {
protected:
    SwallowQuit swallow;
    RecordingDialogs dialogs;
    TfrmMain frm{dialogs};
};

TEST_F(SessionEnd, EndingTheSessionClosesWithoutAsking) {
    frm.show();
    SessionSaveStep();
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(qApp, &quit);
    EXPECT_FALSE(frm.isVisible());
    EXPECT_TRUE(dialogs.confirmations.empty());
}

TEST_F(SessionEnd, AfterACancelledLogOffExitIsAskedAgain) {
    frm.show();
    SessionSaveStep(); // and then another program cancels the log-off: no Quit follows
    dialogs.answer = false;
    frm.close();
    EXPECT_TRUE(frm.isVisible());
    EXPECT_EQ(dialogs.confirmations.size(), 1u);

    // A later session end still closes unasked, and the question is back after it.
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(qApp, &quit);
    EXPECT_FALSE(frm.isVisible());
    EXPECT_EQ(dialogs.confirmations.size(), 1u);
    frm.show();
    frm.close();
    EXPECT_EQ(dialogs.confirmations.size(), 2u);
}

// The logo and the About box lead to the user guide; the shell is recorded, not run.
class RecordingShellWindow : public TfrmMain {
public:
    using TfrmMain::TfrmMain;
    std::vector<corvane::ByteString> opened;

protected:
    void ShellOpen(const corvane::ByteString& address) override { opened.push_back(address); }
};

TEST(Logo, OneClickAndOneDoubleClickEachOpenTheGuideOnce) {
    RecordingDialogs dialogs;
    RecordingShellWindow frm(dialogs);
    frm.show();
    const QPoint at(10, 10);
    QTest::mouseClick(frm.imgLogo, Qt::LeftButton, {}, at);
    ASSERT_EQ(frm.opened.size(), 1u);
    EXPECT_EQ(frm.opened[0], frm.GuideAddress());

    // A double click as the window system delivers it: press, release, press, double click,
    // release.
    QTest::mousePress(frm.imgLogo, Qt::LeftButton, {}, at);
    QTest::mouseRelease(frm.imgLogo, Qt::LeftButton, {}, at);
    QTest::mousePress(frm.imgLogo, Qt::LeftButton, {}, at);
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(at),
                            frm.imgLogo->mapToGlobal(QPointF(at)), Qt::LeftButton, Qt::LeftButton,
                            Qt::NoModifier);
    QApplication::sendEvent(frm.imgLogo, &doubleClick);
    QTest::mouseRelease(frm.imgLogo, Qt::LeftButton, {}, at);
    EXPECT_EQ(frm.opened.size(), 2u);

    // A release away from the logo is no click; the next click is one again.
    QTest::mousePress(frm.imgLogo, Qt::LeftButton, {}, at);
    QTest::mouseRelease(frm.imgLogo, Qt::LeftButton, {}, QPoint(-5, -5));
    EXPECT_EQ(frm.opened.size(), 2u);
    QTest::mouseClick(frm.imgLogo, Qt::LeftButton, {}, at);
    EXPECT_EQ(frm.opened.size(), 3u);
}

TEST(About, TheGuidesAddressIsALinkThatOpensItOncePerClick) {
    RecordingDialogs dialogs;
    RecordingShellWindow frm(dialogs);
    frm.About1->trigger();
    ASSERT_TRUE(dialogs.informationLinks);
    dialogs.informationLinks(frm.GuideAddress());
    EXPECT_EQ(frm.opened, std::vector<corvane::ByteString>{frm.GuideAddress()});

    // On the screen the address line is a link, the other lines stay plain text, and a click on
    // the link hands its address over once.
    std::vector<corvane::ByteString> clicked;
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        shown = label->text();
        emit label->linkActivated(QStringLiteral("file:///usr/share/doc/corvane/guide.html"));
        box->accept();
    });
    ScreenDialogs screen;
    screen.ShowInformation("Corvane\r\nWritten by <us>\r\nfile:///usr/share/doc/corvane/guide.html",
                           [&](const corvane::ByteString& address) { clicked.push_back(address); });
    EXPECT_EQ(shown, "Corvane<br>Written by &lt;us&gt;<br><a "
                     "href=\"file:///usr/share/doc/corvane/guide.html\">file:///usr/share/doc/"
                     "corvane/guide.html</a>");
    EXPECT_EQ(clicked,
              std::vector<corvane::ByteString>{"file:///usr/share/doc/corvane/guide.html"});
}

TEST_F(Window, SplitterDragSetsTheUpperPaneHeightWithinItsLimits) {
    frm.show();
    auto drag = [&](int dy) {
        const QPoint start(10, 1);
        QTest::mousePress(frm.Splitter1, Qt::LeftButton, {}, start);
        QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(0, dy)),
                         frm.Splitter1->mapToGlobal(QPointF(start + QPoint(0, dy))), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frm.Splitter1, &move);
        QTest::mouseRelease(frm.Splitter1, Qt::LeftButton, {}, start + QPoint(0, dy));
    };
    drag(40);
    EXPECT_EQ(frm.mmLog->height(), 202);
    EXPECT_EQ(frm.Splitter1->y(), 15 + 202);
    EXPECT_EQ(frm.mmLogRec->geometry(), QRect(2, 220, 753, 111));
    drag(1000); // no further than the group's height less 62
    EXPECT_EQ(frm.mmLog->height(), 362 - 62);
    drag(-(300 - 31)); // 31: just above the minimum
    EXPECT_EQ(frm.mmLog->height(), 31);
    drag(-1); // ends at 30: collapses
    EXPECT_EQ(frm.mmLog->height(), 0);
}

} // namespace
