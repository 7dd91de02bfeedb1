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
void Prepare(QMessageBox& box, QMessageBox::Icon icon, const corvane::ByteString& text) {
    box.setWindowTitle(QStringLiteral("Corvane"));
    box.setIcon(icon);
    box.setTextFormat(Qt::PlainText);
    box.setText(BoxText(text));
    box.setWindowModality(Qt::ApplicationModal);
}

// The information and confirmation boxes centre their row of buttons under the text.
void CentreButtons(QMessageBox& box) {
    if (auto* buttons = box.findChild<QDialogButtonBox*>())
        buttons->setCenterButtons(true);
}

} // namespace

void ScreenDialogs::ShowError(const corvane::ByteString& text) {
    QMessageBox box;
    Prepare(box, QMessageBox::Critical, text);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void ScreenDialogs::ShowInformation(const corvane::ByteString& text) {
    QMessageBox box;
    Prepare(box, QMessageBox::NoIcon, text);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    CentreButtons(box);
    box.exec();
}

bool ScreenDialogs::Confirm(const corvane::ByteString& text) {
    QMessageBox box;
    Prepare(box, QMessageBox::NoIcon, text);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    CentreButtons(box);
    box.exec();
    return box.clickedButton() == yes;
}
