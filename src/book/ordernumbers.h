#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

class Dataset;

// The shop's order numbers a recipient row came from, as kept in its
// Order_No text: one or more, joined by ",".
namespace OrderNumbers
{

// The numbers of a text as typed or imported: separated by commas (ASCII or
// full-width), semicolons or blanks; empty pieces and repeats left out,
// order kept.
QStringList split(const QString& text);
QString join(const QStringList& numbers);

// Every order number the rows of the recipient table hold, read from the
// dataset's snapshot without moving its cursor.
QSet<QString> inTable(const Dataset* att);

// What is left of a row's NUMBERS once those already KNOWN are taken out;
// the new ones are added to KNOWN, so that a second row with the same
// number in one batch counts as known too. PRESENT counts those left out.
QStringList takeNew(const QStringList& numbers, QSet<QString>* known, int* present);

} // namespace OrderNumbers
