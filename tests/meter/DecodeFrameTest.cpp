// SPDX-License-Identifier: GPL-3.0-or-later
// Frame decoding: values, signs, overloads, texts, the T2 resolution switch,
// the dew point and the display modes (HOLD, REL, MAX/MIN).
#include "meter/DecodeFrame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iomanip>

using namespace vandrel;

namespace {

DisplayFrame frame(std::uint8_t a, std::uint8_t b, int v1, int v2, int v3)
{
    return {0x02, a, b, std::uint8_t(v1 >> 8), std::uint8_t(v1), std::uint8_t(v2 >> 8), std::uint8_t(v2),
            std::uint8_t(v3 >> 8), std::uint8_t(v3), 0x03};
}

const QLocale C(QLocale::C);

struct Decoder {
    MeterReading r;
    MeterIdentity id;
    Decoder(int model = 580, char suffix = 0) { id = {model, suffix}; }
    void operator()(std::uint8_t a, std::uint8_t b, int v1, int v2, int v3, const QLocale &loc = C)
    {
        DecodeFrame(r, frame(a, b, v1, v2, v3), id, QDateTime(QDate(2025, 3, 12), QTime(9, 7)), loc);
    }
};

} // namespace

TEST(DecodeFrame, ValuesSignsAndTexts)
{
    Decoder d;
    d(0, 0x20, 0x01C8, 0x001E, 0);
    EXPECT_DOUBLE_EQ(d.r.Rh, 45.6);
    EXPECT_EQ(d.r.RhText, "45.6");
    EXPECT_DOUBLE_EQ(d.r.T1, -3.0);
    EXPECT_EQ(d.r.T1Text, "-3.0");
    EXPECT_TRUE(d.r.T1Neg);
    EXPECT_EQ(d.r.T2Text, "0.0");
    EXPECT_EQ(d.r.TempUnit, "C");
    d(0x08, 0, 0, 0, 0);
    EXPECT_EQ(d.r.TempUnit, "F");
}

TEST(DecodeFrame, NegativeZeroIsWrittenWithoutSign)
{
    Decoder d;
    d(0, 0x80, 0, 0, 0);
    EXPECT_TRUE(std::signbit(d.r.Rh));
    EXPECT_EQ(d.r.RhText, "0.0");
}

TEST(DecodeFrame, OverloadTexts)
{
    Decoder d;
    d(0, 0x40 | 0x80, 5, 5, 5);
    EXPECT_EQ(d.r.RhText, "-OL");
    EXPECT_EQ(d.r.DewPointText, "OL");
    EXPECT_TRUE(d.r.DewPointOverload);
    d(0, 0x10 | 0x04, 5, 5, 5);
    EXPECT_EQ(d.r.T1Text, "OL");
    EXPECT_EQ(d.r.T2Text, "OL");
    EXPECT_TRUE(d.r.DewPointOverload);
    d(0, 0, 5, 5, 5);
    EXPECT_FALSE(d.r.DewPointOverload);
    EXPECT_EQ(d.r.DewPointText, "0.0"); // no dew-point variant: unchanged value
}

TEST(DecodeFrame, DecimalSeparatorFollowsLocale)
{
    Decoder d;
    d(0, 0, 456, 213, 2001, QLocale(QLocale::German));
    EXPECT_EQ(d.r.RhText, "45,6");
    EXPECT_EQ(d.r.T1Text, "21,3");
    EXPECT_EQ(d.r.T2Text, "200");
    d(0, 0, 65535, 0, 0, QLocale(QLocale::German));
    EXPECT_EQ(d.r.RhText, "6553,5"); // no group separator
}

TEST(DecodeFrame, WideRangeHysteresisOnT2)
{
    Decoder d;
    const std::pair<int, const char *> steps[] = {{2000, "200.0"}, {2001, "200"}, {1960, "196"}, {1950, "195.0"},
                                                  {1999, "199.9"}};
    for (auto [raw, text] : steps) {
        d(0, 0, 0, 0, raw);
        EXPECT_EQ(d.r.T2Text, text) << raw;
    }
}

TEST(DecodeFrame, WideRangeCutsMeasuredValueTowardZero)
{
    Decoder d;
    d(0, 0x08, 0, 0, 2010); // -201.0 switches to whole numbers
    d(0, 0x08, 0, 0, 2007);
    EXPECT_TRUE(d.r.WideRangeT2);
    EXPECT_DOUBLE_EQ(d.r.T2, -200.0);
    EXPECT_EQ(d.r.T2Text, "-200");
    EXPECT_DOUBLE_EQ(d.r.ShownT2, -200.7); // the display keeps the decimal
}

