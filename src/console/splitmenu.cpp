// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/splitmenu.h"

#include "console/dialogs.h"
#include "console/logpane.h"
#include "core/hexformat.h"
#include "core/settings.h"
#include "serial/serialstate.h"

#include <QActionGroup>
#include <QComboBox>
#include <QMenu>

namespace {

using corvane::SplitRule;
using End = SplitRule::End;

const QString kCaption = QStringLiteral("Split Received Data");

} // namespace

TSplitMenu::TSplitMenu(TLogPane* pane, QComboBox* ports, Dialogs& dialogs,
                       corvane::Settings& settings)
    : QObject(pane), ports_(ports), dialogs_(dialogs), settings_(settings) {
    connect(pane, &TLogPane::ContextMenuBuilt, this, &TSplitMenu::AddMenu);
    connect(ports_, &QComboBox::currentIndexChanged, this, &TSplitMenu::Follow);
    Follow();
}

int TSplitMenu::Port() const {
    return ports_->currentIndex() + 1;
}

SplitRule TSplitMenu::Rule() const {
    return corvane::SplitRuleFromText(settings_.SplitReceived(Port()).toStdString());
}

void TSplitMenu::Choose(const SplitRule& rule) {
    settings_.SetSplitReceived(Port(), QString::fromStdString(corvane::SplitRuleText(rule)));
    Follow();
}

void TSplitMenu::Follow() {
    corvane::ReceivedSplitRule().Set(Rule());
    // A new mask ends the worker's wait for the next byte (with no event): it takes the rule,
    // and shows the line it leaves open, now rather than when the next byte comes.
    if (corvane::RxThreadRegistered() && corvane::hComPort != INVALID_HANDLE_VALUE)
        SetCommMask(corvane::hComPort, EV_RXCHAR);
}

std::optional<unsigned> TSplitMenu::AskCount(const QString& label, unsigned initial) {
    const auto text = dialogs_.AskText(kCaption, label, QString::number(initial));
    if (!text)
        return std::nullopt;
    bool ok = false;
    const unsigned value = text->trimmed().toUInt(&ok);
    if (!ok || value == 0 || value > 65535)
        return std::nullopt;
    return value;
}

void TSplitMenu::ChooseEachRead() {
    SplitRule rule = Rule();
    rule.end = End::EachRead;
    Choose(rule);
}

void TSplitMenu::ChooseIdleGap() {
    SplitRule rule = Rule();
    const auto gap = AskCount(QStringLiteral("Idle gap that ends a line, in ms:"), rule.gapMs);
    if (!gap)
        return;
    rule.end = End::IdleGap;
    rule.gapMs = *gap;
    Choose(rule);
}

void TSplitMenu::ChooseAfterByte() {
    SplitRule rule = Rule();
    const QString initial = QString(QChar(corvane::kHexDigits[rule.endByte >> 4])) +
                            QChar(corvane::kHexDigits[rule.endByte & 15]);
    const auto text =
        dialogs_.AskText(kCaption, QStringLiteral("Byte that ends a line, in hex:"), initial);
    if (!text)
        return;
    bool ok = false;
    const unsigned value = text->trimmed().toUInt(&ok, 16);
    if (!ok || value > 0xFF)
        return;
    rule.end = End::AfterByte;
    rule.endByte = static_cast<unsigned char>(value);
    Choose(rule);
}

void TSplitMenu::ToggleEveryN() {
    SplitRule rule = Rule();
    if (rule.everyN) {
        rule.everyN = false;
        Choose(rule);
        return;
    }
    const auto n = AskCount(QStringLiteral("Longest line, in bytes:"), rule.n);
    if (!n)
        return;
    rule.everyN = true;
    rule.n = *n;
    Choose(rule);
}

void TSplitMenu::AddMenu(QMenu* menu) {
    const SplitRule rule = Rule();
    QMenu* split = menu->addMenu(kCaption);
    split->menuAction()->setObjectName(QStringLiteral("split-received-data"));
    split->setToolTipsVisible(true);
    auto* ways = new QActionGroup(split);
    const auto add = [&](const QString& text, const char* name, bool checked, auto run,
                         const QString& tip) {
        QAction* action = split->addAction(text, this, run);
        action->setObjectName(QLatin1String(name));
        action->setCheckable(true);
        action->setChecked(checked);
        action->setToolTip(tip);
        return action;
    };
    ways->addAction(add(
        QStringLiteral("At Each Read"), "split-each-read", rule.end == End::EachRead,
        [this] { ChooseEachRead(); }, QStringLiteral("One line per read")));
    ways->addAction(add(
        QStringLiteral("At an Idle Gap"), "split-idle-gap", rule.end == End::IdleGap,
        [this] { ChooseIdleGap(); }, QStringLiteral("%1 ms").arg(rule.gapMs)));
    ways->addAction(add(
        QStringLiteral("After a Byte"), "split-after-byte", rule.end == End::AfterByte,
        [this] { ChooseAfterByte(); },
        QStringLiteral("%1").arg(rule.endByte, 2, 16, QChar(u'0')).toUpper()));
    split->addSeparator();
    add(
        QStringLiteral("Every N Bytes"), "split-every-n", rule.everyN, [this] { ToggleEveryN(); },
        QStringLiteral("N = %1").arg(rule.n));
}
