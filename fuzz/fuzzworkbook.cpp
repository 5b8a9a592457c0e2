#include "fuzzworkbook.h"

#include "excel/workbookreader.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace
{

// Enough to walk a realistic sheet; a huge declared range is the reader's
// business to refuse, not this loop's to crawl through.
constexpr qint64 MaxCellsPerSheet = 200000;

const QTemporaryDir& scratchDir()
{
    static const QTemporaryDir dir;
    if (!dir.isValid())
        std::abort();
    return dir;
}

void readSheet(const WorkbookReader& reader)
{
    const UsedRange range = reader.usedRange();
    qint64 cells = 0;
    for (int row = range.firstRow; row <= range.lastRow(); ++row) {
        for (int column = range.firstColumn; column <= range.lastColumn(); ++column) {
            if (++cells > MaxCellsPerSheet)
                return;
            const QString text = reader.cellText(row, column);
            (void)text.size();
        }
    }
}

} // namespace

int fuzzWorkbook(const char* extension, const uint8_t* data, size_t size)
{
    const QString fileName =
        scratchDir().filePath(QStringLiteral("input.") + QLatin1String(extension));
    {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        if (file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
            std::abort();
    }
    QString error;
    const std::unique_ptr<WorkbookReader> reader = WorkbookReader::open(fileName, &error);
    if (!reader)
        return 0;
    const int sheets = int(reader->sheetNames().size());
    for (int i = 0; i < sheets; ++i) {
        if (reader->selectSheet(i, &error))
            readSheet(*reader);
    }
    return 0;
}
