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
// caption itself; in caption order.
const QVector<QStringList>& synonyms()
{
    static const QVector<QStringList> names = {
        {QStringLiteral("姓名"), QStringLiteral("收件人"), QStringLiteral("收货人")},
        {QStringLiteral("公司")},
        {QStringLiteral("地址"), QStringLiteral("收货地址")},
        {QStringLiteral("手机号"), QStringLiteral("手机号码")},
        {QStringLiteral("电话"), QStringLiteral("固话")},
        {},
        {QStringLiteral("省"), QStringLiteral("省份")},
        {QStringLiteral("市"), QStringLiteral("城市")},
        {QStringLiteral("区"), QStringLiteral("县"), QStringLiteral("区县")},
        {QStringLiteral("邮政编码")},
        {},
        {},
        {},
        {},
        {},
    };
    return names;
}

// Sheet titles often carry blanks, full-width ones too.
QString normalised(const QString& title)
{
    return title.trimmed();
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
    QStringList mapping;
    for (int i = 0; i < captions.size(); ++i) {
        QStringList names = synonyms().value(i);
        names.prepend(captions.at(i));
        QString found;
        // The caption itself first, then its usual names in order.
        for (const QString& name : names) {
            for (const QString& title : titles) {
                if (normalised(title) == name) {
                    found = title;
                    break;
                }
            }
            if (!found.isEmpty())
                break;
        }
        mapping.append(found);
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
    if (!doc.isArray() || array.size() != count)
        return {};
    QStringList mapping;
    for (const QJsonValue& value : array) {
        const QString title = value.toString();
        mapping.append(titles.contains(title) ? title : QString());
    }
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
