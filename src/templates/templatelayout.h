#pragma once

#include "templates/fieldcatalogue.h"
#include "templates/fieldfitstore.h"
#include "templates/fieldfontstore.h"

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QVector>
#include <optional>

// One field of a template: where it stands on the design panel (feed
// offsets not added), its box and whether it prints, and how (fitted into
// its box, the box's height, or drawn as a symbol).
struct TemplateField {
    QPoint place;
    int width = FieldCatalogue::kControlWidth;
    bool visible = true;
    FieldFit fit; // fit.height 0 is one line of the print font

    bool operator==(const TemplateField& o) const
    {
        return place == o.place && width == o.width && visible == o.visible && fit == o.fit;
    }
    bool operator!=(const TemplateField& o) const { return !(*this == o); }
};

// A template as one value: paper, picture, feed offsets, fonts and the
// fields in catalogue order. Windows edit it, TemplateRows stores it, and every
// rendering (preview, batch, single print, test sheet, `waylark print`)
// places its fields from it.
class TemplateLayout
{
public:
    // Every field shown at its catalogue place; no paper, no picture.
    TemplateLayout();

    QString name;
    qint64 row = -1; // its row of Exp_Model; -1 while not stored
    QSize paper;     // tenths of a millimetre
    QString pictureName;
    QImage picture;                 // shown and printed; null while not loaded
    QPoint picturePlace;            // as stored with the row
    QPoint offset;                  // feed offsets, added to every field's place when laid out
    bool printsPicture = false;     // labels drawn whole print their picture
    std::optional<QFont> printFont; // its own; without one it prints in the session's
    FieldFonts fonts;               // the fields with a font of their own

    int fieldCount() const { return int(m_fields.size()); }
    const TemplateField& field(int index) const { return m_fields.at(index); }
    void setField(int index, const TemplateField& field) { m_fields[index] = field; }
    // -1 for a key not in the catalogue.
    static int indexOf(const QString& key);
    const TemplateField& field(const QString& key) const { return m_fields.at(indexOf(key)); }

    // Where a field stands on the design panel with the feed offsets added.
    QPoint laidOutPlace(int index) const { return m_fields.at(index).place + offset; }
    // A field's printed place: laid out, counted from the picture's corner.
    QPoint designOffset(const FieldInfo& field) const;
    // Its box width; a width never set is the control's.
    int designWidth(const FieldInfo& field) const;
    // The fits and symbols of the fields that have one, by key.
    FieldFits fits() const;

    // The same printed places with the offsets added into the places and
    // the offsets 0, as a save from the design surface stores them.
    TemplateLayout withOffsetsInPlaces() const;

    // Pictures compare by their pixels (shared ones at once).
    bool operator==(const TemplateLayout& o) const;
    bool operator!=(const TemplateLayout& o) const { return !(*this == o); }

private:
    QVector<TemplateField> m_fields;
};
