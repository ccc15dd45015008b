// SPDX-License-Identifier: GPL-3.0-or-later
// What the fuzz targets share: a check that stops the run with a message (so
// libFuzzer keeps the input as a crash) and predicates on decoded texts.
#pragma once

#include <QLocale>
#include <QString>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#define FUZZ_CHECK(cond)                                                                                               \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            ::vandrel::fuzz::fail(#cond, __FILE__, __LINE__);                                                          \
    } while (0)

namespace vandrel::fuzz {

[[noreturn]] inline void fail(const char *what, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

// Texts are formed with the default locale; the C locale makes every run
// read the same, whatever the machine's settings.
inline void useCLocale() { QLocale::setDefault(QLocale::c()); }

// A value text as tables show it: digits, at most one decimal after the
// separator, an optional minus. Never "nan", "inf" or an exponent.
inline bool isValueText(const QString &text, int maxDecimals = 1)
{
    qsizetype i = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    const qsizetype digitsFrom = i;
    while (i < text.size() && text.at(i).isDigit())
        ++i;
    if (i == digitsFrom)
        return false;
    if (i == text.size())
        return true;
    return maxDecimals >= 1 && i + 2 == text.size() && !text.at(i).isDigit() && text.at(i + 1).isDigit();
}

inline bool isOverloadText(const QString &text) { return text == QLatin1String("OL") || text == QLatin1String("-OL"); }

// True when `s` is well-formed UTF-8: no stray continuation bytes, no
// overlong forms, no surrogates, nothing beyond U+10FFFF.
inline bool isValidUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        unsigned cp = 0, min = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0)
            n = 2, cp = c & 0x1Fu, min = 0x80;
        else if ((c & 0xF0) == 0xE0)
            n = 3, cp = c & 0x0Fu, min = 0x800;
        else if ((c & 0xF8) == 0xF0)
            n = 4, cp = c & 0x07u, min = 0x10000;
        else
            return false;
        if (i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (d & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

} // namespace vandrel::fuzz
