#pragma once

#include <QValidator>

// The landline boxes take a number as Chinese landlines are written: area
// code and number with or without a dash ("0755-88889999", "075588889999"),
// an extension after a dash or "转" ("010-12345678-123",
// "0755-88889999转123"), the area code in parentheses ("(010)12345678"), a
// leading "+86" and blanks. At most 20 characters; other characters cannot
// be typed. What is typed is kept exactly: nothing is reformatted, and a
// longer value that is already stored is shown whole.
class LandlineValidator : public QValidator
{
    Q_OBJECT
public:
    static constexpr int kMaxLength = 20;

    explicit LandlineValidator(QObject* parent = nullptr) : QValidator(parent) {}
    State validate(QString& input, int& pos) const override;

    static bool isLandlineCharacter(QChar c);
};
