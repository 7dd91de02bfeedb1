// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Line Settings": the frame, the flow control and the levels of DTR and RTS at open for one COM
// number. The dialog only shows settings and hands the chosen ones to apply, which remembers and
// puts them on the port and answers what to show then: what the driver holds while the port is
// open, which may not be what was asked.

#include "core/lineframe.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>

#include <functional>

class TLineSettingsDialog : public QDialog {
public:
    using Apply = std::function<corvane::LineFrame(const corvane::LineFrame& chosen)>;

    TLineSettingsDialog(QWidget* parent, const QString& portName, const corvane::LineFrame& shown,
                        Apply apply);

    void Show(const corvane::LineFrame& frame);
    corvane::LineFrame Chosen() const;

    // controls
    QComboBox* cmbxDataBits;
    QComboBox* cmbxParity;
    QComboBox* cmbxStopBits;
    QComboBox* cmbxFlowControl;
    QCheckBox* chkbxDtrAtOpen;
    QCheckBox* chkbxRtsAtOpen;
    QDialogButtonBox* buttons;

private:
    void ApplyChosen();

    Apply apply_;
};
