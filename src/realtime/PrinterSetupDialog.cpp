// SPDX-License-Identifier: GPL-3.0-or-later
// The printer set-up dialog's controls; the choice itself is applied by
// PrinterChoice.
#include "realtime/PrinterSetupDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPrinter>
#include <QRadioButton>

namespace vandrel {

namespace {

const QString kPdfEntry = QStringLiteral("PDF file");

} // namespace

PrinterSetupDialog::PrinterSetupDialog(QPrinter &printer, const QStringList &printers, QWidget *parent)
    : QDialog(parent), printer_(printer)
{
    setWindowTitle(QStringLiteral("Printer Setup"));
    const PrinterChoice now = currentChoice(printer);

    cmbPrinter = new QComboBox(this);
    cmbPrinter->setObjectName(QStringLiteral("cmbPrinter"));
    for (const QString &name : printers)
        cmbPrinter->addItem(name, name);
    // A printer set earlier that the system no longer lists is still shown,
    // so that OK does not move the printouts elsewhere unasked.
    if (!now.printer.isEmpty() && !printers.contains(now.printer))
        cmbPrinter->addItem(now.printer, now.printer);
    cmbPrinter->addItem(kPdfEntry, QString());
    cmbPrinter->setCurrentIndex(cmbPrinter->findData(now.printer));

    cmbPaper = new QComboBox(this);
    cmbPaper->setObjectName(QStringLiteral("cmbPaper"));
    fillPaper(now.pageSize);

    radPortrait = new QRadioButton(QStringLiteral("&Portrait"), this);
    radLandscape = new QRadioButton(QStringLiteral("&Landscape"), this);
    (now.orientation == QPageLayout::Landscape ? radLandscape : radPortrait)->setChecked(true);
    auto *orientation = new QHBoxLayout;
    orientation->addWidget(radPortrait);
    orientation->addWidget(radLandscape);
    orientation->addStretch();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(cmbPrinter, &QComboBox::currentIndexChanged, this, [this] {
        fillPaper(sizes_.empty() || cmbPaper->currentIndex() < 0 ? QPageSize()
                                                                   : sizes_[cmbPaper->currentIndex()]);
    });

    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("P&rinter:"), cmbPrinter);
    form->addRow(QStringLiteral("Paper &size:"), cmbPaper);
    form->addRow(QStringLiteral("Orientation:"), orientation);
    form->addRow(buttons);
}

void PrinterSetupDialog::fillPaper(const QPageSize &keep)
{
    sizes_ = offeredPageSizes(cmbPrinter->currentData().toString(), keep);
    cmbPaper->clear();
    int selected = 0;
    for (size_t i = 0; i < sizes_.size(); ++i) {
        cmbPaper->addItem(sizes_[i].name());
        if (keep.isValid() && sizes_[i].isEquivalentTo(keep))
            selected = static_cast<int>(i);
    }
    cmbPaper->setCurrentIndex(selected);
}

PrinterChoice PrinterSetupDialog::choice() const
{
    const int paper = cmbPaper->currentIndex();
    return {cmbPrinter->currentData().toString(),
            paper >= 0 && paper < static_cast<int>(sizes_.size()) ? sizes_[paper] : QPageSize(),
            radLandscape->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait};
}

void PrinterSetupDialog::accept()
{
    applyChoice(printer_, choice());
    QDialog::accept();
}

} // namespace vandrel
