#include "excel/excelmessages.h"

#include <QDir>

QString importNoSheetMessage()
{
    return QStringLiteral("请点选左边框内要打印的工作表！");
}

QString importNoTitlesMessage()
{
    return QStringLiteral(
        "右边字段全为空！\n请正确设置字段对应关系并再次确认Excel文件的标题行号！");
}

QString importBadTitleRowMessage()
{
    return QStringLiteral("标题行号必须是大于0的整数！");
}

QString importDoneMessage()
{
    return QStringLiteral("数据导入成功！");
}

QString importEncodingHint()
{
    return QStringLiteral("这个文件不全是有效的UTF-"
                          "8文字，已按GBK（GB18030）编码读取，标题对不上可能是文件编码造成的："
                          "请把文件另存为UTF-8编码后再导入。");
}

QString importFormulaWithoutValueMessage(const QString& cell)
{
    return cell +
           QStringLiteral(" 中的公式没有保存计算结果，请用 Excel 或 WPS 打开并保存后再导入。");
}

QString importReadErrorMessage(const QString& reason)
{
    // The readers' reasons already name the file: "无法读取文件“…”：…".
    return reason;
}

QString importFailedMessage(const QString& reason)
{
    return QStringLiteral("数据导入失败，原有的收件人记录保持不变。\n") + reason;
}

QString importCountMessage(int rows)
{
    return importDoneMessage() + QStringLiteral("\n成功导入 %1 条收件人记录。").arg(rows);
}

QString importCanceledMessage()
{
    return QStringLiteral("导入已取消，原有的收件人记录保持不变。");
}

QString importProgressText(int done, int total)
{
    return QStringLiteral("正在导入第 %1 / %2 行").arg(done).arg(total);
}

QString exportDoneMessage(const QString& fileName)
{
    return QStringLiteral("文件") + QDir::toNativeSeparators(fileName) +
           QStringLiteral("导出成功！");
}

QString outOfMemory()
{
    return QStringLiteral("内存不足。");
}

QString oldWorkbookMessage()
{
    return QStringLiteral("这是Excel 95或更早版本的工作簿，请先在Excel中另存为"
                          "Excel 97-2003工作簿（.xls）或Excel工作簿（.xlsx）。");
}

QString importNoRowsMessage(int titleRow)
{
    return QStringLiteral("没有可导入的收件人：第%1行（标题行）下面对应到的列全是空的。\n"
                          "原有的收件人记录保持不变，请检查标题行号和工作表。")
        .arg(titleRow);
}

QString importMissingTitlesMessage(const QString& missing)
{
    return QStringLiteral("没有对应到%1的列，不能导入！\n"
                          "请在“Excel文件中提供字段”一栏为它选好Excel文件中的标题。")
        .arg(missing);
}

QString importMissingMapMessage(const QString& missing)
{
    return QStringLiteral("没有对应到%1的列，不能导入！\n"
                          "请用 --map 指定，例如 --map 收件人姓名=姓名 --map 手机=手机 "
                          "--map 详细地址=地址")
        .arg(missing);
}

QString importReplaceQuestion(int existing, const QString& sheet)
{
    return QStringLiteral("将清空现有的 %1 条收件人并导入“%2”中的记录，继续？")
        .arg(existing)
        .arg(sheet);
}

QString importAppendQuestion(int existing, const QString& sheet)
{
    return QStringLiteral("将把“%2”中的记录追加到现有的 %1 条收件人之后，继续？")
        .arg(existing)
        .arg(sheet);
}
