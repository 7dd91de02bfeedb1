#pragma once
// Corvane's logo, drawn here rather than shipped as a file: an icon with a 151 x 32 and a
// 153 x 41 image in 32-bit colour.

#include <QIcon>

QIcon LogoIcon();

// The image the window shows: the icon's first, 151 x 32.
QPixmap LogoPicture();

// The logo's mark alone, the plate and its trace without the name, as a square image of size x
// size pixels: the window's and the desktop's icon.
QImage LogoMark(int size);
