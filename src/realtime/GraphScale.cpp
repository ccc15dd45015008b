// SPDX-License-Identifier: GPL-3.0-or-later
// Hand-set graph scales: the bounds rule, the scale dialog and its flow, and
// Undo Zoom.
#include "realtime/GraphScale.h"
#include "platform/MessageBoxes.h"

#include "platform/MeterChart.h"
#include "platform/NumberText.h"
#include "realtime/TfrmScope.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace vandrel {

namespace {

// Single precision, as the chart draws it; numbers past its range become
// its largest value rather than an undefined conversion.
float toSingle(double value)
{
    return static_cast<float>(std::clamp(value, -double(FLT_MAX), double(FLT_MAX)));
}

// The box's number, or the message that it holds none.
std::optional<float> boxNumber(const QString &text, const QLocale &locale, GraphScaleUi &ui)
{
    const auto v = scaleNumber(text, locale);
    if (!v)
        ui.showMessage(text + QStringLiteral(" is invalid number !"));
    return v;
}

} // namespace

std::optional<ScaleBounds> scaleBounds(std::optional<float> enteredMax, std::optional<float> enteredMin,
                                       ScaleBounds current)
{
    ScaleBounds b{enteredMax.value_or(current.max), enteredMin.value_or(current.min)};
    if (b.min > b.max)
        std::swap(b.min, b.max);
    b.max = std::min(b.max, kScaleCeiling);
    b.min = std::max(b.min, kScaleFloor);
    // Both bounds past the same cap would turn the range over (or leave none).
    if (!(b.min < b.max))
        return std::nullopt;
    return b;
}

std::optional<float> scaleNumber(const QString &text, const QLocale &locale)
{
    bool ok = false;
    const double v = locale.toDouble(text, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return toSingle(v);
}

QString scaleBoxText(double limit)
{
    return formatFixed(std::trunc(limit), 0);
}

void prepareScaleDialog(TfrmScope &scope, const ScaleEntry &current)
{
    scope.setWindowTitle(QStringLiteral("Customize graph scale"));
    scope.radAll->hide();
    scope.radNo->hide();
    for (QWidget *w : {static_cast<QWidget *>(scope.GroupBox1), static_cast<QWidget *>(scope.Label1),
                       static_cast<QWidget *>(scope.edtSelFrom), static_cast<QWidget *>(scope.Label2),
                       static_cast<QWidget *>(scope.edtSelTo), static_cast<QWidget *>(scope.BitBtn1),
                       static_cast<QWidget *>(scope.BitBtn2)})
        w->show();
    scope.GroupBox1->setTitle(current.axis);
    scope.Label1->setText(QStringLiteral("Ma&ximum"));
    scope.Label2->setText(QStringLiteral("Mi&nimum"));
    scope.edtSelFrom->setText(current.maxText);
    scope.edtSelTo->setText(current.minText);
}

std::optional<ScaleEntry> GraphScaleDialog::askScale(const ScaleEntry &current)
{
    TfrmScope scope(parent_);
    prepareScaleDialog(scope, current);
    scope.adjustSize();
    if (const QScreen *screen = parent_ ? parent_->screen() : QGuiApplication::primaryScreen())
        scope.move(screen->availableGeometry().center() - scope.rect().center());
    if (scope.exec() != TfrmScope::mrOk)
        return std::nullopt;
    return ScaleEntry{scope.edtSelFrom->text(), scope.edtSelTo->text(), current.axis};
}

void GraphScaleDialog::showMessage(const QString &text)
{
    // Each of these messages says why something could not be done.
    showMessageBox(parent_, MessageKind::Warning, text);
}

bool editScale(MeterChart *chart, int axis, GraphScaleUi &ui, const QLocale &locale)
{
    if (!chart)
        return false;
    const QPointer<MeterChart> alive = chart;
    chart->SetWorkingAxis(axis);
    const auto entry = ui.askScale({scaleBoxText(chart->GetYMax()), scaleBoxText(chart->GetYMin()), chart->GetYLabel()});
    if (!entry)
        return false;
    const auto enteredMax = boxNumber(entry->maxText, locale, ui);
    const auto enteredMin = boxNumber(entry->minText, locale, ui);
    // While the dialog and messages were up, a running sample may have widened
    // the axis or taken the working axis, or the window may have gone.
    if (!alive)
        return false;
    chart->SetWorkingAxis(axis);
    const ScaleBounds current{toSingle(chart->GetYMax()), toSingle(chart->GetYMin())};
    const auto bounds = scaleBounds(enteredMax, enteredMin, current);
    if (!bounds)
        return false;
    chart->SetYMax(bounds->max);
    chart->SetYMin(bounds->min);
    // The user asked for this scale now: it shows also on a zoomed chart.
    chart->showFixedYRange();
    chart->Refresh();
    return true;
}

bool editScaleWithDialog(QWidget *parent, MeterChart *chart, int axis)
{
    GraphScaleDialog ui(parent);
    return editScale(chart, axis, ui);
}

void undoZoom(MeterChart *chart)
{
    if (!chart)
        return;
    chart->UndoZoom();
    chart->Refresh();
}

} // namespace vandrel
