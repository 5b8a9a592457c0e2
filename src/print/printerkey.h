#pragma once

#include <QString>

class QPrinter;

// The printer a calibration is stored under: "PDF" for PDF output, else the
// CUPS queue's name.
QString printerKey(const QPrinter* printer);
