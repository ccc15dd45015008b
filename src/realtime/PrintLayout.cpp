// SPDX-License-Identifier: GPL-3.0-or-later
// The paging and line-building rules of a table printout, without a printer.
#include "realtime/PrintLayout.h"

#include <algorithm>

namespace vandrel {

int PrintLinesPerPage(int pageHeight)
{
    // A line's top may not lie on or below the bottom edge, so the line that
    // would start exactly at the page height does not count: with 6000 units
    // it would be cut off entirely and its row lost from the paper.
    const int fitting = pageHeight / kPrintLineHeight - kPrintTopY / kPrintLineHeight;
    if (fitting >= 10)
        return fitting / 10 * 10;
    // Rounding down to tens would leave no line at all; print what fits, and
    // on an absurdly short page one line per page rather than none.
    return std::max(fitting, 1);
}

namespace {

// The table rows on each page after the heading row, or 0 where the heading
// is not repeated: a page of one line would hold nothing else.
int rowsUnderHeading(int perPage)
{
    return perPage >= 2 ? perPage - 1 : 0;
}

} // namespace

int PrintPageCount(int rowCount, int pageHeight)
{
    if (rowCount <= 0)
        return 0;
    const int perPage = PrintLinesPerPage(pageHeight);
    const int under = rowsUnderHeading(perPage);
    if (under == 0)
        return static_cast<int>((static_cast<qint64>(rowCount) + perPage - 1) / perPage);
    if (rowCount == 1)
        return 1;
    return static_cast<int>((static_cast<qint64>(rowCount) - 1 + under - 1) / under);
}

QString PrintPageNumberText(int page, int pages)
{
    return QStringLiteral("page %1 of %2").arg(page).arg(pages);
}

QString PrintLongPrintoutQuestion(int pages)
{
    return QStringLiteral("This printout takes %1 pages.\nPrint all of them ?").arg(pages);
}

QString PrintProgressText(int page, int pages)
{
    return QStringLiteral("Printing page %1 of %2").arg(page).arg(pages);
}

QString PrintRowText(const PrintCells &cells, int row)
{
    QString line;
    line.reserve(cells.colCount * kPrintCellWidth);
    for (int col = 0; col < cells.colCount; ++col) {
        const QString text = cells.cell(col, row);
        line += text;
        if (text.size() < kPrintCellWidth)
            line += QString(kPrintCellWidth - text.size(), QLatin1Char(' '));
    }
    return line;
}

void ForEachPrintLine(const PrintCells &cells, int pageHeight,
                      const std::function<bool(const PrintLine &)> &onLine)
{
    const int perPage = PrintLinesPerPage(pageHeight);
    const int under = rowsUnderHeading(perPage);
    const QLatin1String stop(kPrintStopText);
    QString heading;
    for (int row = 0; row < cells.rowCount; ++row) {
        const QString text = PrintRowText(cells, row);
        if (text.contains(stop, Qt::CaseSensitive))
            return;
        if (row == 0)
            heading = text;
        // Page 1 holds the heading and the first rows; every later page the
        // heading again, then the next rows, so a page read alone still says
        // what each column holds.
        int page = row / perPage + 1;
        int slot = row % perPage;
        if (under > 0 && row > 0) {
            page = (row - 1) / under + 1;
            slot = (row - 1) % under + 1;
            if (page > 1 && slot == 1 && !onLine({page, kPrintTopY, heading, true}))
                return;
        }
        if (!onLine({page, slot * kPrintLineHeight + kPrintTopY, text}))
            return;
    }
}

std::vector<PrintLine> LayoutPrintLines(const PrintCells &cells, int pageHeight)
{
    std::vector<PrintLine> lines;
    ForEachPrintLine(cells, pageHeight, [&lines](const PrintLine &line) {
        lines.push_back(line);
        return true;
    });
    return lines;
}

} // namespace vandrel
