#include "printerstore.h"

#include <QPrinter>
#include <memory>

namespace {
std::unique_ptr<QPrinter> g_printer;
}

namespace PrinterStore {

QPrinter* printer()
{
    if (!g_printer)
        g_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return g_printer.get();
}

bool isReady(const QPrinter* p)
{
    if (!p)
        return false;
    if (p->outputFormat() == QPrinter::PdfFormat)
        return !p->outputFileName().isEmpty();
    return !p->printerName().isEmpty();
}

void usePageCorner(QPrinter* p)
{
    if (p->outputFormat() == QPrinter::PdfFormat)
        p->setPageMargins(QMarginsF(0, 0, 0, 0));
}

void reset()
{
    g_printer.reset();
}

} // namespace PrinterStore
