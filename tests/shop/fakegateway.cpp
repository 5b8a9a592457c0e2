#include "fakegateway.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QTcpSocket>

namespace
{

const QList<QByteArray> ExpectedNames = {"app_key",       "end_created", "fields",  "format",
                                         "method",        "nick",        "session", "sign_method",
                                         "start_created", "timestamp",   "v",       "sign"};

bool isDateTimeName(const QByteArray& name)
{
    return name == "end_created" || name == "start_created" || name == "timestamp";
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

void FakeGateway::answer(const QByteArray& body, int status, const QByteArray& reason)
{
    m_quiet = false;
    m_response =
        "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
        "\r\nContent-Type: text/xml\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
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
        check(head.left(head.indexOf("\r\n")));
        Q_EMIT requestArrived();
        if (m_quiet)
            return;
        socket->write(m_response);
        socket->disconnectFromHost();
    });
}

void FakeGateway::check(const QByteArray& requestLine)
{
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || parts[0] != "GET" || parts[2] != "HTTP/1.1") {
        problems << QStringLiteral("request line: ") + QString::fromLatin1(requestLine);
        return;
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
    if (names != ExpectedNames) {
        problems << QStringLiteral("names: ") + QString::fromLatin1(names.join(','));
        return;
    }

    static const QRegularExpression dateTime(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d%20\\d\\d%3A\\d\\d%3A\\d\\d$"));
    for (const QByteArray& name : ExpectedNames) {
        if (isDateTimeName(name) && !dateTime.match(QString::fromLatin1(raw[name])).hasMatch())
            problems << QStringLiteral("date-time: ") + QString::fromLatin1(raw[name]);
    }
    if (decoded["timestamp"] != decoded["end_created"])
        problems << QStringLiteral("timestamp differs from end_created");

    QByteArray signedText = m_secret.toUtf8();
    for (const QByteArray& name : ExpectedNames.mid(0, ExpectedNames.size() - 1))
        signedText += name + decoded[name].toUtf8();
    signedText += m_secret.toUtf8();
    const QByteArray sign =
        QCryptographicHash::hash(signedText, QCryptographicHash::Md5).toHex().toUpper();
    if (raw["sign"] != sign)
        problems << QStringLiteral("sign %1, expected %2")
                        .arg(QString::fromLatin1(raw["sign"]), QString::fromLatin1(sign));
}
