// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: a recovery file of any content, read as a run journal and as a
// kept logger memory, the damaged-file readings included. Checks that only
// intact lines become rows, that the counts offered to the user add up, and
// that a memory read whole reads the same when read as damaged.
#include "FuzzCheck.h"

#include "datalogger/KeptMemory.h"
#include "realtime/RunJournal.h"

using namespace vandrel;

namespace {

void checkJournal(const QByteArray &bytes)
{
    const JournalContents c = parseJournal(bytes);
    const qsizetype lines = bytes.count('\n') + 1;
    FUZZ_CHECK(c.rejectedLines >= 0);
    // A line gives at most a row and the torn piece in front of it.
    FUZZ_CHECK(c.samples.size() + c.rejectedLines <= 2 * lines);
    FUZZ_CHECK(c.expectedRows() >= c.samples.size());
    FUZZ_CHECK(c.damaged() == (c.headerDamaged || c.expectedRows() > c.samples.size()));
    FUZZ_CHECK(c.hasHeader || c.samples.isEmpty());
    // Every row read stands in the file as a sealed line of its own text.
    for (const JournalSample &s : c.samples) {
        const QByteArray line = journalSampleLine(s);
        const std::optional<QByteArray> body = unsealLine(line.chopped(1));
        FUZZ_CHECK(body.has_value());
        const JournalContents again = parseJournal(journalHeaderLine(c.header) + line);
        FUZZ_CHECK(again.samples.size() == 1 && again.rejectedLines == 0 && !again.headerDamaged);
        FUZZ_CHECK(again.samples[0].number == s.number && again.samples[0].cells == s.cells);
    }
}

void checkMemory(const QByteArray &bytes)
{
    const std::optional<KeptMemory> whole = parseKeptMemory(bytes);
    const std::optional<KeptMemory> damaged = parseDamagedKeptMemory(bytes);
    if (whole) {
        FUZZ_CHECK(damaged.has_value());
        FUZZ_CHECK(damaged->image == whole->image && damaged->setCount == whole->setCount &&
                   damaged->model == whole->model && damaged->sampleSize == whole->sampleSize);
        const std::optional<KeptMemory> back = parseKeptMemory(keptMemoryBytes(*whole));
        FUZZ_CHECK(back && back->image == whole->image && back->setCount == whole->setCount);
    }
    if (damaged) {
        FUZZ_CHECK(damaged->image.size() <= bytes.size());
        DataSetTable table;
        if (rebuildSetTable(*damaged, table))
            FUZZ_CHECK(table.setCount() == damaged->setCount && table.Image == damaged->image);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    checkJournal(bytes);
    checkMemory(bytes);
    return 0;
}
