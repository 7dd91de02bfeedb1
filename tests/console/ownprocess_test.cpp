// SPDX-License-Identifier: GPL-3.0-or-later
// Cases that each run in a process of their own: what they look at is settled when the
// application object is made (the desktop's platform theme, the scale factor), or they end the
// program. Each forks from this program, which itself makes no application object, and writes
// what it saw to its standard error for the parent to match.
#include "captionfit.h"
#include "console/dialogs.h"
#include "console/logpane.h"
#include "console/startup.h"
#include "console/untMain.h"
#include "console/windowstyle.h"
#include "core/exception.h"
#include "core/handover.h"
#include "ptydevice.h"
#include "recordingdialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

// The command line of a test's own process, and the platform it runs on.
struct OwnProcess {
    explicit OwnProcess(const char* platform) { setenv("QT_QPA_PLATFORM", platform, 1); }
    int argc = 1;
    char name[17] = "ownprocess_tests";
    char* argv[2] = {name, nullptr};
};

[[noreturn]] void Report(const std::string& seen) {
    std::fprintf(stderr, "%s\n", seen.c_str());
    std::fflush(stderr);
    std::exit(0);
}

// The open message box's caption, text and buttons from left to right; answers it with its
// leftmost button.
std::string ReadAndAnswerBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box)
        return "no box";
    QList<QAbstractButton*> buttons = box->buttons();
    std::sort(buttons.begin(), buttons.end(), [box](QAbstractButton* a, QAbstractButton* b) {
        return a->mapTo(box, QPoint()).x() < b->mapTo(box, QPoint()).x();
    });
    QStringList texts;
    for (QAbstractButton* button : buttons)
        texts << button->text();
    const std::string seen = "caption=" + box->windowTitle().toStdString() +
                             " text=" + box->text().toStdString() +
                             " buttons=" + texts.join(',').toStdString();
    if (!buttons.isEmpty())
        buttons.front()->click();
    return seen;
}

// What the confirmation and error boxes show on the desktop named, on the X display of the
// environment: the desktop's platform theme is chosen only for X.
std::string BoxesOnDesktop(const char* desktop) {
    setenv("XDG_CURRENT_DESKTOP", desktop, 1);
    OwnProcess process("xcb");
    QApplication app(process.argc, process.argv);
    ApplyWindowStyle();
    ScreenDialogs dialogs;
    std::string seen;
    QTimer::singleShot(0, [&] { seen += ReadAndAnswerBox(); });
    seen += dialogs.Confirm("Exit?") ? " answer=Yes\n" : " answer=No\n";
    QTimer::singleShot(0, [&] { seen += ReadAndAnswerBox(); });
    dialogs.ShowError("No Hex-Number");
    return seen;
}

// An X server of its own for the cases that need one; it picks a free display number itself.
// Only this program's own process starts it (the cases' children are forked and find it in
// DISPLAY), and it ends with that process however the process ends: the tear-down ends it, and
// where none runs (a crash, a time-out's kill) the kernel sends it SIGTERM as its parent dies.
class VirtualDisplay : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const std::string fd = std::to_string(ready[1]);
        const char* argv[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen", "0",
                              "1280x1024x24", "-nolisten",  "tcp",      nullptr};
        const pid_t parent = getpid();
        server_ = fork();
        if (server_ == 0) {
            close(ready[0]);
            if (prctl(PR_SET_PDEATHSIG, SIGTERM) == 0 && getppid() == parent)
                execvp(argv[0], const_cast<char**>(argv));
            _exit(127);
        }
        close(ready[1]);
        // Xvfb writes its display number once it accepts clients.
        std::string number;
        char ch;
        while (server_ > 0 && read(ready[0], &ch, 1) == 1 && ch != '\n')
            number += ch;
        close(ready[0]);
        ASSERT_GT(server_, 0) << "no process for Xvfb";
        ASSERT_FALSE(number.empty()) << "Xvfb did not start (Debian package xvfb)";
        setenv("DISPLAY", (":" + number).c_str(), 1);
    }

    static void TearDownTestSuite() {
        if (server_ > 0) {
            kill(server_, SIGTERM);
            waitpid(server_, nullptr, 0);
        }
        server_ = 0;
    }

    static pid_t server_;
};

pid_t VirtualDisplay::server_ = 0;

using DesktopBoxes = VirtualDisplay;

