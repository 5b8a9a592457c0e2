#pragma once

#include "excel/biff8.h"
#include "excel/workbookreader.h"

// An Excel 97-2003 workbook (.xls), read whole by our own record reader
// (biff8.h) when it is opened.
class XlsReader : public WorkbookReader
{
public:
    static std::unique_ptr<XlsReader> open(const QString& fileName, QString* error);

    QStringList sheetNames() const override { return m_names; }
    UsedRange usedRange() const override { return m_cells ? m_cells->usedRange() : UsedRange(); }
    QString cellText(int row, int column) const override;

protected:
    bool loadSheet(int index, QString* error) override;

private:
    explicit XlsReader(const QString& fileName) : WorkbookReader(fileName) {}

    biff8::Workbook m_workbook;
    QStringList m_names;
    const CellGrid* m_cells = nullptr; // of the current sheet
};
