// SPDX-License-Identifier: GPL-3.0-or-later
// Export Graph: a chart drawn into a PNG, SVG or PDF file through a save file,
// so a failed export never leaves a half-written file in place of a good one.
#include "realtime/GraphExport.h"
#include "platform/MessageBoxes.h"

#include "realtime/TableFileDialogs.h"

#include "platform/MeterChart.h"
#include "realtime/Printing.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPdfWriter>
#include <QPointer>
#include <QSaveFile>
#include <QSvgGenerator>

namespace vandrel {

namespace {

// Pictures are drawn at twice the screen size so they stay sharp when enlarged.
constexpr int kPictureScale = 2;
// The size of a graph window's chart, for a chart that is not on the screen.
constexpr QSize kFallbackSize(532, 421);
constexpr double kPointsPerInch = 72.0;

bool writePng(MeterChart &chart, QIODevice &out, QSize size)
{
    QImage image(size * kPictureScale, QImage::Format_RGB32);
    image.fill(BgrToQColor(chart.GetDeskColor()));
    QCPPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(kPictureScale, kPictureScale);
    chart.paintTo(painter, size);
    painter.end();
    return image.save(&out, "PNG");
}

// Drawing commands rather than pixels, for the formats that keep them.
bool paintVectorized(MeterChart &chart, QPaintDevice &device, QSize size)
{
    QCPPainter painter;
    if (!painter.begin(&device))
        return false;
    painter.setMode(QCPPainter::pmVectorized);
    chart.paintTo(painter, size);
    return painter.end();
}

bool writeSvg(MeterChart &chart, QIODevice &out, QSize size)
{
    QSvgGenerator svg;
    svg.setOutputDevice(&out);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setResolution(chart.logicalDpiX());
    return paintVectorized(chart, svg, size);
}

bool writePdf(MeterChart &chart, QIODevice &out, QSize size)
{
    // One page exactly the chart's size, at the screen's resolution so fonts and
    // lines keep the proportions they have on the screen.
    QPdfWriter pdf(&out);
    const int dpi = chart.logicalDpiX();
    pdf.setResolution(dpi);
    const QSizeF points = QSizeF(size) * (kPointsPerInch / dpi);
    pdf.setPageLayout(QPageLayout(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch), QPageLayout::Portrait, QMarginsF()));
    pdf.setCreator(QApplication::applicationName());
    return paintVectorized(chart, pdf, size);
}

bool writeKind(GraphFileKind kind, MeterChart &chart, QIODevice &out, QSize size)
{
    switch (kind) {
    case GraphFileKind::Png:
        return writePng(chart, out, size);
    case GraphFileKind::Svg:
        return writeSvg(chart, out, size);
    case GraphFileKind::Pdf:
        break;
    }
    return writePdf(chart, out, size);
}

} // namespace

std::optional<GraphFileKind> graphFileKind(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return GraphFileKind::Png;
    if (suffix == QLatin1String("svg"))
        return GraphFileKind::Svg;
    if (suffix == QLatin1String("pdf"))
        return GraphFileKind::Pdf;
    return std::nullopt;
}

QString exportGraph(MeterChart &chart, const QString &path, GraphLook look, QSize size)
{
    const auto kind = graphFileKind(path);
    if (!kind)
        return QStringLiteral("The file name must end in .png, .svg or .pdf.");
    if (size.isEmpty())
        size = chart.size().isEmpty() ? kFallbackSize : chart.size();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const auto write = [&](MeterChart &c) { return writeKind(*kind, c, file, size); };
    const bool drawn = look == GraphLook::Printout ? PrintChart(chart, write) : write(chart);
    if (!drawn) {
        file.cancelWriting();
        return QStringLiteral("The graph could not be drawn into the file.");
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

std::optional<GraphExportChoice> askGraphExport(QWidget *parent, const QString &name, QString *lastFolder)
{
    QFileDialog dialog(parent, QStringLiteral("Export Graph"), fileDialogStartFolder(lastFolder ? *lastFolder : QString()));
    // Our own dialog, so the choice of look can sit in it.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const QStringList suffixes{QStringLiteral("png"), QStringLiteral("svg"), QStringLiteral("pdf")};
    const QStringList filters{QStringLiteral("PNG picture (*.png)"), QStringLiteral("SVG drawing (*.svg)"),
                              QStringLiteral("PDF document (*.pdf)")};
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(suffixes.front());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString &filter) {
        dialog.setDefaultSuffix(suffixes.value(filters.indexOf(filter), suffixes.front()));
    });
    // A graph of a table file is named after the file, without its extension.
    dialog.selectFile(QFileInfo(name).completeBaseName() + QStringLiteral(".png"));
    auto *look = new QComboBox(&dialog);
    look->setObjectName(QStringLiteral("cmbLook"));
    look->addItems({QStringLiteral("As printed (black on white)"), QStringLiteral("As on the screen")});
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout())) {
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(QStringLiteral("Look:"), &dialog), row, 0);
        grid->addWidget(look, row, 1);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    if (lastFolder)
        *lastFolder = QFileInfo(dialog.selectedFiles().constFirst()).absolutePath();
    return GraphExportChoice{dialog.selectedFiles().constFirst(),
                             look->currentIndex() == 0 ? GraphLook::Printout : GraphLook::Screen};
}

bool ExportGraphWithDialog(QWidget *parent, MeterChart *chart, const QString &name, QString *lastFolder)
{
    const QPointer<MeterChart> alive = chart;
    if (!chart)
        return false;
    const auto choice = askGraphExport(parent, name, lastFolder);
    if (!choice || !alive)
        return false;
    const QString error = exportGraph(*chart, choice->path, choice->look);
    if (error.isEmpty())
        return true;
    showMessageBox(parent, MessageKind::Error, QStringLiteral("The graph was not exported to %1.\n%2").arg(choice->path, error));
    return false;
}

} // namespace vandrel
