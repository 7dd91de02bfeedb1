// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/startup.h"

#include "commandline/commandline.h"
#include "console/dialogs.h"
#include "console/logo.h"
#include "console/untMain.h"
#include "console/windowstyle.h"
#include "core/codepage.h"
#include "core/exception.h"
#include "core/handover.h"
#include "core/stopsignals.h"
#include "platform/processend.h"

#include <QApplication>
#include <QFileInfo>
#include <QMutex>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

corvane::ByteString ApplicationErrorText(const char* className, const corvane::ByteString& module,
                                         std::uintptr_t address,
                                         const corvane::ByteString& message) {
    char where[2 * sizeof address + 1];
    std::snprintf(where, sizeof where, "%0*zX", static_cast<int>(2 * sizeof address),
                  static_cast<std::size_t>(address));
    const bool fullStop = !message.empty() && message.back() != '.';
    return "Exception " + corvane::ByteString(className) + " in module " + module + " at " + where +
           ".\r\n" + message + (fullStop ? "." : "") + "\r\n";
}

namespace {

std::unique_ptr<TfrmMain> CreateMainWindow(Dialogs& dialogs) {
    return std::make_unique<TfrmMain>(dialogs);
}

// The readable name of the type of the exception being handled, whatever its type.
std::string CurrentExceptionClass() {
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (!type)
        return "Exception";
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> readable(
        abi::__cxa_demangle(type->name(), nullptr, nullptr, &status), &std::free);
    return status == 0 && readable ? readable.get() : type->name();
}

// Called inside a catch block: the class and message of the exception being handled.
void ShowApplicationError(const std::string& className, const corvane::ByteString& message) {
    const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    // The code address of the step that failed: the creation of the main window.
    const auto address = reinterpret_cast<std::uintptr_t>(&CreateMainWindow);
    ShowApplicationErrorBox(
        ApplicationErrorText(className.c_str(), corvane::ToCodePage(module), address, message));
}

// Reads the command line under an application object of its own, named as the program is
// installed, so that the usage says "corvane" however the program was started; the window's
// application object cannot be made before, as it needs the display that --help must not.
corvane::CommandLine ReadProgramCommandLine(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    char name[] = "corvane";
    int probeArgc = 1;
    char* probeArgv[] = {name, nullptr};
    const QCoreApplication probe(probeArgc, probeArgv);
    return corvane::ReadCommandLine(arguments);
}

// While the application object connects to the window system, Qt's messages are held back: when
// no platform can start (no display), Qt ends with a fatal message, advice to reinstall and a core
// dump; the program ends instead with one line the user can act on. Once connected, what was held
// back is printed as it came.
class DisplayConnection {
public:
    DisplayConnection() { previous_ = qInstallMessageHandler(&Hold); }
    ~DisplayConnection() {
        qInstallMessageHandler(previous_);
        const QMutexLocker lock(&mutex_);
        for (const QString& message : held_)
            std::fprintf(stderr, "%s\n", qPrintable(message));
        held_.clear();
    }
    DisplayConnection(const DisplayConnection&) = delete;
    DisplayConnection& operator=(const DisplayConnection&) = delete;

private:
    static void Hold(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type == QtFatalMsg) {
            std::fprintf(stderr, "%s\n", corvane::kNoDisplayLine);
            std::_Exit(corvane::kExitFailure);
        }
        const QMutexLocker lock(&mutex_);
        held_.push_back(qFormatLogMessage(type, context, message));
    }

    static inline QMutex mutex_;
    static inline std::vector<QString> held_;
    QtMessageHandler previous_ = nullptr;
};

} // namespace

int RunApplication(int argc, char** argv, const MainWindowMaker& createWindow) {
    const corvane::CommandLine commandLine = ReadProgramCommandLine(argc, argv);
    if (!commandLine.run) {
        std::fputs(commandLine.standardOutput.c_str(), stdout);
        std::fputs(commandLine.standardError.c_str(), stderr);
        return commandLine.exitCode;
    }
    const std::unique_ptr<QApplication> app = [&] {
        const DisplayConnection connection;
        return std::make_unique<QApplication>(argc, argv);
    }();
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    // The desktop matches the running window to the program's .desktop entry by this id.
    QGuiApplication::setDesktopFileName(QStringLiteral(CORVANE_APP_ID));
    QApplication::setWindowIcon(ProgramIcon());
    ApplyWindowStyle();
    corvane::InstallHandOver();
    // A stop signal ends the program as the desktop's log-off does, so the open port is let go.
    corvane::EndOnStopSignals([] { QCoreApplication::quit(); });

    ScreenDialogs dialogs;
    std::unique_ptr<TfrmMain> window;
    // Whatever fails while the window is made, the program's own exceptions or any other, is
    // reported in the box and ends the program: the event loop does not run yet.
    try {
        window = createWindow(dialogs);
    } catch (const corvane::Exception& e) {
        ShowApplicationError(e.ClassName(), e.Message());
        return 1;
    } catch (const std::exception& e) {
        ShowApplicationError(CurrentExceptionClass(), e.what());
        return 1;
    } catch (...) {
        ShowApplicationError(CurrentExceptionClass(), "");
        return 1;
    }
    window->show();
    QApplication::exec();
    // From here on nothing touches the panes: a worker's hand-over is dropped, not waited for.
    corvane::BeginEnding();
    // The port stays open to the end, as the window leaves it, but the device must not stay
    // exclusive or locked once the process is gone.
    corvane::ReleaseOpenPortsAtEnd();
    window.reset();
    return 0;
}

int RunApplication(int argc, char** argv) {
    return RunApplication(argc, argv, CreateMainWindow);
}
