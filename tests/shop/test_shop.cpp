#include "address/addressparser.h"
#include "fakegateway.h"
#include "shop/orderdownload.h"
#include "shop/tradesanswer.h"
#include "tempworkdir.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>
#include <QtEndian>

#include <array>

Q_DECLARE_METATYPE(OrderRecipient)
Q_DECLARE_METATYPE(TradesResult::Outcome)
Q_DECLARE_METATYPE(ShopField)
Q_DECLARE_METATYPE(ShopParams)

namespace
{

const QString Secret = QStringLiteral("s3cr3t");

const char Fields[] = "tid,buyer_nick,receiver_name,receiver_state,receiver_city,receiver_district,"
                      "receiver_address,receiver_zip,receiver_mobile,receiver_phone";

ShopParams asciiShop()
{
    return {QStringLiteral("shopnick"), QStringLiteral("12345678"), Secret,
            QStringLiteral("6100a20b")};
}

ShopParams chineseShop()
{
    ShopParams shop = asciiShop();
    shop.nick = QStringLiteral("小王的店 & co");
    return shop;
}

// Hands out the given readings in turn and counts how often it is read.
struct ScriptedClock {
    QList<QDateTime> readings;
    int reads = 0;

    Clock clock()
    {
        return [this] { return readings.value(reads++, readings.last()); };
    }
};

QDateTime at(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

// The two readings behind every request sent to the fake gateway.
Clock fixedClock()
{
    auto script = std::make_shared<ScriptedClock>();
    script->readings = {at(2011, 5, 1, 8, 5, 9), at(2011, 5, 1, 8, 5, 10)};
    return [script] { return script->clock()(); };
}

QByteArray fixture(const QString& name)
{
    QFile file(QStringLiteral(WAYLARK_TEST_DATA "/shop/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return file.readAll();
}

// Columns in row order: Name, Address, Mobile, Phone, Disrination, Prvince,
// City, Country, PostCode.
OrderRecipient row(const QStringList& c)
{
    Q_ASSERT(c.size() == 9);
    OrderRecipient r;
    r.name = c[0];
    r.address = c[1];
    r.mobile = c[2];
    r.phone = c[3];
    r.disrination = c[4];
    r.prvince = c[5];
    r.city = c[6];
    r.country = c[7];
    r.postCode = c[8];
    return r;
}

OrderRecipient buyer(int n)
{
    OrderRecipient r;
    r.name = QStringLiteral("买家%1").arg(n);
    r.city = r.disrination = QStringLiteral("杭州市");
    return r;
}

quint32 crc32(const QByteArray& data)
{
    static const auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data)
        crc = table[(crc ^ quint8(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

QByteArray littleEndian(quint32 n)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(n, bytes.data());
    return bytes;
}

// DATA as a gzip member: qCompress gives a size, a zlib header, the deflate
// stream and a checksum; gzip wants its own header and trailer round the
// stream.
QByteArray gzip(const QByteArray& data)
{
    const QByteArray zlib = qCompress(data, 9);
    const QByteArray deflate = zlib.mid(6, zlib.size() - 6 - 4);
    return QByteArray("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10) + deflate +
           littleEndian(crc32(data)) + littleEndian(quint32(data.size()));
}

QString queryValue(const QByteArray& target, const QString& name)
{
    return QUrlQuery(QString::fromLatin1(target.mid(target.indexOf('?') + 1)))
        .queryItemValue(name, QUrl::FullyDecoded);
}

} // namespace

class TestShop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void regionsAreCompleted_data();
    void regionsAreCompleted();
    void jsEscape_data();
    void jsEscape();
    void clockReadings_data();
    void clockReadings();
    void signature_data();
    void signature();
    void requestLine_data();
    void requestLine();
    void answers_data();
    void answers();
    void fetchFailures_data();
    void fetchFailures();
    void everyPageIsFetched_data();
    void everyPageIsFetched();
    void aFailedPageFailsTheDownload_data();
    void aFailedPageFailsTheDownload();
    void downloadIsBounded_data();
    void downloadIsBounded();
    void limitsFromConfig_data();
    void limitsFromConfig();
    void shopParamsCheck_data();
    void shopParamsCheck();
    void gatewayFromConfig_data();
    void gatewayFromConfig();
};

void TestShop::jsEscape_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("escaped");

    QTest::newRow("date-time") << QStringLiteral("2011-05-01 08:05:09")
                               << QStringLiteral("2011-05-01%2008%3a05%3a09");
    QTest::newRow("letters digits hyphen")
        << QStringLiteral("AZaz09-") << QStringLiteral("AZaz09-");
    QTest::newRow("other ascii") << QStringLiteral("._~*@/+")
                                 << QStringLiteral("%2e%5f%7e%2a%40%2f%2b");
    QTest::newRow("control, two digits") << QStringLiteral("\x01\t") << QStringLiteral("%01%09");
    QTest::newRow("latin-1 letters") << QStringLiteral("é\u00ff") << QStringLiteral("%e9%ff");
    QTest::newRow("above 255, no leading zeros")
        << QStringLiteral("\u0100\u0fff") << QStringLiteral("%u100%ufff");
    QTest::newRow("chinese") << QStringLiteral("杭州市") << QStringLiteral("%u676d%u5dde%u5e02");
    QTest::newRow("surrogate pair, unit by unit")
        << QStringLiteral("😀") << QStringLiteral("%ud83d%ude00");
    QTest::newRow("empty") << QString() << QString();
}

void TestShop::jsEscape()
{
    QFETCH(QString, text);
    QFETCH(QString, escaped);
    QCOMPARE(js_escape(text), escaped);
}

void TestShop::clockReadings_data()
{
    QTest::addColumn<QDateTime>("first");
    QTest::addColumn<QDateTime>("second");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("start");

    QTest::newRow("start from the second reading")
        << at(2011, 5, 1, 8, 5, 9) << at(2011, 5, 1, 8, 5, 10)
        << QStringLiteral("2011-05-01 08:05:09") << QStringLiteral("2011-04-28 08:05:10");
    QTest::newRow("midnight between readings")
        << at(2011, 5, 1, 23, 59, 59) << at(2011, 5, 2, 0, 0, 0)
        << QStringLiteral("2011-05-01 23:59:59") << QStringLiteral("2011-04-29 00:00:00");
    QTest::newRow("across february, leap year")
        << at(2012, 3, 1, 14, 0, 7) << at(2012, 3, 1, 14, 0, 7)
        << QStringLiteral("2012-03-01 14:00:07") << QStringLiteral("2012-02-27 14:00:07");
    QTest::newRow("across the year")
        << at(2011, 1, 2, 0, 0, 1) << at(2011, 1, 2, 0, 0, 1)
        << QStringLiteral("2011-01-02 00:00:01") << QStringLiteral("2010-12-30 00:00:01");
}

void TestShop::clockReadings()
{
    QFETCH(QDateTime, first);
    QFETCH(QDateTime, second);
    QFETCH(QString, end);
    QFETCH(QString, start);

    ScriptedClock script{{first, second}};
    const QList<RequestParam> params = tradesSoldGetParams(asciiShop(), script.clock());

    QCOMPARE(script.reads, 2);
    const QList<RequestParam> expected = {
        {"app_key", "12345678"},
        {"end_created", end},
        {"fields", QString::fromLatin1(Fields)},
        {"format", "xml"},
        {"method", "taobao.trades.sold.get"},
        {"nick", "shopnick"},
        {"page_no", "1"},
        {"page_size", "100"},
        {"session", "6100a20b"},
        {"sign_method", "md5"},
        {"start_created", start},
        {"status", "WAIT_SELLER_SEND_GOODS"},
        {"timestamp", end},
        {"v", "2.0"},
    };
    QCOMPARE(params, expected);
}

void TestShop::signature_data()
{
    QTest::addColumn<ShopParams>("shop");
    QTest::addColumn<QString>("sign");

    // Worked with md5sum over secret, the names and values, secret.
    QTest::newRow("ascii") << asciiShop() << QStringLiteral("6BB4D66FE008F193B14CD89BFA023CFE");
    QTest::newRow("chinese nick, signed as UTF-8")
        << chineseShop() << QStringLiteral("918B8A72692594A93D4FC8431EE65484");
}

void TestShop::signature()
{
    QFETCH(ShopParams, shop);
    QFETCH(QString, sign);
    const TradesRequest request =
        buildTradesRequest(shop, QUrl("http://gw.test/router/rest"), fixedClock());
    QCOMPARE(request.sign, sign);
    QCOMPARE(tradesSignature(request.params, shop.secret), sign);
}

void TestShop::requestLine_data()
{
    QTest::addColumn<ShopParams>("shop");
    QTest::addColumn<QByteArray>("target");

    const QByteArray tail =
        QByteArray("&fields=") + Fields + "&format=xml&method=taobao.trades.sold.get&nick=";
    const QByteArray dates = "&page_no=1&page_size=100&session=6100a20b&sign_method=md5"
                             "&start_created=2011-04-28%2008%3A05%3A10"
                             "&status=WAIT_SELLER_SEND_GOODS"
                             "&timestamp=2011-05-01%2008%3A05%3A09&v=2.0&sign=";
    const QByteArray head = "/router/rest?app_key=12345678&end_created=2011-05-01%2008%3A05%3A09";

    QTest::newRow("ascii values travel as they are")
        << asciiShop() << head + tail + "shopnick" + dates + "6BB4D66FE008F193B14CD89BFA023CFE";
    QTest::newRow("chinese nick percent-encoded as UTF-8")
        << chineseShop()
        << head + tail + "%E5%B0%8F%E7%8E%8B%E7%9A%84%E5%BA%97%20%26%20co" + dates +
               "918B8A72692594A93D4FC8431EE65484";
}

void TestShop::requestLine()
{
    QFETCH(ShopParams, shop);
    QFETCH(QByteArray, target);

    FakeGateway gateway(shop.secret);
    QVERIFY(gateway.isListening());
    gateway.answer(fixture("no_orders.xml"));
    GatewayFetcher fetcher;
    downloadOrders(shop, gateway.url(), fetcher, fixedClock());

    QCOMPARE(gateway.targets, QList<QByteArray>{target});
    QVERIFY2(gateway.problems.isEmpty(), qPrintable(gateway.problems.join('\n')));
    // The program names itself, with its version.
    QCOMPARE(gateway.userAgents, QList<QByteArray>{"Waylark/" WAYLARK_VERSION});

    // The query as built, before any URL normalisation.
    const TradesRequest request = buildTradesRequest(shop, gateway.url(), fixedClock());
    QCOMPARE(tradesQuery(request.params, request.sign), target.mid(target.indexOf('?') + 1));
}

void TestShop::answers_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<TradesResult::Outcome>("outcome");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QList<OrderRecipient>>("orders");

    const QString done = QString::fromUtf8(ShopText::OrdersDone);
    const QString none = QString::fromUtf8(ShopText::NoNewOrders);

    const OrderRecipient zhang = row({"张三", "文三路 90 号 & 2 楼", "13800000001", "0571-88888888",
                                      "杭州市", "浙江省", "杭州市", "西湖区", "310012"});
    const OrderRecipient liWithoutPhoneAndZip =
        row({"李四", "南京路 1 号", "13900000002", "", "上海市", "上海", "上海市", "黄浦区", ""});
    QTest::newRow("orders, same receiver twice, missing elements empty")
        << "orders.xml" << TradesResult::Orders << done
        << QList<OrderRecipient>{zhang, zhang, liWithoutPhoneAndZip};

    QTest::newRow("declared GBK") << "orders_gbk.xml" << TradesResult::Orders << done
                                  << QList<OrderRecipient>{
                                         row({"赵六", "科技园 8 栋", "13700000003", "0755-66666666",
                                              "深圳市", "广东省", "深圳市", "南山区", "518057"})};

    QTest::newRow("non-zero total, empty trades")
        << "empty_trades.xml" << TradesResult::Orders << done << QList<OrderRecipient>{};
    QTest::newRow("total 0") << "no_orders.xml" << TradesResult::NoOrders << none
                             << QList<OrderRecipient>{};
    QTest::newRow("no total") << "no_total.xml" << TradesResult::NoOrders << none
                              << QList<OrderRecipient>{};
    QTest::newRow("non-zero total, no trades")
        << "total_without_trades.xml" << TradesResult::NoOrders << none << QList<OrderRecipient>{};
    QTest::newRow("platform error, its reason on a second line")
        << "error.xml" << TradesResult::ShopError
        << QStringLiteral("店铺参数设置错误！\nInvalid session：SessionKey非法")
        << QList<OrderRecipient>{};
}

void TestShop::answers()
{
    QFETCH(QString, file);
    QFETCH(TradesResult::Outcome, outcome);
    QFETCH(QString, message);
    QFETCH(QList<OrderRecipient>, orders);

    FakeGateway gateway(Secret);
    const QByteArray body = fixture(file);
    gateway.answer(body);
    GatewayFetcher fetcher;
    QSignalSpy progress(&fetcher, &GatewayFetcher::progress);

    const TradesResult result = downloadOrders(asciiShop(), gateway.url(), fetcher, fixedClock());

    QVERIFY2(gateway.problems.isEmpty(), qPrintable(gateway.problems.join('\n')));
    QCOMPARE(result.message, message);
    QCOMPARE(result.outcome, outcome);
    QCOMPARE(result.orders, orders);
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last().at(0).toLongLong(), qint64(body.size()));
}

void TestShop::fetchFailures_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("withDetail"); // the parser's or the socket's own words follow

    QTest::newRow("never answers") << "quiet" << QString::fromUtf8(ShopText::TimedOut) << false;
    QTest::newRow("canceled") << "cancel" << QString::fromUtf8(ShopText::Canceled) << false;
    QTest::newRow("server error") << "500"
                                  << QStringLiteral(
                                         "网店服务器返回错误：HTTP 500 Internal Server Error")
                                  << false;
    QTest::newRow("not found") << "404" << QStringLiteral("网店服务器返回错误：HTTP 404 Not Found")
                               << false;
    QTest::newRow("malformed XML")
        << "malformed" << QStringLiteral("网店服务器的应答不是有效的XML：") << true;
    QTest::newRow("nobody listening")
        << "refused" << QStringLiteral("无法连接网店服务器：") << true;
    QTest::newRow("not an http address")
        << "ftp" << QStringLiteral("网店服务器地址无效：ftp://127.0.0.1/router/rest") << false;
}

void TestShop::fetchFailures()
{
    QFETCH(QString, scenario);
    QFETCH(QString, message);
    QFETCH(bool, withDetail);

    FakeGateway gateway(Secret);
    GatewayFetcher fetcher;
    fetcher.setTimeout(300);
    QUrl url = gateway.url();

    if (scenario == "quiet") {
        gateway.stayQuiet();
    } else if (scenario == "cancel") {
        gateway.stayQuiet();
        fetcher.setTimeout(GatewayFetcher::DefaultTimeoutMs);
        connect(&gateway, &FakeGateway::requestArrived, &fetcher, &GatewayFetcher::cancel);
    } else if (scenario == "500") {
        gateway.answer(fixture("orders.xml"), 500, "Internal Server Error");
    } else if (scenario == "404") {
        gateway.answer("<html/>", 404, "Not Found");
    } else if (scenario == "malformed") {
        gateway.answer(fixture("malformed.xml"));
    } else if (scenario == "refused") {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        url.setPort(closed.serverPort());
    } else if (scenario == "ftp") {
        url = QUrl("ftp://127.0.0.1/router/rest");
    }

    const TradesResult result = downloadOrders(asciiShop(), url, fetcher, fixedClock());

    QCOMPARE(result.outcome, TradesResult::Failed);
    QVERIFY(result.orders.isEmpty());
    if (withDetail) {
        QVERIFY2(result.message.startsWith(message), qPrintable(result.message));
        QVERIFY2(result.message.size() > message.size(), qPrintable(result.message));
    } else {
        QCOMPARE(result.message, message);
    }
    QVERIFY(!fetcher.isRunning());
}

void TestShop::everyPageIsFetched_data()
{
    QTest::addColumn<qint64>("total");
    QTest::addColumn<QList<int>>("counts"); // orders on pages 1, 2, ...
    QTest::addColumn<QList<int>>("requested");
    QTest::addColumn<int>("received");

    QTest::newRow("250 orders on three pages")
        << qint64(250) << QList<int>{100, 100, 50} << QList<int>{1, 2, 3} << 250;
    QTest::newRow("two full pages, no third request")
        << qint64(200) << QList<int>{100, 100, 100} << QList<int>{1, 2} << 200;
    QTest::newRow("one short page") << qint64(3) << QList<int>{3} << QList<int>{1} << 3;
    // A server whose pages never reach its total must not keep the loop going.
    QTest::newRow("an empty page ends it")
        << qint64(250) << QList<int>{100, 0, 100} << QList<int>{1, 2} << 100;
    QTest::newRow("a short page ends it")
        << qint64(500) << QList<int>{100, 30, 100} << QList<int>{1, 2} << 130;
    QTest::newRow("full pages past the total stop at its page count")
        << qint64(150) << QList<int>{100, 100, 100} << QList<int>{1, 2} << 200;
}

void TestShop::everyPageIsFetched()
{
    QFETCH(qint64, total);
    QFETCH(QList<int>, counts);
    QFETCH(QList<int>, requested);
    QFETCH(int, received);

    FakeGateway gateway(Secret);
    QList<QByteArray> pages;
    int first = 1;
    for (const int count : counts) {
        pages << FakeGateway::ordersPage(first, count, total);
        first += count;
    }
    gateway.answerPages(pages);
    GatewayFetcher fetcher;

    const TradesResult result = downloadOrders(asciiShop(), gateway.url(), fetcher, fixedClock());

    QVERIFY2(gateway.problems.isEmpty(), qPrintable(gateway.problems.join('\n')));
    QCOMPARE(gateway.pageNos, requested);
    QCOMPARE(result.outcome, TradesResult::Orders);
    QCOMPARE(result.message, QString::fromUtf8(ShopText::OrdersDone));
    QList<OrderRecipient> expected;
    for (int n = 1; n <= received; ++n)
        expected << buyer(n);
    QCOMPARE(result.orders, expected);
    // One reading of the clock for all pages: the same three days.
    for (const QByteArray& target : gateway.targets) {
        QCOMPARE(queryValue(target, "end_created"), QStringLiteral("2011-05-01 08:05:09"));
        QCOMPARE(queryValue(target, "start_created"), QStringLiteral("2011-04-28 08:05:10"));
    }
}

void TestShop::aFailedPageFailsTheDownload_data()
{
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<TradesResult::Outcome>("outcome");
    QTest::addColumn<QString>("message");

    QTest::newRow("malformed") << fixture("malformed.xml") << TradesResult::Failed
                               << QStringLiteral("网店服务器的应答不是有效的XML：");
    QTest::newRow("platform refuses") << fixture("error.xml") << TradesResult::ShopError
                                      << QStringLiteral("店铺参数设置错误！\nInvalid session");
}

void TestShop::aFailedPageFailsTheDownload()
{
    QFETCH(QByteArray, second);
    QFETCH(TradesResult::Outcome, outcome);
    QFETCH(QString, message);

    FakeGateway gateway(Secret);
    gateway.answerPages(
        {FakeGateway::ordersPage(1, 100, 150), second, FakeGateway::ordersPage(101, 50, 150)});
    GatewayFetcher fetcher;

    const TradesResult result = downloadOrders(asciiShop(), gateway.url(), fetcher, fixedClock());

    QCOMPARE(gateway.pageNos, (QList<int>{1, 2}));
    QCOMPARE(result.outcome, outcome);
    QVERIFY2(result.message.startsWith(message), qPrintable(result.message));
    QVERIFY(result.orders.isEmpty());
}

void TestShop::downloadIsBounded_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<TradesResult::Outcome>("outcome");
    QTest::addColumn<QString>("message");

