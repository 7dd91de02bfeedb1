// SPDX-License-Identifier: GPL-3.0-or-later
#include "processfigures.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

ProcessFigures ReadProcessFigures(pid_t pid) {
    ProcessFigures figures;
    std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(statFile)), {});
    // The name in parentheses may hold spaces; the fields after it are counted from field 3.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; index <= 15 && fields >> field; ++index)
        if (index == 14 || index == 15)
            ticks += std::stod(field);
    figures.cpuSeconds = ticks / static_cast<double>(sysconf(_SC_CLK_TCK));

    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    double kilobytes = 0;
    unsigned long long switches = 0;
    while (status >> key) {
        if ((key == "voluntary_ctxt_switches:" || key == "nonvoluntary_ctxt_switches:") &&
            status >> switches)
            figures.mainThreadSwitches += switches;
        else if (key == "VmHWM:" && status >> kilobytes)
            figures.peakMb = kilobytes / 1024;
        else if (key == "VmRSS:" && status >> kilobytes)
            figures.residentMb = kilobytes / 1024;
        status.ignore(1 << 16, '\n');
    }
    return figures;
}

void ResetPeakResident(pid_t pid) {
    std::ofstream("/proc/" + std::to_string(pid) + "/clear_refs") << "5";
}
