// SPDX-License-Identifier: GPL-3.0-or-later
// Models and painting for the main window's text grids: StringGrid1 over the observation
// table, StringGrid2 and StringGrid3 over the results panel.
#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>

#include "observation_table.h"
#include "results_panel.h"

namespace dorvalix {

// The data rows 1..300 of the observation table (view row r is table row r + 1); the
// header row is the horizontal header. Columns 0..3 are edited in place, column 4 never;
// an edit writes the text exactly as typed.
class ObservationTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit ObservationTableModel(ObservationTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Every cell and the header may have changed.
    void Refresh();

  private:
    ObservationTable& table_;
};

// One results grid: 9 rows × 3 columns (label, value, deviation), read only.
class ResultsGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit ResultsGridModel(ResultsPanel::Grid& grid, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void Refresh();

  private:
    ResultsPanel::Grid& grid_;
};

// Paints a cell completely: its background, then its text in black, left-aligned from
// (dx, dy) inside the cell and clipped to it. The leading blanks of the texts do the lining
// up in the fixed-pitch font. Editors are frameless line edits whose every keystroke
// reaches the model.
class GridCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using Background = std::function<QColor(const QModelIndex&)>;
    GridCellDelegate(Background background, int dx, int dy, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    // An editor already showing the cell's text is left alone (its cursor stays put).
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;

    // The editor that is open, if any.
    QWidget* OpenEditor() const { return openEditor_; }

  signals:
    // Enter was pressed in an open editor; the key goes no further.
    void EditorEnterPressed();

  protected:
    bool eventFilter(QObject* object, QEvent* event) override;

  private:
    Background background_;
    int dx_;
    int dy_;
    mutable QPointer<QWidget> openEditor_;
    // The cell's text when its editor opened: Escape puts it back, as every keystroke has
    // already gone into the table.
    mutable QString textBeforeEdit_;
};

// A text grid that can be told to finish an edit in progress, so that a menu command sees
// the cell as typed and the grid shows what the command made of it. Enter is handed to the
// window (EnterPressed), whether a cell is being edited or not.
class GridView : public QTableView {
    Q_OBJECT
  public:
    using QTableView::QTableView;
    // Commits and closes the editor that is open; false when none was.
    bool FinishEditing();

    // Typing on a cell that cannot be edited does nothing (no jump to a matching cell).
    void keyboardSearch(const QString&) override {}

    // The first data row in view (0-based) and the number of rows fully in view.
    int TopRow() const;
    int FullyVisibleRows() const;

    // Tab past the last row (Shift+Tab before the first) leaves the grid for the next
    // control instead of wrapping round to the other end.
    void SetTabLeavesAtEnds(bool leaves) { tabLeavesAtEnds_ = leaves; }

  signals:
    void EnterPressed();

  protected:
    // Ctrl+Tab and Ctrl+Shift+Tab leave the grid, as Qt's convention is for widgets that
    // use Tab themselves.
    void keyPressEvent(QKeyEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

  private:
    bool tabLeavesAtEnds_ = false;
};

}  // namespace dorvalix
