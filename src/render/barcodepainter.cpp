#include "render/barcodepainter.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QRectF>
#include <memory>
#include <zint.h>

namespace
{

constexpr double kMmPerInch = 25.4;
// Gap between the bars and their digits, in modules.
constexpr double kDigitsGap = 1.0;
// The quiet zones the symbologies need, in modules (ISO/IEC 15417 and 18004).
constexpr int kCode128QuietZone = 10;
constexpr int kQrQuietZone = 4;

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

namespace
{

using ZintSymbol = std::unique_ptr<zint_symbol, ZintDelete>;

// MEASURE fixes the QR mask: choosing the best of the eight is most of the
// cost of a QR code and changes nothing of its size.
ZintSymbol encoded(FieldSymbol kind, const QString& value, bool measure, QString* error)
{
    if (kind == FieldSymbol::Text || value.isEmpty()) {
        if (error)
            *error = QStringLiteral("没有内容");
        return nullptr;
    }
    ZintSymbol z(ZBarcode_Create());
    if (!z)
        return nullptr;
    const bool qr = kind == FieldSymbol::Qr;
    z->symbology = qr ? BARCODE_QRCODE : BARCODE_CODE128;
    z->input_mode = UNICODE_MODE;
    // Chinese in a QR code goes as UTF-8 with its ECI, which scanners read.
    if (qr && !isLatin1(value))
        z->eci = 26;
    // Level M: a label survives a scuff or a fold.
    if (qr)
        z->option_1 = 2;
    if (qr && measure)
        z->option_3 = 1 << 8; // mask 0
    const QByteArray data = value.toUtf8();
    if (ZBarcode_Encode(z.get(), reinterpret_cast<const unsigned char*>(data.constData()),
                        int(data.size())) >= ZINT_ERROR) {
        if (error)
            *error = QString::fromUtf8(z->errtxt);
        return nullptr;
    }
    return z;
}

} // namespace

std::optional<Symbol> measure(FieldSymbol kind, const QString& value)
{
    const ZintSymbol z = encoded(kind, value, true, nullptr);
    if (!z)
        return std::nullopt;
    const bool qr = kind == FieldSymbol::Qr;
    Symbol s;
    s.quietModules = qr ? kQrQuietZone : kCode128QuietZone;
    s.modules = QSizeF(z->width + 2 * s.quietModules, qr ? z->rows + 2 * s.quietModules : 1);
    if (!qr)
        s.digits = value;
    return s;
}

std::optional<Symbol> encode(FieldSymbol kind, const QString& value, QString* error)
{
    const ZintSymbol z = encoded(kind, value, false, error);
    if (!z)
        return std::nullopt;
    const bool qr = kind == FieldSymbol::Qr;
    // The modules straight from the matrix (bit x % 8 of byte x / 8 of a
    // row): far cheaper than zint's vector output, same rectangles.
    const int quiet = qr ? kQrQuietZone : kCode128QuietZone;
    const auto dark = [&](int row, int x) { return (z->encoded_data[row][x >> 3] >> (x & 7)) & 1; };
    Symbol s;
    s.quietModules = quiet;
    s.modules = QSizeF(z->width + 2 * quiet, qr ? z->rows + 2 * quiet : 1);
    // Runs of dark modules per row; a run that repeats the one above it
    // grows that one downwards.
    QHash<quint32, int> open; // (start << 16 | end) of the row above → rect
    for (int row = 0; row < z->rows; ++row) {
        QHash<quint32, int> next;
        for (int x = 0; x < z->width;) {
            if (!dark(row, x)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < z->width && dark(row, x))
                ++x;
            const quint32 run = quint32(start) << 16 | quint32(x);
            const auto above = open.constFind(run);
            if (above != open.constEnd()) {
                s.dark[*above].setBottom(s.dark[*above].bottom() + 1);
                next.insert(run, *above);
            } else {
                next.insert(run, int(s.dark.size()));
                s.dark << QRectF(start + quiet, qr ? row + quiet : 0, x - start, 1);
            }
        }
        open.swap(next);
    }
    if (!qr)
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
    // A Code 128 is one module high: its bars are stretched to height.
    const double sx = bars.width() / s.modules.width();
    const double sy = bars.height() / s.modules.height();
    const QColor colour = painter.pen().color();
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Drawn in modules under one transform: the PDF then holds small whole
    // numbers per bar, which is much less to write and to compress.
    painter.translate(at);
    painter.scale(sx, sy);
    painter.drawRects(s.dark);
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
