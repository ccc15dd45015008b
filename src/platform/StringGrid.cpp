// SPDX-License-Identifier: GPL-3.0-or-later
// String grid widget: a table view over the compact grid model, with the
// addressing, scrolling and selection of the classic string grid.
#include "platform/StringGrid.h"

#include "platform/StringGridModel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QHelpEvent>
#include <QScrollBar>
#include <QToolTip>

namespace vandrel {

namespace {

std::string_view viewOf(const QByteArray &b) { return {b.constData(), static_cast<std::size_t>(b.size())}; }

} // namespace

StringGrid::StringGrid(QWidget *parent) : QTableView(parent), model_(new StringGridModel(this))
{
    setModel(model_);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(ContiguousSelection);
    setSelectionBehavior(SelectItems);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setCornerButtonEnabled(false);
    // One scroll step per row keeps TopRow equal to the scroll position,
    // and fixed row heights spare the view from measuring rows.
    setVerticalScrollMode(ScrollPerItem);
    QHeaderView *v = verticalHeader();
    v->hide();
    v->setSectionResizeMode(QHeaderView::Fixed);
    v->setMinimumSectionSize(1);
    QHeaderView *h = horizontalHeader();
    h->setHighlightSections(false);
    h->setSectionsClickable(false);
    h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    h->setMinimumSectionSize(1);
    h->setDefaultSectionSize(defaultColWidth_);
    h->setSectionResizeMode(QHeaderView::Interactive);
    h->setTextElideMode(Qt::ElideRight);
    h->viewport()->installEventFilter(this);
    setDefaultRowHeight(24);
    setColCount(5);
    setRowCount(5);
    connect(this, &QTableView::clicked, this, &StringGrid::emitClick);
}

StringGrid::~StringGrid() = default;

QString StringGrid::cutOffText(int col, int row) const
{
    // The style's margins on either side of a cell's or heading's text.
    constexpr int margins = 8;
    const QString text = Cells(col, row);
    const QFontMetrics metrics = row == 0 ? horizontalHeader()->fontMetrics() : fontMetrics();
    return metrics.horizontalAdvance(text) + margins > columnWidth(col) ? text : QString();
}

bool StringGrid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString text = index.isValid() ? cutOffText(index.column(), index.row() + 1) : QString();
        if (!text.isEmpty()) {
            QToolTip::showText(help->globalPos(), text, viewport());
            return true;
        }
    }
    return QTableView::viewportEvent(event);
}

bool StringGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == horizontalHeader()->viewport() && event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int col = horizontalHeader()->logicalIndexAt(help->pos());
        const QString text = col >= 0 ? cutOffText(col, 0) : QString();
        if (!text.isEmpty()) {
            QToolTip::showText(help->globalPos(), text, horizontalHeader()->viewport());
            return true;
        }
    }
    return QTableView::eventFilter(watched, event);
}

