#include "recordrenderer.h"

#include "dataset.h"
#include "designsurface.h"
#include "fieldcatalogue.h"
#include "printgeometry.h"
#include "runstate.h"

#include <QFontMetricsF>
#include <QPainter>

QPoint SurfacePositions::designOffset(const FieldInfo& field) const
{
    const FieldControl* c = m_surface->fieldControl(field.key);
    return c->pos() - m_surface->backgroundImage()->pos();
}

QPoint StoredPositions::designOffset(const FieldInfo& field) const
{
    // The row's feed offsets are in effect wherever it is laid out.
    return QPoint(int(m_model->FieldByName(field.leftColumn()).AsInteger() +
                      m_model->FieldByName(QStringLiteral("Page_LeftX")).AsInteger()) -
                      DesignSurface::kImageLeft,
                  int(m_model->FieldByName(field.topColumn()).AsInteger() +
                      m_model->FieldByName(QStringLiteral("Page_TopY")).AsInteger()) -
                      DesignSurface::kImageTop);
}

namespace RecordRenderer {

const QVector<const FieldInfo*>& drawingOrder()
{
    static const QVector<const FieldInfo*> order = [] {
        const char* keys[] = {"S_Name",    "S_Company",   "S_Address",   "S_Mobile",
                              "S_Phone",   "S_Contents",  "A_Name",      "A_Company",
                              "A_Address", "A_Mobile",    "A_Phone",     "A_Disrination",
                              "S_Prvince", "S_City",      "S_Country",   "S_PostCode",
                              "S_Departure", "A_Prvince", "A_City",      "A_Country",
                              "A_PostCode", "A_Custom1",  "A_Custom2",   "A_Custom3",
                              "A_Custom4", "A_Custom5"};
        QVector<const FieldInfo*> v;
        for (const char* k : keys)
            v << FieldCatalogue::byKey(QString::fromLatin1(k));
        return v;
    }();
    return order;
}

RecordFields collect(Dataset* model, Dataset* sender, Dataset* recipient,
                     const FieldPositions& positions)
{
    RecordFields out;
    out.reserve(FieldCatalogue::kCount);
    const bool haveModel = model->recNo() >= 0;
    for (const FieldInfo* f : drawingOrder()) {
        RenderField r;
        r.field = f;
        r.visible = haveModel && model->FieldByName(f->visColumn()).AsString() == QLatin1String("1");
        if (r.visible) {
            Dataset* source = f->isSender() ? sender : recipient;
            if (source->recNo() >= 0)
                r.text = source->FieldByName(f->column).AsString();
            r.offset = positions.designOffset(*f);
        }
        out.push_back(r);
    }
    return out;
}

QFont printFont()
{
    if (runState().printFont)
        return *runState().printFont;
    QFont f(QStringLiteral("WenQuanYi Zen Hei"));
    f.setPointSize(10);
    return f;
}

QColor printColour()
{
    return runState().printColour.isValid() ? runState().printColour : QColor(Qt::black);
}

void Draw_Record(QPainter& painter, const RecordFields& fields, double dpiX, double dpiY,
                 const Calibration& calibration)
{
    painter.setPen(printColour());
    painter.setBrush(Qt::NoBrush);
    painter.setBackgroundMode(Qt::TransparentMode);
    const qreal ascent = QFontMetricsF(painter.font(), painter.device()).ascent();
    for (const RenderField& r : fields) {
        if (!r.visible || r.text.isEmpty())
            continue;
        const QPointF p =
            calibration.apply(PrintGeometry::devicePoint(r.offset, dpiX, dpiY), dpiX, dpiY);
        painter.drawText(QPointF(p.x(), p.y() + ascent), r.text);
    }
}

} // namespace RecordRenderer
