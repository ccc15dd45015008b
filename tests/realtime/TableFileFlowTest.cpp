// SPDX-License-Identifier: GPL-3.0-or-later
// The save and open flows through their real code, with the dialogs replaced
// by a script: round trips, every cancel, bad ranges, files that fail.
#include "FailingDisk.h"
#include "platform/StringGrid.h"
#include "realtime/TableFileDialogs.h"
#include "realtime/TfrmScope.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace vandrel;

namespace {

// Plays the user: fixed answers, and records what the flow showed.
class ScriptedUi : public TableFileUi
{
public:
    QString saveName;
    QString openName;
    std::optional<RangeChoice> range = RangeChoice{};
    int cancelAtCheck = -1; // the progress window's Cancel is seen from this check on

    int rangeAsked = 0;
    int rangeLastRow = -1;
    QStringList messages;
    int progressMaximum = -1;
    bool progressOpen = false;
    int lastReport = -1;
    int checks = 0;

    QString askSaveFileName() override { return saveName; }
    QString askOpenFileName() override { return openName; }
    std::optional<RangeChoice> askRange(int lastRow) override
    {
        ++rangeAsked;
        rangeLastRow = lastRow;
        return range;
    }
    void showMessage(const QString &text) override { messages << text; }
    std::unique_ptr<TableFileProgress> showProgress(Work, int maximum) override;
};

class ScriptedProgress : public TableFileProgress
{
public:
    explicit ScriptedProgress(ScriptedUi &ui) : ui_(ui) { ui_.progressOpen = true; }
    ~ScriptedProgress() override { ui_.progressOpen = false; }
    void report(int count) override { ui_.lastReport = count; }
    bool cancelled() override { return ui_.cancelAtCheck >= 0 && ++ui_.checks > ui_.cancelAtCheck; }

private:
    ScriptedUi &ui_;
};

std::unique_ptr<TableFileProgress> ScriptedUi::showProgress(Work, int maximum)
{
    progressMaximum = maximum;
    return std::make_unique<ScriptedProgress>(*this);
}

// A table window's grid: 10 columns, rows numbered in column 0.
std::unique_ptr<StringGrid> tableGrid(int rows)
{
    auto g = std::make_unique<StringGrid>();
    g->setColCount(10);
    g->setRowCount(rows + 1);
    for (int r = 1; r <= rows; ++r) {
        g->setCells(0, r, QString::number(r));
        const QString cells[] = {"06/12/2026", QStringLiteral("13:05:%1").arg(r, 2, 10, QLatin1Char('0')),
                                 QStringLiteral("4%1.6").arg(r % 10), "%RH", "21.3", "C", "19.8", "C", "9.2"};
        for (int c = 1; c < 10; ++c)
            g->setCells(c, r, cells[c - 1]);
    }
    return g;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The real dialogs with their questions answered: the progress window is real.
class AnsweredDialogs : public TableFileDialogs
{
public:
    explicit AnsweredDialogs(QString file) : TableFileDialogs(nullptr), file_(std::move(file)) {}
    QString askSaveFileName() override { return file_; }
    std::optional<RangeChoice> askRange(int) override { return RangeChoice{}; }
    void showMessage(const QString &text) override { messages << text; }
    QStringList messages;

private:
    QString file_;
};

TfrmScope *visibleScope()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *s = qobject_cast<TfrmScope *>(w); s && s->isVisible())
            return s;
    }
    return nullptr;
}

class TableFileFlow : public ::testing::Test
{
protected:
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    // Opens `file` through the flow into a fresh table grid.
    QString open(const QString &file)
    {
        ui.openName = file;
        return openTable(ui, [this](const QString &p) {
            madeFor = p;
            opened = std::make_unique<StringGrid>();
            opened->setColCount(10);
            opened->setRowCount(2);
            return opened.get();
        });
    }

    QTemporaryDir dir;
    ScriptedUi ui;
    std::unique_ptr<StringGrid> opened;
    QString madeFor;
};

} // namespace

