#include "templates/pagesize.h"

#include "data/dataset.h"
#include "templates/templatemessages.h"
#include "templates/templatestore.h"

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
