#pragma once

#include "render/calibration.h"
#include "templates/fieldfitstore.h"
#include "templates/fieldfontstore.h"
#include "templates/templatelayout.h"

#include <QFont>
#include <QPoint>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

class Dataset;
class FitMemo;
class QPaintDevice;
class QPainter;
struct FieldInfo;

// One field of one waybill, ready to draw.
struct RenderField {
    const FieldInfo* field = nullptr;
    QPoint offset;        // design offset from the background's corner, design pixels
    bool visible = false; // the model's <key>_isVis reads exactly "1"
    QString text;
    int width = 0;             // the field's box width, design pixels
    std::optional<QFont> font; // its own font, else the painter's (the print font)
};
using RecordFields = QVector<RenderField>;

// A field that does not print as designed, and why.
struct Misfit {
    enum class Kind {
        Shrunk,       // fitted into its box below 8 pt: prints whole, smaller
        Cut,          // more lines than its box holds even at 6 pt
        TooWide,      // its box is narrower than one character at 6 pt
        OffPaper,     // it leaves the paper
        NotEncodable, // its symbology cannot hold its value: prints as text
    };
    const FieldInfo* field = nullptr;
    Kind kind = Kind::Shrunk;
    double pointSize = 0; // the size a fitted field is drawn at
};
using Misfits = QVector<Misfit>;

namespace RecordRenderer
{

// The 28 fields in the order they are drawn.
const QVector<const FieldInfo*>& drawingOrder();

// Places, widths, visibility and the fields' own fonts from the template,
// texts from the sender's current row and recipient row `row` (its index in
// the table, read without moving the recipients' cursor; out of range gives
// empty texts).
RecordFields collect(const TemplateLayout& layout, Dataset* sender, Dataset* recipient, int row);

// collect() for the rows of one job: what stays the same from row to row
// (visibility, places, widths, fonts, which column) is read once, then each
// call reads one row's texts.
class Collector
{
public:
    Collector(const TemplateLayout& layout, Dataset* sender, Dataset* recipient);
    // The sender's values and those of recipient row `row`.
    RecordFields collect(int row) const;

private:
    Dataset* m_sender;
    Dataset* m_recipient;
    RecordFields m_fields;  // texts empty
    QVector<int> m_columns; // each field's column in its dataset, -1 when not drawn
};

// Draws every visible field whole on one line, the top-left of its character
// cell at the field's place; clear background, nothing clipped, in
// `colour`. A field without a font of its own is drawn in the painter's
// font as it is set. A printer's
// calibration moves and scales the places (never the preview's).
// Fields switched to fit (`fits`) are wrapped and shrunk from their font's
// size into their box instead; text that does not fit even then prints its whole lines that fit,
// the last ending with "…". A fit found in `memo` is not laid out again. Fields set to a symbol are
// drawn as one (BarcodePainter), or as text when their value cannot be encoded.
void drawRecord(QPainter& painter, const RecordFields& fields, const QColor& colour, double dpiX,
                double dpiY, const Calibration& calibration = Calibration(),
                const FieldFits& fits = {}, FitMemo* memo = nullptr);

// Starts encoding the symbols of `fields` on other threads (SymbolsAhead in
// `memo`), for a drawRecord() of the same fields that follows.
void encodeAhead(const RecordFields& fields, const FieldFits& fits, FitMemo& memo);

// Draws one field's text with its top-left at `place` (device pixels) in
// the painter's font (or the field's own) and pen, as drawRecord draws it.
void drawField(QPainter& painter, const RenderField& field, const QPointF& place, double dpiX,
               double dpiY, const FieldFits& fits = {}, FitMemo* memo = nullptr);

// The fields that would leave the page, not fit their box, or be shrunk
// below 8 pt, when drawn with `font` (or their own) on a page of pageWidth × pageHeight device
// pixels of `device`; in drawing order. Fits are kept in `memo` for the
// drawing that follows.
Misfits misfits(const RecordFields& fields, const FieldFits& fits, const QFont& font,
                QPaintDevice* device, double pageWidth, double pageHeight,
                const Calibration& calibration = Calibration(), FitMemo* memo = nullptr);

// The device rectangle a field's text takes: its box when it fits its box,
// else its one line (no calibration, as in the preview), in its own font or
// else `font`.
QRectF textRect(const RenderField& field, const FieldFits& fits, const QFont& font,
                QPaintDevice* device);

} // namespace RecordRenderer
