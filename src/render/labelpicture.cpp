#include "render/labelpicture.h"

#include "base/session.h"
#include "data/datamodule.h"
#include "render/calibration.h"
#include "render/printgeometry.h"
#include "templates/labelstore.h"
#include "templates/templatestore.h"

#include <QPainter>

namespace LabelPicture
{

QImage load(DataModule* dm, const Session& session)
{
    QImage picture;
    if (dm->templates->recNo() < 0 ||
        !LabelStore::printsPicture(dm->database(), session.currentTemplate))
        return picture;
    const QString name = dm->templates->fieldByName(TemplateStore::Column::PictureName).asString();
    if (!name.isEmpty())
        picture.load(session.appDir + QLatin1String("bkbmp/") + name);
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