TEST(DecodeFrame, DewPointOfDewPointVariantInTheMetersUnit)
{
    struct Case {
        std::uint8_t a, b; // unit bit A3, sign bit B5 of T1
        int rh, t1;
        double dewPoint;
        const char *text;
    } const cases[] = {
        {0x00, 0x00, 500, 200, 9.25, "9.3"},     // 50.0 %RH, 20.0 C
        {0x08, 0x00, 546, 766, 59.0, "59.0"},    // 54.6 %RH, 76.6 F (24.8 C: 15.0 C)
        {0x08, 0x00, 500, 680, 48.66, "48.7"},   // 50.0 %RH, 68.0 F = 20.0 C
        {0x08, 0x00, 800, 140, 8.99, "9.0"},     // 80.0 %RH, 14.0 F = -10.0 C
        {0x00, 0x20, 800, 100, -12.78, "-12.8"}, // 80.0 %RH, -10.0 C
    };
    for (const Case &c : cases) {
        Decoder d(580, 'D');
        d(c.a, c.b, c.rh, c.t1, 0);
        EXPECT_NEAR(d.r.DewPoint, c.dewPoint, 0.005) << c.text;
        EXPECT_EQ(d.r.DewPointText, c.text);
        EXPECT_FALSE(d.r.DewPointOverload);
    }
}

TEST(DecodeFrame, NoHumidityGivesNoDewPointAndNoNaN)
{
    Decoder d(580, 'D');
    for (auto [b, rh] : {std::pair{0x00, 0}, std::pair{0x80, 0}, std::pair{0x80, 12}}) {
        d(0x04, std::uint8_t(b), rh, 200, 100); // dew-point display on
        EXPECT_TRUE(std::isfinite(d.r.DewPoint));
        EXPECT_TRUE(d.r.DewPointOverload);
        EXPECT_EQ(d.r.DewPointText, "OL");
        d(0x04, 0, rh, 200, 100); // next frame uses the stored dew point for the display
        EXPECT_TRUE(std::isfinite(d.r.ShownT2));
    }
    d(0, 0, 500, 200, 0); // humidity back: dew point back
    EXPECT_EQ(d.r.DewPointText, "9.3");
    EXPECT_FALSE(d.r.DewPointOverload);
}

TEST(DecodeFrame, ByteTimeTexts)
{
    Decoder d(520);
    DecodeFrame(d.r, {0x02, 0, 0, 0, 0, 0, 0, 5, 123, 0x03}, d.id, QDateTime::currentDateTime(), C);
    EXPECT_EQ(d.r.ByteTimeText[0], "05");
    EXPECT_EQ(d.r.ByteTimeText[1], "23");
}

TEST(DecodeFrame, StatusBitsPerModel)
{
    Decoder d520(520), d540(540), d560(560);
    d520(0x10 | 0x20 | 0xC0, 0x01, 0, 0, 0);
    EXPECT_FALSE(d520.r.RecOn);
    EXPECT_FALSE(d520.r.RecBlink);
    EXPECT_TRUE(d520.r.HourMinute);
    EXPECT_FALSE(d520.r.ClockMode);
    EXPECT_TRUE(d520.r.AutoPowerOff);
    EXPECT_TRUE(d520.r.LowBattery);
    d540(0x20, 0x01, 0, 0, 0);
    EXPECT_TRUE(d540.r.RelativeOn);
    EXPECT_FALSE(d540.r.RecBlink);
    d560(0x10 | 0x20, 0x01, 0, 0, 0);
    EXPECT_TRUE(d560.r.RecOn);
    EXPECT_TRUE(d560.r.RecBlink);
    EXPECT_TRUE(d560.r.ClockMode);
    EXPECT_FALSE(d560.r.RelativeOn);
    d560(0, 0, 0, 0, 0);
    EXPECT_FALSE(d560.r.ClockMode);
    EXPECT_FALSE(d560.r.AutoPowerOff);
}

TEST(DecodeFrame, MaxMinTracksFromSwitchOn)
{
    Decoder d;
    std::vector<double> shown;
    d(0, 0, 380, 0, 0);
    for (int rh : {400, 420, 390}) {
        d(0x01, 0, rh, 0, 0);
        shown.push_back(d.r.ShownRh);
    }
    EXPECT_EQ(shown, (std::vector<double>{40.0, 42.0, 42.0}));
    d(0x02, 0, 450, 0, 0); // MIN: the lowest since the mode came on
    EXPECT_DOUBLE_EQ(d.r.ShownRh, 39.0);
    d(0x02, 0, 500, 0, 0);
    EXPECT_DOUBLE_EQ(d.r.ShownRh, 39.0);
    d(0x03, 0, 510, 0, 0); // both: live value
    EXPECT_DOUBLE_EQ(d.r.ShownRh, 51.0);
    d(0, 0, 300, 0, 0);
    d(0x02, 0, 350, 0, 0); // switching on again starts afresh
    EXPECT_DOUBLE_EQ(d.r.ShownRh, 35.0);
}

