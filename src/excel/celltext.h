#pragma once

#include <QString>

// How a spreadsheet cell's value becomes the text the import works with. Every
// reader uses these, so the same cell gives the same text from .xls, .xlsx or
// a number typed into a .csv-born sheet.

enum class DateKind { None, Date, Time, DateTime };

// General decimal notation: at most 15 significant digits, no trailing zeros,
// exponent form ("1.23456789012346E+17") only where Excel would use it.
QString excelNumberText(double value);

// A serial date of the 1900 (or 1904) date system as "yyyy-MM-dd",
// "hh:mm:ss" or "yyyy-MM-dd hh:mm:ss", by the kind of its number format.
// A time is elapsed time: 1.5 days give "36:00:00", whether the format
// counts hours past a day ("[h]:mm:ss") or not. Values no date can have
// (negative, too large) give the number text.
QString excelDateText(double serial, bool date1904, DateKind kind);

// The date kind that a number format code shows ("yyyy-mm-dd" is a date,
// "0.00" none); only the first section counts, quoted text and [..] parts
// other than elapsed time ("[h]", "[mm]", "[ss]": a time) are ignored.
DateKind dateKindOfFormat(const QString& formatCode);

// The date kind of a built-in number format id, including the ids that
// Chinese, Japanese and Korean Excel use for its own date and time formats.
DateKind dateKindOfBuiltinFormat(int formatId);

// A number cell's text given the date kind of its format.
QString excelValueText(double value, bool date1904, DateKind kind);

// Excel's error values by their BIFF code: 0x2A gives "#N/A".
QString excelErrorText(int code);

inline QString excelBoolText(bool value)
{
    return value ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}
