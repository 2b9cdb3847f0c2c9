// SPDX-License-Identifier: GPL-3.0-or-later
#include "hkl_grid_views.h"
#include "widget_style.h"

#include <QAbstractItemView>
#include <QPainter>

#include "hkl_text.h"
#include "hkl_window_commands.h"

namespace dorvalix {

namespace {}  // namespace

// --- The hkl table ---------------------------------------------------------------------

HklTableModel::HklTableModel(const HklState& state, QObject* parent)
    : QAbstractTableModel(parent), state_(state) {}

int HklTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || state_.grid_rows < 1 ? 0 : state_.grid_rows - 1;
}

int HklTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kHklColumns;
}

QVariant HklTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    const auto row = static_cast<std::size_t>(index.row());
    if (row >= state_.table.size()) return QString();
    return ToQ(HklCellText(state_.table[row], index.column()));
}

QVariant HklTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    if (section < 0 || section >= kHklColumns) return {};
    return QString::fromUtf8(kHklTableHeader[static_cast<std::size_t>(section)]);
}

Qt::ItemFlags HklTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void HklTableModel::Reset() {
    beginResetModel();
    endResetModel();
}

// --- Small text grids ----------------------------------------------------------------------

TextGridModel::TextGridModel(int rows, int columns, CellAccess cell, Editable editable,
                             QObject* parent)
    : QAbstractTableModel(parent),
      rows_(rows),
      columns_(columns),
      cell_(std::move(cell)),
      editable_(std::move(editable)) {}

int TextGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int TextGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant TextGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return ToQ(cell_(index.row(), index.column()));
}

Qt::ItemFlags TextGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable_ && editable_(index.row(), index.column())) f |= Qt::ItemIsEditable;
    return f;
}

bool TextGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) {
        return false;
    }
    cell_(index.row(), index.column()) = value.toString().toStdString();
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

void TextGridModel::Refresh() {
    emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
}

// --- Painting ---------------------------------------------------------------------------------

void PaintFixedCell(QPainter* painter, const QRect& rect, const QPalette& palette,
                    const QString& text) {
    painter->save();
    painter->fillRect(rect, palette.color(QPalette::Active, QPalette::Button));
    // A raised edge: light above and left, shadow below and right.
    painter->setPen(palette.color(QPalette::Active, QPalette::Light));
    painter->drawLine(rect.topLeft(), rect.topRight());
    painter->drawLine(rect.topLeft(), rect.bottomLeft());
    painter->setPen(palette.color(QPalette::Active, QPalette::Dark));
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->setClipRect(rect);
    painter->setPen(Qt::black);
    painter->drawText(rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
    painter->restore();
}

FixedCellDelegate::FixedCellDelegate(IsFixed isFixed, QColor valueColour, int dx, int dy,
                                     QObject* parent)
    : GridCellDelegate([valueColour](const QModelIndex&) { return valueColour; }, dx, dy, parent),
      isFixed_(std::move(isFixed)) {}

void FixedCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    if (isFixed_ && isFixed_(index)) {
        painter->save();
        painter->setFont(option.font);
        PaintFixedCell(painter, option.rect, option.palette,
                       index.data(Qt::DisplayRole).toString());
        painter->restore();
        return;
    }
    GridCellDelegate::paint(painter, option, index);
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    if (focusFrame_ && view && view->hasFocus() && view->currentIndex() == index) {
        painter->save();
        painter->setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
}

void HklTableDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const bool current = view && view->currentIndex() == index;
    const bool focused = view && view->hasFocus();
    painter->save();
    const bool highlighted = current && !focused;
    painter->fillRect(option.rect, highlighted
                                       ? option.palette.color(QPalette::Active, QPalette::Highlight)
                                       : kSilver);
    painter->setClipRect(option.rect);
    painter->setFont(option.font);
    painter->setPen(highlighted ? option.palette.color(QPalette::Active, QPalette::HighlightedText)
                                : QColor(Qt::black));
    painter->drawText(option.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                      index.data(Qt::DisplayRole).toString());
    if (current && focused) {
        QPen pen(Qt::black);
        pen.setStyle(Qt::DotLine);
        painter->setPen(pen);
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

int GridLineColourStyle::styleHint(StyleHint hint, const QStyleOption* option,
                                   const QWidget* widget, QStyleHintReturn* returnData) const {
    if (hint == SH_Table_GridLineColor) return static_cast<int>(colour_.rgba());
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

}  // namespace dorvalix
