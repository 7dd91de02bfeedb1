// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How late a 10 ms timer on the UI thread fires at worst over what runs while it is watched (the
// wait since its last tick counted at the end too); and, as the machine's other load does not
// change it, the most CPU time the UI thread spent from one tick to the next.

#include <QElapsedTimer>
#include <QTimer>

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

private:
    QTimer ticker_;
    QElapsedTimer since_;
    Figures figures_;
    double cpuAtTick_ = 0;
};
