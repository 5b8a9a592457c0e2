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

// What was typed into a masked box, without the blanks the mask leaves
// around it: the text to store. Blanks between digits stay, so a box typed
// with gaps is still seen as incomplete.
inline QString typedText(const QLineEdit* edit)
{
    return maskedText(edit).trimmed();
}

// A click or focus into the blank part of a masked box puts the cursor
// right after the last typed character (at the start of an empty box), so
// the digits typed next are not placed after a run of blanks.
void keepCursorInTypedPart(QLineEdit* edit);
