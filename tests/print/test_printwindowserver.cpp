// The windows and the print command on a server several stations share:
// batches claimed as they print, rows other stations are printing shown and
// left out, chosen rows asked about first; the others' changes followed,
// their edits never overwritten, a lost server shown and reconnected.
#include "app/startup.h"
#include "base/session.h"
#include "book/recipientsortmodel.h"
#include "cli/printcommand.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "data/rowclaims.h"
#include "data/serveraddress.h"
#include "findwidget.h"
#include "freshdatabase.h"
#include "gui/book/recipientpage.h"
#include "gui/mainwindow.h"
#include "gui/print/previewwindow.h"
#include "gui/print/printactions.h"
#include "pgserver.h"
#include "print/printerstore.h"
#include "scriptedprompt.h"
#include "tempworkdir.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

namespace
{

QString pdfText(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {pdf, "-"});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The recipients' names a PDF holds, of NAME1 … NAME5.
QStringList namesIn(const QString& pdf)
{
    const QString text = pdfText(pdf);
    QStringList names;
    for (int i = 1; i <= 5; ++i)
        if (text.contains(QStringLiteral("NAME%1").arg(i)))
            names << QStringLiteral("NAME%1").arg(i);
    return names;
}

const char* const kOther = "3号台/9@elsewhere";

} // namespace

class TestPrintWindowServer : public QObject
{
    Q_OBJECT

    PgServer m_server;
    int m_databases = 0;
    std::unique_ptr<TempWorkDir> m_tmp;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Startup> m_startup;
    QString m_url;

    DataModule* dm() const { return m_startup->dataModule(); }
    RecipientPage* page() const { return findWidget<RecipientPage>("recipientPage"); }
    QString pdf() const { return m_tmp->filePath("job.pdf"); }

    // Another station's connection: runs sql, or claims the rows of ids.
    void asOther(const std::function<void(QSqlDatabase&)>& work)
    {
        QString error;
        {
            QSqlDatabase db =
                ServerAddress::parse(m_url, &error).addConnection(QStringLiteral("other"));
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            work(db);
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
    }
    void otherSql(const QString& sql)
    {
        asOther([&](QSqlDatabase& db) {
            QSqlQuery q(db);
            QVERIFY2(q.exec(sql), qPrintable(q.lastError().text()));
        });
    }

    // NAME1 printed, NAME3 claimed by another station: what the grid reads.
    void markAndClaim()
    {
        otherSql("UPDATE Exp_Att_Info SET Print_Count = 1, Printed_At = '2026-01-01 08:00:00' "
                 "WHERE Name = 'NAME1'");
        asOther([](QSqlDatabase& db) {
            QCOMPARE(RowClaims::claimRows(db, kOther, {3}, 120).size(), 1);
        });
        dm()->recipients->refresh();
    }

    int heldBy(const QString& pattern)
    {
        int n = -1;
        asOther([&](QSqlDatabase& db) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT count(*) FROM Exp_Att_Info WHERE Claimed_By LIKE '%1' "
                                  "AND Claimed_Until > clock_timestamp()")
                       .arg(pattern));
            n = q.next() ? q.value(0).toInt() : -1;
        });
        return n;
    }

