#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkReply;
class QTimer;

namespace ShopText
{
inline constexpr char TimedOut[] = "网店服务器长时间没有应答，订单未下载！";
inline constexpr char Canceled[] = "订单下载已取消！";
inline constexpr char ConnectFailed[] = "无法连接网店服务器：%1";
inline constexpr char HttpError[] = "网店服务器返回错误：HTTP %1 %2";
inline constexpr char Busy[] = "订单下载正在进行中！";
inline constexpr char BadGateway[] = "网店服务器地址无效：%1";
} // namespace ShopText

struct FetchResult {
    enum Status { Ok, TimedOut, Canceled, ConnectFailed, HttpError };

    Status status = ConnectFailed;
    QByteArray body;    // the answer when Ok
    int httpStatus = 0; // 0 when no status line arrived
    QString message;    // what went wrong, empty when Ok
};

// One GET at a time, run to its end before get() returns. A local event loop
// keeps the caller's windows painted, so a progress dialog connected to
// progress() and cancel() works while the request is under way.
class GatewayFetcher : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultTimeoutMs = 60000;

    explicit GatewayFetcher(QObject* parent = nullptr);

    // The longest silence allowed from the server before giving up.
    void setTimeout(int ms) { m_timeoutMs = ms; }
    int timeout() const { return m_timeoutMs; }

    bool isRunning() const { return !m_reply.isNull(); }

    FetchResult get(const QUrl& url);

public Q_SLOTS:
    // Ends the request under way; get() then returns Canceled.
    void cancel();

Q_SIGNALS:
    // bytesTotal is -1 while the size of the answer is unknown.
    void progress(qint64 bytesReceived, qint64 bytesTotal);

private:
    FetchResult resultOf(QNetworkReply* reply) const;

    QNetworkAccessManager m_manager;
    QPointer<QNetworkReply> m_reply;
    int m_timeoutMs = DefaultTimeoutMs;
    bool m_canceled = false;
    bool m_timedOut = false;
};
