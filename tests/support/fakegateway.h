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

    // One page of an answer: COUNT orders of buyers 买家FIRST, 买家FIRST+1,
    // ... in 杭州市, TOTAL in all. Without orders the trades element is left
    // out, as the platform does.
    static QByteArray ordersPage(int first, int count, qint64 total);

    bool isListening() const { return m_server.isListening(); }
    QUrl url() const;

    // The same answer to every request; HEADERS are extra header lines, each
    // ending in CR LF.
    void answer(const QByteArray& body, int status = 200, const QByteArray& reason = "OK",
                const QByteArray& headers = QByteArray());
    // The answer to page_no N is PAGES[N - 1], past the end the last one.
    void answerPages(const QList<QByteArray>& pages);
    void stayQuiet() { m_mode = Mode::Quiet; }
    // The head at once, then the answer one byte every INTERVALMS; after
    // GIVEUPMS the rest at once, so that a client without a deadline ends too.
    void trickle(const QByteArray& body, int intervalMs, int giveUpMs);
    // An answer of SIZE bytes without a Content-Length, written only as fast
    // as the client reads it; streamed counts what left the server.
    void stream(qint64 size);
    // The first request is sent back to its own path and query with 302.
    void redirectFirstToItself() { m_redirectFirst = true; }

    // Request targets received ("/router/rest?..."), and what was wrong with them.
    QList<QByteArray> targets;
    QStringList problems;
    // The page_no of each request.
    QList<int> pageNos;
    // The User-Agent header of each request.
    QList<QByteArray> userAgents;
    qint64 streamed = 0;

Q_SIGNALS:
    void requestArrived();

private:
    enum class Mode { Fixed, Pages, Quiet, Trickle, Stream };

    void serve(QTcpSocket* socket);
    // The page asked for, 0 when the request line is not one.
    int check(const QByteArray& requestLine);
    void startTrickle(QTcpSocket* socket);
    void startStream(QTcpSocket* socket);

    QTcpServer m_server;
    QString m_secret;
    Mode m_mode = Mode::Fixed;
    QByteArray m_response;
    QList<QByteArray> m_pages;
    QByteArray m_trickleBody;
    int m_intervalMs = 0;
    int m_giveUpMs = 0;
    qint64 m_streamSize = 0;
    bool m_redirectFirst = false;
};
