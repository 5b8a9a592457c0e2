// Printing and the settings kept by a template's name, on a database file
// and on a PostgreSQL server of the test's own.
#include "base/dataerror.h"
#include "base/session.h"
#include "data/datamodule.h"
#include "data/dataset.h"
#include "data/schema.h"
#include "data/serveraddress.h"
#include "data/transaction.h"
#include "freshdatabase.h"
#include "pgserver.h"
#include "print/batchprint.h"
#include "render/calibration.h"
#include "render/labelpicture.h"
#include "render/printmarks.h"
#include "templates/fieldfontstore.h"
#include "templates/labelstore.h"
#include "templates/templaterows.h"
#include "templates/templatestore.h"
#include "tempworkdir.h"

#include <QDir>
#include <QPrinter>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace
{

QString pdfText(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A picture of one colour with a mark in a corner, as a design page holds it.
QImage picture(const QColor& colour)
{
    QImage img(120, 80, QImage::Format_RGB32);
    img.fill(colour);
    img.setPixelColor(3, 4, Qt::white);
    return img;
}

int count(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
}

} // namespace

class TestPrintServer : public QObject
{
    Q_OBJECT

    PgServer m_server;
    int m_databases = 0;
    std::unique_ptr<TempWorkDir> m_tmp;
    std::unique_ptr<DataModule> m_dm;
    Session m_session;

    void open(const QString& engine)
    {
        QString error;
        if (engine == QLatin1String("file")) {
            m_dm = openFreshDataModule(m_tmp->appDir(), &m_session, &error);
        } else {
            const QString name = QStringLiteral("p%1").arg(++m_databases);
            QVERIFY2(m_server.createDatabase(name, &error), qPrintable(error));
            m_dm =
                openFreshServerDataModule(m_tmp->appDir(), m_server.url(name), &m_session, &error);
        }
        QVERIFY2(m_dm, qPrintable(error));
        QCOMPARE(m_dm->onServer(), engine == QLatin1String("server"));
    }

    void addRecipients(const QStringList& names)
    {
        Dataset* att = m_dm->recipients;
        for (const QString& name : names) {
            att->moveTo(att->insertRow(
                att->fieldsOf({{QStringLiteral("Name"), name},
                               {QStringLiteral("Address"), QStringLiteral("某路 1 号")}})));
        }
    }

private Q_SLOTS:
    void initTestCase() { WAYLARK_START_PG_SERVER(m_server); }
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

    void printsAndMarksTheRows_data() { PgServer::addEngineRows(); }
    // A batch reaches its PDF and its rows, log and pending job are written
    // as on a file; removing rows needs no transaction around it.
    void printsAndMarksTheRows()
    {
        QFETCH(QString, engine);
        open(engine);
        addRecipients({QStringLiteral("张三"), QStringLiteral("李四"), QStringLiteral("王五")});
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_tmp->filePath(QStringLiteral("out.pdf")));
        const BatchPrint::Result r = BatchPrint::printRows(
            &printer, m_dm.get(), TemplateRows(m_dm->templates).loadCurrent(), m_session, {0, 2});
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(r.pages, 2);
        const QString text = pdfText(m_tmp->filePath(QStringLiteral("out.pdf")));
        QVERIFY(text.contains(QStringLiteral("张三")));
        QVERIFY(text.contains(QStringLiteral("王五")));
        QVERIFY(!text.contains(QStringLiteral("李四")));
        const QSqlDatabase db = m_dm->database();
        QCOMPARE(count(db, "SELECT count(*) FROM Exp_Att_Info WHERE Print_Count = 1"), 2);
        QCOMPARE(count(db, "SELECT count(*) FROM Print_Log"), 1);
        QCOMPARE(count(db, "SELECT count(*) FROM Print_Pending"), 0);
        // A row a job holds twice is counted twice on either engine.
        Dataset* att = m_dm->recipients;
        PrintMarks::markPrinted(db, {att->rowId(0), att->rowId(1), att->rowId(0)},
                                QDateTime::currentDateTime());
        QCOMPARE(count(db, QStringLiteral("SELECT Print_Count FROM Exp_Att_Info WHERE ID = %1")
                               .arg(att->rowId(0))),
                 3);
        QCOMPARE(count(db, QStringLiteral("SELECT Print_Count FROM Exp_Att_Info WHERE ID = %1")
                               .arg(att->rowId(1))),
                 1);

        m_dm->recipients->removeRows({0, 1});
        QCOMPARE(m_dm->recipients->recordCount(), 1);
        QCOMPARE(count(db, "SELECT count(*) FROM Exp_Att_Info"), 1);
        m_dm->recipients->refresh();
        QCOMPARE(m_dm->recipients->fieldByName(QStringLiteral("Name")).asString(),
                 QStringLiteral("王五"));
    }

    void settingsFollowARename_data() { PgServer::addEngineRows(); }
    // Fonts, the picture switch and calibrations are replaced in place, and
    // move with a rename; a leftover under the new name gives way only where
    // it meets a moved row.
    void settingsFollowARename()
    {
        QFETCH(QString, engine);
        open(engine);
        const QSqlDatabase db = m_dm->database();
        const QString a = QStringLiteral("甲"), b = QStringLiteral("乙");
        const QFont small(QStringLiteral("WenQuanYi Zen Hei"), 8);
        const QFont large(QStringLiteral("WenQuanYi Zen Hei"), 14);
        FieldFontStore::setFieldFont(db, a, QStringLiteral("A_Name"), small);
        FieldFontStore::setFieldFont(db, a, QStringLiteral("A_Name"), large);
        FieldFontStore::setPrintFont(db, a, small);
        FieldFontStore::setPrintFont(db, a, large);
        LabelStore::setPrintsPicture(db, a, false);
        LabelStore::setPrintsPicture(db, a, true);
        Calibration moved;
        moved.dxMm = 1.5;
        Calibration::save(db, a, QStringLiteral("PDF"), moved);
        // Leftovers of a template once called b.
        FieldFontStore::setFieldFont(db, b, QStringLiteral("A_Name"), small);
        FieldFontStore::setFieldFont(db, b, QStringLiteral("A_Address"), small);
        Calibration kept;
        kept.dxMm = -2;
        Calibration::save(db, b, QStringLiteral("HP"), kept);
        {
            Transaction t(db);
            TemplateStore::moveNamedSettings(db, a, b);
            t.commit();
        }
        const FieldFonts fonts = FieldFontStore::load(db, b);
        QCOMPARE(fonts.value(QStringLiteral("A_Name")).pointSizeF(), 14.0);
        QCOMPARE(fonts.value(QStringLiteral("A_Address")).pointSizeF(), 8.0);
        QCOMPARE(FieldFontStore::printFont(db, b).value_or(QFont()).pointSizeF(), 14.0);
        QVERIFY(LabelStore::printsPicture(db, b));
        QCOMPARE(Calibration::load(db, b, QStringLiteral("PDF")).dxMm, 1.5);
        QCOMPARE(Calibration::load(db, b, QStringLiteral("HP")).dxMm, -2.0);
        QVERIFY(FieldFontStore::load(db, a).isEmpty());
        QVERIFY(!LabelStore::printsPicture(db, a));
    }

    void pictureComesFromTheDatabase_data() { PgServer::addEngineRows(); }
    // On a server a template's picture is the one kept in Model_Picture, the
    // station's bkbmp/ plays no part; a file reads bkbmp/ as before.
    void pictureComesFromTheDatabase()
    {
        QFETCH(QString, engine);
        open(engine);
        TemplateLayout layout = TemplateRows(m_dm->templates).loadCurrent();
        QVERIFY(!layout.pictureName.isEmpty());
        layout.printsPicture = true;
        const QString file = TemplateStore::pictureDir(m_tmp->appDir()) + layout.pictureName;
        const QImage delivered = TemplateStore::loadPicture(file);
        QVERIFY(QFile::remove(file));
        const QImage printed = LabelPicture::load(layout, m_dm->database(), m_tmp->appDir());
        if (engine == QLatin1String("file")) {
            QVERIFY(printed.isNull());
        } else {
            QCOMPARE(printed.size(), delivered.size());
            QCOMPARE(printed.convertToFormat(QImage::Format_RGB32),
                     delivered.convertToFormat(QImage::Format_RGB32));
            QCOMPARE(TemplateStore::templatePicture(m_dm->database(), m_tmp->appDir(),
                                                    layout.pictureName)
                         .size(),
                     delivered.size());
        }
    }

    // Two stations with a printer of the same name keep their own values,
    // a third has none; a rename moves every station's.
    void calibrationsAreEachStations()
    {
        open(QStringLiteral("server"));
        const QStringList stations = {QStringLiteral("一号台"), QStringLiteral("二号台"),
                                      QStringLiteral("三号台")};
        struct Connections {
            QStringList names;
            ~Connections()
            {
                for (const QString& n : names)
                    QSqlDatabase::removeDatabase(n);
            }
        } connections{stations};
        for (const QString& station : stations) {
            QString error;
            QSqlDatabase db =
                ServerAddress::parse(m_session.databaseServer, &error).addConnection(station);
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            QSqlQuery q(db);
            q.prepare(QStringLiteral("SELECT set_config('waylark.station', ?, false)"));
            q.addBindValue(station);
            QVERIFY(q.exec());
        }
        const auto at = [](const QString& station) { return QSqlDatabase::database(station); };
        const QString model = QStringLiteral("模板"), printer = QStringLiteral("HP");
        for (int i = 0; i < 2; ++i) {
            Calibration c;
            c.dxMm = i + 1;
            c.syPct = 101 + i;
            Calibration::save(at(stations[i]), model, printer, c);
        }
        Calibration again;
        again.dxMm = -4;
        Calibration::save(at(stations[0]), model, printer, again);
        QCOMPARE(Calibration::load(at(stations[0]), model, printer).dxMm, -4.0);
        QCOMPARE(Calibration::load(at(stations[0]), model, printer).syPct, 100.0);
        QCOMPARE(Calibration::load(at(stations[1]), model, printer).dxMm, 2.0);
        QCOMPARE(Calibration::load(at(stations[1]), model, printer).syPct, 102.0);
        QCOMPARE(Calibration::load(at(stations[2]), model, printer).dxMm, 0.0);
        QCOMPARE(count(at(stations[2]), "SELECT count(*) FROM Print_Calibration"), 2);

        {
            Transaction t(at(stations[2]));
            TemplateStore::moveNamedSettings(at(stations[2]), model, QStringLiteral("新名"));
            t.commit();
        }
        QCOMPARE(Calibration::load(at(stations[0]), QStringLiteral("新名"), printer).dxMm, -4.0);
        QCOMPARE(Calibration::load(at(stations[1]), QStringLiteral("新名"), printer).dxMm, 2.0);
        QCOMPARE(Calibration::load(at(stations[1]), model, printer).dxMm, 0.0);
    }

    // A template made with a picture on one station prints that picture on
    // another, after a rename and a new picture too; a name another picture
    // holds is refused with the row, and the last row naming a picture
    // takes it along when it goes.
    void templatePictureIsShared()
    {
        open(QStringLiteral("server"));
        const QString other = QStringLiteral("other_station");
        {
            QString error;
            QSqlDatabase db =
                ServerAddress::parse(m_session.databaseServer, &error).addConnection(other);
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        }
        struct Remove {
            QString name;
            ~Remove() { QSqlDatabase::removeDatabase(name); }
        } removeOther{other};
        Dataset otherTemplates(QStringLiteral("other_tb"), other);
        otherTemplates.setTableName(QStringLiteral("Exp_Model"));
        const QSqlDatabase otherDb = QSqlDatabase::database(other, false);
        const auto printedThere = [&](const QString& name) {
            otherTemplates.close();
            otherTemplates.open();
            if (!TemplateStore::findByName(&otherTemplates, name))
                return QImage();
            const TemplateLayout t = TemplateRows(&otherTemplates).loadCurrent();
            return LabelPicture::load(t, otherDb, m_tmp->appDir())
                .convertToFormat(QImage::Format_RGB32);
        };
        const QSqlDatabase db = m_dm->database();
        const auto pictures = [&](const QString& name) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("SELECT count(*) FROM Model_Picture WHERE Name = ?"));
            q.addBindValue(name);
            return q.exec() && q.next() ? q.value(0).toInt() : -1;
        };

        TemplateRows rows(m_dm->templates);
        TemplateLayout layout = rows.loadCurrent();
        const QString delivered = layout.pictureName;
        layout.name = QStringLiteral("共享");
        layout.pictureName = QStringLiteral("shared.bmp");
        layout.picture = picture(Qt::darkGreen);
        layout.printsPicture = true;
        const qint64 row = rows.create(layout);
        QCOMPARE(printedThere(QStringLiteral("共享")), picture(Qt::darkGreen));
        QVERIFY(!QFile::exists(TemplateStore::pictureDir(m_tmp->appDir()) + layout.pictureName));

        rows.rename(row, QStringLiteral("改名"));
        QVERIFY(printedThere(QStringLiteral("共享")).isNull());
        QCOMPARE(printedThere(QStringLiteral("改名")), picture(Qt::darkGreen));

        layout.pictureName = QStringLiteral("second.bmp");
        layout.picture = picture(Qt::blue);
        rows.save(row, layout);
        QCOMPARE(printedThere(QStringLiteral("改名")), picture(Qt::blue));
        QCOMPARE(pictures(QStringLiteral("shared.bmp")), 0);
        QCOMPARE(TemplateStore::freePictureName(db, QString(), QStringLiteral("second.bmp"),
                                                picture(Qt::blue)),
                 QStringLiteral("second.bmp"));
        QCOMPARE(TemplateStore::freePictureName(db, QString(), QStringLiteral("second.bmp"),
                                                picture(Qt::red)),
                 QStringLiteral("second-2.bmp"));

        // Another picture under a taken name: the new row is not kept.
        const int before = m_dm->templates->recordCount();
        TemplateLayout clash = layout;
        clash.name = QStringLiteral("撞名");
        clash.picture = picture(Qt::red);
        QVERIFY_THROWS_EXCEPTION(DataError, rows.create(clash));
        QCOMPARE(m_dm->templates->recordCount(), before);
        QCOMPARE(count(db, "SELECT count(*) FROM Exp_Model WHERE Model_Name = '撞名'"), 0);
        QCOMPARE(printedThere(QStringLiteral("改名")), picture(Qt::blue));

        rows.remove(row);
        QCOMPARE(pictures(QStringLiteral("second.bmp")), 0);
        QCOMPARE(pictures(delivered), 1);
    }
};

QTEST_MAIN(TestPrintServer)
#include "test_printserver.moc"
