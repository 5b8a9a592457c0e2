#include "modelrow.h"

#include "dataset.h"

#include <QPageSize>
#include <QPrinter>

namespace ModelRow {

bool locate(Dataset* model, const QString& name)
{
    if (!model->isActive())
        model->open();
    for (model->first(); !model->eof(); model->next())
        if (model->FieldByName(QStringLiteral("Model_Name")).AsString() == name)
            return true;
    return false;
}

void applyPaper(QPrinter* printer, qint64 widthTenths, qint64 heightTenths)
{
    const QPageSize size(QSizeF(widthTenths / 10.0, heightTenths / 10.0), QPageSize::Millimeter,
                         QString(), QPageSize::ExactMatch);
    printer->setPageSize(size);
    // A PDF page has no unprintable edge: positions count from its corner.
    if (printer->outputFormat() == QPrinter::PdfFormat)
        printer->setPageMargins(QMarginsF(0, 0, 0, 0));
}

} // namespace ModelRow