TEST_F(TableFileFlow, SaveAllWritesEveryRowAndReadsBackTheSameCells)
{
    const auto grid = tableGrid(3);
    for (const char *name : {"t.csv", "t.txt"}) {
        ui.saveName = path(name);
        ASSERT_TRUE(saveTable(*grid, ui)) << name;
        EXPECT_EQ(ui.rangeLastRow, 3);
        EXPECT_EQ(ui.progressMaximum, 3);
        EXPECT_EQ(ui.lastReport, 3);
        EXPECT_FALSE(ui.progressOpen);
        const char sep = name[2] == 'c' ? ',' : '\t';
        QByteArray expected;
        for (int r = 1; r <= 3; ++r) {
            for (int c = 1; c < 10; ++c)
                expected += grid->Cells(c, r).toUtf8() + sep;
            expected += "\r\n";
        }
        EXPECT_EQ(fileBytes(ui.saveName), expected) << name;

        EXPECT_EQ(open(ui.saveName), ui.saveName);
        EXPECT_EQ(madeFor, ui.saveName);
        ASSERT_EQ(opened->RowCount(), 4);
        for (int r = 1; r <= 3; ++r)
            for (int c = 0; c < 10; ++c)
                EXPECT_EQ(opened->Cells(c, r), grid->Cells(c, r)) << name << " " << c << "," << r;
        EXPECT_EQ(opened->Cells(5, 0), "T1");
        EXPECT_EQ(opened->Cells(9, 0), "Dewpoint");
        EXPECT_TRUE(ui.messages.isEmpty());
    }
}

TEST_F(TableFileFlow, DecimalCommaValuesSurviveACommaSeparatedFile)
{
    auto grid = tableGrid(2);
    grid->setCells(3, 1, "45,6");
    grid->setCells(5, 2, "-0,5");
    ui.saveName = path("comma.csv");
    ASSERT_TRUE(saveTable(*grid, ui));
    open(ui.saveName);
    for (int r = 1; r <= 2; ++r)
        for (int c = 1; c < 10; ++c)
            EXPECT_EQ(opened->Cells(c, r), grid->Cells(c, r));
}

TEST_F(TableFileFlow, SelectedRangeWritesOnlyThoseRows)
{
    const auto grid = tableGrid(10);
    struct Case {
        const char *from;
        const char *to;
        int first;
        int last;
    };
    const Case cases[] = {{"5", "2", 2, 5}, {"-3", "20", 3, 10}, {"0", "1", 1, 1}, {"12", "15", 1, 0}};
    ui.saveName = path("range.txt");
    for (const Case &c : cases) {
        ui.range = RangeChoice{false, c.from, c.to};
        ASSERT_TRUE(saveTable(*grid, ui));
        const QList<QByteArray> lines = fileBytes(ui.saveName).split('\n');
        ASSERT_EQ(lines.size(), c.last - c.first + 2) << c.from; // the last split is empty
        for (int r = c.first; r <= c.last; ++r)
            EXPECT_TRUE(lines[r - c.first].startsWith(grid->Cells(1, r).toUtf8() + "\t" + grid->Cells(2, r).toUtf8()));
    }
}

TEST_F(TableFileFlow, EveryCancelAndBadRangeLeavesTheFileAloneAndIsNotASave)
{
    const auto grid = tableGrid(600);
    const QString file = path("kept.csv");
    const QByteArray old = "old,content,\r\n";
    struct Step {
        const char *name;
        std::function<void(ScriptedUi &)> arrange;
        QStringList messages;
    };
    const Step steps[] = {
        {"file dialog", [](ScriptedUi &u) { u.saveName.clear(); }, {}},
        {"range dialog", [](ScriptedUi &u) { u.range.reset(); }, {}},
        {"invalid integer", [](ScriptedUi &u) { u.range = RangeChoice{false, "1", "ten"}; }, {"invalid integer"}},
        {"progress at once", [](ScriptedUi &u) { u.cancelAtCheck = 0; }, {}},
        {"progress midway", [](ScriptedUi &u) { u.cancelAtCheck = 300; }, {}},
    };
    for (const Step &s : steps) {
        writeFile(file, old);
        ScriptedUi u;
        u.saveName = file;
        s.arrange(u);
        EXPECT_FALSE(saveTable(*grid, u)) << s.name;
        EXPECT_EQ(fileBytes(file), old) << s.name;
        EXPECT_EQ(u.messages, s.messages) << s.name;
        EXPECT_FALSE(u.progressOpen) << s.name;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"kept.csv"}) << s.name;
    }
}

