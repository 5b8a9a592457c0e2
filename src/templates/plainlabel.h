#pragma once

#include <QHash>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QVector>

// A plain self-printed label drawn by the program, for a shop without a
// scan of its carrier's form: frame, carrier, a place for the waybill
// number's barcode, recipient and sender boxes with their captions.
namespace PlainLabel
{

constexpr int kMinSideMm = 50;
constexpr int kMaxSideMm = 300;

// The label sizes of thermal printers, in millimetres.
const QVector<QSize>& labelSizes();

// The label at 96 dots per inch (the design surface's scale), white with
// black lines and captions. Sizes from 50 to 300 mm a side.
QImage draw(const QSize& sizeMm);

// Where the fields stand on it, design pixels from its top-left corner, by
// field key; every other field stays hidden.
QHash<QString, QRect> fieldPlaces(const QSize& sizeMm);

// The field that carries the barcode.
QString barcodeKey();

} // namespace PlainLabel
