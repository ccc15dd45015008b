// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's menus, toolbar and status bar: every command with its
// caption, hint, shortcut and icon, wired to the handlers in TfrmMain.cpp.
#include "app/TfrmMain.h"

#include "app/InsightActions.h"

#include "panel/PanelScale.h"
#include "realtime/GraphScale.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace vandrel {

QAction *TfrmMain::makeAction(const QString &name, const QString &text, const QString &icon, const QString &hint)
{
    auto *a = new QAction(text, this);
    a->setObjectName(name);
    if (!icon.isEmpty())
        a->setIcon(QIcon(QStringLiteral(":/toolbar/") + icon + QStringLiteral(".svg")));
    if (!hint.isEmpty()) {
        a->setToolTip(hint);
        a->setStatusTip(hint);
    }
    return a;
}

QAction *TfrmMain::action(const QString &objectName) const
{
    return findChild<QAction *>(objectName);
}

void TfrmMain::buildActions()
{
    QAction *open = makeAction(QStringLiteral("Open1"), QStringLiteral("&Open"), QStringLiteral("open"),
                               QStringLiteral("Open File"));
    open->setShortcut(QKeySequence::Open);
    connect(open, &QAction::triggered, this, &TfrmMain::OpenTable);
    QAction *save = makeAction(QStringLiteral("mnuSave"), QStringLiteral("&Save"), QStringLiteral("save"),
                               QStringLiteral("Save"));
    save->setShortcut(QKeySequence::Save);
    connect(save, &QAction::triggered, this, [this] { SaveTable(); });
    QAction *print = makeAction(QStringLiteral("mnuPrint"), QStringLiteral("&Print"), QStringLiteral("print"),
                                QStringLiteral("Print tabular or graph"));
    print->setShortcut(QKeySequence::Print);
    // The table of a table window, the chart of a graph window, nothing otherwise.
    connect(print, &QAction::triggered, this, [this] { print_->printActiveChild(mdi_->activeSubWindow()); });
    connect(makeAction(QStringLiteral("mnuPrinterSetup"), QStringLiteral("Printer Setup")), &QAction::triggered,
            this, [this] { print_->printerSetup(); });
    QAction *exportGraph = makeAction(QStringLiteral("mnuExportGraph"), QStringLiteral("&Export Graph..."));
    exportGraph->setEnabled(false); // until a graph window is active
    connect(exportGraph, &QAction::triggered, this, &TfrmMain::ExportGraphClick);
    connect(makeAction(QStringLiteral("mnuReport"), QStringLiteral("&Report..."), QString(),
                       QStringLiteral("Write a report of the active table, graph or data-logger set")),
            &QAction::triggered, this, [this] { insight_->writeReport(activeChild()); });
    connect(makeAction(QStringLiteral("mnuLimits"), QStringLiteral("&Limits..."), QString(),
                       QStringLiteral("Low and high limits of each channel")),
            &QAction::triggered, this, [this] { insight_->showLimitsDialog(); });
    connect(makeAction(QStringLiteral("mnuStatistics"), QStringLiteral("&Statistics"), QString(),
                       QStringLiteral("Statistics of the active table, graph or data-logger set")),
            &QAction::triggered, this, [this] { insight_->showStatistics(activeChild()); });
    QAction *exit = makeAction(QStringLiteral("Exit1"), QStringLiteral("E&xit"));
    exit->setShortcut(QKeySequence::Quit);
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QAction *run = makeAction(QStringLiteral("mnuRun"), QStringLiteral("&Run"), QStringLiteral("run"),
                              QStringLiteral("Real Time Graph and Tabular "));
    run->setShortcut(Qt::Key_F9);
    connect(run, &QAction::triggered, this, &TfrmMain::btnRunClick);
    connect(makeAction(QStringLiteral("mnuStop"), QStringLiteral("&Stop"), QStringLiteral("stop"),
                       QStringLiteral("Stop Real Time Graph and Table")),
            &QAction::triggered, this, &TfrmMain::btnStopClick);
    connect(makeAction(QStringLiteral("Clear1"), QStringLiteral("&Clear Real Time Tabular and Graph")),
            &QAction::triggered, this, &TfrmMain::Clear1Click);

    connect(makeAction(QStringLiteral("mnuPanel"), QStringLiteral("&Panel")), &QAction::triggered, this,
            &TfrmMain::mnuPanelClick);
    // View › Panel size: the panel drawn larger for high-resolution screens.
    auto *sizes = new QActionGroup(this);
    for (int percent : PanelPercents) {
        QAction *a = makeAction(QStringLiteral("mnuPanelSize%1").arg(percent), QStringLiteral("%1 %").arg(percent));
        a->setCheckable(true);
        sizes->addAction(a);
        connect(a, &QAction::triggered, this, [this, percent] { mnuPanelSizeClick(percent); });
    }
    connect(makeAction(QStringLiteral("RealTimeGraph1"), QStringLiteral("&Real-Time Graph")), &QAction::triggered,
            this, &TfrmMain::RealTimeGraph1Click);
    connect(makeAction(QStringLiteral("RealTimeTabular1"), QStringLiteral("Real-Time &Table")), &QAction::triggered,
            this, &TfrmMain::RealTimeTabular1Click);
    connect(makeAction(QStringLiteral("LoadData1"), QStringLiteral("&DataLogger")), &QAction::triggered, this,
            &TfrmMain::LoadData1Click);
    connect(makeAction(QStringLiteral("Publishing1"), QStringLiteral("&Publishing...")), &QAction::triggered, this,
            &TfrmMain::Publishing1Click);
    connect(makeAction(QStringLiteral("Scale1"), QStringLiteral("&Humidity Scale")), &QAction::triggered, this,
            [this] { Scale1Click(kHumidityAxis); });
    connect(makeAction(QStringLiteral("TemperatureScale1"), QStringLiteral("&Temperature Scale")),
            &QAction::triggered, this, [this] { Scale1Click(kTemperatureAxis); });
    connect(makeAction(QStringLiteral("btnOutputGraph"), QStringLiteral("Output to graph"),
                       QStringLiteral("outputgraph"), QStringLiteral("Output data to graph")),
            &QAction::triggered, this, &TfrmMain::btnOutputGraphClick);
    connect(makeAction(QStringLiteral("SpeedButton1"), QStringLiteral("Undo Zoom"), QStringLiteral("undozoom"),
                       QStringLiteral("Zoom out the graph")),
            &QAction::triggered, this, &TfrmMain::SpeedButton1Click);

    connect(makeAction(QStringLiteral("Title1"), QStringLiteral("&Tile")), &QAction::triggered, this,
            &TfrmMain::Title1Click);
    connect(makeAction(QStringLiteral("Cascade1"), QStringLiteral("&Cascade")), &QAction::triggered, this,
            &TfrmMain::Cascade1Click);
    connect(makeAction(QStringLiteral("ArrangeIcons1"), QStringLiteral("&ArrangeIcons")), &QAction::triggered, this,
            &TfrmMain::ArrangeIcons1Click);
    QAction *contents = makeAction(QStringLiteral("Content1"), QStringLiteral("&Contents"));
    contents->setShortcut(QKeySequence::HelpContents);
    connect(contents, &QAction::triggered, this, &TfrmMain::Content1Click);
    connect(makeAction(QStringLiteral("btnHelp"), QStringLiteral("Help"), QStringLiteral("help"),
                       QStringLiteral("Help")),
            &QAction::triggered, this, &TfrmMain::Content1Click);
    connect(makeAction(QStringLiteral("AboutVandrel1"), QStringLiteral("&About Vandrel ")), &QAction::triggered,
            this, &TfrmMain::AboutVandrel1Click);

    // Run waits for a meter and Stop for a run.
    for (const char *name : {"mnuRun", "mnuStop"})
        action(QLatin1String(name))->setEnabled(false);
}

