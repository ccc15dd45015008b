// SPDX-License-Identifier: GPL-3.0-or-later
// The data-logger child window: the downloaded sets, the chosen set as a table,
// a graph and a min/max block, all tied together by the graph's marker.
#pragma once

#include "datalogger/DataLoggerFill.h"
#include "platform/MdiChild.h"

#include <QMessageBox>

#include <array>
#include <functional>
#include <memory>

class QLabel;
class QSplitter;

namespace vandrel {

class MeterChart;
class StringGrid;
struct DataLoggerState;

// The progress window of decoding one set; closes when destroyed.
class DecodeProgress {
public:
    virtual ~DecodeProgress() = default;
    virtual void position(int sample) = 0;
};
using DecodeProgressFactory = std::function<std::unique_ptr<DecodeProgress>(int samples)>;

inline const QString kDecodeCaption = QStringLiteral("data decoding progress");
inline const QString kDecodeText = QStringLiteral("Now is decoding data,please wait !");
inline const QString kSaveLoggerQuestion = QStringLiteral("Save DataLogger Data ?");
inline const QString kDataLoggerCaption = QStringLiteral("DataLogger");

// The small dialog as decoding progress: caption, text and bar, shown at once
// under an hourglass cursor.
std::unique_ptr<DecodeProgress> openDecodeProgress(QWidget *parent, int samples);

class TfrmDataLogger : public MdiChild {
    Q_OBJECT
public:
    // Headings and graph follow `model`; the sets come from `state`, which
    // must outlive the window.
    TfrmDataLogger(DataLoggerState &state, const LoggerModel &model, QWidget *parent = nullptr);

    StringGrid *Grid1 = nullptr; // the chosen set, one row per sample
    StringGrid *Grid2 = nullptr; // the sets
    MeterChart *Chart1 = nullptr;
    QLabel *StaticText1 = nullptr, *StaticText3 = nullptr, *StaticText4 = nullptr;
    // Value panels and captions by tag - 1 (RH max, RH min, T1 max, ... DP min).
    std::array<QLabel *, 8> valuePanels{};
    std::array<QLabel *, 8> captions{};
    std::array<QLabel *, 8> unitPictures{};

    const LoggerModel &model() const { return model_; }
    // Headings and graph for another model (a different meter was downloaded).
    void applyModel(const LoggerModel &model);

    // The end of a successful download: the list of sets, the first one shown.
    void showDataSets();
    void DecodeDataSet(int index);
    void PlaceMarker(int sample);
    void HighlightPane(int pane);
    // Selects table row `row`, scrolls it into view and moves the marker there.
    void selectTableRow(int row);
    int ExtremeRow(int tag) const;
    int shownSet() const { return shownSet_; }

    void Grid2Click(int row);
    void Grid1Click(int row);
    void Chart1PointClick(int pointIndex);
    void Chart1Click();
    void lblRHMAXClick(int tag);
    // Whether the window may close: asks "Save DataLogger Data ?" while its
    // data is unsaved; Cancel, or a save that did not complete, says no.
    bool FormCloseQuery();

    // Replaceable for tests: the decoding progress window, the save question
    // and the save run by its Yes (true when the table was saved).
    DecodeProgressFactory decodeProgress;
    std::function<QMessageBox::StandardButton()> askSave;
    std::function<bool()> saveCommand;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildLeftPane();
    QWidget *buildRightPane();
    QWidget *buildExtremesBlock();
    void showExtremes(const DataSet &set, const DecodedSet &decoded);
    void applySizesForScreen();

    DataLoggerState &state_;
    LoggerModel model_;
    std::array<int, 8> extremeRows_{1, 1, 1, 1, 1, 1, 1, 1};
    int shownSet_ = -1;
    bool decoding_ = false;
    QSplitter *leftSplit_ = nullptr;
    QSplitter *rightSplit_ = nullptr;
};

} // namespace vandrel
