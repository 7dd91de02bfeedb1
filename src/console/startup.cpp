#include "console/startup.h"

#include "console/dialogs.h"
#include "console/untMain.h"
#include "console/windowstyle.h"
#include "core/codepage.h"
#include "core/exception.h"
#include "core/handover.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

#include <cstdio>
#include <memory>

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

void ShowApplicationError(const corvane::Exception& e) {
    const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    // The code address of the step that failed: the creation of the main window.
    const auto address = reinterpret_cast<std::uintptr_t>(&CreateMainWindow);
    QMessageBox box(
        QMessageBox::Critical, QStringLiteral("Application Error"),
        corvane::FromCodePage(
            ApplicationErrorText(e.ClassName(), corvane::ToCodePage(module), address, e.Message()))
            .replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
        QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace

int RunApplication(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    ApplyWindowStyle();
    corvane::InstallHandOver();

    ScreenDialogs dialogs;
    std::unique_ptr<TfrmMain> window;
    try {
        window = CreateMainWindow(dialogs);
    } catch (const corvane::Exception& e) {
        ShowApplicationError(e);
        return 1;
    }
    window->show();
    QApplication::exec();
    // From here on nothing touches the panes: a worker's hand-over is dropped, not waited for.
    corvane::BeginEnding();
    window.reset();
    return 0;
}