TEST_F(TableFileFlow, UnwritableFileIsNamedWithItsReason)
{
    const auto grid = tableGrid(2);
    ui.saveName = path("no-such-folder/t.csv");
    EXPECT_FALSE(saveTable(*grid, ui));
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].contains(QDir::toNativeSeparators(ui.saveName))) << ui.messages[0].toStdString();
    EXPECT_TRUE(ui.messages[0].contains("No such file or directory")) << ui.messages[0].toStdString();
    EXPECT_FALSE(ui.progressOpen);
}

// A disk that fails at any step of a save, the last ones included (where a
// small table's bytes first meet the disk): the save says so with the
// system's reason, is no save, and leaves the old file, or no file, as it was
// with nothing beside it.
TEST_F(TableFileFlow, ADiskFailingAtAnyStepLeavesTheOldFileAndSaysWhy)
{
    using Step = test::FailingDisk::Step;
    const auto grid = tableGrid(3);
    const QByteArray old = "old,content,\r\n";
    const struct {
        Step step;
        int error;
        const char *reason;
        bool oldFile;
    } cases[] = {
        {Step::Write, ENOSPC, "No space left on device", true},
        {Step::TornWrite, ENOSPC, "No space left on device", true},
        {Step::Sync, EIO, "Input/output error", true},
        {Step::Close, EDQUOT, "Disk quota exceeded", true},
        {Step::Rename, EACCES, "Permission denied", true},
        {Step::Sync, ENOSPC, "No space left on device", false},
    };
    for (const auto &c : cases) {
        const QString file = path(c.oldFile ? "kept.csv" : "new.csv");
        QFile::remove(file);
        if (c.oldFile)
            writeFile(file, old);
        test::FailingDisk disk;
        disk.failAt = c.step;
        disk.error = c.error;
        ScriptedUi u;
        u.saveName = file;
        const std::string name = std::string(c.reason) + (c.oldFile ? " over a file" : " to a new name");
        EXPECT_FALSE(saveTable(*grid, u, disk.calls())) << name;
        EXPECT_EQ(fileBytes(file), c.oldFile ? old : QByteArray("<missing>")) << name;
        ASSERT_EQ(u.messages.size(), 1) << name;
        EXPECT_TRUE(u.messages[0].contains(QDir::toNativeSeparators(file))) << name;
        EXPECT_TRUE(u.messages[0].contains(c.reason)) << u.messages[0].toStdString();
        // kept.csv only: the old file of the cases before, nothing half-made.
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.csv"}) << name;
    }
    // The disk working again: the old file is replaced, every byte synced first.
    test::FailingDisk disk;
    ui.saveName = path("kept.csv");
    EXPECT_TRUE(saveTable(*grid, ui, disk.calls()));
    EXPECT_EQ(fileBytes(ui.saveName).count("\r\n"), 3);
    EXPECT_EQ(disk.steps.back(), 's');
}

TEST_F(TableFileFlow, OpenCancelledOrUnreadableMakesNoTable)
{
    EXPECT_EQ(open(QString()), QString());
    EXPECT_EQ(opened, nullptr);
    EXPECT_TRUE(ui.messages.isEmpty());

    const QString missing = path("missing.txt");
    EXPECT_EQ(open(missing), QString());
    EXPECT_EQ(opened, nullptr);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].contains(QDir::toNativeSeparators(missing)));
    EXPECT_TRUE(ui.messages[0].contains("No such file or directory")) << ui.messages[0].toStdString();
    EXPECT_FALSE(ui.progressOpen);
}

