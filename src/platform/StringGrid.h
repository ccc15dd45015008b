// SPDX-License-Identifier: GPL-3.0-or-later
// The string grid of our table windows: cells addressed (column, row) with
// row 0 as the fixed heading row, built to stay smooth with a million rows.
#pragma once

#include <QColor>
#include <QTableView>

#include <span>
#include <string_view>

namespace vandrel {

class StringGridModel;

// A rectangle of cells in grid coordinates (row 0 = heading row).
struct GridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool operator==(const GridRect &) const = default;
};

class StringGrid : public QTableView
{
    Q_OBJECT
public:
    // 5 columns and 5 rows, columns 64 and rows 24 pixels, range selection,
    // column sizing; no fixed column.
    explicit StringGrid(QWidget *parent = nullptr);
    ~StringGrid() override;

    QString Cells(int col, int row) const;
    // Out-of-range cells are ignored.
    void setCells(int col, int row, const QString &text);
    // The same cells as UTF-8, for bulk work without a QString per cell.
    std::string_view cellUtf8(int col, int row) const;
    // Replaces a whole row: columns 0.. from `cells` (extra ones dropped), the rest empty.
    void setRowUtf8(int row, std::span<const std::string_view> cells);
    // As setRowUtf8, with the row laid out by StringGridStore::appendRecord.
    void setRowRecord(int row, std::string_view record);

    // Counts include the heading row; at least 1 row and 1 column. New rows are empty.
    int RowCount() const;
    void setRowCount(int n);
    int ColCount() const;
    void setColCount(int n);

    // First visible data row (1-based) and the number of fully visible data rows.
    int TopRow() const;
    void setTopRow(int row);
    int VisibleRowCount() const;

    // Selected cells; with no selection, the current cell (or cell 0,1).
    GridRect Selection() const;
    void setSelection(const GridRect &r);

    bool RowSelect() const;
    void setRowSelect(bool on);
    bool ColSizing() const;
    void setColSizing(bool on);

    int ColWidths(int col) const;
    void setColWidths(int col, int width);
    int DefaultColWidth() const { return defaultColWidth_; }
    // Resets every column to the new width.
    void setDefaultColWidth(int width);
    int DefaultRowHeight() const;
    void setDefaultRowHeight(int height);
    QColor FixedColor() const;
    void setFixedColor(const QColor &c);

    // Bulk changes between these are not drawn; nesting is allowed.
    void beginUpdate();
    void endUpdate();

    StringGridModel *gridModel() const { return model_; }

signals:
    // A cell was clicked or the keyboard moved to it (grid coordinates).
    void cellClicked(int col, int row);

protected:
    using QTableView::setSelection;
    void keyPressEvent(QKeyEvent *event) override;
    // A cell or heading too narrow for its text shows it cut with an
    // ellipsis, and whole in a tool tip.
    bool viewportEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void emitClick(const QModelIndex &index);
    // The whole text of a cut-off cell (row 0: the heading) at a column, or
    // an empty text where it shows whole.
    QString cutOffText(int col, int row) const;

    StringGridModel *model_;
    int defaultColWidth_ = 64;
};

} // namespace vandrel
