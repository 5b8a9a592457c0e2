#pragma once

#include <QString>

// The number rules of typed recipient and sender data. Each returns the
// reason a value is refused, for the user; an empty text when it may be
// stored. An empty value is always allowed (no number given).

// A mainland mobile: 11 digits, the first a 1.
QString mobileNumberProblem(const QString& mobile);
// A postcode: 6 digits.
QString postCodeProblem(const QString& postCode);
