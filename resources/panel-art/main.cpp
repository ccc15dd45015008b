// SPDX-License-Identifier: GPL-3.0-or-later
// Run by hand: writes the four meter body pictures, and renders previews of
// the whole panel or of the LCD's glyphs and icons to check how they look.
#include "MeterBodyPainter.h"

#include "meter/MeterReading.h"
#include "panel/LcdArt.h"
#include "panel/LcdState.h"
#include "panel/TfrmPanel.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QPainter>
#include <QTextStream>

using namespace vandrel;

namespace {

constexpr int Models[] = {520, 540, 560, 580};

int writeBodies(const QString &dir)
{
    QDir().mkpath(dir);
    for (int model : Models) {
        const QString file = QDir(dir).filePath(QStringLiteral("PANEL%1.BMP").arg(model));
        if (!MeterBodyPainter(model).paint().save(file, "BMP")) {
            QTextStream(stderr) << "cannot write " << file << '\n';
            return 1;
        }
        // The same drawing twice as large, for the larger panel sizes.
        const QString large = QDir(dir).filePath(QStringLiteral("PANEL%1@2x.png").arg(model));
        if (!MeterBodyPainter(model).paint(2).save(large, "PNG")) {
            QTextStream(stderr) << "cannot write " << large << '\n';
            return 1;
        }
    }
    return 0;
}

// A busy display, so that most elements show in the preview.
MeterReading sampleReading(bool clock)
{
    MeterReading r;
    r.ShownRh = 45.6;
    r.ShownT1 = 23.4;
    r.ShownT2 = -12.3;
    r.T2 = -12.3;
    r.MaxMinMode = 1;
    r.RecOn = true;
    r.AutoPowerOff = true;
    r.LowBattery = true;
    r.HourMinute = true;
    r.ByteTimeText = {QStringLiteral("12"), QStringLiteral("05")};
    r.ClockMode = clock;
    r.FrameTime = QDateTime(QDate(2025, 3, 12), QTime(9, 7));
    return r;
}

int writePreview(const QString &out, int model, const QString &bodyDir, bool clock, bool noLink, int scale)
{
    LcdState state;
    TfrmPanel panel(state);
    panel.setBackground(QDir(bodyDir).filePath(QStringLiteral("PANEL%1.BMP").arg(model)));
    BuildLcdState(sampleReading(clock), MeterIdentity{model, 0}, state);
    panel.PaintPanel();
    panel.setNoLinkVisible(noLink);
    const QImage shot = panel.grab().toImage();
    return shot.scaled(shot.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(out) ? 0 : 1;
}

int writeSheet(const QString &out, int scale)
{
    const LcdArt &art = LcdArt::instance();
    QImage sheet(16 * 18 + 4, 24 + 18 + 2 * 18 + 8, QImage::Format_ARGB32);
    sheet.fill(LcdArt::lcdBackgroundTop());
    QPainter p(&sheet);
    for (int code = 0; code < glyph::Count; ++code) {
        p.drawImage(2 + code * 18, 2, art.glyph(GlyphSet::Main, code));
        p.drawImage(2 + code * 18, 30, art.glyph(GlyphSet::Small, code));
    }
    int x = 2, y = 48;
    for (int bit = FirstIconBit; bit <= LastIconBit; ++bit) {
        const QImage &icon = art.icon(bit);
        if (x + icon.width() > sheet.width()) {
            x = 2;
            y += 16;
        }
        p.drawImage(x, y, icon);
        x += icon.width() + 4;
    }
    p.end();
    return sheet.scaled(sheet.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(out) ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Draws the panel pictures."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("dir"), QStringLiteral("Folder for PANEL5x0.BMP"));
    const QCommandLineOption preview(QStringLiteral("preview"), QStringLiteral("Render the panel to <png>."), QStringLiteral("png"));
    const QCommandLineOption sheet(QStringLiteral("sheet"), QStringLiteral("Render glyphs and icons to <png>."), QStringLiteral("png"));
    const QCommandLineOption model(QStringLiteral("model"), QStringLiteral("Model for the preview."), QStringLiteral("code"), QStringLiteral("580"));
    const QCommandLineOption clock(QStringLiteral("clock"), QStringLiteral("Preview in clock mode."));
    const QCommandLineOption noLink(QStringLiteral("nolink"), QStringLiteral("Preview with \"No Connection\" shown."));
    const QCommandLineOption scale(QStringLiteral("scale"), QStringLiteral("Magnification."), QStringLiteral("n"), QStringLiteral("1"));
    parser.addOptions({preview, sheet, model, clock, noLink, scale});
    parser.process(app);

    const QStringList dirs = parser.positionalArguments();
    const QString dir = dirs.isEmpty() ? QStringLiteral("RESOURCE") : dirs.first();
    const int factor = std::max(1, parser.value(scale).toInt());
    if (parser.isSet(sheet))
        return writeSheet(parser.value(sheet), factor);
    if (parser.isSet(preview))
        return writePreview(parser.value(preview), parser.value(model).toInt(), dir, parser.isSet(clock),
                            parser.isSet(noLink), factor);
    return writeBodies(dir);
}