void TfrmMain::buildMenus()
{
    QMenuBar *bar = menuBar();
    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    file->addActions({action("Open1"), action("mnuSave")});
    file->addSeparator();
    file->addActions({action("mnuPrint"), action("mnuPrinterSetup")});
    file->addSeparator();
    file->addActions({action("mnuExportGraph"), action("mnuReport")});
    file->addSeparator();
    file->addAction(action("Exit1"));

    QMenu *view = bar->addMenu(QStringLiteral("&View"));
    view->addAction(action("mnuPanel"));
    QMenu *panelSize = view->addMenu(QStringLiteral("Panel &size"));
    panelSize->setObjectName(QStringLiteral("mnuPanelSize"));
    for (int percent : PanelPercents)
        panelSize->addAction(action(QStringLiteral("mnuPanelSize%1").arg(percent)));
    view->addActions({action("RealTimeGraph1"), action("RealTimeTabular1")});

    QMenu *realTime = bar->addMenu(QStringLiteral("&Real Time Data"));
    realTime->addActions({action("mnuRun"), action("mnuStop")});
    realTime->addSeparator();
    realTime->addAction(action("Clear1"));

    bar->addAction(action("LoadData1"));

    QMenu *option = bar->addMenu(QStringLiteral("&Option"));
    Graph1 = option->addMenu(QStringLiteral("&Graph"));
    Graph1->setObjectName(QStringLiteral("Graph1"));
    Graph1->addActions({action("Scale1"), action("TemperatureScale1")});
    option->addAction(action("mnuLimits"));
    option->addAction(action("Publishing1"));

    Window1 = bar->addMenu(QStringLiteral("&Window"));
    Window1->setObjectName(QStringLiteral("Window1"));
    connect(Window1, &QMenu::aboutToShow, this, &TfrmMain::fillWindowMenu);
    fillWindowMenu();

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->addActions({action("Content1"), action("AboutVandrel1")});
}