private Q_SLOTS:
    void initTestCase() { WAYLARK_START_PG_SERVER(m_server); }

    void init()
    {
        m_tmp = std::make_unique<TempWorkDir>();
        QVERIFY(m_tmp->isValid());
        QString error;
        const QString name = QStringLiteral("w%1").arg(++m_databases);
        QVERIFY2(m_server.createDatabase(name, &error), qPrintable(error));
        m_url = m_server.url(name);
        {
            Session session;
            QVERIFY2(openFreshServerDataModule(m_tmp->path(), m_url, &session, &error),
                     qPrintable(error));
        }
        // Two rows a claim: a batch of the window is several claims.
        QVERIFY(ConfigIni::write(m_tmp->appDir(), ConfigIni::DatabaseClaimRows, "2", &error));
        QVERIFY(ConfigIni::write(m_tmp->appDir(), ConfigIni::DatabaseStation, "1号台", &error));
        otherSql("INSERT INTO Exp_Send_info (Name) VALUES ('SENDERNAME')");
        for (int i = 1; i <= 5; ++i)
            otherSql(QStringLiteral("INSERT INTO Exp_Att_Info (Name, Address, Mobile) VALUES "
                                    "('NAME%1', 'ADDR%1', '1380000000%1')")
                         .arg(i));
        m_prompt = std::make_unique<ScriptedPrompt>();
        m_startup = std::make_unique<Startup>(m_tmp->path(), m_url);
        QVERIFY(m_startup->start());
        QVERIFY(dm()->onServer());
        m_startup->mainWindow()->show();
        QCOMPARE(dm()->recipients->recordCount(), 5);
        PrinterStore::reset();
        QPrinter* printer = PrinterStore::printer();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdf());
        m_prompt->clear();
    }

    void cleanup()
    {
        PrinterStore::reset();
        m_startup.reset();
        m_prompt.reset();
        m_tmp.reset();
    }

    void batchTakesItsRowsThroughAClaim_data()
    {
        QTest::addColumn<int>("kind"); // PrintPrompt::RowsChoice::Kind
        QTest::addColumn<QStringList>("printed");
        using Kind = PrintPrompt::RowsChoice::Kind;
        QTest::newRow("all") << int(Kind::All) << QStringList{"NAME1", "NAME2", "NAME4", "NAME5"};
        QTest::newRow("unprinted")
            << int(Kind::Unprinted) << QStringList{"NAME2", "NAME4", "NAME5"};
    }
    // "批量打印" of all or the unprinted rows claims them a batch at a time:
    // the row another station holds is left out and said so, the rows
    // printed are marked, and the claims are given back.
    void batchTakesItsRowsThroughAClaim()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, printed);
        markAndClaim();
        m_prompt->rowChoices.enqueue(
            PrintPrompt::RowsChoice{PrintPrompt::RowsChoice::Kind(kind), QString()});
        QTest::mouseClick(page()->findChild<QToolButton*>("printAllButton"), Qt::LeftButton);
        QCOMPARE(namesIn(pdf()), printed);
        QVERIFY2(m_prompt->lastMessage().contains("其余 1 行由其他工作台打印了或正在打印"),
                 qPrintable(m_prompt->messages().join('|')));
        QCOMPARE(heldBy("1号台/%"), 0);
        QCOMPARE(heldBy("3号台/%"), 1);
        int marked = -1;
        asOther([&](QSqlDatabase& db) {
            QSqlQuery q(db);
            q.exec("SELECT count(*) FROM Exp_Att_Info WHERE Print_Count > 0");
            marked = q.next() ? q.value(0).toInt() : -1;
        });
        QCOMPARE(marked, 4); // NAME1 before, and those printed now
    }

    void chosenRowsAskFirst_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QStringList>("printed");
        using Kind = PrintPrompt::RowsChoice::Kind;
        QTest::newRow("selected, yes")
            << int(Kind::Selected) << true << QStringList{"NAME1", "NAME2", "NAME3"};
        QTest::newRow("selected, no") << int(Kind::Selected) << false << QStringList{"NAME2"};
        QTest::newRow("range, yes")
            << int(Kind::Range) << true << QStringList{"NAME1", "NAME2", "NAME3"};
        QTest::newRow("range, no") << int(Kind::Range) << false << QStringList{"NAME2"};
    }
    // Chosen rows that another station is printing or that are printed
    // already print only when the user says yes.
    void chosenRowsAskFirst()
    {
        QFETCH(int, kind);
        QFETCH(bool, yes);
        QFETCH(QStringList, printed);
        markAndClaim();
        QTableView* grid = page()->findChild<QTableView*>("recipientGrid");
        grid->selectionModel()->clearSelection();
        for (int row : {0, 1, 2})
            grid->selectionModel()->select(page()->gridSortModel->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        m_prompt->rowChoices.enqueue(
            PrintPrompt::RowsChoice{PrintPrompt::RowsChoice::Kind(kind), "1-3"});
        m_prompt->answers.enqueue(yes ? Prompt::Button::Yes : Prompt::Button::No);
        m_prompt->answers.enqueue(Prompt::Button::Ok);
        QTest::mouseClick(page()->findChild<QToolButton*>("printAllButton"), Qt::LeftButton);
        const ScriptedPrompt::Shown asked = m_prompt->shown.value(0);
        QCOMPARE(asked.kind, QString("question"));
        QVERIFY2(asked.text.startsWith(QStringLiteral(
                     "要打印的行中，1 行正在由其他工作台（3号台）打印，1 行已经打印过。")),
                 qPrintable(asked.text));
        QVERIFY(asked.defaultButton == Prompt::Button::No);
        QCOMPARE(namesIn(pdf()), printed);
    }

    void previewAsksBeforeARowOthersPrint_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    // The preview's print of the row shown asks the same; no prints nothing.
    void previewAsksBeforeARowOthersPrint()
    {
        QFETCH(bool, yes);
        markAndClaim();
        dm()->recipients->moveTo(2);
        auto* preview = m_startup->mainWindow()->findChild<PreviewWindow*>("PreviewWindow");
        QVERIFY(preview);
        preview->show();
        m_prompt->answers.enqueue(yes ? Prompt::Button::Yes : Prompt::Button::No);
        QTest::mouseClick(preview->findChild<QToolButton*>("printButton"), Qt::LeftButton);
        preview->close();
        QCOMPARE(m_prompt->shown.value(0).kind, QString("question"));
        QVERIFY2(m_prompt->shown.value(0).text.contains("3号台"),
                 qPrintable(m_prompt->shown.value(0).text));
        QCOMPARE(namesIn(pdf()), yes ? QStringList{"NAME3"} : QStringList());
    }

    // Two stations change one recipient: this station's save, made from the
    // row as it was before, is refused and told; the grid shows the other's
    // change, the boxes keep what was typed, and saving again writes it.
    void staleEditIsRefusedAndKept()
    {
        Dataset* r = dm()->recipients;
        const int name = r->fieldIndex(QStringLiteral("Name"));
        page()->editRow(0);
        auto* nameEdit = page()->findChild<QLineEdit*>("nameEdit");
        nameEdit->setText(QStringLiteral("NAME1-本台"));
        otherSql("UPDATE Exp_Att_Info SET Name = 'NAME1-他台' WHERE Name = 'NAME1'");
        auto* save = page()->findChild<QPushButton*>("saveButton");
        QTest::mouseClick(save, Qt::LeftButton);
        QVERIFY2(m_prompt->lastMessage().contains(QStringLiteral("其他工作台修改过")),
                 qPrintable(m_prompt->messages().join('|')));
        QCOMPARE(r->cellText(0, name), QStringLiteral("NAME1-他台"));
        QCOMPARE(nameEdit->text(), QStringLiteral("NAME1-本台"));
        QVERIFY(page()->editingRowId() != 0);
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(page()->editingRowId(), 0);
        r->sync();
        QCOMPARE(r->cellText(0, name), QStringLiteral("NAME1-本台"));
    }

    // Rows another station adds, changes and deletes appear in the grid
    // without a restart, and the grid's current row stays where it was.
    void gridFollowsOtherStations()
    {
        Dataset* r = dm()->recipients;
        auto* grid = page()->findChild<QTableView*>("recipientGrid");
        QVERIFY(grid);
        r->moveTo(2);
        dm()->watchServer(100);
        otherSql("INSERT INTO Exp_Att_Info (Name, Address, Mobile) VALUES ('NAME6', 'ADDR6', "
                 "'13800000006')");
        otherSql("UPDATE Exp_Att_Info SET Address = 'ADDR3-NEW' WHERE Name = 'NAME3'");
        otherSql("DELETE FROM Exp_Att_Info WHERE Name = 'NAME1'");
        QTRY_COMPARE(grid->model()->rowCount(), 5);
        QTRY_COMPARE(r->cellText(r->recNo(), r->fieldIndex("Address")),
                     QStringLiteral("ADDR3-NEW"));
        QCOMPARE(r->cellText(r->recNo(), r->fieldIndex("Name")), QStringLiteral("NAME3"));
        QCOMPARE(r->cellText(4, r->fieldIndex("Name")), QStringLiteral("NAME6"));
    }

    // The server stopped under a running window: the status bar says so,
    // the program connects again once the server is back, and the panel
    // goes.
    void lostServerIsShownAndReconnected()
    {
        auto* panel = m_startup->mainWindow()->findChild<QLabel*>("serverPanel");
        QVERIFY(panel);
        QVERIFY(!panel->isVisible());
        dm()->watchServer(100);
        QVERIFY(m_server.stop());
        QTRY_VERIFY(panel->isVisible());
        QVERIFY2(panel->text().contains(QStringLiteral("连接已断开")), qPrintable(panel->text()));
        QString error;
        QVERIFY2(m_server.start(&error), qPrintable(error));
        QTRY_VERIFY_WITH_TIMEOUT(!panel->isVisible(), 30000);
        otherSql("INSERT INTO Exp_Att_Info (Name) VALUES ('NAME7')");
        QTRY_COMPARE(dm()->recipients->recordCount(), 6);
    }

    // The grid labels a row another station holds and "未打印" leaves it
    // out; once the claim is given back the row is an unprinted row again.
    void gridShowsRowsOtherStationsPrint()
    {
        markAndClaim();
        RecipientPage* p = page();
        const int column = RecipientPage::gridColumns().size() - 1;
        QCOMPARE(p->gridModel->index(2, column).data().toString(),
                 QStringLiteral("正在由 3号台 打印"));
        QCOMPARE(p->gridModel->index(2, 0).data().toString(), QStringLiteral("NAME3"));
        QCOMPARE(p->gridModel->index(0, column).data().toString(),
                 QStringLiteral("2026-01-01 08:00:00"));
        QCOMPARE(p->gridModel->index(1, column).data().toString(), QString());
        QComboBox* filter = p->findChild<QComboBox*>("printedFilterBox");
        filter->setCurrentIndex(1); // "未打印"
        QCOMPARE(p->gridSortModel->rowCount(), 3);
        asOther([](QSqlDatabase& db) { RowClaims::release(db, kOther, {3}); });
        p->refreshClaims();
        QCOMPARE(p->gridSortModel->rowCount(), 4);
        QCOMPARE(p->gridModel->index(2, column).data().toString(), QString());
    }

    void printCommandLeavesTakenRowsOut_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("printed");
        QTest::addColumn<QString>("note");
        QTest::newRow("rows")
            << QStringList{"--rows", "1-4"} << QStringList{"NAME2", "NAME4"}
            << "1 行正在由其他工作台（3号台）打印，1 行已经打印过，这些行没有打印。";
        // All rows are shared out through claims, printed ones included.
        QTest::newRow("all") << QStringList() << QStringList{"NAME1", "NAME2", "NAME4", "NAME5"}
                             << "其余 1 行由其他工作台打印了或正在打印，本工作台没有打印。";
        QTest::newRow("unprinted")
            << QStringList{"--unprinted"} << QStringList{"NAME2", "NAME4", "NAME5"}
            << "其余 1 行由其他工作台打印了或正在打印，本工作台没有打印。";
    }
    // `print` on a server leaves out the rows another station is printing
    // (and with --rows those printed already), and says how many and why;
    // the rows it printed are marked and its claims given back.
    void printCommandLeavesTakenRowsOut()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, printed);
        QFETCH(QString, note);
        markAndClaim();
        const ExitCode::Code code = PrintCommand::runCommand(QStringList{"--pdf", pdf()} + args,
                                                             dm(), m_startup->session());
        QCOMPARE(int(code), int(ExitCode::Done));
        QCOMPARE(namesIn(pdf()), printed);
        QVERIFY2(m_prompt->messages().contains(note), qPrintable(m_prompt->messages().join('|')));
        QCOMPARE(heldBy("1号台/%"), 0);
        QCOMPARE(heldBy("3号台/%"), 1);
    }
};

QTEST_MAIN(TestPrintWindowServer)
#include "test_printwindowserver.moc"
