#pragma once

#include <QString>

// config.ini in the application directory: a UTF-8 INI file. Every section
// and key the program keeps is spelled here and nowhere else.
namespace ConfigIni
{

// One value of the file: its section and key.
struct Setting {
    const char* section;
    const char* key;
};

// The template printing starts from.
inline constexpr Setting DefaultModel{"DefaultModel", "ModelName"};
// The shop gateway and the limits of a download.
inline constexpr Setting ShopGatewayUrl{"Shop", "GatewayUrl"};
inline constexpr Setting ShopDownloadTimeout{"Shop", "DownloadTimeout"};
inline constexpr Setting ShopMaxAnswerMB{"Shop", "MaxAnswerMB"};
// The recipient grid's columns and the header state saved for them.
inline constexpr Setting GridColumns{"Grid", "Columns"};
inline constexpr Setting GridState{"Grid", "State"};
// Sections whose keys are made from data: a digest of a title row, and a
// template name.
inline constexpr char ImportMappingSection[] = "ImportMapping";
inline constexpr char PrinterSection[] = "Printer";

QString fileName(const QString& appDir); // appDir ends with a separator
// From the INI file at iniPath itself.
QString readFrom(const QString& iniPath, const QString& section, const QString& key,
                 const QString& defaultValue = QString());
QString readString(const QString& appDir, const QString& section, const QString& key,
                   const QString& defaultValue = QString());
// False when the file cannot be written, with the reason in error.
bool writeString(const QString& appDir, const QString& section, const QString& key,
                 const QString& value, QString* error = nullptr);

QString read(const QString& appDir, Setting setting, const QString& defaultValue = QString());
bool write(const QString& appDir, Setting setting, const QString& value, QString* error = nullptr);

} // namespace ConfigIni
