// SPDX-License-Identifier: GPL-3.0-or-later
// The boxes that the links' context menus open: joining a multicast group and sending a file.
#include "console/dialogs.h"

#include "core/codepage.h"
#include "udp/idstack.h"
#include "udp/idudpserver.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {

// A form with OK and Cancel under it; OK is enabled while the validity test holds, which
// Revalidate runs again after each edit.
class FormDialog : public QDialog {
public:
    explicit FormDialog(const QString& caption) : form_(new QFormLayout) {
        setWindowTitle(caption);
        setWindowModality(Qt::ApplicationModal);
        auto* column = new QVBoxLayout(this);
        column->addLayout(form_);
        buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        column->addWidget(buttons_);
        connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    }

    QFormLayout* Form() const { return form_; }

    void SetValidity(std::function<bool()> valid) {
        valid_ = std::move(valid);
        Revalidate();
    }
    void Revalidate() { buttons_->button(QDialogButtonBox::Ok)->setEnabled(!valid_ || valid_()); }

private:
    QFormLayout* form_;
    QDialogButtonBox* buttons_;
    std::function<bool()> valid_;
};

QLineEdit* AddLine(FormDialog& dialog, const QString& label, const char* name) {
    auto* edit = new QLineEdit(&dialog);
    edit->setObjectName(QLatin1String(name));
    dialog.Form()->addRow(label, edit);
    QObject::connect(edit, &QLineEdit::textChanged, &dialog, [&dialog] { dialog.Revalidate(); });
    return edit;
}

QSpinBox* AddNumber(FormDialog& dialog, const QString& label, const char* name, int low, int high,
                    int value) {
    auto* spin = new QSpinBox(&dialog);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(low, high);
    spin->setValue(std::clamp(value, low, high));
    dialog.Form()->addRow(label, spin);
    return spin;
}

} // namespace

std::optional<Dialogs::MulticastChoice> ScreenDialogs::AskMulticastGroup() {
    FormDialog dialog(QStringLiteral("Join Multicast Group"));
    QLineEdit* group = AddLine(dialog, QStringLiteral("Group address:"), "multicastGroup");
    group->setPlaceholderText(QStringLiteral("224.0.0.0 - 239.255.255.255"));
    QLineEdit* local =
        AddLine(dialog, QStringLiteral("Local interface address:"), "multicastLocal");
    local->setPlaceholderText(QStringLiteral("the system's choice"));
    dialog.SetValidity([group, local] {
        const corvane::ByteString localText = corvane::ToCodePage(local->text());
        return corvane::IsMulticastGroupAddress(corvane::ToCodePage(group->text())) &&
               (localText.empty() || corvane::TIdStack::IsDottedAddress(localText));
    });
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return MulticastChoice{group->text(), local->text()};
}

std::optional<Dialogs::FileSendChoice>
ScreenDialogs::AskFileToSend(const FileSendQuestion& question) {
    FormDialog dialog(question.caption);
    auto* row = new QHBoxLayout;
    auto* path = new QLineEdit(&dialog);
    path->setObjectName(QStringLiteral("sendFilePath"));
    auto* browse = new QPushButton(QStringLiteral("Browse…"), &dialog);
    row->addWidget(path, 1);
    row->addWidget(browse);
    dialog.Form()->addRow(QStringLiteral("File:"), row);
    QSpinBox* chunk = AddNumber(dialog, QStringLiteral("Bytes per chunk:"), "sendFileChunk", 1,
                                question.maxChunkSize, question.chunkSize);
    QSpinBox* delay = AddNumber(dialog, QStringLiteral("Milliseconds between chunks:"),
                                "sendFileDelay", 0, 60000, question.delayMs);
    QObject::connect(path, &QLineEdit::textChanged, &dialog, [&dialog] { dialog.Revalidate(); });
    QObject::connect(browse, &QPushButton::clicked, &dialog, [&] {
        const QString folder = question.folder.isEmpty() ? QDir::homePath() : question.folder;
        const QString chosen =
            QFileDialog::getOpenFileName(&dialog, question.caption, folder, QString(), nullptr,
                                         QFileDialog::DontUseNativeDialog);
        if (!chosen.isEmpty())
            path->setText(chosen);
    });
    dialog.SetValidity([path] { return !path->text().isEmpty(); });
    dialog.resize(420, dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return FileSendChoice{path->text(), chunk->value(), delay->value()};
}
