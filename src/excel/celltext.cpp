#include "excel/celltext.h"

#include <QDate>
#include <QList>
#include <QRegularExpression>

#include <algorithm>
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
    const QString time = elapsedText(seconds % 86400);
    if (kind == DateKind::Time)
        return time;

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

namespace
{

// The first section of a format code: up to the first ';' outside quotes.
QString firstSection(const QString& code, bool* more)
{
    bool quoted = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char('\\'))
            ++i;
        else if (!quoted && c == QLatin1Char(';')) {
            *more = true;
            return code.left(i);
        }
    }
    *more = false;
    return code;
}

using DigitPattern = NumberFormat::Digits;

// A fixed-digit format such as "000000", "0.00" or "#,##0.0#", colours
// and conditions left out.
bool digitPatternOf(const QString& section, DigitPattern* pattern)
{
    QString bare;
    for (qsizetype i = 0; i < section.size(); ++i) {
        if (section.at(i) == QLatin1Char('[')) {
            const qsizetype close = section.indexOf(QLatin1Char(']'), i);
            if (close < 0)
                return false;
            i = close;
            continue;
        }
        bare.append(section.at(i));
    }
    static const QRegularExpression digits(QStringLiteral("^([#0,]*[#0])?(\\.([0#]*))?$"));
    const QRegularExpressionMatch match = digits.match(bare);
    if (bare.isEmpty() || !match.hasMatch() || bare == QLatin1String("."))
        return false;
    const QString whole = match.captured(1);
    const QString decimals = match.captured(3);
    pattern->integerDigits = int(whole.count(QLatin1Char('0')));
    pattern->grouping = whole.contains(QLatin1Char(','));
    pattern->minDecimals = int(decimals.count(QLatin1Char('0')));
    pattern->maxDecimals = int(decimals.size());
    return true;
}

// VALUE as PATTERN shows it: first to the 15 significant digits a
// spreadsheet keeps, then rounded half away from zero to the decimals shown.
QString digitPatternText(double value, const DigitPattern& pattern)
{
    if (!std::isfinite(value))
        return QStringLiteral("#NUM!");
    // "d.dddddddddddddde±x": 15 digits, the point after POINT of them.
    const QString e = QString::number(std::abs(value), 'e', 14);
    const qsizetype at = e.indexOf(QLatin1Char('e'));
    QString digits = e.left(1) + e.mid(2, at - 2);
    int point = e.mid(at + 1).toInt() + 1;
    const int keep = point + pattern.maxDecimals;
    if (keep < 0) {
        digits.clear();
    } else if (keep < digits.size()) {
        const bool up = digits.at(keep) >= QLatin1Char('5');
        digits.truncate(keep);
        if (up) {
            qsizetype i = digits.size() - 1;
            for (; i >= 0 && digits.at(i) == QLatin1Char('9'); --i)
                digits[i] = QLatin1Char('0');
            if (i >= 0) {
                digits[i] = QChar(digits.at(i).unicode() + 1);
            } else {
                digits.prepend(QLatin1Char('1'));
                ++point;
            }
        }
    }
    QString whole;
    QString fraction;
    if (digits.isEmpty()) {
        // rounded away: nothing but zeros
    } else if (point <= 0) {
        fraction = QString(-point, QLatin1Char('0')) + digits;
    } else if (point >= digits.size()) {
        whole = digits + QString(point - digits.size(), QLatin1Char('0'));
    } else {
        whole = digits.left(point);
        fraction = digits.mid(point);
    }
    fraction.truncate(pattern.maxDecimals);
    while (fraction.size() > pattern.minDecimals && fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    fraction = fraction.leftJustified(pattern.minDecimals, QLatin1Char('0'));
    while (whole.startsWith(QLatin1Char('0')))
        whole.remove(0, 1);
    whole = whole.rightJustified(pattern.integerDigits, QLatin1Char('0'));
    if (pattern.grouping) {
        for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
            whole.insert(i, QLatin1Char(','));
    }
    // "#.##" leaves both sides out of a zero; "0" is the least to show.
    QString text = whole;
    if (!fraction.isEmpty())
        text += QLatin1Char('.') + fraction;
    if (text.isEmpty())
        text = QStringLiteral("0");
    const bool zero = std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c == QLatin1Char('0') || c == QLatin1Char('.') || c == QLatin1Char(',');
    });
    return value < 0 && !zero ? QLatin1Char('-') + text : text;
}

