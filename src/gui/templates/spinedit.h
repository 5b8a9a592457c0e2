#pragma once

#include <QAbstractSpinBox>

// An integer box with up/down buttons and no bounds. Its text is kept as
// typed (digits, signs and the decimal separator), so that whoever reads it
// decides what is a valid number; the arrows step the whole number by 1.
class SpinEdit : public QAbstractSpinBox
{
    Q_OBJECT
public:
    explicit SpinEdit(QWidget* parent = nullptr);

    void setValue(qint64 value);
    void setText(const QString& text);
    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

protected:
    StepEnabled stepEnabled() const override;
};
