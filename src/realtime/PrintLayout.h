// SPDX-License-Identifier: GPL-3.0-or-later
// Where each row of a table printout goes: its text line, its page and its
// height on the page. Pure (QtCore only), so the paging rules test without a printer.
#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace vandrel {

// A table printout is plain text lines 100 device units apart, starting 100
// units from the top of every page and 1 unit from the left edge.
inline constexpr int kPrintLineHeight = 100;
inline constexpr int kPrintTopY = 100;
inline constexpr int kPrintLeftX = 1;
// Every cell takes at least this many characters; longer texts are kept whole.
inline constexpr int kPrintCellWidth = 12;
// A row whose line contains this (case-sensitive) ends the printout.
inline constexpr const char *kPrintStopText = "empty";

// The cells of a table as the printout reads them; row 0 is the heading row.
struct PrintCells {
    int rowCount = 0;
    int colCount = 0;
    std::function<QString(int col, int row)> cell;
};

// One printed line. `page` counts from 1; `y` is the top of the line in device units.
struct PrintLine {
    int page = 1;
    int y = kPrintTopY;
    QString text;
    bool operator==(const PrintLine &) const = default;
};

// Lines on one page of `pageHeight` device units: the whole lines that fit
// below the top margin, rounded down to a multiple of 10 for even pages;
// on pages too short for 10 lines, as many as fit, and never fewer than one.
int PrintLinesPerPage(int pageHeight);

// The pages a printout of `rowCount` rows fills (fewer when an "empty" row
// ends it early): what its progress window counts towards.
int PrintPageCount(int rowCount, int pageHeight);

// The progress window's line while `page` of `pages` is being printed.
QString PrintProgressText(int page, int pages);

// The printed text of one row: each cell padded with spaces to 12 characters.
QString PrintRowText(const PrintCells &cells, int row);

// Calls `onLine` for each printed line in order, rows 0.. until the first line
// that contains "empty" (not printed) or the end of the table. `onLine` returns
// false to stop early.
void ForEachPrintLine(const PrintCells &cells, int pageHeight,
                      const std::function<bool(const PrintLine &)> &onLine);

// All printed lines of a table on pages of `pageHeight` device units.
std::vector<PrintLine> LayoutPrintLines(const PrintCells &cells, int pageHeight);

} // namespace vandrel
