#include "print/printerkey.h"

#include "render/calibration.h"

#include <QPrinter>

QString printerKey(const QPrinter* printer)
{
    if (!printer || printer->outputFormat() == QPrinter::PdfFormat)
        return Calibration::pdfPrinterName();
    return printer->printerName();
}
