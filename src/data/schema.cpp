#include "data/schema.h"

#include "base/dataerror.h"
#include "data/transaction.h"

#include <QFile>
#include <QMap>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

// Outside any namespace, as Q_INIT_RESOURCE requires; the region rows are
// compiled into this static library.
static void initRegionResources()
{
    Q_INIT_RESOURCE(regions);
}

namespace
{

void exec(QSqlQuery& q, const QString& sql)
{
    if (!q.exec(sql))
        throw DataError(q.lastError().text());
}

QString columnList(const QStringList& names, const QString& type, const QString& first = {})
{
    QStringList parts;
    if (!first.isEmpty())
        parts << first;
    for (const QString& n : names)
        parts << n + QLatin1Char(' ') + type;
    return parts.join(QLatin1String(", "));
}

void loadRegion(QSqlQuery& q, const QString& table, const QString& resource)
{
    QFile f(resource);
    if (!f.open(QIODevice::ReadOnly))
        throw DataError::refusal(
            QStringLiteral("地区数据缺失，无法建立数据库！\n%1").arg(resource));
    QTextStream in(&f);
    in.setEncoding(QStringConverter::Utf8);
    const QStringList header = in.readLine().split(QLatin1Char(','));
    QStringList marks;
    for (int i = 0; i < header.size(); ++i)
        marks << QStringLiteral("?");
    if (!q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                       .arg(table, header.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))))
        throw DataError(q.lastError().text());
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.isEmpty())
            continue;
        const QStringList cells = line.split(QLatin1Char(','));
        for (int i = 0; i < header.size(); ++i)
            q.bindValue(i, cells.value(i));
        if (!q.exec())
            throw DataError(q.lastError().text());
    }
}

// Version 1: the tables of the first release and the region rows.
void createVersion1(QSqlQuery& q)
{
    QStringList model = Schema::modelColumns(1);
    QStringList modelDefs;
    for (int i = 0; i < model.size(); ++i)
        modelDefs << model.at(i) + (i < 2 ? QLatin1String(" TEXT") : QLatin1String(" INTEGER"));
    exec(q, QLatin1String("CREATE TABLE Exp_Model (") + modelDefs.join(QLatin1String(", ")) +
                QLatin1Char(')'));

    const QString key = QStringLiteral("ID INTEGER PRIMARY KEY AUTOINCREMENT");
    exec(q, QLatin1String("CREATE TABLE Exp_Att_Info (") +
                columnList(Schema::recipientColumns().mid(1), QStringLiteral("TEXT"), key) +
                QLatin1Char(')'));
    exec(q, QLatin1String("CREATE TABLE Exp_Send_info (") +
                columnList(Schema::senderColumns().mid(1), QStringLiteral("TEXT"), key) +
                QLatin1Char(')'));
    exec(q, QLatin1String("CREATE TABLE Shop_Info (") +
                columnList(Schema::shopColumns(), QStringLiteral("TEXT")) + QLatin1Char(')'));
    exec(q, QStringLiteral("CREATE TABLE province (code TEXT, name TEXT)"));
    exec(q, QStringLiteral("CREATE TABLE city (code TEXT, name TEXT, provinceID TEXT)"));
    exec(q, QStringLiteral("CREATE TABLE area (code TEXT, name TEXT, cityID TEXT)"));
    exec(q, QStringLiteral("CREATE INDEX city_province ON city (provinceID)"));
    exec(q, QStringLiteral("CREATE INDEX area_city ON area (cityID)"));

    loadRegion(q, QStringLiteral("province"), QStringLiteral(":/regions/province.csv"));
    loadRegion(q, QStringLiteral("city"), QStringLiteral(":/regions/city.csv"));
    loadRegion(q, QStringLiteral("area"), QStringLiteral(":/regions/area.csv"));
}

