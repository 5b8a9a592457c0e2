#include "data/configini.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace ConfigIni
{

namespace
{

QString keyPath(const QString& section, const QString& key)
{
    return section + QLatin1Char('/') + key;
}

// QSettings tells only that writing failed; the file system tells why.
QString writeFailure(const QString& path, QSettings::Status status)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("Is a directory");
    if (info.exists()) {
        QFile probe(path);
        if (!probe.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
            return probe.errorString();
    } else if (!QFileInfo(info.absolutePath()).isWritable()) {
        return QStringLiteral("Permission denied");
    }
    return status == QSettings::FormatError ? QStringLiteral("format error")
                                            : QStringLiteral("access error");
}

QString systemReason(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// What kind of thing stands where a file should, in the user's words.
QString notAFile(mode_t mode)
{
    if (S_ISDIR(mode))
        return systemReason(EISDIR);
    if (S_ISFIFO(mode))
        return QStringLiteral("它是命名管道（FIFO），不是普通文件");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("它是设备文件，不是普通文件");
    if (S_ISSOCK(mode))
        return QStringLiteral("它是套接字，不是普通文件");
    return QStringLiteral("它不是普通文件");
}

// The problem of one value, empty when it may be used.
QString valueProblem(const QString& iniPath, const WholeNumber& number)
{
    const QString text =
        readFrom(iniPath, QLatin1String(number.setting.section), QLatin1String(number.setting.key))
            .trimmed();
    bool ok = false;
    const int value = text.toInt(&ok);
    if (text.isEmpty() || (ok && value >= number.minimum && value <= number.maximum))
        return QString();
    return QStringLiteral("[%1] %2 = %3：应为 %4 到 %5 的整数")
        .arg(QLatin1String(number.setting.section), QLatin1String(number.setting.key), text)
        .arg(number.minimum)
        .arg(number.maximum);
}

QString gridStateProblem(const QString& iniPath)
{
    const QString text =
        readFrom(iniPath, QLatin1String(GridState.section), QLatin1String(GridState.key));
    const QByteArray ascii = text.toLatin1();
    if (text.isEmpty() ||
        (QString::fromLatin1(ascii) == text &&
         QByteArray::fromBase64Encoding(ascii, QByteArray::AbortOnBase64DecodingErrors)))
        return QString();
    return QStringLiteral("[%1] %2：不是有效的 Base64 文本")
        .arg(QLatin1String(GridState.section), QLatin1String(GridState.key));
}

} // namespace

QString unusableReason(const QString& iniPath)
{
    struct stat st;
    if (::stat(QFile::encodeName(iniPath).constData(), &st) != 0)
        return errno == ENOENT ? QString() : systemReason(errno);
    if (!S_ISREG(st.st_mode))
        return notAFile(st.st_mode);
    const QString tooLarge = QStringLiteral("文件过大，最多 %1 字节").arg(MaxFileSize);
    if (st.st_size > MaxFileSize)
        return tooLarge;
    QFile file(iniPath);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (bytes.size() > MaxFileSize)
        return tooLarge;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return QStringLiteral("它不是 UTF-8 文本");
    // A section line without its closing bracket: QSettings would file the
    // keys after it under a wrong name (and tell so only once per process).
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.startsWith(QLatin1Char('[')) && !line.contains(QLatin1Char(']')))
            return QStringLiteral("它不是有效的 INI 文件：第 %1 行的节名缺少“]”").arg(i + 1);
    }
    return QString();
}

QStringList problems(const QString& appDir)
{
    const QString path = fileName(appDir);
    const QString unusable = unusableReason(path);
    if (!unusable.isEmpty())
        return {QStringLiteral("配置文件不能读取，全部设置按默认值：") + path + QLatin1Char('\n') +
                unusable};
    QStringList found;
    for (const QString& problem :
         {valueProblem(path, ShopDownloadTimeoutRange), valueProblem(path, ShopMaxAnswerMBRange),
          valueProblem(path, DatabaseLeaseSecondsRange), valueProblem(path, DatabaseClaimRowsRange),
          gridStateProblem(path)})
        if (!problem.isEmpty())
            found << QStringLiteral("配置文件中的设置无效，该项按默认值：") + path +
                         QLatin1Char('\n') + problem;
    return found;
}

QString fileName(const QString& appDir)
{
    return appDir + QLatin1String("config.ini");
}

QString readFrom(const QString& iniPath, const QString& section, const QString& key,
                 const QString& defaultValue)
{
    if (!unusableReason(iniPath).isEmpty())
        return defaultValue;
    const QSettings ini(iniPath, QSettings::IniFormat);
    const QVariant v = ini.value(keyPath(section, key), defaultValue);
    // An unquoted value with commas comes back as a list; it is one text here.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

QString readString(const QString& appDir, const QString& section, const QString& key,
                   const QString& defaultValue)
{
    return readFrom(fileName(appDir), section, key, defaultValue);
}

bool writeString(const QString& appDir, const QString& section, const QString& key,
                 const QString& value, QString* error)
{
    // Rewriting a file that was not read would lose what it holds.
    const QString unusable = unusableReason(fileName(appDir));
    if (!unusable.isEmpty()) {
        if (error)
            *error = unusable;
        return false;
    }
    QSettings ini(fileName(appDir), QSettings::IniFormat);
    ini.setValue(keyPath(section, key), value);
    ini.sync();
    if (ini.status() == QSettings::NoError)
        return true;
    if (error)
        *error = writeFailure(fileName(appDir), ini.status());
    return false;
}

QString read(const QString& appDir, Setting setting, const QString& defaultValue)
{
    return readString(appDir, QLatin1String(setting.section), QLatin1String(setting.key),
                      defaultValue);
}

bool write(const QString& appDir, Setting setting, const QString& value, QString* error)
{
    return writeString(appDir, QLatin1String(setting.section), QLatin1String(setting.key), value,
                       error);
}

} // namespace ConfigIni
