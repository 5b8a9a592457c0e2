#include "base/prompt.h"
#include "base/session.h"
#include "book/recipientrows.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "data/headerguard.h"
#include "fakegateway.h"
#include "freshdatabase.h"
#include "gui/shop/shopsettingsdialog.h"
#include "scriptedprompt.h"
#include "shop/shopcommands.h"
#include "shop/shopstore.h"
#include "tempworkdir.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <memory>

namespace
{

const QString Secret = QStringLiteral("s3cr3t");
const QString Missing = QStringLiteral("必需的店铺参数不能为空！");
const QString Saved = QStringLiteral("店铺参数设置完成！");
const QString Done = QStringLiteral("订单下载完毕！");
const QString NoOrders = QStringLiteral("操作的店铺中没有发现新订单！");

// The done message after N rows were stored.
QString stored(int rows)
{
    return Done + QStringLiteral("\n已保存 %1 条收件人记录。").arg(rows);
}

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

        QTest::newRow("nick of blanks") << QStringList{"   ", "1", "2", "3"} << "Ed_Nick";
        QTest::newRow("empty app key") << QStringList{"n", "", "2", "3"} << "Ed_Appkey";
        QTest::newRow("secret of blanks") << QStringList{"n", "1", "  ", "3"} << "Ed_Secret";
        QTest::newRow("session key of blanks") << QStringList{"n", "1", "2", " "} << "Ed_Sesstion";
        QTest::newRow("the first of several") << QStringList{"n", " ", "", ""} << "Ed_Appkey";
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
        const QList<QLineEdit*> boxes = {
            dialog.findChild<QLineEdit*>("Ed_Nick"), dialog.findChild<QLineEdit*>("Ed_Appkey"),
            dialog.findChild<QLineEdit*>("Ed_Secret"), dialog.findChild<QLineEdit*>("Ed_Sesstion")};
        for (int i = 0; i < 4; ++i)
            retype(boxes[i], typed[i]);
        QTest::mouseClick(dialog.findChild<QPushButton*>("Btn_Ok"), Qt::LeftButton);

        QCOMPARE(m_prompt->messages(), QStringList{Missing});
        QVERIFY(dialog.isVisible());
        QCOMPARE(QApplication::focusWidget()->objectName(), firstEmpty);
        QCOMPARE(shopsInFile(), QList<ShopParams>{asciiShop()});
        // What was typed stays for correction.
        for (int i = 0; i < 4; ++i)
            QCOMPARE(boxes[i]->text(), typed[i]);
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
        QCOMPARE(dialog.findChild<QLineEdit*>("Ed_Nick")->text(), QStringLiteral("旧店"));
        QCOMPARE(dialog.findChild<QLineEdit*>("Ed_Sesstion")->text(), QStringLiteral("x1"));
        QVERIFY(!dialog.findChild<QGroupBox*>("GroupBox2")->isEnabled());
        QVERIFY(!dialog.findChild<QLineEdit*>("Edit1")->isEnabled());

        retype(dialog.findChild<QLineEdit*>("Ed_Nick"), QStringLiteral("  小王的店 & co "));
        retype(dialog.findChild<QLineEdit*>("Ed_Appkey"), QStringLiteral(" 12345678"));
        retype(dialog.findChild<QLineEdit*>("Ed_Secret"), QStringLiteral("s3cr3t  "));
        retype(dialog.findChild<QLineEdit*>("Ed_Sesstion"), QStringLiteral("   6100a20b   "));
        QTest::mouseClick(dialog.findChild<QCheckBox*>("CheckBox1"), Qt::LeftButton); // shown only
        QTest::mouseClick(dialog.findChild<QPushButton*>("Btn_Ok"), Qt::LeftButton);

        QCOMPARE(m_prompt->messages(), QStringList{Saved});
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const ShopParams stored = {QStringLiteral("小王的店 & co"), QStringLiteral("12345678"),
                                   QStringLiteral("s3cr3t"), QStringLiteral("6100a20b")};
        QCOMPARE(shopsInFile(), QList<ShopParams>{stored});

