// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/paneviewmenu.h"

#include "console/logpane.h"
#include "core/settings.h"

#include <QActionGroup>
#include <QMenu>

namespace {

using corvane::DataView;
using corvane::PaneView;
using corvane::TextEncoding;

struct ViewItem {
    DataView view;
    const char* text;
    const char* name; // in the settings file
    const char* objectName;
};
constexpr ViewItem kViews[] = {
    {DataView::Hex, "Hex", "hex", "view-hex"},
    {DataView::Text, "Text", "text", "view-text"},
    {DataView::HexAndText, "Hex and Text", "hextext", "view-hex-and-text"},
};

struct EncodingItem {
    TextEncoding encoding;
    const char* text;
    const char* name;
    const char* objectName;
};
constexpr EncodingItem kEncodings[] = {
    {TextEncoding::Utf8, "UTF-8", "utf-8", "encoding-utf-8"},
    {TextEncoding::Windows1251, "Windows-1251", "windows-1251", "encoding-windows-1251"},
};

} // namespace

QString ViewName(DataView view) {
    for (const ViewItem& item : kViews)
        if (item.view == view)
            return QLatin1String(item.name);
    return {};
}

QString EncodingName(TextEncoding encoding) {
    for (const EncodingItem& item : kEncodings)
        if (item.encoding == encoding)
            return QLatin1String(item.name);
    return {};
}

PaneView PaneViewFromNames(const QString& view, const QString& encoding) {
    PaneView chosen;
    for (const ViewItem& item : kViews)
        if (view == QLatin1String(item.name))
            chosen.view = item.view;
    for (const EncodingItem& item : kEncodings)
        if (encoding == QLatin1String(item.name))
            chosen.encoding = item.encoding;
    return chosen;
}

TPaneViewMenu::TPaneViewMenu(TLogPane* pane, corvane::Settings& settings)
    : QObject(pane), pane_(pane), settings_(settings) {
    const QString name = pane_->objectName();
    pane_->SetView(PaneViewFromNames(settings_.PaneView(name), settings_.PaneEncoding(name)));
    connect(pane_, &TLogPane::ContextMenuBuilt, this, &TPaneViewMenu::AddMenu);
}

void TPaneViewMenu::Choose(PaneView view) {
    pane_->SetView(view);
    settings_.SetPaneView(pane_->objectName(), ViewName(view.view));
    settings_.SetPaneEncoding(pane_->objectName(), EncodingName(view.encoding));
}

void TPaneViewMenu::AddMenu(QMenu* menu) {
    menu->addSeparator();
    QMenu* views = menu->addMenu(QStringLiteral("View"));
    views->menuAction()->setObjectName(QStringLiteral("view"));
    const PaneView shown = pane_->View();
    auto* viewGroup = new QActionGroup(views);
    for (const ViewItem& item : kViews) {
        QAction* action = views->addAction(QLatin1String(item.text), this, [this, item] {
            Choose({item.view, pane_->View().encoding});
        });
        action->setObjectName(QLatin1String(item.objectName));
        action->setCheckable(true);
        action->setChecked(shown.view == item.view);
        viewGroup->addAction(action);
    }
    views->addSeparator();
    auto* encodingGroup = new QActionGroup(views);
    for (const EncodingItem& item : kEncodings) {
        QAction* action = views->addAction(QLatin1String(item.text), this, [this, item] {
            Choose({pane_->View().view, item.encoding});
        });
        action->setObjectName(QLatin1String(item.objectName));
        action->setCheckable(true);
        action->setChecked(shown.encoding == item.encoding);
        encodingGroup->addAction(action);
    }
}
