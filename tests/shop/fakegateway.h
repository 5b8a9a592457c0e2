#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// A REST gateway on 127.0.0.1 that checks each trades.sold.get request line
// on its own terms (names and order, escaping, the signature recomputed with
// the shop's secret) and gives the answer it was told to.
class FakeGateway : public QObject
{
    Q_OBJECT

public:
    explicit FakeGateway(const QString& secret, QObject* parent = nullptr);

    bool isListening() const { return m_server.isListening(); }
    QUrl url() const;

    void answer(const QByteArray& body, int status = 200, const QByteArray& reason = "OK");
    void stayQuiet() { m_quiet = true; }

    // Request targets received ("/router/rest?..."), and what was wrong with them.
    QList<QByteArray> targets;
    QStringList problems;

Q_SIGNALS:
    void requestArrived();

private:
    void serve(QTcpSocket* socket);
    void check(const QByteArray& requestLine);

    QTcpServer m_server;
    QString m_secret;
    QByteArray m_response;
    bool m_quiet = false;
};
