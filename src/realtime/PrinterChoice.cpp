// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and applying a printer choice, and the lists the set-up offers.
#include "realtime/PrinterChoice.h"

#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

namespace vandrel {

PrinterChoice currentChoice(const QPrinter &printer)
{
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    return {toFile ? QString() : printer.printerName(), printer.pageLayout().pageSize(),
            printer.pageLayout().orientation()};
}

void applyChoice(QPrinter &printer, const PrinterChoice &choice)
{
    if (choice.printer.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
    } else {
        printer.setOutputFormat(QPrinter::NativeFormat);
        printer.setPrinterName(choice.printer);
    }
    if (choice.pageSize.isValid())
        printer.setPageSize(choice.pageSize);
    printer.setPageOrientation(choice.orientation);
}

QStringList availablePrinters()
{
    return QPrinterInfo::availablePrinterNames();
}

std::vector<QPageSize> offeredPageSizes(const QString &printer, const QPageSize &current)
{
    std::vector<QPageSize> sizes;
    if (!printer.isEmpty()) {
        const QList<QPageSize> supported = QPrinterInfo::printerInfo(printer).supportedPageSizes();
        sizes.assign(supported.begin(), supported.end());
    }
    if (sizes.empty()) {
        for (const QPageSize::PageSizeId id : {QPageSize::A4, QPageSize::Letter, QPageSize::Legal, QPageSize::A3,
                                               QPageSize::A5, QPageSize::B5, QPageSize::Executive})
            sizes.emplace_back(id);
    }
    const bool listed = std::any_of(sizes.begin(), sizes.end(),
                                    [&current](const QPageSize &s) { return s.isEquivalentTo(current); });
    if (current.isValid() && !listed)
        sizes.insert(sizes.begin(), current);
    return sizes;
}

} // namespace vandrel
