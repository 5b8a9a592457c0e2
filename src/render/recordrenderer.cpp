#include "render/recordrenderer.h"

#include "data/dataset.h"
#include "render/barcodepainter.h"
#include "render/fitmemo.h"
#include "render/printgeometry.h"
#include "render/textfit.h"
#include "templates/fieldcatalogue.h"

#include <QFontMetricsF>
#include <QPainter>
#include <limits>

namespace RecordRenderer
{

const QVector<const FieldInfo*>& drawingOrder()
{
    static const QVector<const FieldInfo*> order = [] {
        const char* keys[] = {"S_Name",     "S_Company",     "S_Address", "S_Mobile",  "S_Phone",
                              "S_Contents", "A_Name",        "A_Company", "A_Address", "A_Mobile",
                              "A_Phone",    "A_Disrination", "S_Prvince", "S_City",    "S_Country",
                              "S_PostCode", "S_Departure",   "A_Prvince", "A_City",    "A_Country",
                              "A_PostCode", "A_Custom1",     "A_Custom2", "A_Custom3", "A_Custom4",
                              "A_Custom5",  "A_WayBillNo",   "A_ExpName"};
        QVector<const FieldInfo*> v;
        for (const char* k : keys)
            v << FieldCatalogue::byKey(QString::fromLatin1(k));
        return v;
    }();
    return order;
}

namespace
{

// The fields as the template lays them out, without texts.
RecordFields layOut(const TemplateLayout& layout)
{
    const FieldFonts& fonts = layout.fonts;
    RecordFields out;
    out.reserve(FieldCatalogue::kCount);
    for (const FieldInfo* f : drawingOrder()) {
        RenderField r;
        r.field = f;
        r.visible = layout.field(f->number - 1).visible;
        if (r.visible) {
            r.offset = layout.designOffset(*f);
            r.width = layout.designWidth(*f);
            const auto own = fonts.constFind(f->key);
            if (own != fonts.constEnd())
                r.font = *own;
        }
        out.push_back(r);
    }
    return out;
}

} // namespace

RecordFields collect(const TemplateLayout& layout, Dataset* sender, Dataset* recipient, int row)
{
    return Collector(layout, sender, recipient).collect(row);
}

Collector::Collector(const TemplateLayout& layout, Dataset* sender, Dataset* recipient)
    : m_sender(sender), m_recipient(recipient), m_fields(layOut(layout))
{
    for (const RenderField& r : std::as_const(m_fields))
        m_columns << (r.visible
                          ? (r.field->isSender() ? sender : recipient)->fieldIndex(r.field->column)
                          : -1);
}

RecordFields Collector::collect(int row) const
{
    RecordFields out = m_fields;
    for (int i = 0; i < out.size(); ++i) {
        RenderField& r = out[i];
        if (!r.visible)
            continue;
        if (r.field->isSender()) {
            if (m_sender->recNo() < 0)
                continue;
            r.text = m_columns[i] >= 0 ? Field(m_sender, m_columns[i]).asString()
                                       : m_sender->fieldByName(r.field->column).asString();
        } else if (m_columns[i] >= 0 && row >= 0 && row < m_recipient->recordCount()) {
            r.text = m_recipient->cellText(row, m_columns[i]);
        }
    }
    return out;
}

namespace
{

// A fitted field's box in device pixels, at its (calibrated) place.
QRectF fitBox(const RenderField& r, const FieldFit& fit, const QPointF& place,
              const QFontMetricsF& lineMetrics, double dpiX, double dpiY)
{
    const double height =
        fit.height > 0 ? PrintGeometry::toDevice(fit.height, dpiY) : lineMetrics.height();
    return QRectF(place, QSizeF(PrintGeometry::toDevice(r.width, dpiX), height));
}

const FieldFit* fitOf(const FieldFits& fits, const RenderField& r)
{
    const auto it = fits.constFind(r.field->key);
    return it != fits.constEnd() && it->fit ? &*it : nullptr;
}

// The field's symbol setting when it is drawn as one.
const FieldFit* symbolOf(const FieldFits& fits, const RenderField& r)
{
    const auto it = fits.constFind(r.field->key);
    return it != fits.constEnd() && it->symbol != FieldSymbol::Text ? &*it : nullptr;
}

// No line of TEXT is wider than this: one widest character of the font more
// than it has characters. Measuring a line shapes it, which costs as much
// as drawing it; a text with a character from another font, or a font with
// spacing added, is measured.
double widthBound(const QString& text, const QFont& font, const QFontMetricsF& fm)
{
    if (font.letterSpacing() != 0 || font.wordSpacing() != 0)
        return std::numeric_limits<double>::infinity();
    qsizetype characters = 0;
    for (const char32_t c : QStringView(text).toUcs4()) {
        if (!fm.inFontUcs4(c))
            return std::numeric_limits<double>::infinity();
        ++characters;
    }
    return double(characters + 1) * fm.maxWidth();
}

} // namespace

void drawRecord(QPainter& painter, const RecordFields& fields, const QColor& colour, double dpiX,
                double dpiY, const Calibration& calibration, const FieldFits& fits, FitMemo* memo)
{
    painter.setPen(colour);
    painter.setBrush(Qt::NoBrush);
    painter.setBackgroundMode(Qt::TransparentMode);
    for (const RenderField& r : fields) {
        if (!r.visible || r.text.isEmpty())
            continue;
        const QPointF p =
            calibration.apply(PrintGeometry::devicePoint(r.offset, dpiX, dpiY), dpiX, dpiY);
        drawField(painter, r, p, dpiX, dpiY, fits, memo);
    }
}

void encodeAhead(const RecordFields& fields, const FieldFits& fits, FitMemo& memo)
{
    QVector<SymbolsAhead::Request> row;
    for (const RenderField& r : fields)
        if (r.visible && !r.text.isEmpty())
            if (const FieldFit* symbol = symbolOf(fits, r))
                row.push_back({symbol->symbol, r.text});
    memo.symbols().encode(row);
}

void drawField(QPainter& painter, const RenderField& r, const QPointF& p, double dpiX, double dpiY,
               const FieldFits& fits, FitMemo* memo)
{
    const QFont before = painter.font();
    const QFont font = r.font ? *r.font : before;
    if (const FieldFit* symbol = symbolOf(fits, r))
        if (const auto encoded = memo ? memo->symbols().take(symbol->symbol, r.text)
                                      : BarcodePainter::encode(symbol->symbol, r.text)) {
            BarcodePainter::draw(painter, *encoded, symbol->symbol, *symbol, p,
                                 PrintGeometry::toDevice(r.width, dpiX), font, dpiX, dpiY);
            return;
        }
    QFont drawn = font;
    QStringList lines(r.text);
    QPointF at = p;
    // Setting the painter's font anew costs a font lookup at the next text.
    bool ownFont = r.font.has_value();
    if (const FieldFit* fit = fitOf(fits, r)) {
        const QFontMetricsF metrics(font, painter.device());
        const QRectF box = fitBox(r, *fit, p, metrics, dpiX, dpiY);
        const TextFit::Result fitted =
            memo ? memo->take(r.text, box.width(), box.height(), font, painter.device())
                 : TextFit::fit(r.text, box.width(), box.height(), font, painter.device());
        drawn = fitted.font;
        lines = fitted.printed;
        at = box.topLeft();
        ownFont = true;
    }
    if (ownFont)
        painter.setFont(drawn);
    const QFontMetricsF fm(drawn, painter.device());
    double y = at.y() + fm.ascent();
    for (const QString& line : std::as_const(lines)) {
        painter.drawText(QPointF(at.x(), y), line);
        y += fm.lineSpacing();
    }
    if (ownFont)
        painter.setFont(before);
}

Misfits misfits(const RecordFields& fields, const FieldFits& fits, const QFont& font,
                QPaintDevice* device, double pageWidth, double pageHeight,
                const Calibration& calibration, FitMemo* memo)
{
    Misfits out;
    const double dpiX = device->logicalDpiX();
    const double dpiY = device->logicalDpiY();
    // Made for the device once, not for every field.
    const QFont printFont(font, device);
    const QFontMetricsF printMetrics(printFont, device);
    for (const RenderField& r : fields) {
        if (!r.visible || r.text.isEmpty())
            continue;
        const QFont& own = r.font ? *r.font : printFont;
        const QFontMetricsF metrics = r.font ? QFontMetricsF(own, device) : printMetrics;
        const QPointF p =
            calibration.apply(PrintGeometry::devicePoint(r.offset, dpiX, dpiY), dpiX, dpiY);
        Misfit m;
        m.field = r.field;
        m.pointSize = own.pointSizeF();
        const FieldFit* symbol = symbolOf(fits, r);
        const auto encoded =
            symbol ? BarcodePainter::measure(symbol->symbol, r.text) : std::nullopt;
        if (symbol && !encoded) {
            m.kind = Misfit::Kind::NotEncodable;
        } else if (encoded) {
            const QRectF box = BarcodePainter::symbolRect(*encoded, symbol->symbol, *symbol, p,
                                                          PrintGeometry::toDevice(r.width, dpiX),
                                                          own, device, dpiX, dpiY);
            if (box.right() <= pageWidth && box.bottom() <= pageHeight)
                continue;
            m.kind = Misfit::Kind::OffPaper;
        } else if (const FieldFit* fit = fitOf(fits, r)) {
            const QRectF box = fitBox(r, *fit, p, metrics, dpiX, dpiY);
            const TextFit::Result fitted =
                memo ? memo->fit(r.text, box.width(), box.height(), own, device)
                     : TextFit::fit(r.text, box.width(), box.height(), own, device);
            m.pointSize = fitted.font.pointSizeF();
            if (box.right() > pageWidth || box.bottom() > pageHeight)
                m.kind = Misfit::Kind::OffPaper;
            else if (fitted.cut())
                m.kind = Misfit::Kind::Cut;
            else if (fitted.overflowed)
                m.kind = Misfit::Kind::TooWide;
            else if (m.pointSize < TextFit::kReadablePointSize && m.pointSize < own.pointSizeF())
                m.kind = Misfit::Kind::Shrunk; // a field set small on purpose is not
            else
                continue;
        } else if (p.y() + metrics.height() > pageHeight ||
                   (p.x() + widthBound(r.text, own, metrics) > pageWidth &&
                    p.x() + metrics.horizontalAdvance(r.text) > pageWidth)) {
            m.kind = Misfit::Kind::OffPaper;
        } else {
            continue;
        }
        out << m;
    }
    return out;
}

QRectF textRect(const RenderField& r, const FieldFits& fits, const QFont& font,
                QPaintDevice* device)
{
    const double dpiX = device->logicalDpiX();
    const double dpiY = device->logicalDpiY();
    const QFontMetricsF metrics(r.font ? *r.font : font, device);
    const QPointF p = PrintGeometry::devicePoint(r.offset, dpiX, dpiY);
    if (const FieldFit* symbol = symbolOf(fits, r))
        if (const auto encoded = BarcodePainter::measure(symbol->symbol, r.text))
            return BarcodePainter::symbolRect(*encoded, symbol->symbol, *symbol, p,
                                              PrintGeometry::toDevice(r.width, dpiX),
                                              r.font ? *r.font : font, device, dpiX, dpiY);
    if (const FieldFit* fit = fitOf(fits, r))
        return fitBox(r, *fit, p, metrics, dpiX, dpiY);
    return QRectF(p, QSizeF(metrics.horizontalAdvance(r.text), metrics.height()));
}

} // namespace RecordRenderer
