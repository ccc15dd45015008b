// SPDX-License-Identifier: GPL-3.0-or-later
// The data-logger window's controls and handlers; the filling itself lives in
// DataLoggerFill so that it can be checked without a window.
#include "datalogger/TfrmDataLogger.h"
#include "platform/MessageBoxes.h"

#include "datalogger/DataLoggerCommand.h"
#include "datalogger/LoadData.h"
#include "meter/ModelTraits.h"
#include "platform/MeterChart.h"
#include "platform/StringGrid.h"
#include "realtime/GraphSetup.h"
#include "realtime/TableFileDialogs.h"
#include "realtime/TfrmScope.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

namespace vandrel {

namespace {

constexpr BgrColor kLime = 0x00FF00;

struct PanelLook {
    const char *name;
    const char *caption;
    const char *colour;
};
// The dew point is the graph's light blue: pure blue hardly shows on black.
const PanelLook kPanels[8] = {
    {"lblRHMAX", "RH MAX", "#ffff00"}, {"lblRHMIN", "RH MIN", "#ffff00"}, {"lblT1MAX", "T1 MAX", "#ff00ff"},
    {"lblT1MIN", "T1 MIN", "#ff00ff"}, {"lblT2MAX", "T2 MAX", "#00ffff"}, {"lblT2MIN", "T2 MIN", "#00ffff"},
    {"lblDPMAX", "DP MAX", "#40a0ff"}, {"lblDPMIN", "DP MIN", "#40a0ff"},
};
const char *const kUnitPictureNames[8] = {"", "", "imgT1Max", "imgT1Min", "imgT2Max", "imgT2Min", "imgDPMax", "imgDPMin"};

QLabel *heading(const QString &name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setAlignment(Qt::AlignCenter);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAutoFillBackground(true);
    QFont f = l->font();
    f.setPixelSize(12);
    l->setFont(f);
    return l;
}

void paintHeading(QLabel *l, bool highlighted)
{
    QPalette p = l->palette();
    const QPalette app = QApplication::palette();
    p.setColor(QPalette::Window, highlighted ? QColor(Qt::blue) : app.color(QPalette::Button));
    p.setColor(QPalette::WindowText, highlighted ? QColor(Qt::white) : app.color(QPalette::WindowText));
    l->setPalette(p);
}

class ScopeDecodeProgress : public DecodeProgress {
public:
    ScopeDecodeProgress(QWidget *parent, int samples)
        : scope_(new TfrmScope(parent, [] { return true; }))
    {
        scope_->setWindowTitle(kDecodeCaption);
        scope_->SText1->setText(kDecodeText);
        scope_->SText1->adjustSize();
        scope_->SText1->show();
        scope_->Progress1->setRange(0, samples);
        scope_->Progress1->setValue(0);
        scope_->Progress1->show();
        scope_->show();
        QCoreApplication::processEvents();
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~ScopeDecodeProgress() override
    {
        QApplication::restoreOverrideCursor();
        delete scope_.data();
    }
    void position(int sample) override { scope_->Progress1->setValue(sample); }

private:
    QPointer<TfrmScope> scope_;
};

} // namespace

std::unique_ptr<DecodeProgress> openDecodeProgress(QWidget *parent, int samples)
{
    return std::make_unique<ScopeDecodeProgress>(parent, samples);
}

TfrmDataLogger::TfrmDataLogger(DataLoggerState &state, const LoggerModel &model, QWidget *parent)
    : MdiChild(parent), state_(state), model_(model)
{
    setObjectName(QStringLiteral("frmDataLogger"));
    setWindowTitle(kDataLoggerCaption);
    resize(738, 570);
    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(buildLeftPane());
    split->addWidget(buildRightPane());
    split->setSizes({233, 738 - 233});
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);
    HighlightPane(1);
    applyModel(model);
    applySizesForScreen();

