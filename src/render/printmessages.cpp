#include "render/printmessages.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>

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

QString pdfTargetError(const QString& path)
{
    if (path.trimmed().isEmpty())
        return QStringLiteral("没有指定要写入的 PDF 文件！");
    const QFileInfo info(path);
    const QFileInfo folder(info.absolutePath());
    QString why;
    int err = 0;
    if (info.isDir()) {
        why = QStringLiteral("同名的文件夹已存在。");
        err = EISDIR;
    } else if (!folder.exists()) {
        why = QStringLiteral("文件夹不存在。");
        err = ENOENT;
    } else if (!folder.isDir()) {
        why = QStringLiteral("路径中有一项不是文件夹。");
        err = ENOTDIR;
    }
    if (why.isEmpty())
        return QString();
    // The system's words on the second line, as for any file that cannot be written.
    return QStringLiteral("无法写入文件 %1：").arg(path) + why + QLatin1Char('\n') +
           QString::fromLocal8Bit(std::strerror(err));
}

QString takenElsewhere(int claimed, const QStringList& stations, int printed)
{
    QStringList parts;
    if (claimed > 0)
        parts << QStringLiteral("%1 行正在由其他工作台（%2）打印")
                     .arg(claimed)
                     .arg(stations.join(QStringLiteral("、")));
    if (printed > 0)
        parts << QStringLiteral("%1 行已经打印过").arg(printed);
    return parts.join(QStringLiteral("，"));
}

QString printTakenRowsQuestion(const QString& taken)
{
    return QStringLiteral("要打印的行中，%1。\n是否也打印这些行？选“否”则不打印这些行。")
        .arg(taken);
}

QString takenRowsLeftOut(const QString& taken)
{
    return QStringLiteral("%1，这些行没有打印。").arg(taken);
}

QString rowsLeftToOthers(int rows)
{
    return QStringLiteral("其余 %1 行由其他工作台打印了或正在打印，本工作台没有打印。").arg(rows);
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
