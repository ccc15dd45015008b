// SPDX-License-Identifier: GPL-3.0-or-later
// The meter body: a graphite case with a lighter face plate, the LCD glass in
// a black bezel, soft rubber keys with their legends, and a ribbed grip.
#include "MeterBodyPainter.h"

#include "panel/LcdArt.h"
#include "panel/PanelKeys.h"
#include "panel/PanelLayout.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace vandrel {

namespace {

// The panel window's own colour shows in the picture's rounded-off corners.
const QColor Outside(0x3a, 0x3f, 0x46);

// Picture coordinates of a client-area element.
QRectF pictureRect(const PanelElement &e)
{
    return QRectF(e.left - BackgroundElement.left, e.top - BackgroundElement.top, e.width, e.height);
}

QFont labelFont(double pixelSize, bool bold = true)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(static_cast<int>(pixelSize));
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QString keyLabel(int model, PanelKey key)
{
    switch (key) {
    case PanelKey::MaxMin: return QStringLiteral("MAX/MIN");
    case PanelKey::Hold: return QStringLiteral("HOLD");
    case PanelKey::LowerRight: return QStringLiteral("°C/°F");
    case PanelKey::LowerLeft: return (model == 560 || model == 580) ? QStringLiteral("REC") : QStringLiteral("°C/°F");
    case PanelKey::MiddleLeft:
        return model == 540 ? QStringLiteral("REL") : model == 520 ? QStringLiteral("TIMER") : QStringLiteral("TIME");
    case PanelKey::Close: return {};
    }
    return {};
}

} // namespace

QImage MeterBodyPainter::paint(int scale) const
{
    QImage image(BackgroundWidth * scale, BackgroundHeight * scale, QImage::Format_RGB32);
    image.fill(Outside);
    QPainter p(&image);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintCase(p);
    paintHeader(p);
    paintLcdWindow(p);
    paintKeys(p);
    paintGrip(p);
    return image;
}

void MeterBodyPainter::paintCase(QPainter &p) const
{
    const QRectF body(0.5, 0.5, BackgroundWidth - 1.0, BackgroundHeight - 1.0);
    QLinearGradient side(body.topLeft(), body.topRight());
    side.setColorAt(0.0, QColor(0x1c, 0x1f, 0x23));
    side.setColorAt(0.12, QColor(0x33, 0x38, 0x3e));
    side.setColorAt(0.5, QColor(0x3b, 0x41, 0x48));
    side.setColorAt(0.88, QColor(0x33, 0x38, 0x3e));
    side.setColorAt(1.0, QColor(0x1c, 0x1f, 0x23));
    p.setPen(QPen(QColor(0x12, 0x14, 0x17), 1));
    p.setBrush(side);
    p.drawRoundedRect(body, 13, 13);

    // The face plate around the keys, a shade lighter than the case.
    const QRectF face(5.5, 134.5, BackgroundWidth - 11.0, 142.0);
    QLinearGradient plate(face.topLeft(), face.bottomLeft());
    plate.setColorAt(0.0, QColor(0x4a, 0x51, 0x5a));
    plate.setColorAt(1.0, QColor(0x3e, 0x44, 0x4c));
    p.setPen(QPen(QColor(0x25, 0x29, 0x2e), 1));
    p.setBrush(plate);
    p.drawRoundedRect(face, 8, 8);
    p.setPen(QPen(QColor(255, 255, 255, 28), 1));
    p.drawLine(QPointF(12, face.top() + 1), QPointF(face.right() - 7, face.top() + 1));
}

