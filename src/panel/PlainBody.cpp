// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the plain stand-in for the meter body. The glass is where the body
// pictures put theirs, so the digits stand on it; the outlines sit exactly
// under the key areas, so the user sees what to click.
#include "panel/PlainBody.h"

#include "panel/LcdArt.h"
#include "panel/PanelLayout.h"

#include <QLinearGradient>
#include <QPainter>

namespace vandrel {

namespace {

// The panel window's own colour.
const QColor Outside(0x3a, 0x3f, 0x46);
const QColor KeyOutline(0xd8, 0xdc, 0xe0);

QRectF pictureRect(const PanelElement &e)
{
    return QRectF(e.left - BackgroundElement.left, e.top - BackgroundElement.top, e.width, e.height);
}

} // namespace

QImage plainBodyPicture(int scale)
{
    QImage image(BackgroundWidth * scale, BackgroundHeight * scale, QImage::Format_RGB32);
    image.fill(Outside);
    QPainter p(&image);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);

    const QRectF glass(3, 37, 115, 90);
    QLinearGradient lcd(glass.topLeft(), glass.bottomLeft());
    lcd.setColorAt(0.0, LcdArt::lcdBackgroundTop());
    lcd.setColorAt(1.0, LcdArt::lcdBackgroundBottom());
    p.setPen(QPen(QColor(0x14, 0x16, 0x18), 1));
    p.setBrush(lcd);
    p.drawRoundedRect(glass, 3, 3);

    p.setPen(QPen(KeyOutline, 1.5));
    p.setBrush(Qt::NoBrush);
    for (const PanelElement &key : KeyElements)
        p.drawRoundedRect(pictureRect(key).adjusted(1.5, 1.5, -1.5, -1.5), 5, 5);
    return image;
}

} // namespace vandrel
