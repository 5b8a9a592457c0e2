#pragma once

#include "celltext.h"
#include "workbookreader.h"

#include <QVector>

#include <memory>

class QuaZip;

// An Excel workbook (.xlsx): the zip package read with QuaZip, its parts with
// QXmlStreamReader. Sheets come in the workbook's order; strings shared or
// inline; formulas give their cached values; numbers whose format is a date
// format give dates.
class XlsxReader : public WorkbookReader
{
public:
    static std::unique_ptr<XlsxReader> open(const QString& fileName, QString* error);
    ~XlsxReader() override;

    QStringList sheetNames() const override { return m_names; }
    UsedRange usedRange() const override { return m_cells.usedRange(); }
    QString cellText(int row, int column) const override { return m_cells.text(row, column); }

protected:
    bool loadSheet(int index, QString* error) override;

private:
    explicit XlsxReader(const QString& fileName);
    bool readPart(const QString& path, QByteArray* data, QString* error) const;
    bool readStructure(QString* error);
    bool readSharedStrings(const QString& path, QString* error);
    bool readStyles(const QString& path, QString* error);
    bool readSheet(const QByteArray& xml, QString* error);

    std::unique_ptr<QuaZip> m_zip;
    QStringList m_names;
    QStringList m_sheetPaths;
    QVector<QString> m_strings;
    QVector<DateKind> m_styleKinds; // by cell style (xf) index
    bool m_date1904 = false;
    CellGrid m_cells;
};