TEST_F(DesktopBoxes, OnGnomeYesComesBeforeNoAndTheErrorBoxReadsOk) {
    EXPECT_EXIT(Report(BoxesOnDesktop("GNOME")), ::testing::ExitedWithCode(0),
                "caption=Corvane text=Exit\\? buttons=&Yes,&No answer=Yes\n"
                "caption=Corvane text=No Hex-Number buttons=OK\n");
}

TEST_F(DesktopBoxes, OnXfceYesComesBeforeNoAndTheErrorBoxReadsOk) {
    EXPECT_EXIT(Report(BoxesOnDesktop("XFCE")), ::testing::ExitedWithCode(0),
                "caption=Corvane text=Exit\\? buttons=&Yes,&No answer=Yes\n"
                "caption=Corvane text=No Hex-Number buttons=OK\n");
}

// What X11's primary selection holds after selections made with the keys alone, as Qt's own
// editors put every selection there.
std::string PrimaryAfterKeySelections() {
    OwnProcess process("xcb");
    QApplication app(process.argc, process.argv);
    TLogPane pane(nullptr);
    pane.resize(300, 200);
    pane.show();
    pane.activateWindow();
    pane.setFocus();
    if (!QTest::qWaitForWindowExposed(&pane))
        return "not exposed";
    pane.Append("first line");
    pane.Append("second");
    QClipboard* clipboard = QGuiApplication::clipboard();
    const auto primary = [&] {
        return clipboard->text(QClipboard::Selection).replace(u'\n', u'|').toStdString();
    };
    std::string seen = clipboard->supportsSelection() ? "primary" : "no primary";
    QTest::keyClick(&pane, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&pane, Qt::Key_Down, Qt::ShiftModifier);
    seen += " down=[" + primary() + "]";
    QTest::keyClick(&pane, Qt::Key_End, Qt::ShiftModifier);
    seen += " end=[" + primary() + "]";
    QTest::keyClick(&pane, Qt::Key_A, Qt::ControlModifier);
    seen += " all=[" + primary() + "]";
    // Selected text stays there after the pane lets it go, as in any X program.
    pane.Clear();
    seen += " cleared=[" + primary() + "]";
    return seen;
}

using PrimarySelection = VirtualDisplay;

TEST_F(PrimarySelection, KeyboardSelectionsReachIt) {
    EXPECT_EXIT(Report(PrimaryAfterKeySelections()), ::testing::ExitedWithCode(0),
                "primary down=\\[first line\\|\\] end=\\[first line\\|second\\] "
                "all=\\[first line\\|second\\|\\] cleared=\\[first line\\|second\\|\\]\n");
}

// The controls whose captions a scale factor cuts off, and the window's pixel ratio.
std::string ClippedAtScale(const char* factor) {
    setenv("QT_SCALE_FACTOR", factor, 1);
    OwnProcess process("offscreen");
    QApplication app(process.argc, process.argv);
    ApplyWindowStyle();
    corvane::InstallHandOver();
    RecordingDialogs dialogs;
    TfrmMain frm(dialogs);
    std::string seen = "clipped=[";
    for (const std::string& control : ClippedCaptions(frm))
        seen += control + ";";
    return seen + "] ratio=" + QString::number(frm.devicePixelRatio()).toStdString();
}

TEST(ScaledWindow, At144DpiEveryCaptionStillFits) {
    EXPECT_EXIT(Report(ClippedAtScale("1.5")), ::testing::ExitedWithCode(0),
                "clipped=\\[\\] ratio=1.5\n");
}

// Starts the program with a window whose making runs fail; the Application Error box is read
// and answered as soon as it shows. Ends the process with the program's exit code.
[[noreturn]] void StartWithAFailingWindow(const std::function<void()>& fail) {
    OwnProcess process("offscreen");
    const int code =
        RunApplication(process.argc, process.argv, [&](Dialogs&) -> std::unique_ptr<TfrmMain> {
            QTimer::singleShot(0, [] { std::fprintf(stderr, "%s\n", ReadAndAnswerBox().c_str()); });
            fail();
            return nullptr;
        });
    std::exit(code);
}

