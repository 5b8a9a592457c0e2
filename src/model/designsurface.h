#pragma once

#include "dbedit.h"
#include "fieldinfo_fwd.h"

#include <QFrame>
#include <QLabel>
#include <QVector>

class TDataModule1;

// One field control of the design surface: a borderless data-aware edit
// bound to its source column, with the field's hint as tooltip.
class FieldControl : public DBEdit
{
    Q_OBJECT
public:
    FieldControl(const FieldInfo& field, QWidget* parent);
    const FieldInfo& field() const { return *m_field; }

private:
    const FieldInfo* m_field;
};

// The design panel Model_Container: the background image Model_BKimg and
// the 26 field controls over it. Positions are pixels of this panel's
// client area, at 96 pixels per inch.
class DesignSurface : public QFrame
{
    Q_OBJECT
public:
    static constexpr int kImageLeft = 24;
    static constexpr int kImageTop = 16;

    explicit DesignSurface(QWidget* parent = nullptr);

    // Binds the sender fields to TB_Send and the recipient fields to TB_Att.
    void bindData(TDataModule1* dm);

    QLabel* backgroundImage() const { return m_image; }
    // Shows a picture in Model_BKimg; the image takes the picture's size.
    void setBackground(const QPixmap& picture);
    QPixmap background() const { return m_picture; }

    const QVector<FieldControl*>& fieldControls() const { return m_fields; }
    FieldControl* fieldControl(const QString& key) const;

private:
    QLabel* m_image;
    QPixmap m_picture;
    QVector<FieldControl*> m_fields;
};
