// SPDX-License-Identifier: GPL-3.0-or-later
// Export Graph: each kind of file is written whole and valid, in the look asked
// for, the chart keeps its screen look, and a name of another kind writes nothing.
#include "platform/MeterChart.h"
#include "realtime/GraphExport.h"
#include "realtime/GraphSetup.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vandrel;

namespace {

struct ExportCase {
    const char *name;
    GraphLook look;
};

class GraphExportTest : public ::testing::TestWithParam<ExportCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        chart.resize(532, 421);
        SetupMeterGraph(chart, 10, 46000.01, 46000, 580);
        for (int p = 0; p < 10; ++p) {
            for (int s = 0; s < 4; ++s) {
                chart.SetX(s, p, 46000 + p * 0.001);
                chart.SetY(s, p, 20.0 + s * 5 + p);
            }
        }
        chart.Refresh();
    }

    QByteArray written(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    MeterChart chart;
};

} // namespace

TEST_P(GraphExportTest, WritesAValidFileOfTheKindItsNameAsksFor)
{
    const ExportCase c = GetParam();
    const QString path = dir.filePath(QString::fromLatin1(c.name));
    ASSERT_EQ(exportGraph(chart, path, c.look), QString());
    const QByteArray bytes = written(path);
    switch (*graphFileKind(path)) {
    case GraphFileKind::Png: {
        ASSERT_TRUE(bytes.startsWith("\x89PNG\r\n\x1a\n"));
        const QImage image = QImage::fromData(bytes, "PNG");
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(532, 421) * 2);
        // The corner is the desk; high in the top pane, above the curves, the graph
        // background shows, but for a grid dot here and there.
        const bool printed = c.look == GraphLook::Printout;
        EXPECT_EQ(image.pixelColor(1, 1), printed ? QColor(Qt::white) : QColor(192, 192, 192));
        const QColor background = printed ? QColor(Qt::white) : QColor(Qt::black);
        int matching = 0;
        for (int dy = 0; dy < 5; ++dy)
            for (int dx = 0; dx < 5; ++dx)
                matching += image.pixelColor(image.width() / 2 + dx, image.height() / 5 + dy) == background;
        EXPECT_GT(matching, 15);
        break;
    }
    case GraphFileKind::Svg:
        EXPECT_TRUE(bytes.startsWith("<?xml"));
        EXPECT_TRUE(bytes.contains("<svg"));
        EXPECT_TRUE(bytes.trimmed().endsWith("</svg>"));
        break;
    case GraphFileKind::Pdf: {
        EXPECT_TRUE(bytes.startsWith("%PDF-"));
        EXPECT_TRUE(bytes.trimmed().endsWith("%%EOF"));
        const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?!s)"));
        EXPECT_EQ(QString::fromLatin1(bytes).count(page), 1);
        break;
    }
    }
    // The screen keeps its look whichever look was written.
    EXPECT_EQ(chart.GetGraphBackColor(), 0x000000u);
    EXPECT_EQ(chart.GetSeriesColor(1), 0xFF00FFu);
    EXPECT_EQ(chart.GetLineType(1), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, GraphExportTest,
    ::testing::Values(ExportCase{"printed.png", GraphLook::Printout}, ExportCase{"screen.PNG", GraphLook::Screen},
                      ExportCase{"printed.svg", GraphLook::Printout}, ExportCase{"screen.svg", GraphLook::Screen},
                      ExportCase{"printed.pdf", GraphLook::Printout}, ExportCase{"screen.pdf", GraphLook::Screen}));

TEST_F(GraphExportTest, ANameOfAnotherKindWritesNothingAndSaysWhy)
{
    for (const char *name : {"graph.jpg", "graph", "graph.png.txt"}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_FALSE(exportGraph(chart, path, GraphLook::Printout).isEmpty()) << name;
        EXPECT_FALSE(QFile::exists(path)) << name;
    }
}
