#pragma once

#include "render/calibration.h"
#include "render/recordrenderer.h"

#include <QImage>
#include <QSizeF>

class QPainter;
class QPrinter;
class DataModule;
struct Session;

// "打印测试页": one page on the template's paper to hold against a real form:
// the background picture at its design size, every visible field's text (the
// current rows' values, else its caption) at its calibrated place with a
// cross at its corner, and millimetre rulers along the top and left edges.
class TestSheet
{
public:
    // Draws the sheet on a device of dpiX × dpiY whose origin is the page's
    // top-left corner; paper is the page's size in millimetres.
    // A field set to a symbol is drawn as one when it has a value.
    static void draw(QPainter& painter, const QImage& background, const RecordFields& fields,
                     double dpiX, double dpiY, const Calibration& calibration, const QSizeF& paper,
                     const FieldFits& fits = {});

    // Prints the sheet for the current model's row (the printer's paper
    // already set) in the template's fonts with the given calibration.
    // Returns why it failed, or an empty text.
    static QString print(QPrinter* printer, DataModule* dm, const TemplateLayout& layout,
                         const Session& session, const Calibration& calibration);
};
