// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How late a 10 ms timer on the UI thread fires over what runs while it is watched: each tick's
// distance from the one before less the interval (the wait since the last tick counted at Stop
// too); and, as the machine's other load does not change it, the most CPU time the UI thread
// spent from one tick to the next. It ticks from its making; Start begins again. Needs a running
// event loop.

#include <QElapsedTimer>
#include <QTimer>

#include <cstddef>
#include <vector>

class Lateness {
public:
    struct Figures {
        double worstMs = 0;
        double worstCpuMs = 0;
    };

    Lateness();
    void Start();
    Figures Stop();
    // Stops and prints the figures: "  <what>: a 10 ms timer at worst … ms late; …".
    void Stop(const char* what);

    // So far, while it ticks.
    double Worst() const { return figures_.worstMs; }
    double Percentile99() const;
    std::size_t Ticks() const { return late_.size(); }

private:
    QTimer ticker_;
    QElapsedTimer since_;
    Figures figures_;
    std::vector<double> late_; // each tick's lateness, ms
    double cpuAtTick_ = 0;
};
