#pragma once

#include "excel/cellgrid.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// A reader of Excel 97-2003 workbooks (BIFF8 in a compound file) of our own:
// every cell kind (shared and inline strings, rich text, numbers, dates by
// their number format, formula results, logical and error values). Every
// size, offset and chain in the file is checked before it is followed.

namespace biff8
{

struct Sheet {
    QString name;
    bool worksheet = true; // false for chart sheets and macro sheets
    CellGrid cells;
};

struct Workbook {
    QVector<Sheet> sheets;
    bool date1904 = false;
};

// Reads a whole .xls file held in FILE; false and a reason when it is no
// BIFF8 workbook or is damaged.
bool read(const QByteArray& file, Workbook* workbook, QString* reason);

} // namespace biff8
