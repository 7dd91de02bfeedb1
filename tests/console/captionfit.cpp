// SPDX-License-Identifier: GPL-3.0-or-later
#include "captionfit.h"

#include "console/untMain.h"

#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>

namespace {

void Check(std::vector<std::string>& clipped, const QWidget* control, const QString& text,
           int advance, int room) {
    if (advance > room)
        clipped.push_back(control->objectName().toStdString() + ": " + text.toStdString());
}

} // namespace

std::vector<std::string> ClippedCaptions(TfrmMain& frm) {
    frm.show();
    std::vector<std::string> clipped;
    // Check boxes: the caption beside the indicator.
    for (QCheckBox* box : {frm.chkbxManyTimes, frm.chkbxRawData, frm.chkbxManyTimesUDP,
                           frm.chkbxRawDataUDP, frm.chkbxOnlyFromThis}) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        const QRect caption =
            box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        Check(clipped, box, box->text(), box->fontMetrics().horizontalAdvance(box->text()),
              std::min(caption.width(), box->width() - caption.left()));
    }
    // Combo boxes: the longest item beside the arrow.
    for (QComboBox* combo : {frm.cmbxComPorts, frm.cmbxBaudRate}) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                           QStyle::SC_ComboBoxEditField, combo);
        for (int i = 0; i < combo->count(); ++i)
            Check(clipped, combo, combo->itemText(i),
                  combo->fontMetrics().horizontalAdvance(combo->itemText(i)), field.width());
    }
    for (TButton* button : {frm.btnOpenComPort, frm.btnClearLog, frm.btnWriteToPort,
                            frm.btnOpenUDPPort, frm.btnSendUDP})
        Check(clipped, button, button->text(),
              button->fontMetrics().horizontalAdvance(button->text()), button->width());
    // Group boxes: the caption on the frame's top edge, inside the box.
    for (QGroupBox* group : {frm.grpbxLog, frm.grpbxComPort, frm.grpbxSendToComPort,
                             frm.grpbxSendToUDPPort, frm.grpbxUDP}) {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect caption = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                             QStyle::SC_GroupBoxLabel, group);
        Check(clipped, group, group->title(),
              caption.left() + group->fontMetrics().horizontalAdvance(group->title()),
              group->width());
        Check(clipped, group, group->title(), group->fontMetrics().height(), caption.height());
    }
    return clipped;
}
