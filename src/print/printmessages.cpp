#include "print/printmessages.h"

namespace PrintMessages
{

QString printerNotReady()
{
    return QStringLiteral("打印机没准备好！");
}

QString printerNotReadyHelp()
{
    return printerNotReady() + QStringLiteral("\n请按工具栏上的“打印机设置”选择打印机；"
                                              "没有打印机时，可在其中选择打印到 PDF 文件。");
}

QString noSuchQueue(const QString& queue)
{
    return printerNotReady() + QStringLiteral("\n没有名为“%1”的打印机。").arg(queue);
}

QString nothingToPrint()
{
    return QStringLiteral("没有要打印的收件人！");
}

QString badRowRange(const QString& range)
{
    return QStringLiteral("行号范围不正确：“%1”").arg(range);
}

QString batchCaption()
{
    return QStringLiteral("批量打印提示");
}

} // namespace PrintMessages
