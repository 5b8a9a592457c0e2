#pragma once

#include <QString>

class Dataset;
class QPrinter;

namespace ModelRow {

// Moves the model table to the first row whose Model_Name equals name
// exactly; false (the table past its end) when none does.
bool locate(Dataset* model, const QString& name);

// Asks the printer for a custom page of width × height tenths of a millimetre.
void applyPaper(QPrinter* printer, qint64 widthTenths, qint64 heightTenths);

} // namespace ModelRow
