// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A push button that keeps an integer Tag: the buttons that switch between two states keep their
// state there (0 idle, 1 active).

#include <QPushButton>

class TButton : public QPushButton {
public:
    using QPushButton::QPushButton;
    int Tag = 0;
};
