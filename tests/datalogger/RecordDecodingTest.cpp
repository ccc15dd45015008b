// SPDX-License-Identifier: GPL-3.0-or-later
// Record decoding over byte images: set tables from good and malformed memory,
// sample values and texts at their limits, dew point, extremes, and a
// cross-check against memory built by the simulated meter, and number texts
// in several locales.
#include "datalogger/DataLoggerFill.h"
#include "datalogger/LoggerRecords.h"
#include "meter/DecodeFrame.h"
#include "realtime/OutputToGraph.h"

#include "LoggerMemory.h"
#include "ScopedEnvironment.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace vandrel;

namespace {

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out.append(static_cast<char>(b));
    return out;
}

// A set record: start fields 2009-06-15 14:30:00, interval 60 s, `flags`, samples as given.
QByteArray setRecord(const QList<QByteArray> &samples, int flags = 0, QByteArray start = {})
{
    if (start.isEmpty())
        start = bytes({0x14, 0x09, 0x06, 0x0F, 0x0E, 0x1E, 0x00});
    QByteArray out = bytes({0xA5, 0x5A}) + start + bytes({0x00, 0x3C, flags});
    out += bytes({static_cast<int>(samples.size()) >> 8, static_cast<int>(samples.size()) & 0xFF});
    for (const QByteArray &s : samples)
        out += s;
    return out + bytes({0x5A, 0xA5});
}

QByteArray workedExample()
{
    return setRecord({bytes({0x01, 0xC5, 0x00, 0xFA}), bytes({0x03, 0xE8, 0x80, 0x64}),
                      bytes({0x01, 0xC5, 0x00, 0xFA})});
}

const QDateTime kNow(QDate(2030, 1, 2), QTime(3, 4, 5));

class LocaleC : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale::c()); }
};

} // namespace

using RecordDecoding = LocaleC;

TEST_F(RecordDecoding, WorkedExampleDecodesTimesTextsAndExtremes)
{
    DataSetTable table;
    ASSERT_EQ(BuildSetTable(1, workedExample(), 4, table, kNow), kSetTableAccepted);
    ASSERT_EQ(table.setCount(), 1);
    const DataSet &set = table.Sets.at(0);
    EXPECT_EQ(set.StartOffset, 0);
    EXPECT_EQ(set.EndOffset, 27);
    EXPECT_EQ(set.Count, 3);
    EXPECT_EQ(set.Interval, 60);
    EXPECT_EQ(set.Unit, 'C');
    EXPECT_DOUBLE_EQ(set.StartTime, toDays(QDate(2009, 6, 15), QTime(14, 30)));

    const DecodedSet d = decodeSetSamples(table, 0, 520, 0);
    ASSERT_EQ(d.Samples.size(), 3);
    const QStringList rh{d.Samples[0].RhText, d.Samples[1].RhText, d.Samples[2].RhText};
    const QStringList t1{d.Samples[0].T1Text, d.Samples[1].T1Text, d.Samples[2].T1Text};
    EXPECT_EQ(rh, QStringList({"45.3", "OL", "45.3"}));
    EXPECT_EQ(t1, QStringList({"25.0", "-10.0", "25.0"}));
    EXPECT_FALSE(d.Samples[1].RhValid);
    EXPECT_EQ(fromDays(d.Samples[1].Time).time(), QTime(14, 31));
    EXPECT_EQ(fromDays(d.Samples[2].Time).time(), QTime(14, 32));
    EXPECT_FALSE(d.Samples[0].HasT2);
    EXPECT_FALSE(d.Samples[0].HasDp);

    EXPECT_EQ(d.Rh.Max.Row, 1); // the earlier of two equal maxima
    EXPECT_FLOAT_EQ(d.Rh.Max.Value, 45.3f);
    EXPECT_EQ(d.T1.Min.Row, 2);
    EXPECT_FLOAT_EQ(d.T1.Min.Value, -10.0f);
    EXPECT_EQ(d.T1.Max.Row, 1);
    EXPECT_FALSE(d.T2.Present);
    EXPECT_FALSE(d.Dp.Present);
}

// Every sample of the longest set the memory holds, for every model, at
// intervals from one second to the longest the record can carry: each time is
// the start plus index x interval to the millisecond, so the table's whole
// seconds never slip, and the extremes carry the times of their samples.
struct LongSetCase {
    int model;
    int interval;
};

