// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The port list's knowledge of the devices behind it: entries whose device is there now are drawn
// in bold, and each entry's tooltip names the device and what the system knows about it (by-id
// name, USB ids and strings, driver). A survey thread gathers it when the list opens, when devices
// come and go, and when asked; the list only shows the last survey.

#include "serial/portsurvey.h"

#include <QComboBox>
#include <QObject>

#include <memory>
#include <vector>

class PortListFacts : public QObject {
public:
    // Starts the first survey of list's entries, which read "COM1" onwards.
    explicit PortListFacts(QComboBox* list);
    ~PortListFacts() override;

    // The fact lines of the entry at index from the last survey; empty when none are known.
    QString FactsOf(int index) const;
    // Surveys again; the list changes when the survey is in.
    void Refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Show(const std::vector<corvane::PortReport>& reports);

    QComboBox* list_;
    std::vector<corvane::PortReport> reports_;
    std::unique_ptr<corvane::PortSurvey> survey_;
};
