#include "print/barcodepainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QRectF>
#include <memory>
#include <zint.h>

namespace
{

constexpr double kMmPerInch = 25.4;
// Gap between the bars and their digits, in modules.
constexpr double kDigitsGap = 1.0;

struct ZintDelete {
    void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};

bool isLatin1(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() > 0xff)
            return false;
    return true;
}

} // namespace

namespace BarcodePainter
{

std::optional<Symbol> encode(FieldSymbol kind, const QString& value, QString* error)
{
    if (kind == FieldSymbol::Text || value.isEmpty()) {
        if (error)
            *error = QStringLiteral("没有内容");
        return std::nullopt;
    }
    std::unique_ptr<zint_symbol, ZintDelete> z(ZBarcode_Create());
    if (!z)
        return std::nullopt;
    z->symbology = kind == FieldSymbol::Code128 ? BARCODE_CODE128 : BARCODE_QRCODE;
    z->input_mode = UNICODE_MODE;
    z->show_hrt = 0;
    z->output_options |= BARCODE_QUIET_ZONES;
    z->scale = 0.5f; // one vector unit per module
    z->height = 1.0f;
    // Chinese in a QR code goes as UTF-8 with its ECI, which scanners read.
    if (kind == FieldSymbol::Qr && !isLatin1(value))
        z->eci = 26;
    // Level M: a label survives a scuff or a fold.
    if (kind == FieldSymbol::Qr)
        z->option_1 = 2;
    const QByteArray data = value.toUtf8();
    const int encoded = ZBarcode_Encode(
        z.get(), reinterpret_cast<const unsigned char*>(data.constData()), int(data.size()));
    if (encoded >= ZINT_ERROR || ZBarcode_Buffer_Vector(z.get(), 0) >= ZINT_ERROR || !z->vector) {
        if (error)
            *error = QString::fromUtf8(z->errtxt);
        return std::nullopt;
    }
    Symbol s;
    s.dark.setFillRule(Qt::WindingFill);
    for (const zint_vector_rect* r = z->vector->rectangles; r; r = r->next)
        s.dark.addRect(QRectF(r->x, r->y, r->width, r->height));
    s.modules = QSizeF(z->vector->width, z->vector->height);
    s.quietModules = (z->vector->width - z->width) / 2.0;
    if (kind == FieldSymbol::Code128)
        s.digits = value;
    return s;
}

double moduleMm(const FieldFit& fit)
{
    return fit.moduleMm > 0 ? fit.moduleMm : kDefaultModuleMm;
}

double barHeightMm(const FieldFit& fit)
{
    return fit.barHeightMm > 0 ? fit.barHeightMm : kDefaultBarHeightMm;
}

namespace
{

// The symbol's own size in device pixels, digits left out.
QSizeF barsSize(const Symbol& s, FieldSymbol kind, const FieldFit& fit, double dpiX, double dpiY)
{
    const double module = moduleMm(fit);
    const double width = s.modules.width() * module * dpiX / kMmPerInch;
    const double height = kind == FieldSymbol::Code128
                              ? barHeightMm(fit) * dpiY / kMmPerInch
                              : s.modules.height() * module * dpiY / kMmPerInch;
    return QSizeF(width, height);
}

QPointF corner(const QSizeF& bars, const QPointF& place, double boxWidth)
{
    const double spare = boxWidth - bars.width();
    return QPointF(place.x() + (spare > 0 ? spare / 2 : 0), place.y());
}

} // namespace

QRectF symbolRect(const Symbol& s, FieldSymbol kind, const FieldFit& fit, const QPointF& place,
                  double boxWidth, const QFont& font, QPaintDevice* device, double dpiX,
                  double dpiY)
{
    const QSizeF bars = barsSize(s, kind, fit, dpiX, dpiY);
    double height = bars.height();
    if (!s.digits.isEmpty()) {
        const QFontMetricsF fm(font, device);
        height += kDigitsGap * moduleMm(fit) * dpiY / kMmPerInch + fm.height();
    }
    return QRectF(corner(bars, place, boxWidth), QSizeF(bars.width(), height));
}

void draw(QPainter& painter, const Symbol& s, FieldSymbol kind, const FieldFit& fit,
          const QPointF& place, double boxWidth, const QFont& font, double dpiX, double dpiY)
{
    const QSizeF bars = barsSize(s, kind, fit, dpiX, dpiY);
    const QPointF at = corner(bars, place, boxWidth);
    const QColor colour = painter.pen().color();
    painter.save();
    painter.translate(at);
    // Zint's Code 128 is one module high: its bars are stretched to height.
    painter.scale(bars.width() / s.modules.width(), bars.height() / s.modules.height());
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillPath(s.dark, colour);
    painter.restore();
    if (s.digits.isEmpty())
        return;
    const QFont before = painter.font();
    painter.setFont(font);
    const QFontMetricsF fm(font, painter.device());
    const double top = at.y() + bars.height() + kDigitsGap * moduleMm(fit) * dpiY / kMmPerInch;
    const double x = at.x() + (bars.width() - fm.horizontalAdvance(s.digits)) / 2;
    painter.drawText(QPointF(x, top + fm.ascent()), s.digits);
    painter.setFont(before);
}

} // namespace BarcodePainter
