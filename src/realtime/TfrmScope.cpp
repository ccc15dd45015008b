// SPDX-License-Identifier: GPL-3.0-or-later
// The shared small dialog: layouts around its hidden controls, button results and
// the close refusal during a download.
#include "realtime/TfrmScope.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>


namespace vandrel {

namespace {

template <typename W>
W *hidden(W *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    w->hide();
    return w;
}

} // namespace

// Every use shows a few of the controls; the layouts close up around the
// hidden ones, so each use gets a dialog just as large as what it shows,
// with the window's margins around it whatever the font.
TfrmScope::TfrmScope(QWidget *parent, std::function<bool()> downloadInProgress)
    : QDialog(parent), downloadInProgress_(std::move(downloadInProgress))
{
    setWindowTitle(QStringLiteral("Print Range"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    buildRangeBox();
    BitBtn1 = hidden(new QPushButton(QStringLiteral("OK"), this), "BitBtn1");
    BitBtn2 = hidden(new QPushButton(QStringLiteral("Cancel"), this), "BitBtn2");
    Progress1 = hidden(new QProgressBar(this), "Progress1");
    Progress1->setRange(0, 100);
    Progress1->setValue(0);
    Progress1->setTextVisible(false);
    Progress1->setMinimumWidth(300);
    SText1 = hidden(new QLabel(QStringLiteral("bytes received"), this), "SText1");
    SText2 = hidden(new QLabel(QStringLiteral("total bytes"), this), "SText2");
    lblBytesReceived = hidden(new QLabel(this), "lblBytesReceived");
    lblTotalBytes = hidden(new QLabel(this), "lblTotalBytes");

    auto *texts = new QGridLayout;
    texts->addWidget(SText1, 0, 0);
    texts->addWidget(lblBytesReceived, 0, 1);
    texts->addWidget(SText2, 1, 0);
    texts->addWidget(lblTotalBytes, 1, 1);
    texts->setColumnStretch(2, 1);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addStretch(1);
    auto *layout = new QGridLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(GroupBox1, 0, 0);
    layout->addLayout(buttons, 0, 1);
    layout->addLayout(texts, 1, 0, 1, 2);
    layout->addWidget(Progress1, 2, 0, 1, 2);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { buttonPressed(mrOk); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { buttonPressed(mrCancel); });
}

void TfrmScope::buildRangeBox()
{
    GroupBox1 = hidden(new QGroupBox(this), "GroupBox1");
    radAll = hidden(new QRadioButton(QStringLiteral("&All"), GroupBox1), "radAll");
    radAll->setChecked(true);
    radNo = hidden(new QRadioButton(QStringLiteral("&Select"), GroupBox1), "radNo");
    Label1 = hidden(new QLabel(QStringLiteral("&from"), GroupBox1), "Label1");
    edtSelFrom = hidden(new QLineEdit(GroupBox1), "edtSelFrom");
    Label2 = hidden(new QLabel(QStringLiteral("&to"), GroupBox1), "Label2");
    edtSelTo = hidden(new QLineEdit(GroupBox1), "edtSelTo");
    // Room for a row number of seven digits.
    for (QLineEdit *box : {edtSelFrom, edtSelTo})
        box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 12);
    Label1->setBuddy(edtSelFrom);
    Label2->setBuddy(edtSelTo);
    auto *grid = new QGridLayout(GroupBox1);
    grid->addWidget(radAll, 0, 0);
    grid->addWidget(radNo, 1, 0);
    grid->addWidget(Label1, 1, 1);
    grid->addWidget(edtSelFrom, 1, 2);
    grid->addWidget(Label2, 1, 3);
    grid->addWidget(edtSelTo, 1, 4);
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
