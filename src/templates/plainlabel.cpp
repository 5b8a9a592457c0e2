#include "templates/plainlabel.h"

#include <QFont>
#include <QPainter>

namespace
{

constexpr double kDpi = 96.0;
constexpr double kMmPerInch = 25.4;

double px(double mm)
{
    return mm * kDpi / kMmPerInch;
}

// The bands of a label, from the top, as fractions of its height.
struct Band {
    const char* caption;
    double top, bottom;
};
const Band kBands[] = {
    {"快递公司", 0.0, 0.12}, {"运单号", 0.12, 0.36},  {"收件人", 0.36, 0.66},
    {"寄件人", 0.66, 0.88},  {"内件品名", 0.88, 1.0},
};
constexpr double kMarginMm = 2.0;
constexpr double kCaptionMm = 14.0; // the caption column at the left

QRectF bandRect(const QSize& sizeMm, const Band& b)
{
    const double inner = sizeMm.height() - 2 * kMarginMm;
    return QRectF(px(kMarginMm), px(kMarginMm + inner * b.top), px(sizeMm.width() - 2 * kMarginMm),
                  px(inner * (b.bottom - b.top)));
}

} // namespace

namespace PlainLabel
{

const QVector<QSize>& labelSizes()
{
    static const QVector<QSize> sizes = {QSize(76, 130), QSize(100, 150), QSize(100, 180)};
    return sizes;
}

QString barcodeKey()
{
    return QStringLiteral("A_WayBillNo");
}

QImage draw(const QSize& sizeMm)
{
    QImage image(qRound(px(sizeMm.width())), qRound(px(sizeMm.height())), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(kDpi / kMmPerInch * 1000));
    image.setDotsPerMeterY(qRound(kDpi / kMmPerInch * 1000));
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 2));
    QFont font(QStringLiteral("WenQuanYi Zen Hei"));
    font.setPixelSize(qRound(px(3)));
    p.setFont(font);
    for (const Band& b : kBands) {
        const QRectF r = bandRect(sizeMm, b);
        p.drawRect(r);
        const QRectF caption(r.left(), r.top(), px(kCaptionMm), r.height());
        p.drawLine(caption.topRight(), caption.bottomRight());
        p.drawText(caption.adjusted(px(1), px(1), -px(1), -px(1)),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, QString::fromUtf8(b.caption));
    }
    return image;
}

QHash<QString, QRect> fieldPlaces(const QSize& sizeMm)
{
    const auto inBand = [&](int band, double line, double lines) {
        const QRectF r = bandRect(sizeMm, kBands[band]);
        const double left = r.left() + px(kCaptionMm + 1.5);
        const double h = r.height() / lines;
        return QRect(qRound(left), qRound(r.top() + px(1) + h * line),
                     qRound(r.right() - left - px(1.5)), 22);
    };
    QHash<QString, QRect> places;
    places.insert(QStringLiteral("A_ExpName"), inBand(0, 0, 1));
    places.insert(barcodeKey(), inBand(1, 0, 1));
    places.insert(QStringLiteral("A_Name"), inBand(2, 0, 3));
    places.insert(QStringLiteral("A_Mobile"), inBand(2, 1, 3));
    places.insert(QStringLiteral("A_Address"), inBand(2, 2, 3));
    places.insert(QStringLiteral("S_Name"), inBand(3, 0, 3));
    places.insert(QStringLiteral("S_Mobile"), inBand(3, 1, 3));
    places.insert(QStringLiteral("S_Address"), inBand(3, 2, 3));
    places.insert(QStringLiteral("S_Contents"), inBand(4, 0, 1));
    return places;
}

} // namespace PlainLabel