// Version 2: print marks, calibration, fitted fields and the print log. Only
// new columns and tables: every older row and column stays as it was.
void upgradeToVersion2(QSqlQuery& q)
{
    exec(q, QStringLiteral("ALTER TABLE Exp_Att_Info ADD COLUMN Printed_At TEXT"));
    exec(q, QStringLiteral("ALTER TABLE Exp_Att_Info ADD COLUMN Print_Count INTEGER"));
    exec(q, QStringLiteral("CREATE TABLE Print_Calibration (Model_Name TEXT NOT NULL, "
                           "Printer TEXT NOT NULL, Dx_Mm REAL NOT NULL DEFAULT 0, "
                           "Dy_Mm REAL NOT NULL DEFAULT 0, Sx_Pct REAL NOT NULL DEFAULT 100, "
                           "Sy_Pct REAL NOT NULL DEFAULT 100, PRIMARY KEY (Model_Name, Printer))"));
    exec(q, QStringLiteral("CREATE TABLE Model_Field_Fit (Model_Name TEXT NOT NULL, "
                           "Field_Key TEXT NOT NULL, Fit INTEGER NOT NULL DEFAULT 0, "
                           "Height INTEGER, PRIMARY KEY (Model_Name, Field_Key))"));
    exec(q, QStringLiteral("CREATE TABLE Print_Log (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
                           "Printed_At TEXT NOT NULL, Model_Name TEXT, Target TEXT, "
                           "Pages INTEGER NOT NULL, First_Name TEXT, Last_Name TEXT, "
                           "Row_Ids TEXT NOT NULL)"));
}

// Version 3: print jobs on their way to their printer or file (a job is
// written here before it is handed over and settled right after, so that a
// run killed in between still knows what it handed over); every recipient
// of a logged job by name, and whether the job printed rows again; the
// carriers of templates; the print font of templates and the fonts of
// single fields.
void upgradeToVersion3(QSqlQuery& q)
{
    exec(q, QStringLiteral("CREATE TABLE Print_Pending (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
                           "Started_At TEXT NOT NULL, Model_Name TEXT, Target TEXT, "
                           "Pages INTEGER NOT NULL, First_Name TEXT, Last_Name TEXT, "
                           "Row_Ids TEXT NOT NULL, Names TEXT, Reprint INTEGER NOT NULL "
                           "DEFAULT 0, Job_Path TEXT, Job_File TEXT, Cups_Job INTEGER)"));
    exec(q, QStringLiteral("ALTER TABLE Print_Log ADD COLUMN Names TEXT"));
    exec(q, QStringLiteral("ALTER TABLE Print_Log ADD COLUMN Reprint INTEGER NOT NULL DEFAULT 0"));
    // A template's carrier and the last number written for it. A template
    // without a code keeps the rule its name selects.
    exec(q, QStringLiteral("CREATE TABLE Model_Carrier (Model_Name TEXT PRIMARY KEY, "
                           "Carrier_Code TEXT, Last_Waybill TEXT)"));
    exec(q, QStringLiteral("CREATE TABLE Model_Print_Font (Model_Name TEXT PRIMARY KEY, "
                           "Family TEXT NOT NULL, Size_Pt REAL NOT NULL, "
                           "Bold INTEGER NOT NULL DEFAULT 0, Italic INTEGER NOT NULL DEFAULT 0)"));
    exec(q, QStringLiteral("CREATE TABLE Model_Field_Font (Model_Name TEXT NOT NULL, "
                           "Field_Key TEXT NOT NULL, Family TEXT NOT NULL, Size_Pt REAL NOT NULL, "
                           "Bold INTEGER NOT NULL DEFAULT 0, Italic INTEGER NOT NULL DEFAULT 0, "
                           "PRIMARY KEY (Model_Name, Field_Key))"));
}

