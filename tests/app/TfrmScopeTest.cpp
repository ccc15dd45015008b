// SPDX-License-Identifier: GPL-3.0-or-later
// The shared small dialog: its controls as created, button results shown
// modally and as a progress window, and no closing during a download.
#include "realtime/TfrmScope.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vandrel;

TEST(TfrmScope, EveryControlStartsHiddenWhereItBelongs)
{
    TfrmScope s;
    EXPECT_EQ(s.windowTitle(), "Print Range");
    EXPECT_EQ(s.size(), QSize(337, 134));
    EXPECT_TRUE(s.windowFlags() & Qt::WindowStaysOnTopHint);
    struct Control {
        QWidget *w;
        QPoint at;
        QString text;
    };
    const Control controls[] = {
        {s.GroupBox1, {4, 10}, {}},           {s.radAll, {13, 8}, "&All"},     {s.radNo, {13, 32}, "&Select"},
        {s.Label1, {78, 35}, "&from"},        {s.edtSelFrom, {105, 30}, ""},   {s.Label2, {158, 36}, "&to"},
        {s.edtSelTo, {174, 30}, ""},          {s.BitBtn1, {248, 16}, {}},      {s.BitBtn2, {248, 48}, {}},
        {s.Progress1, {0, 77}, {}},           {s.SText1, {17, 16}, "bytes received"},
        {s.SText2, {16, 43}, "total bytes"},  {s.lblBytesReceived, {113, 14}, ""},
        {s.lblTotalBytes, {114, 43}, ""},
    };
    for (const Control &c : controls) {
        const std::string name = c.w->objectName().toStdString();
        EXPECT_TRUE(c.w->isHidden()) << name;
        EXPECT_EQ(c.w->pos(), c.at) << name;
        if (auto *b = qobject_cast<QAbstractButton *>(c.w); b && !c.text.isNull()) {
            EXPECT_EQ(b->text(), c.text) << name;
        }
        if (auto *l = qobject_cast<QLabel *>(c.w)) {
            EXPECT_EQ(l->text(), c.text) << name;
        }
        if (auto *e = qobject_cast<QLineEdit *>(c.w)) {
            EXPECT_EQ(e->text(), c.text) << name;
        }
    }
    for (QWidget *inBox : {static_cast<QWidget *>(s.radAll), static_cast<QWidget *>(s.radNo),
                           static_cast<QWidget *>(s.edtSelFrom), static_cast<QWidget *>(s.edtSelTo)})
        EXPECT_EQ(inBox->parentWidget(), s.GroupBox1);
    EXPECT_EQ(s.BitBtn1->size(), QSize(73, 25));
    EXPECT_EQ(s.Progress1->size(), QSize(321, 17));
    EXPECT_EQ(s.edtSelFrom->width(), 49);
    EXPECT_EQ(s.edtSelTo->width(), 56);
    EXPECT_EQ(s.lblBytesReceived->size(), QSize(88, 19));
    EXPECT_TRUE(s.radAll->isChecked());
    EXPECT_FALSE(s.radNo->isChecked());
    EXPECT_EQ(s.Progress1->minimum(), 0);
    EXPECT_EQ(s.Progress1->maximum(), 100);
    EXPECT_EQ(s.Progress1->value(), 0);
    EXPECT_EQ(s.modalResult(), TfrmScope::mrNone);
}

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
