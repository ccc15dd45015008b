// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window does with limits and statistics: Option › Limits…,
// Window › Statistics, File › Report…, the limits drawn on every graph, and
// the alarm of a real-time run (status bar, panel title, one desktop
// notification per crossing). Thin: the figures come from src/insight.
#pragma once

#include "insight/LimitSettings.h"
#include "insight/Report.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class QLabel;
class QMdiArea;
class QPrinter;
class QSettings;
class QWidget;

namespace vandrel {

class DesktopNotifier;
class MeterChart;
class StringGrid;
class TfrmPanel;
class RealTimeController;
struct MeterIdentity;
struct MeterReading;

// What the actions reach in the main window.
struct InsightParts {
    QWidget *window = nullptr;
    QMdiArea *area = nullptr;
    QSettings *settings = nullptr;
    RealTimeController *realTime = nullptr;
    const MeterIdentity *identity = nullptr;
    const MeterReading *reading = nullptr;
    QPrinter *printer = nullptr;      // its page size is the report's
    QString *lastFolder = nullptr;    // where file dialogs start
    std::function<TfrmPanel *()> panel;
};

// The record a window shows: the rows of a table, of the graph drawn from it
// (only the zoomed span while zoomed) or of a data-logger set.
struct WindowRecord {
    ReportInput input;
    QString title; // the window's caption
};
std::optional<WindowRecord> recordOfWindow(QWidget *child, RealTimeController *realTime,
                                           const MeterIdentity &identity, QMdiArea &area);
// The rows of a sample table (its row 0 the headings, column 0 the row number).
ReportInput recordOfGrid(const StringGrid &grid);

class InsightActions : public QObject {
    Q_OBJECT
public:
    explicit InsightActions(const InsightParts &parts);
    ~InsightActions() override;

    const StatsOptions &limits() const { return live_.options(); }
    void setLimits(const StatsOptions &options);
    QLabel *alarmLabel() const { return alarm_; }
    const LiveLimits &live() const { return live_; }

    void showLimitsDialog();
    void showStatistics(QWidget *activeChild);
    void writeReport(QWidget *activeChild);
    // Every graph window draws the limits.
    void drawLimitsOnGraphs();
    // A reading of the real-time run: the alarm follows it.
    void reading(const QDateTime &now);
    // The run stopped: no alarm without readings.
    void runEnded();

private:
    void showAlarm();

    InsightParts parts_;
    LiveLimits live_;
    QLabel *alarm_ = nullptr;
    std::unique_ptr<DesktopNotifier> notifier_;
    QString panelTitle_;
};

// The levels of the limits on a chart laid out as the program's graphs are
// (series 0 humidity, 1 T1, 2 T2, 3 dew point).
void applyLimitLines(MeterChart &chart, const StatsOptions &options);

} // namespace vandrel
