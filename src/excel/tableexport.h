#pragma once

#include <QString>

class Dataset;

// The recipient table written out, as the window's export and `waylark
// export` do it. No widgets.

enum class ExportFormat {
    TabText, // tab-separated GB18030 text under an .xls name
    Xlsx,    // a real Excel workbook
};

// Writes every column of DS, in the table's order (ID included), with a
// header of the column names, then every row from the first to the last.
// Views bound to DS are not updated meanwhile and its current row is the same
// afterwards; a row being typed is posted first, as any cursor move would.
// Throws DataError with a message naming the file when it cannot be written;
// an existing file is then left as it was.
void exportTable(Dataset* ds, const QString& fileName, ExportFormat format = ExportFormat::TabText);

// The save dialog's filters, the text file first (the default).
QString exportTextFilter();
QString exportXlsxFilter();
QString exportFileFilter();

// What the chosen name and filter make: the workbook when the xlsx filter was
// chosen or the name ends in .xlsx, else the text file; FILENAME gets the
// format's extension by exportFileName().
ExportFormat exportFormatFor(const QString& chosen, const QString& selectedFilter);
QString exportPathFor(const QString& chosen, ExportFormat format);
