#pragma once

#include "excel/excelmessages.h"

#include <QList>
#include <QString>
#include <QStringList>

// Writing the recipient table out: the tab-separated text under an .xls name
// and a real Excel workbook (.xlsx), both over a simple source of rows. As
// every writer, they return false with the reason instead of throwing.

class ExportRows
{
public:
    virtual ~ExportRows();
    virtual QStringList columnNames() const = 0;
    // The next row's values, one per column (a null text writes as empty);
    // false after the last row.
    virtual bool nextRow(QStringList* values) = 0;
};

// Rows held in memory.
class ListExportRows : public ExportRows
{
public:
    ListExportRows(const QStringList& columns, const QList<QStringList>& rows)
        : m_columns(columns), m_rows(rows)
    {
    }
    QStringList columnNames() const override { return m_columns; }
    bool nextRow(QStringList* values) override;

private:
    QStringList m_columns;
    QList<QStringList> m_rows;
    qsizetype m_next = 0;
};

// A value as the text file holds it: unchanged, unless a spreadsheet program
// would read it as a formula (it begins with "=" or "@", TAB or CR, or with
// "+" or "-" not followed by a plain number); then with a leading apostrophe
// that makes it text. A result that holds a TAB, CR or LF (which would split
// its row) or begins with a double quote goes inside double quotes, with
// every inner quote doubled.
QString tabTextField(const QString& value);

// Writes the tab-separated text in GB18030: a header of the quoted column
// names, then one line per row; every field is followed by a TAB and every
// line ends in CR LF. An existing file is replaced, and only once the whole
// file has been written: on failure it stays as it was. False with a message
// naming the file on failure.
bool writeTabText(const QString& fileName, ExportRows& rows, QString* error);

// Writes an Excel workbook with one sheet: the column names in the first row,
// then the rows, every value as text. Replaced and failing as writeTabText.
bool writeXlsx(const QString& fileName, ExportRows& rows, QString* error,
               const QString& sheetName = QStringLiteral("Sheet1"));

// The chosen save name with extension EXTENSION (".xls"): an extension of
// the file name is replaced, a name without one gets it appended, a name
// that already has it (in any letter case) stays; dots in directory names
// and a leading dot of a hidden file's name do not count.
QString exportFileName(const QString& chosen, const QString& extension = QStringLiteral(".xls"));
