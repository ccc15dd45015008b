// SPDX-License-Identifier: GPL-3.0-or-later
// The limits dialog.
#include "app/LimitsDialog.h"

#include "platform/MessageBoxes.h"
#include "insight/LimitSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <cmath>

namespace vandrel {

namespace {


} // namespace

LimitsDialog::LimitsDialog(QWidget *parent, const StatsOptions &options) : QDialog(parent)
{
    setObjectName(QStringLiteral("LimitsDialog"));
    setWindowTitle(QStringLiteral("Limits"));
    auto *grid = new QGridLayout;
    const QStringList heads{QString(), QStringLiteral("Low"), QString(), QStringLiteral("High"), QString(),
                            QStringLiteral("Hysteresis"), QStringLiteral("Delay (s)"), QStringLiteral("Unit")};
    for (int c = 0; c < heads.size(); ++c)
        grid->addWidget(new QLabel(heads[c]), 0, c);
    for (const Channel ch : kChannels) {
        const int row = static_cast<int>(ch) + 1;
        const Limits &l = options.limits[ch];
        Row &r = rows_[ch];
        grid->addWidget(new QLabel(channelName(ch)), row, 0);
        r.lowOn = check(QStringLiteral("low%1").arg(row), l.low.has_value());
        r.low = spin(QStringLiteral("lowValue%1").arg(row), l.low.value_or(ch == kHumidity ? 40 : 10), 1);
        r.highOn = check(QStringLiteral("high%1").arg(row), l.high.has_value());
        r.high = spin(QStringLiteral("highValue%1").arg(row), l.high.value_or(ch == kHumidity ? 65 : 25), 1);
        r.hysteresis = spin(QStringLiteral("hysteresis%1").arg(row), l.hysteresis, 1, 0, 100);
        r.delay = spin(QStringLiteral("delay%1").arg(row), l.delaySeconds, 0, 0, 86400);
        r.low->setEnabled(r.lowOn->isChecked());
        r.high->setEnabled(r.highOn->isChecked());
        connect(r.lowOn, &QCheckBox::toggled, r.low, &QWidget::setEnabled);
        connect(r.highOn, &QCheckBox::toggled, r.high, &QWidget::setEnabled);
        grid->addWidget(r.lowOn, row, 1);
        grid->addWidget(r.low, row, 2);
        grid->addWidget(r.highOn, row, 3);
        grid->addWidget(r.high, row, 4);
        grid->addWidget(r.hysteresis, row, 5);
        grid->addWidget(r.delay, row, 6);
        if (isTemperature(ch)) {
            r.unit = new QComboBox(this);
            r.unit->setObjectName(QStringLiteral("unit%1").arg(row));
            r.unit->addItem(unitText(ch, 'C'), QStringLiteral("C"));
            r.unit->addItem(unitText(ch, 'F'), QStringLiteral("F"));
            r.unit->setCurrentIndex(l.unit == 'F' ? 1 : 0);
            grid->addWidget(r.unit, row, 7);
        } else {
            grid->addWidget(new QLabel(unitText(ch, 0)), row, 7);
        }
    }
    marginOn_ = check(QStringLiteral("marginOn"), !std::isnan(options.condensationMargin));
    marginOn_->setText(QStringLiteral("Condensation margin other than 1 °C / 2 °F:"));
    margin_ = spin(QStringLiteral("margin"), std::isnan(options.condensationMargin) ? 1.0 : options.condensationMargin,
                   1, 0, 50);
    margin_->setEnabled(marginOn_->isChecked());
    connect(marginOn_, &QCheckBox::toggled, margin_, &QWidget::setEnabled);
    grid->addWidget(marginOn_, 6, 0, 1, 5);
    grid->addWidget(margin_, 6, 5);
    auto *note = new QLabel(QStringLiteral(
        "Temperature limits are in the unit beside them; a meter or table in the other unit is compared with them "
        "converted. A crossing counts once the value has stayed beyond a "
        "limit for the delay, and ends once it has stayed back inside by the hysteresis for the delay."));
    note->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &LimitsDialog::tryAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(note);
    layout->addWidget(buttons);
}

StatsOptions LimitsDialog::options() const
{
    StatsOptions o;
    for (const Channel ch : kChannels) {
        const Row &r = rows_[ch];
        Limits &l = o.limits[ch];
        if (r.lowOn->isChecked())
            l.low = r.low->value();
        if (r.highOn->isChecked())
            l.high = r.high->value();
        l.hysteresis = r.hysteresis->value();
        l.delaySeconds = r.delay->value();
        if (r.unit)
            l.unit = r.unit->currentData().toString() == QLatin1String("F") ? 'F' : 'C';
    }
    if (marginOn_->isChecked())
        o.condensationMargin = margin_->value();
    return o;
}

QCheckBox *LimitsDialog::check(const QString &name, bool on)
{
    auto *b = new QCheckBox(this);
    b->setObjectName(name);
    b->setChecked(on);
    return b;
}

QDoubleSpinBox *LimitsDialog::spin(const QString &name, double value, int decimals, double low, double high)
{
    auto *s = new QDoubleSpinBox(this);
    s->setObjectName(name);
    s->setDecimals(decimals);
    s->setRange(low, high);
    s->setValue(value);
    return s;
}

void LimitsDialog::tryAccept()
{
    for (const Channel ch : kChannels) {
        const Row &r = rows_[ch];
        if (r.lowOn->isChecked() && r.highOn->isChecked() && r.low->value() >= r.high->value()) {
            showMessageBox(this, MessageKind::Warning,
                           QStringLiteral("The low limit of %1 must lie below its high limit.").arg(channelName(ch)));
            return;
        }
    }
    accept();
}

} // namespace vandrel
