// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: what the outputs read back from the disk, any bytes: a record
// row (read, or refused, and what a row gives is a sample with a valid time
// and finite values, a JSON message that reads back, and a point of one line)
// and a delivered place (read, or refused, and a place read is one a cursor
// writes the same way).
#include "FuzzCheck.h"

#include "publish/InfluxOutput.h"
#include "publish/MqttMessages.h"
#include "publish/RecordCursor.h"

#include <QJsonDocument>

#include <cstdint>

using namespace vandrel::publish;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    vandrel::fuzz::useCLocale();
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    if (const std::optional<RecordSample> sample = parseRecordRow(bytes)) {
        FUZZ_CHECK(sample->date.isValid() && sample->time.isValid());
        for (const auto &v : sample->values)
            FUZZ_CHECK(!v || std::isfinite(*v));
        MeterFacts facts;
        facts.name = QStringLiteral("m");
        FUZZ_CHECK(QJsonDocument::fromJson(stateMessage(*sample, facts)).isObject());
        const QByteArray point = influxLine(*sample, facts, QTimeZone::utc());
        FUZZ_CHECK(point.isEmpty() || point.indexOf('\n') == point.size() - 1);
    }
    RecordPlace place;
    if (RecordCursor::parsePlace(QByteArray(bytes.data(), static_cast<qsizetype>(size)), place)) {
        FUZZ_CHECK(place.offset >= 0);
        RecordPlace again;
        FUZZ_CHECK(RecordCursor::parsePlace(RecordCursor::placeText(place), again) && again == place);
    }
    return 0;
}