    decodeProgress = [this](int samples) { return openDecodeProgress(this, samples); };
    askSave = [this] {
        return askQuestionBox(this, kSaveLoggerQuestion, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    };
    saveCommand = [this] {
        TableFileDialogs dialogs(this);
        return saveDataLoggerTable(*this, state_, dialogs);
    };
    connect(Grid2, &StringGrid::cellClicked, this, [this](int, int row) { Grid2Click(row); });
    connect(Grid1, &StringGrid::cellClicked, this, [this](int, int row) { Grid1Click(row); });
    connect(Chart1, &MeterChart::pointClicked, this, [this](bool, int, int point) { Chart1PointClick(point); });
    connect(Chart1, &MeterChart::clicked, this, &TfrmDataLogger::Chart1Click);
}

QWidget *TfrmDataLogger::buildLeftPane()
{
    leftSplit_ = new QSplitter(Qt::Vertical);
    auto *top = new QWidget;
    auto *v = new QVBoxLayout(top);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    StaticText1 = heading(QStringLiteral("StaticText1"), QStringLiteral("Data Sets"), top);
    Grid2 = new StringGrid(top);
    Grid2->setObjectName(QStringLiteral("Grid2"));
    Grid2->setRowSelect(true);
    Grid2->setColSizing(true);
    Grid2->setFixedColor(Qt::white);
    setupSetList(*Grid2);
    v->addWidget(StaticText1);
    v->addWidget(Grid2);
    leftSplit_->addWidget(top);
    leftSplit_->addWidget(buildExtremesBlock());
    StaticText1->installEventFilter(this);
    return leftSplit_;
}

QWidget *TfrmDataLogger::buildRightPane()
{
    rightSplit_ = new QSplitter(Qt::Vertical);
    auto *graph = new QWidget;
    auto *gv = new QVBoxLayout(graph);
    gv->setContentsMargins(0, 0, 0, 0);
    gv->setSpacing(0);
    StaticText3 = heading(QStringLiteral("StaticText3"), QStringLiteral("Graph"), graph);
    Chart1 = new MeterChart(graph);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    gv->addWidget(StaticText3);
    gv->addWidget(Chart1, 1);
    auto *table = new QWidget;
    auto *tv = new QVBoxLayout(table);
    tv->setContentsMargins(0, 0, 0, 0);
    tv->setSpacing(0);
    StaticText4 = heading(QStringLiteral("StaticText4"), QStringLiteral("Tabular"), table);
    Grid1 = new StringGrid(table);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setRowSelect(true);
    Grid1->setColSizing(true);
    Grid1->setToolTip(QStringLiteral("click to position this data on graph"));
    Grid1->viewport()->setCursor(Qt::PointingHandCursor);
    tv->addWidget(StaticText4);
    tv->addWidget(Grid1, 1);
    rightSplit_->addWidget(graph);
    rightSplit_->addWidget(table);
    StaticText3->installEventFilter(this);
    StaticText4->installEventFilter(this);
    return rightSplit_;
}

QWidget *TfrmDataLogger::buildExtremesBlock()
{
    auto *panel4 = new QWidget;
    panel4->setObjectName(QStringLiteral("Panel4"));
    auto *grid = new QGridLayout(panel4);
    for (int i = 0; i < 8; ++i) {
        const PanelLook &look = kPanels[i];
        const QString style = QStringLiteral("color: %1; font-weight: bold; font-size: 12px;").arg(look.colour);
        // The captions stand on the values' black strip: the curve colours on
        // the window's light grey would hardly read.
        auto *caption = new QLabel(QString::fromLatin1(look.caption), panel4);
        caption->setStyleSheet(style + QStringLiteral(" background: black; padding: 0 4px;"));
        auto *value = new QLabel(panel4);
        value->setObjectName(QString::fromLatin1(look.name));
        value->setProperty("tag", i + 1);
        value->setMinimumWidth(168);
        value->setStyleSheet(style + QStringLiteral(" background: black;"));
        value->installEventFilter(this);
        auto *unit = new QLabel(i < 2 ? QStringLiteral("%RH") : QStringLiteral("\u00b0C"), value);
        unit->setObjectName(QString::fromLatin1(kUnitPictureNames[i]));
        auto *inner = new QHBoxLayout(value);
        inner->setContentsMargins(0, 0, 2, 0);
        inner->addStretch(1);
        inner->addWidget(unit);
        grid->addWidget(caption, i, 0);
        grid->addWidget(value, i, 1);
        captions[i] = caption;
        valuePanels[i] = value;
        unitPictures[i] = unit;
    }
    return panel4;
}

void TfrmDataLogger::applyModel(const LoggerModel &model)
{
    model_ = model;
    setupSampleGrid(*Grid1, model);
    SetupMeterGraph(*Chart1, 4, 0.0, 0.0, model.MeterModel, model.layout().dewPoint ? kDewPointSuffix : '\0');
    // A logging meter of one temperature names it plainly and has no T2 panels.
    const ModelTraits &traits = modelTraits(model.MeterModel);
    const bool oneTemperature = traits.canLog && !traits.logsT2();
    captions[T1Max - 1]->setText(oneTemperature ? QStringLiteral("T MAX") : QStringLiteral("T1 MAX"));
    captions[T1Min - 1]->setText(oneTemperature ? QStringLiteral("T MIN") : QStringLiteral("T1 MIN"));
    for (int tag : {T2Max, T2Min}) {
        captions[tag - 1]->setVisible(!oneTemperature);
        valuePanels[tag - 1]->setVisible(!oneTemperature);
    }
    // Nor are there dew-point panels for a meter that computes none.
    for (int tag : {DpMax, DpMin}) {
        captions[tag - 1]->setVisible(model.layout().dewPoint);
        valuePanels[tag - 1]->setVisible(model.layout().dewPoint);
    }
}

void TfrmDataLogger::applySizesForScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const LoggerPaneHeights heights = loggerPaneHeights(screen ? screen->geometry().height() : 768);
    // The set list and the graph keep their heights; whatever the window has
    // beyond them goes to the min/max block and to the sample table, never to
    // the graph at the cost of the table's rows.
    for (QSplitter *split : {leftSplit_, rightSplit_}) {
        split->setStretchFactor(0, 0);
        split->setStretchFactor(1, 1);
    }
    leftSplit_->setSizes({heights.setList, 100});
    rightSplit_->setSizes({heights.graph, 100});
}

void TfrmDataLogger::showDataSets()
{
    fillSetList(*Grid2, state_.Table);
    Grid2->setSelection(GridRect{0, 1, 4, 1});
    DecodeDataSet(0);
}

void TfrmDataLogger::Grid2Click(int row)
{
    if (row - 1 >= 0 && row - 1 < state_.Table.setCount())
        DecodeDataSet(row - 1);
}

} // namespace vandrel

