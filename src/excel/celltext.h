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
// "hh:mm:ss" (the time of day) or "yyyy-MM-dd hh:mm:ss", by the kind of its
// number format. Values no date can have (negative, too large) give the
// number text.
QString excelDateText(double serial, bool date1904, DateKind kind);

// The date kind that a number format code shows ("yyyy-mm-dd" is a date,
// "0.00" none); only the first section counts, quoted text and [..] parts
// other than elapsed time ("[h]", "[mm]", "[ss]": a time) are ignored.
DateKind dateKindOfFormat(const QString& formatCode);

// The date kind of a built-in number format id, including the ids that
// Chinese, Japanese and Korean Excel use for its own date and time formats.
DateKind dateKindOfBuiltinFormat(int formatId);

// How a cell style shows a number, worked out once per style. Dates keep
// one plain form ("yyyy-MM-dd"); times and fixed digits are shown as the
// spreadsheets show them: CODE keeps a time format's first section, DIGITS
// a fixed-digit format ("000000", "#,##0.00"). Anything else is General.
struct NumberFormat {
    struct Digits {
        int integerDigits = 0; // shown even when zero
        int minDecimals = 0;
        int maxDecimals = 0;
        bool grouping = false;
    };
    DateKind kind = DateKind::None;
    QString code;
    bool hasDigits = false;
    Digits digits;
    bool negativeSection = false; // values below zero have a section of their own
};

NumberFormat numberFormatOf(const QString& formatCode);
NumberFormat builtinNumberFormat(int formatId);

// A number cell's text under its style's format: "000000" keeps a
// postcode's leading zero, "0.00" two decimals, "h:mm AM/PM" gives "4:17 PM",
// and only bracketed hours, minutes or seconds ("[h]:mm:ss") count past a
// day. Other formats give the General text.
QString excelValueText(double value, bool date1904, const NumberFormat& format);

// Excel's error values by their BIFF code: 0x2A gives "#N/A".
QString excelErrorText(int code);

inline QString excelBoolText(bool value)
{
    return value ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}
