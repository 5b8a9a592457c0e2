#include "excel/workbookreader.h"

#include "excel/csvreader.h"
#include "excel/xlsreader.h"
#include "excel/xlsxreader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

WorkbookReader::~WorkbookReader() = default;

namespace
{

// Files named .xls are not always Excel 97-2003 workbooks: tab-separated text
// (this program's own export, among others) and renamed .xlsx workbooks carry
// the name too, and Excel opens them all.
std::unique_ptr<WorkbookReader> openXls(const QString& fileName, QString* error)
{
    QFile file(fileName);
    QByteArray head;
    if (file.open(QIODevice::ReadOnly))
        head = file.read(65536);
    file.close();
    if (head.startsWith("\xD0\xCF\x11\xE0"))
        return XlsReader::open(fileName, error);
    if (head.startsWith("PK\x03\x04"))
        return XlsxReader::open(fileName, error);
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF"))
        return CsvReader::open(fileName, error, '\t'); // "Unicode text"
    if (!head.isEmpty() && !head.contains('\0'))
        return CsvReader::open(fileName, error, '\t');
    return XlsReader::open(fileName, error);
}

} // namespace

QString cellReference(int row, int column)
{
    QString letters;
    for (int c = column; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters + QString::number(row);
}

QString cellTooLongReason(const QString& sheet, int row, int column)
{
    return QStringLiteral("工作表“%1”的单元格%2超过%3个字符，超出了表格单元格的上限。")
        .arg(sheet, cellReference(row, column))
        .arg(kMaxCellCharacters);
}

const std::vector<CellPosition>& WorkbookReader::formulasWithoutValue() const
{
    static const std::vector<CellPosition> none;
    return none;
}

QString workbookFailure(const QString& fileName, const QString& reason)
{
    return QStringLiteral("无法读取文件“%1”：%2").arg(QDir::toNativeSeparators(fileName), reason);
}

QString WorkbookReader::failure(const QString& reason) const
{
    return workbookFailure(m_fileName, reason);
}

QStringList WorkbookReader::extensions()
{
    return {QStringLiteral("xls"), QStringLiteral("xlsx"), QStringLiteral("csv")};
}

QString WorkbookReader::fileFilter()
{
    // Readable patterns; the program's file dialog matches them in any
    // letter case.
    return QStringLiteral("Excel 文件 (*.xls *.xlsx *.csv)"
                          ";;Excel 表格文件 (*.xls);;Excel 工作簿 (*.xlsx)"
                          ";;Excel 交换格式文件 (*.csv)");
}

std::unique_ptr<WorkbookReader> WorkbookReader::open(const QString& fileName, QString* error)
{
    const QFileInfo info(fileName);
    if (!info.exists() || info.isDir()) {
        *error = workbookFailure(fileName, QStringLiteral("文件不存在。"));
        return nullptr;
    }
    if (!info.isReadable()) {
        *error = workbookFailure(fileName, QStringLiteral("没有读取这个文件的权限。"));
        return nullptr;
    }
    const QString suffix = info.suffix().toLower();
    std::unique_ptr<WorkbookReader> reader;
    if (suffix == QLatin1String("xls"))
        reader = openXls(fileName, error);
    else if (suffix == QLatin1String("xlsx"))
        reader = XlsxReader::open(fileName, error);
    else if (suffix == QLatin1String("csv"))
        reader = CsvReader::open(fileName, error);
    else
        *error = workbookFailure(fileName,
                                 QStringLiteral("不支持这种文件，只能导入.xls、.xlsx和.csv文件。"));
    return reader;
}

bool WorkbookReader::selectSheet(int index, QString* error)
{
    if (index < 0 || index >= sheetNames().size()) {
        *error = failure(QStringLiteral("工作簿中没有第%1个工作表。").arg(index + 1));
        return false;
    }
    if (index == m_current)
        return true;
    m_current = -1;
    if (!loadSheet(index, error))
        return false;
    m_current = index;
    return true;
}

bool WorkbookReader::selectSheet(const QString& name, QString* error)
{
    const int index = int(sheetNames().indexOf(name));
    if (index < 0) {
        *error = failure(QStringLiteral("工作簿中没有名为“%1”的工作表。").arg(name));
        return false;
    }
    return selectSheet(index, error);
}
