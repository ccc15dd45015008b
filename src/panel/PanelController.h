// SPDX-License-Identifier: GPL-3.0-or-later
// Ties the panel to the meter link: rebuilds the LCD after each frame, runs the
// blink and long-press steps on the tick, and turns key events into meter commands.
#pragma once

#include "meter/MeterLink.h"
#include "panel/LcdState.h"
#include "panel/PanelKeys.h"
#include "panel/TfrmPanel.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QMdiArea;
class QMdiSubWindow;

namespace vandrel {

class PanelController : public QObject {
    Q_OBJECT
public:
    using MessageSink = std::function<void(const QString &)>;

    explicit PanelController(MeterLink &link, QObject *parent = nullptr);

    // Creates the panel window in `area` (top left). Returns its child window.
    QMdiSubWindow *createPanel(QMdiArea &area);
    // The panel window, or null while it does not exist.
    TfrmPanel *panel() const { return panel_; }
    // Loads the meter body picture; does nothing without a panel.
    void setBackground(const QString &file);
    // The panel's size in percent (100, 150 or 200), for the panel shown now
    // and every panel created later.
    void setPanelPercent(int percent);
    int panelPercent() const { return percent_; }

    // Where key messages go ("No Connection", ...): a message box unless replaced.
    void setMessageSink(MessageSink sink) { showMessage_ = std::move(sink); }

    const LcdState &lcd() const { return lcd_; }
    QTimer &dpTimer() { return dpTimer_; }

    // Steps, public so tests can drive them without timers.
    void frameDecoded();
    void tickStarted();
    void keyEvent(PanelKey key, KeyEvent event);

private:
    void run(const KeyCommand &command);
    void apply(const PanelChanges &changes);

    MeterLink &link_;
    LcdState lcd_;
    PanelKeyState keys_;
    QPointer<TfrmPanel> panel_;
    QTimer dpTimer_;
    MessageSink showMessage_;
    int percent_ = 100;
};

} // namespace vandrel
