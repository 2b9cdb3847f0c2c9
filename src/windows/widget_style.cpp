// SPDX-License-Identifier: GPL-3.0-or-later
#include "widget_style.h"

namespace dorvalix {

void SetColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(role, colour);
    widget->setPalette(p);
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
