#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// An order the gateway holds for holdOrders().
struct FakeOrder {
    QByteArray tid;
    QByteArray status; // "WAIT_SELLER_SEND_GOODS", "TRADE_CLOSED" ...
    QString name;      // the receiver
    QString buyer;     // buyer_nick; the receiver's name when empty
};

// One taobao.logistics.offline.send as it arrived.
struct OfflineSend {
    QByteArray tid;
    QByteArray outSid;
    QByteArray companyCode;
    bool accepted = false; // the order was shipped by this request
};

// A REST gateway on 127.0.0.1 that checks each request line on its own
// terms (names and order, escaping, the signature recomputed with the
// shop's secret) and gives the answer it was told to. It knows
// taobao.trades.sold.get and taobao.logistics.offline.send.
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

    // Answers as the platform from these orders: trades.sold.get gives the
    // orders in the status asked for (all without one), TradesPageSize a
    // page; offline.send ships a waiting order, and refuses one already
    // shipped with the platform's error.
    void holdOrders(const QList<FakeOrder>& orders);
    // Refuses offline.send for TID with REASON, until told otherwise.
    void failOrder(const QByteArray& tid, const QString& reason) { m_failing[tid] = reason; }
    void stopFailing() { m_failing.clear(); }
    // Ships TID, then holds its answer back for MS milliseconds.
    void answerSlowly(const QByteArray& tid, int ms) { m_slow[tid] = ms; }
    // Ships TID, then answers with half an XML document.
    void breakAnswer(const QByteArray& tid) { m_broken.insert(tid); }
    // The status of a held order now.
    QByteArray statusOf(const QByteArray& tid) const;
    // How many offline sends shipped TID (at most one, if all is well).
    int timesShipped(const QByteArray& tid) const;

    // Request targets received ("/router/rest?..."), and what was wrong with them.
    QList<QByteArray> targets;
    QStringList problems;
    // The page_no of each request.
    QList<int> pageNos;
    // The User-Agent header of each request.
    QList<QByteArray> userAgents;
    qint64 streamed = 0;
    // Every offline send received, in order.
    QList<OfflineSend> sends;

Q_SIGNALS:
    void requestArrived();

private:
    enum class Mode { Fixed, Pages, Quiet, Trickle, Stream, Shop };

    void serve(QTcpSocket* socket);
    // The page asked for, 0 when the request line is not one; -1 for an
    // offline send.
    int check(const QByteArray& requestLine);
    void checkSign(const QList<QByteArray>& names, const QHash<QByteArray, QByteArray>& raw,
                   const QHash<QByteArray, QString>& decoded);
    void startTrickle(QTcpSocket* socket);
    void startStream(QTcpSocket* socket);
    // The answer of the held orders to the request just checked.
    QByteArray shopAnswer(QTcpSocket* socket);

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
    QHash<QByteArray, QString> m_params; // of the last request, decoded
    QList<FakeOrder> m_orders;
    QHash<QByteArray, QString> m_failing;
    QHash<QByteArray, int> m_slow;
    QSet<QByteArray> m_broken;
};
