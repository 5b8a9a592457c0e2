#include "cli/databasecommands.h"

#include "base/prompt.h"
#include "base/session.h"
#include "cli/cliargs.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "data/headerguard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>

namespace DatabaseCommands
{

namespace
{

ExitCode::Code usage(const QString& why = QString())
{
    if (!why.isEmpty())
        prompt().error(why);
    prompt().error(CliArgs::usageLine(QStringLiteral("db copy --to FILE")));
    return ExitCode::Usage;
}

void writeOut(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
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
                          "another place (FILE may be a folder)");
}

ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session)
{
    const QString to = QStringLiteral("--to");
    const CliArgs::Options o = CliArgs::parse(args, {to});
    if (!o.error.isEmpty())
        return usage(o.error);
    if (o.positional != QStringList{QStringLiteral("copy")})
        return usage();
    if (o.value(to).isEmpty())
        return usage(QStringLiteral("缺少选项 %1").arg(to));

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
