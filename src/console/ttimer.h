// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An interval timer whose ticks are events on the UI thread. The interval is an unsigned count of
// milliseconds; 0 gives no ticks even while enabled. Setting a different interval, or switching
// the timer on, starts a full period again. Ticks never pile up: at most one is pending.

#include <QObject>
#include <QTimer>

#include <cstdint>

class TTimer : public QObject {
    Q_OBJECT

public:
    explicit TTimer(QObject* parent);

    std::uint32_t Interval() const { return interval_; }
    void SetInterval(std::uint32_t ms);
    bool Enabled() const { return enabled_; }
    // Raises EOutOfResources "Not enough timers available" when the platform refuses the timer.
    void SetEnabled(bool enabled);

    // The longest period the platform timer takes; longer intervals tick at this period.
    static constexpr std::uint32_t kMaxPeriod = 0x7FFFFFFF;

signals:
    void Timer();

private:
    void Restart();

    QTimer timer_;
    std::uint32_t interval_ = 1000;
    bool enabled_ = false;
};