class LongestSets : public LocaleC, public ::testing::WithParamInterface<LongSetCase> {};

TEST_P(LongestSets, EverySampleTimeIsStartPlusIndexTimesInterval)
{
    const auto [model, interval] = GetParam();
    const int sampleSize = sampleSizeFor(model);
    const int n = (kLoggerMemorySize - kHeaderSize - 16) / sampleSize;
    // RH 45.0 and T1 20.0 throughout; the last sample holds the highest RH and
    // the lowest T1, where an accumulated time would have drifted furthest.
    const QByteArray plain = bytes({0x01, 0xC2, 0x00, 0xC8, 0x00, 0x00}).left(sampleSize);
    const QByteArray last = bytes({0x03, 0x84, 0x81, 0x2C, 0x00, 0x00}).left(sampleSize);
    QByteArray image = bytes({0xA5, 0x5A, 20, 26, 12, 7, 7, 0, 0, interval >> 8, interval & 0xFF, 0, n >> 8, n & 0xFF});
    image.reserve(16 + n * sampleSize);
    for (int i = 0; i < n - 1; ++i)
        image += plain;
    image += last + bytes({0x5A, 0xA5});
    ASSERT_LE(kHeaderSize + image.size(), kLoggerMemorySize);

    DataSetTable table;
    ASSERT_EQ(BuildSetTable(1, image, sampleSize, table, kNow), kSetTableAccepted);
    const DecodedSet d = decodeSetSamples(table, 0, model, 'D');
    ASSERT_EQ(d.Samples.size(), n);
    const qint64 start = QDateTime(QDate(2026, 12, 7), QTime(7, 0), Qt::UTC).toMSecsSinceEpoch();
    int wrong = 0;
    for (int i = 0; i < n; ++i) {
        const qint64 got = fromDays(d.Samples[i].Time).toMSecsSinceEpoch();
        if (got != start + qint64(i) * interval * 1000 && ++wrong <= 3)
            ADD_FAILURE() << "sample " << i << " at " << fromDays(d.Samples[i].Time).toString(Qt::ISODateWithMs).toStdString();
    }
    EXPECT_EQ(wrong, 0) << "samples with a wrong time";
    const double lastTime = d.Samples.constLast().Time;
    EXPECT_EQ(d.Rh.Max.Row, n);
    EXPECT_EQ(d.Rh.Max.Time, lastTime);
    EXPECT_EQ(d.T1.Min.Row, n);
    EXPECT_EQ(d.T1.Min.Time, lastTime);
    EXPECT_EQ(d.T1.Max.Time, d.Samples.constFirst().Time);
}

INSTANTIATE_TEST_SUITE_P(ModelsAndIntervals, LongestSets, ::testing::ValuesIn([] {
                             std::vector<LongSetCase> cases;
                             for (int model : {520, 540, 560, 580})
                                 for (int interval : {1, 3, 7, 10, 60, 90, 3599, 65535})
                                     cases.push_back({model, interval});
                             return cases;
                         }()),
                         [](const auto &info) {
                             return std::to_string(info.param.model) + "Every" + std::to_string(info.param.interval) + "s";
                         });

struct TableCase {
    const char *name;
    QByteArray image;
    int setCount;
    int result;
    QList<int> starts; // start offsets of the accepted sets
};

class SetTableCases : public ::testing::TestWithParam<TableCase> {};

TEST_P(SetTableCases, BuildsOrRejectsAsAWhole)
{
    const TableCase &c = GetParam();
    DataSetTable table;
    ASSERT_EQ(BuildSetTable(1, workedExample(), 4, table, kNow), kSetTableAccepted);
    const DataSetTable before = table;

    EXPECT_EQ(BuildSetTable(c.setCount, c.image, 4, table, kNow), c.result);
    if (c.result != kSetTableAccepted) {
        EXPECT_EQ(table.Image, before.Image); // the previous table stays
        EXPECT_EQ(table.setCount(), before.setCount());
        return;
    }
    QList<int> starts;
    for (const DataSet &s : table.Sets)
        starts << s.StartOffset;
    EXPECT_EQ(starts, c.starts);
    EXPECT_EQ(table.Image, c.image);
}