TEST(StartFailure, TheProgramsOwnExceptionIsShownAndEndsWithCode1) {
    EXPECT_EXIT(StartWithAFailingWindow([] { throw corvane::EConvertError("No sockets"); }),
                ::testing::ExitedWithCode(1),
                "caption=Application Error text=Exception EConvertError in module "
                "ownprocess_window_tests at [0-9A-F]{16}\\.\nNo sockets\\.\n buttons=OK\n");
}

TEST(StartFailure, AStandardExceptionIsShownWithItsClassAndEndsWithCode1) {
    EXPECT_EXIT(StartWithAFailingWindow([] { throw std::runtime_error("out of handles"); }),
                ::testing::ExitedWithCode(1),
                "Exception std::runtime_error in module .*\nout of handles\\.\n buttons=OK\n");
}

TEST(StartFailure, AnyOtherThrownValueIsShownAndEndsWithCode1) {
    EXPECT_EXIT(StartWithAFailingWindow([] { throw 42; }), ::testing::ExitedWithCode(1),
                "text=Exception int in module .*\\.\n\n buttons=OK\n");
}

// Runs the program with its window's COM7 open and ends it by end once the window runs; ends
// the process with the program's exit code.
[[noreturn]] void EndWithThePortOpen(const std::function<void(TfrmMain&)>& end) {
    // As started from a terminal, though this test may run under nohup: the stop signals end
    // the program.
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        std::signal(signal, SIG_DFL);
    OwnProcess process("offscreen");
    const int code = RunApplication(process.argc, process.argv, [&](Dialogs& dialogs) {
        auto window = std::make_unique<TfrmMain>(dialogs);
        TfrmMain* frm = window.get();
        QTimer::singleShot(0, frm, [frm, &end] {
            frm->cmbxComPorts->setCurrentIndex(6);
            frm->btnOpenComPort->click();
            if (frm->btnOpenComPort->Tag == 0)
                std::_Exit(3); // the device is still held
            end(*frm);
        });
        return window;
    });
    std::exit(code);
}

// Answers the "Exit?" box the window is about to show with its default button, Yes.
void AnswerYesOnceAsked() {
    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->defaultButton()->click();
    });
}

// Whether the tty at path is exclusive: an ordinary user's open is refused, root's is let in and
// asks.
bool Exclusive(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;
    int exclusive = 0;
    ioctl(fd, TIOCGEXCL, &exclusive);
    close(fd);
    return exclusive != 0;
}

// The device stays open at its far end, as behind a socat link: only the program can undo its
// exclusive flag and its lock file, at every orderly end. Each ending's program opens the port
// the one before it let go (exit code 3 when it cannot).
TEST(PortAtTheEnd, EveryOrderlyEndLetsGoOfTheDevice) {
    corvane::testing::PortsFolder folder;
    corvane::testing::PtyDevice device;
    folder.Link(7, device.SlavePath());
    const std::string lock = folder.LockFolder() + "/" + device.LockName();
    const std::pair<const char*, std::function<void(TfrmMain&)>> endings[] = {
        {"Exit",
         [](TfrmMain& frm) {
             AnswerYesOnceAsked();
             frm.Exit1->trigger();
         }},
        {"window closed",
         [](TfrmMain& frm) {
             AnswerYesOnceAsked();
             frm.close();
         }},
        {"log-off", [](TfrmMain&) { QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit)); }},
        {"SIGTERM", [](TfrmMain&) { raise(SIGTERM); }},
        {"SIGHUP", [](TfrmMain&) { raise(SIGHUP); }},
        {"SIGINT", [](TfrmMain&) { raise(SIGINT); }},
        {"SIGTERM while Exit? is asked",
         [](TfrmMain& frm) {
             QTimer::singleShot(0, [] { raise(SIGTERM); });
             frm.Exit1->trigger();
         }},
    };
    for (const auto& [name, end] : endings) {
        EXPECT_EXIT(EndWithThePortOpen(end), ::testing::ExitedWithCode(0), "") << name;
        EXPECT_FALSE(Exclusive(device.SlavePath())) << name;
        EXPECT_FALSE(std::filesystem::exists(lock)) << name;
    }
}

} // namespace

// The desktops' platform themes open a D-Bus connection, and libdbus keeps a buffer of it until
// the process ends; LeakSanitizer, in the sanitizer build, is told so here.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Forked children: this process has no application object and no other thread to lose.
    GTEST_FLAG_SET(death_test_style, "fast");
    return RUN_ALL_TESTS();
}
