#include "fakegateway.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace
{

const QList<QByteArray> ExpectedNames = {"app_key",   "end_created", "fields",        "format",
                                         "method",    "nick",        "page_no",       "page_size",
                                         "session",   "sign_method", "start_created", "status",
                                         "timestamp", "v",           "sign"};
const QList<QByteArray> SendNames = {"app_key", "company_code", "format", "method",    "out_sid",
                                     "session", "sign_method",  "tid",    "timestamp", "v",
                                     "sign"};

const char OfflineSendMethod[] = "taobao.logistics.offline.send";

bool isDateTimeName(const QByteArray& name)
{
    return name == "end_created" || name == "start_created" || name == "timestamp";
}

QByteArray response(const QByteArray& body, int status, const QByteArray& reason,
                    const QByteArray& headers)
{
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
           "\r\nContent-Type: text/xml\r\n" + headers +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

} // namespace

FakeGateway::FakeGateway(const QString& secret, QObject* parent) : QObject(parent), m_secret(secret)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection())
            serve(socket);
    });
    m_server.listen(QHostAddress::LocalHost);
}

QUrl FakeGateway::url() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/router/rest").arg(m_server.serverPort()));
}

QByteArray FakeGateway::ordersPage(int first, int count, qint64 total)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<trades_sold_get_response>";
    if (count > 0) {
        xml += "<trades list=\"true\">";
        for (int n = first; n < first + count; ++n)
            xml += "<trade><receiver_name>" + QStringLiteral("买家%1").arg(n).toUtf8() +
                   "</receiver_name><receiver_city>杭州市</receiver_city></trade>";
        xml += "</trades>";
    }
    return xml + "<total_results>" + QByteArray::number(total) +
           "</total_results></trades_sold_get_response>";
}

void FakeGateway::answer(const QByteArray& body, int status, const QByteArray& reason,
                         const QByteArray& headers)
{
    m_mode = Mode::Fixed;
    m_response = response(body, status, reason, headers);
}

void FakeGateway::answerPages(const QList<QByteArray>& pages)
{
    m_mode = Mode::Pages;
    m_pages = pages;
}

void FakeGateway::trickle(const QByteArray& body, int intervalMs, int giveUpMs)
{
    m_mode = Mode::Trickle;
    m_trickleBody = body;
    m_intervalMs = intervalMs;
    m_giveUpMs = giveUpMs;
}

void FakeGateway::stream(qint64 size)
{
    m_mode = Mode::Stream;
    m_streamSize = size;
}

void FakeGateway::serve(QTcpSocket* socket)
{
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        if (socket->property("served").toBool())
            return;
        const QByteArray head = socket->peek(64 * 1024);
        if (!head.contains("\r\n\r\n"))
            return;
        socket->setProperty("served", true);
        const QByteArray requestLine = head.left(head.indexOf("\r\n"));
        const int pageNo = check(requestLine);
        for (const QByteArray& line : head.left(head.indexOf("\r\n\r\n")).split('\n')) {
            if (line.toLower().startsWith("user-agent:"))
                userAgents << line.mid(11).trimmed();
        }
        Q_EMIT requestArrived();
        if (m_redirectFirst) {
            m_redirectFirst = false;
            const QByteArray target = requestLine.split(' ').value(1);
            socket->write(response({}, 302, "Found", "Location: " + target + "\r\n"));
            socket->disconnectFromHost();
            return;
        }
        switch (m_mode) {
        case Mode::Quiet:
            return;
        case Mode::Trickle:
            startTrickle(socket);
            return;
        case Mode::Stream:
            startStream(socket);
            return;
        case Mode::Pages:
            socket->write(response(m_pages.value(pageNo - 1, m_pages.value(m_pages.size() - 1)),
                                   200, "OK", {}));
            break;
        case Mode::Fixed:
            socket->write(m_response);
            break;
        case Mode::Shop: {
            const QByteArray answer =
                pageNo == 0 ? response("", 400, "Bad Request", {}) : shopAnswer(socket);
            if (answer.isEmpty())
                return; // answered later
            socket->write(answer);
            break;
        }
        }
        socket->disconnectFromHost();
    });
}

void FakeGateway::startTrickle(QTcpSocket* socket)
{
    const QByteArray whole = response(m_trickleBody, 200, "OK", {});
    const qsizetype bodyStart = whole.size() - m_trickleBody.size();
    socket->write(whole.left(bodyStart));
    auto sent = std::make_shared<qsizetype>(bodyStart);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto* timer = new QTimer(socket);
    connect(timer, &QTimer::timeout, socket, [=, giveUp = m_giveUpMs] {
        const qsizetype n = clock->elapsed() >= giveUp ? whole.size() - *sent : 1;
        socket->write(whole.mid(*sent, n));
        *sent += n;
        if (*sent >= whole.size()) {
            timer->stop();
            socket->disconnectFromHost();
        }
    });
    timer->start(m_intervalMs);
}