void MeterBodyPainter::paintHeader(QPainter &p) const
{
    // Vents of the sensor chamber.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 5; ++i) {
        const QRectF slot(34 + i * 11, 5, 7, 2.5);
        p.setBrush(QColor(0x0f, 0x11, 0x13));
        p.drawRoundedRect(slot, 1.2, 1.2);
    }
    p.setFont(labelFont(9));
    p.setPen(QColor(0xe4, 0xe7, 0xea));
    p.drawText(QRectF(8, 12, 70, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("VANDREL"));
    p.setPen(QColor(0xf0, 0xa0, 0x30));
    p.setFont(labelFont(10));
    p.drawText(QRectF(70, 12, 42, 16), Qt::AlignRight | Qt::AlignVCenter, QString::number(model_));
    p.setPen(QColor(0x9a, 0xa2, 0xab));
    p.setFont(labelFont(6, false));
    p.drawText(QRectF(8, 24, 104, 9), Qt::AlignCenter, QStringLiteral("HYGRO · THERMOMETER"));
}

void MeterBodyPainter::paintLcdWindow(QPainter &p) const
{
    const QRectF bezel(1.5, 34.5, 117.0, 95.0);
    p.setPen(QPen(QColor(0x08, 0x09, 0x0a), 1));
    p.setBrush(QColor(0x14, 0x16, 0x18));
    p.drawRoundedRect(bezel, 6, 6);

    const QRectF glass(3, 37, 115, 90);
    QLinearGradient lcd(glass.topLeft(), glass.bottomLeft());
    lcd.setColorAt(0.0, LcdArt::lcdBackgroundTop());
    lcd.setColorAt(1.0, LcdArt::lcdBackgroundBottom());
    p.setPen(Qt::NoPen);
    p.setBrush(lcd);
    p.drawRoundedRect(glass, 3, 3);
    // A faint inner shadow along the top edge gives the glass some depth.
    QLinearGradient shade(glass.topLeft(), glass.topLeft() + QPointF(0, 5));
    shade.setColorAt(0.0, QColor(0, 0, 0, 60));
    shade.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setBrush(shade);
    p.drawRoundedRect(QRectF(glass.left(), glass.top(), glass.width(), 5), 3, 3);
}

void MeterBodyPainter::paintKeys(QPainter &p) const
{
    for (int k = 0; k < PanelKeyCount; ++k)
        paintKey(p, k, keyLabel(model_, static_cast<PanelKey>(k)));
}

void MeterBodyPainter::paintKey(QPainter &p, int key, const QString &label) const
{
    const QRectF area = pictureRect(KeyElements[static_cast<std::size_t>(key)]);
    const QRectF cap = area.adjusted(1.5, 1.5, -1.5, -2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawRoundedRect(cap.translated(0, 1.5), 6, 6);

    const bool power = key == static_cast<int>(PanelKey::Close);
    QLinearGradient rubber(cap.topLeft(), cap.bottomLeft());
    rubber.setColorAt(0.0, power ? QColor(0xd8, 0x4a, 0x3c) : QColor(0xe6, 0xe9, 0xec));
    rubber.setColorAt(1.0, power ? QColor(0xa8, 0x2c, 0x22) : QColor(0xb2, 0xb8, 0xbf));
    p.setPen(QPen(QColor(0x1a, 0x1d, 0x21), 1));
    p.setBrush(rubber);
    p.drawRoundedRect(cap, 6, 6);

    if (power) {
        // The power symbol: the panel closes as the meter would switch off.
        const QPointF c = cap.center();
        p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(c.x() - 5, c.y() - 4.5, 10, 10), 120 * 16, 300 * 16);
        p.drawLine(QPointF(c.x(), c.y() - 6), QPointF(c.x(), c.y() - 0.5));
        return;
    }
    p.setPen(QColor(0x23, 0x27, 0x2c));
    p.setFont(labelFont(label.size() > 5 ? 7 : 8));
    p.drawText(cap, Qt::AlignCenter, label);
}

void MeterBodyPainter::paintGrip(QPainter &p) const
{
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 7; ++i) {
        const double y = 292 + i * 7;
        p.setBrush(QColor(0x16, 0x18, 0x1b));
        p.drawRoundedRect(QRectF(22, y, 76, 3), 1.5, 1.5);
        p.setBrush(QColor(255, 255, 255, 22));
        p.drawRect(QRectF(23, y + 3, 74, 1));
    }
}

} // namespace vandrel
