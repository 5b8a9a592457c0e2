#pragma once

#include <QString>
#include <optional>

class Dataset;
class QPrinter;

// A template's paper size (tenths of a millimetre) and feed offsets (screen
// pixels), as the page setup dialog edits them.
struct PageValues {
    int width = 0;
    int height = 0;
    int leftX = 0;
    int topY = 0;
};

// Reads the four boxes of the page setup dialog: width and height whole
// numbers from 1 to 32767, offsets whole numbers (an optional sign). On a
// bad box, nothing and a message that names the box.
std::optional<PageValues> parsePageValues(const QString& width, const QString& height,
                                          const QString& leftX, const QString& topY,
                                          QString* message);

// Asks the printer for a custom page of width/10 × height/10 mm, keeping its
// orientation. False (printer untouched) for a size out of 1..32767.
bool applyPaperSize(QPrinter* printer, int widthTenths, int heightTenths);

// Applies the paper size of the model in use (its row, else the first row
// of its name) to printer before a print job and leaves TB_Model on that
// row. False, with the printer untouched, when no row bears the model's
// name or its size is out of range.
bool Page_Setup(Dataset* tbModel, qint64 modelRow, const QString& modelName, QPrinter* printer);
// The same on a given table and name.
bool Page_Setup(Dataset* tbModel, const QString& modelName, QPrinter* printer);
