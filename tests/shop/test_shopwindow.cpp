#include "base/prompt.h"
#include "base/session.h"
#include "book/recipientrows.h"
#include "cli/shipcommand.h"
#include "cli/shopcommand.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "data/headerguard.h"
#include "data/serveraddress.h"
#include "fakegateway.h"
#include "freshdatabase.h"
#include "gui/book/recipientpage.h"
#include "gui/shop/shopactions.h"
#include "gui/shop/shopsettingsdialog.h"
#include "pgserver.h"
#include "scriptedprompt.h"
#include "shop/shopdownload.h"
#include "shop/shopstore.h"
#include "tempworkdir.h"
#include "waybill/shiprun.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace
{

const QString Secret = QStringLiteral("s3cr3t");
const QString Missing = QStringLiteral("必需的店铺参数不能为空！");
const QString Saved = QStringLiteral("店铺参数设置完成！");
const QString Done = QStringLiteral("订单下载完毕！");
const QString NoOrders = QStringLiteral("操作的店铺中没有发现新订单！");

// The done message after N rows were stored from FRESH new orders, PRESENT
// orders being in the table already.
QString stored(int rows, int fresh = -1, int present = 0, int elsewhere = 0)
{
    const QString taken =
        elsewhere
            ? QStringLiteral("\n另有 %1 条订单已由其他工作台同时下载，本次未导入。").arg(elsewhere)
            : QString();
    return Done +
           QStringLiteral("\n新订单 %1 条，已有 %2 条未重复导入。%3\n已保存 %4 条收件人记录。")
               .arg(fresh < 0 ? rows : fresh)
               .arg(present)
               .arg(taken)
               .arg(rows);
}

// The engines a download test runs on, before the rest of its row's name.
const char* const Engines[] = {"file", "server"};

// Every column of a recipient row in the file, in this order.
const char RecipientSelect[] =
    "SELECT Name, Company, Address, Mobile, Phone, ExpName, WayBillNo, Disrination, PostCode, "
    "Prvince, City, Country, Custom1, Custom2, Custom3, Custom4, Custom5 "
    "FROM Exp_Att_Info ORDER BY ID";

// A downloaded order as a full row: Name, Address, Mobile, Phone, city,
// Prvince, Country, PostCode; every other column empty.
QString orderRow(const QString& name, const QString& address, const QString& mobile,
                 const QString& phone, const QString& city, const QString& state,
                 const QString& district, const QString& zip)
{
    return QStringList{name,  "",   address,  mobile, phone, "", "", city, zip,
                       state, city, district, "",     "",    "", "", ""}
        .join('|');
}

QByteArray fixture(const QString& name)
{
    QFile file(QStringLiteral(WAYLARK_TEST_DATA "/shop/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return file.readAll();
}

void retype(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(edit, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

} // namespace

class TestShopWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempWorkDir> m_tmp;
    std::unique_ptr<DataModule> m_dm;
    Session m_session;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    PgServer m_server;
    int m_databases = 0;

    // The row's engine: on "server" the data module is opened on a fresh
    // server database in place of the file. False when the row is skipped.
    bool openEngine()
    {
        QFETCH(QString, engine);
        if (engine != QLatin1String("server"))
            return true;
        if (PgServer::binDir().isEmpty()) {
            QTest::qSkip("PostgreSQL is not installed", __FILE__, __LINE__);
            return false;
        }
        QString error;
        if (!m_server.isRunning() && !m_server.start(&error)) {
            QTest::qFail(qPrintable(error), __FILE__, __LINE__);
            return false;
        }
        const QString name = QStringLiteral("shop%1").arg(++m_databases);
        m_dm.reset();
        // The server is copied from a new file of its own.
        QFile::remove(m_tmp->filePath(QString::fromLatin1(DataModule::kDatabaseFileName)));
        if (!m_server.createDatabase(name, &error) ||
            !(m_dm = openFreshServerDataModule(m_tmp->path(), m_server.url(name), &m_session,
                                               &error))) {
            QTest::qFail(qPrintable(error), __FILE__, __LINE__);
            return false;
        }
        return true;
    }

    QSqlDatabase db() const { return m_dm->database(); }

    QStringList recipientsInFile() const
    {
        QStringList rows;
        QSqlQuery q(db());
        if (!q.exec(QString::fromLatin1(RecipientSelect)))
            qFatal("%s", qPrintable(q.lastQuery()));
        while (q.next()) {
            QStringList columns;
            for (int i = 0; i < 17; ++i)
                columns << q.value(i).toString();
            rows << columns.join('|');
        }
        return rows;
    }

    QList<ShopParams> shopsInFile() const
    {
        QList<ShopParams> rows;
        QSqlQuery q(db());
        q.exec(QStringLiteral("SELECT Nick, App_Key, Secret, Sesstion FROM Shop_Info"));
        while (q.next())
            rows << ShopParams{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                               q.value(3).toString()};
        return rows;
    }

    void storeShop(const ShopParams& shop) { replaceShopParams(m_dm->shop, shop); }

    static ShopParams asciiShop()
    {
        return {QStringLiteral("shopnick"), QStringLiteral("12345678"), Secret,
                QStringLiteral("6100a20b")};
    }

    void useGateway(const QUrl& url)
    {
        QVERIFY(ConfigIni::writeString(m_tmp->appDir(), QStringLiteral("Shop"),
                                       QStringLiteral("GatewayUrl"), url.toString()));
    }

    void configure(const char* key, const QString& value)
    {
        QVERIFY(ConfigIni::writeString(m_tmp->appDir(), QStringLiteral("Shop"),
                                       QString::fromLatin1(key), value));
    }

    // Two recipients already in the table before a download.
    QStringList seedOldRecipients()
    {
        RecipientRows rows(m_dm->recipients);
        rows.append({{"Name", "老客户甲"}, {"Address", "旧地址 1 号"}, {"Mobile", "13000000000"}});
        rows.append({{"Name", "老客户乙"}, {"Company", "某公司"}, {"WayBillNo", "SF001"}});
        return recipientsInFile();
    }

    // The order numbers of the recipient rows in the file, in row order.
    QStringList orderNumbersInFile() const
    {
        QStringList numbers;
        QSqlQuery q(db());
        q.exec(QStringLiteral("SELECT Order_No FROM Exp_Att_Info ORDER BY ID"));
        while (q.next())
            numbers << q.value(0).toString();
        return numbers;
    }

    // Order number -> state ("sent", "failed" ...) in Order_Ship.
    QHash<QString, QString> shipStatesInFile() const
    {
        QHash<QString, QString> states;
        QSqlQuery q(db());
        q.exec(QStringLiteral("SELECT Tid, State FROM Order_Ship"));
        while (q.next())
            states.insert(q.value(0).toString(), q.value(1).toString());
        return states;
    }

    // Orders T<first> ... waiting to be shipped, buyers 买家<n>.
    static QList<FakeOrder> waitingOrders(int first, int count)
    {
        QList<FakeOrder> orders;
        for (int n = first; n < first + count; ++n)
            orders << FakeOrder{"T" + QByteArray::number(n), "WAIT_SELLER_SEND_GOODS",
                                QStringLiteral("买家%1").arg(n), QString()};
        return orders;
    }

    // Downloads what the gateway holds after the rows in the table.
    void fetchAppending()
    {
        DownloadOptions options;
        options.placement = DownloadOptions::Placement::Append;
        fetchOrders(m_dm.get(), m_session, options);
    }

    // Every row printed, with waybill number SF<row id>, as printing and
    // the waybill numbers leave them.
    void printEveryRow()
    {
        QSqlQuery q(db());
        QVERIFY(q.exec(
            QStringLiteral("UPDATE Exp_Att_Info SET WayBillNo = 'SF' || ID, Print_Count = 1, "
                           "Printed_At = '2026-12-11 04:00:00'")));
        m_dm->recipients->refresh();
    }

    // Runs `waylark ship ARGS`, giving its exit status and its standard
    // output's lines.
    int runShip(const QStringList& args, QStringList* lines)
    {
        const QString path = m_tmp->path() + QStringLiteral("/ship.out");
        std::fflush(stdout);
        const int saved = ::dup(1);
        const int file =
            ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(file, 1);
        ::close(file);
        ShipOptions options;
        options.timeoutMs = 2000;
        const int status = ShipCommand::runShip(args, m_dm.get(), m_session, options);
        std::fflush(stdout);
        ::dup2(saved, 1);
        ::close(saved);
        QFile out(path);
        out.open(QIODevice::ReadOnly);
        *lines = QString::fromUtf8(out.readAll()).split('\n', Qt::SkipEmptyParts);
        return status;
    }

    int shownOfKind(const QString& kind) const
    {
        int n = 0;
        for (const ScriptedPrompt::Shown& s : m_prompt->shown)
            n += s.kind == kind;
        return n;
    }

private Q_SLOTS:
    void init()
    {
        m_tmp = std::make_unique<TempWorkDir>();
        QString error;
        m_dm = openFreshDataModule(m_tmp->path(), &m_session, &error);
        QVERIFY2(m_dm, qPrintable(error));
        m_prompt = std::make_unique<ScriptedPrompt>();
    }

    void cleanup()
    {
        m_prompt.reset();
        m_dm.reset();
        m_tmp.reset();
    }

    // --- Shop parameters --------------------------------------------------

    void okRefusesEmptyValues_data()
    {
        QTest::addColumn<QStringList>("typed"); // nick, app key, secret, session key
        QTest::addColumn<QString>("firstEmpty");

        QTest::newRow("nick of blanks") << QStringList{"   ", "1", "2", "3"} << "nickEdit";
        QTest::newRow("empty app key") << QStringList{"n", "", "2", "3"} << "appKeyEdit";
        QTest::newRow("secret of blanks") << QStringList{"n", "1", "  ", "3"} << "secretEdit";
        QTest::newRow("session key of blanks")
            << QStringList{"n", "1", "2", " "} << "sessionKeyEdit";
        QTest::newRow("the first of several") << QStringList{"n", " ", "", ""} << "appKeyEdit";
    }
    void okRefusesEmptyValues()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, firstEmpty);
        storeShop(asciiShop());

        ShopSettingsDialog dialog(m_dm.get());
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        const QList<QLineEdit*> boxes = {dialog.findChild<QLineEdit*>("nickEdit"),
                                         dialog.findChild<QLineEdit*>("appKeyEdit"),
                                         dialog.findChild<QLineEdit*>("secretEdit"),
                                         dialog.findChild<QLineEdit*>("sessionKeyEdit")};
        for (int i = 0; i < 4; ++i)
            retype(boxes[i], typed[i]);
        QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);

        QCOMPARE(m_prompt->messages(), QStringList{Missing});
        QVERIFY(dialog.isVisible());
        QCOMPARE(QApplication::focusWidget()->objectName(), firstEmpty);
        QCOMPARE(shopsInFile(), QList<ShopParams>{asciiShop()});
        // What was typed stays for correction.
        for (int i = 0; i < 4; ++i)
            QCOMPARE(boxes[i]->text(), typed[i]);
    }

    // Whether a buyer's orders to one address become one row is kept in
    // config.ini with the shop's parameters, and shown again next time.
    void mergingOrdersIsASetting()
    {
        storeShop(asciiShop());
        const QString appDir = m_tmp->appDir();
        for (const bool merge : {true, false}) {
            ShopSettingsDialog dialog(m_dm.get(), nullptr, appDir);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            auto* box = dialog.findChild<QCheckBox*>("mergeOrdersCheck");
            QVERIFY(box && box->isEnabled());
            QCOMPARE(box->isChecked(), !merge); // as the last round left it
            box->setChecked(merge);
            QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);
            QCOMPARE(ConfigIni::read(appDir, ConfigIni::ShopMergeOrders),
                     merge ? QString("1") : QString("0"));
            m_prompt->shown.clear();
        }
    }

    void okStoresTrimmedValuesInPlaceOfTheStoredRows()
    {
        // Two rows, as an old file might hold; the dialog shows the current one.
        QSqlQuery q(db());
        QVERIFY(q.exec("INSERT INTO Shop_Info VALUES ('旧店', 'k1', 's1', 'x1')"));
        QVERIFY(q.exec("INSERT INTO Shop_Info VALUES ('另一店', 'k2', 's2', 'x2')"));
        m_dm->shop->refresh();

        ShopSettingsDialog dialog(m_dm.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("友情提示：请妥善保存店铺参数！"));
        QCOMPARE(dialog.findChild<QLineEdit*>("nickEdit")->text(), QStringLiteral("旧店"));
        QCOMPARE(dialog.findChild<QLineEdit*>("sessionKeyEdit")->text(), QStringLiteral("x1"));
        QVERIFY(!dialog.findChild<QGroupBox*>("paipaiGroup")->isEnabled());
        QVERIFY(!dialog.findChild<QLineEdit*>("uinEdit")->isEnabled());

        retype(dialog.findChild<QLineEdit*>("nickEdit"), QStringLiteral("  小王的店 & co "));
        retype(dialog.findChild<QLineEdit*>("appKeyEdit"), QStringLiteral(" 12345678"));
        retype(dialog.findChild<QLineEdit*>("secretEdit"), QStringLiteral("s3cr3t  "));
        retype(dialog.findChild<QLineEdit*>("sessionKeyEdit"), QStringLiteral("   6100a20b   "));
        QTest::mouseClick(dialog.findChild<QCheckBox*>("currentShopCheck"),
                          Qt::LeftButton); // shown only
        QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);

        QCOMPARE(m_prompt->messages(), QStringList{Saved});
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const ShopParams stored = {QStringLiteral("小王的店 & co"), QStringLiteral("12345678"),
                                   QStringLiteral("s3cr3t"), QStringLiteral("6100a20b")};
        QCOMPARE(shopsInFile(), QList<ShopParams>{stored});

        // They come back without the blanks.
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.findChild<QLineEdit*>("nickEdit")->text(), stored.nick);
        QCOMPARE(dialog.findChild<QLineEdit*>("appKeyEdit")->text(), stored.appKey);
        QCOMPARE(dialog.findChild<QLineEdit*>("secretEdit")->text(), stored.secret);
        QCOMPARE(dialog.findChild<QLineEdit*>("sessionKeyEdit")->text(), stored.session);
    }

    void okKeepsTheStoredRowWhenWritingFails()
    {
        storeShop(asciiShop());
        QSqlQuery q(db());
        QVERIFY(q.exec("CREATE TRIGGER refuse BEFORE INSERT ON Shop_Info "
                       "BEGIN SELECT RAISE(ABORT, 'disk is full'); END"));
        ShopSettingsDialog dialog(m_dm.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        retype(dialog.findChild<QLineEdit*>("nickEdit"), QStringLiteral("新店"));

        QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);

        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown[0].kind, QStringLiteral("error"));
        QVERIFY2(m_prompt->lastMessage().contains("disk is full"),
                 qPrintable(m_prompt->lastMessage()));
        QVERIFY(dialog.isVisible());
        // The delete before the insert is undone too.
        QCOMPARE(shopsInFile(), QList<ShopParams>{asciiShop()});
        QCOMPARE(m_dm->shop->recordCount(), 1);
        QCOMPARE(storedShopParams(m_dm->shop), asciiShop());
    }

    void unconfirmedValuesGiveWayToTheStoredOnes()
    {
        ShopSettingsDialog dialog(m_dm.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (QLineEdit* box :
             {dialog.findChild<QLineEdit*>("nickEdit"), dialog.findChild<QLineEdit*>("appKeyEdit"),
              dialog.findChild<QLineEdit*>("secretEdit"),
              dialog.findChild<QLineEdit*>("sessionKeyEdit")})
            QVERIFY(box->text().isEmpty()); // nothing stored yet

        retype(dialog.findChild<QLineEdit*>("nickEdit"), QStringLiteral("未保存"));
        QTest::mouseClick(dialog.findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QVERIFY(shopsInFile().isEmpty());

        storeShop(asciiShop());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.findChild<QLineEdit*>("nickEdit")->text(), QStringLiteral("shopnick"));
        QVERIFY(m_prompt->messages().isEmpty());
    }

    void typedValuesSurviveMinimising()
    {
        storeShop(asciiShop());
        ShopSettingsDialog dialog(m_dm.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        retype(dialog.findChild<QLineEdit*>("nickEdit"), QStringLiteral("新昵称"));
        retype(dialog.findChild<QLineEdit*>("secretEdit"), QStringLiteral("new-secret"));

        // Minimised and restored: the same opening, what was typed stays.
        dialog.setWindowState(Qt::WindowMinimized);
        dialog.setWindowState(Qt::WindowNoState);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.findChild<QLineEdit*>("nickEdit")->text(), QStringLiteral("新昵称"));
        QCOMPARE(dialog.findChild<QLineEdit*>("secretEdit")->text(), QStringLiteral("new-secret"));
        QCOMPARE(dialog.findChild<QLineEdit*>("appKeyEdit")->text(), asciiShop().appKey);

        // Opened anew, it shows what is stored.
        dialog.hide();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.findChild<QLineEdit*>("nickEdit")->text(), asciiShop().nick);
        QCOMPARE(dialog.findChild<QLineEdit*>("secretEdit")->text(), asciiShop().secret);
        QCOMPARE(shopsInFile(), QList<ShopParams>{asciiShop()});
    }

    void sessionKeyPageOpensOverHttps()
    {
        storeShop(asciiShop());
        ShopSettingsDialog dialog(m_dm.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        retype(dialog.findChild<QLineEdit*>("nickEdit"), QStringLiteral("typed"));

        QTest::mouseClick(dialog.findChild<QPushButton*>("getSessionKeyButton"), Qt::LeftButton);

        // No query: nothing of the shop travels with it.
        QCOMPARE(m_prompt->urls,
                 QList<QUrl>{QUrl("https://open.taobao.com/apitools/sessionPage.htm")});
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.findChild<QLineEdit*>("nickEdit")->text(), QStringLiteral("typed"));
        QCOMPARE(shopsInFile(), QList<ShopParams>{asciiShop()});
    }

    void shopSetButtonShowsTheDialogModally()
    {
        QWidget window;
        // The dialog its window owns, found by its object name.
        const auto shopDialog = [&window] {
            return window.findChild<ShopSettingsDialog*>("ShopSettingsDialog");
        };
        QVERIFY(!shopDialog());
        new ShopSettingsDialog(m_dm.get(), &window);
        window.show();
        bool wasModal = false;
        QTimer::singleShot(0, this, [&] {
            QVERIFY(shopDialog());
            wasModal = QApplication::activeModalWidget() == shopDialog();
            retype(shopDialog()->findChild<QLineEdit*>("nickEdit"), QStringLiteral("n"));
            retype(shopDialog()->findChild<QLineEdit*>("appKeyEdit"), QStringLiteral("k"));
            retype(shopDialog()->findChild<QLineEdit*>("secretEdit"), QStringLiteral("s"));
            retype(shopDialog()->findChild<QLineEdit*>("sessionKeyEdit"), QStringLiteral("x"));
            QTest::keyClick(shopDialog()->findChild<QLineEdit*>("sessionKeyEdit"),
                            Qt::Key_Return); // the default button
        });
        // Should the keys go astray, the dialog must not hold the run forever.
        QTimer::singleShot(20000, this, [dialog = QPointer<ShopSettingsDialog>(shopDialog())] {
            if (dialog)
                dialog->reject();
        });
        shopDialog()->exec();

        QVERIFY(wasModal);
        QCOMPARE(shopDialog()->parentWidget(), &window);
        QCOMPARE(m_prompt->messages(), QStringList{Saved});
        QCOMPARE(shopsInFile(), (QList<ShopParams>{{"n", "k", "s", "x"}}));
        delete shopDialog();
        QVERIFY(!shopDialog());
    }

    // --- Order download ---------------------------------------------------

    void downloadReplacesTheRecipients_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("file");
        QTest::addColumn<ShopParams>("shop");
        QTest::addColumn<QStringList>("rows");

        const QString zhang = orderRow("张三", "文三路 90 号 & 2 楼", "13800000001",
                                       "0571-88888888", "杭州市", "浙江省", "西湖区", "310012");
        // The shop's "上海" is completed to the region table's "上海市".
        const QString li =
            orderRow("李四", "南京路 1 号", "13900000002", "", "上海市", "上海市", "黄浦区", "");
        ShopParams chinese = asciiShop();
        chinese.nick = QStringLiteral("小王的店 & co");

        for (const char* engine : Engines) {
            QTest::addRow("%s: three orders, one receiver twice", engine)
                << engine << "orders.xml" << asciiShop() << QStringList{zhang, zhang, li};
            QTest::addRow("%s: chinese nick, answer in GBK", engine)
                << engine << "orders_gbk.xml" << chinese
                << QStringList{orderRow("赵六", "科技园 8 栋", "13700000003", "0755-66666666",
                                        "深圳市", "广东省", "南山区", "518057")};
        }
    }
    void downloadReplacesTheRecipients()
    {
        if (!openEngine())
            return;
        QFETCH(QString, file);
        QFETCH(ShopParams, shop);
        QFETCH(QStringList, rows);
        storeShop(shop);
        seedOldRecipients();
        FakeGateway gateway(Secret);
        gateway.answer(fixture(file));
        useGateway(gateway.url());

        ShopActions::downloadOrders(m_dm.get(), m_session);

        QVERIFY2(gateway.problems.isEmpty(), qPrintable(gateway.problems.join('\n')));
        QCOMPARE(gateway.targets.size(), 1);
        const QByteArray nick = "&nick=" + QUrl::toPercentEncoding(shop.nick, ",") + '&';
        QVERIFY(gateway.targets[0].contains(
            QByteArray(nick + "page_no=1&page_size=100&session=6100a20b&")));
        QCOMPARE(shownOfKind("progress"), 1);
        // Replacing was chosen (the first answer, yes), then confirmed.
        QCOMPARE(shownOfKind("question"), 2);
        QCOMPARE(m_prompt->messages(), QStringList{stored(int(rows.size()))});
        QCOMPARE(recipientsInFile(), rows);
        Dataset* att = m_dm->recipients;
        QCOMPARE(att->recordCount(), rows.size());
        // The cursor stands on the last order.
        QCOMPARE(att->recNo(), rows.size() - 1);
        QCOMPARE(att->fieldByName("Name").asString(), rows.last().section('|', 0, 0));
    }

    // With recipients in the table the window asks whether the orders
    // replace them or go after them, then asks to go on saying which; the
    // table changes only on OK. An empty table is not asked about.
    void downloadAsksReplaceOrAppend_data()
    {
        QTest::addColumn<int>("existing");
        QTest::addColumn<QList<Prompt::Button>>("answers");
        QTest::addColumn<QString>("confirm"); // the second question; empty: none asked
        QTest::addColumn<int>("kept");        // old rows left, -1: the table as it was
        QTest::addColumn<int>("orders");      // order rows after them
        const QString replace =
            QStringLiteral("将清空现有的 2 条收件人并导入下载的 3 条订单，继续？");
        const QString append =
            QStringLiteral("将把下载的 3 条订单追加到现有的 2 条收件人之后，继续？");
        using B = Prompt::Button;
        QTest::newRow("replace") << 2 << QList<B>{B::Yes, B::Ok} << replace << 0 << 3;
        QTest::newRow("append") << 2 << QList<B>{B::No, B::Ok} << append << 2 << 3;
        QTest::newRow("replace cancelled")
            << 2 << QList<B>{B::Yes, B::Cancel} << replace << -1 << 0;
        QTest::newRow("append cancelled") << 2 << QList<B>{B::No, B::Cancel} << append << -1 << 0;
        QTest::newRow("empty table") << 0 << QList<B>{B::No, B::Cancel} << "" << 0 << 3;
    }
    void downloadAsksReplaceOrAppend()
    {
        QFETCH(int, existing);
        QFETCH(QList<Prompt::Button>, answers);
        QFETCH(QString, confirm);
        QFETCH(int, kept);
        QFETCH(int, orders);
        storeShop(asciiShop());
        const QStringList old = existing ? seedOldRecipients() : QStringList();
        FakeGateway gateway(Secret);
        gateway.answer(fixture("orders.xml"));
        useGateway(gateway.url());
        for (const Prompt::Button answer : answers)
            m_prompt->answers.enqueue(answer);

        ShopActions::downloadOrders(m_dm.get(), m_session);

        QList<ScriptedPrompt::Shown> questions;
        for (const ScriptedPrompt::Shown& shown : std::as_const(m_prompt->shown))
            if (shown.kind == "question")
                questions << shown;
        if (confirm.isEmpty()) {
            QVERIFY(questions.isEmpty());
        } else {
            QCOMPARE(questions.size(), 2);
            QVERIFY2(questions[0].text.startsWith("收件人表中已有 2 条收件人。"),
                     qPrintable(questions[0].text));
            QCOMPARE(questions[1].text, confirm);
            QCOMPARE(questions[1].defaultButton, Prompt::Button::Cancel);
        }
        const QStringList rows = recipientsInFile();
        if (kept < 0) {
            QCOMPARE(rows, old);
            QCOMPARE(m_prompt->messages(),
                     QStringList{"下载的 3 条订单没有保存，原有的收件人记录保持不变。"});
            return;
        }
        QCOMPARE(m_prompt->messages(), QStringList{stored(orders)});
        QCOMPARE(rows.size(), kept + orders);
        QCOMPARE(rows.mid(0, kept), old.mid(0, kept));
        QCOMPARE(rows.last().section('|', 0, 0), QStringLiteral("李四"));
        QCOMPARE(m_dm->recipients->recordCount(), rows.size());
    }

    void failuresLeaveTheRecipients_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("kind"); // how the outcome is shown
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("requests");

        QTest::newRow("platform error")
            << "error.xml"
            << "message"
            << "店铺参数设置错误！\nInvalid session：SessionKey非法" << 1;
        QTest::newRow("total 0") << "no_orders.xml"
                                 << "message" << NoOrders << 1;
        QTest::newRow("no total") << "no_total.xml"
                                  << "message" << NoOrders << 1;
        QTest::newRow("non-zero total, no trades") << "total_without_trades.xml"
                                                   << "message" << NoOrders << 1;
        QTest::newRow("non-zero total, empty trades") << "empty_trades.xml"
                                                      << "message" << NoOrders << 1;
        QTest::newRow("malformed XML") << "malformed.xml"
                                       << "error"
                                       << "网店服务器的应答不是有效的XML：" << 1;
        QTest::newRow("HTTP error") << "500"
                                    << "error"
                                    << "网店服务器返回错误：HTTP 500 Internal Server Error" << 1;
        QTest::newRow("never answers") << "quiet"
                                       << "error"
                                       << "网店服务器长时间没有应答，订单未下载！" << 1;
        QTest::newRow("cancelled") << "cancel"
                                   << "error"
                                   << "订单下载已取消！" << 1;
        QTest::newRow("not a web address")
            << "ftp"
            << "error"
            << "网店服务器地址无效：ftp://127.0.0.1/router/rest" << 0;
        QTest::newRow("writing the third order fails") << "trigger"
                                                       << "error"
                                                       << "数据库操作失败，本次操作没有完成！\n"
                                                          "no more rows today"
                                                       << 1;
        QTest::newRow("trickling past the deadline")
            << "trickle"
            << "error"
            << "网店服务器在1秒内没有传完订单，订单未下载！" << 1;
        QTest::newRow("larger than the cap") << "huge"
                                             << "error"
                                             << "网店服务器的应答超过1 MB的上限，订单未下载！" << 1;
        QTest::newRow("redirect to another port")
            << "redirect"
            << "error"
            << "网店服务器要求转到另一个地址（http://127.0.0.1:" << 1;
        QTest::newRow("second page malformed") << "page 2"
                                               << "error"
                                               << "网店服务器的应答不是有效的XML：" << 2;
    }
    void failuresLeaveTheRecipients()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QFETCH(int, requests);

        storeShop(asciiShop());
        const QStringList old = seedOldRecipients();
        FakeGateway gateway(Secret);
        FakeGateway elsewhere(Secret);
        elsewhere.answer(fixture("orders.xml"));
        QUrl url = gateway.url();
        DownloadOptions options;

        if (scenario == "quiet") {
            gateway.stayQuiet();
            options.timeoutMs = 300;
        } else if (scenario == "cancel") {
            gateway.stayQuiet();
            m_prompt->cancelProgressAt = 1;
        } else if (scenario == "500") {
            gateway.answer(fixture("orders.xml"), 500, "Internal Server Error");
        } else if (scenario == "ftp") {
            url = QUrl("ftp://127.0.0.1/router/rest");
        } else if (scenario == "trickle") {
            configure("DownloadTimeout", "1");
            gateway.trickle(fixture("orders.xml"), 50, 4000);
        } else if (scenario == "huge") {
            configure("MaxAnswerMB", "1");
            gateway.stream(8 << 20);
        } else if (scenario == "redirect") {
            gateway.answer({}, 302, "Found", "Location: " + elsewhere.url().toEncoded() + "\r\n");
        } else if (scenario == "page 2") {
            gateway.answerPages({FakeGateway::ordersPage(1, 100, 150), fixture("malformed.xml")});
        } else if (scenario == "trigger") {
            gateway.answer(fixture("orders.xml"));
            QSqlQuery q(db());
            QVERIFY(q.exec("CREATE TRIGGER refuse BEFORE INSERT ON Exp_Att_Info "
                           "WHEN NEW.Name = '李四' BEGIN "
                           "SELECT RAISE(ABORT, 'no more rows today'); END"));
        } else {
            gateway.answer(fixture(scenario));
        }
        useGateway(url);

        QVERIFY(fetchOrders(m_dm.get(), m_session, options) != DownloadOutcome::Stored);

        QCOMPARE(gateway.targets.size(), requests);
        QVERIFY(elsewhere.targets.isEmpty());
        QVERIFY2(gateway.problems.isEmpty(), qPrintable(gateway.problems.join('\n')));
        QCOMPARE(m_prompt->messages().size(), 1);
        QCOMPARE(m_prompt->shown.last().kind, kind);
        QVERIFY2(m_prompt->lastMessage().startsWith(message), qPrintable(m_prompt->lastMessage()));
        QCOMPARE(recipientsInFile(), old);
        QCOMPARE(m_dm->recipients->recordCount(), old.size());
        QCOMPARE(m_dm->recipients->state(), Dataset::State::Browse);
    }

    void downloadStoresEveryPage_data() { PgServer::addEngineRows(); }
    void downloadStoresEveryPage()
    {
        if (!openEngine())
            return;
        storeShop(asciiShop());
        seedOldRecipients();
        FakeGateway gateway(Secret);
        gateway.answerPages({FakeGateway::ordersPage(1, 100, 250),
                             FakeGateway::ordersPage(101, 100, 250),
                             FakeGateway::ordersPage(201, 50, 250)});
        useGateway(gateway.url());

        QCOMPARE(fetchOrders(m_dm.get(), m_session), DownloadOutcome::Stored);

        QVERIFY2(gateway.problems.isEmpty(), qPrintable(gateway.problems.join('\n')));
        QCOMPARE(gateway.pageNos, (QList<int>{1, 2, 3}));
        QCOMPARE(shownOfKind("progress"), 1);
        QCOMPARE(m_prompt->messages(), QStringList{stored(250)});
        const QStringList rows = recipientsInFile();
        QCOMPARE(rows.size(), 250);
        for (int n = 1; n <= 250; ++n)
            QCOMPARE(rows[n - 1],
                     orderRow(QStringLiteral("买家%1").arg(n), "", "", "", "杭州市", "", "", ""));
    }

    void cancelAfterTheLastPollStoresNothing()
    {
        // The user presses cancel after the progress box was last asked: the
        // answer is in, but the user said no.
        struct LateCancel : ScriptedPrompt {
            bool canceled = false;
            struct Box : Prompt::Progress {
                const bool* canceled;
                bool setValue(int) override { return true; }
                bool wasCanceled() const override { return *canceled; }
            };
            std::unique_ptr<Progress> progress(const QString& label, int maximum) override
            {
                ScriptedPrompt::progress(label, maximum);
                auto box = std::make_unique<Box>();
                box->canceled = &canceled;
                return box;
            }
        } late;
        storeShop(asciiShop());
        const QStringList old = seedOldRecipients();
        FakeGateway gateway(Secret);
        gateway.answer(fixture("orders.xml"));
        connect(&gateway, &FakeGateway::requestArrived, this, [&late] { late.canceled = true; });
        useGateway(gateway.url());

        QCOMPARE(fetchOrders(m_dm.get(), m_session), DownloadOutcome::Failed);

        QCOMPARE(gateway.targets.size(), 1);
        QCOMPARE(late.messages(), QStringList{"订单下载已取消！"});
        QCOMPARE(recipientsInFile(), old);
    }

    // Nothing is sent for a shop whose parameters are not all there.
    void emptyShopParamsAreRefusedBeforeSending_data()
    {
        QTest::addColumn<bool>("storeOne");
        QTest::addColumn<ShopParams>("shop");
        QTest::addColumn<bool>("commandLine");
        QTest::addColumn<QString>("missing");
        ShopParams noSecret = asciiShop();
        noSecret.secret = QStringLiteral("  ");
        ShopParams noKeys = asciiShop();
        noKeys.appKey.clear();
        noKeys.session.clear();
        for (const bool commandLine : {false, true}) {
            const char* face = commandLine ? "command line" : "window";
            QTest::addRow("%s: no shop stored", face)
                << false << ShopParams() << commandLine
                << "淘宝账户名、APP_KEY、SECRET、SESSTION_KEY";
            QTest::addRow("%s: blank secret", face) << true << noSecret << commandLine << "SECRET";
            QTest::addRow("%s: no app key, no session", face)
                << true << noKeys << commandLine << "APP_KEY、SESSTION_KEY";
        }
    }
    void emptyShopParamsAreRefusedBeforeSending()
    {
        QFETCH(bool, storeOne);
        QFETCH(ShopParams, shop);
        QFETCH(bool, commandLine);
        QFETCH(QString, missing);
        if (storeOne)
            storeShop(shop);
        const QStringList old = seedOldRecipients();
        FakeGateway gateway(Secret);
        gateway.answer(fixture("orders.xml"));
        useGateway(gateway.url());

        if (commandLine)
            QCOMPARE(ShopCommand::runDownload({}, m_dm.get(), m_session, {}), 1);
        else
            ShopActions::downloadOrders(m_dm.get(), m_session);

        QVERIFY(gateway.targets.isEmpty());
        QCOMPARE(shownOfKind("progress"), 0);
        QCOMPARE(m_prompt->messages(),
                 QStringList{QStringLiteral("店铺参数没有填写完整（%1为空），订单未下载！\n"
                                            "请先在“网店参数设置”中填好店铺参数。")
                                 .arg(missing)});
        QCOMPARE(recipientsInFile(), old);
    }

    // --- Orders round trip ------------------------------------------------

    // Only orders waiting to be shipped are asked for and stored, each row
    // with its order number; config.ini [Shop] Status widens the request.
    void onlyWaitingOrdersAreStored_data()
    {
        QTest::addColumn<QString>("status"); // config.ini; null: no key
        QTest::addColumn<QString>("asked");  // the status parameter; null: none
        QTest::addColumn<QStringList>("stored");
        const QString waiting = QStringLiteral("WAIT_SELLER_SEND_GOODS");
        QTest::newRow("by default") << QString() << waiting << QStringList{"T1", "T4"};
        QTest::newRow("all states")
            << "ALL" << QString() << QStringList{"T1", "T2", "T3", "T4", "T5"};
        QTest::newRow("another state") << "TRADE_CLOSED"
                                       << "TRADE_CLOSED" << QStringList{"T2"};
        QTest::newRow("no status name") << "WAIT&x=1" << waiting << QStringList{"T1", "T4"};
    }
    void onlyWaitingOrdersAreStored()
    {
        QFETCH(QString, status);
        QFETCH(QString, asked);
        QFETCH(QStringList, stored);
        storeShop(asciiShop());
        FakeGateway gateway(Secret);
        gateway.holdOrders({{"T1", "WAIT_SELLER_SEND_GOODS", "甲", {}},
                            {"T2", "TRADE_CLOSED", "乙", {}},
                            {"T3", "WAIT_BUYER_CONFIRM_GOODS", "丙", {}},
                            {"T4", "WAIT_SELLER_SEND_GOODS", "丁", {}},
                            {"T5", "TRADE_CLOSED_BY_TAOBAO", "戊", {}}});
        useGateway(gateway.url());
        if (!status.isNull())
            configure("Status", status);

        ShopActions::downloadOrders(m_dm.get(), m_session);

        QVERIFY2(gateway.problems.isEmpty(), qPrintable(gateway.problems.join('\n')));
        QCOMPARE(gateway.targets.size(), 1);
        QUrlQuery query(
            QString::fromLatin1(gateway.targets[0].mid(gateway.targets[0].indexOf('?') + 1)));
        QCOMPARE(query.hasQueryItem("status"), !asked.isNull());
        QCOMPARE(query.queryItemValue("status"), asked.isNull() ? QString() : asked);
        QVERIFY(query.queryItemValue("fields").startsWith("tid,"));
        QCOMPARE(orderNumbersInFile(), stored);
    }

    // Orders already in the table are not added again, neither by a second
    // download nor by orders that come twice in one; the done message says
    // how many were new and how many were there already.
    void aSecondDownloadAddsNothing_data() { PgServer::addEngineRows(); }
    void aSecondDownloadAddsNothing()
    {
        if (!openEngine())
            return;
        storeShop(asciiShop());
        FakeGateway gateway(Secret);
        gateway.holdOrders(waitingOrders(1, 12));
        useGateway(gateway.url());

        fetchAppending();
        QCOMPARE(m_prompt->lastMessage(), stored(12));
        QCOMPARE(orderNumbersInFile().size(), 12);

        gateway.holdOrders(waitingOrders(1, 15));
        fetchAppending();
        QCOMPARE(m_prompt->lastMessage(), stored(3, 3, 12));
        QStringList expected;
        for (int n = 1; n <= 15; ++n)
            expected << QStringLiteral("T%1").arg(n);
        QCOMPARE(orderNumbersInFile(), expected);

        fetchAppending();
        QCOMPARE(m_prompt->lastMessage(), stored(0, 0, 15));
        QCOMPARE(orderNumbersInFile(), expected);
        QVERIFY2(gateway.problems.isEmpty(), qPrintable(gateway.problems.join('\n')));
    }

    // On a server, orders another station added after this one read the
    // table are left out of this download, and the done message counts them
    // apart from the orders this one added.
    void ordersAnotherStationTookAreLeftOut_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::newRow("server") << "server";
    }
    void ordersAnotherStationTookAreLeftOut()
    {
        if (!openEngine())
            return;
        storeShop(asciiShop());
        FakeGateway gateway(Secret);
        gateway.holdOrders(waitingOrders(1, 5));
        useGateway(gateway.url());
        m_dm->recipients->refresh();
        {
            QString error;
            QSqlDatabase other = ServerAddress::parse(m_session.databaseServer, &error)
                                     .addConnection(QStringLiteral("other"));
            QVERIFY2(other.open(), qPrintable(other.lastError().text()));
            QSqlQuery q(other);
            for (const char* tid : {"T2", "T4"}) {
                QVERIFY(q.exec(QStringLiteral("INSERT INTO Exp_Att_Info (Name, Order_No) VALUES "
                                              "('别台', '%1') RETURNING ID")
                                   .arg(tid)));
                QVERIFY(q.next());
                const qint64 id = q.value(0).toLongLong();
                QVERIFY2(q.exec(QStringLiteral("INSERT INTO Order_Number (Tid, Att_ID) VALUES "
                                               "('%1', %2)")
                                    .arg(tid)
                                    .arg(id)),
                         qPrintable(q.lastError().text()));
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));

        fetchAppending();

        QCOMPARE(m_prompt->lastMessage(), stored(3, 3, 0, 2));
        QCOMPARE(orderNumbersInFile(), (QStringList{"T2", "T4", "T1", "T3", "T5"}));
    }

    // Orders of one buyer to one receiver become one row with all their
    // numbers when merging is on; another buyer of the same name does not.
    void ordersOfOneBuyerMerge_data()
    {
        QTest::addColumn<QString>("config"); // [Shop] MergeOrders
        QTest::addColumn<bool>("flag");      // --merge
        QTest::addColumn<QStringList>("rows");
        const QStringList apart = {"T1", "T2", "T3", "T4"};
        const QStringList merged = {"T1,T3", "T2", "T4"};
        QTest::newRow("off by default") << QString() << false << apart;
        QTest::newRow("on in config.ini") << "1" << false << merged;
        QTest::newRow("on with --merge") << "0" << true << merged;
    }
    void ordersOfOneBuyerMerge()
    {
        QFETCH(QString, config);
        QFETCH(bool, flag);
        QFETCH(QStringList, rows);
        storeShop(asciiShop());
        FakeGateway gateway(Secret);
        gateway.holdOrders({{"T1", "WAIT_SELLER_SEND_GOODS", "张三", "zhang"},
                            {"T2", "WAIT_SELLER_SEND_GOODS", "李四", "li"},
                            {"T3", "WAIT_SELLER_SEND_GOODS", "张三", "zhang"},
                            {"T4", "WAIT_SELLER_SEND_GOODS", "张三", "another"}});
        useGateway(gateway.url());
        if (!config.isNull())
            configure("MergeOrders", config);

        ConsolePrompt console;
        Prompt* scripted = setPrompt(&console);
        const int status = ShopCommand::runDownload(flag ? QStringList{"--merge"} : QStringList{},
                                                    m_dm.get(), m_session, {});
        setPrompt(scripted);

        QCOMPARE(status, 0);
        QCOMPARE(orderNumbersInFile(), rows);
        QCOMPARE(console.messages().value(0), stored(int(rows.size()), 4));
    }

    // 250 orders go back one request each; one the platform refuses is
    // listed with its reason and goes back on a later run, alone; a run with
    // nothing due sends nothing. No order is shipped twice.
    void waybillNumbersGoBack()
    {
        storeShop(asciiShop());
        FakeGateway gateway(Secret);
        gateway.holdOrders(waitingOrders(1, 250));
        useGateway(gateway.url());
        fetchAppending();
        QCOMPARE(orderNumbersInFile().size(), 250);
        printEveryRow();
        gateway.failOrder("T100", QStringLiteral("运单号不符合规则"));

        QStringList lines;
        QCOMPARE(runShip({"--model", "顺丰速运"}, &lines), 1);
        QCOMPARE(lines.size(), 250);
        QCOMPARE(lines[0], QStringLiteral("T1\tSF1\tSF\t已回传"));
        QCOMPARE(lines[99],
                 QStringLiteral("T100\tSF100\tSF\t失败：Remote service error：运单号不符合规则"));
        QCOMPARE(gateway.sends.size(), 250);
        QHash<QString, QString> states = shipStatesInFile();
        QCOMPARE(states.size(), 250);
        QCOMPARE(states.value("T100"), QString("failed"));
        QCOMPARE(states.values().count("sent"), 249);

        gateway.stopFailing();
        QCOMPARE(runShip({"--model", "顺丰速运"}, &lines), 0);
        QCOMPARE(lines, QStringList{"T100\tSF100\tSF\t已回传"});
        QCOMPARE(gateway.sends.size(), 251);
        QCOMPARE(shipStatesInFile().values().count("sent"), 250);

        m_prompt->clear();
        QCOMPARE(runShip({"--model", "顺丰速运"}, &lines), 0);
        QVERIFY(lines.isEmpty());
        QCOMPARE(gateway.sends.size(), 251);
        QVERIFY(m_prompt->lastMessage().startsWith("没有需要回传运单号的订单。"));

        for (int n = 1; n <= 250; ++n)
            QCOMPARE(gateway.timesShipped("T" + QByteArray::number(n)), 1);
        for (const OfflineSend& send : std::as_const(gateway.sends))
            QCOMPARE(send.companyCode, QByteArray("SF"));
        QVERIFY2(gateway.problems.isEmpty(), qPrintable(gateway.problems.join('\n')));
    }

    // A run stopped by its deadline leaves the order whose answer was late
    // failed and the rest unasked; an order a killed run left "sending" is
    // settled by the platform's "already shipped"; nothing goes out twice.
    void anInterruptedRunResumes()
    {
        storeShop(asciiShop());
        FakeGateway gateway(Secret);
        gateway.holdOrders(waitingOrders(1, 4));
        useGateway(gateway.url());
        fetchAppending();
        printEveryRow();
        configure("DownloadTimeout", "1");
        gateway.answerSlowly("T2", 3000);

        QStringList lines;
        QCOMPARE(runShip({"--model", "顺丰速运"}, &lines), 1);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QStringLiteral("T1\tSF1\tSF\t已回传"));
        const QString late = QStringLiteral("失败：在1秒的时限内没能回传。");
        QCOMPARE(lines[1], "T2\tSF2\tSF\t" + late);
        QCOMPARE(lines[2], "T3\tSF3\tSF\t" + late);
        QCOMPARE(gateway.sends.size(), 2); // T3 and T4 were never asked
        QCOMPARE(shipStatesInFile(), (QHash<QString, QString>{{"T1", "sent"}, {"T2", "failed"}}));

        // As a run killed while waiting for T2's answer leaves it, T4 too.
        QSqlQuery q(db());
        QVERIFY(q.exec("UPDATE Order_Ship SET State = 'sending' WHERE Tid = 'T2'"));
        gateway.answerSlowly("T2", 0);
        configure("DownloadTimeout", "60");
        QCOMPARE(runShip({"--model", "顺丰速运"}, &lines), 0);
        QCOMPARE(lines, (QStringList{"T2\tSF2\tSF\t已回传", "T3\tSF3\tSF\t已回传",
                                     "T4\tSF4\tSF\t已回传"}));
        for (const QByteArray tid : {"T1", "T2", "T3", "T4"})
            QCOMPARE(gateway.timesShipped(tid), 1);
        QCOMPARE(shipStatesInFile().values().count("sent"), 4);
        QVERIFY2(gateway.problems.isEmpty(), qPrintable(gateway.problems.join('\n')));
    }

    // Refused before anything is sent: a template without a carrier the
    // platform knows, incomplete shop parameters, wrong usage.
    void shipRefusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("shop");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("no carrier") << QStringList{"--model", "普通模板"} << true << 1
                                    << "模板“普通模板”没有选择快递公司，运单号未回传！";
        QTest::newRow("no shop") << QStringList{"--model", "顺丰速运"} << false << 1
                                 << "店铺参数没有填写完整（淘宝账户名、APP_KEY、SECRET、SESSTION_"
                                    "KEY为空），运单号未回传！";
        QTest::newRow("an argument")
            << QStringList{"now"} << true << 2 << "usage: waylark ship [--model NAME]";
    }
    void shipRefusals()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, shop);
        QFETCH(int, status);
        QFETCH(QString, message);
        if (shop)
            storeShop(asciiShop());
        FakeGateway gateway(Secret);
        gateway.holdOrders(waitingOrders(1, 2));
        useGateway(gateway.url());
        if (shop) {
            fetchAppending();
            printEveryRow();
        }
        m_prompt->clear();
        QStringList lines;
        QCOMPARE(runShip(args, &lines), status);
        QVERIFY(lines.isEmpty());
        QVERIFY2(m_prompt->lastMessage().startsWith(message), qPrintable(m_prompt->lastMessage()));
        QVERIFY(gateway.sends.isEmpty());
    }

    // "回传运单号" in the recipient tab: failures are listed with their
    // reason and offered again; the grid shows each row's order numbers and
    // how far they went back.
    void shipButtonListsFailuresAndTheGridShowsStates()
    {
        storeShop(asciiShop());
        FakeGateway gateway(Secret);
        gateway.holdOrders(waitingOrders(1, 3));
        useGateway(gateway.url());
        fetchAppending();
        printEveryRow();
        gateway.failOrder("T2", QStringLiteral("运单号不符合规则"));
        m_session.currentTemplate = QStringLiteral("顺丰速运");

        RecipientPage page;
        page.bindData(m_dm.get(), &m_session);
        connect(&page, &RecipientPage::shipWaybillsRequested, this, [&] {
            ShopActions::shipWaybills(m_dm.get(), m_session);
            page.refreshShipStates();
        });
        m_prompt->clear();
        m_prompt->answers.enqueue(Prompt::Button::Yes); // once more
        m_prompt->answers.enqueue(Prompt::Button::No);
        QPushButton* button = page.findChild<QPushButton*>("shipWaybillsButton");
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("回传运单号"));
        button->click();

        QList<ScriptedPrompt::Shown> questions;
        for (const ScriptedPrompt::Shown& shown : std::as_const(m_prompt->shown))
            if (shown.kind == "question")
                questions << shown;
        QCOMPARE(questions.size(), 2);
        QCOMPARE(questions[0].text, QStringLiteral("运单号回传完毕：2 条订单已回传，1 条失败：\n"
                                                   "T2  Remote service error：运单号不符合规则\n\n"
                                                   "现在重新回传失败的 1 条订单吗？"));
        QCOMPARE(questions[1].text.section('\n', 0, 0),
                 QStringLiteral("运单号回传完毕：0 条订单已回传，1 条失败："));
        QCOMPARE(gateway.sends.size(), 4); // T2 twice, refused both times

        const QVector<DatasetModel::Column>& columns = page.gridModel->columns();
        int orderColumn = -1;
        int stateColumn = -1;
        for (int i = 0; i < columns.size(); ++i) {
            if (columns[i].title == QStringLiteral("订单编号"))
                orderColumn = i;
            if (columns[i].title == QStringLiteral("回传状态"))
                stateColumn = i;
        }
        QVERIFY(orderColumn >= 0 && stateColumn >= 0);
        const auto shown = [&](int row, int column) {
            return page.gridModel->index(row, column).data().toString();
        };
        QCOMPARE(shown(0, orderColumn), QString("T1"));
        QVERIFY2(shown(0, stateColumn).startsWith("已回传 "), qPrintable(shown(0, stateColumn)));
        QCOMPARE(shown(1, stateColumn),
                 QStringLiteral("回传失败：Remote service error：运单号不符合规则"));

        gateway.stopFailing();
        m_prompt->clear();
        button->click();
        QCOMPARE(m_prompt->messages(), QStringList{"运单号回传完毕：1 条订单已回传。"});
        QVERIFY(shown(1, stateColumn).startsWith("已回传 "));
        QCOMPARE(gateway.timesShipped("T2"), 1);
    }

    // --- waylark download -------------------------------------------------

    void downloadCommand_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("replaced");

        for (const char* engine : Engines) {
            QTest::addRow("%s: orders", engine)
                << engine << QStringList{} << "orders.xml" << 0 << stored(3) << true;
            QTest::addRow("%s: orders appended", engine)
                << engine << QStringList{"--append"} << "orders.xml" << 0 << stored(3) << true;
            // Nothing new is no failure; the old rows stay.
            QTest::addRow("%s: no orders", engine)
                << engine << QStringList{} << "no_orders.xml" << 0 << NoOrders << false;
            QTest::addRow("%s: platform error", engine)
                << engine << QStringList{} << "error.xml" << 1 << "店铺参数设置错误！" << false;
            QTest::addRow("%s: malformed", engine)
                << engine << QStringList{} << "malformed.xml" << 1
                << "网店服务器的应答不是有效的XML：" << false;
            QTest::addRow("%s: never answers", engine)
                << engine << QStringList{} << "quiet" << 1
                << "网店服务器长时间没有应答，订单未下载！" << false;
            QTest::addRow("%s: trickling past the deadline", engine)
                << engine << QStringList{} << "trickle" << 1
                << "网店服务器在1秒内没有传完订单，订单未下载！" << false;
            QTest::addRow("%s: an unknown option", engine)
                << engine << QStringList{"--all"} << "orders.xml" << 2 << "unknown option --all"
                << false;
            QTest::addRow("%s: an argument", engine)
                << engine << QStringList{"all"} << "orders.xml" << 2
                << "usage: waylark download [--append] [--merge]" << false;
        }
    }
    void downloadCommand()
    {
        if (!openEngine())
            return;
        QFETCH(QStringList, args);
        QFETCH(QString, answer);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(bool, replaced);

        storeShop(asciiShop());
        const QStringList old = seedOldRecipients();
        FakeGateway gateway(Secret);
        if (answer == "quiet")
            gateway.stayQuiet();
        else if (answer == "trickle")
            gateway.trickle(fixture("orders.xml"), 50, 4000);
        else
            gateway.answer(fixture(answer));
        useGateway(gateway.url());
        configure("DownloadTimeout", "1");
        DownloadOptions options;
        options.timeoutMs = 300;

        ConsolePrompt console;
        Prompt* scripted = setPrompt(&console);
        const int result = ShopCommand::runDownload(args, m_dm.get(), m_session, options);
        setPrompt(scripted);

        QCOMPARE(result, status);
        QCOMPARE(console.messages().size(), status == 2 && args.first().startsWith("--") ? 2 : 1);
        QVERIFY2(console.messages()[0].startsWith(message), qPrintable(console.messages()[0]));
        if (status == 2)
            QCOMPARE(console.messages().last(),
                     QStringLiteral("usage: waylark download [--append] [--merge]"));
        QCOMPARE(gateway.targets.size(), status == 2 ? 0 : 1);
        QVERIFY2(gateway.problems.isEmpty(), qPrintable(gateway.problems.join('\n')));
        if (replaced) {
            const QStringList names = {"张三", "张三", "李四"};
            QStringList rows = recipientsInFile();
            if (args.contains("--append")) {
                QCOMPARE(rows.mid(0, old.size()), old);
                rows = rows.mid(old.size());
            }
            QCOMPARE(rows.size(), 3);
            for (int i = 0; i < 3; ++i)
                QCOMPARE(rows[i].section('|', 0, 0), names[i]);
        } else {
            QCOMPARE(recipientsInFile(), old);
        }
    }
};

// The shop parameters dialog, the download command of the recipient tab and
// `waylark download`, against a database in a fresh application directory
// and a gateway on 127.0.0.1.
QTEST_MAIN(TestShopWindow)
#include "test_shopwindow.moc"
