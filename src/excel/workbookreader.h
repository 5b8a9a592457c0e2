#pragma once

#include "excel/cellgrid.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// A cell's place on its sheet, 1-based.
struct CellPosition {
    int row = 0;
    int column = 0;
};

// "B2" for row 2, column 2.
QString cellReference(int row, int column);

// The reason for a cell past kMaxCellCharacters, naming its sheet and place.
QString cellTooLongReason(const QString& sheet, int row, int column);

// A workbook opened for reading: its sheets in workbook order and, for the
// chosen sheet, the used range and the text of any cell. Rows and columns are
// 1-based and absolute (row 1 is the sheet's first row, whatever the used
// range). Cell texts follow celltext.h. Like every reader and writer, it
// throws nothing: a step that fails returns false (or null) with the reason.
class WorkbookReader
{
public:
    virtual ~WorkbookReader();

    // Opens FILE by its extension, in any letter case: .xls, .xlsx or .csv.
    // On failure returns null and sets *error to a message that names the
    // file and says what is wrong.
    static std::unique_ptr<WorkbookReader> open(const QString& fileName, QString* error);
    // The extensions open() accepts, lower case, without the dot.
    static QStringList extensions();
    // The open dialog's filters: every readable kind first, each matching its
    // extension in any letter case.
    static QString fileFilter();

    QString fileName() const { return m_fileName; }
    virtual QStringList sheetNames() const = 0;

    // Makes sheet INDEX (0-based, workbook order) the current one.
    bool selectSheet(int index, QString* error);
    // Makes the sheet called NAME the current one; names compare exactly.
    bool selectSheet(const QString& name, QString* error);
    // -1 while no sheet is chosen.
    int currentSheet() const { return m_current; }

    // Of the current sheet; empty when none is chosen.
    virtual UsedRange usedRange() const = 0;
    // The text of cell (ROW, COLUMN) of the current sheet; empty outside
    // the sheet or when none is chosen.
    virtual QString cellText(int row, int column) const = 0;
    // Cells of the current sheet holding a formula whose result the file
    // did not save (their text is empty), in sheet order.
    virtual const std::vector<CellPosition>& formulasWithoutValue() const;
    // True when the text was decoded in a guessed encoding that may be
    // wrong (a file that is almost UTF-8 read as GB18030).
    virtual bool encodingUncertain() const { return false; }

protected:
    explicit WorkbookReader(const QString& fileName) : m_fileName(fileName) {}
    virtual bool loadSheet(int index, QString* error) = 0;
    // "无法读取文件“NAME”：REASON" for this reader's file.
    QString failure(const QString& reason) const;

private:
    QString m_fileName;
    int m_current = -1;
};

// The message for a file that cannot be read, naming it.
QString workbookFailure(const QString& fileName, const QString& reason);
