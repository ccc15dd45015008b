// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing a table window (the real-time table or one read from a file) as a
// new graph window, with the message box and progress window behind an interface.
#pragma once

#include <QLocale>
#include <QString>

#include <memory>
#include <optional>

class QMdiArea;
class QWidget;

namespace vandrel {

class MeterChart;
class StringGrid;
class TfrmGraph;
class TfrmList;

// Y values of an overload mark: drawn at the far edge of the scale.
constexpr double kOverloadY = 6553.5;

// The graphing progress window. Closing it is the destructor's job.
class GraphingProgress
{
public:
    virtual ~GraphingProgress() = default;
    // Row `row` is being drawn; lets pending window messages through.
    virtual void report(int row) = 0;
};

// What drawing a table asks of the user.
class OutputGraphUi
{
public:
    virtual ~OutputGraphUi() = default;
    virtual void showMessage(const QString &text) = 0;
    // Rows 1..maximum will be drawn.
    virtual std::unique_ptr<GraphingProgress> showProgress(int maximum) = 0;
};

// The real message box and progress window.
class OutputGraphDialogs : public OutputGraphUi
{
public:
    explicit OutputGraphDialogs(QWidget *parent) : parent_(parent) {}
    void showMessage(const QString &text) override;
    std::unique_ptr<GraphingProgress> showProgress(int maximum) override;

private:
    QWidget *parent_;
};

// The Y value of a number cell: "OL" and "-OL" as the far edges, anything
// else as a number in `locale`; nothing for a text that is not a number.
std::optional<double> graphCellValue(const QString &text, const QLocale &locale = QLocale());
// The date-time (days since 30 December 1899) of a row's date and time cells,
// the date as readTableDate reads it and the time as "HH:mm:ss"; nothing when
// they are not one.
std::optional<double> tableDateTime(const QString &date, const QString &time, const QLocale &locale = QLocale());

// Draws the rows of `table` into a new graph window in `area` that takes the
// table's caption, and returns that window. Returns null, making no window,
// when the table has no data. When the first or last row holds no valid date
// and time, the message says so and the returned window stays empty.
// Cells that are not numbers leave their point out. `locale` gives the date
// format and the decimal separator the table was written with.
TfrmGraph *OutputToGraph(QMdiArea &area, TfrmList &table, OutputGraphUi &ui, const QLocale &locale = QLocale());
// The same with the real dialogs, parented to `parent`.
TfrmGraph *OutputToGraphWithDialogs(QWidget *parent, QMdiArea &area, TfrmList &table);

} // namespace vandrel
