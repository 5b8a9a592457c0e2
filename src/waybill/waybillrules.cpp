#include "waybill/waybillrules.h"
#include "waybill/waybilldigits.h"

#include <QLatin1String>
#include <limits>

namespace WaybillDigits
{

bool isDigits(QStringView s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

void toDigits(QStringView s, char* buffer)
{
    for (qsizetype i = 0; i < s.size(); ++i)
        buffer[i] = char(s[i].unicode());
}

namespace
{

// Index of the digit that adding one to the serial digits[0, length) raises,
// or -1 when every digit is 9.
int carryPosition(const char* digits, int length)
{
    int i = length - 1;
    while (i >= 0 && digits[i] == '9')
        --i;
    return i;
}

// Adds one at position, rolling the nines to its right over to 0.
void raiseAt(char* digits, int position, int length)
{
    ++digits[position];
    for (int i = position + 1; i < length; ++i)
        digits[i] = '0';
}

// What the SF check digit gains when the serial's digit at 1-based position k,
// holding value, is the one raised. -1 where the carrier's table has no entry.
int sfCheckIncrement(int k, int value)
{
    switch (k) {
    case 11:
        return 9;
    case 10:
        return (value == 3 || value == 6) ? 5 : 6;
    case 9:
        return value % 2 == 0 ? 3 : 2;
    case 8:
        return value % 3 == 0 ? 0 : 9;
    case 7:
        return value == 0 ? 7 : 6;
    case 6:
        return 3;
    case 5:
        return (value == 3 || value == 6) ? 8 : 9;
    case 4:
        return value % 2 == 0 ? 5 : 4;
    default:
        return -1;
    }
}

// UPU S10 check digit of eight serial digits.
char emsCheckDigit(const char* serial)
{
    static const int weights[8] = {8, 6, 4, 2, 3, 5, 9, 7};
    int sum = 0;
    for (int i = 0; i < 8; ++i)
        sum += (serial[i] - '0') * weights[i];
    const int r = sum % 11;
    const int check = r == 1 ? 0 : r == 0 ? 5 : 11 - r;
    return char('0' + check);
}

} // namespace

Step advanceSf(char* digits)
{
    constexpr int serialLength = SfLength - 1;
    const int position = carryPosition(digits, serialLength);
    if (position < 0)
        return Step::OutOfRange;
    const int increment = sfCheckIncrement(position + 1, digits[position] - '0');
    if (increment < 0)
        return Step::EndOfSeries;
    raiseAt(digits, position, serialLength);
    char& check = digits[serialLength];
    check = char('0' + (check - '0' + increment) % 10);
    return Step::Next;
}

Step advanceEms(char* digits)
{
    constexpr int serialLength = EmsLength - 1;
    const int position = carryPosition(digits, serialLength);
    if (position < 0)
        return Step::OutOfRange;
    raiseAt(digits, position, serialLength);
    digits[serialLength] = emsCheckDigit(digits);
    return Step::Next;
}

} // namespace WaybillDigits

using namespace WaybillDigits;

namespace
{

template <int Length, Step (*advance)(char*)> QString nextFixedWidth(const QString& current)
{
    if (current.size() != Length || !isDigits(current))
        return QString();
    char digits[Length];
    toDigits(current, digits);
    if (advance(digits) != Step::Next)
        return QString();
    return QLatin1String(digits, Length);
}

} // namespace

QString get_SfBill(const QString& current)
{
    return nextFixedWidth<SfLength, advanceSf>(current);
}

QString get_EmsBill(const QString& current)
{
    return nextFixedWidth<EmsLength, advanceEms>(current);
}

QString get_CommonBill(const QString& current, int increment)
{
    bool ok = false;
    const qint64 value = isDigits(current) ? current.toLongLong(&ok) : 0;
    if (!ok)
        return QString();
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    if ((increment > 0 && value > max - increment) || (increment < 0 && value < min - increment))
        return QString();
    return QString::number(value + increment);
}
