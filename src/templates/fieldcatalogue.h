#pragma once

#include "data/schema.h"

#include <QString>
#include <QVector>

// The 28 printable fields of a waybill, in catalogue order. The set never
// changes at run time; a template only places, sizes and shows them.
struct FieldInfo {
    int number;      // 1..28
    QString key;     // "S_Name" …
    QString table;   // "Exp_Send_info" or "Exp_Att_Info"
    QString column;  // source column
    QString hint;    // tooltip of the designer control
    QString caption; // caption in the field selection lists
    int defaultLeft; // place in the design panel before any layout
    int defaultTop;

    bool isSender() const { return key.startsWith(QLatin1String("S_")); }
    QString leftColumn() const { return Schema::fieldLeftColumn(key); }
    QString topColumn() const { return Schema::fieldTopColumn(key); }
    QString widthColumn() const { return Schema::fieldWidthColumn(key); }
    QString visColumn() const { return Schema::fieldVisibleColumn(key); }
};

namespace FieldCatalogue
{

constexpr int kCount = 28;
constexpr int kControlWidth = 40;  // as designed
constexpr int kControlHeight = 22; // 21 plus the sizing border
// Where the picture's top-left corner sits on the design panel.
constexpr int kImageLeft = 24;
constexpr int kImageTop = 16;

const QVector<FieldInfo>& all();
const FieldInfo* byKey(const QString& key);
// Exact comparison with the selection captions (hints do not match).
const FieldInfo* byCaption(const QString& caption);

} // namespace FieldCatalogue
