#pragma once

#include <QString>

// The texts of the Excel import and export, for the mapping dialog, the
// recipient tab and `waylark import` / `waylark export` alike.

// Import, before and after the rows.
QString importReadErrorMessage(const QString& reason); // a workbook or sheet cannot be read
QString importFailedMessage(const QString& reason);    // the table could not take the rows
QString importCanceledMessage();
// "数据导入成功！" and, on a second line, how many rows came in.
QString importCountMessage(int rows);
QString importProgressText(int done, int total); // "正在导入第 n / m 行"

// The mapping dialog and the title row.
QString importNoSheetMessage();     // "确定" before a sheet is chosen
QString importNoTitlesMessage();    // all fifteen titles empty (two lines)
QString importBadTitleRowMessage(); // title row not a whole number >= 1
QString importDoneMessage();        // "数据导入成功！"
// Added to a missing title's message when the file's encoding was a guess.
QString importEncodingHint();
// CELL ("B2") of a mapped column holds a formula whose result was not saved.
QString importFormulaWithoutValueMessage(const QString& cell);

// "文件" + path + "导出成功！"
QString exportDoneMessage(const QString& fileName);

// A reader or writer that could not get memory.
QString outOfMemory(); // "内存不足。"
// A workbook of Excel 95 or older, which the reader does not take.
QString oldWorkbookMessage();

// Every row below the title row was blank: nothing imported, nothing lost.
QString importNoRowsMessage(int titleRow);
// MISSING (missingRequiredTitles) has no column: the dialog's wording and
// the command line's, which tells how to map by hand.
QString importMissingTitlesMessage(const QString& missing);
QString importMissingMapMessage(const QString& missing);
// The question before writing, once replacing or appending is chosen:
// EXISTING recipients are in the table, the rows come from SHEET.
QString importReplaceQuestion(int existing, const QString& sheet);
QString importAppendQuestion(int existing, const QString& sheet);
