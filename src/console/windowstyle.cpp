// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/windowstyle.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>

namespace {

// A group box's caption starts this far from the box's left edge, with this much room on either
// side of the text where the frame line stops.
constexpr int kCaptionIndent = 6;
constexpr int kCaptionPadding = 2;

// Fusion, the same on every desktop, with:
// - the check box proportions the layout was made for: a 13-pixel box and its caption 4 pixels
//   after it. Fusion's wider gap would clip "Raw data" and "Many Times" at their laid-out widths.
// - group boxes drawn as the system's own are: the frame's top line runs through the middle of
//   the caption, which stands on the top edge. The controls inside are placed in pixels for that
//   frame; Fusion's, which starts below the caption, would run behind them.
// - one order of dialog buttons everywhere ("&Yes" before "&No"), whatever the desktop's
//   platform theme prefers.
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

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_DialogButtonLayout)
            return QDialogButtonBox::WinLayout;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || !box)
            return QProxyStyle::subControlRect(control, option, sub, widget);
        const QFontMetrics& metrics = box->fontMetrics;
        const int captionHeight = box->text.isEmpty() ? 0 : metrics.height();
        switch (sub) {
        case SC_GroupBoxLabel:
            return QRect(kCaptionIndent, 0,
                         metrics.horizontalAdvance(box->text) + 2 * kCaptionPadding, captionHeight);
        case SC_GroupBoxFrame:
            return box->rect.adjusted(0, captionHeight / 2, 0, 0);
        case SC_GroupBoxContents:
            return box->rect.adjusted(2, std::max(captionHeight, 2), -2, -2);
        default:
            return QProxyStyle::subControlRect(control, option, sub, widget);
        }
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || !box) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        painter->save();
        // An etched frame: a shadow line and a light line one pixel inside it.
        const QRect frame = subControlRect(control, box, SC_GroupBoxFrame, widget);
        const QRect outer = frame.adjusted(0, 0, -2, -2);
        painter->setPen(box->palette.color(QPalette::Mid));
        painter->drawRect(outer);
        painter->setPen(box->palette.color(QPalette::Light));
        painter->drawRect(outer.translated(1, 1));
        if (!box->text.isEmpty()) {
            // The caption stands on the frame's top line, which stops on either side of it.
            const QRect caption = subControlRect(control, box, SC_GroupBoxLabel, widget);
            painter->fillRect(caption, box->palette.window());
            proxy()->drawItemText(painter, caption.adjusted(kCaptionPadding, 0, 0, 0),
                                  Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                                  box->palette, box->state & State_Enabled, box->text,
                                  QPalette::WindowText);
        }
        painter->restore();
    }
};

} // namespace

void ApplyWindowStyle() {
    QApplication::setStyle(new WindowStyle);
}
