#include "gatewayfetcher.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

GatewayFetcher::GatewayFetcher(QObject* parent) : QObject(parent) {}

void GatewayFetcher::cancel()
{
    if (m_reply.isNull() || m_reply->isFinished())
        return;
    m_canceled = true;
    m_reply->abort();
}

FetchResult GatewayFetcher::get(const QUrl& url)
{
    if (isRunning()) {
        FetchResult busy;
        busy.message = QString::fromUtf8(ShopText::Busy);
        return busy;
    }
    m_canceled = false;
    m_timedOut = false;

    QNetworkRequest request(url);
    request.setRawHeader("Accept", "text/html, */*");
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QByteArrayLiteral("Mozilla/3.0 (compatible; Indy Library)"));

    QEventLoop loop;
    QTimer silence;
    silence.setSingleShot(true);
    silence.setInterval(m_timeoutMs);

    QNetworkReply* reply = m_manager.get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(&silence, &QTimer::timeout, reply, [this, reply] {
        m_timedOut = true;
        reply->abort();
    });
    // Any data from the server restarts the time-out: a slow answer that
    // keeps coming is not a dead one.
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, &silence](qint64 received, qint64 total) {
                silence.start();
                Q_EMIT progress(received, total);
            });

    silence.start();
    if (!reply->isFinished())
        loop.exec();
    silence.stop();
    disconnect(reply, nullptr, this, nullptr);

    const FetchResult result = resultOf(reply);
    m_reply.clear();
    reply->deleteLater();
    return result;
}

FetchResult GatewayFetcher::resultOf(QNetworkReply* reply) const
{
    FetchResult result;
    result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_timedOut) {
        result.status = FetchResult::TimedOut;
        result.message = QString::fromUtf8(ShopText::TimedOut);
    } else if (m_canceled) {
        result.status = FetchResult::Canceled;
        result.message = QString::fromUtf8(ShopText::Canceled);
    } else if (result.httpStatus >= 400) {
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
        result.body = reply->readAll();
    }
    return result;
}
