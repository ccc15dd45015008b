// SPDX-License-Identifier: GPL-3.0-or-later
// The shared small dialog: fixed layout, hidden controls, button results and
// the close refusal during a download.
#include "realtime/TfrmScope.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <initializer_list>

namespace vandrel {

namespace {

template <typename W>
W *hidden(W *w, const char *name, int left, int top, int width = -1, int height = -1)
{
    w->setObjectName(QLatin1String(name));
    if (width < 0)
        w->move(left, top);
    else
        w->setGeometry(left, top, width, height);
    w->hide();
    return w;
}

template <typename W>
W *sized(W *w, const char *name, int left, int top)
{
    w->adjustSize();
    return hidden(w, name, left, top, w->width(), w->height());
}

// Places one row's controls left to right: each keeps its place unless the one
// before it reaches that far, then it follows with a small gap. The places
// suit a small font; with a larger one the texts must not run under the boxes.
void flowRow(std::initializer_list<QWidget *> controls)
{
    constexpr int gap = 4;
    int next = 0;
    for (QWidget *w : controls) {
        w->move(std::max(w->x(), next), w->y());
        next = w->x() + w->width() + gap;
    }
}

} // namespace

TfrmScope::TfrmScope(QWidget *parent, std::function<bool()> downloadInProgress)
    : QDialog(parent), downloadInProgress_(std::move(downloadInProgress))
{
    setWindowTitle(QStringLiteral("Print Range"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(337, 134);

    buildRangeBox();
    BitBtn1 = hidden(new QPushButton(QStringLiteral("OK"), this), "BitBtn1", 248, 16, 73, 25);
    BitBtn2 = hidden(new QPushButton(QStringLiteral("Cancel"), this), "BitBtn2", 248, 48, 73, 25);
    Progress1 = hidden(new QProgressBar(this), "Progress1", 0, 77, 321, 17);
    Progress1->setRange(0, 100);
    Progress1->setValue(0);
    Progress1->setTextVisible(false);
    SText1 = sized(new QLabel(QStringLiteral("bytes received"), this), "SText1", 17, 16);
    SText2 = sized(new QLabel(QStringLiteral("total bytes"), this), "SText2", 16, 43);
    lblBytesReceived = hidden(new QLabel(this), "lblBytesReceived", 113, 14, 88, 19);
    lblTotalBytes = hidden(new QLabel(this), "lblTotalBytes", 114, 43, 88, 19);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { buttonPressed(mrOk); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { buttonPressed(mrCancel); });
}

void TfrmScope::buildRangeBox()
{
    GroupBox1 = hidden(new QGroupBox(this), "GroupBox1", 4, 10, 238, 62);
    radAll = sized(new QRadioButton(QStringLiteral("&All"), GroupBox1), "radAll", 13, 8);
    radAll->setChecked(true);
    radNo = sized(new QRadioButton(QStringLiteral("&Select"), GroupBox1), "radNo", 13, 32);
    Label1 = sized(new QLabel(QStringLiteral("&from"), GroupBox1), "Label1", 78, 35);
    edtSelFrom = new QLineEdit(GroupBox1);
    hidden(edtSelFrom, "edtSelFrom", 105, 30, 49, edtSelFrom->sizeHint().height());
    Label2 = sized(new QLabel(QStringLiteral("&to"), GroupBox1), "Label2", 158, 36);
    edtSelTo = new QLineEdit(GroupBox1);
    hidden(edtSelTo, "edtSelTo", 174, 30, 56, edtSelTo->sizeHint().height());
    Label1->setBuddy(edtSelFrom);
    Label2->setBuddy(edtSelTo);
    // With a buddy the '&' only marks the shortcut: sized for the text shown.
    Label1->adjustSize();
    Label2->adjustSize();
    flowRow({radNo, Label1, edtSelFrom, Label2, edtSelTo});
}

int TfrmScope::exec()
{
    modalResult_ = mrNone;
    inModalLoop_ = true;
    QDialog::exec();
    inModalLoop_ = false;
    return modalResult_;
}

bool TfrmScope::closeRefused() const
{
    return downloadInProgress_ && downloadInProgress_();
}

void TfrmScope::buttonPressed(int result)
{
    modalResult_ = result;
    // Shown modally the button ends the dialog; in a progress window it only
    // leaves the result for the running loop to find.
    if (inModalLoop_ && !closeRefused())
        done(result);
}

void TfrmScope::reject()
{
    if (closeRefused())
        return;
    modalResult_ = mrCancel;
    if (inModalLoop_)
        done(mrCancel);
}

void TfrmScope::closeEvent(QCloseEvent *event)
{
    if (closeRefused()) {
        event->ignore();
        return;
    }
    if (inModalLoop_) {
        QDialog::closeEvent(event);
        return;
    }
    if (event->spontaneous()) {
        // A progress window closed by the user asks its loop to stop, like
        // Cancel; the caller closes it when the loop has ended.
        modalResult_ = mrCancel;
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace vandrel
