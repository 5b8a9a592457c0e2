#include "templates/templatelayout.h"

TemplateLayout::TemplateLayout()
    : picturePlace(FieldCatalogue::kImageLeft, FieldCatalogue::kImageTop)
{
    for (const FieldInfo& f : FieldCatalogue::all()) {
        TemplateField field;
        field.place = QPoint(f.defaultLeft, f.defaultTop);
        m_fields.push_back(field);
    }
}

int TemplateLayout::indexOf(const QString& key)
{
    const QVector<FieldInfo>& all = FieldCatalogue::all();
    for (int i = 0; i < all.size(); ++i)
        if (all.at(i).key == key)
            return i;
    return -1;
}

QPoint TemplateLayout::designOffset(const FieldInfo& field) const
{
    // The design surface always shows the picture at the same corner.
    return laidOutPlace(field.number - 1) -
           QPoint(FieldCatalogue::kImageLeft, FieldCatalogue::kImageTop);
}

int TemplateLayout::designWidth(const FieldInfo& field) const
{
    const int w = m_fields.at(field.number - 1).width;
    return w > 0 ? w : FieldCatalogue::kControlWidth;
}

FieldFits TemplateLayout::fits() const
{
    FieldFits out;
    const QVector<FieldInfo>& all = FieldCatalogue::all();
    for (int i = 0; i < all.size(); ++i)
        if (m_fields.at(i).fit != FieldFit())
            out.insert(all.at(i).key, m_fields.at(i).fit);
    return out;
}

TemplateLayout TemplateLayout::withOffsetsInPlaces() const
{
    TemplateLayout out = *this;
    for (TemplateField& f : out.m_fields)
        f.place += offset;
    out.offset = QPoint();
    return out;
}

bool TemplateLayout::operator==(const TemplateLayout& o) const
{
    return name == o.name && row == o.row && paper == o.paper && pictureName == o.pictureName &&
           picturePlace == o.picturePlace && offset == o.offset &&
           printsPicture == o.printsPicture && printFont == o.printFont && fonts == o.fonts &&
           m_fields == o.m_fields && picture == o.picture;
}