    const QString tooLarge = QStringLiteral("网店服务器的应答超过1 MB的上限，订单未下载！");
    const QString redirected = QStringLiteral("网店服务器要求转到另一个地址（");
    QTest::newRow("trickling past the deadline")
        << "trickle" << TradesResult::Failed
        << QStringLiteral("网店服务器在1秒内没有传完订单，订单未下载！");
    QTest::newRow("larger than the cap, no length told")
        << "stream" << TradesResult::Failed << tooLarge;
    QTest::newRow("gzip inflating past the cap") << "bomb" << TradesResult::Failed << tooLarge;
    QTest::newRow("gzip within the cap")
        << "gzip" << TradesResult::Orders << QString::fromUtf8(ShopText::OrdersDone);
    QTest::newRow("gzip damaged") << "damaged" << TradesResult::Failed
                                  << QString::fromUtf8(ShopText::BadEncoding);
    QTest::newRow("gzip cut short")
        << "cut" << TradesResult::Failed << QString::fromUtf8(ShopText::BadEncoding);
    QTest::newRow("pages together past the cap") << "pages" << TradesResult::Failed << tooLarge;
    QTest::newRow("redirect to another port")
        << "port" << TradesResult::Failed << redirected + "http://127.0.0.1:";
    QTest::newRow("redirect to another host")
        << "host" << TradesResult::Failed << redirected + "http://localhost:";
    QTest::newRow("redirect to another scheme")
        << "scheme" << TradesResult::Failed << redirected + "https://127.0.0.1:";
    QTest::newRow("redirect within the gateway is followed")
        << "itself" << TradesResult::Orders << QString::fromUtf8(ShopText::OrdersDone);
}

