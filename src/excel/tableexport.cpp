#include "excel/tableexport.h"

#include "base/dataerror.h"
#include "data/dataset.h"
#include "data/schema.h"
#include "excel/exportwriter.h"

namespace
{

// The rows of a dataset, walked with its own cursor from the first row on.
class DatasetExportRows : public ExportRows
{
public:
    // The print marks are the program's bookkeeping, not recipient data: the
    // export keeps the table's own columns.
    explicit DatasetExportRows(Dataset* ds) : m_ds(ds)
    {
        const QStringList names = m_ds->fieldNames();
        for (int i = 0; i < names.size(); ++i) {
            if (names.at(i) == Schema::printedAtColumn() ||
                names.at(i) == Schema::printCountColumn())
                continue;
            m_columns << i;
            m_names << names.at(i);
        }
    }

    QStringList columnNames() const override { return m_names; }

    bool nextRow(QStringList* values) override
    {
        if (m_started) {
            m_ds->next();
        } else {
            m_ds->first();
            m_started = true;
        }
        if (m_ds->eof())
            return false;
        const int row = m_ds->recNo();
        const int n = m_columns.size();
        values->resize(n);
        for (int i = 0; i < n; ++i)
            (*values)[i] = m_ds->cellText(row, m_columns.at(i));
        return true;
    }

private:
    Dataset* m_ds;
    QVector<int> m_columns;
    QStringList m_names;
    bool m_started = false;
};

// Keeps views still while the cursor walks and puts it back afterwards.
class CursorKept
{
public:
    explicit CursorKept(Dataset* ds) : m_ds(ds)
    {
        m_ds->disableControls();
        m_mark = m_ds->bookmark();
    }
    ~CursorKept()
    {
        try {
            if (m_mark > 0)
                m_ds->gotoBookmark(m_mark);
        } catch (...) {
        }
        m_ds->enableControls();
    }
    CursorKept(const CursorKept&) = delete;
    CursorKept& operator=(const CursorKept&) = delete;

private:
    Dataset* m_ds;
    Dataset::Bookmark m_mark = -1;
};

} // namespace

void exportTable(Dataset* ds, const QString& fileName, ExportFormat format)
{
    if (!ds->isActive())
        ds->open();
    QString error;
    bool ok = false;
    {
        CursorKept kept(ds);
        DatasetExportRows rows(ds);
        ok = format == ExportFormat::Xlsx ? writeXlsx(fileName, rows, &error)
                                          : writeTabText(fileName, rows, &error);
    }
    if (!ok)
        throw DataError::refusal(error); // the writer's whole message
}

QString exportTextFilter()
{
    return QStringLiteral("Excel表格文件(*.xls)");
}

QString exportXlsxFilter()
{
    return QStringLiteral("Excel工作簿(*.xlsx)");
}

QString exportFileFilter()
{
    return exportTextFilter() + QLatin1String(";;") + exportXlsxFilter();
}

ExportFormat exportFormatFor(const QString& chosen, const QString& selectedFilter)
{
    if (selectedFilter == exportXlsxFilter() ||
        chosen.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        return ExportFormat::Xlsx;
    return ExportFormat::TabText;
}

QString exportPathFor(const QString& chosen, ExportFormat format)
{
    return exportFileName(chosen, format == ExportFormat::Xlsx ? QStringLiteral(".xlsx")
                                                               : QStringLiteral(".xls"));
}
