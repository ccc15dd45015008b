// SPDX-License-Identifier: GPL-3.0-or-later
// About box.
#include "app/TfrmAbout.h"

#include "app/AppVersion.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include <QFontMetrics>

#include <algorithm>

namespace vandrel {

TfrmAbout::TfrmAbout(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Vandrel for Humidity Temperature Meter"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    auto *icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/app/vandrel.svg")).pixmap(48, 48));
    auto *Label3 = new QLabel(QStringLiteral("Vandrel for Humidity Temperature Meter"), this);
    QFont titleFont = Label3->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    Label3->setFont(titleFont);
    auto *Label1 = new QLabel(QStringLiteral("Version:"), this);
    // The version the build set; empty when none was set.
    Label2 = new QLabel(QStringLiteral(VANDREL_VERSION), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label2->setFont(bold);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("BitBtn1"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(Label3, 0, 1, 1, 3);
    grid->addWidget(Label1, 1, 1);
    grid->addWidget(Label2, 1, 2);
    grid->setColumnStretch(3, 1);
    grid->addWidget(buttons, 2, 0, 1, 4);
    // The window's title is long: wide enough for it to show whole in a title
    // bar (its font is often bold), beside the icon and the title bar's buttons.
    QFont titleBar = font();
    titleBar.setBold(true);
    constexpr int titleBarExtras = 140;
    const int titleWidth = QFontMetrics(titleBar).horizontalAdvance(windowTitle()) + titleBarExtras;
    const QSize least(std::max(383, titleWidth), 117);
    setMinimumSize(least);
    setFixedSize(sizeHint().expandedTo(least));
}

QString TfrmAbout::versionText() const
{
    return Label2->text();
}

} // namespace vandrel
