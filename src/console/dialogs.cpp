// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/dialogs.h"

#include "core/codepage.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

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

bool IsAddress(const QString& line) {
    for (const char* scheme : {"file://", "http://", "https://"})
        if (line.startsWith(QLatin1String(scheme)))
            return true;
    return false;
}

// Shows the box's lines that are addresses as links: a click on one (or Enter on it, reached with
// Tab) hands the address to openLink. Nothing else of the text changes.
void MakeLinks(QMessageBox& box, const corvane::ByteString& text,
               const Dialogs::LinkOpener& openLink) {
    const QStringList lines = BoxText(text).split(u'\n');
    if (!openLink || std::none_of(lines.begin(), lines.end(), IsAddress))
        return;
    QStringList html;
    for (const QString& line : lines) {
        const QString shown = line.toHtmlEscaped();
        html << (IsAddress(line) ? QStringLiteral("<a href=\"%1\">%1</a>").arg(shown) : shown);
    }
    box.setTextFormat(Qt::RichText);
    box.setText(html.join(QStringLiteral("<br>")));
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!label)
        return;
    label->setOpenExternalLinks(false);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    QObject::connect(label, &QLabel::linkActivated, [openLink](const QString& address) {
        openLink(corvane::ToCodePage(address));
    });
}

// A file to write to exists: true to add to it, false to replace it, nothing to choose again.
std::optional<bool> AskAppend(const QString& path) {
    QMessageBox box;
    Prepare(box, kCaption, QMessageBox::Question,
            corvane::ToCodePage(
                QStringLiteral("%1 already exists.\nAppend to it or replace it?").arg(path)));
    box.setObjectName(QStringLiteral("appendOrReplace"));
    QPushButton* append = box.addButton(QStringLiteral("&Append"), QMessageBox::AcceptRole);
    QPushButton* replace = box.addButton(QStringLiteral("&Replace"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(append);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == append)
        return true;
    if (box.clickedButton() == replace)
        return false;
    return std::nullopt;
}

} // namespace

void ScreenDialogs::ShowError(const corvane::ByteString& text) {
    QMessageBox box;
    Prepare(box, kCaption, QMessageBox::Critical, text);
    AddOk(box);
    box.exec();
}

void ScreenDialogs::ShowInformation(const corvane::ByteString& text, const LinkOpener& openLink) {
    QMessageBox box;
    Prepare(box, kCaption, QMessageBox::NoIcon, text);
    MakeLinks(box, text, openLink);
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

std::optional<Dialogs::FileChoice> ScreenDialogs::AskFileToWrite(const FileQuestion& question) {
    // Qt's own dialog, not the desktop's: only it takes a check box of ours.
    const QString folder = question.folder.isEmpty() ? QDir::homePath() : question.folder;
    QFileDialog dialog(nullptr, question.caption, folder, question.filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setWindowModality(Qt::ApplicationModal);
    QCheckBox* times = nullptr;
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()); grid && question.offerTimes) {
        times = new QCheckBox(QStringLiteral("Include times"), &dialog);
        times->setObjectName(QStringLiteral("includeTimes"));
        times->setChecked(question.includeTimes);
        grid->addWidget(times, grid->rowCount(), 0, 1, -1);
    }
    if (question.offerAppend)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    FileChoice choice{dialog.selectedFiles().front(), times && times->isChecked()};
    if (question.offerAppend && QFileInfo::exists(choice.path)) {
        const auto append = AskAppend(choice.path);
        if (!append)
            return std::nullopt;
        choice.append = *append;
    }
    return choice;
}

std::optional<QString> ScreenDialogs::AskText(const QString& caption, const QString& label,
                                              const QString& initial) {
    QInputDialog dialog;
    dialog.setWindowTitle(caption);
    dialog.setLabelText(label);
    dialog.setTextValue(initial);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<Dialogs::FileChoice>
AskFileInLastFolder(Dialogs& dialogs, corvane::Settings& settings, Dialogs::FileQuestion question) {
    question.folder = settings.LastFolder();
    auto choice = dialogs.AskFileToWrite(question);
    if (choice)
        settings.SetLastFolder(QFileInfo(choice->path).absolutePath());
    return choice;
}

void ShowApplicationErrorBox(const corvane::ByteString& text) {
    QMessageBox box;
    Prepare(box, QStringLiteral("Application Error"), QMessageBox::Critical, text);
    AddOk(box);
    box.exec();
}
