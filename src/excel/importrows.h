#pragma once

#include "excel/excelmessages.h"

#include <QString>
#include <QStringList>
#include <QVector>

class WorkbookReader;

// The logic of the import that needs no window: the mapping rows,
// the title lookup and the rows to write into the recipient table.

struct ImportField {
    QString caption; // the mapping editor's left text
    QString column;  // the recipient column it fills
};

// The mapping rows, in the editor's fixed order; the shop's order numbers
// last.
const QVector<ImportField>& importFields();
QStringList importCaptions();
QStringList importColumns();
// The mapping row of CAPTION, -1 for none.
int importFieldIndex(const QString& caption);

// TEXT without the guard that shop exports put before long numbers so that
// a spreadsheet keeps them as text: a leading tab or apostrophe, or the
// whole value written as the formula ="...". Any other text as it is.
QString withoutNumberGuard(const QString& text);

// True when every value of a row from ImportRows::next() but its order
// numbers is empty once blanks are trimmed: such a row is no recipient.
bool isBlankImportRow(const QStringList& values);

// What a recipient needs and TITLES (one per mapping row) leaves unmapped:
// "收件人姓名", "手机或固定电话" (either will do), "详细地址", joined with
// "、"; empty when all are mapped.
QString missingRequiredTitles(const QStringList& titles);

// The title row from the input box's answer: a whole number >= 1.
bool parseTitleRow(const QString& answer, int* titleRow);

// The texts of the title row's cells, column 1 to the last used column, in
// column order: what a mapping row's pick list offers.
QStringList titleTexts(const WorkbookReader& sheet, int titleRow);

// The last column whose title-row text equals TITLE exactly; 0 for none.
int ExlGetColno(const WorkbookReader& sheet, int titleRow, const QString& title);

// The rows of the current sheet to import, produced one by one so that a
// caller can show progress and stop. Row i (1 .. count()) is sheet row
// title row + i, down to the last used row of the sheet.
class ImportRows
{
public:
    // Checks the mapping (TITLES: one per mapping row, empty = not imported)
    // and looks up every title's column. SHEET is read as the rows are
    // taken, so it must stay open on the same sheet until then. False, with
    // the message to show, when no sheet is chosen, the title row is not
    // >= 1, every title is empty, a title is not in the title row or a
    // mapped column below it holds a formula without its saved result;
    // nothing is read then.
    bool start(const WorkbookReader& sheet, int titleRow, const QStringList& titles,
               QString* error);

    int count() const { return m_count; }
    int titleRow() const { return m_titleRow; }
    int done() const { return m_done; }
    bool atEnd() const { return m_done >= m_count; }

    // The next row: one text per mapping row, in importColumns() order; a
    // null text for a column without a title, a non-null (maybe empty) one
    // for a mapped column, without its number guard. An entirely empty
    // sheet row gives a row too (see isBlankImportRow).
    QStringList next();

    // The column looked up for each mapping row, 0 for none.
    const QVector<int>& columns() const { return m_columns; }

private:
    const WorkbookReader* m_sheet = nullptr;
    int m_titleRow = 1;
    int m_count = 0;
    int m_done = 0;
    QVector<int> m_columns;
};
