// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the meter body pictures (PANEL520.BMP .. PANEL580.BMP): case, LCD
// window and the labelled keys exactly under the panel's key areas.
#pragma once

#include <QImage>

class QPainter;

namespace vandrel {

class MeterBodyPainter {
public:
    explicit MeterBodyPainter(int model) : model_(model) {}

    // The 120 x 355 picture in picture coordinates (the panel shows it at 4, -1),
    // drawn `scale` times as large for the larger panel sizes.
    QImage paint(int scale = 1) const;

private:
    void paintCase(QPainter &p) const;
    void paintHeader(QPainter &p) const;
    void paintLcdWindow(QPainter &p) const;
    void paintKeys(QPainter &p) const;
    void paintKey(QPainter &p, int key, const QString &label) const;
    void paintGrip(QPainter &p) const;

    int model_;
};

} // namespace vandrel
