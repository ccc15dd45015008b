// SPDX-License-Identifier: GPL-3.0-or-later
// The common part of the program's child windows: placed in the main window's
// client area under a caption, freed when closed, restored on request.
#pragma once

#include <QWidget>

class QMdiArea;
class QMdiSubWindow;

namespace vandrel {

class MdiChild : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // Puts the window into `area` with `caption` (deleted when closed), at
    // `bounds` or else in `defaultSize`, and shows it.
    QMdiSubWindow *showIn(QMdiArea &area, const QString &caption, const QRect &bounds, const QSize &defaultSize);
    QMdiSubWindow *subWindow() const;
    // Back to its normal state (from minimised or maximised) and on top.
    void restoreNormal();
};

} // namespace vandrel
