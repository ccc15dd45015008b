// SPDX-License-Identifier: GPL-3.0-or-later
// BuildLcdState: turns the current reading into row texts, glyph codes and the
// icon word, following the meter's own display conventions.
#include "panel/LcdState.h"

#include "panel/PanelModels.h"

#include "meter/ModelTraits.h"

#include <QString>

#include <cmath>

namespace vandrel {

namespace {

const QString OverText = QStringLiteral("OL");
const QString NegativeOverText = QStringLiteral("-OL");

QString overloadText(double shownValue)
{
    // A negative zero is not below zero, so an overload at magnitude 0 reads OL.
    return shownValue < 0 ? NegativeOverText : OverText;
}

// The number rounded (or cut) to a whole number, without sign or decimals,
// as its last four digits. A value that is no number at all (a dew point of
// a zero humidity) reads as an overload instead of garbage digits.
QString wholeNumberText(double magnitude, bool cut = false)
{
    if (!std::isfinite(magnitude))
        return OverText;
    const double whole = std::fmod(cut ? std::trunc(magnitude) : std::round(magnitude), 10000.0);
    return QStringLiteral("%1").arg(static_cast<int>(whole), 4, 10, QLatin1Char('0'));
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n % 100, 2, 10, QLatin1Char('0'));
}

// The third row's magnitude is taken in single precision, like the meter does,
// so that a cut whole number does not lose one to a binary fraction.
QString thirdRowNumber(double value, bool noDecimals)
{
    const float a = static_cast<float>(std::fabs(value));
    return noDecimals ? wholeNumberText(a, true) : wholeNumberText(static_cast<double>(a) * 10.0);
}

QString mainRowText(const MeterReading &r)
{
    if (r.ClockMode)
        return QStringLiteral("%1").arg(r.FrameTime.date().year() % 10000, 4, 10, QLatin1Char('0'));
    if (r.ShownRhOver)
        return overloadText(r.ShownRh);
    return wholeNumberText(std::fabs(r.ShownRh) * 10.0);
}

QString secondRowText(const MeterReading &r, bool dewPoint)
{
    if (dewPoint)
        return r.DewPointOverload ? OverText : wholeNumberText(std::fabs(r.DewPoint) * 10.0);
    if (r.ShownT1Over)
        return overloadText(r.ShownT1);
    return wholeNumberText(std::fabs(r.ShownT1) * 10.0);
}

QString thirdRowText(const MeterReading &r, bool dewPoint)
{
    if (dewPoint) {
        if (r.DewPointOverload || r.T2Over)
            return OverText;
        return thirdRowNumber(r.DewPoint - r.T2, r.T2NoDecimals);
    }
    if (r.ShownT2Over)
        return overloadText(r.ShownT2);
    return thirdRowNumber(r.ShownT2, r.T2NoDecimals);
}

// Writes the four codes of one row. OL sits in the middle of the row; a
// negative overload on the main row reads "Err", like on the meter.
void rowCodes(const QString &text, bool mainRow, int *out)
{
    if (text == OverText || (text == NegativeOverText && !mainRow)) {
        out[0] = glyph::Blank, out[1] = 0, out[2] = glyph::L, out[3] = glyph::Blank;
        return;
    }
    if (text == NegativeOverText) {
        out[0] = glyph::Blank, out[1] = glyph::E, out[2] = glyph::SmallR, out[3] = glyph::SmallR;
        return;
    }
    const qsizetype pad = 4 - std::min<qsizetype>(4, text.size());
    for (int i = 0; i < 4; ++i) {
        const int code = i < pad ? -1 : text.at(text.size() - 4 + i).unicode() - u'0';
        out[i] = (code >= 0 && code < glyph::Count) ? code : glyph::Blank;
    }
}

void blankLeadingZeros(int *codes)
{
    if (codes[0] == 0) {
        codes[0] = glyph::Blank;
        if (codes[1] == 0)
            codes[1] = glyph::Blank;
    }
}

void buildCodes(const MeterReading &r, bool dewPoint, const PanelModelFacts &facts, GlyphCodes &codes)
{
    const bool clock = r.ClockMode;
    const QString main = mainRowText(r);
    QString second = secondRowText(r, dewPoint);
    QString third = thirdRowText(r, dewPoint);
    if (clock) {
        const QDate day = r.FrameTime.date();
        second = twoDigits(day.month()) + twoDigits(day.day());
    }
    const bool movedDown = facts.rows == RowLayout::TemperatureMovedDown && !clock;
    QString moved;
    if (movedDown) {
        moved = second;
        second = QStringLiteral("    ");
    }
    if (facts.rows == RowLayout::TimeInThirdRow)
        third = r.ByteTimeText[0] + r.ByteTimeText[1];
    if (clock) {
        const QTime time = r.FrameTime.time();
        third = twoDigits(time.hour()) + twoDigits(time.minute());
    }
    if (movedDown)
        third = moved;

    rowCodes(main, true, &codes[0]);
    rowCodes(second, false, &codes[4]);
    rowCodes(third, false, &codes[8]);
    if (clock)
        return;
    blankLeadingZeros(&codes[0]);
    if (facts.rows == RowLayout::TemperatureMovedDown)
        std::fill(codes.begin() + 4, codes.begin() + 8, glyph::Blank);
    else
        blankLeadingZeros(&codes[4]);
    if (facts.rows != RowLayout::TimeInThirdRow)
        blankLeadingZeros(&codes[8]);
}

// Sign and overload of whatever the temperature row shows. In dew-point
// display that row shows the dew point, so its minus and point follow the
// dew point rather than the hidden first temperature.
struct TemperatureRow {
    bool negative;
    bool over;
};

TemperatureRow temperatureRow(const MeterReading &r, bool dewPoint)
{
    if (dewPoint)
        return {!r.DewPointOverload && r.DewPoint < 0, r.DewPointOverload};
    return {r.ShownT1 < 0, r.ShownT1Over};
}

std::uint32_t bitIf(bool on, int bit) { return on ? iconBit(bit) : 0u; }

std::uint32_t modelIcons(const MeterReading &r, bool dewPoint, const PanelModelFacts &facts)
{
    if (r.ClockMode && facts.hasClock)
        return iconBit(IconMonthDay) | iconBit(IconHourMinute) | iconBit(IconDash) | iconBit(IconColon);
    const bool celsius = r.TempUnit == QLatin1String("C");
    const TemperatureRow t1 = temperatureRow(r, dewPoint);
    switch (facts.icons) {
    case IconScheme::OneTempAndTime:
        return iconBit(celsius ? IconSubC : IconSubF) | bitIf(t1.negative, IconSubMinus)
            | bitIf(!t1.over, IconSubPoint) | iconBit(r.HourMinute ? IconHourMinute : IconMinuteSecond)
            | iconBit(IconColon);
    case IconScheme::OneTempThirdRow:
        return iconBit(celsius ? IconThirdC : IconThirdF) | bitIf(!t1.over, IconThirdPoint)
            | bitIf(t1.negative, IconThirdMinus);
    case IconScheme::TwoTemperatures: {
        const bool thirdOver = dewPoint ? (r.DewPointOverload || r.T2Over) : r.ShownT2Over;
        return iconBit(celsius ? IconSubC : IconSubF) | iconBit(celsius ? IconThirdC : IconThirdF)
            | bitIf(r.ShownRh < 0, IconMainMinus) | bitIf(!t1.over, IconSubPoint)
            | bitIf(!thirdOver && !r.T2NoDecimals, IconThirdPoint) | bitIf(t1.negative, IconSubMinus)
            | bitIf(r.ShownT2 < 0, IconThirdMinus) | iconBit(IconT1) | iconBit(IconT2);
    }
    case IconScheme::None:
        break;
    }
    return 0;
}

std::uint32_t buildIcons(const MeterReading &r, bool dewPoint, const PanelModelFacts &facts,
                         bool &maxMinBlink)
{
    std::uint32_t flags = bitIf(r.RecOn && facts.hasRecIcon, IconRec);
    if (r.ClockMode) {
        flags |= iconBit(IconYear);
    } else {
        flags |= bitIf(r.MaxMinMode == 1, IconMax) | bitIf(r.MaxMinMode == 2, IconMin);
        maxMinBlink = r.MaxMinMode == 3;
    }
    flags |= bitIf(r.RelativeOn, IconRel) | bitIf(r.HoldOn, IconHold)
        | bitIf(r.AutoPowerOff, IconAutoOff) | bitIf(r.LowBattery, IconLowBattery);
    if (!r.ClockMode)
        flags |= bitIf(!r.ShownRhOver, IconMainPoint) | iconBit(IconRh);
    return flags | modelIcons(r, dewPoint, facts);
}

} // namespace

bool isDewPointDisplay(const MeterReading &reading, const MeterIdentity &id)
{
    return isDewPointVariant(id) && reading.HoldOn;
}

bool BuildLcdState(const MeterReading &reading, const MeterIdentity &id, LcdState &state)
{
    const PanelModelFacts &facts = panelFacts(id.MeterModel);
    const bool dewPoint = isDewPointDisplay(reading, id);
    buildCodes(reading, dewPoint, facts, state.Codes);
    state.LcdIconFlags = buildIcons(reading, dewPoint, facts, state.MaxMinBlink);
    state.DpTimerWanted = dewPoint && holdMeansDewPoint(id);
    return state.DpTimerWanted;
}

} // namespace vandrel