QString padded(qint64 number, int width)
{
    return QString::number(number).rightJustified(width, QLatin1Char('0'));
}

// A serial time as a time format's first section shows it: the time of day,
// or with a bracketed unit ("[h]", "[mm]", "[ss]") the time elapsed in it.
QString timeText(double serial, const QString& code)
{
    if (!std::isfinite(serial) || serial < 0 || serial >= 2958466)
        return excelNumberText(serial);

    enum Kind { Literal, Hours, Minutes, Seconds, Fraction, AmPm, AP, ChineseAmPm };
    struct Token {
        Kind kind;
        int width = 0;
        bool elapsed = false;
        QString text;
    };
    QList<Token> tokens;
    int fractionDigits = 0;
    bool twelveHours = false;
    auto run = [&code](qsizetype i, QChar letter) {
        qsizetype end = i;
        while (end < code.size() && code.at(end).toLower() == letter)
            ++end;
        return end - i;
    };
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        const QChar lower = c.toLower();
        if (c == QLatin1Char('"')) {
            qsizetype close = code.indexOf(QLatin1Char('"'), i + 1);
            if (close < 0)
                close = code.size();
            tokens.append({Literal, 0, false, code.mid(i + 1, close - i - 1)});
            i = close;
        } else if (c == QLatin1Char('\\') && i + 1 < code.size()) {
            tokens.append({Literal, 0, false, code.at(++i)});
        } else if (c == QLatin1Char('_') && i + 1 < code.size()) {
            tokens.append({Literal, 0, false, QStringLiteral(" ")});
            ++i;
        } else if (c == QLatin1Char('*') && i + 1 < code.size()) {
            ++i;
        } else if (c == QLatin1Char('[')) {
            qsizetype close = code.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0)
                close = code.size();
            const QString inside = code.mid(i + 1, close - i - 1).toLower();
            const QChar unit = inside.isEmpty() ? QChar() : inside.at(0);
            if (!inside.isEmpty() && inside.count(unit) == inside.size()) {
                if (unit == QLatin1Char('h'))
                    tokens.append({Hours, int(inside.size()), true, {}});
                else if (unit == QLatin1Char('m'))
                    tokens.append({Minutes, int(inside.size()), true, {}});
                else if (unit == QLatin1Char('s'))
                    tokens.append({Seconds, int(inside.size()), true, {}});
            }
            i = close;
        } else if (code.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            tokens.append({AmPm, 0, false, {}});
            twelveHours = true;
            i += 4;
        } else if (code.mid(i, 3).compare(QLatin1String("A/P"), Qt::CaseInsensitive) == 0) {
            tokens.append({AP, 0, false, code.mid(i, 3)});
            twelveHours = true;
            i += 2;
        } else if (code.mid(i, 5) == QStringLiteral("上午/下午")) {
            tokens.append({ChineseAmPm, 0, false, {}});
            twelveHours = true;
            i += 4;
        } else if (lower == QLatin1Char('h') || lower == QLatin1Char('m') ||
                   lower == QLatin1Char('s')) {
            const qsizetype n = run(i, lower);
            const Kind kind = lower == QLatin1Char('h')   ? Hours
                              : lower == QLatin1Char('m') ? Minutes
                                                          : Seconds;
            tokens.append({kind, int(n), false, {}});
            i += n - 1;
            if (kind == Seconds && i + 1 < code.size() && code.at(i + 1) == QLatin1Char('.')) {
                const qsizetype zeros = run(i + 2, QLatin1Char('0'));
                if (zeros > 0) {
                    fractionDigits = int(std::min<qsizetype>(zeros, 3));
                    tokens.append({Fraction, fractionDigits, false, {}});
                    i += 1 + zeros;
                }
            }
        } else {
            tokens.append({Literal, 0, false, c});
        }
    }

    qint64 scale = 1;
    for (int i = 0; i < fractionDigits; ++i)
        scale *= 10;
    const qint64 ticks = std::llround(serial * 86400.0 * double(scale));
    const qint64 seconds = ticks / scale;
    // A bracketed unit counts on past a day (and past its larger units);
    // the others count within the day, hour and minute.
    const qint64 hour = seconds / 3600 % 24;
    QString text;
    for (const Token& token : std::as_const(tokens)) {
        switch (token.kind) {
        case Literal:
            text += token.text;
            break;
        case Hours:
            if (token.elapsed)
                text += padded(seconds / 3600, token.width);
            else if (twelveHours)
                text += padded(hour % 12 == 0 ? 12 : hour % 12, std::min(token.width, 2));
            else
                text += padded(hour, std::min(token.width, 2));
            break;
        case Minutes:
            text += padded(token.elapsed ? seconds / 60 : seconds / 60 % 60,
                           token.elapsed ? token.width : std::min(token.width, 2));
            break;
        case Seconds:
            text += padded(token.elapsed ? seconds : seconds % 60,
                           token.elapsed ? token.width : std::min(token.width, 2));
            break;
        case Fraction:
            text += QLatin1Char('.') + padded(ticks % scale, token.width);
            break;
        case AmPm:
            text += hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            break;
        case AP: {
            const QString letters = token.text; // "A/P" or "a/p": the case is kept
            text += hour < 12 ? letters.at(0) : letters.at(2);
            break;
        }
        case ChineseAmPm:
            text += hour < 12 ? QStringLiteral("上午") : QStringLiteral("下午");
            break;
        }
    }
    return text;
}

} // namespace

