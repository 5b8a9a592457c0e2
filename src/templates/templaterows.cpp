#include "templates/templaterows.h"

#include "base/dataerror.h"
#include "data/dataset.h"
#include "data/rowwrite.h"
#include "data/transaction.h"
#include "templates/fieldcatalogue.h"
#include "templates/labelstore.h"
#include "templates/pagesize.h"
#include "templates/templatemessages.h"
#include "templates/templatestore.h"

#include <QSqlDatabase>

namespace Column = TemplateStore::Column;

TemplateRows::TemplateRows(Dataset* tbModel) : m_tb(tbModel) {}

QSqlDatabase TemplateRows::db() const
{
    return QSqlDatabase::database(m_tb->connectionName(), false);
}

void TemplateRows::whole(const std::function<void()>& work)
{
    try {
        Transaction t(db(), QStringLiteral("template_rows"));
        try {
            work();
            t.commit();
        } catch (...) {
            t.rollback();
            throw;
        }
    } catch (...) {
        // The file is as before; the rows in memory must be too.
        rethrowAfterReload(m_tb);
    }
}

void TemplateRows::goTo(qint64 row)
{
    if (!m_tb->isActive())
        m_tb->open();
    if (row < 0 || !m_tb->gotoBookmark(row))
        throw DataError::refusal(TemplateMessages::templateGone(QString()));
}

QString TemplateRows::nameOfCurrent()
{
    return m_tb->fieldByName(Column::Name).asString();
}

TemplateLayout TemplateRows::loadCurrent()
{
    TemplateLayout t;
    if (!m_tb->isActive() || m_tb->recNo() < 0) {
        // No template prints no field.
        for (int i = 0; i < t.fieldCount(); ++i) {
            TemplateField f = t.field(i);
            f.visible = false;
            t.setField(i, f);
        }
        return t;
    }
    t.row = m_tb->bookmark();
    t.name = nameOfCurrent();
    t.paper = QSize(int(m_tb->fieldByName(Column::PaperWidth).asInteger()),
                    int(m_tb->fieldByName(Column::PaperHeight).asInteger()));
    t.pictureName = m_tb->fieldByName(Column::PictureName).asString();
    t.picturePlace = QPoint(int(m_tb->fieldByName(Column::PictureLeft).asInteger()),
                            int(m_tb->fieldByName(Column::PictureTop).asInteger()));
    t.offset = QPoint(int(m_tb->fieldByName(Column::OffsetX).asInteger()),
                      int(m_tb->fieldByName(Column::OffsetY).asInteger()));
    const FieldFits fits = FieldFitStore::load(db(), t.name);
    const QVector<FieldInfo>& all = FieldCatalogue::all();
    for (int i = 0; i < all.size(); ++i) {
        const FieldInfo& f = all.at(i);
        TemplateField field;
        field.place = QPoint(int(m_tb->fieldByName(f.leftColumn()).asInteger()),
                             int(m_tb->fieldByName(f.topColumn()).asInteger()));
        field.width = int(m_tb->fieldByName(f.widthColumn()).asInteger());
        // Only "1" shows a field, as the first release read it.
        field.visible = m_tb->fieldByName(f.visColumn()).asString() == QLatin1String("1");
        field.fit = fits.value(f.key);
        t.setField(i, field);
    }
    t.printsPicture = LabelStore::printsPicture(db(), t.name);
    t.printFont = FieldFontStore::printFont(db(), t.name);
    t.fonts = FieldFontStore::load(db(), t.name);
    return t;
}

TemplateLayout TemplateRows::load(qint64 row)
{
    goTo(row);
    return loadCurrent();
}

Dataset::NamedValues TemplateRows::fieldValues(const TemplateLayout& layout)
{
    Dataset::NamedValues v = {{Column::PictureName, layout.pictureName},
                              {Column::PaperWidth, layout.paper.width()},
                              {Column::PaperHeight, layout.paper.height()},
                              {Column::PictureLeft, layout.picturePlace.x()},
                              {Column::PictureTop, layout.picturePlace.y()},
                              {Column::OffsetX, layout.offset.x()},
                              {Column::OffsetY, layout.offset.y()}};
    const QVector<FieldInfo>& all = FieldCatalogue::all();
    for (int i = 0; i < all.size(); ++i) {
        const FieldInfo& f = all.at(i);
        const TemplateField& p = layout.field(i);
        v.append({f.leftColumn(), p.place.x()});
        v.append({f.topColumn(), p.place.y()});
        v.append({f.widthColumn(), p.width});
        v.append({f.visColumn(), p.visible ? 1 : 0});
    }
    return v;
}

void TemplateRows::writeFits(const QString& name, const TemplateLayout& layout)
{
    const QSqlDatabase db = this->db();
    const FieldFits stored = FieldFitStore::load(db, name);
    const QVector<FieldInfo>& all = FieldCatalogue::all();
    for (int i = 0; i < all.size(); ++i) {
        const QString& key = all.at(i).key;
        const FieldFit& want = layout.field(i).fit;
        const FieldFit had = stored.value(key);
        if (want.fit != had.fit)
            FieldFitStore::setFit(db, name, key, want.fit);
        if (want.height != had.height)
            FieldFitStore::setHeight(db, name, key, want.height);
        if (want.symbol != had.symbol)
            FieldFitStore::setSymbol(db, name, key, want.symbol);
        // A size of 0 is the default; the store keeps a stored one for it.
        if (want.moduleMm != had.moduleMm && want.moduleMm > 0)
            FieldFitStore::setModule(db, name, key, want.moduleMm);
        if (want.barHeightMm != had.barHeightMm && want.barHeightMm > 0)
            FieldFitStore::setBarHeight(db, name, key, want.barHeightMm);
    }
    if (LabelStore::printsPicture(db, name) != layout.printsPicture)
        LabelStore::setPrintsPicture(db, name, layout.printsPicture);
}

