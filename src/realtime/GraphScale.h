// SPDX-License-Identifier: GPL-3.0-or-later
// Setting a graph's humidity or temperature scale by hand, and Undo Zoom; the
// dialog stays behind an interface and the bounds arithmetic is pure.
#pragma once

#include <QLocale>
#include <QString>

#include <optional>

class QWidget;

namespace vandrel {

class MeterChart;
class TfrmScope;

constexpr int kHumidityAxis = 0;
constexpr int kTemperatureAxis = 1;

// Hand-set limits stay within these.
constexpr float kScaleCeiling = 3000.0f;
constexpr float kScaleFloor = -500.0f;

struct ScaleBounds {
    float max = 0.0f;
    float min = 0.0f;
    bool operator==(const ScaleBounds &) const = default;
};

// The limits to set from what the user entered. A bound the user gave no
// number for keeps its `current` value; bounds given the wrong way round are
// swapped; the maximum is capped at 3000 and the minimum at -500. Nothing when
// that leaves no range to draw (the minimum not below the maximum), so the
// scale stays as it was.
std::optional<ScaleBounds> scaleBounds(std::optional<float> enteredMax, std::optional<float> enteredMin,
                                       ScaleBounds current);

// A box's number in single precision; nothing when the text is not a number.
std::optional<float> scaleNumber(const QString &text, const QLocale &locale = QLocale());
// What a box shows for a limit: the whole number toward zero, in decimal.
QString scaleBoxText(double limit);

// The texts of the scale dialog's two boxes, and (shown only) the title of
// the axis they set, with its unit.
struct ScaleEntry {
    QString maxText;
    QString minText;
    QString axis;
};

// What setting a scale asks of the user.
class GraphScaleUi
{
public:
    virtual ~GraphScaleUi() = default;
    // Shows the current limits; nothing when the user cancelled.
    virtual std::optional<ScaleEntry> askScale(const ScaleEntry &current) = 0;
    virtual void showMessage(const QString &text) = 0;
};

// The real scale dialog and message box.
class GraphScaleDialog : public GraphScaleUi
{
public:
    explicit GraphScaleDialog(QWidget *parent) : parent_(parent) {}
    std::optional<ScaleEntry> askScale(const ScaleEntry &current) override;
    void showMessage(const QString &text) override;

private:
    QWidget *parent_;
};

// Makes `scope` the scale dialog: its caption, the axis's title over the two
// boxes, "Maximum" and "Minimum" with `current`, and the OK and Cancel buttons
// shown, the radio buttons hidden.
void prepareScaleDialog(TfrmScope &scope, const ScaleEntry &current);

// Lets the user set axis `axis` (kHumidityAxis or kTemperatureAxis) of
// `chart`. A null chart does nothing. Returns true when the axis changed.
bool editScale(MeterChart *chart, int axis, GraphScaleUi &ui, const QLocale &locale = QLocale());
bool editScaleWithDialog(QWidget *parent, MeterChart *chart, int axis);

// Undo Zoom: `chart` back to its fixed ranges. A null chart does nothing.
void undoZoom(MeterChart *chart);

} // namespace vandrel
