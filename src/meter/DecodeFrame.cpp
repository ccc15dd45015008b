// SPDX-License-Identifier: GPL-3.0-or-later
// Frame decoding: status bits per model, values, dew point, table texts and
// the HOLD / REL / MAX-MIN handling of the values the LCD shows.
#include "meter/DecodeFrame.h"

#include "meter/ModelTraits.h"

#include <cmath>

namespace vandrel {

namespace {

// The value the table and the graph use while no dew point exists: the
// chart's null value, so the graph shows a gap instead of a made-up number.
constexpr double kNoDewPoint = 9999.0;

double value16(const DisplayFrame &f, int offset, bool negative)
{
    const double v = (f[offset] * 256 + f[offset + 1]) * 0.1;
    return negative ? -v : v;
}

QString overloadText(bool negative) { return negative ? QStringLiteral("-OL") : QStringLiteral("OL"); }

ShownTriple shownOf(const MeterReading &r)
{
    return {r.ShownRh, r.ShownT1, r.ShownT2, r.ShownRhOver, r.ShownT1Over, r.ShownT2Over};
}

void setShown(MeterReading &r, const ShownTriple &s)
{
    r.ShownRh = s.rh;
    r.ShownT1 = s.t1;
    r.ShownT2 = s.t2;
    r.ShownRhOver = s.rhOver;
    r.ShownT1Over = s.t1Over;
    r.ShownT2Over = s.t2Over;
}

void decodeStatus(MeterReading &r, std::uint8_t a, std::uint8_t b, int model)
{
    const ModelTraits &traits = modelTraits(model);
    const bool recordingModel = traits.recordBits;
    r.MaxMinMode = a & 0x03;
    r.HoldOn = a & 0x04;
    r.TempUnit = (a & 0x08) ? QStringLiteral("F") : QStringLiteral("C");
    r.RecOn = recordingModel && (a & 0x10);
    r.RelativeOn = false;
    r.ClockMode = false;
    const bool bit5 = a & 0x20;
    switch (traits.bit5) {
    case StatusBit5::HourMinute: r.HourMinute = bit5; break;
    case StatusBit5::Relative: r.RelativeOn = bit5; break;
    case StatusBit5::ClockMode: r.ClockMode = bit5; break;
    case StatusBit5::Nothing: break;
    }
    r.AutoPowerOff = a & 0x40;
    r.LowBattery = a & 0x80;

    r.RecBlink = recordingModel && (b & 0x01);
    r.T2NoDecimals = b & 0x02;
    r.T2Over = b & 0x04;
    r.T2Neg = b & 0x08;
    r.T1Over = b & 0x10;
    r.T1Neg = b & 0x20;
    r.RhOver = b & 0x40;
    r.RhNeg = b & 0x80;
}

void updateWideRange(MeterReading &r)
{
    if (r.WideRangeT2)
        r.WideRangeT2 = r.T2 > 195 || r.T2 < -195;
    else
        r.WideRangeT2 = r.T2 > 200 || r.T2 < -200;
}

// A text of the reading: the overload mark, or the value written over the
// text it replaces (a frame a third of a second later mostly reads the same).
void setText(QString &text, bool over, bool negative, double value, int decimals, const DecimalPoint &point)
{
    if (over)
        text = overloadText(negative);
    else
        formatFixedInto(text, value, decimals, point);
}

void makeTexts(MeterReading &r, bool noDewPoint, const DecimalPoint &point)
{
    setText(r.RhText, r.RhOver, r.RhNeg, r.Rh, 1, point);
    setText(r.T1Text, r.T1Over, r.T1Neg, r.T1, 1, point);
    if (r.T1Over || r.RhOver) {
        r.DewPointText = QStringLiteral("OL");
        r.DewPointOverload = true;
    } else if (noDewPoint) {
        r.DewPointText = QStringLiteral("OL");
        r.DewPointOverload = true;
    } else {
        r.DewPointOverload = false;
        formatFixedInto(r.DewPointText, r.DewPoint, 1, point);
    }
    if (!r.T2Over && r.WideRangeT2)
        r.T2 = std::trunc(r.T2);
    setText(r.T2Text, r.T2Over, r.T2Neg, r.T2, r.WideRangeT2 ? 0 : 1, point);
}

void applyModes(MeterReading &r, const MeterIdentity &id)
{
    const bool dewSuffix = isDewPointVariant(id);
    // REL is the meaning of status bit 5 on the models that have it.
    if (modelTraits(id.MeterModel).bit5 == StatusBit5::Relative) {
        if (r.RelativeOn && !r.PrevRelativeOn)
            r.RelReference = shownOf(r);
        r.PrevRelativeOn = r.RelativeOn;
        if (r.RelativeOn) {
            r.ShownRh -= r.RelReference.rh;
            r.ShownT1 -= r.RelReference.t1;
            r.ShownT2 -= r.RelReference.t2;
        }
    }

    if (r.HoldOn && !r.PrevHoldOn && !dewSuffix)
        r.HoldStore = shownOf(r);
    r.PrevHoldOn = r.HoldOn;

    if (r.MaxMinMode != 0 && r.PrevMaxMinMode == 0) {
        r.MaxStore = shownOf(r);
        r.MinStore = shownOf(r);
    }
    r.PrevMaxMinMode = r.MaxMinMode;
    if (r.MaxMinMode != 0) {
        // Strict comparisons: an equal value keeps the older overload mark.
        auto track = [](double v, bool over, double &maxV, bool &maxO, double &minV, bool &minO) {
            if (v > maxV) {
                maxV = v;
                maxO = over;
            }
            if (v < minV) {
                minV = v;
                minO = over;
            }
        };
        ShownTriple &mx = r.MaxStore;
        ShownTriple &mn = r.MinStore;
        track(r.ShownRh, r.ShownRhOver, mx.rh, mx.rhOver, mn.rh, mn.rhOver);
        track(r.ShownT1, r.ShownT1Over, mx.t1, mx.t1Over, mn.t1, mn.t1Over);
        track(r.ShownT2, r.ShownT2Over, mx.t2, mx.t2Over, mn.t2, mn.t2Over);
        if (r.MaxMinMode == 1)
            setShown(r, mx);
        else if (r.MaxMinMode == 2)
            setShown(r, mn);
    }

    if (r.HoldOn && !dewSuffix)
        setShown(r, r.HoldStore);
}

} // namespace

bool computeDewPoint(double rh, double t, double &dewPoint)
{
    if (!(rh > 0.0))
        return false;
    const float a = 17.27f;
    const float b = 237.7f;
    const double x = std::log(rh / 100.0);
    const float p = static_cast<float>(x + a * t / (b + t));
    const double dp = b * static_cast<double>(p) / (a - static_cast<double>(p));
    if (!std::isfinite(dp) || !std::isfinite(p))
        return false;
    dewPoint = dp;
    return true;
}

bool dewPointInUnit(double rh, double t, bool fahrenheit, double &dewPoint)
{
    if (!fahrenheit)
        return computeDewPoint(rh, t, dewPoint);
    // The formula's constants are for degrees Celsius: a Fahrenheit reading is
    // taken there and back, or the dew point comes out several degrees high.
    double celsius = 0.0;
    if (!computeDewPoint(rh, (t - 32.0) / 1.8, celsius))
        return false;
    dewPoint = celsius * 1.8 + 32.0;
    return true;
}

void DecodeFrame(MeterReading &r, const DisplayFrame &f, const MeterIdentity &id, const QDateTime &now,
                 const QLocale &locale)
{
    DecodeFrame(r, f, id, now, DecimalPoint(locale));
}

void DecodeFrame(MeterReading &r, const DisplayFrame &f, const MeterIdentity &id, const QDateTime &now,
                 const DecimalPoint &point)
{
    r.FrameTime = now;
    decodeStatus(r, f[1], f[2], id.MeterModel);

    r.Rh = value16(f, 3, r.RhNeg);
    r.T1 = value16(f, 5, r.T1Neg);
    r.T2 = value16(f, 7, r.T2Neg);
    r.ShownRh = r.Rh;
    r.ShownT1 = r.T1;
    r.ShownRhOver = r.RhOver;
    r.ShownT1Over = r.T1Over;
    // In dew-point mode the third row shows the dew point's distance from T2,
    // taken from the previous frame's dew point.
    const bool dewPointMode = holdMeansDewPoint(id) && r.HoldOn;
    r.ShownT2 = dewPointMode ? r.DewPoint - r.T2 : r.T2;
    r.ShownT2Over = r.T2Over;

    updateWideRange(r);

    bool noDewPoint = false;
    if (isDewPointVariant(id)) {
        double dp = 0.0;
        noDewPoint = !dewPointInUnit(r.Rh, r.T1, r.TempUnit == QLatin1String("F"), dp);
        r.DewPoint = noDewPoint ? kNoDewPoint : dp;
    }

    makeTexts(r, noDewPoint, point);
    r.HasDewPoint = isDewPointVariant(id) && !r.DewPointOverload;

    // Each byte's last two decimal digits (5 gives 05, 123 gives 23).
    for (int i = 0; i < 2; ++i) {
        const int v = f[7 + i] % 100;
        QString &t = r.ByteTimeText[i];
        t.resize(2);
        t[0] = QLatin1Char(static_cast<char>('0' + v / 10));
        t[1] = QLatin1Char(static_cast<char>('0' + v % 10));
    }

    applyModes(r, id);
}

} // namespace vandrel
