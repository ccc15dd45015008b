// SPDX-License-Identifier: GPL-3.0-or-later
// The printer set-up dialog: which printer (or a PDF file), which paper and
// which orientation the printouts use.
#pragma once

#include "realtime/PrinterChoice.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QPrinter;
class QRadioButton;

namespace vandrel {

class PrinterSetupDialog : public QDialog
{
    Q_OBJECT
public:
    // Offers `printers` and a PDF file, starting from what `printer` is set
    // to; OK applies the choice to `printer`, Cancel leaves it untouched.
    PrinterSetupDialog(QPrinter &printer, const QStringList &printers, QWidget *parent = nullptr);

    PrinterChoice choice() const;

    QComboBox *cmbPrinter;
    QComboBox *cmbPaper;
    QRadioButton *radPortrait;
    QRadioButton *radLandscape;

public slots:
    void accept() override;

private:
    void fillPaper(const QPageSize &keep);

    QPrinter &printer_;
    std::vector<QPageSize> sizes_;
};

} // namespace vandrel
