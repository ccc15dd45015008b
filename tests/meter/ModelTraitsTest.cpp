// SPDX-License-Identifier: GPL-3.0-or-later
// The model table against what the meter family is: every model (and a code
// outside it) with every suffix, each fact stated as the meters have it and
// checked through what the program derives from the table.
#include "meter/ModelTraits.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace vandrel {
namespace {

struct Meter {
    int code;
    int temperatures;  // 0 for a code outside the family
    bool logs;
    StatusBit5 bit5;
    int loggedValues;  // two-byte values in a logged sample
    bool loggedT2;     // and whether the third of them is a second temperature
};

// As the family is: one temperature on 520 and 560, two and a dew point on
// 540 and 580; only 560 and 580 log; the 540's third logged value is not T2.
const Meter kFamily[] = {
    {520, 1, false, StatusBit5::HourMinute, 2, false},
    {540, 2, false, StatusBit5::Relative, 3, false},
    {560, 1, true, StatusBit5::ClockMode, 2, false},
    {580, 2, true, StatusBit5::ClockMode, 3, true},
    {999, 0, false, StatusBit5::Nothing, 2, false},
};
const char kSuffixes[] = {0, 'D', '\r', 'X'};

struct Case {
    Meter meter;
    char suffix;
};

std::string nameOf(const Case &c)
{
    const char s = c.suffix;
    return std::to_string(c.meter.code) + (s == 0 ? "None" : s == '\r' ? "CR" : std::string(1, s));
}
std::string caseName(const testing::TestParamInfo<Case> &info) { return nameOf(info.param); }
void PrintTo(const Case &c, std::ostream *out) { *out << nameOf(c); }

std::vector<Case> everyModelAndSuffix()
{
    std::vector<Case> cases;
    for (const Meter &m : kFamily)
        for (char s : kSuffixes)
            cases.push_back({m, s});
    return cases;
}

class ModelTraitsFacts : public testing::TestWithParam<Case> {};

TEST_P(ModelTraitsFacts, matchTheMeter)
{
    const Meter &m = GetParam().meter;
    const char suffix = GetParam().suffix;
    const MeterIdentity id{m.code, suffix};
    const ModelTraits &t = modelTraits(m.code);
    const bool known = m.temperatures > 0;
    const bool two = m.temperatures == 2;
    const bool dewPointSuffix = suffix == 'D';

    EXPECT_EQ(isKnownModel(m.code), known);
    EXPECT_EQ(t.code, known ? m.code : 0);
    EXPECT_EQ(t.twoTemperatures(), two);
    EXPECT_EQ(t.channels, 1 + (two ? 2 : 1));
    EXPECT_EQ(t.seriesCount(), two ? 4 : 2);
    EXPECT_EQ(t.canLog, m.logs);
    // The REC bits are cleared only on the two models without a logger.
    EXPECT_EQ(t.recordBits, m.logs || !known);
    EXPECT_EQ(t.bit5, m.bit5);
    EXPECT_EQ(t.sampleSize, 2 * m.loggedValues);
    EXPECT_EQ(t.logsT2(), m.loggedT2);

    // The suffix: a dew point on any model, HOLD showing it only beside two
    // temperatures, the stream download after a carriage return.
    EXPECT_EQ(isDewPointVariant(id), dewPointSuffix);
    EXPECT_EQ(holdMeansDewPoint(id), dewPointSuffix && two);
    EXPECT_EQ(downloadVariant(suffix) == DownloadVariant::Stream, suffix == '\r');

    const QStringList one{"Temperature", "UNIT", "", ""};
    const QStringList both{"T1", "UNIT", "T2", "UNIT", "Dewpoint"};
    EXPECT_EQ(t.liveHeadings(), !known ? QStringList() : two ? both : one);
    QStringList logged = m.loggedT2 ? both.mid(0, 4) : one;
    if (dewPointSuffix)
        logged << (m.loggedT2 ? "Dewpoint" : "");
    EXPECT_EQ(t.loggedHeadings(suffix), logged);
}

INSTANTIATE_TEST_SUITE_P(EveryModelAndSuffix, ModelTraitsFacts, testing::ValuesIn(everyModelAndSuffix()), caseName);

} // namespace
} // namespace vandrel
