// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/seriallinesbar.h"

#include "console/tshape.h"
#include "console/untMain.h"
#include "core/settings.h"
#include "serial/comport.h"
#include "serial/linesettings.h"
#include "serial/modemlines.h"
#include "serial/serialstate.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int kBreakMs = 250;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, bool toggle) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setCheckable(toggle);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

TShape* MakeLamp(QWidget* parent, QHBoxLayout* row, const char* name, const char* caption) {
    auto* lamp = new TShape(parent, TSerialLinesBar::kNone);
    lamp->setObjectName(QString::fromLatin1(name));
    lamp->setFixedSize(13, 13);
    row->addWidget(lamp);
    row->addWidget(new QLabel(QString::fromLatin1(caption), parent));
    return lamp;
}

} // namespace

TSerialLinesBar::TSerialLinesBar(TfrmMain& window)
    : TPaneTopBar(window.mmLog), window_(window), port_(INVALID_HANDLE_VALUE) {
    setObjectName(QStringLiteral("serialLinesBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(4);
    btnDtr = MakeButton(this, "btnDtr", "DTR", true);
    btnRts = MakeButton(this, "btnRts", "RTS", true);
    btnReset = MakeButton(this, "btnReset", "Reset", false);
    btnBreak = MakeButton(this, "btnBreak", "Break", false);
    for (QPushButton* button : {btnDtr, btnRts, btnReset, btnBreak})
        row->addWidget(button);
    row->addSpacing(8);
    shpCts = MakeLamp(this, row, "shpCts", "CTS");
    shpDsr = MakeLamp(this, row, "shpDsr", "DSR");
    shpDcd = MakeLamp(this, row, "shpDcd", "DCD");
    shpRi = MakeLamp(this, row, "shpRi", "RI");
    row->addSpacing(8);
    chkbxLogChanges = new QCheckBox(QStringLiteral("Log Line Changes"), this);
    chkbxLogChanges->setObjectName(QStringLiteral("chkbxLogChanges"));
    chkbxLogChanges->setChecked(corvane::Settings().LogLineChanges());
    row->addWidget(chkbxLogChanges);
    row->addStretch();

    connect(btnDtr, &QPushButton::clicked, this, [this](bool raised) { DtrClicked(raised); });
    connect(btnRts, &QPushButton::clicked, this, [this](bool raised) { RtsClicked(raised); });
    connect(btnReset, &QPushButton::clicked, this, [this] { ResetClicked(); });
    connect(btnBreak, &QPushButton::clicked, this, [this] { BreakClicked(); });
    connect(chkbxLogChanges, &QCheckBox::toggled, this,
            [](bool log) { corvane::Settings().SetLogLineChanges(log); });
    PortChanged();
}

corvane::ByteString TSerialLinesBar::Path() const {
    return corvane::ComPortPath(static_cast<BYTE>(window_.cmbxComPorts->currentIndex() + 1));
}

void TSerialLinesBar::PortChanged() {
    ++generation_;
    const bool open = window_.btnOpenComPort->Tag != 0 && corvane::hComPort != INVALID_HANDLE_VALUE;
    port_ = open ? corvane::hComPort : INVALID_HANDLE_VALUE;
    DWORD status = 0;
    if (!open) {
        ShowNoLines(QStringLiteral("The port is closed"));
        return;
    }
    if (!corvane::ReadInputLines(port_, status)) {
        ShowNoLines(QStringLiteral("This device has no modem lines (a pseudo-terminal, or a USB "
                                   "device that does not carry them)"));
        return;
    }
    const corvane::OutputLines lines = corvane::CurrentOutputLines();
    btnDtr->setChecked(lines.dtr);
    btnRts->setChecked(lines.rts);
    const corvane::LineFrame saved =
        corvane::SavedLineFrame(static_cast<BYTE>(window_.cmbxComPorts->currentIndex() + 1));
    DWORD baud = 0;
    corvane::LineFrame held = saved;
    corvane::ReadLineFrame(port_, saved, baud, held);
    btnDtr->setEnabled(true);
    // Under RTS/CTS the driver drives RTS: its level shows, but it is not the operator's.
    btnRts->setEnabled(held.flow != corvane::FlowControl::RtsCts);
    btnReset->setEnabled(true);
    btnBreak->setEnabled(true);
    for (TShape* lamp : {shpCts, shpDsr, shpDcd, shpRi})
        lamp->setToolTip(QString());
    ShowInputs(status, false);
    corvane::ModemWatch::Start(port_, status,
                               [bar = QPointer(this), generation = generation_](DWORD now) {
                                   if (bar && bar->generation_ == generation)
                                       bar->ShowInputs(now, true);
                               });
}

void TSerialLinesBar::ShowInputs(DWORD status, bool changes) {
    const std::pair<TShape*, DWORD> lamps[] = {
        {shpCts, MS_CTS_ON}, {shpDsr, MS_DSR_ON}, {shpDcd, MS_RLSD_ON}, {shpRi, MS_RING_ON}};
    bool changed = false;
    for (const auto& [lamp, bit] : lamps) {
        const QColor colour = (status & bit) ? kOn : kOff;
        changed = changed || lamp->BrushColor() != colour;
        lamp->SetBrushColor(colour);
    }
    if (changes && changed && chkbxLogChanges->isChecked())
        window_.AddToLog(corvane::InputLinesText(status));
}

void TSerialLinesBar::ShowNoLines(const QString& why) {
    for (QPushButton* button : {btnDtr, btnRts, btnReset, btnBreak})
        button->setEnabled(false);
    for (TShape* lamp : {shpCts, shpDsr, shpDcd, shpRi}) {
        lamp->SetBrushColor(kNone);
        lamp->setToolTip(why);
    }
}

void TSerialLinesBar::DtrClicked(bool raised) {
    if (!corvane::SetDtr(window_, port_, Path(), raised))
        btnDtr->setChecked(!raised);
}

void TSerialLinesBar::RtsClicked(bool raised) {
    if (!corvane::SetRts(window_, port_, Path(), raised))
        btnRts->setChecked(!raised);
}

void TSerialLinesBar::ResetClicked() {
    const int ms = corvane::Settings().ResetPulseMs();
    if (!corvane::BeginResetPulse(window_, port_, Path(), ms))
        return;
    btnDtr->setChecked(false);
    QTimer::singleShot(ms, this, [this, port = port_] {
        corvane::EndResetPulse(port);
        if (port == port_)
            btnDtr->setChecked(true);
    });
}

void TSerialLinesBar::BreakClicked() {
    if (!corvane::BeginBreak(window_, port_, Path(), kBreakMs))
        return;
    btnBreak->setEnabled(false);
    QTimer::singleShot(kBreakMs, this, [this, port = port_] {
        corvane::EndBreak(port);
        if (port == port_)
            btnBreak->setEnabled(true);
    });
}