qint64 TemplateRows::create(const TemplateLayout& layout)
{
    if (TemplateStore::isBlankName(layout.name))
        throw DataError::refusal(TemplateMessages::blankName());
    if (!m_tb->isActive())
        m_tb->open();
    qint64 row = -1;
    whole([&] {
        Dataset::NamedValues values = fieldValues(layout);
        values.prepend({Column::Name, layout.name});
        m_tb->moveTo(m_tb->insertRow(m_tb->fieldsOf(values)));
        row = m_tb->bookmark();
        writeFits(layout.name, layout);
        writeFonts(layout.name, layout);
        storePicture(layout);
    });
    return row;
}

void TemplateRows::save(qint64 row, const TemplateLayout& layout)
{
    goTo(row);
    const QString name = nameOfCurrent();
    const QString oldPicture = m_tb->fieldByName(Column::PictureName).asString();
    whole([&] {
        m_tb->updateRow(m_tb->recNo(), m_tb->fieldsOf(fieldValues(layout)));
        writeFits(name, layout);
        writeFonts(name, layout);
        storePicture(layout);
        if (oldPicture != layout.pictureName)
            TemplateStore::dropUnusedPicture(db(), oldPicture);
    });
}

void TemplateRows::rename(qint64 row, const QString& name)
{
    if (TemplateStore::isBlankName(name))
        throw DataError::refusal(TemplateMessages::blankName());
    goTo(row);
    const QString oldName = nameOfCurrent();
    m_tb->updateRow(m_tb->recNo(), m_tb->fieldsOf({{Column::Name, name}}));
    // Calibrations and fitted fields follow the name while no other row
    // still bears the old one.
    if (TemplateStore::resolveRow(m_tb, -1, oldName) < 0)
        TemplateStore::moveNamedSettings(db(), oldName, name);
    m_tb->gotoBookmark(row);
}

void TemplateRows::remove(qint64 row)
{
    goTo(row);
    const QString name = nameOfCurrent();
    const QString picture = m_tb->fieldByName(Column::PictureName).asString();
    whole([&] {
        m_tb->remove();
        if (TemplateStore::resolveRow(m_tb, -1, name) < 0)
            TemplateStore::dropNamedSettings(db(), name);
        TemplateStore::dropUnusedPicture(db(), picture);
    });
}

void TemplateRows::storePicture(const TemplateLayout& layout)
{
    // A layout read from its row holds no picture: the stored one stays.
    if (!layout.pictureName.isEmpty() && !layout.picture.isNull())
        TemplateStore::storePicture(db(), layout.pictureName, layout.picture);
}

void TemplateRows::setPage(qint64 row, const PageValues& page, bool printsPicture)
{
    goTo(row);
    m_tb->updateRow(m_tb->recNo(), m_tb->fieldsOf({{Column::PaperWidth, page.width},
                                                   {Column::PaperHeight, page.height},
                                                   {Column::OffsetX, page.leftX},
                                                   {Column::OffsetY, page.topY}}));
    LabelStore::setPrintsPicture(db(), nameOfCurrent(), printsPicture);
}

void TemplateRows::setFit(const QString& model, const QString& key, bool fit)
{
    FieldFitStore::setFit(db(), model, key, fit);
}

FieldFit TemplateRows::setSymbol(const QString& model, const QString& key, FieldSymbol symbol)
{
    FieldFitStore::setSymbol(db(), model, key, symbol);
    return FieldFitStore::load(db(), model).value(key);
}

FieldFit TemplateRows::setSymbolSize(const QString& model, const QString& key, double moduleMm,
                                     double barHeightMm)
{
    FieldFitStore::setModule(db(), model, key, moduleMm);
    FieldFitStore::setBarHeight(db(), model, key, barHeightMm);
    return FieldFitStore::load(db(), model).value(key);
}

void TemplateRows::setFieldFont(const QString& model, const QString& key,
                                const std::optional<QFont>& font)
{
    if (font)
        FieldFontStore::setFieldFont(db(), model, key, *font);
    else
        FieldFontStore::clearFieldFont(db(), model, key);
}

void TemplateRows::setPrintFont(const QString& model, const QFont& font)
{
    FieldFontStore::setPrintFont(db(), model, font);
}

void TemplateRows::writeFonts(const QString& name, const TemplateLayout& layout)
{
    const QSqlDatabase db = this->db();
    const FieldFonts stored = FieldFontStore::load(db, name);
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        if (!layout.fonts.contains(it.key()))
            FieldFontStore::clearFieldFont(db, name, it.key());
    for (auto it = layout.fonts.cbegin(); it != layout.fonts.cend(); ++it)
        if (stored.value(it.key()) != FieldFontStore::kept(it.value()))
            FieldFontStore::setFieldFont(db, name, it.key(), it.value());
    if (FieldFontStore::printFont(db, name) == layout.printFont)
        return;
    if (layout.printFont)
        FieldFontStore::setPrintFont(db, name, *layout.printFont);
    else
        FieldFontStore::clearPrintFont(db, name);
}
