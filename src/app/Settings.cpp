// SPDX-License-Identifier: GPL-3.0-or-later
// Settings kept with QSettings (an INI file in the user's configuration folder).
#include "app/Settings.h"

#include "panel/PanelScale.h"

#include <QSettings>

namespace vandrel {

namespace {

int readInt(QSettings &store, const char *key, int fallback)
{
    const QVariant v = store.value(QLatin1String(key));
    bool ok = false;
    const int i = v.toInt(&ok);
    return v.isValid() && ok ? i : fallback;
}

// The longest period the rate editor can give: 60 minutes and 60 seconds.
constexpr int kLongestRate = 3660;

} // namespace

AppSettings AppSettings::load(QSettings &store)
{
    AppSettings s;
    // A period the editor could not have written is as good as unreadable.
    const int rate = readInt(store, "RealTimeRate", s.RealTimeRate);
    if (rate >= 0 && rate <= kLongestRate)
        s.RealTimeRate = rate;
    s.RegModel = readInt(store, "RegModel", s.RegModel);
    s.LastConnectedPort = readInt(store, "LastConnectedPort", s.LastConnectedPort);
    s.PanelSize = panelPercentOrDefault(readInt(store, "PanelSize", s.PanelSize));
    return s;
}

void AppSettings::save(QSettings &store) const
{
    if (!store.isWritable())
        return;
    store.setValue(QStringLiteral("RealTimeRate"), RealTimeRate);
    store.setValue(QStringLiteral("RegModel"), RegModel);
    store.setValue(QStringLiteral("LastConnectedPort"), LastConnectedPort);
    store.setValue(QStringLiteral("PanelSize"), PanelSize);
    store.sync();
}

} // namespace vandrel
