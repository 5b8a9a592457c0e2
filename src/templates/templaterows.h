#pragma once

#include "data/dataset.h"
#include "templates/fieldfontstore.h"
#include "templates/templatelayout.h"

#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <optional>

class Dataset;
struct PageValues;

// The one way template rows are written: new, save, rename, delete and the
// page setup's values go through here, as recipients go through
// RecipientRows. A template is one row of Exp_Model plus its fitted
// fields (Model_Field_Fit), its picture switch (Model_Label), its fonts
// (Model_Print_Font, Model_Field_Font), kept by name, and on a server its
// picture (Model_Picture, kept by the picture's name while a row names it);
// a new or saved template is stored whole or not at all. Every method
// throws DataError; the dataset's cursor is left on the row written or read.
class TemplateRows
{
public:
    explicit TemplateRows(Dataset* tbModel);
    Dataset* dataset() const { return m_tb; }

    // The template of the current row (its picture not loaded).
    TemplateLayout loadCurrent();
    // The template of that row; a row gone is refused.
    TemplateLayout load(qint64 row);

    // A new row of layout.name holding the layout; its row id.
    qint64 create(const TemplateLayout& layout);
    // Writes the layout into that row: paper, picture, offsets, fields, their
    // fits and the fonts; the row keeps its name.
    void save(qint64 row, const TemplateLayout& layout);
    // The row takes the name; what is kept by name follows it once no
    // other row bears the old one.
    void rename(qint64 row, const QString& name);
    // Removes the row; what is kept by its name goes once no row bears it.
    void remove(qint64 row);
    // The page setup's values: paper size, feed offsets, picture printing.
    void setPage(qint64 row, const PageValues& page, bool printsPicture);
    // A field's fit switch, stored at once with the template of that name
    // as the design surface switches it.
    void setFit(const QString& model, const QString& key, bool fit);
    // How a field is drawn, and its symbol's size (0 keeps the stored
    // one), stored at once likewise; the field's fit as now stored.
    FieldFit setSymbol(const QString& model, const QString& key, FieldSymbol symbol);
    FieldFit setSymbolSize(const QString& model, const QString& key, double moduleMm,
                           double barHeightMm);
    // A field's own font (none: the template's print font again), stored
    // at once with the template of that name.
    void setFieldFont(const QString& model, const QString& key, const std::optional<QFont>& font);
    // The template's own print font, stored at once.
    void setPrintFont(const QString& model, const QFont& font);

private:
    QSqlDatabase db() const;
    void goTo(qint64 row);
    // Runs work as one transaction: on failure the file and the rows in
    // memory are as before, and the error is thrown on.
    void whole(const std::function<void()>& work);
    QString nameOfCurrent();
    static Dataset::NamedValues fieldValues(const TemplateLayout& layout);
    void writeFits(const QString& name, const TemplateLayout& layout);
    // The template's fonts become exactly the layout's.
    void writeFonts(const QString& name, const TemplateLayout& layout);
    // On a server, the layout's picture where every station reads it.
    void storePicture(const TemplateLayout& layout);

    Dataset* m_tb;
};
