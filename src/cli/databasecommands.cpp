#include "cli/databasecommands.h"

#include "base/prompt.h"
#include "base/session.h"
#include "cli/cliargs.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "data/headerguard.h"
#include "data/rowclaims.h"
#include "data/schema.h"
#include "data/serveraddress.h"
#include "data/servercopy.h"

#include "base/guarded.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>
#include <functional>

namespace DatabaseCommands
{

namespace
{

void writeOut(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

ExitCode::Code usage(const QString& why = QString())
{
    if (!why.isEmpty())
        prompt().error(why);
    prompt().error(CliArgs::usageLine(QStringLiteral("db copy --to FILE|URL")));
    prompt().error(CliArgs::usageLine(QStringLiteral("db init URL [--role ROLE]")));
    prompt().error(CliArgs::usageLine(QStringLiteral("db check --to URL")));
    return ExitCode::Usage;
}

const char* const kTargetConnection = "waylark_db_target";

// A connection to the server at url for the length of one command; the
// work gets it open, and its refusals and failures are told here.
ExitCode::Code withServer(const QString& url,
                          const std::function<ExitCode::Code(QSqlDatabase, const QString&)>& work)
{
    QString error;
    const ServerAddress server = ServerAddress::parse(url, &error);
    if (!error.isEmpty()) {
        prompt().message(error);
        return ExitCode::Failed;
    }
    const QString name = QString::fromLatin1(kTargetConnection);
    ExitCode::Code status = ExitCode::Failed;
    {
        QSqlDatabase db = server.addConnection(name);
        if (!db.open()) {
            prompt().message(QStringLiteral("无法连接数据库服务器：%1\n%2")
                                 .arg(server.shown(), db.lastError().text().trimmed()));
        } else {
            const bool ok = guarded([&] { status = work(db, server.shown()); });
            if (!ok)
                status = ExitCode::Failed;
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return status;
}

bool isRole(const QString& role)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
    return re.match(role).hasMatch();
}

ExitCode::Code runInit(const CliArgs::Options& o)
{
    const QString role = o.has(QStringLiteral("--role")) ? o.value(QStringLiteral("--role"))
                                                         : QStringLiteral("waylark_station");
    if (o.positional.size() != 2)
        return usage();
    if (!isRole(role))
        return usage(QStringLiteral("角色名只能含字母、数字和 _：%1").arg(role));
    return withServer(o.positional.at(1), [&](QSqlDatabase db, const QString& shown) {
        ServerCopy::init(db);
        writeOut(QStringLiteral("已在 %1 建立Waylark的数据表（结构版本 %2）。\n"
                                "各工作台使用的角色 %3 需要以下授权（由数据库管理员执行）：\n")
                     .arg(shown)
                     .arg(Schema::kServerVersion)
                     .arg(role) +
                 ServerCopy::grantLines(db, role).join(QLatin1Char('\n')) + QLatin1Char('\n'));
        return ExitCode::Done;
    });
}

QString captionOf(const QString& table)
{
    static const QMap<QString, QString> captions = {
        {QStringLiteral("Exp_Model"), QStringLiteral("模板")},
        {QStringLiteral("Exp_Att_Info"), QStringLiteral("收件人")},
        {QStringLiteral("Exp_Send_info"), QStringLiteral("寄件人")},
        {QStringLiteral("Shop_Info"), QStringLiteral("店铺设置")},
        {QStringLiteral("Print_Calibration"), QStringLiteral("打印校准")},
        {QStringLiteral("Print_Log"), QStringLiteral("打印记录")},
        {QStringLiteral("Order_Ship"), QStringLiteral("订单回传状态")},
        {QStringLiteral("Model_Field_Fit"), QStringLiteral("字段缩放与条码")},
        {QStringLiteral("Model_Carrier"), QStringLiteral("模板的快递公司")},
        {QStringLiteral("Model_Print_Font"), QStringLiteral("模板字体")},
        {QStringLiteral("Model_Field_Font"), QStringLiteral("字段字体")},
        {QStringLiteral("Model_Label"), QStringLiteral("模板图片打印")},
        {QStringLiteral("Model_Picture"), QStringLiteral("模板图片")},
    };
    return captions.value(table, table);
}

ExitCode::Code copyToServer(const QString& url, DataModule* dm, Session& session)
{
    if (dm->onServer()) {
        prompt().message(
            QStringLiteral("当前数据库已在服务器上；db copy --to URL 只从数据库文件复制。"));
        return ExitCode::Failed;
    }
    const QString pictures = session.appDir + QLatin1String("bkbmp");
    return withServer(url, [&](QSqlDatabase db, const QString& shown) {
        const QString station = RowClaims::stationName(session.appDir);
        const QList<ServerCopy::Count> counts =
            ServerCopy::copy(dm->database(), pictures, db, station);
        QString report = QStringLiteral("已复制数据库：%1 → %2\n").arg(session.databaseFile, shown);
        for (const ServerCopy::Count& c : counts)
            report += QStringLiteral("  %1（%2）：%3\n").arg(captionOf(c.what), c.what).arg(c.rows);
        report += QStringLiteral("  打印校准归本工作台：%1\n").arg(station);
        writeOut(report);
        return ExitCode::Done;
    });
}

ExitCode::Code checkServer(const QString& url, DataModule* dm, Session& session)
{
    if (dm->onServer()) {
        prompt().message(
            QStringLiteral("当前数据库已在服务器上；db check --to URL 比较数据库文件和服务器。"));
        return ExitCode::Failed;
    }
    const QString pictures = session.appDir + QLatin1String("bkbmp");
    return withServer(url, [&](QSqlDatabase db, const QString& shown) {
        const QStringList diff = ServerCopy::differences(dm->database(), pictures, db,
                                                         RowClaims::stationName(session.appDir));
        if (diff.isEmpty()) {
            writeOut(
                QStringLiteral("相同：%1 与 %2 的数据一致。\n").arg(session.databaseFile, shown));
            return ExitCode::Done;
        }
        writeOut(QStringLiteral("不同：%1 与 %2\n").arg(session.databaseFile, shown) +
                 diff.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        return ExitCode::Failed;
    });
}

// The file a --to value names: a folder takes the usual file name.
QString targetFile(const QString& to)
{
    const QFileInfo info(to);
    if (info.isDir() || to.endsWith(QLatin1Char('/')))
        return QDir::cleanPath(QDir(info.absoluteFilePath())
                                   .filePath(QString::fromLatin1(DataModule::kDatabaseFileName)));
    return QDir::cleanPath(info.absoluteFilePath());
}

} // namespace

QString synopsis()
{
    return QStringLiteral("db copy --to FILE                     copy the database, the template "
                          "pictures and\n"
                          "                                                config.ini to "
                          "another place (FILE may be a folder)\n"
                          "  waylark db copy --to URL                      copy the database file "
                          "and its pictures onto an\n"
                          "                                                empty PostgreSQL "
                          "database (postgresql://USER@HOST:PORT/DBNAME)\n"
                          "  waylark db init URL [--role ROLE]             make the tables on an "
                          "empty PostgreSQL database and\n"
                          "                                                print the GRANT lines "
                          "for the stations' role\n"
                          "  waylark db check --to URL                     say whether the file "
                          "and the server hold the same");
}

ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session)
{
    const QString to = QStringLiteral("--to");
    const CliArgs::Options o = CliArgs::parse(args, {to, QStringLiteral("--role")});
    if (!o.error.isEmpty())
        return usage(o.error);
    const QString verb = o.positional.value(0);
    if (verb == QLatin1String("init"))
        return runInit(o);
    if (o.positional.size() != 1 ||
        (verb != QLatin1String("copy") && verb != QLatin1String("check")))
        return usage();
    if (o.value(to).isEmpty())
        return usage(QStringLiteral("缺少选项 %1").arg(to));
    if (verb == QLatin1String("check")) {
        if (!ServerAddress::isServerUrl(o.value(to)))
            return usage(
                QStringLiteral("db check 只比较数据库文件和服务器：--to 应为 postgresql:// 地址"));
        return checkServer(o.value(to), dm, session);
    }
    if (ServerAddress::isServerUrl(o.value(to)))
        return copyToServer(o.value(to), dm, session);

    const QString target = targetFile(o.value(to));
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() || targetInfo.isSymLink()) {
        prompt().message(QStringLiteral("目标位置已有文件，没有覆盖它：%1\n"
                                        "请先把它移走或删除，或换一个文件名。")
                             .arg(target));
        return ExitCode::Failed;
    }
    const QDir targetDir = targetInfo.absoluteDir();
    if (!targetDir.mkpath(QStringLiteral("."))) {
        prompt().message(QStringLiteral("无法建立文件夹：%1").arg(targetDir.path()));
        return ExitCode::Failed;
    }

    // A consistent copy of the open file, written by SQLite itself.
    QSqlQuery q(dm->database());
    q.prepare(QStringLiteral("VACUUM INTO ?"));
    q.addBindValue(target);
    if (!q.exec()) {
        const QString reason = q.lastError().text();
        QFile::remove(target);
        prompt().message(QStringLiteral("数据库复制失败：%1\n%2").arg(target, reason));
        return ExitCode::Failed;
    }
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    // Between runs a database of ours is sealed.
    sealHeader(target);
    QString report = QStringLiteral("已复制数据库：%1 → %2\n").arg(session.databaseFile, target);

    const QDir pictures(session.appDir + QLatin1String("bkbmp"));
    const QString pictureTarget = targetDir.filePath(QStringLiteral("bkbmp"));
    int copied = 0;
    QStringList kept;
    const QStringList names = pictures.entryList(QDir::Files | QDir::Readable, QDir::Name);
    if (!names.isEmpty() && !QDir().mkpath(pictureTarget)) {
        prompt().message(QStringLiteral("无法建立文件夹：%1").arg(pictureTarget));
        return ExitCode::Failed;
    }
    for (const QString& name : names) {
        const QString from = pictures.filePath(name);
        const QString into = pictureTarget + QLatin1Char('/') + name;
        if (QFileInfo::exists(into) || QFileInfo(into).isSymLink()) {
            kept << name;
            continue;
        }
        if (!QFile::copy(from, into)) {
            prompt().message(QStringLiteral("模板图片复制失败：%1 → %2").arg(from, into));
            return ExitCode::Failed;
        }
        ++copied;
    }
    report += QStringLiteral("已复制模板图片 %1 个到 %2\n").arg(copied).arg(pictureTarget);
    if (!kept.isEmpty())
        report += QStringLiteral("目标中已有同名图片，保留了原来的：%1\n")
                      .arg(kept.join(QStringLiteral("，")));

    const QString iniFrom = ConfigIni::fileName(session.appDir);
    const QString iniTo = targetDir.filePath(QStringLiteral("config.ini"));
    if (QFileInfo(iniFrom).isFile()) {
        if (QFileInfo::exists(iniTo))
            report += QStringLiteral("目标中已有 config.ini，保留了原来的：%1\n").arg(iniTo);
        else if (QFile::copy(iniFrom, iniTo))
            report += QStringLiteral("已复制 config.ini 到 %1\n").arg(iniTo);
        else
            report += QStringLiteral("config.ini 没有复制：无法写入 %1\n").arg(iniTo);
    }
    writeOut(report);
    return ExitCode::Done;
}

} // namespace DatabaseCommands
