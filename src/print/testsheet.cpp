#include "print/testsheet.h"

#include "base/session.h"
#include "data/datamodule.h"
#include "render/printfonts.h"
#include "render/printgeometry.h"
#include "render/printmessages.h"
#include "templates/fieldcatalogue.h"
#include "templates/templatestore.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

namespace
{

constexpr double kMmPerInch = 25.4;

// Ticks every millimetre, longer every 5 and 10, numbered every 10.
void drawRulers(QPainter& p, double dpiX, double dpiY, const QSizeF& paper)
{
    const double pxX = dpiX / kMmPerInch;
    const double pxY = dpiY / kMmPerInch;
    QFont small = p.font();
    small.setPointSizeF(6);
    p.save();
    p.setFont(small);
    p.setPen(QPen(Qt::black, std::max(1.0, 0.1 * pxX)));
    auto length = [](int mm) { return mm % 10 == 0 ? 4.0 : mm % 5 == 0 ? 2.5 : 1.5; };
    for (int mm = 0; mm <= int(paper.width()); ++mm) {
        const double x = mm * pxX;
        p.drawLine(QPointF(x, 0), QPointF(x, length(mm) * pxY));
        if (mm % 10 == 0 && mm > 0)
            p.drawText(QPointF(x + 0.5 * pxX, 6.5 * pxY), QString::number(mm));
    }
    for (int mm = 0; mm <= int(paper.height()); ++mm) {
        const double y = mm * pxY;
        p.drawLine(QPointF(0, y), QPointF(length(mm) * pxX, y));
        if (mm % 10 == 0 && mm > 0)
            p.drawText(QPointF(4.5 * pxX, y + 2 * pxY), QString::number(mm));
    }
    p.restore();
}

} // namespace

void TestSheet::draw(QPainter& painter, const QImage& background, const RecordFields& fields,
                     double dpiX, double dpiY, const Calibration& calibration, const QSizeF& paper,
                     const FieldFits& fits)
{
    if (!background.isNull()) {
        const QRectF target(0, 0, background.width() * dpiX / PrintGeometry::kDesignDpi,
                            background.height() * dpiY / PrintGeometry::kDesignDpi);
        painter.drawImage(target, background);
    }
    drawRulers(painter, dpiX, dpiY, paper);

    const QFont printFont = painter.font();
    const double arm = 2.0 * dpiX / kMmPerInch;
    painter.save();
    painter.setPen(QPen(Qt::red, std::max(1.0, 0.15 * dpiX / kMmPerInch)));
    for (const RenderField& r : fields) {
        if (!r.visible)
            continue;
        const QPointF p =
            calibration.apply(PrintGeometry::devicePoint(r.offset, dpiX, dpiY), dpiX, dpiY);
        painter.drawLine(QPointF(p.x() - arm, p.y()), QPointF(p.x() + arm, p.y()));
        painter.drawLine(QPointF(p.x(), p.y() - arm), QPointF(p.x(), p.y() + arm));
    }
    painter.restore();
    for (const RenderField& r : fields) {
        if (!r.visible)
            continue;
        const QString text = r.text.isEmpty() ? r.field->caption : r.text;
        const QPointF p =
            calibration.apply(PrintGeometry::devicePoint(r.offset, dpiX, dpiY), dpiX, dpiY);
        const auto fit = fits.constFind(r.field->key);
        if (!r.text.isEmpty() && fit != fits.constEnd() && fit->symbol != FieldSymbol::Text) {
            painter.setFont(printFont);
            RecordRenderer::drawField(painter, r, p, dpiX, dpiY, {{r.field->key, *fit}});
            continue;
        }
        painter.setFont(r.font ? *r.font : printFont);
        const qreal ascent = QFontMetricsF(painter.font(), painter.device()).ascent();
        painter.drawText(QPointF(p.x(), p.y() + ascent), text);
    }
    painter.setFont(printFont);
}

QString TestSheet::print(QPrinter* printer, DataModule* dm, const TemplateLayout& layout,
                         const Session& session, const Calibration& calibration)
{
    const PrintFonts fonts = PrintFonts::of(layout, session);
    const RecordFields fields =
        RecordRenderer::collect(layout, dm->sender, dm->recipients, dm->recipients->recNo());
    QImage background = layout.picture;
    if (background.isNull() && !layout.pictureName.isEmpty()) {
        try {
            background =
                TemplateStore::templatePicture(dm->database(), session.appDir, layout.pictureName);
        } catch (const DataError&) {
            // Without its picture the sheet still shows where the fields go.
        }
    }
    QPainter painter;
    if (!painter.begin(printer))
        return PrintMessages::printerNotReady();
    painter.setFont(fonts.print);
    const QSizeF paper = printer->pageLayout().fullRect(QPageLayout::Millimeter).size();
    draw(painter, background, fields, printer->logicalDpiX(), printer->logicalDpiY(), calibration,
         paper, layout.fits());
    painter.end();
    if (printer->printerState() == QPrinter::Error)
        return QStringLiteral("打印作业出错，未能完成打印！");
    return QString();
}
