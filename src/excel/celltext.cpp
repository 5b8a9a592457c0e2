#include "excel/celltext.h"

#include <QDate>

#include <cmath>

QString excelNumberText(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("#NUM!");
    if (value == 0)
        return QStringLiteral("0");
    // Whole numbers of up to 15 digits, the most common cells (mobile
    // numbers among them), print the same but far faster as integers.
    if (std::abs(value) < 1e15 && value == std::trunc(value))
        return QString::number(qint64(value));
    QString text = QString::number(value, 'g', 15);
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    if (e >= 0)
        text[e] = QLatin1Char('E');
    return text;
}

namespace
{

// Whole hours (at least two digits), minutes and seconds.
QString elapsedText(qint64 seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QString excelDateText(double serial, bool date1904, DateKind kind)
{
    // Excel's last date is 9999-12-31, serial 2958465.
    if (!std::isfinite(serial) || serial < 0 || serial >= 2958466)
        return excelNumberText(serial);
    const qint64 seconds = std::llround(serial * 86400.0);
    const qint64 days = seconds / 86400;
    // A time is a duration: past a day its hours go on (36:00:00), as
    // elapsed-time formats show them, instead of becoming a date of 1900.
    if (kind == DateKind::Time)
        return elapsedText(seconds);
    const QString time = elapsedText(seconds % 86400);

    QString date;
    if (date1904) {
        date = QDate(1904, 1, 1).addDays(days).toString(Qt::ISODate);
    } else if (days == 60) {
        // Excel counts 1900 as a leap year and shows this day.
        date = QStringLiteral("1900-02-29");
    } else if (days < 60) {
        date = QDate(1899, 12, 31).addDays(days).toString(Qt::ISODate);
    } else {
        date = QDate(1899, 12, 30).addDays(days).toString(Qt::ISODate);
    }
    if (kind == DateKind::Date)
        return date;
    return date + QLatin1Char(' ') + time;
}

DateKind dateKindOfFormat(const QString& formatCode)
{
    bool date = false;
    bool time = false;
    bool month = false;
    const qsizetype n = formatCode.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = formatCode.at(i);
        if (c == QLatin1Char(';'))
            break;
        if (c == QLatin1Char('"')) {
            i = formatCode.indexOf(QLatin1Char('"'), i + 1);
            if (i < 0)
                break;
            continue;
        }
        if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
            ++i; // the next character is shown (or spaced) literally
            continue;
        }
        if (c == QLatin1Char('[')) {
            const qsizetype close = formatCode.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0)
                break;
            const QString inside = formatCode.mid(i + 1, close - i - 1).toLower();
            // [h], [mm], [ss]: elapsed time; anything else is a colour,
            // condition or locale.
            if (!inside.isEmpty() && inside.count(inside.at(0)) == inside.size() &&
                (inside.at(0) == QLatin1Char('h') || inside.at(0) == QLatin1Char('m') ||
                 inside.at(0) == QLatin1Char('s')))
                time = true;
            i = close;
            continue;
        }
        switch (c.toLower().unicode()) {
        case 'y':
        case 'd':
            date = true;
            break;
        case 'h':
        case 's':
            time = true;
            break;
        case 'm':
            month = true;
            break;
        default:
            break;
        }
    }
    // An "m" next to hours or seconds means minutes; alone it is a month.
    if (month && !time)
        date = true;
    if (date && time)
        return DateKind::DateTime;
    if (date)
        return DateKind::Date;
    if (time)
        return DateKind::Time;
    return DateKind::None;
}

DateKind dateKindOfBuiltinFormat(int formatId)
{
    switch (formatId) {
    case 14:
    case 15:
    case 16:
    case 17:
    case 27:
    case 28:
    case 29:
    case 30:
    case 31:
    case 36:
        return DateKind::Date;
    case 18:
    case 19:
    case 20:
    case 21:
    case 32:
    case 33:
    case 34:
    case 35:
    case 45:
    case 46:
    case 47:
        return DateKind::Time;
    case 22:
        return DateKind::DateTime;
    default:
        if (formatId >= 50 && formatId <= 58)
            return DateKind::Date;
        return DateKind::None;
    }
}

QString excelValueText(double value, bool date1904, DateKind kind)
{
    if (kind == DateKind::None)
        return excelNumberText(value);
    return excelDateText(value, date1904, kind);
}

QString excelErrorText(int code)
{
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    case 0x2A:
        return QStringLiteral("#N/A");
    case 0x2B:
        return QStringLiteral("#GETTING_DATA");
    default:
        return QStringLiteral("#VALUE!");
    }
}