// The Window menu: the arrangement commands, then one entry per child window.
void TfrmMain::fillWindowMenu()
{
    Window1->clear();
    Window1->addActions({action("Title1"), action("Cascade1"), action("ArrangeIcons1")});
    Window1->addSeparator();
    Window1->addAction(action("mnuStatistics"));
    const auto windows = mdi_->subWindowList();
    if (!windows.isEmpty())
        Window1->addSeparator();
    int n = 0;
    for (QMdiSubWindow *w : windows) {
        QAction *a = Window1->addAction(QStringLiteral("&%1 %2").arg(++n).arg(w->windowTitle()));
        a->setCheckable(true);
        a->setChecked(w == mdi_->activeSubWindow());
        connect(a, &QAction::triggered, w, [this, w] { mdi_->setActiveSubWindow(w); });
    }
}

void TfrmMain::buildToolbar()
{
    QToolBar *bar = addToolBar(QStringLiteral("Toolbar"));
    bar->setObjectName(QStringLiteral("Panel1"));
    bar->setMovable(false);
    bar->setIconSize(QSize(22, 22));
    struct Button {
        const char *action, *name;
    };
    const Button buttons[] = {{"Open1", "btnOpen"},       {"mnuSave", "btnSave"},       {"mnuPrint", "btnPrint"},
                              {nullptr, nullptr},         {"mnuRun", "btnRun"},         {"mnuStop", "btnStop"},
                              {nullptr, nullptr},         {"btnOutputGraph", "btnOutputGraph"},
                              {"SpeedButton1", "SpeedButton1"}, {"btnHelp", "btnHelp"}};
    for (const Button &b : buttons) {
        if (!b.action) {
            bar->addSeparator();
            continue;
        }
        QAction *a = action(QLatin1String(b.action));
        bar->addAction(a);
        QWidget *w = bar->widgetForAction(a);
        w->setObjectName(QLatin1String(b.name));
        if (qstrcmp(b.name, "SpeedButton1") == 0)
            static_cast<QToolButton *>(w)->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    btnRunButton = static_cast<QToolButton *>(bar->widgetForAction(action("mnuRun")));
    btnRunButton->installEventFilter(this);

    bar->addSeparator();
    auto *caption = new QLabel(QStringLiteral("Real Time Sampling Rate"), bar);
    caption->setObjectName(QStringLiteral("StaticText1"));
    caption->setContentsMargins(6, 0, 6, 0);
    bar->addWidget(caption);
    MaskEdit1 = new QLineEdit(bar);
    MaskEdit1->setObjectName(QStringLiteral("MaskEdit1"));
    // Digits the user may leave out: an unfinished text still ends its edit
    // (editingFinished), which puts the rate in force back in its place.
    MaskEdit1->setInputMask(QStringLiteral("  00 : 00  ;_"));
    MaskEdit1->setMaxLength(11);
    MaskEdit1->setToolTip(QStringLiteral("Editor for Real Time Sampling Rate"));
    MaskEdit1->setFixedWidth(MaskEdit1->fontMetrics().horizontalAdvance(QStringLiteral("  00 : 00  ")) + 16);
    connect(MaskEdit1, &QLineEdit::textChanged, this, &TfrmMain::MaskEdit1Change);
    connect(MaskEdit1, &QLineEdit::editingFinished, this, &TfrmMain::MaskEdit1Exit);
    bar->addWidget(MaskEdit1);
    auto *units = new QLabel(QStringLiteral("MM:SS"), bar);
    units->setObjectName(QStringLiteral("Label1"));
    units->setContentsMargins(6, 0, 12, 0);
    bar->addWidget(units);

    ComboBoxDeviceName = new QComboBox(bar);
    ComboBoxDeviceName->setObjectName(QStringLiteral("ComboBoxDeviceName"));
    // Editable, so a device path can be typed; Enter applies it.
    ComboBoxDeviceName->setEditable(true);
    ComboBoxDeviceName->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxDeviceName->setMinimumContentsLength(14);
    ComboBoxDeviceName->setToolTip(QStringLiteral("Serial port of the meter (pick one or type a device path)"));
    ComboBoxDeviceName->setEditText(QStringLiteral("ComPort"));
    connect(ComboBoxDeviceName, &QComboBox::activated, this,
            [this](int index) { link_->choosePort(index, ComboBoxDeviceName->itemText(index)); });
    connect(ComboBoxDeviceName->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        const QString text = ComboBoxDeviceName->currentText().trimmed();
        if (!text.isEmpty())
            link_->choosePort(ComboBoxDeviceName->findText(text), text);
    });
    bar->addWidget(ComboBoxDeviceName);
}

void TfrmMain::buildStatusBar()
{
    for (int i = 0; i < 2; ++i) {
        statusPanels_[i] = new QLabel(this);
        statusPanels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        statusPanels_[i]->setMinimumWidth(50);
        statusBar()->addWidget(statusPanels_[i]);
    }
    protectionPanel_ = new QLabel(this);
    protectionPanel_->setObjectName(QStringLiteral("StatusProtection"));
    statusBar()->addWidget(protectionPanel_, 1);
    statusBar()->addPermanentWidget(insight_->alarmLabel());
}

} // namespace vandrel
