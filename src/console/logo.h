// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Corvane's logo, drawn here rather than shipped as a file, in 32-bit colour.

#include <QIcon>

// The image the window shows, 151 x 32: the mark and the name.
QPixmap LogoPicture();

// The logo's mark alone, the plate and its trace without the name, as a square image of size x
// size pixels: the window's and the desktop's icon.
QImage LogoMark(int size);

// The program's icon, made of the mark in the sizes desktops ask for (menus, title bars, task
// bars, Alt+Tab): 16, 22, 24, 32, 48, 64, 128 and 256 pixels square.
QIcon ProgramIcon();
