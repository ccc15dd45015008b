// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the meter's answer to the identification request, of any
// length and content. Checks what the program then believes about the meter.
#include "FuzzCheck.h"

#include "datalogger/LoggerRecords.h"
#include "meter/MeterIdentity.h"

#include <cctype>
#include <cstdint>

using namespace vandrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray reply(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    // Whatever was believed before must not leak into the new identity.
    MeterIdentity fresh;
    MeterIdentity stale{540, 'D'};
    const bool known = IdentifyMeter(reply, fresh);
    FUZZ_CHECK(IdentifyMeter(reply, stale) == known);
    FUZZ_CHECK(stale.MeterModel == fresh.MeterModel && stale.ModelSuffix == fresh.ModelSuffix);

    // Identified exactly when the model is one of the four; an unknown model
    // selects no variant.
    const int m = fresh.MeterModel;
    FUZZ_CHECK(known == (m == 520 || m == 540 || m == 560 || m == 580));
    if (!known)
        FUZZ_CHECK(fresh.ModelSuffix == 0);

    // The reply is text up to its first 0 byte: the model comes from its
    // first three characters, the suffix is its fourth.
    const qsizetype nul = reply.indexOf('\0');
    const QByteArray text = nul < 0 ? reply : reply.left(nul);
    if (fresh.ModelSuffix != 0)
        FUZZ_CHECK(text.size() >= 4 && text.at(3) == fresh.ModelSuffix);
    if (text.size() < 3)
        FUZZ_CHECK(fresh.MeterModel == 580 && fresh.ModelSuffix == 0 && known);
    const QByteArray digits = text.left(3);
    if (text.size() >= 3 && digits.size() == 3 && std::isdigit(static_cast<unsigned char>(digits[0]))
        && std::isdigit(static_cast<unsigned char>(digits[1])) && std::isdigit(static_cast<unsigned char>(digits[2]))) {
        FUZZ_CHECK(fresh.MeterModel == digits.toInt());
        if (known)
            FUZZ_CHECK(fresh.ModelSuffix == (text.size() >= 4 ? text.at(3) : 0));
    }
    // The model's logger layout is always one the decoder knows.
    const int sampleSize = sampleSizeFor(fresh.MeterModel);
    FUZZ_CHECK(sampleSize == 4 || sampleSize == 6);
    // Texts that are no number give the common model.
    bool isNumber = false;
    digits.toInt(&isNumber);
    if (!isNumber)
        FUZZ_CHECK(fresh.MeterModel == 580 && known);
    return 0;
}