void TestShop::downloadIsBounded()
{
    QFETCH(QString, scenario);
    QFETCH(TradesResult::Outcome, outcome);
    QFETCH(QString, message);

    FakeGateway gateway(Secret);
    FakeGateway elsewhere(Secret);
    elsewhere.answer(fixture("orders.xml"));
    const QByteArray elsewherePort = QByteArray::number(elsewhere.url().port());
    const qint64 streamSize = 64 << 20;
    DownloadLimits limits;
    limits.deadlineSeconds = 1;
    limits.maxAnswerMB = 1;

    if (scenario == "trickle") {
        gateway.trickle(fixture("orders.xml"), 50, 4000);
    } else if (scenario == "stream") {
        gateway.stream(streamSize);
    } else if (scenario == "bomb") {
        // 20 MB inflated from some 20 kB: beyond Qt's own ratio check too.
        const QByteArray xml = "<trades_sold_get_response><total_results>1</total_results>" +
                               QByteArray(20 << 20, ' ') + "</trades_sold_get_response>";
        gateway.answer(gzip(xml), 200, "OK", "Content-Encoding: gzip\r\n");
    } else if (scenario == "gzip") {
        gateway.answer(gzip(fixture("orders.xml")), 200, "OK", "Content-Encoding: gzip\r\n");
    } else if (scenario == "damaged") {
        QByteArray packed = gzip(fixture("orders.xml"));
        packed[packed.size() - 6] = char(packed[packed.size() - 6] ^ 0x5a); // the checksum
        gateway.answer(packed, 200, "OK", "Content-Encoding: gzip\r\n");
    } else if (scenario == "cut") {
        gateway.answer(gzip(fixture("orders.xml")).chopped(20), 200, "OK",
                       "Content-Encoding: gzip\r\n");
    } else if (scenario == "pages") {
        // Each page well under the cap, all of them together over it.
        QByteArray page = FakeGateway::ordersPage(1, 100, 1000);
        page.insert(page.indexOf("<total_results>"), QByteArray(300 * 1024, ' '));
        gateway.answerPages({page});
    } else if (scenario == "port") {
        gateway.answer({}, 302, "Found", "Location: " + elsewhere.url().toEncoded() + "\r\n");
    } else if (scenario == "host") {
        gateway.answer({}, 302, "Found",
                       "Location: http://localhost:" + elsewherePort + "/router/rest\r\n");
    } else if (scenario == "scheme") {
        gateway.answer({}, 302, "Found",
                       "Location: https://127.0.0.1:" + elsewherePort + "/router/rest\r\n");
    } else if (scenario == "itself") {
        gateway.redirectFirstToItself();
        gateway.answer(fixture("orders.xml"));
    }
    GatewayFetcher fetcher;

    const TradesResult result =
        downloadOrders(asciiShop(), gateway.url(), fetcher, fixedClock(), limits);

    QVERIFY2(gateway.problems.isEmpty(), qPrintable(gateway.problems.join('\n')));
    QCOMPARE(result.outcome, outcome);
    QVERIFY2(result.message.startsWith(message), qPrintable(result.message));
    QVERIFY(!fetcher.isRunning());
    QVERIFY(elsewhere.targets.isEmpty());
    if (outcome == TradesResult::Failed)
        QVERIFY(result.orders.isEmpty());
    else
        QCOMPARE(result.orders.size(), 3);
    if (scenario == "stream") // the reading stopped early, whatever the buffers held
        QVERIFY2(gateway.streamed < streamSize / 2, qPrintable(QString::number(gateway.streamed)));
    if (scenario == "pages")
        QVERIFY2(gateway.pageNos.size() < 10, qPrintable(QString::number(gateway.pageNos.size())));
    if (scenario == "itself")
        QCOMPARE(gateway.targets.size(), 2);
}

