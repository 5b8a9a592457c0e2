#pragma once

#include <QString>

// config.ini in the application directory: a UTF-8 INI file.
namespace ConfigIni {

QString fileName(const QString& appDir); // appDir ends with a separator
QString readString(const QString& appDir, const QString& section, const QString& key,
                   const QString& defaultValue = QString());
bool writeString(const QString& appDir, const QString& section, const QString& key,
                 const QString& value);

} // namespace ConfigIni
