// SPDX-License-Identifier: GPL-3.0-or-later
// The sample table of a decoded set as texts: its headings, the cells of each
// row, and the lines a save of the whole table writes. QtCore only.
#pragma once

#include "datalogger/LoggerRecords.h"
#include "meter/ModelTraits.h"
#include "records/TableRow.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <string>

namespace vandrel {

// The model the table is laid out for; headings and decoding both follow it.
struct LoggerModel {
    int MeterModel = kUnidentifiedModel;
    char ModelSuffix = 0;
    // The samples carry a decoded T2: only the 580's (a 540 logs a third
    // value that is not decoded, so its table shows one temperature).
    bool decodesT2() const { return modelTraits(MeterModel).logsT2(); }
    // The table has column 9, filled where the samples have a dew point.
    bool dewPointColumn() const { return isDewPointVariant(ModelSuffix); }
    TableLayout layout() const { return {decodesT2(), decodesT2() && dewPointColumn()}; }
    bool operator==(const LoggerModel &) const = default;
};

// Minutes ":" seconds, each at least two digits: 90 s is "01:30", 6000 s "100:00".
QString intervalText(int seconds);

// Columns of the sample table, the row number included: a dew-point column
// only on the dew-point variants.
int sampleColumnCount(const LoggerModel &model);
QStringList sampleHeadings(const LoggerModel &model);

// The sampleColumnCount() cells of the table's rows, temperatures in the set's
// `unit`. Samples a few seconds or minutes apart share their date, so its text
// is made once a day rather than for every row.
class SampleRowCells {
public:
    SampleRowCells(char unit, const LoggerModel &model, const QLocale &locale = QLocale());
    // The cells of table row `row` for sample `s`.
    QStringList operator()(int row, const LoggerSample &s);

private:
    QString unit_;
    LoggerModel model_;
    QLocale locale_;
    QDate lastDate_;
    QString lastDateText_;
};

// Every row of a set's table as a table file holds it (columns 1 on, each
// cell followed by `sep`, CR LF line ends). A set without samples is one
// empty row, as its table shows one.
std::string sampleTableText(const DecodedSet &set, char unit, const LoggerModel &model, char sep,
                            const QLocale &locale = QLocale());

} // namespace vandrel
