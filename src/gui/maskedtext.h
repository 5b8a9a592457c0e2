#pragma once

#include <QLineEdit>
#include <QString>

// The value of a masked number box: its full length, with a blank in every
// position left empty (Qt's text() would drop them).
inline QString maskedText(const QLineEdit* edit)
{
    QString s = edit->displayText();
    if (!edit->inputMask().isEmpty())
        s.replace(QLatin1Char('_'), QLatin1Char(' '));
    return s;
}