NumberFormat numberFormatOf(const QString& formatCode)
{
    NumberFormat format;
    format.kind = dateKindOfFormat(formatCode);
    const QString section = firstSection(formatCode, &format.negativeSection);
    if (format.kind == DateKind::Time)
        format.code = section;
    else if (format.kind == DateKind::None)
        format.hasDigits = digitPatternOf(section, &format.digits);
    return format;
}

NumberFormat builtinNumberFormat(int formatId)
{
    // The codes of the built-in formats that show more than General does;
    // 32 to 35 as Chinese (PRC) Excel writes them.
    switch (formatId) {
    case 1:
        return numberFormatOf(QStringLiteral("0"));
    case 2:
        return numberFormatOf(QStringLiteral("0.00"));
    case 3:
        return numberFormatOf(QStringLiteral("#,##0"));
    case 4:
        return numberFormatOf(QStringLiteral("#,##0.00"));
    case 18:
        return numberFormatOf(QStringLiteral("h:mm AM/PM"));
    case 19:
        return numberFormatOf(QStringLiteral("h:mm:ss AM/PM"));
    case 20:
        return numberFormatOf(QStringLiteral("h:mm"));
    case 21:
        return numberFormatOf(QStringLiteral("h:mm:ss"));
    case 32:
        return numberFormatOf(QStringLiteral("h\"时\"mm\"分\""));
    case 33:
        return numberFormatOf(QStringLiteral("h\"时\"mm\"分\"ss\"秒\""));
    case 34:
        return numberFormatOf(QStringLiteral("上午/下午h\"时\"mm\"分\""));
    case 35:
        return numberFormatOf(QStringLiteral("上午/下午h\"时\"mm\"分\"ss\"秒\""));
    case 45:
        return numberFormatOf(QStringLiteral("mm:ss"));
    case 46:
        return numberFormatOf(QStringLiteral("[h]:mm:ss"));
    case 47:
        return numberFormatOf(QStringLiteral("mm:ss.0"));
    default:
        NumberFormat format;
        format.kind = dateKindOfBuiltinFormat(formatId);
        return format;
    }
}

QString excelValueText(double value, bool date1904, const NumberFormat& format)
{
    switch (format.kind) {
    case DateKind::None:
        if (!format.hasDigits || (value < 0 && format.negativeSection))
            return excelNumberText(value);
        return digitPatternText(value, format.digits);
    case DateKind::Time:
        if (!format.code.isEmpty())
            return timeText(value, format.code);
        return excelDateText(value, date1904, format.kind);
    case DateKind::Date:
    case DateKind::DateTime:
        break;
    }
    return excelDateText(value, date1904, format.kind);
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
