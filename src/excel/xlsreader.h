#pragma once

#include "biff8.h"
#include "workbookreader.h"

// An Excel 97-2003 workbook (.xls). FreeXL reads the ordinary cells; formula
// results, logical and error values and rich-text labels, which FreeXL does
// not give, come from our own record reader, and so does every cell of a workbook that FreeXL
// refuses (it cannot read workbooks whose stream is shorter than 4096 bytes).
class XlsReader : public WorkbookReader
{
public:
    static std::unique_ptr<XlsReader> open(const QString& fileName, QString* error);
    ~XlsReader() override;

    QStringList sheetNames() const override { return m_names; }
    UsedRange usedRange() const override { return m_range; }
    QString cellText(int row, int column) const override;

    // True when FreeXL reads the ordinary cells, false when our own reader
    // reads them all.
    bool usesFreeXl() const { return m_handle != nullptr; }

protected:
    bool loadSheet(int index, QString* error) override;

private:
    explicit XlsReader(const QString& fileName) : WorkbookReader(fileName) {}
    QString freeXlText(int row, int column) const;

    const void* m_handle = nullptr;
    biff8::Workbook m_workbook;
    QStringList m_names;
    QVector<int> m_freeXlIndex; // FreeXL's number of each sheet, -1 for none
    // Of the current sheet.
    const CellGrid* m_own = nullptr;
    unsigned m_freeXlRows = 0;
    unsigned short m_freeXlColumns = 0;
    UsedRange m_range;
};