INSTANTIATE_TEST_SUITE_P(
    Images, SetTableCases,
    ::testing::Values(
        TableCase{"EmptySetIsSixteenBytes", setRecord({}), 1, kSetTableAccepted, {0}},
        TableCase{"TwoSetsBackToBack", workedExample() + setRecord({}), 2, kSetTableAccepted, {0, 28}},
        TableCase{"TrailingBytesIgnored", setRecord({}) + bytes({0xFF, 0xFF}), 1, kSetTableAccepted, {0}},
        TableCase{"BadOpeningMarker", bytes({0xA4}) + workedExample().mid(1), 1, kSetTableMalformed, {}},
        TableCase{"BadSecondMarker", workedExample().replace(1, 1, "\x5B"), 1, kSetTableMalformed, {}},
        TableCase{"BadClosingMarker", workedExample().left(27) + bytes({0xA4}), 1, kSetTableMalformed, {}},
        TableCase{"EndBeyondImage", workedExample().left(27), 1, kSetTableMalformed, {}},
        TableCase{"ImageShorterThanAnySet", bytes({0xA5, 0x5A, 0x14}), 1, kSetTableMalformed, {}},
        TableCase{"EmptyImage", QByteArray(), 1, kSetTableMalformed, {}},
        TableCase{"MoreSetsAnnouncedThanPresent", workedExample(), 2, kSetTableMalformed, {}},
        TableCase{"HugeCountPointsFarPastEnd", setRecord({}).replace(12, 2, "\xFF\xFF"), 1, kSetTableMalformed,
                  {}},
        TableCase{"SecondSetBroken", workedExample() + bytes({0x00}) + setRecord({}), 2, kSetTableMalformed,
                  {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SetTable, NegativeCountOrSampleSizeIsRejected)
{
    DataSetTable table;
    EXPECT_EQ(BuildSetTable(-1, setRecord({}), 4, table, kNow), kSetTableMalformed);
    EXPECT_EQ(BuildSetTable(1, setRecord({}), 0, table, kNow), kSetTableMalformed);
}

struct StartCase {
    const char *name;
    QByteArray start; // the seven start bytes
    int flags;
    QDateTime expected;
    char unit;
};

class StartFieldCases : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartFieldCases, DateTimeAndUnit)
{
    const StartCase &c = GetParam();
    DataSetTable table;
    ASSERT_EQ(BuildSetTable(1, setRecord({}, c.flags, c.start), 4, table, kNow), kSetTableAccepted);
    EXPECT_DOUBLE_EQ(table.Sets[0].StartTime, toDays(c.expected));
    EXPECT_EQ(table.Sets[0].Unit, c.unit);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, StartFieldCases,
    ::testing::Values(
        StartCase{"Valid", bytes({20, 24, 2, 29, 23, 59, 59}), 0x08, QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59)), 'F'},
        StartCase{"OtherFlagBits", bytes({20, 24, 2, 29, 0, 0, 0}), 0xF7, QDateTime(QDate(2024, 2, 29), QTime(0, 0)), 'C'},
        StartCase{"AllFlagBits", bytes({20, 24, 2, 29, 0, 0, 0}), 0xFF, QDateTime(QDate(2024, 2, 29), QTime(0, 0)), 'F'},
        StartCase{"Month0", bytes({20, 9, 0, 15, 14, 30, 0}), 0, kNow, 'C'},
        StartCase{"Month13", bytes({20, 9, 13, 15, 14, 30, 0}), 0, kNow, 'C'},
        StartCase{"April31", bytes({20, 9, 4, 31, 14, 30, 0}), 0, kNow, 'C'},
        StartCase{"Hour24", bytes({20, 9, 6, 15, 24, 0, 0}), 0, kNow, 'C'},
        StartCase{"Feb29NoLeapYear", bytes({20, 23, 2, 29, 0, 0, 0}), 0, kNow, 'C'},
        StartCase{"CenturyZeroTakenLiterally", bytes({0, 9, 6, 15, 14, 30, 0}), 0, QDateTime(QDate(9, 6, 15), QTime(14, 30)), 'C'},
        StartCase{"YearZeroDoesNotExist", bytes({0, 0, 6, 15, 14, 30, 0}), 0, kNow, 'C'}),
    [](const auto &info) { return std::string(info.param.name); });

