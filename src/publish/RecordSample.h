// SPDX-License-Identifier: GPL-3.0-or-later
// A row of a record file read back for an output, and what an output knows
// of the meter it comes from.
#pragma once

#include "records/RecordRow.h"

#include <QDate>
#include <QList>
#include <QLocale>
#include <QPair>
#include <QString>
#include <QTime>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace vandrel::publish {

// One sample as a row holds it. The time is the meter's clock reading, which
// carries no time zone.
struct RecordSample {
    QDate date;
    QTime time;
    std::array<std::optional<double>, 4> values{}; // humidity, T1, T2, dew point; none: no such channel or overloaded
    QString unit;                                  // of the temperatures: "C" or "F" as the meter shows it
};

// Reads a row as the station writes it (date, time, humidity, "%RH", T1, unit,
// T2, unit, dew point; without its line end), with the date and decimal
// separator of `locale`. None for a line that is no such row (a row cut short
// by a kill and ended later, a heading). An overloaded or unreadable cell
// gives no value: an output publishes only what the meter measured.
std::optional<RecordSample> parseRecordRow(std::string_view line, const QLocale &locale = QLocale());

// parseRecordRow for many rows of one file: the rows of a day share their
// date text, which is read once.
class RecordSampleReader {
public:
    explicit RecordSampleReader(const QLocale &locale = QLocale()) : rows_(locale) {}
    std::optional<RecordSample> read(std::string_view line);

private:
    RecordRowReader rows_;
    vandrel::RecordRow row_;
};

// "2026-12-08T10:00:00": ISO 8601 without a zone.
QString isoTime(const RecordSample &sample);

// What an output publishes about a meter besides its rows, as things stand.
struct MeterFacts {
    QString name, site;
    QString model;               // "580D"; empty until the meter has been identified
    std::array<bool, 4> channels{true, true, false, false}; // which of the four the meter has
    QString unit;                // of the temperatures, once read
    // Every alarm of the meter and whether it is raised, in a fixed order:
    // "humidity_high", "t1_low", ..., "stale", "storage".
    QList<QPair<QString, bool>> alarms;
};

// A meter an output delivers: its record folder and its current facts.
struct MeterSource {
    QString name;
    QString recordFolder;
    std::function<MeterFacts()> facts;
};

// The feeds an output keeps for `sources`: a meter it delivers already keeps
// its feed, and with it its place and its batch in flight; a new one gets
// `make(source)`. What is left in `feeds` (not null) are meters no longer
// delivered.
template <class Feed, class Make>
std::vector<std::unique_ptr<Feed>> keepFeeds(std::vector<std::unique_ptr<Feed>> &feeds,
                                             const std::vector<MeterSource> &sources, Make make)
{
    std::vector<std::unique_ptr<Feed>> next;
    for (const MeterSource &source : sources) {
        auto old = std::find_if(feeds.begin(), feeds.end(), [&](const std::unique_ptr<Feed> &f) {
            return f && f->source.name == source.name && f->source.recordFolder == source.recordFolder;
        });
        if (old != feeds.end()) {
            (*old)->source = source;
            next.push_back(std::move(*old));
        } else {
            next.push_back(make(source));
        }
    }
    return next;
}

} // namespace vandrel::publish
