#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// A database file's data onto a PostgreSQL server that several stations
// will share, and the check that both hold the same. Each throws DataError.
namespace ServerCopy
{

// What a copy moves: every table of the file but the region tables (the
// schema brings its own) and Print_Pending (jobs of this station, settled
// at its start).
QStringList copiedTables();

struct Count {
    QString what; // a table's name, or "Model_Picture"
    int rows = 0;
};

// Refuses a server database that holds any table, and says why.
void requireEmpty(const QSqlDatabase& target);
// The schema on an empty server database, in one transaction.
void init(QSqlDatabase target);
// The schema and every copied table's rows, keys kept, and the template
// pictures of pictureDir (bkbmp/) into Model_Picture, in one transaction on
// an empty server database. The file's calibrations become those of station
// (the one that copies: RowClaims::stationName).
QList<Count> copy(const QSqlDatabase& source, const QString& pictureDir, QSqlDatabase target,
                  const QString& station = QString());
// What differs between the file (and its pictures) and the server, one
// line per table, the file's calibrations against station's; empty when
// both hold the same.
QStringList differences(const QSqlDatabase& source, const QString& pictureDir,
                        const QSqlDatabase& target, const QString& station = QString());
// The GRANT statements that let role work as a station on target.
QStringList grantLines(const QSqlDatabase& target, const QString& role);

} // namespace ServerCopy