        // They come back without the blanks.
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.findChild<QLineEdit*>("Ed_Nick")->text(), stored.nick);
        QCOMPARE(dialog.findChild<QLineEdit*>("Ed_Appkey")->text(), stored.appKey);
        QCOMPARE(dialog.findChild<QLineEdit*>("Ed_Secret")->text(), stored.secret);
        QCOMPARE(dialog.findChild<QLineEdit*>("Ed_Sesstion")->text(), stored.session);
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
        retype(dialog.findChild<QLineEdit*>("Ed_Nick"), QStringLiteral("新店"));

        QTest::mouseClick(dialog.findChild<QPushButton*>("Btn_Ok"), Qt::LeftButton);

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
             {dialog.findChild<QLineEdit*>("Ed_Nick"), dialog.findChild<QLineEdit*>("Ed_Appkey"),
              dialog.findChild<QLineEdit*>("Ed_Secret"),
              dialog.findChild<QLineEdit*>("Ed_Sesstion")})
            QVERIFY(box->text().isEmpty()); // nothing stored yet

        retype(dialog.findChild<QLineEdit*>("Ed_Nick"), QStringLiteral("未保存"));
        QTest::mouseClick(dialog.findChild<QPushButton*>("Btn_Cancle"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QVERIFY(shopsInFile().isEmpty());

        storeShop(asciiShop());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.findChild<QLineEdit*>("Ed_Nick")->text(), QStringLiteral("shopnick"));
        QVERIFY(m_prompt->messages().isEmpty());
    }

    void typedValuesSurviveMinimising()
    {
        storeShop(asciiShop());
        ShopSettingsDialog dialog(m_dm.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        retype(dialog.findChild<QLineEdit*>("Ed_Nick"), QStringLiteral("新昵称"));
        retype(dialog.findChild<QLineEdit*>("Ed_Secret"), QStringLiteral("new-secret"));

        // Minimised and restored: the same opening, what was typed stays.
        dialog.setWindowState(Qt::WindowMinimized);
        dialog.setWindowState(Qt::WindowNoState);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.findChild<QLineEdit*>("Ed_Nick")->text(), QStringLiteral("新昵称"));
        QCOMPARE(dialog.findChild<QLineEdit*>("Ed_Secret")->text(), QStringLiteral("new-secret"));
        QCOMPARE(dialog.findChild<QLineEdit*>("Ed_Appkey")->text(), asciiShop().appKey);

        // Opened anew, it shows what is stored.
        dialog.hide();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.findChild<QLineEdit*>("Ed_Nick")->text(), asciiShop().nick);
        QCOMPARE(dialog.findChild<QLineEdit*>("Ed_Secret")->text(), asciiShop().secret);
        QCOMPARE(shopsInFile(), QList<ShopParams>{asciiShop()});
    }

    void sessionKeyPageOpensOverHttps()
    {
        storeShop(asciiShop());
        ShopSettingsDialog dialog(m_dm.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        retype(dialog.findChild<QLineEdit*>("Ed_Nick"), QStringLiteral("typed"));

        QTest::mouseClick(dialog.findChild<QPushButton*>("Btn_GetSesstion"), Qt::LeftButton);

        // No query: nothing of the shop travels with it.
        QCOMPARE(m_prompt->urls,
                 QList<QUrl>{QUrl("https://open.taobao.com/apitools/sessionPage.htm")});
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.findChild<QLineEdit*>("Ed_Nick")->text(), QStringLiteral("typed"));
        QCOMPARE(shopsInFile(), QList<ShopParams>{asciiShop()});
    }

    void shopSetButtonShowsTheDialogModally()
    {
        QWidget window;
        // The dialog its window owns, found by its object name.
        const auto shopDialog = [&window] {
            return window.findChild<ShopSettingsDialog*>("Fm_Shop_Set");
        };
        QVERIFY(!shopDialog());
        new ShopSettingsDialog(m_dm.get(), &window);
        window.show();
        bool wasModal = false;
        QTimer::singleShot(0, this, [&] {
            QVERIFY(shopDialog());
            wasModal = QApplication::activeModalWidget() == shopDialog();
            retype(shopDialog()->findChild<QLineEdit*>("Ed_Nick"), QStringLiteral("n"));
            retype(shopDialog()->findChild<QLineEdit*>("Ed_Appkey"), QStringLiteral("k"));
            retype(shopDialog()->findChild<QLineEdit*>("Ed_Secret"), QStringLiteral("s"));
            retype(shopDialog()->findChild<QLineEdit*>("Ed_Sesstion"), QStringLiteral("x"));
            QTest::keyClick(shopDialog()->findChild<QLineEdit*>("Ed_Sesstion"),
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

        QTest::newRow("three orders, one receiver twice")
            << "orders.xml" << asciiShop() << QStringList{zhang, zhang, li};
        QTest::newRow("chinese nick, answer in GBK")
            << "orders_gbk.xml" << chinese
            << QStringList{orderRow("赵六", "科技园 8 栋", "13700000003", "0755-66666666", "深圳市",
                                    "广东省", "南山区", "518057")};
    }
    void downloadReplacesTheRecipients()
    {
        QFETCH(QString, file);
        QFETCH(ShopParams, shop);
        QFETCH(QStringList, rows);
        storeShop(shop);
        seedOldRecipients();
        FakeGateway gateway(Secret);
        gateway.answer(fixture(file));
        useGateway(gateway.url());

        ShopCommands::downloadOrders(m_dm.get(), m_session);

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

        ShopCommands::downloadOrders(m_dm.get(), m_session);

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
        ShopCommands::DownloadOptions options;

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

        QVERIFY(ShopCommands::fetchOrders(m_dm.get(), m_session, options) !=
                ShopCommands::DownloadOutcome::Stored);

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

    void downloadStoresEveryPage()
    {
        storeShop(asciiShop());
        seedOldRecipients();
        FakeGateway gateway(Secret);
        gateway.answerPages({FakeGateway::ordersPage(1, 100, 250),
                             FakeGateway::ordersPage(101, 100, 250),
                             FakeGateway::ordersPage(201, 50, 250)});
        useGateway(gateway.url());

        QCOMPARE(ShopCommands::fetchOrders(m_dm.get(), m_session),
                 ShopCommands::DownloadOutcome::Stored);

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

        QCOMPARE(ShopCommands::fetchOrders(m_dm.get(), m_session),
                 ShopCommands::DownloadOutcome::Failed);

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
            QCOMPARE(ShopCommands::runDownload({}, m_dm.get(), m_session, {}), 1);
        else
            ShopCommands::downloadOrders(m_dm.get(), m_session);

        QVERIFY(gateway.targets.isEmpty());
        QCOMPARE(shownOfKind("progress"), 0);
        QCOMPARE(m_prompt->messages(),
                 QStringList{QStringLiteral("店铺参数没有填写完整（%1为空），订单未下载！\n"
                                            "请先在“网店参数设置”中填好店铺参数。")
                                 .arg(missing)});
        QCOMPARE(recipientsInFile(), old);
    }

    // --- waylark download -------------------------------------------------

    void downloadCommand_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("replaced");

        QTest::newRow("orders") << QStringList{} << "orders.xml" << 0 << stored(3) << true;
        QTest::newRow("orders appended")
            << QStringList{"--append"} << "orders.xml" << 0 << stored(3) << true;
        // Nothing new is no failure; the old rows stay.
        QTest::newRow("no orders") << QStringList{} << "no_orders.xml" << 0 << NoOrders << false;
        QTest::newRow("platform error")
            << QStringList{} << "error.xml" << 1 << "店铺参数设置错误！" << false;
        QTest::newRow("malformed")
            << QStringList{} << "malformed.xml" << 1 << "网店服务器的应答不是有效的XML：" << false;
        QTest::newRow("never answers")
            << QStringList{} << "quiet" << 1 << "网店服务器长时间没有应答，订单未下载！" << false;
        QTest::newRow("trickling past the deadline")
            << QStringList{} << "trickle" << 1 << "网店服务器在1秒内没有传完订单，订单未下载！"
            << false;
        QTest::newRow("an unknown option")
            << QStringList{"--all"} << "orders.xml" << 2 << "unknown option --all" << false;
        QTest::newRow("an argument") << QStringList{"all"} << "orders.xml" << 2
                                     << "usage: waylark download [--append]" << false;
    }
    void downloadCommand()
    {
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
        ShopCommands::DownloadOptions options;
        options.timeoutMs = 300;

        ConsolePrompt console;
        Prompt* scripted = setPrompt(&console);
        const int result = ShopCommands::runDownload(args, m_dm.get(), m_session, options);
        setPrompt(scripted);

        QCOMPARE(result, status);
        QCOMPARE(console.messages().size(), status == 2 && args.first().startsWith("--") ? 2 : 1);
        QVERIFY2(console.messages()[0].startsWith(message), qPrintable(console.messages()[0]));
        if (status == 2)
            QCOMPARE(console.messages().last(),
                     QStringLiteral("usage: waylark download [--append]"));
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
