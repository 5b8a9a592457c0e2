#include "excel/xlsreader.h"

#include <QFile>

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
    if (!biff8::read(bytes, &reader->m_workbook, &reason)) {
        *error = workbookFailure(fileName, reason);
        return nullptr;
    }
    for (const biff8::Sheet& sheet : std::as_const(reader->m_workbook.sheets))
        reader->m_names.append(sheet.name);
    return reader;
}

bool XlsReader::loadSheet(int index, QString* /*error*/)
{
    m_cells = &m_workbook.sheets.at(index).cells;
    return true;
}

QString XlsReader::cellText(int row, int column) const
{
    if (!m_cells || row < 1 || column < 1)
        return QString();
    return m_cells->text(row, column);
}
