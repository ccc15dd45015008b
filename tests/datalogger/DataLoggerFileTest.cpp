// SPDX-License-Identifier: GPL-3.0-or-later
// A data-logger table as a table file: what the Save command writes for the
// shown set, reading it back as a table, and when Save takes this table.
#include "DataLoggerTestSets.h"

#include "datalogger/DataLoggerCommand.h"
#include "datalogger/LoadData.h"
#include "datalogger/TfrmDataLogger.h"
#include "platform/StringGrid.h"
#include "realtime/Printing.h"
#include "realtime/TableFileDialogs.h"
#include "records/TableRow.h"

#include <QBuffer>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vandrel;
using namespace vandrel::testsets;

namespace {

class FixedUi : public TableFileUi {
public:
    QString name;
    QString askSaveFileName() override { return name; }
    QString askOpenFileName() override { return {}; }
    std::optional<RangeChoice> askRange(int) override { return RangeChoice{}; }
    void showMessage(const QString &) override {}
    std::unique_ptr<TableFileProgress> showProgress(Work, int) override { return nullptr; }
};

struct Saved {
    DataLoggerState state;
    QTemporaryDir dir;
    TfrmDataLogger w;
    Saved(int model, char suffix, const QByteArray &set) : w(state, {model, suffix})
    {
        w.decodeProgress = {};
        if (buildTable(state.Table, model, {set}) == kSetTableAccepted)
            w.showDataSets();
        state.LoggerDataUnsaved = true;
    }
    QByteArray save(const QString &fileName, bool *ok = nullptr)
    {
        FixedUi ui;
        ui.name = dir.filePath(fileName);
        const bool saved = saveDataLoggerTable(w, state, ui);
        if (ok)
            *ok = saved;
        QFile f(ui.name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

QByteArray line(const QStringList &fields, char sep)
{
    QByteArray out;
    for (const QString &f : fields)
        out += f.toUtf8() + sep;
    return out + "\r\n";
}

} // namespace

TEST(DataLoggerFile, ASetIsWrittenAsEightFieldsPerSampleWithTheChosenSeparator)
{
    Saved s(560, 0, workedExampleSet());
    const QString date = tableDate(QDate(2009, 6, 15));
    auto expected = [&](char sep) {
        return line({date, "14:30:00", "45.3", "%RH", "25.0", "C", "", ""}, sep) +
               line({date, "14:31:00", "OL", "%RH", "-10.0", "C", "", ""}, sep) +
               line({date, "14:32:00", "45.3", "%RH", "25.0", "C", "", ""}, sep);
    };
    bool ok = false;
    EXPECT_EQ(s.save("set.csv", &ok), expected(','));
    EXPECT_TRUE(ok);
    EXPECT_FALSE(s.state.LoggerDataUnsaved);
    EXPECT_EQ(s.save("set.txt"), expected('\t'));

    int asked = 0;
    s.w.askSave = [&] { ++asked; return QMessageBox::Cancel; };
    EXPECT_TRUE(s.w.close()) << "saved data closes without the question";
    EXPECT_EQ(asked, 0);
}

TEST(DataLoggerFile, ACancelledSaveLeavesTheDataUnsaved)
{
    Saved s(560, 0, workedExampleSet());
    FixedUi cancelled; // no file name chosen
    EXPECT_FALSE(saveDataLoggerTable(s.w, s.state, cancelled));
    EXPECT_TRUE(s.state.LoggerDataUnsaved);
}

TEST(DataLoggerFile, ReadsBackAsATableWithHeadingsByWhatItHolds)
{
    struct Case {
        int model;
        char suffix;
        QByteArray set;
        QStringList headings; // columns 5..9
        int fields;
    };
    const Case cases[] = {
        {560, 0, workedExampleSet(), {"Temperature", "UNIT", "", ""}, 8},
        {580, 'D', twoTemperatureSet(), {"T1", "UNIT", "T2", "UNIT", "Dewpoint"}, 9},
    };
    for (const Case &c : cases) {
        Saved s(c.model, c.suffix, c.set);
        QByteArray bytes = s.save("set.txt");
        EXPECT_EQ(bytes.left(bytes.indexOf("\r\n")).count('\t'), c.fields) << c.model;
        QBuffer in(&bytes);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        StringGrid grid;
        grid.setColCount(kTableColumns);
        const TableIoResult read = readTableRows(in, grid, '\t', nullptr);
        ASSERT_TRUE(read.complete);
        applyOpenedTableHeadings(grid);
        ASSERT_EQ(read.rows, s.w.Grid1->RowCount() - 1);
        for (int col = 1; col < s.w.Grid1->ColCount(); ++col)
            EXPECT_EQ(grid.Cells(col, 2), s.w.Grid1->Cells(col, 2)) << c.model << " column " << col;
        for (int i = 0; i < c.headings.size(); ++i)
            EXPECT_EQ(grid.Cells(5 + i, 0), c.headings.at(i)) << c.model << " heading " << 5 + i;
    }
}

TEST(SaveCommandChoice, TakesTheLoggerTableWhenActiveOrWhenItsDataIsUnsaved)
{
    DataLoggerState state;
    QMdiArea area;
    TfrmDataLogger *w = new TfrmDataLogger(state, {560, 0});
    QMdiSubWindow *frame = w->showIn(area, kDataLoggerCaption, {}, QSize(738, 570));
    QWidget other;
    EXPECT_EQ(dataLoggerOf(frame), w);

    struct Case {
        const char *what;
        SaveCommandContext save;
        bool unsaved;
        TfrmDataLogger *window;
        StringGrid *taken;
    };
    const Case cases[] = {
        {"its frame is active", {.activeChild = frame}, false, w, w->Grid1},
        {"it is active, whatever else",
         {.activeChild = w, .tableWindowActive = true, .saveFromPrompt = true}, false, w, w->Grid1},
        {"nothing unsaved", {.activeChild = &other}, false, w, nullptr},
        {"unsaved, another window active", {.activeChild = &other}, true, w, w->Grid1},
        {"unsaved, no window active", {}, true, w, w->Grid1},
        {"a table window is active", {.activeChild = &other, .tableWindowActive = true}, true, w, nullptr},
        {"a real-time save is pending", {.activeChild = &other, .saveFromPrompt = true}, true, w, nullptr},
        {"no data-logger window", {.activeChild = &other}, true, nullptr, nullptr},
    };
    for (const Case &c : cases) {
        state.LoggerDataUnsaved = c.unsaved;
        EXPECT_EQ(dataLoggerGridToSave(c.save, state, c.window), c.taken) << c.what;
    }
}

TEST(DataLoggerPrintout, ThePrintCommandPrintsTheShownSetsTable)
{
    DataLoggerState state;
    QMdiArea area;
    TfrmDataLogger *w = new TfrmDataLogger(state, {560, 0});
    QMdiSubWindow *frame = w->showIn(area, kDataLoggerCaption, {}, QSize(738, 570));
    EXPECT_EQ(printoutOf(frame).grid, w->Grid1);
    EXPECT_EQ(printoutOf(frame).chart, nullptr);
    EXPECT_EQ(printoutOf(w).grid, w->Grid1);
    QWidget other;
    EXPECT_EQ(printoutOf(&other).grid, nullptr);
    EXPECT_EQ(printoutOf(nullptr).grid, nullptr);
}
