#pragma once

#include "workbookreader.h"

#include <QByteArray>

// A .csv file (or a tab-separated text file) as a workbook of one sheet
// named after the file. Text is UTF-8
// when it carries a UTF-8 byte-order mark or is valid UTF-8, GB18030 (which
// reads every GBK file) otherwise. Fields are taken as they stand: no number
// or date guessing, no trimming.
class CsvReader : public WorkbookReader
{
public:
    static std::unique_ptr<CsvReader> open(const QString& fileName, QString* error,
                                           char delimiter = ',');

    QStringList sheetNames() const override { return {m_sheetName}; }
    UsedRange usedRange() const override;
    QString cellText(int row, int column) const override;

    // Which encoding open() chose: "UTF-8" or "GB18030".
    QString encoding() const { return m_encoding; }

protected:
    bool loadSheet(int index, QString* error) override;

private:
    explicit CsvReader(const QString& fileName) : WorkbookReader(fileName) {}
    bool parse(const QByteArray& bytes, char delimiter, QString* error);

    QString m_sheetName;
    QString m_encoding;
    CellGrid m_cells;
};
