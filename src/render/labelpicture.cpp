#include "render/labelpicture.h"

#include "base/dataerror.h"
#include "render/calibration.h"
#include "render/printgeometry.h"
#include "templates/templatelayout.h"
#include "templates/templatestore.h"

#include <QPainter>

namespace LabelPicture
{

QImage load(const TemplateLayout& layout, const QSqlDatabase& db, const QString& appDir)
{
    QImage picture;
    if (!layout.printsPicture)
        return picture;
    if (!layout.picture.isNull())
        return layout.picture;
    if (layout.pictureName.isEmpty())
        return picture;
    try {
        picture = TemplateStore::templatePicture(db, appDir, layout.pictureName);
    } catch (const DataError&) {
        // A picture that is gone prints nothing, as before.
    }
    return picture;
}

void draw(QPainter& painter, const QImage& picture, double dpiX, double dpiY,
          const Calibration& calibration)
{
    if (picture.isNull())
        return;
    const QPointF corner = calibration.apply(QPointF(0, 0), dpiX, dpiY);
    const QPointF far =
        calibration.apply(QPointF(picture.width() * dpiX / PrintGeometry::kDesignDpi,
                                  picture.height() * dpiY / PrintGeometry::kDesignDpi),
                          dpiX, dpiY);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(corner, far), picture);
    painter.restore();
}

} // namespace LabelPicture
