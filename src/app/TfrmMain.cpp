// SPDX-License-Identifier: GPL-3.0-or-later
// Main window: construction, start-up, settings, model set-up and the
// commands of the shell. The meter link itself lives in MeterLink.
#include "app/TfrmMain.h"
#include "platform/MessageBoxes.h"

#include "app/InsightActions.h"
#include "app/ProgramFiles.h"
#include "app/TfrmAbout.h"
#include "datalogger/KeptMemory.h"
#include "meter/ConnectionText.h"
#include "meter/ModelTraits.h"
#include "platform/WindowPlacement.h"
#include "realtime/GraphExport.h"
#include "realtime/GraphScale.h"
#include "realtime/OutputToGraph.h"
#include "realtime/Printing.h"
#include "realtime/RateEditor.h"
#include "realtime/TableGraphLink.h"
#include "realtime/TableFileDialogs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QSettings>

#include "app/TfrmPublishing.h"
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

// Resources compiled into a static library must be registered by hand.
static void initAppResources()
{
    Q_INIT_RESOURCE(toolbar);
    Q_INIT_RESOURCE(app);
}

namespace vandrel {

namespace {


} // namespace

TfrmMain::TfrmMain(const MainOptions &options, QWidget *parent) : QMainWindow(parent), options_(options)
{
    initAppResources();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vandrel for Humidity and Temperature Meter"));
    setWindowIcon(QIcon(QStringLiteral(":/app/vandrel.svg")));

    settings_ = options_.settings;
    if (!settings_) {
        ownSettings_ = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                   QStringLiteral("Vandrel"), QStringLiteral("Vandrel"));
        settings_ = ownSettings_.get();
    }

    link_ = std::make_unique<MeterLink>(Comm1, reading_, identity_);
    panelController_ = std::make_unique<PanelController>(*link_);
    panelController_->setMessageSink([this](const QString &text) { showMessageBox(this, MessageKind::Information, text); });
    Comm1.setOnHandlerException([](const std::exception &e) {
        // A fault in our own handler, not a port failure: say so rather than hide it.
        qWarning("Unexpected error while reading the meter: %s", e.what());
    });

    mdi_ = new QMdiArea(this);
    mdi_->setObjectName(QStringLiteral("ClientArea"));
    // A window partly outside the client area can always be scrolled to.
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    realTime_ = std::make_unique<RealTimeController>(*link_, *mdi_);
    realTime_->setSaveTable([this] { return SaveTable(); });
    tableFileUi_ = [this] { return std::make_unique<TableFileDialogs>(this, &lastFolder_); };
    print_ = std::make_unique<PrintService>(this, &lastFolder_);
    connect(mdi_, &QMdiArea::subWindowActivated, this, &TfrmMain::childActivated);
    InsightParts insight;
    insight.window = this;
    insight.area = mdi_;
    insight.settings = settings_;
    insight.realTime = realTime_.get();
    insight.identity = &identity_;
    insight.reading = &reading_;
    insight.printer = &print_->printer();
    insight.lastFolder = &lastFolder_;
    insight.panel = [this] { return panelController_->panel(); };
    insight_ = std::make_unique<InsightActions>(insight);

    buildActions();
    buildMenus();
    buildToolbar();
    buildStatusBar();
    connectLink();
    FormCreate();
}

TfrmMain::~TfrmMain()
{
    // The client area outlives this class's part of the object and reports
    // its windows going away: nobody here is listening any more.
    mdi_->disconnect(this);
    if (dataLogger_)
        dataLogger_->disconnect(this);
    link_->stopTimers();
}

