// SPDX-License-Identifier: GPL-3.0-or-later
#include "widget_style.h"

#include <QMenuBar>
#include <QShortcut>

namespace dorvalix {

void SetColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(role, colour);
    widget->setPalette(p);
}

void AddMenuBarKey(QWidget* window, QMenuBar* bar) {
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), window);
    f10->setObjectName("MenuKey");
    QObject::connect(f10, &QShortcut::activated, bar, [bar] {
        if (!bar->actions().isEmpty()) bar->setActiveAction(bar->actions().first());
    });
}

void SetSectionSizes(QHeaderView* header, const int* widths, int count) {
    header->setMinimumSectionSize(1);
    header->setSectionResizeMode(QHeaderView::Fixed);
    for (int i = 0; i < count; ++i)
        header->resizeSection(i, widths[i] + kGridLine);
}

void SetRowHeights(QHeaderView* header, int rowHeight) {
    header->setMinimumSectionSize(1);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setDefaultSectionSize(rowHeight + kGridLine);
}

}  // namespace dorvalix
