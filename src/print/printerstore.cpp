#include "print/printerstore.h"

#include "base/prompt.h"
#include "render/printmessages.h"

#include <QFileInfo>
#include <QPrinter>
#include <QString>
#include <memory>

namespace
{
std::unique_ptr<QPrinter> g_printer;
}

namespace PrinterStore
{

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

bool confirmOverwrite(const QPrinter* p)
{
    if (p->outputFormat() != QPrinter::PdfFormat)
        return true;
    const QFileInfo target(p->outputFileName());
    if (!target.exists() && !target.isSymLink())
        return true;
    return prompt().question(
               QStringLiteral("文件“%1”已存在，要替换它吗？").arg(target.absoluteFilePath()),
               QStringLiteral("确认替换"), true, Prompt::Button::No) == Prompt::Button::Yes;
}

void reset()
{
    g_printer.reset();
}

QString notReadyMessage()
{
    return PrintMessages::printerNotReadyHelp();
}

} // namespace PrinterStore
