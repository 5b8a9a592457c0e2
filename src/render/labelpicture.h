#pragma once

#include <QImage>
#include <QSqlDatabase>

class Calibration;
class QPainter;
class QString;
class TemplateLayout;

// The picture of a template that prints with its fields: a label drawn or
// scanned whole, printed on blank paper or labels.
namespace LabelPicture
{

// The template's picture when it is set to print (the one it holds, else
// the stored one: TemplateStore::templatePicture), else a null image (also
// when the picture is gone).
QImage load(const TemplateLayout& layout, const QSqlDatabase& db, const QString& appDir);

// Draws it with its corner at the paper's, at its design size (96 per
// inch), moved and scaled as the calibration moves the fields.
void draw(QPainter& painter, const QImage& picture, double dpiX, double dpiY,
          const Calibration& calibration);

} // namespace LabelPicture
