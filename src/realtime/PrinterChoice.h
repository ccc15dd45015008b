// SPDX-License-Identifier: GPL-3.0-or-later
// What the printer set-up chooses: the printer (or a PDF file), the paper and
// the orientation, read from and applied to a printer without any window.
#pragma once

#include <QPageLayout>
#include <QPageSize>
#include <QStringList>

#include <vector>

class QPrinter;

namespace vandrel {

struct PrinterChoice {
    QString printer; // empty: print to a PDF file
    QPageSize pageSize;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    bool operator==(const PrinterChoice &) const = default;
};

// The choice a printer stands for now.
PrinterChoice currentChoice(const QPrinter &printer);

// Points `printer` at the chosen printer, paper and orientation; its margins,
// resolution and output file stay as they were.
void applyChoice(QPrinter &printer, const PrinterChoice &choice);

// The system's printers by name.
QStringList availablePrinters();

// The paper sizes offered for `printer` (empty: PDF file): what the printer
// supports, else the common sizes; `current` is always among them.
std::vector<QPageSize> offeredPageSizes(const QString &printer, const QPageSize &current);

} // namespace vandrel
