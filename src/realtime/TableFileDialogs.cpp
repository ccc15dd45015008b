// SPDX-License-Identifier: GPL-3.0-or-later
// The save and open flows of table files, their dialogs, and the row-by-row
// file work between a grid and a device.
#include "realtime/TableFileDialogs.h"
#include "platform/MessageBoxes.h"

#include "platform/SafeSaveFile.h"
#include "platform/StringGrid.h"
#include "records/TableRow.h"
#include "realtime/TfrmScope.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QStandardPaths>
#include <QPushButton>
#include <QRadioButton>

#include <limits>

namespace vandrel {

const char *const SaveTableFilter =
    "TXT File(seperated by tab)[*.txt]|*.txt|CSV File(seperated by comma )[*.csv]|*.csv|All Files[*.*]|*.*";
const char *const OpenTableFilter =
    "TXT Files (seperated by tab)[*.txt]|*.txt|CSV Files (seperated by comma)[*.csv]|*.csv|All Files [*.*]|*.*";

namespace {

// Bytes gathered before each write to the device.
constexpr std::size_t WriteChunk = 256 * 1024;
// Rows the grid is grown by at a time while a file is read.
constexpr int GrowRows = 64 * 1024;

// Progress is shown, and clicks let through, a few dozen times a second at
// most: doing it for every one of a million rows would cost more than the rows.
class Pacer
{
public:
    bool due(int count)
    {
        if (count > 1 && (count & 255) != 0)
            return false;
        if (timer_.isValid() && timer_.elapsed() < 40)
            return false;
        timer_.start();
        return true;
    }

private:
    QElapsedTimer timer_;
};

bool writeAll(QIODevice &out, const std::string &bytes)
{
    return out.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
}

QString cannotWrite(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot write the file %1.\n%2").arg(QDir::toNativeSeparators(path), reason);
}

QString cannotRead(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot read the file %1.\n%2").arg(QDir::toNativeSeparators(path), reason);
}

// A shared small dialog used as progress window. It is application-modal
// while shown, so Cancel is the only thing the user can reach: nothing else
// can close the table or change it under the running loop.
class ScopeProgress : public TableFileProgress
{
public:
    ScopeProgress(QWidget *parent, TableFileUi::Work work, int maximum) : work_(work), scope_(parent)
    {
        if (work == TableFileUi::Work::Saving) {
            scope_.setWindowTitle(QStringLiteral("Saving Progress"));
            scope_.Progress1->setRange(0, std::max(0, maximum));
            scope_.Progress1->setValue(0);
            scope_.Progress1->show();
            scope_.SText1->setText(QStringLiteral("saving....."));
        } else {
            scope_.setWindowTitle(QStringLiteral("Open Progress"));
            scope_.SText1->setText(QStringLiteral("0"));
        }
        scope_.SText1->adjustSize();
        scope_.SText1->show();
        scope_.BitBtn2->show();
        scope_.setWindowModality(Qt::ApplicationModal);
        scope_.show();
        scope_.setModalResult(TfrmScope::mrNone);
        QCoreApplication::processEvents();
    }
    ~ScopeProgress() override { scope_.close(); }