void FakeGateway::startStream(QTcpSocket* socket)
{
    const QByteArray open = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
                            "<trades_sold_get_response><total_results>1</total_results>"
                            "<trades list=\"true\"><trade><receiver_name>";
    const QByteArray close = "</receiver_name></trade></trades></trades_sold_get_response>";
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n\r\n");
    socket->write(open);
    streamed = open.size();
    const qint64 size = m_streamSize;
    const auto more = [this, socket, close, size] {
        static const QByteArray chunk(64 * 1024, 'x');
        while (socket->state() == QAbstractSocket::ConnectedState &&
               socket->bytesToWrite() < 256 * 1024 && streamed < size) {
            const qint64 n = std::min<qint64>(chunk.size(), size - streamed);
            socket->write(chunk.constData(), n);
            streamed += n;
        }
        if (streamed >= size && socket->state() == QAbstractSocket::ConnectedState &&
            !socket->property("closing").toBool()) {
            socket->setProperty("closing", true);
            socket->write(close);
            socket->disconnectFromHost();
        }
    };
    connect(socket, &QTcpSocket::bytesWritten, this, more);
    more();
}

int FakeGateway::check(const QByteArray& requestLine)
{
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || parts[0] != "GET" || parts[2] != "HTTP/1.1") {
        problems << QStringLiteral("request line: ") + QString::fromLatin1(requestLine);
        return 0;
    }
    const QByteArray target = parts[1];
    targets << target;
    const int question = target.indexOf('?');
    if (target.left(question) != "/router/rest")
        problems << QStringLiteral("path: ") + QString::fromLatin1(target.left(question));

    const QList<QByteArray> pairs = target.mid(question + 1).split('&');
    QList<QByteArray> names;
    QHash<QByteArray, QByteArray> raw;
    QHash<QByteArray, QString> decoded;
    for (const QByteArray& pair : pairs) {
        const int equals = pair.indexOf('=');
        const QByteArray name = pair.left(equals);
        const QByteArray value = pair.mid(equals + 1);
        names << name;
        raw[name] = value;
        decoded[name] = QString::fromUtf8(QByteArray::fromPercentEncoding(value));
        static const QRegularExpression encoded(
            QStringLiteral("^([A-Za-z0-9._~,-]|%[0-9A-F]{2})*$"));
        if (!encoded.match(QString::fromLatin1(value)).hasMatch())
            problems << QStringLiteral("not percent-encoded: ") + QString::fromLatin1(pair);
    }
    m_params = decoded;
    const bool sending = decoded.value("method") == QLatin1String(OfflineSendMethod);
    QList<QByteArray> expected = sending ? SendNames : ExpectedNames;
    // Without a status every state is asked for.
    if (!sending && !names.contains("status"))
        expected.removeOne("status");
    if (names != expected) {
        problems << QStringLiteral("names: ") + QString::fromLatin1(names.join(','));
        return 0;
    }
    if (sending) {
        static const QRegularExpression dateTime(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\d%20\\d\\d%3A\\d\\d%3A\\d\\d$"));
        if (!dateTime.match(QString::fromLatin1(raw["timestamp"])).hasMatch())
            problems << QStringLiteral("date-time: ") + QString::fromLatin1(raw["timestamp"]);
        checkSign(expected, raw, decoded);
        return -1;
    }

    static const QRegularExpression dateTime(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d%20\\d\\d%3A\\d\\d%3A\\d\\d$"));
    for (const QByteArray& name : expected) {
        if (isDateTimeName(name) && !dateTime.match(QString::fromLatin1(raw[name])).hasMatch())
            problems << QStringLiteral("date-time: ") + QString::fromLatin1(raw[name]);
    }
    if (decoded["timestamp"] != decoded["end_created"])
        problems << QStringLiteral("timestamp differs from end_created");
    if (raw["page_size"] != "100")
        problems << QStringLiteral("page_size: ") + QString::fromLatin1(raw["page_size"]);
    bool numeric = false;
    const int pageNo = raw["page_no"].toInt(&numeric);
    if (!numeric || pageNo < 1)
        problems << QStringLiteral("page_no: ") + QString::fromLatin1(raw["page_no"]);
    pageNos << pageNo;

    checkSign(expected, raw, decoded);
    return pageNo;
}

void FakeGateway::checkSign(const QList<QByteArray>& names,
                            const QHash<QByteArray, QByteArray>& raw,
                            const QHash<QByteArray, QString>& decoded)
{
    QByteArray signedText = m_secret.toUtf8();
    for (const QByteArray& name : names.mid(0, names.size() - 1))
        signedText += name + decoded[name].toUtf8();
    signedText += m_secret.toUtf8();
    const QByteArray sign =
        QCryptographicHash::hash(signedText, QCryptographicHash::Md5).toHex().toUpper();
    if (raw["sign"] != sign)
        problems << QStringLiteral("sign %1, expected %2")
                        .arg(QString::fromLatin1(raw["sign"]), QString::fromLatin1(sign));
}

void FakeGateway::holdOrders(const QList<FakeOrder>& orders)
{
    m_mode = Mode::Shop;
    m_orders = orders;
}

QByteArray FakeGateway::statusOf(const QByteArray& tid) const
{
    for (const FakeOrder& o : m_orders)
        if (o.tid == tid)
            return o.status;
    return {};
}

int FakeGateway::timesShipped(const QByteArray& tid) const
{
    int n = 0;
    for (const OfflineSend& s : sends)
        n += s.tid == tid && s.accepted;
    return n;
}

QByteArray FakeGateway::shopAnswer(QTcpSocket* socket)
{
    const auto escaped = [](const QString& text) { return text.toHtmlEscaped().toUtf8(); };
    const auto error = [&](const QByteArray& subCode, const QString& subMsg) -> QByteArray {
        return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<error_response><code>15</code>"
               "<msg>Remote service error</msg><sub_code>" +
               subCode + "</sub_code><sub_msg>" + escaped(subMsg) + "</sub_msg></error_response>";
    };
    if (m_params.value("method") == QLatin1String(OfflineSendMethod)) {
        OfflineSend send{m_params.value("tid").toUtf8(), m_params.value("out_sid").toUtf8(),
                         m_params.value("company_code").toUtf8()};
        FakeOrder* order = nullptr;
        for (FakeOrder& o : m_orders)
            if (o.tid == send.tid)
                order = &o;
        QByteArray body;
        if (m_failing.contains(send.tid)) {
            body = error("isv.logistics-offline-service-error:P38", m_failing.value(send.tid));
        } else if (!order) {
            body = error("isv.trade-not-exist", QStringLiteral("交易不存在"));
        } else if (order->status != "WAIT_SELLER_SEND_GOODS") {
            body = error("isv.logistics-offline-service-error:B04", QStringLiteral("该订单已发货"));
        } else {
            order->status = "WAIT_BUYER_CONFIRM_GOODS";
            send.accepted = true;
            body = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<logistics_offline_send_response>"
                   "<shipping><is_success>true</is_success></shipping>"
                   "</logistics_offline_send_response>";
        }
        sends << send;
        if (send.accepted && m_broken.contains(send.tid))
            body = body.left(body.size() / 2);
        if (send.accepted && m_slow.contains(send.tid)) {
            const QByteArray whole = response(body, 200, "OK", {});
            QTimer::singleShot(m_slow.value(send.tid), socket, [socket, whole] {
                socket->write(whole);
                socket->disconnectFromHost();
            });
            return {};
        }
        return response(body, 200, "OK", {});
    }

    const QString status = m_params.value("status");
    QList<const FakeOrder*> matching;
    for (const FakeOrder& o : m_orders)
        if (status.isEmpty() || o.status == status.toUtf8())
            matching << &o;
    const int pageNo = m_params.value("page_no").toInt();
    const int pageSize = m_params.value("page_size").toInt();
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<trades_sold_get_response>";
    const qsizetype first = qsizetype(pageNo - 1) * pageSize;
    if (first < matching.size()) {
        xml += "<trades list=\"true\">";
        for (qsizetype i = first; i < std::min<qsizetype>(first + pageSize, matching.size()); ++i) {
            const FakeOrder& o = *matching.at(i);
            xml += "<trade><tid>" + o.tid + "</tid><buyer_nick>" +
                   escaped(o.buyer.isEmpty() ? o.name : o.buyer) + "</buyer_nick><receiver_name>" +
                   escaped(o.name) +
                   "</receiver_name><receiver_city>杭州市</receiver_city>"
                   "<receiver_address>文三路 1 号</receiver_address></trade>";
        }
        xml += "</trades>";
    }
    xml += "<total_results>" + QByteArray::number(matching.size()) +
           "</total_results></trades_sold_get_response>";
    return response(xml, 200, "OK", {});
}