namespace vandrel {

void TfrmDataLogger::DecodeDataSet(int index)
{
    if (decoding_ || index < 0 || index >= state_.Table.setCount())
        return;
    // The progress window lets pending clicks through once; a second set
    // chosen then must not start decoding inside this one.
    decoding_ = true;
    const DataSet set = state_.Table.Sets.at(index);
    {
        std::unique_ptr<DecodeProgress> progress = decodeProgress ? decodeProgress(set.Count) : nullptr;
        Grid1->hide();
        Grid1->setRowCount(2);
        const DecodedSet decoded = decodeSetSamples(state_.Table, index, model_.MeterModel, model_.ModelSuffix);
        plotSamples(*Chart1, set, decoded, model_);
        extremeRows_ = extremeRows(decoded, model_);
        // The bar moves in hundredths: every visible step is a repaint, which
        // costs more than the rows it stands for.
        const int step = std::max(1, set.Count / 100);
        fillSampleRows(*Grid1, decoded, set.Unit, model_, [&](int i) {
            if (progress && i % step == 0)
                progress->position(i);
        });
        progress.reset();
        Grid1->show();
        Chart1->ShowMarker(true);
        showExtremes(set, decoded);
        const AxisRange axis = temperatureAxisFor(decoded);
        Chart1->SetWorkingAxis(1);
        Chart1->SetYMax(axis.upper);
        Chart1->SetYMin(axis.lower);
    }
    shownSet_ = index;
    decoding_ = false;
    PlaceMarker(0);
    Chart1->Refresh();
    Chart1->UndoZoom();
}

void TfrmDataLogger::showExtremes(const DataSet &set, const DecodedSet &decoded)
{
    const QString unit = set.Unit == 'F' ? QStringLiteral("\u00b0F") : QStringLiteral("\u00b0C");
    for (int tag = T1Max; tag <= DpMin; ++tag)
        unitPictures[tag - 1]->setText(unit);
    for (int tag = RhMax; tag <= DpMin; ++tag) {
        if (const std::optional<QString> text = extremePanelText(decoded, model_, tag))
            valuePanels[tag - 1]->setText(*text);
    }
}

void TfrmDataLogger::PlaceMarker(int sample)
{
    Chart1->SetMarkerTextSize(100);
    try {
        Chart1->SetMarker(Chart1->GetX(0, sample), markerText(*Grid1, sample + 1, model_), kLime);
    } catch (const std::out_of_range &) {
        return; // no such point: an empty set or a click below the last row
    }
    Chart1->Refresh();
}

void TfrmDataLogger::HighlightPane(int pane)
{
    paintHeading(StaticText1, pane == 1);
    paintHeading(StaticText3, pane == 3);
    paintHeading(StaticText4, pane == 4);
}

void TfrmDataLogger::selectTableRow(int row)
{
    Grid1->setSelection(GridRect{1, row, Grid1->ColCount() - 1, row});
    const int visible = Grid1->VisibleRowCount();
    if (row > visible) {
        Grid1->setTopRow(row - visible / 2);
        Grid1->viewport()->update();
    } else {
        Grid1->setTopRow(1);
    }
    PlaceMarker(row - 1);
}

int TfrmDataLogger::ExtremeRow(int tag) const
{
    return tag >= 1 && tag <= 8 ? extremeRows_[tag - 1] : 1;
}

void TfrmDataLogger::Grid1Click(int row)
{
    HighlightPane(4);
    PlaceMarker(row - 1);
}

void TfrmDataLogger::Chart1PointClick(int pointIndex) { selectTableRow(pointIndex + 1); }

void TfrmDataLogger::Chart1Click() { HighlightPane(3); }

void TfrmDataLogger::lblRHMAXClick(int tag) { selectTableRow(ExtremeRow(tag)); }

bool TfrmDataLogger::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == StaticText1)
            HighlightPane(1);
        else if (watched == StaticText3)
            HighlightPane(3);
        else if (watched == StaticText4)
            HighlightPane(4);
        else if (const QVariant tag = watched->property("tag"); tag.isValid())
            lblRHMAXClick(tag.toInt());
    }
    return MdiChild::eventFilter(watched, event);
}

bool TfrmDataLogger::FormCloseQuery()
{
    // Mid-decode or mid-download the window's data is still being written.
    if (decoding_ || state_.DownloadInProgress)
        return false;
    if (!state_.LoggerDataUnsaved)
        return true;
    switch (askSave ? askSave() : QMessageBox::No) {
    case QMessageBox::Yes:
        // A save that was cancelled or failed keeps the window, so the only
        // copy of the download is not thrown away.
        return saveCommand && saveCommand();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void TfrmDataLogger::closeEvent(QCloseEvent *event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace vandrel