QString TfrmMain::statusText() const
{
    return statusPanels_[1]->text();
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    // The Run button's hint says what its next click does.
    if (watched == btnRunButton && (event->type() == QEvent::Enter || event->type() == QEvent::HoverMove)) {
        btnRunButton->setToolTip(realTime_->run().RunTag == RunFace::Run
                                     ? QStringLiteral("Start Real Time Graph and Table")
                                     : QStringLiteral("Pause Real Time Graph and Table"));
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::connectLink()
{
    // The alarm follows the readings while a run records them.
    connect(link_.get(), &MeterLink::frameTick, this, [this](const QDateTime &now) {
        if (realTime_->run().RealTimeRunning)
            insight_->reading(now);
    });
    connect(realTime_.get(), &RealTimeController::controlsChanged, this, [this] {
        if (!realTime_->run().RealTimeRunning && insight_->live().alarmed())
            insight_->runEnded();
    });
    connect(link_.get(), &MeterLink::statusTextChanged, statusPanels_[1], &QLabel::setText);
    connect(link_.get(), &MeterLink::portsChanged, this, &TfrmMain::syncPortBox);
    connect(link_.get(), &MeterLink::portIndexChanged, this, &TfrmMain::syncPortBox);
    connect(link_.get(), &MeterLink::runEnabledChanged, this, &TfrmMain::setRunEnabled);
    connect(link_.get(), &MeterLink::stopEnabledChanged, this, [this](bool on) {
        realTime_->run().StopEnabled = on;
        showRunControls();
    });
    // Every identification, not only the first, sets up what depends on the
    // model: a meter found by a later search may be another model.
    connect(link_.get(), &MeterLink::meterIdentified, this, [this] {
        if (startupDone_)
            ApplyModel();
    });
    connect(link_.get(), &MeterLink::searchRunningChanged, this, [this](bool running) {
        if (startupDone_)
            setSearchRunning(running);
    });
    connect(realTime_.get(), &RealTimeController::runEnabledChanged, this, &TfrmMain::setRunEnabled);
    connect(realTime_.get(), &RealTimeController::controlsChanged, this, &TfrmMain::showRunControls);
    connect(realTime_.get(), &RealTimeController::protectionChanged, protectionPanel_, &QLabel::setText);
}

void TfrmMain::setDiskCalls(const DiskCalls &calls)
{
    diskCalls_ = calls;
    realTime_->setJournalDiskCalls(calls);
}

QString TfrmMain::protectionStatus() const
{
    return protectionPanel_->text();
}

void TfrmMain::setRunEnabled(bool enabled)
{
    runWanted_ = enabled;
    action("mnuRun")->setEnabled(enabled && !searching_);
}

// The search lets events through while it waits for answers; a command that
// opened a window or took the port then would race it (a second panel, a
// download in the middle of the search).
void TfrmMain::setSearchRunning(bool running)
{
    searching_ = running;
    for (const char *name : {"Open1", "mnuPanel", "RealTimeGraph1", "RealTimeTabular1", "LoadData1", "Clear1"})
        action(QLatin1String(name))->setEnabled(!running);
    ComboBoxDeviceName->setEnabled(!running);
    setRunEnabled(runWanted_);
}

// The Run button shows what its next click does; Stop is there while a run is.
void TfrmMain::showRunControls()
{
    const RealTimeRun &run = realTime_->run();
    QAction *runAction = action("mnuRun");
    runAction->setText(run.RunCaption);
    runAction->setIcon(QIcon(run.RunTag == RunFace::Run ? QStringLiteral(":/toolbar/run.svg")
                                                        : QStringLiteral(":/toolbar/pause.svg")));
    action("mnuStop")->setEnabled(run.StopEnabled);
}

void TfrmMain::syncPortBox()
{
    const QSignalBlocker block(ComboBoxDeviceName);
    const QStringList &ports = link_->ports();
    QStringList shown;
    for (int i = 0; i < ComboBoxDeviceName->count(); ++i)
        shown << ComboBoxDeviceName->itemText(i);
    if (shown != ports) {
        ComboBoxDeviceName->clear();
        ComboBoxDeviceName->addItems(ports);
    }
    const int index = link_->portIndex();
    if (index >= 0 && index < ports.size())
        ComboBoxDeviceName->setCurrentIndex(index);
    else
        ComboBoxDeviceName->setEditText(ports.isEmpty() ? QStringLiteral("ComPort") : QString());
}

void TfrmMain::FormCreate()
{
    QStringList ports;
    if (options_.systemPorts) {
        TComPort::EnumComDevices(ports);
        link_->setDeviceSource([] {
            QStringList now;
            TComPort::EnumComDevices(now);
            return now;
        });
    }
    link_->setPorts(PortList::preferredFirst(options_.preferredPorts, ports));

    recovery_ = std::make_unique<RecoveryFiles>(options_.recoveryFolder);
    realTime_->setJournalPath(recovery_->runJournalPath());
    if (!recovery_->active())
        realTime_->setJournalUnavailable(recovery_->problem());

    stored_ = AppSettings::load(*settings_);
    realTime_->run().SampleRate = stored_.RealTimeRate;
    storedModel_ = stored_.RegModel;
    if (isKnownModel(storedModel_))
        link_->setRememberedModel(storedModel_);
    link_->state().LastConnectedPort = stored_.LastConnectedPort;
    panelController_->setPanelPercent(stored_.PanelSize);
    action(QStringLiteral("mnuPanelSize%1").arg(panelController_->panelPercent()))->setChecked(true);

    if (!options_.recoveryFolder.isEmpty()) {
        publisher_ = std::make_unique<DesktopPublisher>(options_.recoveryFolder + QStringLiteral("/publish"),
                                                        [](const QString &text) { qInfo("%s", qPrintable(text)); });
        publisher_->apply(PublishingSettings::load(*settings_), [this] { return runFacts(); });
        connect(realTime_.get(), &RealTimeController::rowSampled, publisher_.get(), &DesktopPublisher::record);
    }
}

RunFacts TfrmMain::runFacts() const
{
    RunFacts facts;
    if (identity_.MeterModel != kUnidentifiedModel && identity_.MeterModel != 0) {
        facts.model = QString::number(identity_.MeterModel);
        if (identity_.ModelSuffix > ' ' && identity_.ModelSuffix < 127)
            facts.model += QLatin1Char(identity_.ModelSuffix);
        const TableLayout layout = realTimeTableLayout(identity_);
        facts.twoTemperatures = layout.twoTemperatures;
        facts.dewPoint = layout.dewPoint;
    }
    facts.unit = reading_.TempUnit;
    return facts;
}

void TfrmMain::Publishing1Click()
{
    TfrmPublishing dialog(PublishingSettings::load(*settings_), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const PublishingSettings chosen = dialog.settings();
    chosen.save(*settings_);
    if (publisher_)
        publisher_->apply(chosen, [this] { return runFacts(); });
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    // Let the window appear before the search takes its seconds.
    QTimer::singleShot(0, this, &TfrmMain::FormShow);
}

void TfrmMain::FormShow()
{
    RealTimeRun &run = realTime_->run();
    if (run.SampleRate == 0)
        run.SampleRate = 2;
    MaskEdit1->setText(rateEditorText(run.SampleRate));

    setSearchRunning(true);
    link_->searchMeter();
    panelController_->createPanel(*mdi_);
    setRunEnabled(true);
    layoutStartupWindows();
    if (!link_->state().MeterConnected)
        setRunEnabled(false);
    ApplyModel();
    if (!recovery_->problem().isEmpty())
        tell(notProtectedMessage(recovery_->folder(), recovery_->problem()));
    offerRecovery();
    link_->startTimers();
    setSearchRunning(false);
    startupDone_ = true;
    emit startupFinished();
}

// The graph and the table right of the panel, sized by the screen.
void TfrmMain::layoutStartupWindows()
{
    const QScreen *screen = this->screen();
    const int screenHeight = screen ? screen->geometry().height() : 768;
    const int panelWidth = panelController_->panel() && panelController_->panel()->parentWidget()
                               ? panelController_->panel()->parentWidget()->frameGeometry().width()
                               : 0;
    const QSize client = mdi_->viewport()->size();
    realTime_->createStartupWindows(startupLayout(panelWidth, client.width(), client.height(), screenHeight));
}

// The text is left as the user types it (no rewriting under the cursor); a
// finished rate takes effect at once, anything else when the edit ends.
void TfrmMain::MaskEdit1Change()
{
    if (!MaskEdit1->isModified()) {
        MaskEdit1Exit(); // set by the program: nobody is typing
        return;
    }
    if (const auto rate = rateWhileEditing(MaskEdit1->displayText()))
        realTime_->run().SampleRate = *rate;
}

void TfrmMain::MaskEdit1Exit()
{
    const RateEdit edit = finishRateEdit(MaskEdit1->displayText(), realTime_->run().SampleRate);
    realTime_->run().SampleRate = edit.seconds;
    MaskEdit1->setModified(false);
    if (edit.rewrite && edit.text != MaskEdit1->displayText())
        MaskEdit1->setText(edit.text);
}

void TfrmMain::ApplyModel()
{
    if (identity_.MeterModel != 0)
        storedModel_ = identity_.MeterModel;
    else
        identity_.MeterModel = storedModel_;
    const int model = identity_.MeterModel;
    const ModelTraits &traits = modelTraits(model);
    if (traits.known())
        panelController_->setBackground(programFile(QStringLiteral("RESOURCE/PANEL%1.BMP").arg(model)));
    realTime_->applyModel(model);
    action("LoadData1")->setVisible(traits.canLog);
}

// Saves a table: the real-time table after a save prompt, else the active
// table window. Returns true only when the table was completely written.
bool TfrmMain::SaveTable()
{
    RealTimeRun &run = realTime_->run();
    QMdiSubWindow *active = mdi_->activeSubWindow();
    auto *activeTable = active ? qobject_cast<TfrmList *>(active->widget()) : nullptr;
    StringGrid *grid = nullptr;
    if (run.SaveFromPrompt) {
        if (TfrmList *table = realTime_->RealTimeTableWindow())
            grid = table->Grid1;
    } else if (activeTable) {
        grid = activeTable->Grid1;
    } else if (dataLoggerGridToSave({.activeChild = active,
                                     .tableWindowActive = activeTable != nullptr,
                                     .saveFromPrompt = run.SaveFromPrompt},
                                    logger_, dataLogger_)) {
        // The data logger's shown set: it counts as saved only once written whole.
        TfrmDataLogger *logger = dataLoggerOf(active) ? dataLoggerOf(active) : dataLogger_.data();
        return saveDataLoggerData(*logger);
    }
    run.SaveFromPrompt = false;
    return grid && saveTable(*grid, *tableFileUi_(), diskCalls_);
}

bool TfrmMain::askRestore(const QString &question)
{
    if (options_.askRestore)
        return options_.askRestore(question);
    return askQuestionBox(this, question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void TfrmMain::tell(const QString &message)
{
    if (options_.tell)
        options_.tell(message);
    else
        showMessageBox(this, MessageKind::Warning, message);
}

// Work a program that did not close normally left behind: a run's rows and a
// download not yet saved. Each is offered back once; No lets it go. A damaged
// file is kept beside under a new name whatever the answer.
void TfrmMain::offerRecovery()
{
    offerLeftRun(recovery_->leftRunJournalPath());
    offerLeftMemory(recovery_->leftLoggerMemoryPath());
}

void TfrmMain::offerLeftRun(const QString &path)
{
    if (path.isEmpty())
        return;
    const LeftRun left = readLeftRun(path);
    if (!left.message.isEmpty())
        tell(left.message);
    const bool back = !left.question.isEmpty() && askRestore(left.question) && realTime_->restoreRun(left.contents);
    if (!back && left.mayDiscard && path == recovery_->runJournalPath())
        realTime_->endJournal();
}

void TfrmMain::offerLeftMemory(const QString &path)
{
    if (path.isEmpty())
        return;
    const LeftMemory left = readLeftMemory(path);
    if (!left.message.isEmpty())
        tell(left.message);
    const bool back = left.kept && !left.question.isEmpty() && askRestore(left.question) &&
                      showKeptMemory(*mdi_, logger_, *left.kept, dataLogger_);
    if (back) {
        adoptDataLoggerWindow();
        // Kept again whole, so that another crash finds it readable; the
        // damaged file stays beside it.
        if (!left.damagedCopy.isEmpty() && path == recovery_->loggerMemoryPath() &&
            !writeKeptMemory(path, *left.kept, diskCalls_))
            qWarning("The restored download could not be kept on disk: %s", qPrintable(path));
        return;
    }
    if (left.mayDiscard && path == recovery_->loggerMemoryPath())
        forgetKeptMemory();
}

// Reads a table file into a new table window captioned with the file's path.
void TfrmMain::OpenTable()
{
    openTable(*tableFileUi_(), [this](const QString &path) {
        auto *table = new TfrmList;
        table->showIn(*mdi_, path);
        connect(table->Grid1, &StringGrid::cellClicked, table, [this, table] {
            moveMarkerToRow(*mdi_, *table, realTime_->RealTimeTableWindow(), identity_.ModelSuffix);
        });
        return table->Grid1;
    });
}

// Shows the panel, creating it anew (with the model's picture) after it was closed.
void TfrmMain::btnRunClick() { realTime_->runOrPause(); }
void TfrmMain::btnStopClick() { realTime_->stopRun(); }
void TfrmMain::Clear1Click() { realTime_->clearRun(); }
void TfrmMain::RealTimeGraph1Click() { realTime_->showGraphWindow(); }
void TfrmMain::RealTimeTabular1Click() { realTime_->showTableWindow(); }

void TfrmMain::mnuPanelClick()
{
    if (TfrmPanel *panel = panelController_->panel()) {
        if (auto *window = qobject_cast<QMdiSubWindow *>(panel->parentWidget())) {
            window->showNormal();
            mdi_->setActiveSubWindow(window);
        }
        return;
    }
    panelController_->createPanel(*mdi_);
    ApplyModel();
}

QWidget *TfrmMain::activeChild() const
{
    QMdiSubWindow *w = mdi_->activeSubWindow();
    return w ? w->widget() : nullptr;
}

// The chart of the active graph or data-logger window, if one is active.
MeterChart *TfrmMain::activeChart() const
{
    if (auto *graph = qobject_cast<TfrmGraph *>(activeChild()))
        return graph->Chart1;
    if (TfrmDataLogger *logger = dataLoggerOf(activeChild()))
        return logger->Chart1;
    return nullptr;
}

void TfrmMain::LoadData1Click()
{
    // A second click while the port is being taken over or read is ignored
    // by the command itself (its result is then no success). The transfer
    // lets no events through, so a click made during it waits in the queue:
    // it reaches the command while the command is still disabled, and is lost
    // there rather than starting a second download.
    QAction *command = action("LoadData1");
    command->setEnabled(false);
    const int result = vandrel::downloadAndShowMemory(*mdi_, *link_, logger_, dataLogger_, this);
    QCoreApplication::processEvents();
    command->setEnabled(!searching_);
    if (result == kDownloadSuccess && recovery_->active()) {
        // Until its data is saved the download exists only here: keep it on disk.
        const KeptMemory kept = keepMemory(logger_.Table, identity_.MeterModel, identity_.ModelSuffix,
                                           toDays(QDateTime::currentDateTime()));
        if (!writeKeptMemory(recovery_->loggerMemoryPath(), kept, diskCalls_))
            qWarning("The download could not be kept on disk: %s", qPrintable(recovery_->loggerMemoryPath()));
    }
    adoptDataLoggerWindow();
}

// The data-logger window saves its own table, whichever window is active, and
// takes its kept memory with it when it goes.
void TfrmMain::adoptDataLoggerWindow()
{
    if (!dataLogger_)
        return;
    TfrmDataLogger *window = dataLogger_;
    window->saveCommand = [this, window] { return saveDataLoggerData(*window); };
    connect(window, &QObject::destroyed, this, &TfrmMain::forgetKeptMemory, Qt::UniqueConnection);
}

bool TfrmMain::saveDataLoggerData(TfrmDataLogger &window)
{
    if (!saveDataLoggerTable(window, logger_, *tableFileUi_(), diskCalls_))
        return false;
    forgetKeptMemory();
    return true;
}

void TfrmMain::forgetKeptMemory()
{
    if (recovery_ && recovery_->active())
        QFile::remove(recovery_->loggerMemoryPath());
}

// Output to graph works on tables, the scales on graphs: the commands follow
// the kind of window the user is in.
void TfrmMain::childActivated(QMdiSubWindow *window)
{
    QWidget *w = window ? window->widget() : nullptr;
    insight_->drawLimitsOnGraphs();
    const bool table = qobject_cast<TfrmList *>(w) != nullptr;
    const bool graph = qobject_cast<TfrmGraph *>(w) != nullptr || dataLoggerOf(w) != nullptr;
    action("mnuExportGraph")->setEnabled(graph);
    if (!table && !graph)
        return;
    action("btnOutputGraph")->setEnabled(table);
    Graph1->setEnabled(graph);
}

void TfrmMain::btnOutputGraphClick()
{
    auto *table = qobject_cast<TfrmList *>(activeChild());
    if (!table)
        return;
    TfrmGraph *graph = OutputToGraphWithDialogs(this, *mdi_, *table);
    if (!graph)
        return;
    connect(graph->Chart1, &MeterChart::pointClicked, graph, [this, graph](bool, int, int point) {
        selectRowOfPoint(*mdi_, *graph, point, realTime_->RealTimeGraphWindow(), identity_.ModelSuffix);
    });
}

void TfrmMain::Scale1Click(int axis)
{
    MeterChart *chart = activeChart();
    if (!chart && realTime_->RealTimeGraphWindow())
        chart = realTime_->RealTimeGraphWindow()->Chart1;
    editScaleWithDialog(this, chart, axis);
}

void TfrmMain::SpeedButton1Click()
{
    // Only the graph the user is looking at; never the real-time graph behind it.
    vandrel::undoZoom(activeChart());
}

void TfrmMain::ExportGraphClick()
{
    MeterChart *chart = activeChart();
    if (!chart)
        return;
    // The data-logger window knows its meter; a graph window says itself.
    if (TfrmDataLogger *logger = dataLoggerOf(activeChild()))
        chart->setPageHeading(graphPageHeading(logger->windowTitle(), chart->shownDataSpan(), logger->model().MeterModel));
    else
        chart->setPageHeading(graphPageHeadingOf(activeChild(), *chart));
    ExportGraphWithDialog(this, chart, activeChild()->windowTitle(), &lastFolder_);
}

void TfrmMain::Content1Click()
{
    // Without a program to show web pages nothing would happen at all: the
    // user is told where the page is, to open it some other way.
    const QString page = programFile(QStringLiteral("VandrelHelp.htm"));
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
        tell(QStringLiteral("No program to show the help page was found.\nThe help page is %1").arg(page));
}

void TfrmMain::AboutVandrel1Click()
{
    TfrmAbout about(this);
    about.exec();
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    // Unsaved samples and downloads are not lost by closing the program: the
    // real-time table and the data-logger window ask their questions first, once.
    // No sample is taken from the first question on: a Cancel at any of them
    // leaves the run going as it was, and once all are answered no row comes
    // in that nobody was asked about.
    if (!closeConfirmed_) {
        realTime_->holdSampling();
        if (!realTime_->askBeforeClose() || (dataLogger_ && !dataLogger_->FormCloseQuery())) {
            realTime_->releaseSampling();
            event->ignore();
            return;
        }
        closeConfirmed_ = true;
    }
    if (!link_->shutDown()) {
        // A tick or a receive handler is still on the stack: close once it returned.
        event->ignore();
        QTimer::singleShot(50, this, &QWidget::close);
        return;
    }
    FormClose();
    event->accept();
}

void TfrmMain::FormClose()
{
    // A normal end: every question about unsaved work has been answered.
    realTime_->endJournal();
    forgetKeptMemory();
    AppSettings s;
    s.RealTimeRate = realTime_->run().SampleRate;
    s.RegModel = storedModel_;
    s.LastConnectedPort = ComboBoxDeviceName->currentIndex() < 0 ? 0 : ComboBoxDeviceName->currentIndex();
    s.PanelSize = panelController_->panelPercent();
    s.save(*settings_);
}

} // namespace vandrel