QString StringGrid::Cells(int col, int row) const
{
    const std::string_view t = model_->cell(col, row);
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

void StringGrid::setCells(int col, int row, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    model_->setCell(col, row, viewOf(utf8));
}

std::string_view StringGrid::cellUtf8(int col, int row) const
{
    return model_->cell(col, row);
}

void StringGrid::setRowUtf8(int row, std::span<const std::string_view> cells)
{
    model_->setRow(row, cells);
}

void StringGrid::setRowRecord(int row, std::string_view record)
{
    model_->setRowRecord(row, record);
}

int StringGrid::RowCount() const
{
    return model_->gridRows();
}

void StringGrid::setRowCount(int n)
{
    model_->setGridRows(n);
}

int StringGrid::ColCount() const
{
    return model_->gridCols();
}

void StringGrid::setColCount(int n)
{
    model_->setGridCols(n);
}

int StringGrid::TopRow() const
{
    const int top = verticalScrollBar()->value() + 1;
    return std::clamp(top, 1, std::max(1, RowCount() - 1));
}

void StringGrid::setTopRow(int row)
{
    // The scroll range follows the row count only after a layout pass.
    const_cast<StringGrid *>(this)->updateGeometries();
    verticalScrollBar()->setValue(std::max(0, row - 1));
}

int StringGrid::VisibleRowCount() const
{
    const int fit = viewport()->height() / std::max(1, DefaultRowHeight());
    return std::max(0, std::min(fit, RowCount() - TopRow()));
}

GridRect StringGrid::Selection() const
{
    const QItemSelection sel = selectionModel()->selection();
    GridRect r;
    if (!sel.isEmpty()) {
        r = {sel.first().left(), sel.first().top() + 1, sel.first().right(), sel.first().bottom() + 1};
        for (const QItemSelectionRange &s : sel) {
            r.Left = std::min(r.Left, s.left());
            r.Top = std::min(r.Top, s.top() + 1);
            r.Right = std::max(r.Right, s.right());
            r.Bottom = std::max(r.Bottom, s.bottom() + 1);
        }
        return r;
    }
    const QModelIndex cur = currentIndex();
    if (cur.isValid())
        r = {cur.column(), cur.row() + 1, cur.column(), cur.row() + 1};
    else
        r = {0, 1, 0, 1};
    if (RowSelect())
        r.Left = 0, r.Right = ColCount() - 1;
    return r;
}

void StringGrid::setSelection(const GridRect &r)
{
    const int lastRow = model_->rowCount() - 1;
    const int lastCol = model_->columnCount() - 1;
    if (lastRow < 0 || lastCol < 0)
        return;
    const int top = std::clamp(std::min(r.Top, r.Bottom) - 1, 0, lastRow);
    const int bottom = std::clamp(std::max(r.Top, r.Bottom) - 1, 0, lastRow);
    int left = std::clamp(std::min(r.Left, r.Right), 0, lastCol);
    int right = std::clamp(std::max(r.Left, r.Right), 0, lastCol);
    if (RowSelect())
        left = 0, right = lastCol;
    const QModelIndex first = model_->index(top, left);
    selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    selectionModel()->select(QItemSelection(first, model_->index(bottom, right)),
                             QItemSelectionModel::ClearAndSelect);
}

bool StringGrid::RowSelect() const
{
    return selectionBehavior() == SelectRows;
}

void StringGrid::setRowSelect(bool on)
{
    setSelectionBehavior(on ? SelectRows : SelectItems);
    // Keep what was selected, widened to whole rows or narrowed to its first cell.
    const QModelIndex cur = currentIndex();
    if (cur.isValid())
        setSelection(GridRect{cur.column(), cur.row() + 1, cur.column(), cur.row() + 1});
}

bool StringGrid::ColSizing() const
{
    return horizontalHeader()->sectionResizeMode(0) == QHeaderView::Interactive;
}

void StringGrid::setColSizing(bool on)
{
    horizontalHeader()->setSectionResizeMode(on ? QHeaderView::Interactive : QHeaderView::Fixed);
}

int StringGrid::ColWidths(int col) const
{
    return horizontalHeader()->sectionSize(col);
}

void StringGrid::setColWidths(int col, int width)
{
    if (col >= 0 && col < ColCount())
        horizontalHeader()->resizeSection(col, std::max(0, width));
}

void StringGrid::setDefaultColWidth(int width)
{
    defaultColWidth_ = std::max(1, width);
    QHeaderView *h = horizontalHeader();
    h->setDefaultSectionSize(defaultColWidth_);
    for (int c = 0; c < h->count(); ++c)
        h->resizeSection(c, defaultColWidth_);
}

int StringGrid::DefaultRowHeight() const
{
    return verticalHeader()->defaultSectionSize();
}

void StringGrid::setDefaultRowHeight(int height)
{
    height = std::max(1, height);
    verticalHeader()->setDefaultSectionSize(height);
    // The heading row is as tall as the others.
    horizontalHeader()->setFixedHeight(height);
}

QColor StringGrid::FixedColor() const
{
    return model_->headingColor();
}

void StringGrid::setFixedColor(const QColor &c)
{
    model_->setHeadingColor(c);
    horizontalHeader()->viewport()->update();
}

void StringGrid::beginUpdate()
{
    if (!model_->held())
        setUpdatesEnabled(false);
    model_->hold();
}

void StringGrid::endUpdate()
{
    if (!model_->held())
        return;
    model_->release();
    if (!model_->held()) {
        setUpdatesEnabled(true);
        viewport()->update();
    }
}

void StringGrid::keyPressEvent(QKeyEvent *event)
{
    const QModelIndex before = currentIndex();
    QTableView::keyPressEvent(event);
    if (currentIndex() != before && currentIndex().isValid())
        emitClick(currentIndex());
}

void StringGrid::emitClick(const QModelIndex &index)
{
    if (index.isValid())
        emit cellClicked(index.column(), index.row() + 1);
}

} // namespace vandrel
