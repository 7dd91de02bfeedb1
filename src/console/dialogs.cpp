#include "console/dialogs.h"

#include "core/codepage.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString BoxText(const corvane::ByteString& text) {
    return corvane::FromCodePage(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// A box owned by the application and modal to it: every window is disabled while it shows.
void Prepare(QMessageBox& box, const QString& caption, QMessageBox::Icon icon,
             const corvane::ByteString& text) {
    box.setWindowTitle(caption);
    box.setIcon(icon);
    box.setTextFormat(Qt::PlainText);
    box.setText(BoxText(text));
    box.setWindowModality(Qt::ApplicationModal);
}

// "OK" as its own text: the desktop's standard button would read "&OK" on some desktops.
void AddOk(QMessageBox& box) {
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
}

// The information and confirmation boxes centre their row of buttons under the text.
void CentreButtons(QMessageBox& box) {
    if (auto* buttons = box.findChild<QDialogButtonBox*>())
        buttons->setCenterButtons(true);
}

const QString kCaption = QStringLiteral("Corvane");

} // namespace

void ScreenDialogs::ShowError(const corvane::ByteString& text) {
    QMessageBox box;
    Prepare(box, kCaption, QMessageBox::Critical, text);
    AddOk(box);
    box.exec();
}

void ScreenDialogs::ShowInformation(const corvane::ByteString& text) {
    QMessageBox box;
    Prepare(box, kCaption, QMessageBox::NoIcon, text);
    AddOk(box);
    CentreButtons(box);
    box.exec();
}

bool ScreenDialogs::Confirm(const corvane::ByteString& text) {
    QMessageBox box;
    Prepare(box, kCaption, QMessageBox::NoIcon, text);
    // Their order on the screen comes from the window style, which lays out every button row the
    // same way on every desktop: "&Yes" before "&No".
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    CentreButtons(box);
    box.exec();
    return box.clickedButton() == yes;
}

void ShowApplicationErrorBox(const corvane::ByteString& text) {
    QMessageBox box;
    Prepare(box, QStringLiteral("Application Error"), QMessageBox::Critical, text);
    AddOk(box);
    box.exec();
}
