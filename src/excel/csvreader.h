#pragma once

#include "excel/workbookreader.h"

#include <QByteArray>

// A .csv file (or a tab-separated text file) as a workbook of one sheet
// named after the file. Text is UTF-16 when it carries a UTF-16 byte-order
// mark (separated by tabs, or by commas when the title row has no tab),
// UTF-8 when it carries a UTF-8 one or is valid UTF-8, GB18030 (which reads
// every GBK file) otherwise. Fields are taken as they stand: no number or
// date guessing, no trimming; one longer than a cell holds is refused.
class CsvReader : public WorkbookReader
{
public:
    static std::unique_ptr<CsvReader> open(const QString& fileName, QString* error,
                                           char delimiter = ',');

    QStringList sheetNames() const override { return {m_sheetName}; }
    UsedRange usedRange() const override;
    QString cellText(int row, int column) const override;

    // Which encoding open() chose: "UTF-8", "GB18030", "UTF-16LE" or
    // "UTF-16BE".
    QString encoding() const { return m_encoding; }
    // GB18030 was chosen for text that is nearly all well-formed UTF-8.
    bool encodingUncertain() const override { return m_encodingUncertain; }

protected:
    bool loadSheet(int index, QString* error) override;

private:
    explicit CsvReader(const QString& fileName) : WorkbookReader(fileName) {}
    bool parse(const QByteArray& bytes, char delimiter, QString* error);

    QString m_sheetName;
    QString m_encoding;
    bool m_encodingUncertain = false;
    CellGrid m_cells;
};
