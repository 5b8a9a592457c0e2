#pragma once

#include <QString>

class Dataset;
class QPrinter;

// Asks the printer for a custom page of width/10 × height/10 mm, keeping its
// orientation. False (printer untouched) for a size out of 1..32767.
bool applyPaperSize(QPrinter* printer, int widthTenths, int heightTenths);

// Applies the paper size of the model in use (its row, else the first row
// of its name) to printer before a print job and leaves templates on that
// row. False, with the printer untouched, when no row bears the model's
// name or its size is out of range.
bool applyTemplatePaper(Dataset* tbModel, qint64 modelRow, const QString& modelName,
                        QPrinter* printer);
// The same on a given table and name.
bool applyTemplatePaper(Dataset* tbModel, const QString& modelName, QPrinter* printer);
