#include "console/windowstyle.h"

#include <QApplication>
#include <QProxyStyle>
#include <QStyleFactory>

namespace {

// Fusion, the same on every desktop, with the check box proportions the layout was made for: a
// 13-pixel box and its caption 4 pixels after it. Fusion's wider gap would clip "Raw data" and
// "Many Times" at their laid-out widths.
class WindowStyle : public QProxyStyle {
public:
    WindowStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        switch (metric) {
        case PM_CheckBoxLabelSpacing:
            return 4;
        case PM_IndicatorWidth:
        case PM_IndicatorHeight:
            return 13;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
};

} // namespace

void ApplyWindowStyle() {
    QApplication::setStyle(new WindowStyle);
}