struct SampleCase {
    const char *name;
    int model;
    char suffix;
    QByteArray sample;
    QString rh, t1, t2; // t2 empty when the model has none
    bool rhValid, t1Valid, t2Valid;
};

class SampleCases : public LocaleC, public ::testing::WithParamInterface<SampleCase> {};

TEST_P(SampleCases, ValuesTextsAndValidity)
{
    const SampleCase &c = GetParam();
    const LoggerSample s = DecodeSample(bytes({0x00}) + c.sample, 1, c.model, c.suffix);
    ASSERT_TRUE(s.Complete);
    EXPECT_EQ(s.RhText, c.rh);
    EXPECT_EQ(s.T1Text, c.t1);
    EXPECT_EQ(s.RhValid, c.rhValid);
    EXPECT_EQ(s.T1Valid, c.t1Valid);
    EXPECT_EQ(s.HasT2, !c.t2.isEmpty());
    if (s.HasT2) {
        EXPECT_EQ(s.T2Text, c.t2);
        EXPECT_EQ(s.T2Valid, c.t2Valid);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Limits, SampleCases,
    ::testing::Values(
        SampleCase{"Rh100IsOverload", 560, 0, bytes({0x03, 0xE8, 0x00, 0xFA}), "OL", "25.0", "", false, true, false},
        SampleCase{"Rh0IsOverload", 560, 0, bytes({0x00, 0x00, 0x00, 0xFA}), "OL", "25.0", "", false, true, false},
        SampleCase{"Rh0FlaggedIsNegativeOverload", 560, 0, bytes({0x80, 0x00, 0x00, 0xFA}), "-OL", "25.0", "", false, true, false},
        SampleCase{"RhFlagNeverNegates", 560, 0, bytes({0x81, 0xC5, 0x00, 0xFA}), "45.3", "25.0", "", true, true, false},
        SampleCase{"Rh99_9And0_1Valid", 520, 0, bytes({0x03, 0xE7, 0x00, 0x01}), "99.9", "0.1", "", true, true, false},
        SampleCase{"Rh0_1Valid", 520, 0, bytes({0x00, 0x01, 0x80, 0x00}), "0.1", "0.0", "", true, true, false},
        SampleCase{"T1At200IsOverload", 560, 0, bytes({0x01, 0xC5, 0x07, 0xD0}), "45.3", "OL", "", true, false, false},
        SampleCase{"T1AtMinus40IsOverload", 560, 0, bytes({0x01, 0xC5, 0x81, 0x90}), "45.3", "-OL", "", true, false, false},
        SampleCase{"T1Minus39_9Valid", 560, 0, bytes({0x01, 0xC5, 0x81, 0x8F}), "45.3", "-39.9", "", true, true, false},
        SampleCase{"Model540SkipsThirdValue", 540, 'D', bytes({0x01, 0xC5, 0x00, 0xFA, 0x61, 0xA8}), "45.3", "25.0", "", true, true, false},
        SampleCase{"T2WideCutTowardZero", 580, 0, bytes({0x01, 0xC5, 0x00, 0xFA, 0x87, 0xD1}), "45.3", "25.0", "-200", true, true, true},
        SampleCase{"T2Wide", 580, 0, bytes({0x01, 0xC5, 0x00, 0xFA, 0x07, 0xDB}), "45.3", "25.0", "201", true, true, true},
        SampleCase{"T2At200KeepsDecimal", 580, 0, bytes({0x01, 0xC5, 0x00, 0xFA, 0x07, 0xD0}), "45.3", "25.0", "200.0", true, true, true},
        SampleCase{"T2At2500IsOverload", 580, 0, bytes({0x01, 0xC5, 0x00, 0xFA, 0x61, 0xA8}), "45.3", "25.0", "OL", true, true, false},
        SampleCase{"T2AtMinus400IsOverload", 580, 0, bytes({0x01, 0xC5, 0x00, 0xFA, 0x8F, 0xA0}), "45.3", "25.0", "-OL", true, true, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(RecordDecoding, T2BeyondTwoHundredIsAWholeNumber)
{
    const LoggerSample s = DecodeSample(bytes({0x01, 0xC5, 0x00, 0xFA, 0x87, 0xD1}), 0, 580, 0);
    EXPECT_DOUBLE_EQ(s.T2, -200.0);
}

TEST_F(RecordDecoding, SampleOutsideTheImageIsIncompleteNotRead)
{
    const QByteArray image = bytes({0x01, 0xC5, 0x00, 0xFA, 0x00});
    EXPECT_TRUE(DecodeSample(image, 0, 560, 0).Complete);
    EXPECT_FALSE(DecodeSample(image, 2, 560, 0).Complete);
    EXPECT_FALSE(DecodeSample(image, 0, 580, 'D').Complete); // needs six bytes
    EXPECT_FALSE(DecodeSample(image, -1, 560, 0).Complete);
    EXPECT_TRUE(DecodeSample(image, 2, 560, 0).RhText.isEmpty());
}

// A 540 measures two temperatures live but logs six bytes per sample of which
// only RH and T1 are decoded: its samples are whole only with all six bytes,
// and its logger table has one temperature where its live table has two.
TEST_F(RecordDecoding, Model540LogsSixBytesOfWhichTwoValuesAreDecoded)
{
    const QByteArray sample = bytes({0x01, 0xC5, 0x00, 0xFA, 0x61, 0xA8});
    EXPECT_TRUE(DecodeSample(sample, 0, 540, 'D').Complete);
    EXPECT_FALSE(DecodeSample(sample.left(4), 0, 540, 'D').Complete);
    EXPECT_FALSE(DecodeSample(sample.left(5), 0, 540, 'D').Complete);
    EXPECT_EQ(sampleHeadings({540, 'D'}).mid(5), QStringList({"Temperature", "UNIT", "", "", ""}));
    EXPECT_EQ(tableHeadings(540).mid(5), QStringList({"T1", "UNIT", "T2", "UNIT", "Dewpoint"}));
}

TEST_F(RecordDecoding, DewPointFromRhAndT1AndRhZeroDoesNotStopTheSet)
{
    // RH 50.0 / T1 25.0, then RH 0 (overloaded; no dew point), then RH 80.0 / T1 10.0.
    const QByteArray image = setRecord({bytes({0x01, 0xF4, 0x00, 0xFA, 0x00, 0x00}),
                                        bytes({0x00, 0x00, 0x00, 0xFA, 0x00, 0x00}),
                                        bytes({0x03, 0x20, 0x00, 0x64, 0x00, 0x00})});
    DataSetTable table;
    ASSERT_EQ(BuildSetTable(1, image, 6, table, kNow), kSetTableAccepted);
    const DecodedSet d = decodeSetSamples(table, 0, 580, 'D');
    ASSERT_EQ(d.Samples.size(), 3);
    EXPECT_NEAR(d.Samples[0].Dp, 13.84, 0.01);
    EXPECT_EQ(d.Samples[0].DpText, "13.8");
    EXPECT_FALSE(d.Samples[1].DpValid);
    EXPECT_EQ(d.Samples[1].DpText, "-OL");
    EXPECT_EQ(d.Samples[1].Dp, 9999.0); // the graphs' null value: a gap, never NaN
    EXPECT_NEAR(d.Samples[2].Dp, 6.71, 0.01);
    EXPECT_EQ(d.Dp.Max.Row, 1);
    EXPECT_EQ(d.Dp.Min.Row, 3);
    // Without the dew-point suffix nothing is computed.
    EXPECT_FALSE(decodeSetSamples(table, 0, 580, 0).Samples[0].HasDp);

    // A set recorded in Fahrenheit: 54.6 %RH at 76.6 F has its dew point at 59.0 F.
    ASSERT_EQ(BuildSetTable(1, setRecord({bytes({0x02, 0x22, 0x02, 0xFE, 0x00, 0x00})}, 0x08), 6, table, kNow),
              kSetTableAccepted);
    const DecodedSet f = decodeSetSamples(table, 0, 580, 'D');
    EXPECT_EQ(f.Samples[0].DpText, "59.0");
    EXPECT_NEAR(f.Samples[0].Dp, 59.0, 0.01);
}

TEST_F(RecordDecoding, ExtremesBeyondTheSearchStartAreTheSamplesOwn)
{
    // RH 24.6 with an overloaded T1 of -3250.9 puts the dew point near the
    // formula's pole, far above any starting value of the search.
    const QByteArray image = setRecord({bytes({0x00, 0xF6, 0xFE, 0xFD, 0xFE, 0x00})});
    DataSetTable table;
    ASSERT_EQ(BuildSetTable(1, image, 6, table, kNow), kSetTableAccepted);
    const DecodedSet d = decodeSetSamples(table, 0, 580, 'D');
    ASSERT_EQ(d.Samples.size(), 1);
    ASSERT_GT(d.Samples[0].Dp, 99999.0);
    ASSERT_TRUE(d.Dp.Present);
    for (const Extreme &e : {d.Dp.Max, d.Dp.Min}) {
        EXPECT_EQ(e.Value, d.Samples[0].Dp);
        EXPECT_EQ(e.Row, 1);
    }
}

TEST_F(RecordDecoding, SetWithoutValidValuesHasNoExtremesAndBadIndexIsEmpty)
{
    DataSetTable table;
    ASSERT_EQ(BuildSetTable(1, setRecord({bytes({0x03, 0xE8, 0x07, 0xD0})}), 4, table, kNow), kSetTableAccepted);
    const DecodedSet d = decodeSetSamples(table, 0, 560, 0);
    ASSERT_EQ(d.Samples.size(), 1);
    EXPECT_FALSE(d.Rh.Present);
    EXPECT_FALSE(d.T1.Present);
    EXPECT_TRUE(decodeSetSamples(table, 1, 560, 0).Samples.isEmpty());
    EXPECT_TRUE(decodeSetSamples(table, -1, 560, 0).Samples.isEmpty());
}

TEST(MemoryHeaderParse, BigEndianFieldsAndShortBuffers)
{
    EXPECT_EQ(parseMemoryHeader(bytes({0x00, 0x0F, 0xA0, 0x01, 0x7F, 0xFF})).SetCount, 4000);
    EXPECT_EQ(parseMemoryHeader(bytes({0x00, 0x0F, 0xA0, 0x01, 0x7F, 0xFF})).EndAddress, 98303);
    EXPECT_EQ(parseMemoryHeader(bytes({0x00, 0x00, 0x02, 0x01})).EndAddress, 0x010000);
    EXPECT_EQ(parseMemoryHeader(QByteArray()).SetCount, 0);
    EXPECT_EQ(sampleSizeFor(520), 4);
    EXPECT_EQ(sampleSizeFor(560), 4);
    EXPECT_EQ(sampleSizeFor(540), 6);
    EXPECT_EQ(sampleSizeFor(580), 6);
}

class SimulatorMemory : public ::testing::TestWithParam<int> {};

// Sets written by the simulated meter's own memory builder come back with
// their fields and values (to the tenth the meter stores).
TEST_P(SimulatorMemory, DecodesWhatTheMeterRecorded)
{
    const int model = GetParam();
    const int sampleSize = sampleSizeFor(model);
    const auto sets = sim::plausibleSets(5, 7);
    const sim::Bytes memory = sim::buildMemory(sets, sampleSize);
    const sim::MemoryHeader header = sim::readHeader(memory);
    ASSERT_EQ(header.setCount, sets.size());
    const QByteArray raw(reinterpret_cast<const char *>(memory.data()), static_cast<qsizetype>(memory.size()));
    EXPECT_EQ(parseMemoryHeader(raw).EndAddress, static_cast<int>(header.endAddress));

    DataSetTable table;
    ASSERT_EQ(BuildSetTable(static_cast<int>(header.setCount), raw.mid(256, header.endAddress - 255), sampleSize,
                            table, kNow),
              kSetTableAccepted);
    ASSERT_EQ(table.setCount(), static_cast<int>(sets.size()));
    for (int k = 0; k < table.setCount(); ++k) {
        const sim::RecordedSet &want = sets[static_cast<std::size_t>(k)];
        const DataSet &got = table.Sets[k];
        EXPECT_DOUBLE_EQ(got.StartTime,
                         toDays(QDate(want.year, want.month, want.day), QTime(want.hour, want.minute, want.second)));
        EXPECT_EQ(got.Interval, want.intervalSeconds);
        EXPECT_EQ(got.Unit, want.fahrenheit ? 'F' : 'C');
        const DecodedSet d = decodeSetSamples(table, k, model, 'D');
        ASSERT_EQ(d.Samples.size(), static_cast<qsizetype>(want.samples.size()));
        for (std::size_t i = 0; i < want.samples.size(); ++i) {
            const LoggerSample &s = d.Samples[static_cast<qsizetype>(i)];
            EXPECT_NEAR(s.Rh, want.samples[i].rh, 0.051);
            EXPECT_NEAR(s.T1, want.samples[i].t1, 0.051);
            if (model == 580) {
                EXPECT_NEAR(s.T2, want.samples[i].t2, 0.051);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Models, SimulatorMemory, ::testing::Values(520, 540, 560, 580));

namespace {

QByteArray word(int magnitude, bool flag = false)
{
    return bytes({(magnitude >> 8) | (flag ? 0x80 : 0), magnitude & 0xFF});
}

// What a number text may hold besides ASCII digits and the minus: only the
// locale's decimal separator.
bool onlyDigitsMinusAnd(const QString &text, const QString &separator)
{
    QString rest = text;
    rest.remove(separator);
    for (QChar c : rest) {
        if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')) && c != QLatin1Char('-'))
            return false;
    }
    return true;
}

class NumberTexts : public ::testing::TestWithParam<QLocale> {};

} // namespace

// The frame decoder, the record decoder and the min/max block write numbers the
// same way: fixed-point, the locale's decimal separator and nothing else of it,
// readable again by the graph, and no "-0.0" for a value that rounds to zero
// (a dew point of RH 8.6 % at 39.3 degrees lies just below zero).
TEST_P(NumberTexts, AreFixedPointWithOnlyTheDecimalSeparatorOfTheLocale)
{
    const QLocale locale = GetParam();
    const test::ScopedDefaultLocale asSystem(locale);
    const QString sep = locale.decimalPoint();
    auto expect = [&](const QString &text, QString c) {
        const double value = c.toDouble();
        EXPECT_EQ(text.toStdString(), c.replace(QLatin1Char('.'), sep).toStdString());
        EXPECT_TRUE(onlyDigitsMinusAnd(text, sep)) << text.toStdString();
        // and a graph drawn from the table reads the number back
        EXPECT_EQ(graphCellValue(text, locale), value) << text.toStdString();
    };

    MeterReading live;
    const MeterIdentity dewPointMeter{580, 'D'};
    DecodeFrame(live, {0x02, 0, 0x20 | 0x08, 0x00, 86, 0x01, 137, 0x61, 0x9E, 0x03}, dewPointMeter,
                QDateTime(QDate(2026, 12, 6), QTime(12, 0)), locale);
    expect(live.RhText, "8.6");
    expect(live.T1Text, "-39.3");
    expect(live.T2Text, "-2499");
    DecodeFrame(live, {0x02, 0, 0, 0x00, 86, 0x01, 137, 0x00, 0x00, 0x03}, dewPointMeter,
                QDateTime(QDate(2026, 12, 6), QTime(12, 0)), locale);
    expect(live.DewPointText, "0.0");

    const LoggerSample logged = DecodeSample(word(86) + word(393) + word(24990), 0, 580, 'D');
    expect(logged.RhText, "8.6");
    expect(logged.T1Text, "39.3");
    expect(logged.T2Text, "2499");
    expect(logged.DpText, "0.0");
    expect(DecodeSample(word(500) + word(123, true) + word(0, true), 0, 580, 0).T1Text, "-12.3");

    const double noon = 46362.5;
    expect(extremeText({-1234.56, noon, 1}).section('\t', 1), "-1234.6");
    expect(extremeText({2499.0, noon, 1}).section('\t', 1), "2499.0");
    expect(extremeText({-0.04, noon, 1}).section('\t', 1), "0.0");
}

INSTANTIATE_TEST_SUITE_P(Locales, NumberTexts,
                         ::testing::Values(QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
                                           QLocale(QLocale::Swedish, QLocale::Sweden),
                                           QLocale(QLocale::Arabic, QLocale::Egypt),
                                           QLocale(QLocale::English, QLocale::UnitedStates)),
                         [](const auto &info) { return info.param.name().toStdString(); });
