#include "excel/importrows.h"

#include "data/schema.h"
#include "excel/workbookreader.h"

const QVector<ImportField>& importFields()
{
    static const QVector<ImportField> fields = {
        {QStringLiteral("收件人姓名"), QStringLiteral("Name")},
        {QStringLiteral("单位"), QStringLiteral("Company")},
        {QStringLiteral("详细地址"), QStringLiteral("Address")},
        {QStringLiteral("手机"), QStringLiteral("Mobile")},
        {QStringLiteral("固定电话"), QStringLiteral("Phone")},
        {QStringLiteral("目的地"), QStringLiteral("Disrination")},
        {QStringLiteral("收件省"), QStringLiteral("Prvince")},
        {QStringLiteral("收件市"), QStringLiteral("City")},
        {QStringLiteral("收件区(县)"), QStringLiteral("Country")},
        {QStringLiteral("邮编"), QStringLiteral("PostCode")},
        {QStringLiteral("自定义字段1"), QStringLiteral("Custom1")},
        {QStringLiteral("自定义字段2"), QStringLiteral("Custom2")},
        {QStringLiteral("自定义字段3"), QStringLiteral("Custom3")},
        {QStringLiteral("自定义字段4"), QStringLiteral("Custom4")},
        {QStringLiteral("自定义字段5"), QStringLiteral("Custom5")},
        {QStringLiteral("订单编号"), Schema::orderNoColumn()},
    };
    return fields;
}

QStringList importCaptions()
{
    QStringList captions;
    for (const ImportField& field : importFields())
        captions.append(field.caption);
    return captions;
}

QStringList importColumns()
{
    QStringList columns;
    for (const ImportField& field : importFields())
        columns.append(field.column);
    return columns;
}

int importFieldIndex(const QString& caption)
{
    return int(importCaptions().indexOf(caption));
}

QString withoutNumberGuard(const QString& text)
{
    if (text.startsWith(QLatin1Char('\t')) || text.startsWith(QLatin1Char('\'')))
        return text.mid(1);
    // ="..." as a whole; a quote inside is doubled, as in a formula.
    if (text.size() >= 3 && text.startsWith(QLatin1String("=\"")) &&
        text.endsWith(QLatin1Char('"'))) {
        const QString inner = text.mid(2, text.size() - 3);
        QString unquoted = inner;
        unquoted.replace(QLatin1String("\"\""), QLatin1String(""));
        if (!unquoted.contains(QLatin1Char('"'))) {
            QString value = inner;
            return value.replace(QLatin1String("\"\""), QLatin1String("\""));
        }
    }
    return text;
}

bool isBlankImportRow(const QStringList& values)
{
    // A totals row may carry "合计" in the order number column alone.
    const qsizetype orderNo = importFields().size() - 1;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i != orderNo && !values.at(i).trimmed().isEmpty())
            return false;
    }
    return true;
}

QString missingRequiredTitles(const QStringList& titles)
{
    auto mapped = [&](const char* column) {
        const int index = int(importColumns().indexOf(QLatin1String(column)));
        return !titles.value(index).isEmpty();
    };
    QStringList missing;
    if (!mapped("Name"))
        missing << QStringLiteral("收件人姓名");
    if (!mapped("Mobile") && !mapped("Phone"))
        missing << QStringLiteral("手机或固定电话");
    if (!mapped("Address"))
        missing << QStringLiteral("详细地址");
    return missing.join(QStringLiteral("、"));
}

bool parseTitleRow(const QString& answer, int* titleRow)
{
    bool ok = false;
    const int row = answer.trimmed().toInt(&ok, 10);
    if (!ok || row < 1)
        return false;
    *titleRow = row;
    return true;
}

QStringList titleTexts(const WorkbookReader& sheet, int titleRow)
{
    // Up to the last used column, not the used column count: a sheet whose
    // first columns are empty would otherwise hide its last titles.
    QStringList titles;
    const int last = sheet.usedRange().lastColumn();
    titles.reserve(last);
    for (int column = 1; column <= last; ++column)
        titles.append(sheet.cellText(titleRow, column));
    return titles;
}

int ExlGetColno(const WorkbookReader& sheet, int titleRow, const QString& title)
{
    int found = 0;
    const int last = sheet.usedRange().lastColumn();
    for (int column = 1; column <= last; ++column) {
        if (sheet.cellText(titleRow, column) == title)
            found = column;
    }
    return found;
}

bool ImportRows::start(const WorkbookReader& sheet, int titleRow, const QStringList& titles,
                       QString* error)
{
    m_sheet = nullptr;
    m_count = 0;
    m_done = 0;
    m_columns.clear();
    if (sheet.currentSheet() < 0 || titles.size() != importFields().size()) {
        *error = importNoSheetMessage();
        return false;
    }
    if (titleRow < 1) {
        *error = importBadTitleRowMessage();
        return false;
    }
    bool anyTitle = false;
    for (const QString& title : titles)
        anyTitle = anyTitle || !title.isEmpty();
    if (!anyTitle) {
        *error = importNoTitlesMessage();
        return false;
    }
    QVector<int> columns;
    for (const QString& title : titles) {
        const int column = title.isEmpty() ? 0 : ExlGetColno(sheet, titleRow, title);
        if (!title.isEmpty() && column == 0) {
            *error =
                QStringLiteral("第%1行（标题行）中没有标题为“%2”的列！").arg(titleRow).arg(title);
            if (sheet.encodingUncertain())
                *error += QLatin1Char('\n') + importEncodingHint();
            return false;
        }
        columns.append(column);
    }
    // A formula without its saved result would import as an empty cell.
    const CellPosition* first = nullptr;
    for (const CellPosition& cell : sheet.formulasWithoutValue()) {
        if (cell.row <= titleRow || !columns.contains(cell.column))
            continue;
        if (!first || cell.row < first->row ||
            (cell.row == first->row && cell.column < first->column))
            first = &cell;
    }
    if (first) {
        *error = importFormulaWithoutValueMessage(cellReference(first->row, first->column));
        return false;
    }
    m_sheet = &sheet;
    m_titleRow = titleRow;
    m_columns = columns;
    // Rows past the last used one are empty whatever the used range's
    // height says (a heading above the titles would add rows below).
    m_count = std::max(0, sheet.usedRange().lastRow() - titleRow);
    return true;
}

QStringList ImportRows::next()
{
    static const QString empty = QStringLiteral("");
    QStringList values;
    if (!m_sheet || atEnd())
        return values;
    ++m_done;
    const int row = m_titleRow + m_done;
    values.reserve(m_columns.size());
    for (const int column : std::as_const(m_columns)) {
        if (column == 0) {
            values.append(QString());
            continue;
        }
        const QString text = withoutNumberGuard(m_sheet->cellText(row, column));
        values.append(text.isNull() ? empty : text);
    }
    return values;
}
