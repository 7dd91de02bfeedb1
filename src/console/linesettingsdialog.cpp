// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/linesettingsdialog.h"

#include <QFormLayout>
#include <QPushButton>

using corvane::FlowControl;
using corvane::LineFrame;
using corvane::Parity;
using corvane::StopBits;

namespace {

// Each box's entries stand in the order of the enum they choose from.
QComboBox* MakeChoice(QWidget* parent, const char* name, const QStringList& entries) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(entries);
    return box;
}

} // namespace

TLineSettingsDialog::TLineSettingsDialog(QWidget* parent, const QString& portName,
                                         const LineFrame& shown, Apply apply)
    : QDialog(parent), apply_(std::move(apply)) {
    setObjectName(QStringLiteral("dlgLineSettings"));
    setWindowTitle(QStringLiteral("Line Settings: %1").arg(portName));
    cmbxDataBits = MakeChoice(this, "cmbxDataBits", {"5", "6", "7", "8"});
    cmbxParity = MakeChoice(this, "cmbxParity", {"None", "Odd", "Even", "Mark", "Space"});
    cmbxStopBits = MakeChoice(this, "cmbxStopBits", {"1", "1.5", "2"});
    cmbxFlowControl = MakeChoice(this, "cmbxFlowControl", {"None", "RTS/CTS", "XON/XOFF"});
    chkbxDtrAtOpen = new QCheckBox(QStringLiteral("Raised"), this);
    chkbxDtrAtOpen->setObjectName(QStringLiteral("chkbxDtrAtOpen"));
    chkbxRtsAtOpen = new QCheckBox(QStringLiteral("Raised"), this);
    chkbxRtsAtOpen->setObjectName(QStringLiteral("chkbxRtsAtOpen"));
    buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Data bits:"), cmbxDataBits);
    form->addRow(QStringLiteral("&Parity:"), cmbxParity);
    form->addRow(QStringLiteral("&Stop bits:"), cmbxStopBits);
    form->addRow(QStringLiteral("&Flow control:"), cmbxFlowControl);
    form->addRow(QStringLiteral("DTR at open:"), chkbxDtrAtOpen);
    form->addRow(QStringLiteral("RTS at open:"), chkbxRtsAtOpen);
    form->addRow(buttons);

    // Under RTS/CTS the driver drives RTS itself.
    connect(cmbxFlowControl, &QComboBox::currentIndexChanged, this, [this](int index) {
        chkbxRtsAtOpen->setEnabled(index != static_cast<int>(FlowControl::RtsCts));
    });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        ApplyChosen();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            [this] { ApplyChosen(); });
    Show(shown);
}

void TLineSettingsDialog::Show(const LineFrame& frame) {
    cmbxDataBits->setCurrentIndex(frame.dataBits - 5);
    cmbxParity->setCurrentIndex(static_cast<int>(frame.parity));
    cmbxStopBits->setCurrentIndex(static_cast<int>(frame.stopBits));
    cmbxFlowControl->setCurrentIndex(static_cast<int>(frame.flow));
    chkbxDtrAtOpen->setChecked(frame.dtrAtOpen);
    chkbxRtsAtOpen->setChecked(frame.rtsAtOpen);
}

LineFrame TLineSettingsDialog::Chosen() const {
    return {cmbxDataBits->currentIndex() + 5,
            static_cast<Parity>(cmbxParity->currentIndex()),
            static_cast<StopBits>(cmbxStopBits->currentIndex()),
            static_cast<FlowControl>(cmbxFlowControl->currentIndex()),
            chkbxDtrAtOpen->isChecked(),
            chkbxRtsAtOpen->isChecked()};
}

void TLineSettingsDialog::ApplyChosen() {
    Show(apply_(Chosen()));
}
