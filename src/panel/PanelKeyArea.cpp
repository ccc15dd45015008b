// SPDX-License-Identifier: GPL-3.0-or-later
// Mouse handling of a key area. Qt keeps sending the mouse to the area that
// saw the press, so a release is never lost when the pointer wanders off.
// A double-click is one key press: the meter toggles on every byte, so a second
// byte would undo the first.
#include "panel/PanelKeyArea.h"

#include <QMouseEvent>
#include <QPointer>

#include <utility>

namespace vandrel {

PanelKeyArea::PanelKeyArea(int key, QWidget *parent)
    : QLabel(parent), key_(key)
{
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

void PanelKeyArea::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    emit pressed(key_);
}

void PanelKeyArea::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    const bool secondClick = std::exchange(secondOfDoubleClick_, false);
    // The receiver may close the panel (and so delete this area) from its slot.
    const QPointer<PanelKeyArea> alive(this);
    emit released(key_);
    if (alive && !secondClick && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked(key_);
}

// Widgets see the second press of a double-click only as this event (the
// base class would turn it into another press).
void PanelKeyArea::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    secondOfDoubleClick_ = true;
}

} // namespace vandrel
