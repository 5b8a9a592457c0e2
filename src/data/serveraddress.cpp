#include "data/serveraddress.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace
{

// libpq's names and values go into its connection string; keep them plain.
bool plainWord(const QString& s)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9_.\\-]{1,63}$"));
    return re.match(s).hasMatch();
}

// "user:@host" too: a colon in the part before the host.
bool hasPasswordPart(const QString& text)
{
    const QString rest = text.section(QLatin1String("://"), 1);
    const QString authority = rest.left(rest.indexOf(QRegularExpression(QStringLiteral("[/?#]"))));
    const qsizetype at = authority.lastIndexOf(QLatin1Char('@'));
    return at >= 0 && authority.left(at).contains(QLatin1Char(':'));
}

QString bad(const QString& text, const QString& why)
{
    return QStringLiteral("数据库服务器地址不正确：%1\n%2").arg(text, why);
}

} // namespace

bool ServerAddress::isServerUrl(const QString& text)
{
    return text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

ServerAddress ServerAddress::parse(const QString& text, QString* error)
{
    ServerAddress a;
    *error = QString();
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() ||
        (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres"))) {
        *error = bad(text, QStringLiteral("应为 postgresql://用户@主机:端口/数据库名"));
        return a;
    }
    // Said before anything else, and the password itself is never repeated.
    if (!url.password().isEmpty() || hasPasswordPart(text)) {
        *error = QStringLiteral("数据库服务器地址中不能写密码。\n"
                                "密码请放在 ~/.pgpass、服务文件或环境变量 PGPASSWORD 中。");
        return a;
    }
    const QString shownText = url.toString(QUrl::RemovePassword);
    if (url.hasFragment()) {
        *error = bad(shownText, QStringLiteral("地址中不能有 #"));
        return a;
    }
    a.user = url.userName();
    if (!a.user.isEmpty() && !plainWord(a.user)) {
        *error = bad(shownText, QStringLiteral("用户名只能含字母、数字、_ . -"));
        return a;
    }
    a.host = url.host();
    if (url.port() == 0) {
        *error = bad(shownText, QStringLiteral("端口应在 1 到 65535 之间"));
        return a;
    }
    a.port = url.port(-1);
    const QString path = url.path();
    if (path.size() > 1) {
        a.database = path.mid(1);
        if (!plainWord(a.database)) {
            *error = bad(shownText, QStringLiteral("数据库名只能含字母、数字、_ . -"));
            return a;
        }
    } else if (!path.isEmpty() && path != QLatin1String("/")) {
        *error = bad(shownText, QStringLiteral("数据库名不正确"));
        return a;
    }
    const QUrlQuery query(url);
    for (const auto& item : query.queryItems(QUrl::FullyDecoded)) {
        const QString& key = item.first;
        const QString& value = item.second;
        if (key == QLatin1String("sslmode")) {
            static const QStringList modes = {"disable", "allow",     "prefer",
                                              "require", "verify-ca", "verify-full"};
            if (!modes.contains(value)) {
                *error = bad(shownText,
                             QStringLiteral("sslmode 只能是 ") + modes.join(QStringLiteral("、")));
                return a;
            }
            a.sslMode = value;
        } else if (key == QLatin1String("service") || key == QLatin1String("application_name")) {
            if (!plainWord(value)) {
                *error = bad(shownText, QStringLiteral("%1 只能含字母、数字、_ . -").arg(key));
                return a;
            }
            (key == QLatin1String("service") ? a.service : a.applicationName) = value;
        } else if (key == QLatin1String("host")) {
            // A socket folder: an absolute path without anything libpq would split on.
            if (!a.host.isEmpty() || !value.startsWith(QLatin1Char('/')) ||
                value.contains(QRegularExpression(QStringLiteral("[\\s'\\\\\\x00-\\x1f]")))) {
                *error = bad(shownText, QStringLiteral("host= 应为套接字所在的绝对路径"));
                return a;
            }
            a.host = value;
        } else if (key == QLatin1String("connect_timeout")) {
            bool ok = false;
            const int seconds = value.toInt(&ok);
            if (!ok || seconds < 1 || seconds > 3600) {
                *error = bad(shownText, QStringLiteral("connect_timeout 应在 1 到 3600 秒之间"));
                return a;
            }
            a.connectTimeout = seconds;
        } else {
            *error = bad(shownText, QStringLiteral("不认识的选项 %1（可用：sslmode、service、host、"
                                                   "connect_timeout、application_name）")
                                        .arg(key));
            return a;
        }
    }
    if (a.database.isEmpty() && a.service.isEmpty()) {
        *error = bad(shownText, QStringLiteral("缺少数据库名"));
        return a;
    }
    return a;
}

QString ServerAddress::shown() const
{
    // By hand: QUrl leaves out "//" when there is no host.
    QString text = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        text += user + QLatin1Char('@');
    if (!host.startsWith(QLatin1Char('/')))
        text += host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    if (port > 0)
        text += QLatin1Char(':') + QString::number(port);
    text += QLatin1Char('/') + database;
    QStringList query;
    if (host.startsWith(QLatin1Char('/')))
        query << QLatin1String("host=") + host;
    if (!service.isEmpty())
        query << QLatin1String("service=") + service;
    if (!sslMode.isEmpty())
        query << QLatin1String("sslmode=") + sslMode;
    if (!query.isEmpty())
        text += QLatin1Char('?') + query.join(QLatin1Char('&'));
    return text;
}

QSqlDatabase ServerAddress::addConnection(const QString& connectionName) const
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    db.setHostName(host);
    if (port > 0)
        db.setPort(port);
    db.setUserName(user);
    db.setDatabaseName(database);
    QStringList options{QStringLiteral("connect_timeout=%1").arg(connectTimeout)};
    if (!service.isEmpty())
        options << QLatin1String("service=") + service;
    if (!sslMode.isEmpty())
        options << QLatin1String("sslmode=") + sslMode;
    options << QLatin1String("application_name=") +
                   (applicationName.isEmpty() ? QStringLiteral("waylark") : applicationName);
    db.setConnectOptions(options.join(QLatin1Char(';')));
    return db;
}
