// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/portlistfacts.h"

#include <QAbstractItemView>
#include <QEvent>

PortListFacts::PortListFacts(QComboBox* list) : QObject(list), list_(list) {
    // The popup's frame is shown each time the list opens.
    list_->view()->window()->installEventFilter(this);
    survey_ = std::make_unique<corvane::PortSurvey>(
        static_cast<unsigned>(list_->count()),
        [this](const std::vector<corvane::PortReport>& reports) { Show(reports); });
    survey_->Start();
}

PortListFacts::~PortListFacts() {
    survey_.reset(); // its thread ends before the list it reports to goes
}

QString PortListFacts::FactsOf(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= reports_.size())
        return {};
    return QString::fromStdString(reports_[static_cast<std::size_t>(index)].facts);
}

void PortListFacts::Refresh() {
    survey_->Request();
}

bool PortListFacts::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show)
        Refresh();
    return QObject::eventFilter(watched, event);
}

void PortListFacts::Show(const std::vector<corvane::PortReport>& reports) {
    reports_ = reports;
    QFont bold = list_->font();
    bold.setBold(true);
    const int count = std::min(list_->count(), static_cast<int>(reports_.size()));
    for (int i = 0; i < count; ++i) {
        const corvane::PortReport& report = reports_[static_cast<std::size_t>(i)];
        list_->setItemData(i, report.present ? QVariant(bold) : QVariant(), Qt::FontRole);
        QString hint = list_->itemText(i) + ": " + QString::fromStdString(report.description);
        if (!report.facts.empty())
            hint += '\n' + QString::fromStdString(report.facts);
        list_->setItemData(i, hint, Qt::ToolTipRole);
    }
}
