#include "gui/maskedtext.h"

#include <QEvent>

namespace
{

// The position just after the last character typed into a masked box.
int typedEnd(const QLineEdit* edit)
{
    const QString mask = edit->inputMask();
    const int semicolon = mask.lastIndexOf(QLatin1Char(';'));
    const QChar blank =
        semicolon >= 0 && semicolon + 1 < mask.size() ? mask.at(semicolon + 1) : QLatin1Char(' ');
    const QString shown = edit->displayText();
    int end = shown.size();
    while (end > 0 && shown.at(end - 1) == blank)
        --end;
    return end;
}

class TypedPartCursor : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Focus comes before the press that places the cursor, so the
        // release, before the edit sees it, moves it back.
        const QEvent::Type type = event->type();
        if (type == QEvent::FocusIn || type == QEvent::MouseButtonRelease) {
            auto* edit = static_cast<QLineEdit*>(watched);
            const int end = typedEnd(edit);
            // A selection made in typed digits is the user's to keep.
            const bool selectingTyped = edit->hasSelectedText() && end > 0;
            if (!edit->inputMask().isEmpty() && !selectingTyped && edit->cursorPosition() > end)
                edit->setCursorPosition(end);
        }
        return false;
    }
};

} // namespace

void keepCursorInTypedPart(QLineEdit* edit)
{
    edit->installEventFilter(new TypedPartCursor(edit));
}