    void report(int count) override
    {
        if (work_ == TableFileUi::Work::Saving) {
            scope_.Progress1->setValue(count);
        } else {
            scope_.SText1->setText(QString::number(count));
            scope_.SText1->adjustSize();
        }
        QCoreApplication::processEvents();
    }
    bool cancelled() override { return scope_.modalResult() == TfrmScope::mrCancel; }

private:
    TableFileUi::Work work_;
    TfrmScope scope_;
};

} // namespace

QStringList tableNameFilters(const QString &pairs)
{
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        // "*.*" would skip names without a dot here; all files are meant.
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
        filters << parts[i] + QStringLiteral(" (") + pattern.replace(QLatin1Char(';'), QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}

QString fileDialogStartFolder(const QString &lastUsed)
{
    if (!lastUsed.isEmpty() && QFileInfo(lastUsed).isDir())
        return lastUsed;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString TableFileDialogs::chosen(const QString &file)
{
    if (lastFolder_ && !file.isEmpty())
        *lastFolder_ = QFileInfo(file).absolutePath();
    return file;
}

QString TableFileDialogs::askSaveFileName()
{
    QFileDialog d(parent_, QString(), fileDialogStartFolder(lastFolder_ ? *lastFolder_ : QString()));
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setFileMode(QFileDialog::AnyFile);
    d.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = tableNameFilters(QString::fromLatin1(SaveTableFilter));
    d.setNameFilters(filters);
    d.setDefaultSuffix(QStringLiteral("csv"));
    // A name typed without extension takes the chosen type's; "All Files" keeps csv.
    QObject::connect(&d, &QFileDialog::filterSelected, &d, [&d, filters](const QString &f) {
        d.setDefaultSuffix(f == filters.value(0) ? QStringLiteral("txt") : QStringLiteral("csv"));
    });
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
        return {};
    return chosen(d.selectedFiles().constFirst());
}

QString TableFileDialogs::askOpenFileName()
{
    QFileDialog d(parent_, QString(), fileDialogStartFolder(lastFolder_ ? *lastFolder_ : QString()));
    d.setAcceptMode(QFileDialog::AcceptOpen);
    d.setFileMode(QFileDialog::ExistingFile);
    d.setOption(QFileDialog::HideNameFilterDetails);
    d.setNameFilters(tableNameFilters(QString::fromLatin1(OpenTableFilter)));
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
        return {};
    return chosen(d.selectedFiles().constFirst());
}

void prepareRangeDialog(TfrmScope &scope, int lastRow)
{
    scope.setWindowTitle(QStringLiteral("Save File"));
    for (QWidget *w : {static_cast<QWidget *>(scope.GroupBox1), static_cast<QWidget *>(scope.radAll),
                       static_cast<QWidget *>(scope.radNo), static_cast<QWidget *>(scope.Label1),
                       static_cast<QWidget *>(scope.edtSelFrom), static_cast<QWidget *>(scope.Label2),
                       static_cast<QWidget *>(scope.edtSelTo), static_cast<QWidget *>(scope.BitBtn1),
                       static_cast<QWidget *>(scope.BitBtn2)})
        w->show();
    scope.edtSelFrom->setText(QStringLiteral("1"));
    scope.edtSelTo->setText(QString::number(lastRow));
    // The row numbers count only for "Select": with "All" they cannot be edited.
    const auto follow = [&scope] {
        for (QWidget *w : {static_cast<QWidget *>(scope.Label1), static_cast<QWidget *>(scope.edtSelFrom),
                           static_cast<QWidget *>(scope.Label2), static_cast<QWidget *>(scope.edtSelTo)})
            w->setEnabled(scope.radNo->isChecked());
    };
    QObject::connect(scope.radNo, &QRadioButton::toggled, &scope, follow);
    follow();
}

std::optional<RangeChoice> TableFileDialogs::askRange(int lastRow)
{
    TfrmScope scope(parent_);
    prepareRangeDialog(scope, lastRow);
    if (scope.exec() != TfrmScope::mrOk)
        return std::nullopt;
    return RangeChoice{scope.radAll->isChecked(), scope.edtSelFrom->text(), scope.edtSelTo->text()};
}

void TableFileDialogs::showMessage(const QString &text)
{
    // Each of these messages says why something could not be done.
    showMessageBox(parent_, MessageKind::Warning, text);
}

std::unique_ptr<TableFileProgress> TableFileDialogs::showProgress(Work work, int maximum)
{
    return std::make_unique<ScopeProgress>(parent_, work, maximum);
}

TableIoResult writeTableRows(QIODevice &out, const StringGrid &grid, SaveRange range, char sep,
                             TableFileProgress *progress)
{
    TableIoResult r;
    std::vector<std::string_view> cells(static_cast<std::size_t>(std::max(0, grid.ColCount() - 1)));
    std::string buffer;
    buffer.reserve(WriteChunk + 4096);
    Pacer pacer;
    for (int row = range.from; row <= range.to; ++row) {
        ++r.rows;
        if (progress && pacer.due(r.rows))
            progress->report(r.rows);
        for (std::size_t c = 0; c < cells.size(); ++c)
            cells[c] = grid.cellUtf8(static_cast<int>(c) + 1, row);
        appendTableLine(buffer, cells, sep);
        if (buffer.size() >= WriteChunk) {
            if (!writeAll(out, buffer)) {
                r.error = out.errorString();
                return r;
            }
            buffer.clear();
        }
        if (progress && progress->cancelled()) {
            r.cancelled = true;
            return r;
        }
    }
    if (!writeAll(out, buffer)) {
        r.error = out.errorString();
        return r;
    }
    if (progress)
        progress->report(r.rows);
    r.complete = true;
    return r;
}

TableIoResult readTableRows(QIODevice &in, StringGrid &grid, char sep, TableFileProgress *progress)
{
    TableIoResult r;
    TableRowReadAhead reader(in, sep, std::max(0, grid.ColCount() - 1));
    std::string_view record;
    Pacer pacer;
    // The grid grows ahead in steps and is cut back to the rows read at the end:
    // growing it row by row costs more than storing a row.
    const int rowsBefore = grid.RowCount();
    int room = rowsBefore;
    while (reader.nextRow(record)) {
        if (progress && progress->cancelled()) {
            r.cancelled = true;
            break;
        }
        const int n = ++r.rows;
        if (progress && pacer.due(n))
            progress->report(n);
        if (room - 1 < n) {
            room = n < std::numeric_limits<int>::max() - GrowRows ? n + GrowRows : std::numeric_limits<int>::max();
            grid.setRowCount(room);
        }
        if (!record.empty()) // else a grid of one column: nothing of the line has a place
            grid.setRowRecord(n, record);
    }
    if (room != rowsBefore)
        grid.setRowCount(std::max(rowsBefore, r.rows + 1));
    if (progress)
        progress->report(r.rows);
    if (reader.failed())
        r.error = reader.errorString();
    else
        r.complete = !r.cancelled;
    return r;
}

void applyOpenedTableHeadings(StringGrid &grid)
{
    const QStringList headings = openedTableHeadings(grid.cellUtf8(ColT2, 1).empty());
    for (qsizetype i = 0; i < headings.size(); ++i)
        grid.setCells(OpenedHeadingsFirstColumn + static_cast<int>(i), 0, headings[i]);
}

bool saveTable(const StringGrid &grid, TableFileUi &ui, const DiskCalls &calls)
{
    const QString path = ui.askSaveFileName();
    if (path.isEmpty())
        return false;
    // Counted after the file dialog: a table that grew meanwhile offers all its rows.
    const int lastRow = grid.RowCount() - 1;
    const std::optional<RangeChoice> choice = ui.askRange(lastRow);
    if (!choice)
        return false;
    const std::optional<SaveRange> range = saveRange(choice->all, choice->fromText, choice->toText, lastRow);
    if (!range) {
        ui.showMessage(QStringLiteral("invalid integer"));
        return false;
    }
    std::unique_ptr<TableFileProgress> progress =
        ui.showProgress(TableFileUi::Work::Saving, std::max(0, range->to - range->from + 1));
    // Written beside the old file and put in its place only when every byte
    // is on the disk, so a cancelled or failed save never leaves a half-written
    // or empty table behind, nor touches the old one.
    SafeSaveFile file(path, calls);
    if (!file.open(QIODevice::WriteOnly)) {
        progress.reset();
        ui.showMessage(cannotWrite(path, file.errorString()));
        return false;
    }
    const TableIoResult r = writeTableRows(file, grid, *range, tableSeparator(path), progress.get());
    progress.reset();
    if (!r.complete) {
        file.cancelWriting();
        if (!r.cancelled)
            ui.showMessage(cannotWrite(path, r.error));
        return false;
    }
    if (!file.commit()) {
        ui.showMessage(cannotWrite(path, file.errorString()));
        return false;
    }
    return true;
}

bool saveTableWithDialogs(QWidget *parent, const StringGrid &grid)
{
    TableFileDialogs ui(parent);
    return saveTable(grid, ui);
}

QString openTable(TableFileUi &ui, const TableGridFactory &makeGrid)
{
    const QString path = ui.askOpenFileName();
    if (path.isEmpty())
        return {};
    std::unique_ptr<TableFileProgress> progress = ui.showProgress(TableFileUi::Work::Opening, 0);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        progress.reset();
        ui.showMessage(cannotRead(path, file.errorString()));
        return {};
    }
    StringGrid *grid = makeGrid ? makeGrid(path) : nullptr;
    if (!grid)
        return {};
    grid->beginUpdate();
    const TableIoResult r = readTableRows(file, *grid, tableSeparator(path), progress.get());
    file.close();
    progress.reset();
    applyOpenedTableHeadings(*grid);
    grid->endUpdate();
    if (!r.error.isEmpty())
        ui.showMessage(cannotRead(path, r.error));
    return path;
}

QString openTableWithDialogs(QWidget *parent, const TableGridFactory &makeGrid)
{
    TableFileDialogs ui(parent);
    return openTable(ui, makeGrid);
}

} // namespace vandrel