void TestShop::limitsFromConfig_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("megabytes");

    QTest::newRow("no file") << QByteArray() << 120 << 64;
    QTest::newRow("configured") << QByteArray("[Shop]\nDownloadTimeout=30\nMaxAnswerMB=8\n") << 30
                                << 8;
    QTest::newRow("not numbers") << QByteArray("[Shop]\nDownloadTimeout=soon\nMaxAnswerMB=big\n")
                                 << 120 << 64;
    QTest::newRow("zero and negative")
        << QByteArray("[Shop]\nDownloadTimeout=0\nMaxAnswerMB=-1\n") << 120 << 64;
    QTest::newRow("past the maxima")
        << QByteArray("[Shop]\nDownloadTimeout=3601\nMaxAnswerMB=1025\n") << 120 << 64;
}

void TestShop::limitsFromConfig()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, seconds);
    QFETCH(int, megabytes);

    TempWorkDir dir;
    if (!ini.isEmpty()) {
        QFile file(dir.filePath("config.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini);
    }
    const DownloadLimits limits = downloadLimitsFromConfig(dir.appDir());
    QCOMPARE(limits.deadlineSeconds, seconds);
    QCOMPARE(limits.maxAnswerMB, megabytes);
}

void TestShop::shopParamsCheck_data()
{
    QTest::addColumn<ShopParams>("typed");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<ShopField>("firstEmpty");
    QTest::addColumn<ShopParams>("stored");

    const ShopParams trimmed = {"小王的店", "12345678", "s3cr3t", "6100a20b"};
    QTest::newRow("surrounding blanks removed")
        << ShopParams{"  小王的店 ", "\t12345678", "s3cr3t  ", " 6100a20b\t"} << true
        << ShopField::None << trimmed;
    QTest::newRow("blank nick") << ShopParams{"   ", "1", "2", "3"} << false << ShopField::Nick
                                << ShopParams{"", "1", "2", "3"};
    QTest::newRow("empty app key") << ShopParams{"n", "", "2", "3"} << false << ShopField::AppKey
                                   << ShopParams{"n", "", "2", "3"};
    QTest::newRow("blank secret") << ShopParams{"n", "1", " \t ", "3"} << false << ShopField::Secret
                                  << ShopParams{"n", "1", "", "3"};
    QTest::newRow("blank session key") << ShopParams{"n", "1", "2", "  "} << false
                                       << ShopField::Session << ShopParams{"n", "1", "2", ""};
    QTest::newRow("first of several empty") << ShopParams{"n", " ", "2", ""} << false
                                            << ShopField::AppKey << ShopParams{"n", "", "2", ""};
}

void TestShop::shopParamsCheck()
{
    QFETCH(ShopParams, typed);
    QFETCH(bool, ok);
    QFETCH(ShopField, firstEmpty);
    QFETCH(ShopParams, stored);

    const ShopParamsCheck check = checkShopParams(typed);
    QCOMPARE(check.ok, ok);
    QCOMPARE(check.firstEmpty, firstEmpty);
    QCOMPARE(check.message, ok ? QString() : QStringLiteral("必需的店铺参数不能为空！"));
    QVERIFY(check.values == stored);
}

void TestShop::gatewayFromConfig_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QUrl>("gateway");

    const QUrl standard("https://eco.taobao.com/router/rest");
    QTest::newRow("configured") << QByteArray("[DefaultModel]\nModelName=顺丰\n\n[Shop]\n"
                                              "GatewayUrl=http://127.0.0.1:8080/router/rest\n")
                                << QUrl("http://127.0.0.1:8080/router/rest");
    QTest::newRow("comma in the address")
        << QByteArray("[Shop]\nGatewayUrl=http://127.0.0.1:8080/router/rest?tag=a,b\n")
        << QUrl("http://127.0.0.1:8080/router/rest?tag=a,b");
    QTest::newRow("no shop section") << QByteArray("[DefaultModel]\nModelName=顺丰\n") << standard;
    QTest::newRow("blank") << QByteArray("[Shop]\nGatewayUrl=\n") << standard;
    QTest::newRow("no file") << QByteArray() << standard;
}

