#include "designsurface.h"

#include "datamodule.h"
#include "fieldcatalogue.h"
#include "newdatabase.h"

FieldControl::FieldControl(const FieldInfo& field, QWidget* parent)
    : DBEdit(parent), m_field(&field)
{
    setObjectName(field.control);
    setFrame(false);
    setToolTip(field.hint);
    setCursor(Qt::ArrowCursor);
    setGeometry(field.defaultLeft, field.defaultTop, FieldCatalogue::kControlWidth,
                FieldCatalogue::kControlHeight);
}

DesignSurface::DesignSurface(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("Model_Container"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xFF, 0xFF, 0xE1)); // tooltip yellow
    setPalette(pal);

    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("Model_BKimg"));
    m_image->setScaledContents(true);
    setBackground(QPixmap::fromImage(NewDatabase::deliveredPicture()));
    m_image->move(kImageLeft, kImageTop);

    for (const FieldInfo& f : FieldCatalogue::all()) {
        auto* edit = new FieldControl(f, this);
        edit->raise();
        m_fields.push_back(edit);
    }
}

void DesignSurface::bindData(TDataModule1* dm)
{
    for (FieldControl* c : m_fields)
        c->bind(c->field().isSender() ? dm->TB_Send : dm->TB_Att, c->field().column);
}

void DesignSurface::setBackground(const QPixmap& picture)
{
    m_picture = picture;
    m_image->setPixmap(picture);
    m_image->resize(picture.size());
}

FieldControl* DesignSurface::fieldControl(const QString& key) const
{
    for (FieldControl* c : m_fields)
        if (c->field().key == key)
            return c;
    return nullptr;
}
