// SPDX-License-Identifier: GPL-3.0-or-later
// The shared small dialog: its controls as created, a layout that holds in
// every use (inside the dialog, nothing overlapping, Tab in reading order),
// button results shown modally and as a progress window, and no closing
// during a download.
#include "realtime/TfrmScope.h"

#include "datalogger/DataLoggerCommand.h"
#include "datalogger/LoadData.h"
#include "realtime/GraphScale.h"
#include "realtime/TableFileDialogs.h"

#include <QApplication>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using namespace vandrel;

TEST(TfrmScope, EveryControlStartsHiddenWithItsText)
{
    TfrmScope s;
    EXPECT_EQ(s.windowTitle(), "Print Range");
    EXPECT_TRUE(s.windowFlags() & Qt::WindowStaysOnTopHint);
    const std::pair<QWidget *, QString> controls[] = {
        {s.GroupBox1, {}},        {s.radAll, "&All"},          {s.radNo, "&Select"},
        {s.Label1, "&from"},      {s.edtSelFrom, ""},          {s.Label2, "&to"},
        {s.edtSelTo, ""},         {s.BitBtn1, "OK"},           {s.BitBtn2, "Cancel"},
        {s.Progress1, {}},        {s.SText1, "bytes received"}, {s.SText2, "total bytes"},
        {s.lblBytesReceived, ""}, {s.lblTotalBytes, ""},
    };
    for (const auto &[w, text] : controls) {
        const std::string name = w->objectName().toStdString();
        EXPECT_TRUE(w->isHidden()) << name;
        if (auto *b = qobject_cast<QAbstractButton *>(w)) {
            EXPECT_EQ(b->text(), text) << name;
        } else if (auto *l = qobject_cast<QLabel *>(w)) {
            EXPECT_EQ(l->text(), text) << name;
        } else if (auto *e = qobject_cast<QLineEdit *>(w)) {
            EXPECT_EQ(e->text(), text) << name;
        }
    }
    EXPECT_EQ(s.Label1->buddy(), s.edtSelFrom);
    EXPECT_EQ(s.Label2->buddy(), s.edtSelTo);
    EXPECT_TRUE(s.radAll->isChecked());
    EXPECT_EQ(s.modalResult(), TfrmScope::mrNone);
}

namespace {

// Each way the commands use the dialog, with the widest texts they put in it.
struct ScopeUse {
    const char *name;
    // Prepares and shows the dialog; `keep` holds whatever must outlive it.
    std::function<TfrmScope *(std::shared_ptr<void> &keep)> open;
    // The controls a user reaches with Tab, in the order they are reached.
    std::function<std::vector<QWidget *>(TfrmScope &)> tabOrder;
};

TfrmScope *shownScope()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *s = qobject_cast<TfrmScope *>(w); s && s->isVisible())
            return s;
    return nullptr;
}

// With "All" chosen the row boxes are disabled, so Tab passes them by.
std::vector<QWidget *> rangeBoxThenButtons(TfrmScope &s)
{
    return {s.radAll, s.BitBtn1, s.BitBtn2};
}

std::vector<QWidget *> boxesThenButtons(TfrmScope &s)
{
    return {s.edtSelFrom, s.edtSelTo, s.BitBtn1, s.BitBtn2};
}

std::vector<QWidget *> cancelOnly(TfrmScope &s)
{
    return {s.BitBtn2};
}

std::vector<QWidget *> nothingToTab(TfrmScope &)
{
    return {};
}

const ScopeUse kUses[] = {
    {"RangeDialog",
     [](std::shared_ptr<void> &keep) {
         auto s = std::make_shared<TfrmScope>();
         prepareRangeDialog(*s, 1000000);
         s->show();
         keep = s;
         return s.get();
     },
     rangeBoxThenButtons},
    {"ScaleDialog",
     [](std::shared_ptr<void> &keep) {
         auto s = std::make_shared<TfrmScope>();
         prepareScaleDialog(*s, {"-500", "3000", "TEMPERATURE (\u00b0F)"});
         s->show();
         keep = s;
         return s.get();
     },
     boxesThenButtons},
    {"DownloadProgress",
     [](std::shared_ptr<void> &keep) {
         auto state = std::make_shared<DataLoggerState>();
         auto view = std::make_shared<ScopeDownloadView>(nullptr, *state);
         view->progressOpened(98304, "98304");
         view->progressReceived(98304);
         keep = std::make_shared<std::pair<std::shared_ptr<DataLoggerState>, std::shared_ptr<ScopeDownloadView>>>(
             state, view);
         return view->scope();
     },
     nothingToTab},
    {"SavingProgress",
     [](std::shared_ptr<void> &keep) {
         TableFileDialogs dialogs(nullptr);
         std::shared_ptr<TableFileProgress> progress = dialogs.showProgress(TableFileUi::Work::Saving, 1000000);
         progress->report(999999);
         keep = progress;
         return shownScope();
     },
     cancelOnly},
    {"OpeningProgress",
     [](std::shared_ptr<void> &keep) {
         TableFileDialogs dialogs(nullptr);
         std::shared_ptr<TableFileProgress> progress = dialogs.showProgress(TableFileUi::Work::Opening, 0);
         progress->report(1000000);
         keep = progress;
         return shownScope();
     },
     cancelOnly},
};

std::vector<QWidget *> shownControls(TfrmScope &s)
{
    std::vector<QWidget *> shown;
    for (QWidget *w : s.findChildren<QWidget *>())
        if (!w->objectName().isEmpty() && w->isVisibleTo(&s))
            shown.push_back(w);
    return shown;
}

QRect inDialog(const QWidget &w, TfrmScope &s)
{
    return QRect(w.mapTo(&s, QPoint(0, 0)), w.size());
}

