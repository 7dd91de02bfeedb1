// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/seriallinetools.h"

#include "console/linesettingsdialog.h"
#include "console/untMain.h"
#include "core/codepage.h"
#include "core/settings.h"
#include "serial/comport.h"
#include "serial/linesettings.h"
#include "serial/serialstate.h"

#include <QMenu>

using corvane::LineFrame;

TSerialLineTools::TSerialLineTools(TfrmMain& window)
    : QObject(&window), window_(window), bar_(new TSerialLinesBar(window)) {
    for (QWidget* widget :
         {static_cast<QWidget*>(window.grpbxComPort), static_cast<QWidget*>(window.cmbxComPorts)}) {
        widget->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(widget, &QWidget::customContextMenuRequested, this, [this, widget](QPoint at) {
            QMenu* menu = MakeMenu(widget);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(widget->mapToGlobal(at));
        });
    }
    // After the window's own handler: the port is open or closed by then.
    connect(window.btnOpenComPort, &QPushButton::clicked, this, [this] { bar_->PortChanged(); });
    bar_->SetShown(corvane::Settings().ShowSerialLines());
}

QMenu* TSerialLineTools::MakeMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    QAction* settings =
        menu->addAction(QStringLiteral("Line Settings…"), this, [this] { OpenLineSettings(); });
    settings->setObjectName(QStringLiteral("line-settings"));
    QAction* lines = menu->addAction(QStringLiteral("Show Serial Lines"), this,
                                     [this](bool shown) { ShowSerialLines(shown); });
    lines->setObjectName(QStringLiteral("show-serial-lines"));
    lines->setCheckable(true);
    lines->setChecked(!bar_->isHidden());
    return menu;
}

TLineSettingsDialog* TSerialLineTools::OpenLineSettings() {
    if (dialog_)
        dialog_->close();
    dialog_ =
        new TLineSettingsDialog(&window_, window_.cmbxComPorts->currentText(), ShownFrame(nullptr),
                                [this](const LineFrame& chosen) { return Apply(chosen); });
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    dialog_->open();
    return dialog_;
}

void TSerialLineTools::ShowSerialLines(bool shown) {
    bar_->SetShown(shown);
    corvane::Settings().SetShowSerialLines(shown);
}

BYTE TSerialLineTools::PortNumber() const {
    return static_cast<BYTE>(window_.cmbxComPorts->currentIndex() + 1);
}

bool TSerialLineTools::PortOpen() const {
    // While it is open the port list is disabled, so its selection is the open port.
    return window_.btnOpenComPort->Tag != 0 && corvane::hComPort != INVALID_HANDLE_VALUE;
}

LineFrame TSerialLineTools::ShownFrame(unsigned long* baudRate) const {
    const LineFrame saved = corvane::SavedLineFrame(PortNumber());
    DWORD baud = 0;
    LineFrame held;
    if (PortOpen() && corvane::ReadLineFrame(corvane::hComPort, saved, baud, held)) {
        if (baudRate)
            *baudRate = baud;
        return held;
    }
    return saved;
}

LineFrame TSerialLineTools::Apply(const LineFrame& chosen) {
    corvane::SaveLineFrame(PortNumber(), chosen);
    if (!PortOpen())
        return chosen;
    corvane::ApplyLineFrame(window_, corvane::hComPort, corvane::ComPortPath(PortNumber()), chosen);
    return ShownFrame(nullptr);
}

QString TSerialLineTools::FrameHint() const {
    unsigned long baud = 0;
    const LineFrame frame = ShownFrame(&baud);
    const std::string rate =
        baud != 0 ? std::to_string(baud) : corvane::ToCodePage(window_.cmbxBaudRate->currentText());
    return QString::fromStdString(corvane::FrameText(rate, frame));
}
