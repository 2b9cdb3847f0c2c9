// SPDX-License-Identifier: GPL-3.0-or-later
// Models and painting for the grids of the hkl window and the cell dialog.
#pragma once

#include <QAbstractTableModel>
#include <QProxyStyle>
#include <QStyledItemDelegate>
#include <functional>
#include <string>

#include "grid_views.h"
#include "hkl_table.h"

namespace dorvalix {

// The hkl table: grid row r (1 .. grid_rows − 1) is view row r − 1 and shows reflection r,
// its texts written when the row is drawn; rows past the table are empty. The header row
// is the horizontal header.
class HklTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit HklTableModel(const HklState& state, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The rows and their number may all have changed.
    void Reset();

  private:
    const HklState& state_;
};

// A small grid of texts held elsewhere: `cell(row, column)` gives each text; the cells for
// which `editable` is true are edited in place, every keystroke written through.
class TextGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    using CellAccess = std::function<std::string&(int row, int column)>;
    using Editable = std::function<bool(int row, int column)>;
    TextGridModel(int rows, int columns, CellAccess cell, Editable editable,
                  QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Every text may have changed.
    void Refresh();

  private:
    int rows_;
    int columns_;
    CellAccess cell_;
    Editable editable_;
};

// Paints the fixed cells of a grid (labels, headers) in the grid's standard look: button
// face with a raised edge, black text 2 px from the left and the top. Every other cell
// is painted as GridCellDelegate paints it: filled, its text in black from (dx, dy),
// whether selected or not.
class FixedCellDelegate : public GridCellDelegate {
    Q_OBJECT
  public:
    using IsFixed = std::function<bool(const QModelIndex&)>;
    FixedCellDelegate(IsFixed isFixed, QColor valueColour, int dx, int dy,
                      QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // The current cell carries a dotted frame while the grid has the focus.
    void SetFocusFrame(bool on) { focusFrame_ = on; }

  private:
    IsFixed isFixed_;
    bool focusFrame_ = false;
};

// Paints the standard fixed-cell look into `rect`.
void PaintFixedCell(QPainter* painter, const QRect& rect, const QPalette& palette,
                    const QString& text);

// The cells of the hkl table: silver, black text 2 px from the left and the top; the
// current cell carries a focus frame while the grid has the focus and is highlighted
// while it has not.
class HklTableDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// Grid lines of one colour.
class GridLineColourStyle : public QProxyStyle {
  public:
    explicit GridLineColourStyle(QColor colour) : colour_(colour) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;

  private:
    QColor colour_;
};

}  // namespace dorvalix
