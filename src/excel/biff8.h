#pragma once

#include "cellgrid.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// A reader of Excel 97-2003 workbooks (BIFF8 in a compound file) of our own.
// FreeXL reads the ordinary cells; this reader supplies what FreeXL leaves
// out (formula results, logical and error values) and reads whole workbooks
// that FreeXL refuses.

namespace biff8
{

// Which cells to collect.
enum class Cells {
    All,
    // What FreeXL leaves out or misreads: FORMULA (the cached result),
    // BOOLERR (which FreeXL gives as the numbers 1 and 0) and RSTRING cells;
    // also LABEL cells, and numbers whose format is a date format, so that
    // dates follow our own reading of number formats.
    Supplement,
};

struct Sheet {
    QString name;
    bool worksheet = true; // false for chart sheets and macro sheets
    CellGrid cells;
};

struct Workbook {
    QVector<Sheet> sheets;
    bool date1904 = false;
};

// The "Workbook" stream of a compound file; false and a reason when FILE is
// no compound file, has no such stream or is damaged.
bool workbookStream(const QByteArray& file, QByteArray* stream, QString* reason);

// Reads a whole .xls file held in FILE.
bool read(const QByteArray& file, Cells which, Workbook* workbook, QString* reason);

} // namespace biff8
