// SPDX-License-Identifier: GPL-3.0-or-later
// The panel window: the meter body picture, the LCD's digits and icons, the
// "No Connection" label and the six key areas. It draws an LcdState owned elsewhere.
#pragma once

#include "meter/MeterReading.h"
#include "panel/LcdPaint.h"
#include "panel/LcdState.h"

#include <QPixmap>
#include <QWidget>

#include <array>
#include <memory>

class QLabel;
class QMdiArea;
class QMdiSubWindow;

namespace vandrel {

class LcdArt;

class PanelKeyArea;

class TfrmPanel : public QWidget {
    Q_OBJECT
public:
    // `state` must outlive the window. Creating the window resets the state's
    // drawn part and paints it blank, as a newly shown panel.
    explicit TfrmPanel(LcdState &state, QWidget *parent = nullptr);
    ~TfrmPanel() override;

    // Puts the panel into `area` as its child window "Panel": fixed size, a
    // system menu and a minimise button only, deleted when closed, placed at
    // the top left corner of the area, and shown. Returns the child window.
    QMdiSubWindow *showIn(QMdiArea &area);

    // Blank display, all icons hidden; the codes wait for the next frame.
    void FormShow();
    // Redraws only the digits and icons that changed since the last paint.
    void PaintPanel();
    // The one-second blink of MAX+MIN and REC.
    void BlinkStep(bool meterConnected, const MeterReading &reading);
    // The dew-point timer's tick: T1 and T2 swap visibility.
    void DPTimerTimer();
    // When the dew-point timer stops: both temperature legends visible.
    void showTemperatureLegends();
    // Long press of MAX/MIN: MAX and MIN dark at once, no more blinking.
    void stopMaxMinDisplay();
    // Carries out changes decided by the pure steps.
    void applyChanges(const PanelChanges &changes);

    // The meter body picture. A missing or unreadable file (or none) shows the
    // plain glass and key outlines, as a new panel does. Returns whether a
    // picture was loaded.
    bool setBackground(const QString &file);
    void setNoLinkVisible(bool visible);

    // Draws the whole panel, its keys included, at `percent` (100, 150 or 200;
    // anything else is 100) and fits its child window around it.
    void setScale(int percent);
    int scalePercent() const { return percent_; }

    // How many elements the last applyChanges touched (for tests and benchmarks).
    int lastTouchCount() const { return lastTouchCount_; }

signals:
    // Key areas by number: 0..4 = lblbtn0..lblbtn4, 5 = Label1 (see PanelKey).
    void keyPressed(int key);
    void keyReleased(int key);
    void keyClicked(int key);
    // Label1 was clicked; the window containing the panel is being closed.
    void closeRequested();

private:
    void createElements();
    void applyScale();
    void showBody();
    void label1Clicked();

    LcdState &state_;
    QLabel *Image1 = nullptr;
    QLabel *lblnolink = nullptr;
    std::array<QLabel *, GlyphPositionCount> glyphs_{};
    std::array<QLabel *, LastIconBit + 1> icons_{};
    std::array<PanelKeyArea *, 6> keys_{};
    std::array<QPixmap, 16> mainPixmaps_;
    std::array<QPixmap, 16> smallPixmaps_;
    QImage body_;      // at 100 %
    QImage bodyLarge_; // the same drawn twice as large; null for a picture without one
    // The LCD pictures drawn for the size shown (the panel's size times the
    // screen's pixel ratio), and that size.
    std::unique_ptr<LcdArt> art_;
    int artPercent_ = 0;
    int percent_ = 100;
    int lastTouchCount_ = 0;
};

} // namespace vandrel
