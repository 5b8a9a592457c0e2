#pragma once

#include "excel/celltext.h"
#include "excel/workbookreader.h"

#include <QSet>
#include <QVector>

#include <functional>
#include <memory>

class QIODevice;
class QXmlStreamReader;
struct zip;

// An Excel workbook (.xlsx): the zip package read with libzip, each part
// inflated as a bounded stream, so that no part is ever held whole; the
// worksheets and shared strings scanned by a small pull scanner, the other
// parts read with QXmlStreamReader. Sheets come in the workbook's order;
// strings shared (kept once) or inline; formulas give their saved values;
// numbers whose format is a date format give dates.
class XlsxReader : public WorkbookReader
{
public:
    static std::unique_ptr<XlsxReader> open(const QString& fileName, QString* error);
    ~XlsxReader() override;

    QStringList sheetNames() const override { return m_names; }
    UsedRange usedRange() const override { return m_cells.usedRange(); }
    QString cellText(int row, int column) const override { return m_cells.text(row, column); }
    const std::vector<CellPosition>& formulasWithoutValue() const override
    {
        return m_formulasWithoutValue;
    }

    // The most a sheet or the shared strings may inflate to, and the most
    // any other part may.
    static constexpr qint64 kMaxLargePart = qint64(1) << 30;
    static constexpr qint64 kMaxSmallPart = qint64(64) << 20;

protected:
    bool loadSheet(int index, QString* error) override;

private:
    using PartParser = std::function<bool(QXmlStreamReader& xml, QString* reason)>;
    using RawPartParser = std::function<bool(QIODevice& part, QString* reason)>;

    explicit XlsxReader(const QString& fileName);
    bool hasPart(const QString& path) const;
    // Streams part PATH through PARSE, inflating at most LIMIT bytes.
    bool readPart(const QString& path, qint64 limit, const PartParser& parse, QString* error) const;
    bool readRawPart(const QString& path, qint64 limit, const RawPartParser& parse,
                     QString* error) const;
    bool readStructure(QString* error);
    bool readSharedStrings(const QString& path, QString* error);
    bool readStyles(const QString& path, QString* error);
    bool readSheet(QXmlStreamReader& xml, const QString& sheetName, QString* reason);
    bool scanSheet(QIODevice& part, const QString& sheetName, QString* reason);
    // One cell's parts as read from the sheet; false for a damaged cell.
    // REASON is set for a refusal that is not damage (a string too long).
    bool storeCell(int row, int column, QStringView type, int style, const QString& value,
                   bool hasValue, const QString& formula, bool hasFormula,
                   const QString& inlineText, QString* reason);
    bool storeShared(int row, int column, uint index, QString* reason);
    void addSharedString(const QString& text, bool tooLong);

    zip* m_zip = nullptr;
    QStringList m_names;
    QStringList m_sheetPaths;
    TextPool m_strings;
    QSet<uint> m_tooLongStrings; // shared strings past a cell's limit, kept empty
    QString m_loadingSheet;
    QVector<NumberFormat> m_styleFormats; // by cell style (xf) index
    bool m_date1904 = false;
    CellGrid m_cells;
    std::vector<CellPosition> m_formulasWithoutValue;
};
