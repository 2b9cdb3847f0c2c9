// SPDX-License-Identifier: GPL-3.0-or-later
// The colours and small widget settings every window of the program shares.
#pragma once

#include <QColor>
#include <QHeaderView>
#include <QPalette>
#include <QString>
#include <QWidget>
#include <string>

class QMenuBar;

namespace dorvalix {

inline const QColor kGreen(0, 128, 0);
inline const QColor kYellow(255, 255, 0);
inline const QColor kAqua(0, 255, 255);
inline const QColor kSilver(192, 192, 192);

// A grid line follows every row and column inside its section, so that a cell keeps the
// size the layout gives it.
constexpr int kGridLine = 1;

inline QString ToQ(const std::string& text) {
    return QString::fromStdString(text);
}

void SetColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour);

// F10 opens the first menu of the bar, as in GTK and KDE programs; the arrow keys go on
// from there. (Alt alone, and Alt with an underlined letter, are the menu bar's own.)
void AddMenuBarKey(QWidget* window, QMenuBar* bar);

// Fixed column widths (each plus its grid line) and fixed row heights of a grid.
void SetSectionSizes(QHeaderView* header, const int* widths, int count);
void SetRowHeights(QHeaderView* header, int rowHeight);

}  // namespace dorvalix
