// The data layer: header guard, schema of a new database, the data module's
// connection and queries, and the Dataset cursor.
#include "base/dataerror.h"
#include "data/datalocation.h"
#include "data/datamodule.h"
#include "data/dataset.h"
#include "data/headerguard.h"
#include "data/rowwrite.h"
#include "data/schema.h"
#include "data/termination.h"
#include "data/transaction.h"
#include "templates/fieldcatalogue.h"
#include "templates/newdatabase.h"
#include "tempworkdir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QtTest>
#include <csignal>
#include <functional>

namespace
{

QByteArray readAll(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QStringList tableColumns(const QSqlDatabase& db, const QString& table)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    QStringList cols;
    while (q.next())
        cols << q.value(1).toString();
    return cols;
}

// Every row of a table, in rowid order, only the given columns.
QList<QVariantList> tableRows(const QSqlDatabase& db, const QString& table,
                              const QStringList& columns)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(columns.join(','), table));
    QList<QVariantList> rows;
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < columns.size(); ++i)
            row << q.value(i);
        rows << row;
    }
    return rows;
}

int userVersion(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("PRAGMA user_version"));
    return q.next() ? q.value(0).toInt() : -1;
}

// Runs work on a plain connection to path (no data module, no lock).
void withPlainConnection(const QString& path, const std::function<void(QSqlDatabase)>& work)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "plain");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        work(db);
        db.close();
    }
    QSqlDatabase::removeDatabase("plain");
}

// Takes away what version 4 adds, from a file made new.
// What version 5 adds, taken out again.
void dropVersion5(QSqlQuery& q)
{
    QVERIFY(q.exec("DROP TABLE Order_Ship"));
    QVERIFY(q.exec("ALTER TABLE Exp_Att_Info DROP COLUMN Order_No"));
}

void dropVersion4(QSqlQuery& q)
{
    for (const char* key : {"A_WayBillNo", "A_ExpName"})
        for (const char* column : {"_Left", "_Top", "_Width", "_isVis"})
            QVERIFY(q.exec(QStringLiteral("ALTER TABLE Exp_Model DROP COLUMN %1%2")
                               .arg(QLatin1String(key), QLatin1String(column))));
    for (const char* column : {"Symbol", "Module_Mm", "Bar_Height_Mm"})
        QVERIFY(q.exec(QStringLiteral("ALTER TABLE Model_Field_Fit DROP COLUMN %1")
                           .arg(QLatin1String(column))));
    QVERIFY(q.exec("DROP TABLE Model_Label"));
}

