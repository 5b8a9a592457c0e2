#pragma once

#include <QString>
#include <QStringList>

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
// Another database file than the one beside config.ini.
inline constexpr Setting DatabaseFile{"Database", "File"};
// A PostgreSQL server several stations share, as a URL without password
// (postgresql://USER@HOST:PORT/DBNAME?sslmode=…); before File= when given.
inline constexpr Setting DatabaseServer{"Database", "Server"};
// How long a station's claim on rows it prints lasts unless renewed, and
// the name other stations see it by (the host name when not given).
inline constexpr Setting DatabaseLeaseSeconds{"Database", "LeaseSeconds"};
inline constexpr Setting DatabaseStation{"Database", "Station"};
// How many unprinted rows a station claims at a time while it prints.
inline constexpr Setting DatabaseClaimRows{"Database", "ClaimRows"};
// The shop gateway and the limits of a download.
inline constexpr Setting ShopGatewayUrl{"Shop", "GatewayUrl"};
inline constexpr Setting ShopDownloadTimeout{"Shop", "DownloadTimeout"};
inline constexpr Setting ShopMaxAnswerMB{"Shop", "MaxAnswerMB"};
// The order status a download asks for, and whether orders of one buyer to
// one address become one recipient row.
inline constexpr Setting ShopStatus{"Shop", "Status"};
inline constexpr Setting ShopMergeOrders{"Shop", "MergeOrders"};
// The recipient grid's columns and the header state saved for them.
inline constexpr Setting GridColumns{"Grid", "Columns"};
inline constexpr Setting GridState{"Grid", "State"};
// Sections whose keys are made from data: a digest of a title row, and a
// template name.
inline constexpr char ImportMappingSection[] = "ImportMapping";
inline constexpr char PrinterSection[] = "Printer";

// A setting that holds a whole number, and the values it may take; a
// missing or blank value means the default.
struct WholeNumber {
    Setting setting;
    int minimum;
    int maximum;
};
inline constexpr WholeNumber ShopDownloadTimeoutRange{ShopDownloadTimeout, 1, 3600};
inline constexpr WholeNumber ShopMaxAnswerMBRange{ShopMaxAnswerMB, 1, 1024};
inline constexpr WholeNumber DatabaseLeaseSecondsRange{DatabaseLeaseSeconds, 10, 3600};
inline constexpr WholeNumber DatabaseClaimRowsRange{DatabaseClaimRows, 1, 100000};

// The largest config.ini that is read; a larger one is not.
inline constexpr qint64 MaxFileSize = 1024 * 1024;

QString fileName(const QString& appDir); // appDir ends with a separator

// What is wrong with config.ini in appDir, each a message of its own: the
// program's first line naming the file, the reason and key on a second
// line. Empty when the file is fine or absent. Something that is no regular
// file is never opened (a FIFO would wait forever for a writer).
QStringList problems(const QString& appDir);
// Why the INI file at iniPath is not read, empty when it is usable or
// absent. Every read and write below treats such a file as unreadable:
// reads give their defaults, writes fail with this reason.
QString unusableReason(const QString& iniPath);
// From the INI file at iniPath itself; the default when the file is
// unusable.
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
