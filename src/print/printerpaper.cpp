#include "print/printerpaper.h"

#include "data/dataset.h"
#include "templates/templatestore.h"

#include <QPageSize>
#include <QPrinter>

bool applyPaperSize(QPrinter* printer, int widthTenths, int heightTenths)
{
    if (!printer)
        return false;
    const auto inRange = [](int v) {
        return v >= TemplateStore::kMinPaper && v <= TemplateStore::kMaxPaper;
    };
    if (!inRange(widthTenths) || !inRange(heightTenths))
        return false;
    const QPageSize size(QSizeF(widthTenths / 10.0, heightTenths / 10.0), QPageSize::Millimeter,
                         QString(), QPageSize::ExactMatch);
    return printer->setPageSize(size);
}

namespace
{

bool applyRowPaperSize(Dataset* tbModel, QPrinter* printer)
{
    const qint64 height = tbModel->fieldByName(TemplateStore::Column::PaperHeight).asInteger();
    const qint64 width = tbModel->fieldByName(TemplateStore::Column::PaperWidth).asInteger();
    if (width > TemplateStore::kMaxPaper || height > TemplateStore::kMaxPaper)
        return false;
    return applyPaperSize(printer, int(width), int(height));
}

} // namespace

bool applyTemplatePaper(Dataset* tbModel, const QString& modelName, QPrinter* printer)
{
    if (!tbModel->isActive())
        tbModel->open();
    if (!TemplateStore::findByName(tbModel, modelName))
        return false;
    return applyRowPaperSize(tbModel, printer);
}

bool applyTemplatePaper(Dataset* tbModel, qint64 modelRow, const QString& modelName,
                        QPrinter* printer)
{
    if (!tbModel->isActive())
        tbModel->open();
    // The row in use, which need not be the first of its name.
    if (!TemplateStore::findRow(tbModel, modelRow, modelName))
        return false;
    return applyRowPaperSize(tbModel, printer);
}
