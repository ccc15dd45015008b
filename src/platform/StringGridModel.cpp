// SPDX-License-Identifier: GPL-3.0-or-later
// Item model of the string grid over the compact row store; holds back its
// signals during bulk updates and tells the views everything at the end.
#include "platform/StringGridModel.h"

#include <QBrush>

namespace vandrel {

StringGridModel::StringGridModel(QObject *parent) : QAbstractTableModel(parent)
{
    // The heading row always exists, and so does one column.
    m_store.resizeRows(1);
    m_cols = m_shownCols = 1;
}

int StringGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shownRows;
}

int StringGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shownCols;
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
        return m_headingColor.isValid() ? QVariant(QBrush(m_headingColor)) : QVariant();
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
    if (col < 0 || col >= m_cols)
        return {};
    return m_store.cell(col, row);
}

void StringGridModel::setGridRows(int n)
{
    m_store.resizeRows(std::max(1, n));
    if (!held())
        publishRows();
}

void StringGridModel::setGridCols(int n)
{
    m_cols = std::max(1, n);
    if (!held())
        publishCols();
}

void StringGridModel::setCell(int col, int row, std::string_view utf8)
{
    if (col < 0 || col >= m_cols || row < 0 || row >= gridRows())
        return;
    m_store.setCell(col, row, utf8);
    cellChanged(col, row);
}

void StringGridModel::setRow(int row, std::span<const std::string_view> cells)
{
    if (row < 0 || row >= gridRows())
        return;
    if (cells.size() > static_cast<std::size_t>(m_cols))
        cells = cells.first(static_cast<std::size_t>(m_cols));
    m_store.setRow(row, cells);
    rowChanged(row);
}

void StringGridModel::setRowRecord(int row, std::string_view record)
{
    if (row < 0 || row >= gridRows())
        return;
    m_store.setRowRecord(row, record);
    if (m_store.storedCells(row) > m_cols) {
        // Cells beyond the last column are not kept, as setRow drops them.
        std::vector<std::string_view> cells(static_cast<std::size_t>(m_cols));
        for (int c = 0; c < m_cols; ++c)
            cells[static_cast<std::size_t>(c)] = m_store.cell(c, row);
        m_store.setRow(row, cells);
    }
    rowChanged(row);
}

void StringGridModel::rowChanged(int row)
{
    if (held())
        m_dirty = true;
    else if (row == 0)
        emit headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
    else
        emit dataChanged(index(row - 1, 0), index(row - 1, m_cols - 1), {Qt::DisplayRole});
}

void StringGridModel::cellChanged(int col, int row)
{
    if (held())
        m_dirty = true;
    else if (row == 0)
        emit headerDataChanged(Qt::Horizontal, col, col);
    else
        emit dataChanged(index(row - 1, col), index(row - 1, col), {Qt::DisplayRole});
}

void StringGridModel::setHeadingColor(const QColor &c)
{
    m_headingColor = c;
    if (m_cols > 0 && !held())
        emit headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
}

void StringGridModel::publishRows()
{
    const int rows = gridRows() - 1;
    if (rows > m_shownRows) {
        beginInsertRows({}, m_shownRows, rows - 1);
        m_shownRows = rows;
        endInsertRows();
    } else if (rows < m_shownRows) {
        beginRemoveRows({}, rows, m_shownRows - 1);
        m_shownRows = rows;
        endRemoveRows();
    }
}

void StringGridModel::publishCols()
{
    if (m_cols > m_shownCols) {
        beginInsertColumns({}, m_shownCols, m_cols - 1);
        m_shownCols = m_cols;
        endInsertColumns();
    } else if (m_cols < m_shownCols) {
        beginRemoveColumns({}, m_cols, m_shownCols - 1);
        m_shownCols = m_cols;
        endRemoveColumns();
    }
}

void StringGridModel::hold()
{
    ++m_holds;
}

void StringGridModel::release()
{
    if (m_holds == 0 || --m_holds > 0)
        return;
    // Rows the views still know from before the hold may have changed text.
    const int oldRows = m_shownRows;
    publishCols();
    publishRows();
    if (m_dirty) {
        m_dirty = false;
        emit headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
        const int changed = std::min(oldRows, m_shownRows);
        if (changed > 0)
            emit dataChanged(index(0, 0), index(changed - 1, m_cols - 1), {Qt::DisplayRole});
    }
}

} // namespace vandrel
