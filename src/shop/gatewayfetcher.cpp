#include "gatewayfetcher.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <limits>

namespace
{

// Redirects allowed within the gateway's own origin.
constexpr int MaxRedirects = 5;

// How much the network layer may hold unread; the body is drained into the
// answer as it comes, where the byte limit applies.
constexpr qint64 ReadBufferBytes = 256 * 1024;

bool sameOrigin(const QUrl& a, const QUrl& b)
{
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(a.scheme() == QLatin1String("https") ? 443 : 80) ==
               b.port(b.scheme() == QLatin1String("https") ? 443 : 80);
}

QString originOf(const QUrl& url)
{
    return url
        .adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                  QUrl::RemoveUserInfo)
        .toString();
}

} // namespace

GatewayFetcher::GatewayFetcher(QObject* parent) : QObject(parent) {}

void GatewayFetcher::cancel()
{
    if (m_reply.isNull() || m_reply->isFinished())
        return;
    stop(Stop::Cancel);
}

void GatewayFetcher::stop(Stop why)
{
    if (m_stopped == Stop::None)
        m_stopped = why;
    if (!m_reply.isNull() && !m_reply->isFinished())
        m_reply->abort();
}

// Moves what has arrived into the answer, stopping once it is too large.
void GatewayFetcher::take(QNetworkReply* reply)
{
    if (m_stopped != Stop::None)
        return;
    m_body += reply->readAll();
    if (m_maxBytes >= 0 && m_body.size() > m_maxBytes) {
        m_body.clear();
        m_body.squeeze();
        stop(Stop::TooLarge);
    }
}

FetchResult GatewayFetcher::get(const QUrl& url)
{
    if (isRunning()) {
        FetchResult busy;
        busy.message = QString::fromUtf8(ShopText::Busy);
        return busy;
    }
    m_stopped = Stop::None;
    m_body.clear();
    m_redirect.clear();
    if (m_deadline.hasExpired()) {
        FetchResult late;
        late.status = FetchResult::DeadlinePassed;
        return late;
    }

    QNetworkRequest request(url);
    request.setRawHeader("Accept", "text/html, */*");
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QByteArrayLiteral("Mozilla/3.0 (compatible; Indy Library)"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    // The byte limit counts the inflated answer itself; Qt's own ratio check
    // would end a large compressed answer as a network error instead.
    request.setDecompressedSafetyCheckThreshold(-1);

    QEventLoop loop;
    QTimer silence;
    silence.setSingleShot(true);
    silence.setInterval(m_timeoutMs);
    QTimer deadline;
    deadline.setSingleShot(true);

    QNetworkReply* reply = m_manager.get(request);
    m_reply = reply;
    reply->setReadBufferSize(ReadBufferBytes);
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(&silence, &QTimer::timeout, this, [this] { stop(Stop::Silence); });
    connect(&deadline, &QTimer::timeout, this, [this] { stop(Stop::Deadline); });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { take(reply); });
    connect(reply, &QNetworkReply::redirected, this, [this, reply, url](const QUrl& target) {
        const QUrl absolute = url.resolved(target);
        if (sameOrigin(url, absolute)) {
            Q_EMIT reply->redirectAllowed();
            return;
        }
        m_redirect = absolute;
        stop(Stop::Redirect);
    });
    // Any data from the server restarts the silence time-out: a slow answer
    // that keeps coming is not a dead one. The deadline stays.
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, &silence](qint64 received, qint64 total) {
                silence.start();
                Q_EMIT progress(received, total);
            });

    silence.start();
    if (!m_deadline.isForever())
        deadline.start(
            int(std::min<qint64>(m_deadline.remainingTime(), std::numeric_limits<int>::max())));
    if (!reply->isFinished())
        loop.exec();
    silence.stop();
    deadline.stop();
    disconnect(reply, nullptr, this, nullptr);

    const FetchResult result = resultOf(reply);
    m_reply.clear();
    m_body.clear();
    reply->deleteLater();
    return result;
}

FetchResult GatewayFetcher::resultOf(QNetworkReply* reply)
{
    take(reply);
    FetchResult result;
    result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    switch (m_stopped) {
    case Stop::Silence:
        result.status = FetchResult::TimedOut;
        result.message = QString::fromUtf8(ShopText::TimedOut);
        return result;
    case Stop::Deadline:
        result.status = FetchResult::DeadlinePassed;
        return result;
    case Stop::TooLarge:
        result.status = FetchResult::TooLarge;
        return result;
    case Stop::Redirect:
        result.status = FetchResult::Redirected;
        result.message = QString::fromUtf8(ShopText::Redirected).arg(originOf(m_redirect));
        return result;
    case Stop::Cancel:
        result.status = FetchResult::Canceled;
        result.message = QString::fromUtf8(ShopText::Canceled);
        return result;
    case Stop::None:
        break;
    }
    if (result.httpStatus >= 400) {
        result.status = FetchResult::HttpError;
        const QString reason =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        result.message = QString::fromUtf8(ShopText::HttpError)
                             .arg(QString::number(result.httpStatus), reason)
                             .trimmed();
    } else if (reply->error() != QNetworkReply::NoError) {
        result.status = FetchResult::ConnectFailed;
        result.message = QString::fromUtf8(ShopText::ConnectFailed).arg(reply->errorString());
    } else {
        result.status = FetchResult::Ok;
        result.body = m_body;
    }
    return result;
}
