// SPDX-License-Identifier: GPL-3.0-or-later
// The limits dialog, the statistics window, the report command and the live
// alarm.
#include "app/InsightActions.h"

#include "platform/MessageBoxes.h"
#include "app/DesktopNotifier.h"
#include "app/LimitsDialog.h"
#include "datalogger/DataLoggerCommand.h"
#include "datalogger/TfrmDataLogger.h"
#include "insight/RecordSources.h"
#include "insight/ReportPdf.h"
#include "meter/MeterIdentity.h"
#include "meter/ModelTraits.h"
#include "panel/TfrmPanel.h"
#include "platform/MeterChart.h"
#include "platform/StringGrid.h"
#include "realtime/GraphSetup.h"
#include "realtime/RealTimeController.h"
#include "records/TableRow.h"
#include "realtime/TfrmGraph.h"
#include "realtime/TfrmList.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPageLayout>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <vector>

namespace vandrel {

namespace {


QString modelText(const MeterIdentity &id)
{
    if (!isKnownModel(id.MeterModel))
        return QString();
    return QString::number(id.MeterModel) + (isDewPointVariant(id.ModelSuffix) ? QStringLiteral("D") : QString());
}

void fill(QTableWidget &table, const TextTable &t)
{
    table.setColumnCount(static_cast<int>(t.headings.size()));
    table.setHorizontalHeaderLabels(t.headings);
    table.setRowCount(static_cast<int>(t.rows.size()));
    for (int r = 0; r < t.rows.size(); ++r) {
        for (int c = 0; c < t.rows[r].size(); ++c) {
            auto *item = new QTableWidgetItem(t.rows[r][c]);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (c > 0)
                item->setTextAlignment(Qt::AlignCenter);
            table.setItem(r, c, item);
        }
    }
    table.verticalHeader()->hide();
    table.setEditTriggers(QAbstractItemView::NoEditTriggers);
    table.resizeColumnsToContents();
    table.resizeRowsToContents();
}

// A table as tall as its rows, so a window of several shows each whole.
QTableWidget *tableOf(const TextTable &t, QWidget *parent, const QString &name)
{
    auto *w = new QTableWidget(parent);
    w->setObjectName(name);
    fill(*w, t);
    int height = w->horizontalHeader()->sizeHint().height() + 2 * w->frameWidth();
    for (int r = 0; r < w->rowCount(); ++r)
        height += w->rowHeight(r);
    height += w->horizontalScrollBar()->sizeHint().height();
    w->setMinimumHeight(std::min(height, 480));
    w->setMaximumHeight(height);
    return w;
}

TfrmList *tableOfGraph(QWidget *graph, RealTimeController *realTime, QMdiArea &area)
{
    if (realTime && graph == realTime->RealTimeGraphWindow())
        return realTime->RealTimeTableWindow();
    for (QMdiSubWindow *sub : area.subWindowList()) {
        auto *table = qobject_cast<TfrmList *>(sub->widget());
        if (table && table != (realTime ? realTime->RealTimeTableWindow() : nullptr) &&
            table->windowTitle() == TfrmGraph::tableCaptionOf(graph->windowTitle()))
            return table;
    }
    return nullptr;
}

// Why a window gives no record.
QString noRecord(QWidget *child, const QString &what)
{
    if (qobject_cast<TfrmGraph *>(child))
        return QStringLiteral("The table this graph was drawn from is closed, and the figures come from its rows.");
    return QStringLiteral("%1: make a table, a graph or the data logger the active window.").arg(what);
}

} // namespace

ReportInput recordOfGrid(const StringGrid &grid)
{
    RecordBuilder reader(QLocale(), QStringLiteral("row"));
    std::vector<std::string_view> cells(kTableColumns - 1);
    const int columns = std::min(grid.ColCount(), kTableColumns);
    for (int row = 1; row < grid.RowCount(); ++row) {
        for (int c = 1; c < kTableColumns; ++c)
            cells[static_cast<std::size_t>(c - 1)] = c < columns ? grid.cellUtf8(c, row) : std::string_view();
        reader.addRow(cells, row);
    }
    ReportInput in;
    in.notes = reader.notes();
    in.record = reader.take();
    return in;
}

std::optional<WindowRecord> recordOfWindow(QWidget *child, RealTimeController *realTime, const MeterIdentity &identity,
                                           QMdiArea &area)
{
    if (!child)
        return std::nullopt;
    const StringGrid *grid = nullptr;
    const MeterChart *chart = nullptr;
    QString source;
    QString tableTitle;
    bool ofMeter = false;
    if (auto *table = qobject_cast<TfrmList *>(child)) {
        grid = table->Grid1;
        tableTitle = table->windowTitle();
        ofMeter = realTime && table == realTime->RealTimeTableWindow();
    } else if (auto *graph = qobject_cast<TfrmGraph *>(child)) {
        TfrmList *table = tableOfGraph(graph, realTime, area);
        if (!table)
            return std::nullopt;
        grid = table->Grid1;
        tableTitle = table->windowTitle();
        chart = graph->Chart1;
        ofMeter = realTime && table == realTime->RealTimeTableWindow();
    } else if (TfrmDataLogger *logger = dataLoggerOf(child)) {
        grid = logger->Grid1;
        chart = logger->Chart1;
        ofMeter = true;
        source = QStringLiteral("Data-logger set %1").arg(logger->shownSet() + 1);
    }
    if (!grid)
        return std::nullopt;
    WindowRecord out;
    out.title = child->windowTitle();
    out.input = recordOfGrid(*grid);
    if (source.isEmpty())
        source = ofMeter ? QStringLiteral("Real-time run") : QStringLiteral("Table: ") + tableTitle;
    if (chart && chart->IsZoomed()) {
        out.input.record = recordSpan(out.input.record, chart->ShownXMin() * 86400.0, chart->ShownXMax() * 86400.0);
        source += QStringLiteral(" (the zoomed span)");
    }
    out.input.header.source = source;
    out.input.header.model = ofMeter ? modelText(identity) : QString();
    return out;
}

void applyLimitLines(MeterChart &chart, const StatsOptions &options)
{
    // Set on every channel's series, also those a chart does not have yet: a
    // graph is activated before its series are laid out, and keeps the levels.
    // Drawn in the unit the graph's temperature axis shows.
    const QString shown = ShownTemperatureUnit(chart);
    const char unit = shown.isEmpty() ? 'C' : shown.front().toLatin1();
    for (int s = 0; s < kChannelCount; ++s) {
        const Limits l = limitsInUnit(options.limits[static_cast<std::size_t>(s)], unit);
        std::vector<double> levels;
        if (l.low)
            levels.push_back(*l.low);
        if (l.high)
            levels.push_back(*l.high);
        if (chart.LevelLines(s) != levels)
            chart.SetLevelLines(s, levels);
    }
}

InsightActions::InsightActions(const InsightParts &parts)
    : parts_(parts), notifier_(std::make_unique<DesktopNotifier>())
{
    live_.setOptions(loadLimits(*parts_.settings));
    alarm_ = new QLabel(parts_.window);
    alarm_->setObjectName(QStringLiteral("StatusAlarm"));
    alarm_->setStyleSheet(QStringLiteral("QLabel { color: white; background: #c00000; font-weight: bold; padding: 0 6px; }"));
    alarm_->hide();
}

InsightActions::~InsightActions() = default;

void InsightActions::setLimits(const StatsOptions &options)
{
    saveLimits(*parts_.settings, options);
    live_.setOptions(options);
    showAlarm();
    drawLimitsOnGraphs();
}

void InsightActions::showLimitsDialog()
{
    LimitsDialog dialog(parts_.window, live_.options());
    if (dialog.exec() == QDialog::Accepted)
        setLimits(dialog.options());
}

void InsightActions::drawLimitsOnGraphs()
{
    for (QMdiSubWindow *sub : parts_.area->subWindowList()) {
        if (auto *graph = qobject_cast<TfrmGraph *>(sub->widget()))
            applyLimitLines(*graph->Chart1, live_.options());
        else if (TfrmDataLogger *logger = dataLoggerOf(sub->widget()))
            applyLimitLines(*logger->Chart1, live_.options());
    }
}

void InsightActions::showStatistics(QWidget *activeChild)
{
    const std::optional<WindowRecord> w = recordOfWindow(activeChild, parts_.realTime, *parts_.identity, *parts_.area);
    if (!w) {
        showMessageBox(parts_.window, MessageKind::Information, noRecord(activeChild, QStringLiteral("Statistics")));
        return;
    }
    ReportInput in = w->input;
    in.options = live_.options();
    const ReportTables tables = reportTables(in);
    auto *dialog = new QDialog(parts_.window);
    dialog->setObjectName(QStringLiteral("StatisticsWindow"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Statistics - ") + in.header.source);
    auto *layout = new QVBoxLayout(dialog);
    QStringList head;
    for (const QStringList &row : tables.header.rows)
        head << row.join(QStringLiteral(": "));
    layout->addWidget(new QLabel(head.join(QStringLiteral("   "))));
    // A table, its title where it needs one, and the notes that say how its
    // figures were worked out (which times weigh rows, which formula).
    const auto add = [&](const TextTable &t, const QString &name, int stretch, bool titled) {
        if (t.rows.isEmpty())
            return;
        if (titled)
            layout->addWidget(new QLabel(t.title));
        layout->addWidget(tableOf(t, dialog, name), stretch);
        if (!t.notes.isEmpty()) {
            auto *notes = new QLabel(t.notes.join(QLatin1Char('\n')));
            notes->setObjectName(name + QStringLiteral("Notes"));
            notes->setWordWrap(true);
            layout->addWidget(notes);
        }
    };
    add(tables.statistics, QStringLiteral("StatisticsTable"), 3, false);
    add(tables.derived, QStringLiteral("DerivedTable"), 1, false);
    add(tables.gaps, QStringLiteral("GapsTable"), 1, true);
    add(tables.crossings, QStringLiteral("CrossingsTable"), 1, true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QPushButton *report = buttons->addButton(QStringLiteral("Report..."), QDialogButtonBox::ActionRole);
    const QPointer<QWidget> child = activeChild;
    connect(report, &QPushButton::clicked, this, [this, child] {
        if (child)
            writeReport(child);
    });
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    layout->addWidget(buttons);
    dialog->resize(1100, dialog->sizeHint().height());
    dialog->show();
}

void InsightActions::writeReport(QWidget *activeChild)
{
    const std::optional<WindowRecord> w = recordOfWindow(activeChild, parts_.realTime, *parts_.identity, *parts_.area);
    if (!w) {
        showMessageBox(parts_.window, MessageKind::Information, noRecord(activeChild, QStringLiteral("Report")));
        return;
    }
    QString selected;
    const QString path = QFileDialog::getSaveFileName(
        parts_.window, QStringLiteral("Report"), parts_.lastFolder ? *parts_.lastFolder : QString(),
        QStringLiteral("PDF report (*.pdf);;Figures as CSV (*.csv)"), &selected);
    if (path.isEmpty())
        return;
    if (parts_.lastFolder)
        *parts_.lastFolder = QFileInfo(path).absolutePath();
    ReportInput in = w->input;
    in.options = live_.options();
    const ReportTables tables = reportTables(in);
    QString error;
    const bool csv = path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive);
    const bool letter = parts_.printer &&
                        parts_.printer->pageLayout().pageSize().id() == QPageSize::Letter;
    const bool ok = csv ? writeReportCsv(path, tables, error)
                        : writeReportPdf(path, in, tables, letter ? ReportPaper::Letter : ReportPaper::A4, error);
    if (!ok)
        showMessageBox(parts_.window, MessageKind::Error, error);
}

void InsightActions::reading(const QDateTime &now)
{
    if (!parts_.reading || !parts_.identity)
        return;
    // The meter's own numbers: a row's texts read back would lose nothing
    // today, but they are the table's business, not the alarm's.
    const std::array<Cell, kChannelCount> cells = readingCells(*parts_.reading, *parts_.identity);
    std::array<double, kChannelCount> values{};
    for (const Channel c : kChannels)
        values[c] = cellNumber(cells[c]);
    const char unit = readingUnit(*parts_.reading);
    for (const QString &notice : live_.feed(values, static_cast<double>(now.toMSecsSinceEpoch()) / 1000.0, unit))
        notifier_->notify(QStringLiteral("Limit crossed"), notice);
    showAlarm();
}

void InsightActions::runEnded()
{
    live_.setOptions(live_.options());
    showAlarm();
}

void InsightActions::showAlarm()
{
    const QString text = live_.alarmText();
    alarm_->setText(text);
    alarm_->setVisible(!text.isEmpty());
    TfrmPanel *panel = parts_.panel ? parts_.panel() : nullptr;
    if (!panel)
        return;
    if (panelTitle_.isEmpty())
        panelTitle_ = panel->windowTitle();
    // The panel is narrow: its title only says that an alarm is on, the
    // status bar says which.
    const QString title = text.isEmpty() ? panelTitle_ : panelTitle_ + QStringLiteral(" - ALARM");
    panel->setWindowTitle(title);
    if (auto *sub = qobject_cast<QMdiSubWindow *>(panel->parentWidget()))
        sub->setWindowTitle(title);
}

} // namespace vandrel
