// SPDX-License-Identifier: GPL-3.0-or-later
// Option › Limits…: per channel an optional low and high limit, the
// hysteresis and the delay; the condensation margin below. Thin: the rule
// itself lives in src/insight.
#pragma once

#include "insight/RecordStats.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;

namespace vandrel {

class LimitsDialog : public QDialog {
public:
    LimitsDialog(QWidget *parent, const StatsOptions &options);
    // The limits as the dialog shows them.
    StatsOptions options() const;

private:
    struct Row {
        QCheckBox *lowOn = nullptr, *highOn = nullptr;
        QDoubleSpinBox *low = nullptr, *high = nullptr, *hysteresis = nullptr, *delay = nullptr;
        QComboBox *unit = nullptr; // temperatures only
    };
    QCheckBox *check(const QString &name, bool on);
    QDoubleSpinBox *spin(const QString &name, double value, int decimals, double low = -999, double high = 9999);
    // Accepts unless a low limit does not lie below its high one.
    void tryAccept();

    std::array<Row, kChannelCount> rows_;
    QCheckBox *marginOn_ = nullptr;
    QDoubleSpinBox *margin_ = nullptr;
};

} // namespace vandrel
