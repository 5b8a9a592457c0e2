#include "data/configini.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace ConfigIni
{

namespace
{

QString keyPath(const QString& section, const QString& key)
{
    return section + QLatin1Char('/') + key;
}

// QSettings tells only that writing failed; the file system tells why.
QString writeFailure(const QString& path, QSettings::Status status)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("Is a directory");
    if (info.exists()) {
        QFile probe(path);
        if (!probe.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
            return probe.errorString();
    } else if (!QFileInfo(info.absolutePath()).isWritable()) {
        return QStringLiteral("Permission denied");
    }
    return status == QSettings::FormatError ? QStringLiteral("format error")
                                            : QStringLiteral("access error");
}

} // namespace

QString fileName(const QString& appDir)
{
    return appDir + QLatin1String("config.ini");
}

QString readFrom(const QString& iniPath, const QString& section, const QString& key,
                 const QString& defaultValue)
{
    const QSettings ini(iniPath, QSettings::IniFormat);
    const QVariant v = ini.value(keyPath(section, key), defaultValue);
    // An unquoted value with commas comes back as a list; it is one text here.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

QString readString(const QString& appDir, const QString& section, const QString& key,
                   const QString& defaultValue)
{
    return readFrom(fileName(appDir), section, key, defaultValue);
}

bool writeString(const QString& appDir, const QString& section, const QString& key,
                 const QString& value, QString* error)
{
    QSettings ini(fileName(appDir), QSettings::IniFormat);
    ini.setValue(keyPath(section, key), value);
    ini.sync();
    if (ini.status() == QSettings::NoError)
        return true;
    if (error)
        *error = writeFailure(fileName(appDir), ini.status());
    return false;
}

QString read(const QString& appDir, Setting setting, const QString& defaultValue)
{
    return readString(appDir, QLatin1String(setting.section), QLatin1String(setting.key),
                      defaultValue);
}

bool write(const QString& appDir, Setting setting, const QString& value, QString* error)
{
    return writeString(appDir, QLatin1String(setting.section), QLatin1String(setting.key), value,
                       error);
}

} // namespace ConfigIni
