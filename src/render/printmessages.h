#pragma once

#include <QString>
#include <QStringList>

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
// Rows chosen that another station is printing (claimed, by the stations
// named) or that are printed already, on a server several stations share:
// what they are, as one sentence without its end ("2 行正在由其他工作台
// （3号台）打印，1 行已经打印过").
QString takenElsewhere(int claimed, const QStringList& stations, int printed);
// The window's question before printing them: yes prints them too.
QString printTakenRowsQuestion(const QString& taken);
// The command's note that it left them out.
QString takenRowsLeftOut(const QString& taken);
// After a batch of all or the unprinted rows taken through claims: how many
// rows other stations printed or are printing instead of this one.
QString rowsLeftToOthers(int rows);

} // namespace PrintMessages
