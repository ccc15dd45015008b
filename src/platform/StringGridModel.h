// SPDX-License-Identifier: GPL-3.0-or-later
// The item model behind the string grid: grid row 0 is the heading row, shown
// as the horizontal header; grid rows 1.. are the model's rows 0...
#pragma once

#include "platform/StringGridStore.h"

#include <QAbstractTableModel>
#include <QColor>

namespace vandrel {

class StringGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit StringGridModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Grid addressing: row 0 is the heading row; the counts include it.
    int gridRows() const { return store_.rowCount(); }
    int gridCols() const { return cols_; }
    void setGridRows(int n);
    void setGridCols(int n);
    std::string_view cell(int col, int row) const;
    void setCell(int col, int row, std::string_view utf8);
    void setRow(int row, std::span<const std::string_view> cells);
    // As setRow, with the row laid out by StringGridStore::appendRecord.
    void setRowRecord(int row, std::string_view record);

    void setHeadingColor(const QColor &c);
    QColor headingColor() const { return headingColor_; }

    // While held, changes are stored but views hear nothing; release() tells
    // them everything at once (one insertion or removal, one data change).
    void hold();
    void release();
    bool held() const { return holds_ > 0; }

private:
    void publishRows();
    void publishCols();
    void cellChanged(int col, int row);
    void rowChanged(int row);

    StringGridStore store_;
    int cols_ = 0;
    int shownRows_ = 0; // model rows the views know of
    int shownCols_ = 0;
    int holds_ = 0;
    bool dirty_ = false; // cells changed while held
    QColor headingColor_;
};

} // namespace vandrel
