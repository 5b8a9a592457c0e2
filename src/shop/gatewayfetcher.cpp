#include "shop/gatewayfetcher.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <zlib.h>

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

bool isCompressed(const QNetworkReply* reply)
{
    const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
    return encoding == "gzip" || encoding == "x-gzip" || encoding == "deflate";
}

QString originOf(const QUrl& url)
{
    return url
        .adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                  QUrl::RemoveUserInfo)
        .toString();
}

// What every request to the gateway asks for.
QNetworkRequest requestFor(const QUrl& url)
{
    QNetworkRequest request(url);
    request.setRawHeader("Accept", "text/html, */*");
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QByteArrayLiteral("Waylark/" WAYLARK_VERSION));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    // Asked for here, so the answer comes as sent and is inflated piece by
    // piece under the byte limit (take()); Qt would inflate far ahead of the
    // reading and end a large answer as a network error.
    request.setRawHeader("Accept-Encoding", "gzip, deflate");
    return request;
}

} // namespace

// Inflates a gzip or zlib answer as its pieces arrive, a bounded piece of
// output at a time, so that the byte limit applies to what the answer
// becomes and is checked before more of it is made.
class GatewayFetcher::Inflater
{
public:
    enum Result { More, TooLarge, Bad };

    Inflater() { m_ok = inflateInit2(&m_stream, MAX_WBITS + 32) == Z_OK; }
    ~Inflater() { inflateEnd(&m_stream); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    bool isComplete() const { return m_ended; }

    // Appends what INPUT inflates to to PIECES and counts it in *RECEIVED;
    // stops as soon as *RECEIVED passes LIMIT (-1: none).
    Result feed(const QByteArray& input, QList<QByteArray>* pieces, qint64* received, qint64 limit)
    {
        if (!m_ok)
            return Bad;
        m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.constData()));
        m_stream.avail_in = uInt(input.size());
        bool filled = false;
        while (!m_ended && (m_stream.avail_in > 0 || filled)) {
            QByteArray out(OutputPiece, Qt::Uninitialized);
            m_stream.next_out = reinterpret_cast<Bytef*>(out.data());
            m_stream.avail_out = uInt(out.size());
            const int status = inflate(&m_stream, Z_NO_FLUSH);
            if (status == Z_BUF_ERROR) // nothing more until more input comes
                return More;
            if (status != Z_OK && status != Z_STREAM_END)
                return Bad;
            m_ended = status == Z_STREAM_END;
            filled = m_stream.avail_out == 0;
            out.truncate(out.size() - qsizetype(m_stream.avail_out));
            *received += out.size();
            if (limit >= 0 && *received > limit)
                return TooLarge;
            if (!out.isEmpty())
                *pieces << out;
        }
        return More;
    }

private:
    static constexpr qsizetype OutputPiece = 64 * 1024;

    z_stream m_stream = {};
    bool m_ok = false;
    bool m_ended = false;
};

GatewayFetcher::GatewayFetcher(QObject* parent) : QObject(parent) {}

GatewayFetcher::~GatewayFetcher() = default;

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

void GatewayFetcher::forgetAnswer()
{
    m_pieces.clear();
    m_received = 0;
    m_inflater.reset();
}

void GatewayFetcher::redirect(QNetworkReply* reply, const QUrl& url, const QUrl& target)
{
    const QUrl absolute = url.resolved(target);
    if (sameOrigin(url, absolute)) {
        // The answer is the one the new address gives.
        forgetAnswer();
        Q_EMIT reply->redirectAllowed();
        return;
    }
    m_redirect = absolute;
    stop(Stop::Redirect);
}

// Moves what has arrived into the answer, stopping once it is too large.
void GatewayFetcher::take(QNetworkReply* reply)
{
    if (m_stopped != Stop::None)
        return;
    // Kept in pieces and joined once at the end: a growing array would hold
    // up to twice the limit while it is copied to a larger block.
    const QByteArray piece = reply->readAll();
    if (piece.isEmpty())
        return;
    if (!m_inflater && isCompressed(reply))
        m_inflater = std::make_unique<Inflater>();
    if (m_inflater) {
        switch (m_inflater->feed(piece, &m_pieces, &m_received, m_maxBytes)) {
        case Inflater::More:
            return;
        case Inflater::TooLarge:
            m_pieces.clear();
            stop(Stop::TooLarge);
            return;
        case Inflater::Bad:
            m_pieces.clear();
            stop(Stop::BadEncoding);
            return;
        }
    }
    m_received += piece.size();
    m_pieces << piece;
    if (m_maxBytes >= 0 && m_received > m_maxBytes) {
        m_pieces.clear();
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
    forgetAnswer();
    m_redirect.clear();
    if (m_deadline.hasExpired()) {
        FetchResult late;
        late.status = FetchResult::DeadlinePassed;
        return late;
    }

    QEventLoop loop;
    QTimer silence;
    silence.setSingleShot(true);
    silence.setInterval(m_timeoutMs);
    QTimer deadline;
    deadline.setSingleShot(true);

    QNetworkReply* reply = m_manager.get(requestFor(url));
    m_reply = reply;
    reply->setReadBufferSize(ReadBufferBytes);
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(&silence, &QTimer::timeout, this, [this] { stop(Stop::Silence); });
    connect(&deadline, &QTimer::timeout, this, [this] { stop(Stop::Deadline); });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { take(reply); });
    connect(reply, &QNetworkReply::redirected, this,
            [this, reply, url](const QUrl& target) { redirect(reply, url, target); });
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
    m_pieces.clear();
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
    case Stop::BadEncoding:
        result.status = FetchResult::ConnectFailed;
        result.message = QString::fromUtf8(ShopText::BadEncoding);
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
    } else if (m_inflater && !m_inflater->isComplete()) {
        result.status = FetchResult::ConnectFailed;
        result.message = QString::fromUtf8(ShopText::BadEncoding);
    } else {
        result.status = FetchResult::Ok;
        result.body.reserve(m_received);
        while (!m_pieces.isEmpty())
            result.body += m_pieces.takeFirst();
    }
    return result;
}
