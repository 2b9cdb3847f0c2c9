// SPDX-License-Identifier: GPL-3.0-or-later
#include "grid_views.h"
#include "widget_style.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>

namespace dorvalix {

namespace {

bool IsEnter(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool IsCtrlTab(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    return (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
           (key->modifiers() & Qt::ControlModifier);
}

}  // namespace

ObservationTableModel::ObservationTableModel(ObservationTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {}

int ObservationTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kMaxObservations;
}

int ObservationTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kTableColumns;
}

QVariant ObservationTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return ToQ(table_.Cell(index.column(), index.row() + 1));
}

QVariant ObservationTableModel::headerData(int section, Qt::Orientation orientation,
                                           int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) {
        return section >= 0 && section < kTableColumns ? ToQ(table_.Cell(section, 0)) : QVariant();
    }
    return section + 1;
}

Qt::ItemFlags ObservationTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() <= 3) f |= Qt::ItemIsEditable;
    return f;
}

bool ObservationTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.column() > 3) return false;
    table_.Cell(index.column(), index.row() + 1) = value.toString().toStdString();
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

void ObservationTableModel::Refresh() {
    emit dataChanged(index(0, 0), index(kMaxObservations - 1, kTableColumns - 1));
    emit headerDataChanged(Qt::Horizontal, 0, kTableColumns - 1);
}

ResultsGridModel::ResultsGridModel(ResultsPanel::Grid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid) {}

int ResultsGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kPanelRows;
}

int ResultsGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kPanelColumns;
}

QVariant ResultsGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    return ToQ(
        grid_[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(index.column())]);
}

Qt::ItemFlags ResultsGridModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void ResultsGridModel::Refresh() {
    emit dataChanged(index(0, 0), index(kPanelRows - 1, kPanelColumns - 1));
}

GridCellDelegate::GridCellDelegate(Background background, int dx, int dy, QObject* parent)
    : QStyledItemDelegate(parent), background_(std::move(background)), dx_(dx), dy_(dy) {}

void GridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    painter->save();
    painter->fillRect(option.rect, background_(index));
    painter->setClipRect(option.rect);
    painter->setFont(option.font);
    painter->setPen(Qt::black);
    painter->drawText(option.rect.adjusted(dx_, dy_, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
}

QWidget* GridCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    textBeforeEdit_ = index.data(Qt::EditRole).toString();
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setFont(option.font);
    editor->setTextMargins(0, 0, 0, 0);
    // Every keystroke goes into the table, so a menu command always sees the cell as typed.
    connect(editor, &QLineEdit::textEdited, this,
            [this, editor] { emit const_cast<GridCellDelegate*>(this)->commitData(editor); });
    openEditor_ = editor;
    return editor;
}

void GridCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* line = qobject_cast<QLineEdit*>(editor);
    const QString text = index.data(Qt::EditRole).toString();
    if (line && line->text() != text) line->setText(text);
}

void GridCellDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex&) const {
    editor->setGeometry(option.rect);
}

void GridCellDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const {
    if (editor == openEditor_) openEditor_.clear();
    QStyledItemDelegate::destroyEditor(editor, index);
}

bool GridCellDelegate::eventFilter(QObject* object, QEvent* event) {
    // The item delegate would commit on Enter and keep the key from the grid; here the
    // grid's own Enter handling runs instead, on the committed text.
    if (object == openEditor_ && IsEnter(event)) {
        emit EditorEnterPressed();
        return true;
    }
    // Ctrl+Tab goes on to the grid, which leaves itself, rather than to the next cell.
    if (object == openEditor_ && IsCtrlTab(event)) return false;
    // Escape cancels the edit: the cell gets its text from before it back, then the item
    // delegate closes the editor as usual.
    if (object == openEditor_ && event->type() == QEvent::KeyPress &&
        static_cast<const QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        if (auto* line = qobject_cast<QLineEdit*>(openEditor_.data())) {
            line->setText(textBeforeEdit_);
            emit commitData(line);
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

bool GridView::FinishEditing() {
    auto* delegate = qobject_cast<GridCellDelegate*>(itemDelegate());
    if (!delegate) return false;
    QWidget* editor = delegate->OpenEditor();
    if (!editor) return false;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

int GridView::TopRow() const {
    return std::max(rowAt(0), 0);
}

int GridView::FullyVisibleRows() const {
    const int height = viewport()->height();
    int n = 0;
    for (int r = TopRow(); r < model()->rowCount(); ++r) {
        if (rowViewportPosition(r) + rowHeight(r) > height) break;
        ++n;
    }
    return n;
}

void GridView::keyPressEvent(QKeyEvent* event) {
    if (IsEnter(event)) {
        emit EnterPressed();
        event->accept();
        return;
    }
    if (IsCtrlTab(event)) {
        FinishEditing();
        QWidget::focusNextPrevChild(static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab &&
                                    !(event->modifiers() & Qt::ShiftModifier));
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

QModelIndex GridView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex current = currentIndex();
    if (tabLeavesAtEnds_ && current.isValid()) {
        if (action == MoveNext && current.row() == model()->rowCount() - 1) return {};
        if (action == MovePrevious && current.row() == 0) return {};
    }
    return QTableView::moveCursor(action, modifiers);
}

}  // namespace dorvalix
