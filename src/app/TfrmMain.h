// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: the MDI frame with its menus, toolbar and status bar. It
// owns the serial port, the reading and the link, and hands them to its children.
#pragma once

#include "app/RecoveryFiles.h"
#include "app/Settings.h"
#include "datalogger/DataLoggerCommand.h"
#include "datalogger/LoadData.h"
#include "meter/MeterIdentity.h"
#include "meter/MeterLink.h"
#include "meter/MeterReading.h"
#include "meter/ModelTraits.h"
#include "panel/PanelController.h"
#include "realtime/Printing.h"
#include "realtime/RealTimeController.h"
#include "app/DesktopPublishing.h"
#include "realtime/TableFileDialogs.h"
#include "platform/ComPort.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QSettings;
class QToolButton;

namespace vandrel {

class InsightActions;

struct MainOptions {
    // Devices put first in the port list (--port, --demo), in this order.
    QStringList preferredPorts;
    // Whether the system's serial devices join the list (tests switch it off).
    bool systemPorts = true;
    // Where settings live; the user's configuration file when null.
    QSettings *settings = nullptr;
    // Where unsaved runs and downloads are kept through a crash; nothing is
    // kept when empty.
    QString recoveryFolder;
    // Asks a Yes/No question at start-up; a message box when empty.
    std::function<bool(const QString &question)> askRestore;
    // Tells the user something at start-up; a message box when empty.
    std::function<void(const QString &message)> tell;
};

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(const MainOptions &options = {}, QWidget *parent = nullptr);
    ~TfrmMain() override;

    MeterLink &link() { return *link_; }
    PanelController &panelController() { return *panelController_; }
    RealTimeController &realTime() { return *realTime_; }
    const MeterReading &reading() const { return reading_; }
    const MeterIdentity &identity() const { return identity_; }
    int storedModel() const { return storedModel_; }
    int SampleRate() const { return realTime_->run().SampleRate; }
    // Bytes of one logged sample of the meter the windows are laid out for.
    int SampleSize() const { return modelTraits(identity_.MeterModel).sampleSize; }
    QString statusText() const;
    bool startupDone() const { return startupDone_; }
    QMdiArea *mdiArea() const { return mdi_; }

    // Model-dependent set-up of the child windows and menus.
    void ApplyModel();

    QAction *action(const QString &objectName) const;
    TfrmDataLogger *dataLoggerWindow() const { return dataLogger_; }
    DataLoggerState &dataLoggerState() { return logger_; }
    const RecoveryFiles &recoveryFiles() const { return *recovery_; }
    // Limits, statistics, reports and the live alarm.
    InsightActions &insight() { return *insight_; }

    // What Save and Open ask the user through (the real dialogs unless replaced).
    using TableFileUiFactory = std::function<std::unique_ptr<TableFileUi>()>;
    void setTableFileUi(TableFileUiFactory factory) { tableFileUi_ = std::move(factory); }
    // What printing asks the user through (the real dialogs unless replaced).
    void setPrintUi(std::unique_ptr<PrintUi> ui) { print_ = std::make_unique<PrintService>(std::move(ui)); }
    // What carries saved tables, kept downloads and the run journal to the disk.
    void setDiskCalls(const DiskCalls &calls);
    // The status line's word on whether a run is protected against a crash.
    QString protectionStatus() const;

signals:
    // Start-up (search, child windows, timers) has finished.
    void startupFinished();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void buildActions();
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    void connectLink();
    void syncPortBox();
    void MaskEdit1Change();
    void MaskEdit1Exit();
    void Content1Click();
    void AboutVandrel1Click();
    void ArrangeIcons1Click();
    void Cascade1Click();
    void Title1Click();
    // View › Panel size: the panel at `percent`, the windows beside it making room.
    void mnuPanelSizeClick(int percent);
    void fillWindowMenu();
    void mnuPanelClick();
    void Publishing1Click();
    RunFacts runFacts() const;
    void btnRunClick();
    void btnStopClick();
    void Clear1Click();
    void RealTimeGraph1Click();
    void RealTimeTabular1Click();
    void btnOutputGraphClick();
    void LoadData1Click();
    void Scale1Click(int axis);
    void SpeedButton1Click();
    void ExportGraphClick();
    void childActivated(QMdiSubWindow *window);
    QWidget *activeChild() const;
    MeterChart *activeChart() const;
    void setRunEnabled(bool enabled);
    void setSearchRunning(bool running);
    void showRunControls();
    void layoutStartupWindows();
    bool SaveTable();
    void OpenTable();
    void offerRecovery();
    void offerLeftRun(const QString &path);
    void offerLeftMemory(const QString &path);
    bool askRestore(const QString &question);
    void tell(const QString &message);
    void adoptDataLoggerWindow();
    bool saveDataLoggerData(TfrmDataLogger &window);
    void forgetKeptMemory();
    QAction *makeAction(const QString &name, const QString &text, const QString &icon = {},
                        const QString &hint = {});

    MainOptions options_;
    std::unique_ptr<QSettings> ownSettings_;
    QSettings *settings_ = nullptr;
    AppSettings stored_;
    std::unique_ptr<RecoveryFiles> recovery_;
    TableFileUiFactory tableFileUi_;
    // Where the file dialogs start: the folder of the file chosen last.
    QString lastFolder_;
    DiskCalls diskCalls_ = systemDiskCalls();

    TComPort Comm1;
    MeterReading reading_;
    MeterIdentity identity_;
    std::unique_ptr<MeterLink> link_;
    std::unique_ptr<PanelController> panelController_;
    std::unique_ptr<RealTimeController> realTime_;
    // The run's rows to an MQTT broker (Option › Publishing…); none without
    // a folder of the program's own to keep them in.
    std::unique_ptr<DesktopPublisher> publisher_;
    std::unique_ptr<PrintService> print_;
    std::unique_ptr<InsightActions> insight_;
    DataLoggerState logger_;
    QPointer<TfrmDataLogger> dataLogger_;

    int storedModel_ = kUnidentifiedModel;
    bool shownOnce_ = false;
    bool startupDone_ = false;
    bool closeConfirmed_ = false;
    // While the start-up search runs, the commands that open windows or use
    // the port stay disabled; Run's own state is kept to be shown afterwards.
    bool searching_ = false;
    bool runWanted_ = false;

    QMdiArea *mdi_ = nullptr;
    QMenu *Window1 = nullptr;
    QMenu *Graph1 = nullptr;
    QLineEdit *MaskEdit1 = nullptr;
    QComboBox *ComboBoxDeviceName = nullptr;
    QToolButton *btnRunButton = nullptr;
    QLabel *statusPanels_[2] = {nullptr, nullptr};
    QLabel *protectionPanel_ = nullptr;
};

} // namespace vandrel
