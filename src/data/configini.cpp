#include "configini.h"

#include <QSettings>
#include <QStringList>

namespace ConfigIni {

QString fileName(const QString& appDir)
{
    return appDir + QLatin1String("config.ini");
}

QString readString(const QString& appDir, const QString& section, const QString& key,
                   const QString& defaultValue)
{
    QSettings ini(fileName(appDir), QSettings::IniFormat);
    const QVariant v = ini.value(section + QLatin1Char('/') + key, defaultValue);
    // An unquoted value with commas comes back as a list; it is one text here.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

bool writeString(const QString& appDir, const QString& section, const QString& key,
                 const QString& value)
{
    QSettings ini(fileName(appDir), QSettings::IniFormat);
    ini.setValue(section + QLatin1Char('/') + key, value);
    ini.sync();
    return ini.status() == QSettings::NoError;
}

} // namespace ConfigIni
