// SPDX-License-Identifier: GPL-3.0-or-later
// The boxes that the links' context menus open: joining a multicast group.
#include "console/dialogs.h"

#include "core/codepage.h"
#include "udp/idstack.h"
#include "udp/idudpserver.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

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
