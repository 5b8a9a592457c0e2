#include "data/servercopy.h"

#include "base/dataerror.h"
#include "data/schema.h"
#include "data/transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

namespace
{

// A picture larger than this is no template picture.
constexpr qint64 kMaxPictureBytes = 64 * 1024 * 1024;

void run(QSqlQuery& q)
{
    if (!q.exec())
        throw DataError(q.lastError().text());
}

void run(QSqlQuery& q, const QString& sql)
{
    if (!q.exec(sql))
        throw DataError(q.lastError().text());
}

// The columns of a table in the file, in order.
QStringList columnsOf(const QSqlDatabase& db, const QString& table)
{
    const QSqlRecord rec = db.record(table);
    QStringList cols;
    for (int i = 0; i < rec.count(); ++i)
        cols << rec.fieldName(i);
    return cols;
}

// The picture files of dir: regular files only, no links, no giants.
QStringList pictureFiles(const QString& dir)
{
    QStringList names;
    const QDir pictures(dir);
    for (const QFileInfo& info :
         pictures.entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name)) {
        if (info.size() <= kMaxPictureBytes)
            names << info.fileName();
    }
    return names;
}

QByteArray readPicture(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw DataError(QStringLiteral("%1: %2").arg(path, f.errorString()));
    const QByteArray data = f.read(kMaxPictureBytes + 1);
    if (data.size() > kMaxPictureBytes)
        throw DataError::refusal(QStringLiteral("模板图片太大：%1").arg(path));
    return data;
}

// One row as text that reads the same on both engines.
QString rowText(const QSqlQuery& q, int columns)
{
    QStringList cells;
    for (int i = 0; i < columns; ++i) {
        const QVariant v = q.value(i);
        cells << (v.isNull() ? QStringLiteral("\x01") : v.toString());
    }
    return cells.join(QLatin1Char('\x02'));
}

// The table that holds rows per station on a server.
const QString kPerStation = QStringLiteral("Print_Calibration");

// A station's name as stored: never null.
QString stationKey(const QString& station)
{
    return station.isNull() ? QStringLiteral("") : station;
}

// Rows of a table; on a server, of a per-station table, station's only.
QStringList sortedRows(const QSqlDatabase& db, const QString& table, const QStringList& cols,
                       const QString& station = QString())
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const bool perStation = table == kPerStation && Schema::isServer(db);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM %2").arg(cols.join(QLatin1Char(',')), table) +
                   (perStation ? QStringLiteral(" WHERE Station = ?") : QString())))
        throw DataError(q.lastError().text());
    if (perStation)
        q.addBindValue(stationKey(station));
    run(q);
    QStringList rows;
    while (q.next())
        rows << rowText(q, cols.size());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int countDiffering(const QStringList& a, const QStringList& b)
{
    QStringList onlyA, onlyB;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(onlyA));
    std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(onlyB));
    return int(std::max(onlyA.size(), onlyB.size()));
}

} // namespace

