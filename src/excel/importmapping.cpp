#include "excel/importmapping.h"

#include "data/configini.h"
#include "excel/importrows.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>

namespace
{

const QString kSection = QLatin1String(ConfigIni::ImportMappingSection);

// The usual names of each caption in shop and office sheets, besides the
// caption itself; in caption order. The titles of the platforms' order
// exports are here in their loose form (see looseForm), so that
// "收货人姓名", "收件人手机号" or "买家留言" find their caption too.
const QVector<QStringList>& synonyms()
{
    static const QVector<QStringList> names = {
        {QStringLiteral("姓名"), QStringLiteral("收件人"), QStringLiteral("收货人"),
         QStringLiteral("名字"), QStringLiteral("联系人"), QStringLiteral("客户姓名"),
         QStringLiteral("客户名称"), QStringLiteral("提货人")},
        {QStringLiteral("公司"), QStringLiteral("公司名称"), QStringLiteral("单位名称"),
         QStringLiteral("收件单位"), QStringLiteral("收件公司"), QStringLiteral("收货单位"),
         QStringLiteral("收货公司")},
        {QStringLiteral("地址"), QStringLiteral("收货地址"), QStringLiteral("详细收货地址"),
         QStringLiteral("收件地址"), QStringLiteral("收货详细地址"), QStringLiteral("客户地址"),
         QStringLiteral("联系地址"), QStringLiteral("街道地址"),
         QStringLiteral("详细收货地址提货地址")},
        {QStringLiteral("手机号"), QStringLiteral("手机号码"), QStringLiteral("联系手机"),
         QStringLiteral("移动电话"), QStringLiteral("联系人手机"), QStringLiteral("客户手机"),
         QStringLiteral("收件手机"), QStringLiteral("收货手机"),
         QStringLiteral("手机号提货人手机号")},
        {QStringLiteral("电话"), QStringLiteral("固话"), QStringLiteral("联系电话"),
         QStringLiteral("电话号码"), QStringLiteral("座机"), QStringLiteral("联系人电话"),
         QStringLiteral("客户电话"), QStringLiteral("收件电话"), QStringLiteral("收货电话")},
        {},
        {QStringLiteral("省"), QStringLiteral("省份"), QStringLiteral("所在省份"),
         QStringLiteral("收货省份"), QStringLiteral("省直辖市")},
        {QStringLiteral("市"), QStringLiteral("城市"), QStringLiteral("所在城市"),
         QStringLiteral("收货城市"), QStringLiteral("收件城市")},
        {QStringLiteral("区"), QStringLiteral("县"), QStringLiteral("区县"), QStringLiteral("县区"),
         QStringLiteral("所在区县"), QStringLiteral("收货区县")},
        {QStringLiteral("邮政编码"), QStringLiteral("收货邮编"), QStringLiteral("邮政编号")},
        // The buyer's message is worth printing; it goes to the first free field.
        {QStringLiteral("留言"), QStringLiteral("客户留言"), QStringLiteral("订单留言")},
        {},
        {},
        {},
        {},
        // Our own export titles the column by its name.
        {QStringLiteral("订单号"), QStringLiteral("订单编号(s)"), QStringLiteral("Order_No"),
         QStringLiteral("交易编号"), QStringLiteral("主订单编号")},
    };
    return names;
}

// Sheet titles often carry blanks, full-width ones too.
QString normalised(const QString& title)
{
    return title.trimmed();
}

// A title as loosely compared: without blanks, punctuation and brackets
// (ASCII and full-width), "的", and a leading "收货人", "收件人" or "买家"
// when something follows it.
QString looseForm(const QString& title)
{
    QString loose;
    for (const QChar c : title) {
        if (c.isSpace() || c.isPunct() || c.isSymbol() || c == QChar(0x7684)) // 的
            continue;
        loose.append(c);
    }
    loose = loose.toCaseFolded();
    for (const QString& prefix :
         {QStringLiteral("收货人"), QStringLiteral("收件人"), QStringLiteral("买家")}) {
        if (loose.size() > prefix.size() && loose.startsWith(prefix))
            return loose.mid(prefix.size());
    }
    return loose;
}

// The config.ini key of a title row: a digest of its texts, so that any
// title text (commas, '=', line breaks) makes a valid key.
QString keyOf(const QStringList& titles)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QString& title : titles) {
        hash.addData(title.toUtf8());
        hash.addData(QByteArrayView("\0", 1));
    }
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace

QStringList automaticMapping(const QStringList& titles)
{
    const QStringList captions = importCaptions();
    QStringList mapping(captions.size());
    QVector<bool> taken(titles.size(), false);
    // Each caption takes the first title equal to the caption itself, else
    // to its usual names in order; every exact match is made before any
    // loose one, and a title fills one caption only.
    for (const bool loose : {false, true}) {
        const auto form = [loose](const QString& text) {
            return loose ? looseForm(text) : normalised(text);
        };
        for (int i = 0; i < captions.size(); ++i) {
            if (!mapping.at(i).isEmpty())
                continue;
            QStringList names = synonyms().value(i);
            names.prepend(captions.at(i));
            for (const QString& name : std::as_const(names)) {
                const QString wanted = form(name);
                for (int t = 0; t < titles.size() && mapping.at(i).isEmpty(); ++t) {
                    if (!taken.at(t) && !wanted.isEmpty() && form(titles.at(t)) == wanted) {
                        mapping[i] = titles.at(t);
                        taken[t] = true;
                    }
                }
                if (!mapping.at(i).isEmpty())
                    break;
            }
        }
    }
    return mapping;
}

QStringList rememberedMapping(const QString& appDir, const QStringList& titles)
{
    const QString stored = ConfigIni::readString(appDir, kSection, keyOf(titles));
    if (stored.isEmpty())
        return {};
    const QJsonDocument doc = QJsonDocument::fromJson(stored.toUtf8());
    const QJsonArray array = doc.array();
    const int count = int(importCaptions().size());
    // A mapping remembered before the order numbers had a row lacks it.
    if (!doc.isArray() || array.isEmpty() || array.size() > count)
        return {};
    QStringList mapping;
    for (const QJsonValue& value : array) {
        const QString title = value.toString();
        mapping.append(titles.contains(title) ? title : QString());
    }
    while (mapping.size() < count)
        mapping.append(QString());
    return mapping;
}

bool rememberMapping(const QString& appDir, const QStringList& titles, const QStringList& mapping)
{
    const QJsonArray array = QJsonArray::fromStringList(mapping);
    const QString value = QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
    return ConfigIni::writeString(appDir, kSection, keyOf(titles), value);
}

QStringList proposedMapping(const QString& appDir, const QStringList& titles)
{
    const QStringList remembered = rememberedMapping(appDir, titles);
    return remembered.isEmpty() ? automaticMapping(titles) : remembered;
}

QStringList mappingLines(const QStringList& mapping)
{
    const QStringList captions = importCaptions();
    QStringList lines;
    for (int i = 0; i < captions.size() && i < mapping.size(); ++i) {
        if (!mapping.at(i).isEmpty())
            lines.append(captions.at(i) + QLatin1Char('=') + mapping.at(i));
    }
    return lines;
}