// Version 4: the waybill number and the carrier as fields of every
// template, hidden so that each prints as before; how a field is drawn (as
// text, a Code 128 or a QR code, its module width and bar height); whether
// a template prints its picture.
void upgradeToVersion4(QSqlQuery& q)
{
    const struct {
        const char* key;
        int left, top;
    } added[] = {{"A_WayBillNo", 607, 462}, {"A_ExpName", 651, 462}};
    for (const auto& a : added) {
        const QString key = QString::fromLatin1(a.key);
        const int values[] = {a.left, a.top, 40, 0};
        const QString columns[] = {Schema::fieldLeftColumn(key), Schema::fieldTopColumn(key),
                                   Schema::fieldWidthColumn(key), Schema::fieldVisibleColumn(key)};
        for (int i = 0; i < 4; ++i) {
            exec(q, QStringLiteral("ALTER TABLE Exp_Model ADD COLUMN %1 INTEGER").arg(columns[i]));
            exec(q, QStringLiteral("UPDATE Exp_Model SET %1 = %2").arg(columns[i]).arg(values[i]));
        }
    }
    exec(q, QStringLiteral("ALTER TABLE Model_Field_Fit ADD COLUMN Symbol TEXT"));
    exec(q, QStringLiteral("ALTER TABLE Model_Field_Fit ADD COLUMN Module_Mm REAL"));
    exec(q, QStringLiteral("ALTER TABLE Model_Field_Fit ADD COLUMN Bar_Height_Mm REAL"));
    exec(q, QStringLiteral("CREATE TABLE Model_Label (Model_Name TEXT PRIMARY KEY, "
                           "Print_Picture INTEGER NOT NULL DEFAULT 0)"));
}

// Version 5: the shop's order numbers of each recipient row (one or more,
// joined by ",") and, per order, how far sending its
// waybill number back to the shop has come. The send state is kept by order
// number, not by row, so that a row replaced or imported again cannot send
// an order a second time.
void upgradeToVersion5(QSqlQuery& q)
{
    exec(q, QStringLiteral("ALTER TABLE Exp_Att_Info ADD COLUMN Order_No TEXT"));
    exec(q, QStringLiteral("CREATE TABLE Order_Ship (Tid TEXT PRIMARY KEY, State TEXT NOT NULL, "
                           "Waybill_No TEXT, Company_Code TEXT, Changed_At TEXT, Reason TEXT)"));
}

void setVersion(QSqlQuery& q, int version)
{
    exec(q, QStringLiteral("PRAGMA user_version = %1").arg(version));
}

DataError unknownVersion(const QString& detail)
{
    return DataError::refusal(
        QStringLiteral("数据库文件的结构版本不是本程序能打开的版本，程序没有改动它！\n") + detail);
}

// Every table, index, view and trigger of a database and every column of its
// tables ("Table.Column"), keyed in lower case as SQLite compares names.
QMap<QString, QString> objectsOf(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    exec(q, QStringLiteral("SELECT type, name FROM sqlite_master WHERE name NOT LIKE 'sqlite\\_%' "
                           "ESCAPE '\\'"));
    QMap<QString, QString> objects;
    QStringList tables;
    while (q.next()) {
        const QString name = q.value(1).toString();
        objects.insert(name.toLower(), name);
        if (q.value(0).toString() == QLatin1String("table"))
            tables << name;
    }
    q.finish();
    for (const QString& table : tables) {
        if (!q.prepare(QStringLiteral("SELECT name FROM pragma_table_info(?)")))
            throw DataError(q.lastError().text());
        q.addBindValue(table);
        if (!q.exec())
            throw DataError(q.lastError().text());
        while (q.next()) {
            const QString column = table + QLatin1Char('.') + q.value(0).toString();
            objects.insert(column.toLower(), column);
        }
    }
    return objects;
}

// What create() makes at that version, in a database in memory.
QMap<QString, QString> objectsAtVersion(int version)
{
    const QString name = QStringLiteral("schema_version_%1").arg(version);
    QMap<QString, QString> objects;
    {
        QSqlDatabase memory = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        memory.setDatabaseName(QStringLiteral(":memory:"));
        if (!memory.open())
            throw DataError(memory.lastError().text());
        Schema::create(memory, version);
        objects = objectsOf(memory);
        memory.close();
    }
    QSqlDatabase::removeDatabase(name);
    return objects;
}

