#pragma once

#include "templates/fieldfitstore.h"

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVector>
#include <optional>

class QFont;
class QPainter;
class QPaintDevice;
class QPointF;

// Code 128 and QR symbols of a field's value, drawn as filled paths (never
// pictures) so that they stay sharp on every printer and in a PDF.
namespace BarcodePainter
{

constexpr double kDefaultModuleMm = 0.33;
constexpr double kMinModuleMm = 0.19;
constexpr double kMaxModuleMm = 2.0;
constexpr double kDefaultBarHeightMm = 12.0;
constexpr double kMinBarHeightMm = 3.0;
constexpr double kMaxBarHeightMm = 100.0;

// A symbol in modules, its quiet zones included; the top-left of the
// quiet zone is (0, 0).
struct Symbol {
    QVector<QRectF> dark; // the bars or dark cells, in modules
    QSizeF modules;       // whole size, quiet zones included
    QString digits;       // the text under a Code 128
    double quietModules;  // left quiet zone
};

// The symbol of `value`, or nothing with zint's reason in `error` when the
// symbology cannot hold it (Code 128 takes only Latin-1, nothing is empty).
std::optional<Symbol> encode(FieldSymbol kind, const QString& value, QString* error = nullptr);
// The same symbol without its bars (`dark` is empty): whether the value can
// be encoded and the symbol's size, which is what the check before printing
// and the design surface need. A QR code's size does not depend on its
// mask, so the costly choice of the best one is skipped.
std::optional<Symbol> measure(FieldSymbol kind, const QString& value);

double moduleMm(const FieldFit& fit);
double barHeightMm(const FieldFit& fit);

// The device rectangle the symbol takes with its quiet zones and digits,
// its corner at `place`, in a box `boxWidth` device pixels wide: a symbol
// narrower than the box stands in its middle, a wider one starts at the
// box's left and is never narrowed.
QRectF symbolRect(const Symbol& symbol, FieldSymbol kind, const FieldFit& fit, const QPointF& place,
                  double boxWidth, const QFont& font, QPaintDevice* device, double dpiX,
                  double dpiY);

// Draws the symbol in the painter's pen colour, the digits of a Code 128 in
// `font` under its bars.
void draw(QPainter& painter, const Symbol& symbol, FieldSymbol kind, const FieldFit& fit,
          const QPointF& place, double boxWidth, const QFont& font, double dpiX, double dpiY);

} // namespace BarcodePainter
