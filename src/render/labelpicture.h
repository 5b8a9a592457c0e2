#pragma once

#include <QImage>

class Calibration;
class DataModule;
class QPainter;
struct Session;

// The picture of a template that prints with its fields: a label drawn or
// scanned whole, printed on blank paper or labels.
namespace LabelPicture
{

// The current template's picture when it is set to print, else a null
// image (also when the file is gone). Throws DataError.
QImage load(DataModule* dm, const Session& session);

// Draws it with its corner at the paper's, at its design size (96 per
// inch), moved and scaled as the calibration moves the fields.
void draw(QPainter& painter, const QImage& picture, double dpiX, double dpiY,
          const Calibration& calibration);

} // namespace LabelPicture
