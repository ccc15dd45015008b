// SPDX-License-Identifier: GPL-3.0-or-later
// One invisible click area laid over a key of the meter picture: hand cursor,
// no drawing of its own, and press / release / click reported with its number.
#pragma once

#include <QLabel>

namespace vandrel {

class PanelKeyArea : public QLabel {
    Q_OBJECT
public:
    PanelKeyArea(int key, QWidget *parent);

signals:
    void pressed(int key);   // any mouse button
    void released(int key);  // the button of the press, wherever the mouse is now
    void clicked(int key);   // left button pressed and released over the area
                             // (the second click of a double-click is no click)

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    int key_;
    bool secondOfDoubleClick_ = false;
};

} // namespace vandrel
