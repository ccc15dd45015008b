// SPDX-License-Identifier: GPL-3.0-or-later
// The report as a reader gets it: every figure of its tables found in the
// text of the PDF (through pdftotext), the CSV file holding the same tables,
// and a report that cannot be written saying why and leaving no file behind.
#include "insight/RecordSources.h"
#include "insight/ReportPdf.h"

#include "FailingDisk.h"
#include "records/TableRow.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace vandrel;

namespace {

// Two days and a bit of readings every 30 minutes, two hours of them missing;
// humidity rises past 65 %RH twice, T1 stays under 25 °C but for one reading,
// one reading overloads.
QByteArray twoDays()
{
    QByteArray out;
    const QLocale c = QLocale::c();
    for (int i = 0; i < 110; ++i) {
        if (i >= 60 && i < 64)
            continue;
        const QDateTime t = QDateTime(QDate(2026, 12, 6), QTime(8, 0)).addSecs(1800LL * i);
        const double rh = i >= 20 && i < 30 ? 70 + (i % 3) : (i >= 70 && i < 74 ? 68 : 50 + (i % 7));
        const double t1 = i == 50 ? 26.5 : 20 + 0.1 * (i % 11);
        const QByteArray t1Text = i == 90 ? QByteArray("OL") : c.toString(t1, 'f', 1).toLatin1();
        out += tableDate(t.date(), c).toLatin1() + '\t' + t.time().toString(QStringLiteral("HH:mm:ss")).toLatin1() +
               '\t' + c.toString(rh, 'f', 1).toLatin1() + "\t%RH\t" + t1Text + "\tC\t" +
               c.toString(t1 - 6, 'f', 1).toLatin1() + "\tC\t" + c.toString(t1 - 9, 'f', 1).toLatin1() + "\t\r\n";
    }
    return out;
}

ReportInput input()
{
    QByteArray bytes = twoDays();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const RecordFile file = readRecordFile(buffer, '\t', QLocale::c());
    ReportInput in;
    in.header = {QStringLiteral("—"), QStringLiteral("File: cellar.txt")};
    in.record = file.record;
    QString error;
    EXPECT_TRUE(readLimitsText(QStringLiteral("rh=:65/2/600"), in.options, error)) << error.toStdString();
    EXPECT_TRUE(readLimitsText(QStringLiteral("t1=10:25"), in.options, error)) << error.toStdString();
    return in;
}

// Without white space, and with the letters a PDF may join (ﬁ) apart again.
QString squeezed(QString s)
{
    s = s.normalized(QString::NormalizationForm_KC);
    s.remove(QRegularExpression(QStringLiteral("\\s")));
    return s;
}

// A row as a CSV line: a cell holding a comma or a quote goes in quotes.
QString csvLine(const QStringList &row)
{
    QString out;
    for (QString cell : row) {
        if (cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')))
            cell = QLatin1Char('"') + cell.replace(QStringLiteral("\""), QStringLiteral("\"\"")) + QLatin1Char('"');
        out += cell + QLatin1Char(',');
    }
    return out + QStringLiteral("\r\n");
}

} // namespace

TEST(Report, ThePdfAndTheCsvHoldEveryFigureOfTheTables)
{
    QTemporaryDir dir;
    const ReportInput in = input();
    const ReportTables tables = reportTables(in, QLocale::c());
    ASSERT_TRUE(tables.showDaily);
    ASSERT_EQ(tables.crossings.rows.size(), 4); // humidity twice, T1 once and once overloaded
    ASSERT_EQ(tables.gaps.rows.size(), 1);
    QString error;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    const QString csv = dir.filePath(QStringLiteral("report.csv"));
    ASSERT_TRUE(writeReportPdf(pdf, in, tables, ReportPaper::A4, error)) << error.toStdString();
    ASSERT_TRUE(writeReportCsv(csv, tables, error)) << error.toStdString();

    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(60000));
    ASSERT_EQ(text.exitCode(), 0) << text.readAllStandardError().toStdString();
    const QString pdfText = squeezed(QString::fromUtf8(text.readAllStandardOutput()));
    QFile csvFile(csv);
    ASSERT_TRUE(csvFile.open(QIODevice::ReadOnly));
    const QString csvText = QString::fromUtf8(csvFile.readAll());

    for (const TextTable &t : tables.all()) {
        EXPECT_TRUE(pdfText.contains(squeezed(t.title))) << t.title.toStdString();
        for (const QStringList &row : t.rows) {
            for (const QString &cell : row) {
                EXPECT_TRUE(pdfText.contains(squeezed(cell)))
                    << "not in the PDF: " << cell.toStdString() << " (" << t.title.toStdString() << ")";
            }
            EXPECT_TRUE(csvText.contains(csvLine(row))) << "not in the CSV: " << csvLine(row).toStdString();
        }
        for (const QString &note : t.notes) {
            EXPECT_TRUE(pdfText.contains(squeezed(note))) << "not in the PDF: " << note.toStdString();
            EXPECT_TRUE(csvText.contains(csvLine({note}))) << "not in the CSV: " << note.toStdString();
        }
    }
}

TEST(Report, AReportThatCannotBeWrittenSaysWhyAndLeavesNoFile)
{
    struct Case {
        const char *what;
        const char *name;
        test::FailingDisk::Step failAt;
        const char *reason;
    };
    const Case cases[] = {
        {"a folder that does not exist", "missing/report.pdf", test::FailingDisk::Step::None, "No such file"},
        {"a full disk", "report.pdf", test::FailingDisk::Step::Write, "No space left on device"},
        {"a disk that fails to keep the bytes", "report.pdf", test::FailingDisk::Step::Sync, "No space left on device"},
    };
    const ReportInput in = input();
    const ReportTables tables = reportTables(in, QLocale::c());
    for (const Case &c : cases) {
        for (const bool asPdf : {true, false}) {
            QTemporaryDir dir;
            const QString path = dir.filePath(QString::fromLatin1(c.name)).replace(QStringLiteral(".pdf"),
                                                                                  asPdf ? ".pdf" : ".csv");
            test::FailingDisk disk;
            disk.failAt = c.failAt;
            QString error;
            const bool ok = asPdf ? writeReportPdf(path, in, tables, ReportPaper::Letter, error, disk.calls())
                                  : writeReportCsv(path, tables, error, disk.calls());
            EXPECT_FALSE(ok) << c.what;
            EXPECT_TRUE(error.contains(QDir::toNativeSeparators(path))) << c.what << ": " << error.toStdString();
            EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << c.what << ": " << error.toStdString();
            EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty()) << c.what;
        }
    }
}
