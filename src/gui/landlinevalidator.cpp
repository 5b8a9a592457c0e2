#include "gui/landlinevalidator.h"

bool LandlineValidator::isLandlineCharacter(QChar c)
{
    static const QString marks = QStringLiteral("-()+ 转");
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || marks.contains(c);
}

QValidator::State LandlineValidator::validate(QString& input, int&) const
{
    if (input.size() > kMaxLength)
        return Invalid;
    for (const QChar c : input)
        if (!isLandlineCharacter(c))
            return Invalid;
    // A number still being typed is kept as it is, like a finished one.
    return Acceptable;
}