// The objects of db that a version after `version` (up to the newest this
// program knows) adds; a column only when its table is older.
QStringList laterObjectsIn(const QSqlDatabase& db, int version)
{
    const QMap<QString, QString> before = objectsAtVersion(version);
    const QMap<QString, QString> newest = objectsAtVersion(Schema::kVersion);
    const QMap<QString, QString> present = objectsOf(db);
    QStringList found;
    for (auto it = newest.cbegin(); it != newest.cend(); ++it) {
        if (before.contains(it.key()) || !present.contains(it.key()))
            continue;
        const QString table = it.key().section(QLatin1Char('.'), 0, 0);
        if (table != it.key() && !before.contains(table))
            continue; // named with its table
        found << present.value(it.key());
    }
    return found;
}

} // namespace

namespace Schema
{

const QString& printedAtColumn()
{
    static const QString s = QStringLiteral("Printed_At");
    return s;
}

const QString& printCountColumn()
{
    static const QString s = QStringLiteral("Print_Count");
    return s;
}

const QString& orderNoColumn()
{
    static const QString s = QStringLiteral("Order_No");
    return s;
}

const QStringList& fieldKeys()
{
    static const QStringList keys = {
        QStringLiteral("S_Name"),      QStringLiteral("S_Company"),
        QStringLiteral("S_Address"),   QStringLiteral("S_Mobile"),
        QStringLiteral("S_Phone"),     QStringLiteral("S_Contents"),
        QStringLiteral("A_Name"),      QStringLiteral("A_Company"),
        QStringLiteral("A_Address"),   QStringLiteral("A_Mobile"),
        QStringLiteral("A_Phone"),     QStringLiteral("A_Disrination"),
        QStringLiteral("A_PostCode"),  QStringLiteral("A_Prvince"),
        QStringLiteral("A_City"),      QStringLiteral("A_Country"),
        QStringLiteral("S_Departure"), QStringLiteral("S_PostCode"),
        QStringLiteral("S_Prvince"),   QStringLiteral("S_City"),
        QStringLiteral("S_Country"),   QStringLiteral("A_Custom1"),
        QStringLiteral("A_Custom2"),   QStringLiteral("A_Custom3"),
        QStringLiteral("A_Custom4"),   QStringLiteral("A_Custom5"),
        QStringLiteral("A_WayBillNo"), QStringLiteral("A_ExpName"),
    };
    return keys;
}

QString fieldLeftColumn(const QString& key)
{
    return key + QLatin1String("_Left");
}

QString fieldTopColumn(const QString& key)
{
    return key + QLatin1String("_Top");
}

QString fieldWidthColumn(const QString& key)
{
    return key + QLatin1String("_Width");
}

QString fieldVisibleColumn(const QString& key)
{
    return key + QLatin1String("_isVis");
}

QStringList modelColumns(int version)
{
    QStringList cols = {ModelColumn::Name,       ModelColumn::PictureName, ModelColumn::PictureLeft,
                        ModelColumn::PictureTop, ModelColumn::PaperWidth,  ModelColumn::PaperHeight,
                        ModelColumn::OffsetX,    ModelColumn::OffsetY};
    const QStringList& keys = fieldKeys();
    for (const QString& k : version >= 4 ? keys : keys.mid(0, kFirstFieldCount))
        cols << fieldLeftColumn(k) << fieldTopColumn(k) << fieldWidthColumn(k)
             << fieldVisibleColumn(k);
    return cols;
}

QStringList recipientColumns()
{
    return {QStringLiteral("ID"),       QStringLiteral("Name"),      QStringLiteral("Company"),
            QStringLiteral("Address"),  QStringLiteral("Mobile"),    QStringLiteral("Phone"),
            QStringLiteral("ExpName"),  QStringLiteral("WayBillNo"), QStringLiteral("Disrination"),
            QStringLiteral("PostCode"), QStringLiteral("Prvince"),   QStringLiteral("City"),
            QStringLiteral("Country"),  QStringLiteral("Custom1"),   QStringLiteral("Custom2"),
            QStringLiteral("Custom3"),  QStringLiteral("Custom4"),   QStringLiteral("Custom5")};
}

QStringList senderColumns()
{
    return {QStringLiteral("ID"),      QStringLiteral("Name"),     QStringLiteral("Departure"),
            QStringLiteral("Company"), QStringLiteral("Prvince"),  QStringLiteral("City"),
            QStringLiteral("Country"), QStringLiteral("Address"),  QStringLiteral("Mobile"),
            QStringLiteral("Phone"),   QStringLiteral("Contents"), QStringLiteral("PostCode")};
}

QStringList shopColumns()
{
    return {QStringLiteral("Nick"), QStringLiteral("App_Key"), QStringLiteral("Secret"),
            QStringLiteral("Sesstion")};
}

void create(QSqlDatabase db, int version)
{
    initRegionResources();
    Transaction tx(db, QStringLiteral("schema_create"));
    QSqlQuery q(db);
    createVersion1(q);
    if (version >= 2)
        upgradeToVersion2(q);
    if (version >= 3)
        upgradeToVersion3(q);
    if (version >= 4)
        upgradeToVersion4(q);
    if (version >= 5)
        upgradeToVersion5(q);
    setVersion(q, version);
    tx.commit();
}

void upgrade(QSqlDatabase db)
{
    QSqlQuery q(db);
    exec(q, QStringLiteral("PRAGMA user_version"));
    const int version = q.next() ? q.value(0).toInt() : 0;
    q.finish();
    if (version == kVersion)
        return;
    if (version > kVersion)
        throw unknownVersion(QStringLiteral("文件的结构版本为%1，由较新版本的Waylark写入；"
                                            "本程序只认识到版本%2。")
                                 .arg(version)
                                 .arg(kVersion));
    if (version < 0)
        throw unknownVersion(
            QStringLiteral("文件的结构版本为%1，不是任何Waylark写入的版本。").arg(version));
    if (version == 0) {
        exec(q, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table'"));
        const int tables = q.next() ? q.value(0).toInt() : 0;
        q.finish();
        if (tables == 0) {
            create(db);
            return;
        }
        throw DataError::refusal(QStringLiteral("数据库文件不是Waylark建立的，无法打开！\n"
                                                "文件中有数据表，但没有本程序的结构版本号。"));
    }
    // A file that already holds what a later version adds is not the
    // version it claims: upgrading it would fail halfway or mix two shapes.
    const QStringList later = laterObjectsIn(db, version);
    if (!later.isEmpty())
        throw unknownVersion(QStringLiteral("文件标为版本%1，却已含有较新版本才有的%2。")
                                 .arg(version)
                                 .arg(later.join(QStringLiteral("、"))));
    // One step per version, each in its own transaction with its version.
    if (version < 2) {
        Transaction tx(db, QStringLiteral("schema_upgrade_2"));
        upgradeToVersion2(q);
        setVersion(q, 2);
        tx.commit();
    }
    if (version < 3) {
        Transaction tx(db, QStringLiteral("schema_upgrade_3"));
        upgradeToVersion3(q);
        setVersion(q, 3);
        tx.commit();
    }
    if (version < 4) {
        Transaction tx(db, QStringLiteral("schema_upgrade_4"));
        upgradeToVersion4(q);
        setVersion(q, 4);
        tx.commit();
    }
    if (version < 5) {
        Transaction tx(db, QStringLiteral("schema_upgrade_5"));
        upgradeToVersion5(q);
        setVersion(q, 5);
        tx.commit();
    }
}

} // namespace Schema
