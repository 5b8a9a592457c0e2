#include "xlsreader.h"

#include "celltext.h"

#include <QFile>

#include <freexl.h>

std::unique_ptr<XlsReader> XlsReader::open(const QString& fileName, QString* error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = workbookFailure(fileName, file.errorString());
        return nullptr;
    }
    const QByteArray bytes = file.readAll();
    file.close();

    std::unique_ptr<XlsReader> reader(new XlsReader(fileName));
    QString reason;
    if (!biff8::read(bytes, biff8::Cells::Supplement, &reader->m_workbook, &reason)) {
        *error = workbookFailure(fileName, reason);
        return nullptr;
    }

    const void* handle = nullptr;
    if (freexl_open(QFile::encodeName(fileName).constData(), &handle) != FREEXL_OK) {
        freexl_close(handle);
        handle = nullptr;
        // Our own reader has shown the file to be sound: let it read all.
        if (!biff8::read(bytes, biff8::Cells::All, &reader->m_workbook, &reason)) {
            *error = workbookFailure(fileName, reason);
            return nullptr;
        }
    }
    reader->m_handle = handle;

    for (const biff8::Sheet& sheet : std::as_const(reader->m_workbook.sheets))
        reader->m_names.append(sheet.name);
    reader->m_freeXlIndex.fill(-1, reader->m_names.size());
    if (handle) {
        // FreeXL numbers the sheets its own way: match them by name, and
        // every worksheet must be among them.
        unsigned int count = 0;
        freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count);
        for (unsigned int i = 0; i < count; ++i) {
            const char* name = nullptr;
            if (freexl_get_worksheet_name(handle, unsigned(i), &name) != FREEXL_OK)
                continue;
            const int ours = int(reader->m_names.indexOf(QString::fromUtf8(name)));
            if (ours >= 0)
                reader->m_freeXlIndex[ours] = int(i);
        }
        for (int i = 0; i < reader->m_names.size(); ++i) {
            if (reader->m_workbook.sheets.at(i).worksheet && reader->m_freeXlIndex.at(i) < 0) {
                *error = workbookFailure(
                    fileName, QStringLiteral("工作表“%1”无法读取。").arg(reader->m_names.at(i)));
                return nullptr;
            }
        }
    }
    return reader;
}

XlsReader::~XlsReader()
{
    if (m_handle)
        freexl_close(m_handle);
}

bool XlsReader::loadSheet(int index, QString* error)
{
    m_own = &m_workbook.sheets.at(index).cells;
    m_range = UsedRange();
    m_freeXlRows = 0;
    m_freeXlColumns = 0;
    const int freeXlIndex = m_freeXlIndex.at(index);
    if (m_handle && freeXlIndex >= 0) {
        if (freexl_select_active_worksheet(m_handle, unsigned(freeXlIndex)) != FREEXL_OK ||
            freexl_worksheet_dimensions(m_handle, &m_freeXlRows, &m_freeXlColumns) != FREEXL_OK) {
            *error = failure(QStringLiteral("工作表“%1”无法读取。").arg(sheetNames().at(index)));
            m_own = nullptr;
            return false;
        }
        // FreeXL's dimensions start at A1 whatever the sheet holds.
        for (unsigned r = 0; r < m_freeXlRows; ++r) {
            for (unsigned c = 0; c < m_freeXlColumns; ++c) {
                FreeXL_CellValue value;
                if (freexl_get_cell_value(m_handle, r, c, &value) != FREEXL_OK ||
                    value.type == FREEXL_CELL_NULL)
                    continue;
                const bool text = value.type != FREEXL_CELL_INT && value.type != FREEXL_CELL_DOUBLE;
                if (!text || (value.value.text_value && *value.value.text_value))
                    m_range.include(int(r) + 1, int(c) + 1);
            }
        }
    }
    m_range = m_range.united(m_own->usedRange());
    return true;
}

QString XlsReader::freeXlText(int row, int column) const
{
    if (row > int(m_freeXlRows) || column > int(m_freeXlColumns))
        return QString();
    FreeXL_CellValue value;
    if (freexl_get_cell_value(m_handle, unsigned(row - 1), unsigned(column - 1), &value) !=
        FREEXL_OK)
        return QString();
    switch (value.type) {
    case FREEXL_CELL_INT:
        return excelNumberText(value.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return excelNumberText(value.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        return QString::fromUtf8(value.value.text_value);
    default:
        return QString();
    }
}

QString XlsReader::cellText(int row, int column) const
{
    if (!m_own || row < 1 || column < 1)
        return QString();
    // Our own cells first: FreeXL shows formulas and rich-text labels as
    // empty and logical values as the numbers 1 and 0.
    const QString& own = m_own->text(row, column);
    if (!own.isEmpty() || !m_handle)
        return own;
    return freeXlText(row, column);
}
