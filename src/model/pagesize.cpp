#include "pagesize.h"

#include "dataset.h"
#include "templatemessages.h"
#include "templatestore.h"

#include <QPageSize>
#include <QPrinter>
#include <QRegularExpression>

namespace
{

std::optional<int> wholeNumber(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*[+-]?\\d+\\s*$"));
    if (!re.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return n;
}

std::optional<int> paper(const QString& text)
{
    const std::optional<int> n = wholeNumber(text);
    if (!n || *n < TemplateStore::kMinPaper || *n > TemplateStore::kMaxPaper)
        return std::nullopt;
    return n;
}

} // namespace

std::optional<PageValues> parsePageValues(const QString& width, const QString& height,
                                          const QString& leftX, const QString& topY,
                                          QString* message)
{
    const QString paperRule = QStringLiteral("必须是1到32767之间的整数（单位：0.1MM）！");
    const QString offsetRule = QStringLiteral("必须是整数（单位：像素）！");
    const std::optional<int> w = paper(width);
    if (!w) {
        *message = TemplateMessages::paperWidth() + paperRule;
        return std::nullopt;
    }
    const std::optional<int> h = paper(height);
    if (!h) {
        *message = TemplateMessages::paperHeight() + paperRule;
        return std::nullopt;
    }
    const std::optional<int> x = wholeNumber(leftX);
    if (!x) {
        *message = QStringLiteral("左偏移") + offsetRule;
        return std::nullopt;
    }
    const std::optional<int> y = wholeNumber(topY);
    if (!y) {
        *message = QStringLiteral("上偏移") + offsetRule;
        return std::nullopt;
    }
    return PageValues{*w, *h, *x, *y};
}

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
    const qint64 height = tbModel->FieldByName(TemplateStore::Column::PaperHeight).AsInteger();
    const qint64 width = tbModel->FieldByName(TemplateStore::Column::PaperWidth).AsInteger();
    if (width > TemplateStore::kMaxPaper || height > TemplateStore::kMaxPaper)
        return false;
    return applyPaperSize(printer, int(width), int(height));
}

} // namespace

bool Page_Setup(Dataset* tbModel, const QString& modelName, QPrinter* printer)
{
    if (!tbModel->isActive())
        tbModel->open();
    if (!TemplateStore::findByName(tbModel, modelName))
        return false;
    return applyRowPaperSize(tbModel, printer);
}

bool Page_Setup(Dataset* tbModel, qint64 modelRow, const QString& modelName, QPrinter* printer)
{
    if (!tbModel->isActive())
        tbModel->open();
    // The row in use, which need not be the first of its name.
    if (!TemplateStore::findRow(tbModel, modelRow, modelName))
        return false;
    return applyRowPaperSize(tbModel, printer);
}
