// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/startup.h"

int main(int argc, char** argv) {
    return RunApplication(argc, argv);
}
