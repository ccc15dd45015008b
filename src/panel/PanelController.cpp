// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's side of the link.
#include "panel/PanelController.h"

#include "panel/LcdPaint.h"
#include "panel/PanelScale.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>

namespace vandrel {

PanelController::PanelController(MeterLink &link, QObject *parent) : QObject(parent), link_(link)
{
    dpTimer_.setInterval(500);
    connect(&dpTimer_, &QTimer::timeout, this, [this] {
        if (panel_)
            panel_->DPTimerTimer();
    });
    connect(&link_, &MeterLink::frameDecoded, this, &PanelController::frameDecoded);
    connect(&link_, &MeterLink::tickStarted, this, &PanelController::tickStarted);
    connect(&link_, &MeterLink::meterLost, this, [this] { lcd_.MaxMinBlink = false; });
    connect(&link_, &MeterLink::noLinkVisibleChanged, this, [this](bool visible) {
        if (panel_)
            panel_->setNoLinkVisible(visible);
    });
    // The program's own message boxes are the application's: it hands them
    // in with setMessageSink. A controller without one shows a plain box.
    showMessage_ = [](const QString &text) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Vandrel"), text, QMessageBox::Ok);
        box.exec();
    };
}

QMdiSubWindow *PanelController::createPanel(QMdiArea &area)
{
    auto *panel = new TfrmPanel(lcd_);
    panel_ = panel;
    connect(panel, &TfrmPanel::keyPressed, this, [this](int k) { keyEvent(PanelKey(k), KeyEvent::Press); });
    connect(panel, &TfrmPanel::keyReleased, this, [this](int k) { keyEvent(PanelKey(k), KeyEvent::Release); });
    connect(panel, &TfrmPanel::keyClicked, this, [this](int k) { keyEvent(PanelKey(k), KeyEvent::Click); });
    panel->setNoLinkVisible(!link_.state().MeterConnected);
    panel->setScale(percent_);
    return panel->showIn(area);
}

void PanelController::setBackground(const QString &file)
{
    if (panel_)
        panel_->setBackground(file);
}

void PanelController::setPanelPercent(int percent)
{
    percent_ = panelPercentOrDefault(percent);
    if (panel_)
        panel_->setScale(percent_);
}

void PanelController::apply(const PanelChanges &changes)
{
    if (panel_)
        panel_->applyChanges(changes);
}

void PanelController::frameDecoded()
{
    const bool wanted = BuildLcdState(link_.reading(), link_.identity(), lcd_);
    switch (DpTimerSwitch(wanted, dpTimer_.isActive())) {
    case DpTimerCommand::Start:
        dpTimer_.start();
        break;
    case DpTimerCommand::StopAndShowLegends:
        dpTimer_.stop();
        if (panel_)
            panel_->showTemperatureLegends();
        break;
    case DpTimerCommand::Keep:
        break;
    }
    if (panel_)
        panel_->PaintPanel();
}

void PanelController::tickStarted()
{
    run(LongPressStep(keys_, link_.identity(), link_.reading().HoldOn));
    if (panel_)
        panel_->BlinkStep(link_.state().MeterConnected, link_.reading());
}

void PanelController::keyEvent(PanelKey key, KeyEvent event)
{
    run(PanelKeyEvent(key, event, link_.identity(), link_.state().MeterConnected, keys_));
}

void PanelController::run(const KeyCommand &command)
{
    if (command.skipNextPoll)
        link_.sendKey(command.bytes);
    if (command.stopMaxMinDisplay) {
        if (panel_)
            panel_->stopMaxMinDisplay();
        else
            StopMaxMinDisplay(lcd_);
    }
    if (command.message != PanelMessage::None && showMessage_)
        showMessage_(panelMessageText(command.message));
}

} // namespace vandrel
