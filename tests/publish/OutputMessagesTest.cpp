// SPDX-License-Identifier: GPL-3.0-or-later
// What the outputs make of a record row: the sample read back, its state
// message and its line-protocol point, with channels a meter lacks or that
// are overloaded left out, names that cannot add topic levels, and the
// meter's clock taken as UTC or in the configured zone.
#include "publish/InfluxOutput.h"
#include "publish/MqttMessages.h"

#include "records/TableFile.h"
#include "records/TableRow.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace vandrel;
using namespace vandrel::publish;

namespace {

std::string row(const QStringList &cells)
{
    std::string line = tableRowLine(QStringList{QString()} + cells, ',');
    line.resize(line.size() - 2); // the line end, as the cursor hands rows out
    return line;
}

const QString kDate = tableDate(QDate(2026, 3, 29));

struct RowCase {
    const char *what;
    std::string line;
    const char *zone;
    const char *state;    // the JSON; "" when the row is unreadable
    const char *point;    // the line-protocol point; "" when none
};

void PrintTo(const RowCase &c, std::ostream *os)
{
    *os << c.what;
}

class RowToOutputs : public ::testing::TestWithParam<RowCase> {};

TEST_P(RowToOutputs, publishesWhatTheRowHoldsAndNothingElse)
{
    const RowCase &c = GetParam();
    MeterFacts facts;
    facts.name = QStringLiteral("hall 2");
    facts.site = QStringLiteral("museum,west");
    facts.model = QStringLiteral("580D");
    facts.alarms = {{QStringLiteral("t1_high"), true}, {QStringLiteral("stale"), false}};
    const std::optional<RecordSample> sample = parseRecordRow(c.line);
    ASSERT_EQ(sample.has_value(), *c.state != 0);
    if (!sample)
        return;
    EXPECT_EQ(QJsonDocument::fromJson(stateMessage(*sample, facts)), QJsonDocument::fromJson(c.state));
    const QTimeZone zone = *c.zone ? QTimeZone(c.zone) : QTimeZone::utc();
    EXPECT_EQ(influxLine(*sample, facts, zone).toStdString(), std::string(c.point));
}

INSTANTIATE_TEST_SUITE_P(
    Table, RowToOutputs,
    ::testing::Values(
        RowCase{"oneTemperature", row({kDate, "01:30:00", "45.5", "%RH", "21.3", "C", "", "", ""}), "",
                R"({"time":"2026-03-29T01:30:00","humidity":45.5,"t1":21.3,"unit":"C","alarms":{"t1_high":true,"stale":false}})",
                "humidity_temperature,meter=hall\\ 2,model=580D,site=museum\\,west humidity=45.5,t1=21.3 1774747800\n"},
        RowCase{"twoTemperaturesAndDewPoint", row({kDate, "12:00:00", "50.0", "%RH", "-3.5", "F", "70.1", "F", "40.2"}), "",
                R"({"time":"2026-03-29T12:00:00","humidity":50,"t1":-3.5,"t2":70.1,"dewpoint":40.2,"unit":"F","alarms":{"t1_high":true,"stale":false}})",
                "humidity_temperature,meter=hall\\ 2,model=580D,site=museum\\,west humidity=50,t1=-3.5,t2=70.1,dewpoint=40.2 1774785600\n"},
        RowCase{"overloadedChannelsLeftOut", row({kDate, "12:00:00", "OL", "%RH", "21.0", "C", "-OL", "C", "OL"}), "",
                R"({"time":"2026-03-29T12:00:00","t1":21,"unit":"C","alarms":{"t1_high":true,"stale":false}})",
                "humidity_temperature,meter=hall\\ 2,model=580D,site=museum\\,west t1=21 1774785600\n"},
        RowCase{"nothingToWriteIsNoPoint", row({kDate, "12:00:00", "OL", "%RH", "OL", "C", "", "", ""}), "",
                R"({"time":"2026-03-29T12:00:00","unit":"C","alarms":{"t1_high":true,"stale":false}})", ""},
        RowCase{"clockOfAZoneAfterTheSpringChange", row({kDate, "12:00:00", "45.0", "%RH", "21.0", "C", "", "", ""}),
                "Europe/Berlin", R"({"time":"2026-03-29T12:00:00","humidity":45,"t1":21,"unit":"C","alarms":{"t1_high":true,"stale":false}})",
                "humidity_temperature,meter=hall\\ 2,model=580D,site=museum\\,west humidity=45,t1=21 1774778400\n"},
        RowCase{"rowCutByAKillAndEndedLater", row({kDate, "12:0"}).substr(0, 14), "", "", ""},
        RowCase{"timeCutShort", row({kDate, "12:0"}), "", "", ""},
        RowCase{"heading", row({"DATE", "TIME", "RH", "", "T1", "", "T2", "", "DP"}), "", "", ""}),
    [](const ::testing::TestParamInfo<RowCase> &info) { return std::string(info.param.what); });

TEST(MqttMessages, namesNeverAddATopicLevelOrAWildcard)
{
    const struct {
        const char *name, *level;
    } cases[] = {{"hall", "hall"}, {"a/b", "a_b"}, {"+", "_"}, {"#", "_"}, {"two words", "two_words"}, {"", "_"}, {"Süd", "Süd"}};
    for (const auto &c : cases)
        EXPECT_EQ(topicLevel(QString::fromUtf8(c.name)), QString::fromUtf8(c.level)) << c.name;
    MqttSettings settings;
    MeterFacts facts;
    facts.name = QStringLiteral("hall/1");
    facts.site = QStringLiteral("#");
    EXPECT_EQ(stateTopic(settings, facts), QStringLiteral("vandrel/_/hall_1/state"));
    // A meter with one temperature and no alarms: its two sensors and the
    // binary sensors of stale and storage, nothing for T2 or the dew point.
    facts.alarms = {{QStringLiteral("stale"), false}, {QStringLiteral("storage"), false}};
    QStringList topics;
    for (const MqttMessage &m : discoveryMessages(settings, QStringLiteral("st"), facts))
        topics << m.topic;
    EXPECT_EQ(topics, (QStringList{QStringLiteral("homeassistant/sensor/vandrel___hall_1_humidity/config"),
                                   QStringLiteral("homeassistant/sensor/vandrel___hall_1_t1/config"),
                                   QStringLiteral("homeassistant/binary_sensor/vandrel___hall_1_alarm_stale/config"),
                                   QStringLiteral("homeassistant/binary_sensor/vandrel___hall_1_alarm_storage/config")}));
}

} // namespace