namespace ServerCopy
{

QStringList copiedTables()
{
    return {QStringLiteral("Exp_Model"),         QStringLiteral("Exp_Att_Info"),
            QStringLiteral("Exp_Send_info"),     QStringLiteral("Shop_Info"),
            QStringLiteral("Print_Calibration"), QStringLiteral("Model_Field_Fit"),
            QStringLiteral("Print_Log"),         QStringLiteral("Model_Carrier"),
            QStringLiteral("Model_Print_Font"),  QStringLiteral("Model_Field_Font"),
            QStringLiteral("Model_Label"),       QStringLiteral("Order_Ship")};
}

void requireEmpty(const QSqlDatabase& target)
{
    const QStringList tables = Schema::tablesOf(target);
    if (!tables.isEmpty())
        throw DataError::refusal(QStringLiteral("服务器上的数据库不是空的，程序没有改动它。\n"
                                                "其中已有数据表：%1")
                                     .arg(tables.mid(0, 8).join(QStringLiteral("、"))));
}

void init(QSqlDatabase target)
{
    requireEmpty(target);
    Schema::create(target);
}

QList<Count> copy(const QSqlDatabase& source, const QString& pictureDir, QSqlDatabase target,
                  const QString& station)
{
    requireEmpty(target);
    QList<Count> counts;
    // Before the transaction: a failed copy rolls back first, then frees it.
    QSqlQuery into(target);
    Transaction tx(target, QStringLiteral("server_copy"));
    Schema::create(target);
    for (const QString& table : copiedTables()) {
        const QStringList cols = columnsOf(source, table);
        QSqlQuery from(source);
        from.setForwardOnly(true);
        run(from, QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                      .arg(cols.join(QLatin1Char(',')), table));
        const bool perStation = table == kPerStation;
        const QStringList intoCols =
            perStation ? cols + QStringList{QStringLiteral("Station")} : cols;
        const QStringList marks(intoCols.size(), QStringLiteral("?"));
        if (!into.prepare(
                QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(table, intoCols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))))
            throw DataError(into.lastError().text());
        int rows = 0;
        while (from.next()) {
            for (int i = 0; i < cols.size(); ++i)
                into.bindValue(i, from.value(i));
            if (perStation)
                into.bindValue(cols.size(), stationKey(station));
            run(into);
            ++rows;
        }
        if (from.lastError().isValid())
            throw DataError(from.lastError().text());
        into.finish();
        // Keys were copied as they were: new rows continue after them.
        if (cols.contains(QStringLiteral("ID")))
            run(into, QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'id'), "
                                     "COALESCE(MAX(ID), 0) + 1, false) FROM %1")
                          .arg(table.toLower()));
        counts << Count{table, rows};
    }
    // The order numbers of the copied rows, each once (the first row keeps it).
    run(into, QStringLiteral("INSERT INTO Order_Number (Tid, Att_ID) SELECT DISTINCT ON (t) t, "
                             "ID FROM Exp_Att_Info, unnest(string_to_array(Order_No, ',')) AS t "
                             "WHERE t <> '' ORDER BY t, ID"));
    if (!into.prepare(QStringLiteral("INSERT INTO Model_Picture (Name, Data) VALUES (?, ?)")))
        throw DataError(into.lastError().text());
    int pictures = 0;
    for (const QString& name : pictureFiles(pictureDir)) {
        into.bindValue(0, name);
        into.bindValue(1, readPicture(QDir(pictureDir).filePath(name)));
        run(into);
        ++pictures;
    }
    counts << Count{QStringLiteral("Model_Picture"), pictures};
    tx.commit();
    return counts;
}

QStringList differences(const QSqlDatabase& source, const QString& pictureDir,
                        const QSqlDatabase& target, const QString& station)
{
    QStringList lines;
    const QStringList serverTables = Schema::tablesOf(target);
    for (const QString& table : copiedTables()) {
        if (!serverTables.contains(table.toLower())) {
            lines << QStringLiteral("%1：服务器上没有这张表").arg(table);
            continue;
        }
        const QStringList cols = columnsOf(source, table);
        const QStringList here = sortedRows(source, table, cols);
        const QStringList there = sortedRows(target, table, cols, station);
        const int differing = countDiffering(here, there);
        if (differing > 0)
            lines << QStringLiteral("%1：文件 %2 行，服务器 %3 行，不同的行 %4")
                         .arg(table)
                         .arg(here.size())
                         .arg(there.size())
                         .arg(differing);
    }
    QMap<QString, QByteArray> server;
    if (serverTables.contains(QStringLiteral("model_picture"))) {
        QSqlQuery q(target);
        run(q, QStringLiteral("SELECT Name, Data FROM Model_Picture"));
        while (q.next())
            server.insert(q.value(0).toString(), q.value(1).toByteArray());
    }
    QStringList pictureLines;
    const QStringList files = pictureFiles(pictureDir);
    for (const QString& name : files) {
        if (!server.contains(name))
            pictureLines << QStringLiteral("模板图片 %1：服务器上没有").arg(name);
        else if (server.value(name) != readPicture(QDir(pictureDir).filePath(name)))
            pictureLines << QStringLiteral("模板图片 %1：内容不同").arg(name);
    }
    for (auto it = server.cbegin(); it != server.cend(); ++it) {
        if (!files.contains(it.key()))
            pictureLines << QStringLiteral("模板图片 %1：只在服务器上").arg(it.key());
    }
    return lines + pictureLines;
}

QStringList grantLines(const QSqlDatabase& target, const QString& role)
{
    QSqlQuery q(target);
    run(q, QStringLiteral("SELECT current_database(), current_schema()"));
    const QString database = q.next() ? q.value(0).toString() : QString();
    const QString schema = q.value(1).toString();
    const QString r = QLatin1Char('"') + role + QLatin1Char('"');
    return {
        QStringLiteral("GRANT CONNECT ON DATABASE \"%1\" TO %2;").arg(database, r),
        QStringLiteral("GRANT USAGE ON SCHEMA \"%1\" TO %2;").arg(schema, r),
        QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA \"%1\" TO %2;")
            .arg(schema, r),
        QStringLiteral("GRANT USAGE, SELECT, UPDATE ON ALL SEQUENCES IN SCHEMA \"%1\" TO %2;")
            .arg(schema, r),
    };
}

} // namespace ServerCopy