TEST(DecodeFrame, MaxKeepsOverloadMarkOfItsValue)
{
    Decoder d;
    d(0x01, 0x00, 100, 0, 0);
    d(0x01, 0x40, 900, 0, 0); // overloaded and larger: becomes the maximum with its mark
    d(0x01, 0x00, 200, 0, 0);
    EXPECT_DOUBLE_EQ(d.r.ShownRh, 90.0);
    EXPECT_TRUE(d.r.ShownRhOver);
}

TEST(DecodeFrame, HoldCapturesOnEachSwitchOn)
{
    Decoder d;
    d(0x04, 0, 400, 200, 0);
    d(0x04, 0, 500, 250, 0);
    EXPECT_DOUBLE_EQ(d.r.ShownRh, 40.0);
    EXPECT_DOUBLE_EQ(d.r.Rh, 50.0); // the measured value stays live
    d(0, 0, 550, 0, 0);
    EXPECT_DOUBLE_EQ(d.r.ShownRh, 55.0);
    d(0x04, 0, 600, 0, 0);
    d(0x04, 0, 610, 0, 0);
    EXPECT_DOUBLE_EQ(d.r.ShownRh, 60.0);
}

TEST(DecodeFrame, RelativeOn540SubtractsReference)
{
    Decoder d(540);
    d(0x20, 0, 0, 210, 0);
    d(0x20, 0, 0, 225, 0);
    EXPECT_NEAR(d.r.ShownT1, 1.5, 1e-9);
    Decoder other(580);
    other(0x20, 0, 0, 225, 0);
    EXPECT_DOUBLE_EQ(other.r.ShownT1, 22.5);
}

TEST(DecodeFrame, DewPointVariantHoldBitIsDewPointMode)
{
    Decoder d(580, 'D');
    d(0, 0, 500, 200, 100);
    d(0x04, 0, 520, 210, 100);
    EXPECT_DOUBLE_EQ(d.r.ShownRh, 52.0); // no HOLD capture: values stay live
    EXPECT_NEAR(d.r.ShownT2, 9.2467 - 10.0, 0.01); // previous dew point minus T2
}

namespace {

// Qt's own fixed-point digits, with no sign on a value that rounds to zero:
// what every number text has always been.
QString qtDigits(double v, int decimals)
{
    QString s = QString::number(v, 'f', decimals);
    if (s.startsWith(QLatin1Char('-')) &&
        std::none_of(s.begin(), s.end(), [](QChar c) { return c >= QLatin1Char('1') && c <= QLatin1Char('9'); }))
        s.remove(0, 1);
    return s;
}

struct DigitsCase {
    const char *name;
    int decimals;
    int count;
    double (*value)(int i);
};

class FixedDigits : public ::testing::TestWithParam<DigitsCase> {};

} // namespace

// The texts are written without Qt's number formatting but must read digit for
// digit the same, halves included (Qt rounds a true half away from zero).
TEST_P(FixedDigits, ReadDigitForDigitAsQtWritesThem)
{
    const DigitsCase &c = GetParam();
    const DecimalPoint point(QLocale::c()), comma(QLocale(QLocale::German, QLocale::Germany));
    int mismatches = 0;
    for (int i = 0; i < c.count && mismatches < 5; ++i) {
        const double v = c.value(i);
        const QString expected = qtDigits(v, c.decimals);
        const QString text = formatFixed(v, c.decimals, point);
        QString reused = QStringLiteral("x");
        formatFixedInto(reused, v, c.decimals, comma);
        if (text != expected || reused != QString(expected).replace(QLatin1Char('.'), QLatin1Char(','))) {
            ++mismatches;
            ADD_FAILURE() << std::setprecision(17) << v << " with " << c.decimals << " decimals: "
                          << text.toStdString() << " / " << reused.toStdString() << ", Qt writes "
                          << expected.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, FixedDigits,
    ::testing::Values(
        DigitsCase{"MeterTenths", 1, 140001, [](int i) { return (i - 70000) * 0.1; }},
        DigitsCase{"QuartersAreHalvesAtOneDecimal", 1, 8001, [](int i) { return (i - 4000) / 4.0; }},
        DigitsCase{"HalvesAtNoDecimals", 0, 8001, [](int i) { return (i - 4000) / 2.0; }},
        DigitsCase{"EighthsAtTwoDecimals", 2, 8001, [](int i) { return (i - 4000) / 8.0; }},
        DigitsCase{"SinglePrecisionDewPoints", 1, 100000,
                   [](int i) { return static_cast<double>(static_cast<float>(std::sin(i * 0.37) * 90.0)); }},
        DigitsCase{"JustBelowZero", 1, 400, [](int i) { return -i * 0.00025; }},
        DigitsCase{"LargeAndHuge", 1, 4000, [](int i) { return (i - 2000) * 987654.321 * (i % 7 == 0 ? 1e6 : 1.0); }},
        DigitsCase{"NotANumberOrInfinite", 1, 3,
                   [](int i) { return i == 0 ? std::nan("") : (i == 1 ? HUGE_VAL : -HUGE_VAL); }}),
    [](const auto &info) { return std::string(info.param.name); });