// A version-1 file as the first release made it: its tables and region rows,
// a template with every column set, two recipients, a sender, shop values.
void makeVersion1File(const QString& path)
{
    withPlainConnection(path, [](QSqlDatabase db) {
        Schema::create(db, 1);
        QSqlQuery q(db);
        const QStringList model = Schema::modelColumns(1);
        QStringList marks;
        for (int i = 0; i < model.size(); ++i)
            marks << QStringLiteral("?");
        q.prepare(QStringLiteral("INSERT INTO Exp_Model (%1) VALUES (%2)")
                      .arg(model.join(','), marks.join(',')));
        for (int i = 0; i < model.size(); ++i)
            q.bindValue(i, i < 2 ? QVariant(QStringLiteral("模板%1").arg(i)) : QVariant(i * 3));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        for (const char* name : {"张三", "李四"}) {
            q.prepare(QStringLiteral("INSERT INTO Exp_Att_Info (Name, Address, Mobile, Custom5) "
                                     "VALUES (?, ?, ?, ?)"));
            q.addBindValue(QString::fromUtf8(name));
            q.addBindValue(QStringLiteral("北京市朝阳区某路 1 号"));
            q.addBindValue(QStringLiteral("138        "));
            q.addBindValue(QStringLiteral("备注"));
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        QVERIFY(q.exec(QStringLiteral("INSERT INTO Exp_Send_info (Name, Contents) VALUES "
                                      "('王五', '书')")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO Shop_Info VALUES ('nick', 'k', 's', 'x')")));
    });
}

// Adds a row with these values; it becomes the current row.
void addRow(Dataset* ds, const Dataset::NamedValues& values)
{
    ds->moveTo(ds->insertRow(ds->fieldsOf(values)));
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempWorkDir> m_tmp;
    std::unique_ptr<DataModule> m_dm;

    // A new database in the working directory, opened by a data module.
    void openNewDatabase()
    {
        NewDatabase::createDatabase(QStringLiteral("Waylark_main.db"));
        m_dm = std::make_unique<DataModule>();
        m_dm->connectDatabase();
        m_dm->openAll();
    }

    // Exp_Model rows with only a name (the rest null), in this order.
    void addModels(const QStringList& names)
    {
        QSqlQuery q(m_dm->database());
        for (const QString& n : names) {
            q.prepare(QStringLiteral("INSERT INTO Exp_Model (Model_Name) VALUES (?)"));
            q.addBindValue(n);
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        m_dm->templates->refresh();
    }

private Q_SLOTS:
    void init()
    {
        m_tmp = std::make_unique<TempWorkDir>();
        QVERIFY(m_tmp->isValid());
    }
    void cleanup()
    {
        m_dm.reset();
        m_tmp.reset();
    }

    // A write that fails leaves no row half-written; when its rows cannot
    // be read back either, the failure says so too instead of hiding it.
    void failedWriteAndFailedReloadAreBothTold()
    {
        openNewDatabase();
        QSqlQuery q(m_dm->database());
        QVERIFY(q.exec("CREATE TABLE Scratch (A TEXT)"));
        Dataset ds(QStringLiteral("Scratch"), m_dm->database().connectionName());
        ds.setTableName(QStringLiteral("Scratch"));
        ds.open();
        QString shown;
        DataError::Kind kind = DataError::Kind::Refusal;
        try {
            try {
                QVERIFY(q.exec("DROP TABLE Scratch"));
                ds.insertRow(ds.fieldsOf({{"A", "x"}}));
                QFAIL("the row was written to a table that is gone");
            } catch (...) {
                QCOMPARE(ds.recordCount(), 0); // no row was added
                rethrowAfterReload(&ds);
            }
        } catch (const DataError& e) {
            shown = e.message();
            kind = e.kind();
        }
        const QStringList lines = shown.split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(0).contains("Scratch"), qPrintable(shown));
        QVERIFY2(lines.at(1).startsWith(QStringLiteral("表格未能重新读取：")), qPrintable(shown));
        QVERIFY(kind == DataError::Kind::Failure);
    }

    void headerGuardSwapsOnlyTheFirstSixteenBytes()
    {
        QByteArray original(5000, '\0');
        for (int i = 0; i < original.size(); ++i)
            original[i] = char(i * 7);
        original.replace(0, 16, HeaderGuard::standardHeader()); // only a database is sealed
        QFile f(QStringLiteral("file.db"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(original);
        f.close();

        QCOMPARE(sealHeader(QStringLiteral("file.db")), HeaderGuard::Result::Written);
        QByteArray sealed = readAll(QStringLiteral("file.db"));
        QCOMPARE(sealed.size(), original.size());
        QCOMPARE(sealed.left(16), HeaderGuard::sealedHeader());
        QCOMPARE(sealed.mid(16), original.mid(16));
        QCOMPARE(sealed.at(0), '\0');

        QCOMPARE(restoreHeader(QStringLiteral("file.db")), HeaderGuard::Result::Written);
        const QByteArray restored = readAll(QStringLiteral("file.db"));
        QCOMPARE(restored.left(16), QByteArray("SQLite format 3\0", 16));
        QCOMPARE(restored.mid(16), original.mid(16));
    }

    // Files that were never sealed: neither swap writes a byte of them.
    void headerGuardLeavesOtherFilesAlone_data()
    {
        QTest::addColumn<QByteArray>("content");
        QByteArray random(4096, '\0');
        for (int i = 0; i < random.size(); ++i)
            random[i] = char((i * 131 + 17) % 251);
        QTest::newRow("zero bytes") << QByteArray();
        QTest::newRow("random bytes") << random;
        QTest::newRow("ten bytes of the sealed pattern") << HeaderGuard::sealedHeader().left(10);
    }
    void headerGuardLeavesOtherFilesAlone()
    {
        QFETCH(QByteArray, content);
        const QString name = QStringLiteral("other.db");
        {
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const QByteArray before = readAll(name);
        QCOMPARE(restoreHeader(name), HeaderGuard::Result::Foreign);
        QCOMPARE(readAll(name), before);
        QCOMPARE(sealHeader(name), HeaderGuard::Result::Foreign);
        QCOMPARE(readAll(name), before);
    }

    // A file held by another process's write transaction is not written to,
    // even when it carries the header that would be swapped.
    void headerGuardWaitsForNoOtherProcess()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
            QSKIP("the sqlite3 program is not installed");
        NewDatabase::createDatabase(QStringLiteral("Waylark_main.db")); // standard header
        QProcess holder;
        holder.start(QStringLiteral("sqlite3"), {QStringLiteral("Waylark_main.db")});
        QVERIFY(holder.waitForStarted());
        holder.write("BEGIN IMMEDIATE;\nUPDATE Exp_Send_info SET Name = Name;\n.print held\n");
        QVERIFY(holder.waitForReadyRead(10000));
        QVERIFY(holder.readAllStandardOutput().contains("held"));
        const QByteArray before = readAll(QStringLiteral("Waylark_main.db"));
        QCOMPARE(sealHeader(QStringLiteral("Waylark_main.db")), HeaderGuard::Result::InUse);
        QCOMPARE(readAll(QStringLiteral("Waylark_main.db")), before);
        holder.write("ROLLBACK;\n.quit\n");
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
        QCOMPARE(sealHeader(QStringLiteral("Waylark_main.db")), HeaderGuard::Result::Written);
    }

    void headerGuardFailures()
    {
        QCOMPARE(restoreHeader(QStringLiteral("missing.db")), HeaderGuard::Result::Missing);
        QVERIFY(!QFile::exists(QStringLiteral("missing.db")));
        QVERIFY(QDir().mkdir(QStringLiteral("dir.db")));
        QString error;
        QCOMPARE(sealHeader(QStringLiteral("dir.db"), &error), HeaderGuard::Result::OpenFailed);
        QVERIFY(!error.isEmpty());
    }

    void newDatabaseSchema()
    {
        openNewDatabase();
        const QSqlDatabase db = m_dm->database();

        const QStringList model = tableColumns(db, QStringLiteral("Exp_Model"));
        QCOMPARE(model.size(), 120);
        QCOMPARE(model.mid(0, 8),
                 QStringList({"Model_Name", "Bk_Bmp_Name", "Bk_Bmp_Left", "Bk_Bmp_Top",
                              "Page_Width", "Page_Height", "Page_LeftX", "Page_TopY"}));
        // Four columns per field, in catalogue order.
        for (const FieldInfo& f : FieldCatalogue::all()) {
            const int at = 8 + (f.number - 1) * 4;
            QCOMPARE(model.mid(at, 4),
                     QStringList({f.leftColumn(), f.topColumn(), f.widthColumn(), f.visColumn()}));
        }
        QVERIFY(model.contains("A_Disrination_Left"));
        QVERIFY(model.contains("S_Prvince_isVis"));
        QVERIFY(!model.contains("A_Destination_Left"));
        QVERIFY(!model.contains("A_Province_Left"));

        QCOMPARE(tableColumns(db, QStringLiteral("Exp_Att_Info")),
                 QStringList({"ID",      "Name",    "Company",   "Address",     "Mobile",
                              "Phone",   "ExpName", "WayBillNo", "Disrination", "PostCode",
                              "Prvince", "City",    "Country",   "Custom1",     "Custom2",
                              "Custom3", "Custom4", "Custom5",   "Printed_At",  "Print_Count",
                              "Order_No"}));
        for (const char* table :
             {"Print_Calibration", "Model_Field_Fit", "Print_Log", "Print_Pending", "Model_Carrier",
              "Model_Print_Font", "Model_Field_Font", "Model_Label", "Order_Ship"})
            QVERIFY2(!tableColumns(db, QString::fromLatin1(table)).isEmpty(), table);
        QCOMPARE(tableColumns(db, QStringLiteral("Exp_Send_info")),
                 QStringList({"ID", "Name", "Departure", "Company", "Prvince", "City", "Country",
                              "Address", "Mobile", "Phone", "Contents", "PostCode"}));
        QCOMPARE(tableColumns(db, QStringLiteral("Shop_Info")),
                 QStringList({"Nick", "App_Key", "Secret", "Sesstion"}));

        QCOMPARE(m_dm->provinces->recordCount(), 31);
        QCOMPARE(m_dm->sender->recordCount(), 0);
        QCOMPARE(m_dm->recipients->recordCount(), 0);
        QCOMPARE(m_dm->templates->recordCount(), 1);
        QCOMPARE(m_dm->templates->fieldByName("Model_Name").asString(),
                 NewDatabase::templateName());
        QSqlQuery q(db);
        q.exec(QStringLiteral(
            "SELECT (SELECT count(*) FROM city), (SELECT count(*) FROM area), "
            "(SELECT count(*) FROM area WHERE cityID NOT IN (SELECT code FROM city))"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 341);
        QCOMPARE(q.value(1).toInt(), 2978);
        QCOMPARE(q.value(2).toInt(), 0);
        q.exec(QStringLiteral("PRAGMA user_version"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), Schema::kVersion);

        const QFile::Permissions perms = QFile::permissions(QStringLiteral("Waylark_main.db"));
        QVERIFY(perms.testFlag(QFile::ReadOwner) && perms.testFlag(QFile::WriteOwner));
        QVERIFY(!(perms & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther |
                           QFile::WriteOther | QFile::ExeOwner)));
    }

    void connectionIsExclusiveAndNeverCreatesAFile()
    {
        DataModule dm;
        QVERIFY_THROWS_EXCEPTION(DataError, dm.connectDatabase());
        QVERIFY(!QFile::exists(QStringLiteral("Waylark_main.db")));

        openNewDatabase();
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "other");
        other.setDatabaseName(QStringLiteral("Waylark_main.db"));
        QVERIFY(other.open());
        {
            QSqlQuery q(other);
            QVERIFY(!q.exec(QStringLiteral("SELECT count(*) FROM Exp_Model")));
            QVERIFY(q.lastError().text().contains(QLatin1String("locked")));
        }
        other.close();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase("other");
    }

    void captionQueriesGiveNamesAndNoRows()
    {
        openNewDatabase();
        QCOMPARE(m_dm->senderColumns->recordCount(), 0);
        QCOMPARE(m_dm->senderColumns->fieldNames(),
                 QStringList({"发件人姓名", "始发地", "发件人单位", "发件省", "发件市", "发件县",
                              "发件详细地址", "发件人手机", "发件人固定电话", "内件品名",
                              "发件人邮编"}));
        QCOMPARE(m_dm->recipientColumns->recordCount(), 0);
        QCOMPARE(m_dm->recipientColumns->fieldNames(),
                 QStringList({"收件人姓名", "目的地", "收件人单位", "收件省", "收件市", "收件县",
                              "收件详细地址", "收件人手机", "收件人固定电话", "收件人邮编",
                              "自定义字段1", "自定义字段2", "自定义字段3", "自定义字段4",
                              "自定义字段5", "运单号", "快递公司"}));
        // Every caption is a selection caption of the catalogue.
        for (const QString& c :
             m_dm->senderColumns->fieldNames() + m_dm->recipientColumns->fieldNames())
            QVERIFY2(FieldCatalogue::byCaption(c), qPrintable(c));
    }

    void nullReadsAsZeroAndEmptyText()
    {
        openNewDatabase();
        addModels({QStringLiteral("空")});
        Dataset* m = m_dm->templates;
        QVERIFY(m->locate(QStringLiteral("Model_Name"), QStringLiteral("空")));
        QCOMPARE(m->fieldByName("Page_LeftX").asInteger(), 0);
        QCOMPARE(m->fieldByName("S_Name_isVis").asString(), QString(""));
        QCOMPARE(m->fieldByName("Bk_Bmp_Name").asString(), QString(""));
        QVERIFY_THROWS_EXCEPTION(DataError, m->fieldByName(QStringLiteral("A_Province_Left")));
    }

    void rowIdentityWithDuplicateNames()
    {
        openNewDatabase();
        addModels({"A", "B", "A"});
        Dataset* m = m_dm->templates;
        m->last();
        m->updateRow(m->recNo(), m->fieldsOf({{"Page_Width", QStringLiteral("2300")}}));
        m->refresh();
        // Only the third row (the second "A") changed.
        QStringList widths;
        for (m->first(); !m->eof(); m->next())
            widths << m->fieldByName("Page_Width").asString();
        QCOMPARE(widths, QStringList({"2117", "", "", "2300"}));

        QVERIFY(m->locate("Model_Name", "A"));
        QCOMPARE(m->recNo(), 1);
        m->remove();
        m->refresh();
        QStringList names;
        for (m->first(); !m->eof(); m->next())
            names << m->fieldByName("Model_Name").asString();
        QCOMPARE(names, QStringList({NewDatabase::templateName(), "B", "A"}));
    }

    void locateExactAndPrefix_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("partial");
        QTest::addColumn<int>("expected"); // row, or -1 for no match
        QTest::newRow("exact") << "张三" << false << 2;
        QTest::newRow("exact misses a prefix") << "张" << false << -1;
        QTest::newRow("prefix takes the first") << "张" << true << 1;
        QTest::newRow("prefix keeps blanks") << " 李" << true << 3;
        QTest::newRow("no match") << "王" << true << -1;
    }
    void locateExactAndPrefix()
    {
        QFETCH(QString, value);
        QFETCH(bool, partial);
        QFETCH(int, expected);
        openNewDatabase();
        addModels({"张三丰", "张三", " 李四"});
        Dataset* m = m_dm->templates;
        m->first();
        const bool found =
            m->locate("Model_Name", value, partial ? Dataset::PartialKey : Dataset::NoOption);
        QCOMPARE(found, expected >= 0);
        QCOMPARE(m->recNo(), expected >= 0 ? expected : 0);
    }

    void cursorEndsAndBookmarks()
    {
        openNewDatabase();
        Dataset* att = m_dm->recipients;
        QVERIFY(att->eof());
        for (const char* n : {"一", "二", "三"}) {
            addRow(att, {{"Name", QString::fromUtf8(n)}});
        }
        QCOMPARE(att->recordCount(), 3);
        att->first();
        QVERIFY(!att->eof());
        att->next();
        QVERIFY(!att->eof());
        const Dataset::Bookmark mark = att->bookmark();
        att->next();
        QVERIFY(!att->eof()); // on the last row, not past it yet
        att->next();
        QVERIFY(att->eof());
        QCOMPARE(att->fieldByName("Name").asString(), QString("三"));
        att->prior();
        att->prior();
        QCOMPARE(att->recNo(), 0);
        att->prior(); // stays on the first row
        QCOMPARE(att->recNo(), 0);
        QVERIFY(att->gotoBookmark(mark));
        QCOMPARE(att->fieldByName("Name").asString(), QString("二"));
        // IDs come from the database.
        QVERIFY(att->fieldByName("ID").asInteger() > 0);
    }

    // Writing and rereading by row leave the cursor where it is.
    void rowsWrittenAndRereadInPlace()
    {
        openNewDatabase();
        Dataset* att = m_dm->recipients;
        QSqlQuery q(m_dm->database());
        for (int i = 0; i < 4; ++i)
            QVERIFY(q.exec(QStringLiteral("INSERT INTO Exp_Att_Info (Name, Phone) VALUES "
                                          "('名%1', '0%1')")
                               .arg(i)));
        att->refresh();
        const int name = att->fieldIndex("Name");
        const int phone = att->fieldIndex("Phone");
        const int printed = att->fieldIndex("Printed_At");
        QCOMPARE(att->cellText(0, name), QString("名0")); // read before the change
        att->moveTo(1);
        QSignalSpy moves(att, &Dataset::currentChanged);
        QSignalSpy resets(att, &Dataset::aboutToReset);
        QSignalSpy changed(att, &Dataset::rowsChanged);

        att->updateRow(3, {{phone, QStringLiteral("新3")}});
        att->updateRow(1, {{phone, QStringLiteral("新1")}});
        QCOMPARE(att->cellText(3, phone), QString("新3"));
        QCOMPARE(att->cellText(3, name), QString("名3"));
        QCOMPARE(att->cellText(1, phone), QString("新1"));
        QVERIFY_THROWS_EXCEPTION(DataError, att->updateRow(9, {{phone, "x"}}));
        QVERIFY_THROWS_EXCEPTION(DataError, att->updateRow(0, {{att->fieldIndex("ID"), 7}}));

        QVERIFY(q.exec("UPDATE Exp_Att_Info SET Printed_At = 'P', Name = 'N' "
                       "WHERE Name IN ('名0', '名1')"));
        att->reread({att->rowId(0), att->rowId(1), 12345});
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0), QVariantList({0, 1}));
        QCOMPARE(att->cellText(0, printed), QString("P"));
        QCOMPARE(att->cellText(0, name), QString("N"));
        QCOMPARE(att->cellText(1, printed), QString("P"));
        QCOMPARE(att->cellText(1, name), QString("N"));
        QCOMPARE(moves.size(), 0);
        QCOMPARE(resets.size(), 0);
        QCOMPARE(att->recNo(), 1);

        QVERIFY(q.exec("SELECT Name || '|' || Phone || '|' || ifnull(Printed_At, '') "
                       "FROM Exp_Att_Info ORDER BY ID"));
        QStringList rows;
        while (q.next())
            rows << q.value(0).toString();
        QCOMPARE(rows, QStringList({"N|00|P", "N|新1|P", "名2|02|", "名3|新3|"}));
    }

    void removeRowsTakesExactlyThoseRows()
    {
        openNewDatabase();
        Dataset* att = m_dm->recipients;
        for (int i = 0; i < 6; ++i) {
            addRow(att, {{"Name", QString::number(i)}});
        }
        att->moveTo(2);
        att->removeRows({4, 1, 2});
        QCOMPARE(att->recordCount(), 3);
        QCOMPARE(att->fieldByName("Name").asString(), QString("3")); // next survivor
        att->refresh();
        QStringList names;
        for (att->first(); !att->eof(); att->next())
            names << att->fieldByName("Name").asString();
        QCOMPARE(names, QStringList({"0", "3", "5"}));
    }

    // Each row's values are kept packed; they must read back as SQLite
    // gave them (type and null-ness), before and after the row is edited.
    void storedValuesReadBackExactly_data()
    {
        QTest::addColumn<QString>("literal"); // an SQL expression for Name
        QTest::newRow("null") << "NULL";
        QTest::newRow("empty text") << "''";
        QTest::newRow("ascii text") << "'13800000000'";
        QTest::newRow("latin-1 text") << "'caf' || char(233)";
        QTest::newRow("beyond latin-1") << "'Ā' || char(256)";
        QTest::newRow("chinese text") << "'北京市海淀区'";
        QTest::newRow("integer") << "42";
        QTest::newRow("negative integer") << "-9007199254740993";
        QTest::newRow("real") << "2.5";
        QTest::newRow("blob") << "x'00ff10'";
        QTest::newRow("empty blob") << "x''";
        QTest::newRow("text beyond 64 KiB") << "replace(hex(zeroblob(35000)), '00', '字')";
    }
    void storedValuesReadBackExactly()
    {
        QFETCH(QString, literal);
        openNewDatabase();
        QSqlQuery q(m_dm->database());
        QVERIFY2(q.exec("INSERT INTO Exp_Att_Info (Name, Mobile) VALUES (" + literal + ", '1'), (" +
                        literal + ", '2')"),
                 qPrintable(q.lastError().text()));
        QVERIFY(q.exec("SELECT Name FROM Exp_Att_Info ORDER BY rowid") && q.next());
        const QVariant stored = q.value(0);
        q.finish();

        Dataset* att = m_dm->recipients;
        att->refresh();
        const int name = att->fieldIndex("Name");
        auto check = [&](int row) {
            const QVariant v = att->cell(row, name);
            QCOMPARE(v.typeId(), stored.typeId());
            QCOMPARE(v.isNull(), stored.isNull());
            QCOMPARE(v, stored);
            QCOMPARE(att->cellText(row, name), stored.isNull() ? QString("") : stored.toString());
        };
        check(0);
        check(1);
        // A change to another column of the first row leaves Name as it was,
        // in both rows.
        att->first();
        att->updateRow(0, att->fieldsOf({{"Mobile", "3"}}));
        check(0);
        check(1);
        QCOMPARE(att->cellText(0, att->fieldIndex("Mobile")), QString("3"));
        QCOMPARE(att->cellText(1, att->fieldIndex("Mobile")), QString("2"));
    }

    // The recipient table is read a block at a time as rows are needed; it
    // must read as a whole read does, in any order, after edits, appends and
    // removals, with a block's rows changed or gone in between.
    void rowsReadOnDemandReadAsAWholeRead()
    {
        openNewDatabase();
        QSqlQuery q(m_dm->database());
        for (int i = 0; i < 100; ++i)
            QVERIFY(q.exec(QStringLiteral("INSERT INTO Exp_Att_Info (Name, Mobile, Print_Count) "
                                          "VALUES ('名%1', %2, %3)")
                               .arg(i)
                               .arg(i % 7 ? QStringLiteral("'13%1'").arg(i) : QString("NULL"))
                               .arg(i)));
        Dataset* att = m_dm->recipients;
        att->refresh();
        Dataset whole(QStringLiteral("whole"), QString::fromLatin1(DataModule::kConnectionName));
        whole.setTableName(QStringLiteral("Exp_Att_Info"));
        whole.open();
        auto same = [&](const QVector<int>& rows) {
            QCOMPARE(att->recordCount(), whole.recordCount());
            for (int row : rows)
                for (int f = 0; f < whole.fieldCount(); ++f) {
                    QCOMPARE(att->rowId(row), whole.rowId(row));
                    const QVariant a = att->cell(row, f);
                    const QVariant b = whole.cell(row, f);
                    QVERIFY2(a == b && a.isNull() == b.isNull() && a.typeId() == b.typeId(),
                             qPrintable(QStringLiteral("row %1, %2").arg(row).arg(f)));
                }
        };
        QVERIFY(att->locate("Name", QStringLiteral("名0")));
        same({99, 50, 0, 33, 32, 31, 64, 63});
        // An edit to a row not read yet keeps its other columns.
        att->moveTo(70);
        att->updateRow(70, att->fieldsOf({{"Mobile", "139"}}));
        att->removeRows({10, 11, 80});
        addRow(att, {{"Name", "新"}});
        whole.close();
        whole.open();
        // The added row is left out: the other is a new read of the table.
        QVector<int> all;
        for (int row = att->recordCount() - 2; row >= 0; --row)
            all << row;
        same(all);
        QVERIFY(att->locate("Name", QStringLiteral("新")));
        QCOMPARE(att->recNo(), att->recordCount() - 1);

        // Rows changed behind its back before they are read: a row gone
        // reads as nulls, the others as they are now; rows added are not
        // among its rows until it is read again.
        att->refresh();
        QVERIFY(q.exec("DELETE FROM Exp_Att_Info WHERE Name = '名40'"));
        QVERIFY(q.exec("INSERT INTO Exp_Att_Info (Name) VALUES ('后')"));
        const int count = att->recordCount();
        const int name = att->fieldIndex("Name");
        QStringList names;
        for (int row = 36; row < 41; ++row)
            names << att->cellText(row, name);
        QCOMPARE(names, QStringList({"名38", "名39", "", "名41", "名42"}));
        QCOMPARE(att->cellText(count - 1, name), QString("新"));
        QCOMPARE(att->recordCount(), count);
    }

    void duplicateRowsEditAndRemoveOneByOne()
    {
        openNewDatabase();
        QSqlQuery q(m_dm->database());
        for (int i = 0; i < 3; ++i)
            QVERIFY(q.exec("INSERT INTO Exp_Att_Info (Name, Mobile) VALUES ('张三', '138')"));
        Dataset* att = m_dm->recipients;
        att->refresh();
        att->moveTo(1);
        // A value of a type SQLite does not keep stays as set until reread.
        att->updateRow(
            1, att->fieldsOf(
                   {{"Address", "地址"}, {"Print_Count", qint64(7)}, {"Custom1", QVariant(true)}}));
        QCOMPARE(att->fieldByName("Print_Count").value(), QVariant(qint64(7)));
        QCOMPARE(att->fieldByName("Custom1").value().typeId(), int(QMetaType::Bool));
        QVERIFY(att->fieldByName("Custom1").value().toBool());
        att->first();
        att->remove();
        QCOMPARE(att->recordCount(), 2);
        QCOMPARE(att->fieldByName("Address").asString(), QString("地址"));
        QVERIFY(att->cell(1, att->fieldIndex("Address")).isNull());

        att->refresh();
        const QList<QVariantList> rows =
            tableRows(m_dm->database(), "Exp_Att_Info", {"Name", "Address", "Print_Count"});
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0), QVariantList({QString("张三"), QString("地址"), qint64(7)}));
        QCOMPARE(rows.at(1).at(0), QVariant(QString("张三")));
        QVERIFY(rows.at(1).at(1).isNull() && rows.at(1).at(2).isNull());
        QCOMPARE(att->fieldByName("Custom1").asString(), QString("1"));
        att->last();
        att->remove();
        att->remove();
        QVERIFY(att->isEmpty());
        QCOMPARE(att->recNo(), -1);
    }

    void transactionRollsBackUnlessCommitted()
    {
        openNewDatabase();
        Dataset* att = m_dm->recipients;
        {
            Transaction tx(m_dm->database());
            addRow(att, {{"Name", "gone"}});
        }
        att->refresh();
        QCOMPARE(att->recordCount(), 0);
        {
            Transaction tx(m_dm->database());
            addRow(att, {{"Name", "kept"}});
            tx.commit();
        }
        att->refresh();
        QCOMPARE(att->recordCount(), 1);
    }

    // A termination signal that arrives during a writer: its rows are not
    // committed, and the writer learns why; only the record of work already
    // handed over (a print job's marks) is committed despite it.
    void transactionRefusesToCommitAfterASignal_data()
    {
        QTest::addColumn<bool>("despite");
        QTest::newRow("a writer") << false;
        QTest::newRow("the record of a job handed over") << true;
    }
    void transactionRefusesToCommitAfterASignal()
    {
        QFETCH(bool, despite);
        openNewDatabase();
        int handled = 0;
        Termination::install([&](int) { ++handled; });
        Dataset* att = m_dm->recipients;
        QString error;
        {
            Transaction tx(m_dm->database());
            addRow(att, {{"Name", "half"}});
            std::raise(SIGTERM);
            QVERIFY(Termination::requested());
            try {
                if (despite)
                    tx.commitDespiteSignal();
                else
                    tx.commit();
            } catch (const DataError& e) {
                error = e.message();
            }
        }
        Termination::uninstall();
        Termination::forget();
        QCOMPARE(error, despite ? QString() : QString::fromUtf8(Termination::stoppedMessage()));
        QCOMPARE(handled, 0); // the handler runs from the event loop, not from the signal
        att->refresh();
        QCOMPARE(att->recordCount(), despite ? 1 : 0);
    }

    void versionOneFileIsUpgradedAndKeepsEveryOldValue()
    {
        const QString path = QStringLiteral("Waylark_main.db");
        makeVersion1File(path);
        const QStringList tables = {"Exp_Model", "Exp_Att_Info", "Exp_Send_info", "Shop_Info",
                                    "province",  "city",         "area"};
        QHash<QString, QStringList> columns;
        QHash<QString, QList<QVariantList>> before;
        withPlainConnection(path, [&](QSqlDatabase db) {
            QCOMPARE(userVersion(db), 1);
            for (const QString& t : tables) {
                columns[t] = tableColumns(db, t);
                before[t] = tableRows(db, t, columns[t]);
            }
        });
        QCOMPARE(before["Exp_Att_Info"].size(), 2);

        m_dm = std::make_unique<DataModule>();
        m_dm->connectDatabase();
        const QSqlDatabase db = m_dm->database();
        QCOMPARE(userVersion(db), Schema::kVersion);
        for (const QString& t : tables) {
            QCOMPARE(tableColumns(db, t).mid(0, columns[t].size()), columns[t]);
            QCOMPARE(tableRows(db, t, columns[t]), before[t]);
        }
        QCOMPARE(tableColumns(db, "Exp_Att_Info").mid(columns["Exp_Att_Info"].size()),
                 QStringList({"Printed_At", "Print_Count", "Order_No"}));
        for (const QString& t : tables)
            if (t != "Exp_Att_Info" && t != "Exp_Model")
                QCOMPARE(tableColumns(db, t).size(), columns[t].size());
        // The waybill number and the carrier join every template, hidden.
        QCOMPARE(tableColumns(db, "Exp_Model").mid(columns["Exp_Model"].size()),
                 Schema::modelColumns().mid(columns["Exp_Model"].size()));
        QCOMPARE(tableRows(db, "Exp_Model", {"A_WayBillNo_isVis", "A_ExpName_isVis"}),
                 QList<QVariantList>({{0, 0}}));
        // Never printed: both marks are empty.
        const QList<QVariantList> marks =
            tableRows(db, "Exp_Att_Info", {"Printed_At", "Print_Count"});
        QCOMPARE(marks.size(), 2);
        for (const QVariantList& m : marks)
            QVERIFY(m.at(0).isNull() && m.at(1).isNull());
        for (const char* t :
             {"Print_Calibration", "Model_Field_Fit", "Print_Log", "Print_Pending", "Model_Carrier",
              "Model_Print_Font", "Model_Field_Font", "Order_Ship"})
            QCOMPARE(tableRows(db, QString::fromLatin1(t), {"count(*)"}).value(0).value(0).toInt(),
                     0);

        // A second start finds nothing more to do.
        m_dm.reset();
        m_dm = std::make_unique<DataModule>();
        m_dm->connectDatabase();
        QCOMPARE(userVersion(m_dm->database()), Schema::kVersion);
    }

    // Version 2 gains the tables of pending print jobs, of carriers and of
    // fonts, and keeps its log.
    void versionTwoFileGainsPendingJobs()
    {
        const QString path = QStringLiteral("Waylark_main.db");
        NewDatabase::createDatabase(path);
        withPlainConnection(path, [&](QSqlDatabase db) {
            QSqlQuery q(db);
            QVERIFY(q.exec("DROP TABLE Print_Pending"));
            QVERIFY(q.exec("ALTER TABLE Print_Log DROP COLUMN Names"));
            QVERIFY(q.exec("ALTER TABLE Print_Log DROP COLUMN Reprint"));
            QVERIFY(q.exec("DROP TABLE Model_Carrier"));
            QVERIFY(q.exec("DROP TABLE Model_Print_Font"));
            QVERIFY(q.exec("DROP TABLE Model_Field_Font"));
            dropVersion5(q);
            dropVersion4(q);
            QVERIFY(q.exec("INSERT INTO Print_Log (Printed_At, Pages, Row_Ids) "
                           "VALUES ('2026-01-02 03:04:05', 1, '1')"));
            QVERIFY(q.exec("PRAGMA user_version = 2"));
        });
        m_dm = std::make_unique<DataModule>();
        m_dm->connectDatabase();
        const QSqlDatabase db = m_dm->database();
        QCOMPARE(userVersion(db), Schema::kVersion);
        QCOMPARE(tableColumns(db, "Print_Pending"),
                 QStringList({"ID", "Started_At", "Model_Name", "Target", "Pages", "First_Name",
                              "Last_Name", "Row_Ids", "Names", "Reprint", "Job_Path", "Job_File",
                              "Cups_Job"}));
        QCOMPARE(tableColumns(db, "Print_Log").mid(8), QStringList({"Names", "Reprint"}));
        QCOMPARE(tableColumns(db, "Model_Carrier"),
                 QStringList({"Model_Name", "Carrier_Code", "Last_Waybill"}));
        QCOMPARE(tableRows(db, "Model_Carrier", {"count(*)"}).value(0).value(0).toInt(), 0);
        QCOMPARE(tableColumns(db, "Model_Print_Font"),
                 QStringList({"Model_Name", "Family", "Size_Pt", "Bold", "Italic"}));
        QCOMPARE(tableColumns(db, "Model_Field_Font"),
                 QStringList({"Model_Name", "Field_Key", "Family", "Size_Pt", "Bold", "Italic"}));
        QCOMPARE(tableRows(db, "Print_Log", {"Printed_At"}),
                 QList<QVariantList>({{QVariant("2026-01-02 03:04:05")}}));
    }

    // Version 3 gains the waybill number and the carrier as hidden fields of
    // every template, how fields are drawn and which templates print their
    // picture; fitted fields stay as they were.
    void versionThreeFileGainsBarcodeFields()
    {
        const QString path = QStringLiteral("Waylark_main.db");
        NewDatabase::createDatabase(path);
        withPlainConnection(path, [&](QSqlDatabase db) {
            QSqlQuery q(db);
            dropVersion5(q);
            dropVersion4(q);
            QVERIFY(q.exec("INSERT INTO Exp_Model (Model_Name, A_Name_isVis) VALUES ('标签', 1)"));
            QVERIFY(q.exec("INSERT INTO Model_Field_Fit (Model_Name, Field_Key, Fit, Height) "
                           "VALUES ('标签', 'A_Address', 1, 40)"));
            QVERIFY(q.exec("PRAGMA user_version = 3"));
        });
        m_dm = std::make_unique<DataModule>();
        m_dm->connectDatabase();
        const QSqlDatabase db = m_dm->database();
        QCOMPARE(userVersion(db), Schema::kVersion);
        const QList<QVariantList> added = tableRows(
            db, "Exp_Model",
            {"A_WayBillNo_Left", "A_WayBillNo_Top", "A_WayBillNo_Width", "A_WayBillNo_isVis",
             "A_ExpName_Left", "A_ExpName_Top", "A_ExpName_Width", "A_ExpName_isVis"});
        QCOMPARE(added.size(), 2);
        for (const QVariantList& row : added)
            QCOMPARE(row, QVariantList({607, 462, 40, 0, 651, 462, 40, 0}));
        QCOMPARE(tableColumns(db, "Model_Field_Fit"),
                 QStringList({"Model_Name", "Field_Key", "Fit", "Height", "Symbol", "Module_Mm",
                              "Bar_Height_Mm"}));
        const QList<QVariantList> fit =
            tableRows(db, "Model_Field_Fit", {"Field_Key", "Fit", "Height", "Symbol"});
        QCOMPARE(fit.size(), 1);
        QCOMPARE(fit.at(0).mid(0, 3), QVariantList({"A_Address", 1, 40}));
        QVERIFY(fit.at(0).at(3).isNull());
        QCOMPARE(tableColumns(db, "Model_Label"), QStringList({"Model_Name", "Print_Picture"}));
    }

    // A file of version 2 or 3 with recipients, printed and not, reaches
    // the newest version with every row as it was and no order number yet.
    void olderFileGainsOrderNumbers_data()
    {
        QTest::addColumn<int>("version");
        QTest::newRow("version 2") << 2;
        QTest::newRow("version 3") << 3;
    }
    void olderFileGainsOrderNumbers()
    {
        QFETCH(int, version);
        const QString path = QStringLiteral("Waylark_main.db");
        const QStringList tables = {"Exp_Model", "Exp_Att_Info", "Exp_Send_info", "Shop_Info",
                                    "Print_Log"};
        QHash<QString, QStringList> columns;
        QHash<QString, QList<QVariantList>> before;
        withPlainConnection(path, [&](QSqlDatabase db) {
            Schema::create(db, version);
            QSqlQuery q(db);
            QVERIFY(q.exec("INSERT INTO Exp_Att_Info (Name, Address, WayBillNo, Printed_At, "
                           "Print_Count) VALUES ('张三', '杭州市西湖区', 'SF100', "
                           "'2026-01-02 03:04:05', 2), ('李四', '', NULL, NULL, NULL)"));
            QVERIFY(q.exec("INSERT INTO Print_Log (Printed_At, Pages, Row_Ids) "
                           "VALUES ('2026-01-02 03:04:05', 1, '1')"));
            QVERIFY(q.exec("INSERT INTO Shop_Info VALUES ('店', 'k', 's', 'x')"));
            for (const QString& t : tables) {
                columns[t] = tableColumns(db, t);
                before[t] = tableRows(db, t, columns[t]);
            }
        });
        QCOMPARE(before["Exp_Att_Info"].size(), 2);

        m_dm = std::make_unique<DataModule>();
        m_dm->connectDatabase();
        const QSqlDatabase db = m_dm->database();
        QCOMPARE(userVersion(db), Schema::kVersion);
        for (const QString& t : tables)
            QCOMPARE(tableRows(db, t, columns[t]), before[t]);
        QCOMPARE(tableColumns(db, "Exp_Att_Info").constLast(), QString("Order_No"));
        const QList<QVariantList> numbers = tableRows(db, "Exp_Att_Info", {"Order_No"});
        QCOMPARE(numbers.size(), 2);
        for (const QVariantList& n : numbers)
            QVERIFY(n.at(0).isNull());
        QCOMPARE(
            tableColumns(db, "Order_Ship"),
            QStringList({"Tid", "State", "Waybill_No", "Company_Code", "Changed_At", "Reason"}));
        QCOMPARE(tableRows(db, "Order_Ship", {"count(*)"}).value(0).value(0).toInt(), 0);
    }

    // Files whose version this program cannot open: refused in its own
    // words, before anything is written.
    void unopenableVersionIsRefusedUntouched_data()
    {
        QTest::addColumn<bool>("versionOne"); // else a new file
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QString>("detail");
        QTest::newRow("version 1 with the version-2 columns")
            << true
            << QStringList{"ALTER TABLE Exp_Att_Info ADD COLUMN Printed_At TEXT",
                           "ALTER TABLE Exp_Att_Info ADD COLUMN Print_Count INTEGER"}
            << "Exp_Att_Info.Printed_At";
        QTest::newRow("version 1 with a later table in the way")
            << true << QStringList{"CREATE TABLE Print_Log (x)"} << "Print_Log";
        QTest::newRow("a new file marked version 1")
            << false << QStringList{"PRAGMA user_version = 1"} << "Print_Calibration";
        QTest::newRow("a new file marked version 2")
            << false << QStringList{"PRAGMA user_version = 2"} << "Print_Pending";
        QTest::newRow("version 2 with the carrier table")
            << false << QStringList{"DROP TABLE Print_Pending", "PRAGMA user_version = 2"}
            << "Model_Carrier";
        QTest::newRow("version 2 with a font table")
            << false
            << QStringList{"DROP TABLE Print_Pending", "DROP TABLE Model_Carrier",
                           "DROP TABLE Model_Print_Font", "PRAGMA user_version = 2"}
            << "Model_Field_Font";
        QTest::newRow("a new file marked version 3")
            << false << QStringList{"PRAGMA user_version = 3"} << "Order_Ship";
        QTest::newRow("negative version")
            << true << QStringList{"PRAGMA user_version = -1"} << "-1";
        QTest::newRow("newer version")
            << false
            << QStringList{QStringLiteral("PRAGMA user_version = %1").arg(Schema::kVersion + 1)}
            << QString::number(Schema::kVersion + 1);
    }
    void unopenableVersionIsRefusedUntouched()
    {
        QFETCH(bool, versionOne);
        QFETCH(QStringList, statements);
        QFETCH(QString, detail);
        const QString path = QStringLiteral("Waylark_main.db");
        if (versionOne)
            makeVersion1File(path);
        else
            NewDatabase::createDatabase(path);
        withPlainConnection(path, [&](QSqlDatabase db) {
            QSqlQuery q(db);
            for (const QString& sql : statements)
                QVERIFY2(q.exec(sql), qPrintable(q.lastError().text()));
        });
        const QByteArray before = readAll(path);
        DataModule dm;
        QString message;
        try {
            dm.connectDatabase();
        } catch (const DataError& e) {
            message = e.message();
        }
        QVERIFY(!dm.isConnected());
        const QStringList lines = message.split('\n');
        QCOMPARE(lines.value(0),
                 QString("数据库文件的结构版本不是本程序能打开的版本，程序没有改动它！"));
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(1).contains(detail), qPrintable(lines.at(1)));
        QCOMPARE(readAll(path), before);
    }

    // Where a run finds its data, from what the program folder and the
    // current directory hold and what is asked for. Paths in the table are
    // relative to the test's directory: "prog/" is the program's folder,
    // "cwd/" the current directory, "home/" the user's data folder.
    void dataLocation_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("configFile"); // [Database] File= in the chosen config.ini
        QTest::addColumn<QString>("appDir");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("helpDir");
        const QString db = QStringLiteral("Waylark_main.db");
        QTest::newRow("build folder")
            << QStringList{"prog/" + db, "prog/config.ini", "prog/help.html"} << QString()
            << QString() << "prog/"
            << "prog/" + db << "prog/";
        QTest::newRow("a database in the current directory goes first")
            << QStringList{"prog/" + db, "cwd/" + db} << QString() << QString() << "prog/"
            << "cwd/" + db << "prog/";
        QTest::newRow("config.ini alone keeps the program folder")
            << QStringList{"prog/config.ini"} << QString() << QString() << "prog/"
            << "prog/" + db << "prog/";
        QTest::newRow("installed")
            << QStringList{"usr/bin/waylark", "usr/share/waylark/help.html", "cwd/" + db}
            << QString() << QString() << "home/"
            << "home/" + db << "usr/share/waylark/";
        QTest::newRow("--database, relative to the current directory")
            << QStringList{"prog/" + db} << "../other/my.db"
            << "x.db"
            << "prog/"
            << "other/my.db"
            << "prog/";
        QTest::newRow("config.ini, relative to its folder")
            << QStringList{"prog/config.ini", "cwd/" + db} << QString() << "../other/my.db"
            << "prog/"
            << "other/my.db"
            << "prog/";
        QTest::newRow("config.ini of the data folder, absolute")
            << QStringList{"usr/bin/waylark"} << QString() << "@/other/my.db"
            << "home/"
            << "other/my.db"
            << "usr/bin/";
    }
    void dataLocation()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, option);
        QFETCH(QString, configFile);
        QFETCH(QString, appDir);
        QFETCH(QString, database);
        QFETCH(QString, helpDir);
        const QString base = m_tmp->appDir();
        qputenv("XDG_DATA_HOME", QFile::encodeName(base + "home-data"));
        const QString home = DataLocation::userDataDir();
        QVERIFY2(home.startsWith(base + "home-data/"), qPrintable(home));
        auto place = [&](const QString& path) -> QString {
            return path.startsWith("home/") ? home + path.mid(5) : base + path;
        };
        QVERIFY(QDir().mkpath(base + "cwd"));
        QVERIFY(QDir().mkpath(base + "prog"));
        QVERIFY(QDir().mkpath(base + "usr/bin"));
        for (const QString& file : std::as_const(files)) {
            QVERIFY(QDir().mkpath(QFileInfo(place(file)).path()));
            QFile f(place(file));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QString programDir = files.contains("usr/bin/waylark") ? "usr/bin" : "prog";
        if (!configFile.isEmpty()) {
            const QString ini = place(appDir) + "config.ini";
            QVERIFY(QDir().mkpath(QFileInfo(ini).path()));
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[Database]\nFile=" + QString(configFile).replace("@/", base).toUtf8() + "\n");
        }
        QVERIFY(QDir::setCurrent(base + "cwd"));
        const DataLocation where = DataLocation::find(base + programDir, option);
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(where.appDir, place(appDir));
        QCOMPARE(where.databaseFile, place(database));
        QCOMPARE(where.helpDir, place(helpDir));
        QCOMPARE(where.userDataFolder, appDir == "home/");
        QVERIFY(!QFileInfo::exists(home) || appDir == "home/"); // finding makes nothing
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "test_data.moc"
