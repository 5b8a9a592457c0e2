#pragma once

#include "shop/shopmessages.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <memory>

class QNetworkReply;
class QTimer;

struct FetchResult {
    enum Status {
        Ok,
        TimedOut,       // the server fell silent for too long
        DeadlinePassed, // the answer was not complete by the deadline
        TooLarge,       // the answer grew past the byte limit
        Redirected,     // sent to another scheme, host or port
        Canceled,
        ConnectFailed,
        HttpError,
    };

    Status status = ConnectFailed;
    QByteArray body;    // the answer when Ok
    int httpStatus = 0; // 0 when no status line arrived
    // What went wrong, empty when Ok. Left empty for DeadlinePassed and
    // TooLarge too: the caller tells them with the limits as configured.
    QString message;
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
    ~GatewayFetcher() override;

    // The longest silence allowed from the server before giving up.
    void setTimeout(int ms) { m_timeoutMs = ms; }
    int timeout() const { return m_timeoutMs; }

    // The moment by which an answer must be complete, however steadily it
    // keeps coming; several requests may share one deadline.
    void setDeadline(QDeadlineTimer deadline) { m_deadline = deadline; }

    // The most bytes an answer may have once decompressed; -1 for no limit.
    // The reading stops as soon as the limit is passed, whatever size the
    // server announced.
    void setMaxBytes(qint64 bytes) { m_maxBytes = bytes; }

    bool isRunning() const { return !m_reply.isNull(); }

    // Follows a redirect only to the same scheme, host and port.
    FetchResult get(const QUrl& url);

public Q_SLOTS:
    // Ends the request under way; get() then returns Canceled.
    void cancel();

Q_SIGNALS:
    // bytesTotal is -1 while the size of the answer is unknown.
    void progress(qint64 bytesReceived, qint64 bytesTotal);

private:
    enum class Stop { None, Silence, Deadline, TooLarge, BadEncoding, Redirect, Cancel };
    class Inflater;

    void stop(Stop why);
    // Drops what has arrived of an answer (a new request, a redirect).
    void forgetAnswer();
    // Follows a redirect of REPLY to URL's origin; any other stops the fetch.
    void redirect(QNetworkReply* reply, const QUrl& url, const QUrl& target);
    void take(QNetworkReply* reply);
    FetchResult resultOf(QNetworkReply* reply);

    QNetworkAccessManager m_manager;
    QPointer<QNetworkReply> m_reply;
    int m_timeoutMs = DefaultTimeoutMs;
    QDeadlineTimer m_deadline{QDeadlineTimer::Forever};
    qint64 m_maxBytes = -1;
    Stop m_stopped = Stop::None;
    QList<QByteArray> m_pieces; // the answer so far
    qint64 m_received = 0;
    std::unique_ptr<Inflater> m_inflater; // for a compressed answer
    QUrl m_redirect;
};