// "name at x,y wxh" in the dialog's coordinates, for failure messages.
std::string where(const QWidget &w, TfrmScope &s)
{
    const QRect r = inDialog(w, s);
    return QStringLiteral("%1 at %2,%3 %4x%5")
        .arg(w.objectName())
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .toStdString();
}

// Names the use in a failure message instead of dumping its bytes.
void PrintTo(const ScopeUse &use, std::ostream *os)
{
    *os << use.name;
}

} // namespace

class ScopeLayout : public ::testing::TestWithParam<ScopeUse> {};

TEST_P(ScopeLayout, EveryShownControlLiesInsideTheDialog)
{
    std::shared_ptr<void> keep;
    TfrmScope *s = GetParam().open(keep);
    ASSERT_NE(s, nullptr);
    const std::vector<QWidget *> shown = shownControls(*s);
    ASSERT_FALSE(shown.empty());
    for (QWidget *w : shown) {
        // Inside its own box too, so nothing is cut off by the box's edge.
        EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry())) << where(*w, *s);
        EXPECT_TRUE(s->rect().contains(inDialog(*w, *s))) << where(*w, *s);
    }
}

TEST_P(ScopeLayout, NoTwoShownControlsOverlap)
{
    std::shared_ptr<void> keep;
    TfrmScope *s = GetParam().open(keep);
    ASSERT_NE(s, nullptr);
    const std::vector<QWidget *> shown = shownControls(*s);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        for (std::size_t j = i + 1; j < shown.size(); ++j) {
            QWidget *a = shown[i];
            QWidget *b = shown[j];
            if (a->isAncestorOf(b) || b->isAncestorOf(a))
                continue;
            EXPECT_FALSE(inDialog(*a, *s).intersects(inDialog(*b, *s)))
                << where(*a, *s) << " and " << where(*b, *s);
        }
    }
}

TEST_P(ScopeLayout, TabVisitsTheControlsInTheOrderAUserReadsThem)
{
    std::shared_ptr<void> keep;
    TfrmScope *s = GetParam().open(keep);
    ASSERT_NE(s, nullptr);
    const std::vector<QWidget *> expected = GetParam().tabOrder(*s);
    s->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(s));
    if (expected.empty()) {
        for (QWidget *w : shownControls(*s))
            EXPECT_FALSE(w->focusPolicy() & Qt::TabFocus) << w->objectName().toStdString();
        return;
    }
    expected.front()->setFocus(Qt::TabFocusReason);
    std::vector<QString> visited;
    for (std::size_t i = 0; i <= expected.size(); ++i) {
        QWidget *focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        visited.push_back(focus->objectName());
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    std::vector<QString> names;
    for (QWidget *w : expected)
        names.push_back(w->objectName());
    names.push_back(expected.front()->objectName()); // and round again
    EXPECT_EQ(visited, names);
}

INSTANTIATE_TEST_SUITE_P(Uses, ScopeLayout, ::testing::ValuesIn(kUses),
                         [](const ::testing::TestParamInfo<ScopeUse> &info) { return info.param.name; });

TEST(TfrmScope, ButtonsEndAModalDialogWithTheirResult)
{
    for (const auto &[pick, result] : {std::pair{1, int(TfrmScope::mrOk)}, std::pair{2, int(TfrmScope::mrCancel)}}) {
        TfrmScope s;
        s.BitBtn1->show();
        s.BitBtn2->show();
        QTimer::singleShot(0, &s, [&s, pick = pick] { (pick == 1 ? s.BitBtn1 : s.BitBtn2)->click(); });
        EXPECT_EQ(s.exec(), result);
        EXPECT_FALSE(s.isVisible());
    }
}

TEST(TfrmScope, CancelInAProgressWindowOnlySetsTheResult)
{
    TfrmScope s;
    s.BitBtn2->show();
    s.show();
    s.setModalResult(TfrmScope::mrNone);
    s.BitBtn2->click();
    EXPECT_EQ(s.modalResult(), TfrmScope::mrCancel);
    EXPECT_TRUE(s.isVisible());
    // The caller closes it when its loop has stopped.
    EXPECT_TRUE(s.close());
    EXPECT_FALSE(s.isVisible());
}

TEST(TfrmScope, RefusesToCloseWhileADownloadIsInProgress)
{
    bool downloading = true;
    TfrmScope s(nullptr, [&downloading] { return downloading; });
    s.show();
    EXPECT_FALSE(s.close());
    EXPECT_TRUE(s.isVisible());
    QTest::keyClick(&s, Qt::Key_Escape);
    EXPECT_TRUE(s.isVisible());
    downloading = false;
    EXPECT_TRUE(s.close());
    EXPECT_FALSE(s.isVisible());
}

TEST(TfrmScope, EscapeCancelsAModalDialog)
{
    TfrmScope s;
    QTimer::singleShot(0, &s, [&s] { QTest::keyClick(&s, Qt::Key_Escape); });
    EXPECT_EQ(s.exec(), TfrmScope::mrCancel);
}

TEST(RangeDialog, RowBoxesCanBeEditedOnlyWhileSelectIsChosen)
{
    TfrmScope s;
    prepareRangeDialog(s, 250);
    s.show();
    for (bool select : {false, true, false}) {
        (select ? s.radNo : s.radAll)->click();
        for (QWidget *w : {static_cast<QWidget *>(s.edtSelFrom), static_cast<QWidget *>(s.edtSelTo),
                           static_cast<QWidget *>(s.Label1), static_cast<QWidget *>(s.Label2)})
            EXPECT_EQ(w->isEnabled(), select) << w->objectName().toStdString() << " select " << select;
    }
}
