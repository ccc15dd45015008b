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
    // Printed at the top of every page (the table window's caption).
    QString title;
};

// One printed line. `page` counts from 1; `y` is the top of the line in
// device units. `repeatedHeading`: the heading row again at the top of a
// page after the first.
struct PrintLine {
    int page = 1;
    int y = kPrintTopY;
    QString text;
    bool repeatedHeading = false;
    bool operator==(const PrintLine &) const = default;
};

// Above the lines, in the top margin of every page: the table's title and
// the page number.
inline constexpr int kPrintTitleY = 0;
// A printout of more pages than this is asked about before it starts.
inline constexpr int kPrintPagesWithoutAsking = 500;

// Lines on one page of `pageHeight` device units: the whole lines that fit
// below the top margin, rounded down to a multiple of 10 for even pages;
// on pages too short for 10 lines, as many as fit, and never fewer than one.
int PrintLinesPerPage(int pageHeight);

// The pages a printout of `rowCount` rows fills (fewer when an "empty" row
// ends it early): what its progress window counts towards. Every page after
// the first begins with the heading row again (unless a page has room for
// one line only), so it holds one table row less.
int PrintPageCount(int rowCount, int pageHeight);

// The progress window's line while `page` of `pages` is being printed.
QString PrintProgressText(int page, int pages);
// The page number printed at the top right of every page.
QString PrintPageNumberText(int page, int pages);
// The question asked before a printout of more than 500 pages.
QString PrintLongPrintoutQuestion(int pages);

// The printed text of one row: each cell padded with spaces to 12 characters.
QString PrintRowText(const PrintCells &cells, int row);

// Calls `onLine` for each printed line in order, rows 0.. (the heading row
// again first on every later page) until the first line that contains
// "empty" (not printed) or the end of the table. `onLine` returns false to
// stop early.
void ForEachPrintLine(const PrintCells &cells, int pageHeight,
                      const std::function<bool(const PrintLine &)> &onLine);

// All printed lines of a table on pages of `pageHeight` device units.
std::vector<PrintLine> LayoutPrintLines(const PrintCells &cells, int pageHeight);

} // namespace vandrel
