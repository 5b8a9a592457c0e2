#include "gui/templates/spinedit.h"

#include <QLineEdit>
#include <QLocale>

SpinEdit::SpinEdit(QWidget* parent) : QAbstractSpinBox(parent)
{
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setKeyboardTracking(true);
}

void SpinEdit::setValue(qint64 value)
{
    lineEdit()->setText(QString::number(value));
}

void SpinEdit::setText(const QString& text)
{
    lineEdit()->setText(text);
}

void SpinEdit::stepBy(int steps)
{
    bool ok = false;
    qint64 n = text().trimmed().toLongLong(&ok);
    if (!ok)
        n = 0;
    setValue(n + steps);
}

QValidator::State SpinEdit::validate(QString& input, int&) const
{
    const QChar decimal = locale().decimalPoint().at(0);
    for (const QChar c : input) {
        if (!(c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-') ||
              c == QLatin1Char('.') || c == decimal))
            return QValidator::Invalid;
    }
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const
{
    return StepUpEnabled | StepDownEnabled;
}
