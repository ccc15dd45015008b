// SPDX-License-Identifier: GPL-3.0-or-later
// Item model of the string grid over the compact row store; holds back its
// signals during bulk updates and tells the views everything at the end.
#include "platform/StringGridModel.h"

#include <QBrush>

namespace vandrel {

StringGridModel::StringGridModel(QObject *parent) : QAbstractTableModel(parent)
{
    // The heading row always exists, and so does one column.
    store_.resizeRows(1);
    cols_ = shownCols_ = 1;
}

int StringGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : shownRows_;
}

int StringGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : shownCols_;
}

QVariant StringGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole) {
        const std::string_view t = cell(index.column(), index.row() + 1);
        return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

QVariant StringGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole: {
        const std::string_view t = cell(section, 0);
        return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    case Qt::BackgroundRole:
        return headingColor_.isValid() ? QVariant(QBrush(headingColor_)) : QVariant();
    default:
        return {};
    }
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

std::string_view StringGridModel::cell(int col, int row) const
{
    if (col < 0 || col >= cols_)
        return {};
    return store_.cell(col, row);
}

void StringGridModel::setGridRows(int n)
{
    store_.resizeRows(std::max(1, n));
    if (!held())
        publishRows();
}

void StringGridModel::setGridCols(int n)
{
    cols_ = std::max(1, n);
    if (!held())
        publishCols();
}

void StringGridModel::setCell(int col, int row, std::string_view utf8)
{
    if (col < 0 || col >= cols_ || row < 0 || row >= gridRows())
        return;
    store_.setCell(col, row, utf8);
    cellChanged(col, row);
}

void StringGridModel::setRow(int row, std::span<const std::string_view> cells)
{
    if (row < 0 || row >= gridRows())
        return;
    if (cells.size() > static_cast<std::size_t>(cols_))
        cells = cells.first(static_cast<std::size_t>(cols_));
    store_.setRow(row, cells);
    rowChanged(row);
}

void StringGridModel::setRowRecord(int row, std::string_view record)
{
    if (row < 0 || row >= gridRows())
        return;
    store_.setRowRecord(row, record);
    if (store_.storedCells(row) > cols_) {
        // Cells beyond the last column are not kept, as setRow drops them.
        std::vector<std::string_view> cells(static_cast<std::size_t>(cols_));
        for (int c = 0; c < cols_; ++c)
            cells[static_cast<std::size_t>(c)] = store_.cell(c, row);
        store_.setRow(row, cells);
    }
    rowChanged(row);
}

void StringGridModel::rowChanged(int row)
{
    if (held())
        dirty_ = true;
    else if (row == 0)
        emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
    else
        emit dataChanged(index(row - 1, 0), index(row - 1, cols_ - 1), {Qt::DisplayRole});
}

void StringGridModel::cellChanged(int col, int row)
{
    if (held())
        dirty_ = true;
    else if (row == 0)
        emit headerDataChanged(Qt::Horizontal, col, col);
    else
        emit dataChanged(index(row - 1, col), index(row - 1, col), {Qt::DisplayRole});
}

void StringGridModel::setHeadingColor(const QColor &c)
{
    headingColor_ = c;
    if (cols_ > 0 && !held())
        emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
}

void StringGridModel::publishRows()
{
    const int rows = gridRows() - 1;
    if (rows > shownRows_) {
        beginInsertRows({}, shownRows_, rows - 1);
        shownRows_ = rows;
        endInsertRows();
    } else if (rows < shownRows_) {
        beginRemoveRows({}, rows, shownRows_ - 1);
        shownRows_ = rows;
        endRemoveRows();
    }
}

void StringGridModel::publishCols()
{
    if (cols_ > shownCols_) {
        beginInsertColumns({}, shownCols_, cols_ - 1);
        shownCols_ = cols_;
        endInsertColumns();
    } else if (cols_ < shownCols_) {
        beginRemoveColumns({}, cols_, shownCols_ - 1);
        shownCols_ = cols_;
        endRemoveColumns();
    }
}

void StringGridModel::hold()
{
    ++holds_;
}

void StringGridModel::release()
{
    if (holds_ == 0 || --holds_ > 0)
        return;
    // Rows the views still know from before the hold may have changed text.
    const int oldRows = shownRows_;
    publishCols();
    publishRows();
    if (dirty_) {
        dirty_ = false;
        emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
        const int changed = std::min(oldRows, shownRows_);
        if (changed > 0)
            emit dataChanged(index(0, 0), index(changed - 1, cols_ - 1), {Qt::DisplayRole});
    }
}

} // namespace vandrel
