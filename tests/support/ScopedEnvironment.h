// SPDX-License-Identifier: GPL-3.0-or-later
// Test helpers that change the process's time zone or Qt's default locale for
// one scope and put back what was there before, so no test leaks into the next.
#pragma once

#include <QByteArray>
#include <QLocale>
#include <QtGlobal>

#include <ctime>

namespace vandrel::test {

// Sets TZ (an Olson name such as "Europe/Berlin") and makes the C library and
// Qt's local-time conversions follow it until the end of the scope.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char *zone)
        : had_(qEnvironmentVariableIsSet("TZ")), old_(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTimeZone()
    {
        if (had_)
            qputenv("TZ", old_);
        else
            qunsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone &) = delete;
    ScopedTimeZone &operator=(const ScopedTimeZone &) = delete;

private:
    bool had_;
    QByteArray old_;
};

// Makes `locale` what QLocale() gives until the end of the scope.
class ScopedDefaultLocale {
public:
    explicit ScopedDefaultLocale(const QLocale &locale) { QLocale::setDefault(locale); }
    ~ScopedDefaultLocale() { QLocale::setDefault(old_); }
    ScopedDefaultLocale(const ScopedDefaultLocale &) = delete;
    ScopedDefaultLocale &operator=(const ScopedDefaultLocale &) = delete;

private:
    QLocale old_;
};

} // namespace vandrel::test