TEST_F(TableFileFlow, OpenGrowsTheGridAndChoosesHeadingsByColumnSeven)
{
    const QString file = path("one-temp.csv");
    writeFile(file, "15/06/2009,14:30:00,45.3,%RH,25.0,C,,,\r\n"
                    "15/06/2009,14:30:10,OL,%RH,25.1,C,,,\r\n");
    EXPECT_EQ(open(file), file);
    EXPECT_EQ(opened->RowCount(), 3);
    EXPECT_EQ(opened->Cells(0, 2), "2");
    EXPECT_EQ(opened->Cells(3, 2), "OL");
    EXPECT_EQ(opened->Cells(9, 1), "");
    const QString headings[] = {"Temperature", "UNIT", "", "", ""};
    for (int c = 5; c <= 9; ++c)
        EXPECT_EQ(opened->Cells(c, 0), headings[c - 5]) << c;
    EXPECT_EQ(ui.lastReport, 2);

    // An empty file keeps the window's one empty row.
    const QString empty = path("empty.txt");
    writeFile(empty, "");
    EXPECT_EQ(open(empty), empty);
    EXPECT_EQ(opened->RowCount(), 2);
    EXPECT_EQ(opened->Cells(1, 1), "");
}

TEST_F(TableFileFlow, CancelWhileOpeningKeepsTheRowsReadSoFar)
{
    const auto grid = tableGrid(50);
    ui.saveName = path("fifty.txt");
    ASSERT_TRUE(saveTable(*grid, ui));
    ui.cancelAtCheck = 20;
    ui.checks = 0;
    EXPECT_EQ(open(ui.saveName), ui.saveName);
    EXPECT_EQ(opened->RowCount(), 21);
    EXPECT_EQ(opened->Cells(2, 20), grid->Cells(2, 20));
    EXPECT_FALSE(ui.progressOpen);
}

TEST_F(TableFileFlow, CancelInTheRealProgressWindowStopsTheSave)
{
    const auto grid = tableGrid(2000);
    const QString file = path("real.csv");
    writeFile(file, "old,\r\n");
    AnsweredDialogs real(file);
    QString title, text;
    int maximum = -1;
    // Runs while the progress window lets events through, as a click would.
    QTimer::singleShot(0, [&] {
        if (TfrmScope *s = visibleScope()) {
            title = s->windowTitle();
            text = s->SText1->text();
            maximum = s->Progress1->maximum();
            s->BitBtn2->click();
        }
    });
    EXPECT_FALSE(saveTable(*grid, real));
    EXPECT_EQ(title, "Saving Progress");
    EXPECT_EQ(text, "saving.....");
    EXPECT_EQ(maximum, 2000);
    EXPECT_EQ(fileBytes(file), "old,\r\n");
    EXPECT_TRUE(real.messages.isEmpty());
    EXPECT_EQ(visibleScope(), nullptr);

    // Left alone, the same save completes and the window goes away.
    EXPECT_TRUE(saveTable(*grid, real));
    EXPECT_EQ(fileBytes(file).count('\n'), 2000);
    EXPECT_EQ(visibleScope(), nullptr);
}

TEST(TableFileDialogTexts, FiltersKeepTheirDescriptionsWhole)
{
    EXPECT_EQ(tableNameFilters(QString::fromLatin1(SaveTableFilter)),
              (QStringList{"TXT File(seperated by tab)[*.txt] (*.txt)", "CSV File(seperated by comma )[*.csv] (*.csv)",
                           "All Files[*.*] (*)"}));
    EXPECT_EQ(tableNameFilters(QString::fromLatin1(OpenTableFilter)).value(1),
              "CSV Files (seperated by comma)[*.csv] (*.csv)");
}

// File dialogs start where the user chose a file last, else in the documents
// folder; never in the program's own folder (/usr/bin once installed).
TEST(FileDialogFolder, LastUsedThenDocumentsNeverTheProgramsFolder)
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    QDir(home.path()).mkpath(QStringLiteral("Documents"));
    QTemporaryDir used;
    EXPECT_EQ(fileDialogStartFolder(used.path()), used.path());
    const QString fallback = fileDialogStartFolder(used.path() + QStringLiteral("/gone"));
    EXPECT_NE(fallback, QCoreApplication::applicationDirPath());
    EXPECT_TRUE(fallback.startsWith(home.path())) << fallback.toStdString();
    EXPECT_TRUE(QFileInfo(fileDialogStartFolder(QString())).isDir());
    qputenv("HOME", oldHome);
}