void TestShop::gatewayFromConfig()
{
    QFETCH(QByteArray, ini);
    QFETCH(QUrl, gateway);

    TempWorkDir dir;
    const QString path = dir.filePath("config.ini");
    if (!ini.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini);
    }
    QCOMPARE(gatewayUrlFromConfig(path), gateway);
}

// Orders whose regions the shop left out or abbreviated get the region
// tables' names when the whole address is sure; the address stays as sent.
void TestShop::regionsAreCompleted_data()
{
    QTest::addColumn<QStringList>("sent");     // state, city, district, address
    QTest::addColumn<QStringList>("expected"); // prvince, city, country, destination, address
    QTest::addColumn<int>("completed");
    QTest::newRow("abbreviated") << QStringList{"浙江", "杭州", "西湖区", "文三路 90 号"}
                                 << QStringList{"浙江省", "杭州市", "西湖区", "杭州市",
                                                "文三路 90 号"}
                                 << 1;
    QTest::newRow("missing, named in the address")
        << QStringList{"", "", "", "浙江省杭州市西湖区文三路90号"}
        << QStringList{"浙江省", "杭州市", "西湖区", "杭州市", "浙江省杭州市西湖区文三路90号"} << 1;
    QTest::newRow("already the tables' names")
        << QStringList{"浙江省", "杭州市", "西湖区", "文三路 90 号"}
        << QStringList{"浙江省", "杭州市", "西湖区", "杭州市", "文三路 90 号"} << 0;
    QTest::newRow("ambiguous, left as sent") << QStringList{"", "", "鼓楼区", "中山路1号"}
                                             << QStringList{"", "", "鼓楼区", "", "中山路1号"} << 0;
}

void TestShop::regionsAreCompleted()
{
    QFETCH(QStringList, sent);
    QFETCH(QStringList, expected);
    QFETCH(int, completed);
    QString error;
    const std::unique_ptr<AddressParser> parser = AddressParser::fromDeliveredRegions(&error);
    QVERIFY2(parser, qPrintable(error));
    OrderRecipient order;
    order.prvince = sent.at(0);
    order.city = sent.at(1);
    order.disrination = sent.at(1);
    order.country = sent.at(2);
    order.address = sent.at(3);
    QList<OrderRecipient> orders{order};
    QCOMPARE(completeRegions(&orders, *parser), completed);
    const OrderRecipient& o = orders.first();
    QCOMPARE((QStringList{o.prvince, o.city, o.country, o.disrination, o.address}), expected);
}

QTEST_GUILESS_MAIN(TestShop)
#include "test_shop.moc"
