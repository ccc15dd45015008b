// SPDX-License-Identifier: GPL-3.0-or-later
// Saving a grid's rows to a table file and opening a table file into a grid,
// with the file, range and progress dialogs kept behind a small interface.
#pragma once

#include "platform/SafeSaveFile.h"
#include "records/TableFile.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QIODevice;
class QWidget;

namespace vandrel {

class StringGrid;

// The file dialogs' filters as the user reads them ("description|pattern|...").
extern const char *const SaveTableFilter;
extern const char *const OpenTableFilter;
// The same as name filters of the file dialog, the descriptions kept whole.
QStringList tableNameFilters(const QString &pairs);

// Where a file dialog starts: the folder used last when it is still there,
// else the user's documents folder, else the home folder; never the program's
// own folder, which is /usr/bin once installed.
QString fileDialogStartFolder(const QString &lastUsed);

// The answer of the range dialog.
struct RangeChoice {
    bool all = true;
    QString fromText;
    QString toText;
};

// A progress window while rows are saved or read.
class TableFileProgress
{
public:
    virtual ~TableFileProgress() = default; // closes the window
    // Rows started (saving) or lines read (opening) so far; lets the user's clicks through.
    virtual void report(int count) = 0;
    // True once the user asked to stop.
    virtual bool cancelled() = 0;
};

// Everything a save or an open asks of the user.
class TableFileUi
{
public:
    enum class Work { Saving, Opening };
    virtual ~TableFileUi() = default;
    // Empty when the user cancelled.
    virtual QString askSaveFileName() = 0;
    virtual QString askOpenFileName() = 0;
    // Nothing when the user cancelled.
    virtual std::optional<RangeChoice> askRange(int lastRow) = 0;
    virtual void showMessage(const QString &text) = 0;
    // `maximum`: rows to save; unused when opening.
    virtual std::unique_ptr<TableFileProgress> showProgress(Work work, int maximum) = 0;
};

class TfrmScope;
// Makes `scope` the range dialog of a save: its caption, the range box with
// rows 1..`lastRow` entered, and the OK and Cancel buttons shown.
void prepareRangeDialog(TfrmScope &scope, int lastRow);

// The real dialogs.
class TableFileDialogs : public TableFileUi
{
public:
    // `lastFolder` (kept by the caller, may be null) is where the dialogs
    // start, and becomes the folder of the file chosen.
    explicit TableFileDialogs(QWidget *parent, QString *lastFolder = nullptr)
        : parent_(parent), lastFolder_(lastFolder)
    {
    }
    QString askSaveFileName() override;
    QString askOpenFileName() override;
    std::optional<RangeChoice> askRange(int lastRow) override;
    void showMessage(const QString &text) override;
    std::unique_ptr<TableFileProgress> showProgress(Work work, int maximum) override;

private:
    QString chosen(const QString &file);

    QWidget *parent_;
    QString *lastFolder_;
};

// The file work without dialogs. `complete` only when every row went through.
struct TableIoResult {
    bool complete = false;
    bool cancelled = false;
    int rows = 0;  // rows written or read
    QString error; // the device's reason when it failed
};
// Rows range.from..range.to, columns 1.. of each.
TableIoResult writeTableRows(QIODevice &out, const StringGrid &grid, SaveRange range, char sep,
                             TableFileProgress *progress);
// Lines into rows 1.. (row numbers in column 0), the grid growing as needed.
TableIoResult readTableRows(QIODevice &in, StringGrid &grid, char sep, TableFileProgress *progress);
// Headings of columns 5.. by what the file held in cell (7, 1).
void applyOpenedTableHeadings(StringGrid &grid);

// Asks for a file and a range and writes the rows. True only when the file was
// completely written and is on the disk; a cancel at any step or a failure
// leaves any existing file as it was and returns false, a failure after telling
// the user why. `calls` carry the bytes to the disk.
bool saveTable(const StringGrid &grid, TableFileUi &ui, const DiskCalls &calls = systemDiskCalls());
bool saveTableWithDialogs(QWidget *parent, const StringGrid &grid);

// Makes the table window for an opened file and returns its grid (or null to
// give up). Called only once the file is open.
using TableGridFactory = std::function<StringGrid *(const QString &path)>;
// Asks for a file and reads it into the grid `makeGrid` gives. Returns the
// path, or empty when cancelled at the file dialog or the file cannot be read
// (then no grid is made). Cancel in the progress window keeps the rows read so far.
QString openTable(TableFileUi &ui, const TableGridFactory &makeGrid);
QString openTableWithDialogs(QWidget *parent, const TableGridFactory &makeGrid);

} // namespace vandrel
