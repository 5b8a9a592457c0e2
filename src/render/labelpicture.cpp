#include "render/labelpicture.h"

#include "render/calibration.h"
#include "render/printgeometry.h"
#include "templates/templatelayout.h"
#include "templates/templatestore.h"

#include <QPainter>

namespace LabelPicture
{

QImage load(const TemplateLayout& layout, const QString& appDir)
{
    QImage picture;
    if (!layout.printsPicture)
        return picture;
    if (!layout.picture.isNull())
        return layout.picture;
    if (!layout.pictureName.isEmpty())
        picture.load(TemplateStore::pictureDir(appDir) + layout.pictureName);
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
