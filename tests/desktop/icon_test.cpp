// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's SVG icon is drawn by hand after LogoMark(); the PNG icons and the window's icon
// come from LogoMark() itself. The two drawings must stay one picture: rendered by rsvg-convert,
// the SVG matches LogoMark() but for antialiasing. Below 64 pixels the plate's outline, which the
// SVG scales and LogoMark() keeps one pixel wide, outweighs everything else, so the sizes compared
// are those a scalable icon stands in for.

#include "console/logo.h"

#include <QImage>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

QImage RenderSvg(const QString& folder, int size) {
    const QString out = QStringLiteral("%1/%2.png").arg(folder).arg(size);
    const std::string command = "rsvg-convert -w " + std::to_string(size) + " -h " +
                                std::to_string(size) + " '" CORVANE_SVG_ICON "' -o '" +
                                out.toStdString() + "'";
    if (std::system(command.c_str()) != 0)
        return {};
    return QImage(out).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The mean over all pixels of the largest difference of any channel, alpha included, in the
// premultiplied colours (so fully transparent pixels agree whatever colour they carry): 0 for
// equal images, 255 for opposite ones.
double MeanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum += std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                             std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    }
    return sum / (a.width() * a.height());
}

TEST(DesktopIcon, SvgMatchesTheDrawnMark) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const int size : {64, 128, 256}) {
        SCOPED_TRACE(size);
        const QImage svg = RenderSvg(folder.path(), size);
        ASSERT_FALSE(svg.isNull()) << "rsvg-convert could not render " CORVANE_SVG_ICON;
        ASSERT_EQ(svg.size(), QSize(size, size));
        const QImage mark = LogoMark(size).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        // Measured: 2.4 at 64 pixels, 0.13 at 256. A trace of another colour gives about 10, a
        // plate whose top is 8 levels lighter 4 to 6, the pulse upside down about 20.
        EXPECT_LT(MeanDifference(svg, mark), 3.0);
    }
}

} // namespace

// At the sizes menus and title bars show, the trace lies on the pixel grid: inside the plate's
// rim every pixel is plate or trace, none a blend of the two, which would show as a blur.
TEST(DesktopIcon, SmallSizesDrawTheTraceOnWholePixels) {
    for (const int size : {16, 22, 24, 32, 48}) {
        SCOPED_TRACE(size);
        const QImage mark = LogoMark(size);
        int trace = 0;
        int blended = 0;
        for (int y = 2; y < size - 2; ++y) {
            for (int x = 2; x < size - 2; ++x) {
                // The plate's green runs from 70 at the top to 34 at the bottom; the trace's is
                // 230.
                const int green = qGreen(mark.pixel(x, y));
                if (green >= 225)
                    ++trace;
                else if (green > 75)
                    ++blended;
            }
        }
        EXPECT_EQ(blended, 0);
        // One pulse is about one and a half sides long.
        EXPECT_GE(trace, size);
    }
}
