#pragma once

#include <QString>

// The texts printing shows, for the windows and the commands alike.
namespace PrintMessages
{

QString printerNotReady(); // "打印机没准备好！"
// The same, and how to choose a printer or a PDF file (for the windows).
QString printerNotReadyHelp();
// The same, naming a queue that CUPS does not know.
QString noSuchQueue(const QString& queue);
// Why a PDF file cannot be written at path (no name, a folder of that
// name, a folder missing on the way); empty when it can be tried.
QString pdfTargetError(const QString& path);
QString nothingToPrint();                  // "没有要打印的收件人！"
QString badRowRange(const QString& range); // "行号范围不正确：“%1”"
QString batchCaption();                    // "批量打印提示"

} // namespace PrintMessages
