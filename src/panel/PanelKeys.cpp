// SPDX-License-Identifier: GPL-3.0-or-later
// Key commands of the panel. The bytes per model come from the model table;
// this file only holds the order of checks and the long-press counting.
#include "panel/PanelKeys.h"

#include "panel/PanelModels.h"

#include "meter/ConnectionText.h"
#include "meter/ModelTraits.h"

namespace vandrel {

namespace {

// A press counts as long when it is still held at the second tick after it.
constexpr int LongPressTicks = 2;

KeyCommand writeByte(char byte)
{
    KeyCommand c;
    c.skipNextPoll = true;
    c.bytes.append(byte);
    return c;
}

KeyCommand message(PanelMessage m)
{
    KeyCommand c;
    c.message = m;
    return c;
}

KeyCommand clickCommand(PanelKey key, const MeterIdentity &id, const PanelModelFacts &facts)
{
    switch (key) {
    case PanelKey::LowerRight:
        return writeByte('C');
    case PanelKey::Hold:
        if (holdMeansDewPoint(id)) {
            // The dew-point display can only be switched on the meter itself;
            // the poll is skipped all the same, as for a key that wrote.
            KeyCommand c = message(PanelMessage::DewPointOnlyFromMeter);
            c.skipNextPoll = true;
            return c;
        }
        return writeByte('H');
    case PanelKey::LowerLeft:
        return writeByte(facts.key3Byte);
    default:
        return {};
    }
}

KeyCommand middleLeftPress(const PanelModelFacts &facts, PanelKeyState &keys)
{
    if (facts.tKeyByte == 0) {
        KeyCommand c = message(PanelMessage::NoConnection);
        c.skipNextPoll = true;
        return c;
    }
    if (facts.tKeyCanBeHeld) {
        keys.TKeyHeld = true;
        keys.TKeyTicks = 0;
    }
    return writeByte(facts.tKeyByte);
}

} // namespace

QString panelMessageText(PanelMessage message)
{
    switch (message) {
    case PanelMessage::NoConnection:
        return noConnectionText();
    case PanelMessage::DewPointOnlyFromMeter:
        return QStringLiteral("Dewpoint only can be enabled from meter!");
    case PanelMessage::None:
        break;
    }
    return {};
}

KeyCommand PanelKeyEvent(PanelKey key, KeyEvent event, const MeterIdentity &id,
                         bool meterConnected, PanelKeyState &keys)
{
    const PanelModelFacts &facts = panelFacts(id.MeterModel);
    if (key == PanelKey::MaxMin) {
        if (event == KeyEvent::Release) {
            keys.MaxMinKeyHeld = false;
            return {};
        }
        if (event != KeyEvent::Press)
            return {};
        // Without a meter nothing is written, so there is no long press to
        // follow either: the message box would swallow the release anyway.
        if (!meterConnected)
            return message(PanelMessage::NoConnection);
        keys.MaxMinKeyHeld = true;
        keys.MaxMinTicks = 0;
        return writeByte('M');
    }
    if (key == PanelKey::MiddleLeft) {
        if (event == KeyEvent::Release) {
            keys.TKeyHeld = false;
            return {};
        }
        // Unlike the other keys, this one does nothing at all without a meter,
        // not even the message.
        if (event != KeyEvent::Press || !meterConnected)
            return {};
        return middleLeftPress(facts, keys);
    }
    if (event != KeyEvent::Click)
        return {};
    if (key == PanelKey::Close) {
        KeyCommand c;
        c.closePanel = true;
        return c;
    }
    if (!meterConnected)
        return message(PanelMessage::NoConnection);
    return clickCommand(key, id, facts);
}

KeyCommand LongPressStep(PanelKeyState &keys, const MeterIdentity &id, bool holdOn)
{
    KeyCommand c;
    if (keys.MaxMinKeyHeld && ++keys.MaxMinTicks >= LongPressTicks) {
        keys.MaxMinKeyHeld = false;
        c.skipNextPoll = true;
        c.bytes.append('N');
        c.stopMaxMinDisplay = !holdOn;
    }
    const PanelModelFacts &facts = panelFacts(id.MeterModel);
    if (keys.TKeyHeld && facts.tKeyLongByte != 0 && ++keys.TKeyTicks >= LongPressTicks) {
        keys.TKeyHeld = false;
        c.skipNextPoll = true;
        c.bytes.append(facts.tKeyLongByte);
    }
    return c;
}

} // namespace vandrel
