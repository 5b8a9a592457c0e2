#include "print/printerchoice.h"

#include "data/configini.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <QUrl>

namespace
{

const QString kSection = QLatin1String(ConfigIni::PrinterSection);
const QString kQueue = QStringLiteral("queue:");
const QString kPdf = QStringLiteral("pdf:");

// Template names may hold '/', '=' or ';', which an INI key cannot.
QString keyOf(const QString& model)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(model));
}

} // namespace

void PrinterChoice::remember(const QString& appDir, const QString& model, const QPrinter* printer)
{
    if (model.isEmpty() || !printer)
        return;
    const QString value = printer->outputFormat() == QPrinter::PdfFormat
                              ? kPdf + printer->outputFileName()
                              : kQueue + printer->printerName();
    ConfigIni::writeString(appDir, kSection, keyOf(model), value);
}

QString PrinterChoice::stored(const QString& appDir, const QString& model)
{
    return model.isEmpty() ? QString() : ConfigIni::readString(appDir, kSection, keyOf(model));
}

QString PrinterChoice::restore(const QString& appDir, const QString& model, QPrinter* printer)
{
    const QString value = stored(appDir, model);
    if (value.startsWith(kPdf)) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(value.mid(kPdf.size()));
        return QString();
    }
    if (!value.startsWith(kQueue))
        return QString();
    const QString queue = value.mid(kQueue.size());
    if (QPrinterInfo::availablePrinterNames().contains(queue)) {
        printer->setOutputFormat(QPrinter::NativeFormat);
        printer->setPrinterName(queue);
        return QString();
    }
    const QString fallback = QPrinterInfo::defaultPrinterName();
    if (fallback.isEmpty()) {
        // No printer at all: the next job says the printer is not ready.
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QString());
        return QStringLiteral("打印机 %1 已不存在，且系统没有默认打印机").arg(queue);
    }
    printer->setOutputFormat(QPrinter::NativeFormat);
    printer->setPrinterName(fallback);
    return QStringLiteral("打印机 %1 已不存在，已改用默认打印机 %2").arg(queue, fallback);
}
