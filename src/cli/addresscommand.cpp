#include "cli/addresscommand.h"

#include "address/addressparser.h"
#include "base/prompt.h"
#include "cli/cliargs.h"
#include "data/datamodule.h"

#include <QFile>
#include <QStringDecoder>
#include <cstdio>

namespace AddressCommand
{

QString synopsis()
{
    return QStringLiteral("address [FILE]                        split whole addresses, one a "
                          "line (UTF-8, standard input without FILE),\n"
                          "                                                into tab-separated "
                          "name, phones, regions, detail, postcode and verdict");
}

QString tabSeparated(const AddressParser& parser, const QStringList& lines)
{
    QString out = QStringLiteral("姓名\t手机\t电话\t省\t市\t区县\t详细地址\t邮编\t结果\n");
    for (const QString& line : lines) {
        const ParsedAddress a = parser.parse(line);
        QStringList cells{a.name,     a.mobile, a.landline, a.province,     a.city,
                          a.district, a.detail, a.postcode, a.verdictText()};
        for (QString& c : cells)
            for (QChar& ch : c)
                if (ch == QLatin1Char('\t') || ch == QLatin1Char('\n') || ch == QLatin1Char('\r'))
                    ch = QLatin1Char(' ');
        out += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return out;
}

ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session&)
{
    const CliArgs::Options o = CliArgs::parse(args, {});
    if (!o.error.isEmpty() || o.positional.size() > 1) {
        prompt().error(CliArgs::usageLine(synopsis().section(QLatin1Char(' '), 0, 1)));
        return ExitCode::Usage;
    }
    QFile in;
    const bool fromFile = !o.positional.isEmpty();
    if (fromFile) {
        in.setFileName(o.positional.first());
        if (!in.open(QIODevice::ReadOnly)) {
            prompt().error(QStringLiteral("无法读取地址文件！\n%1：%2")
                               .arg(o.positional.first(), in.errorString()));
            return ExitCode::Failed;
        }
    } else if (!in.open(stdin, QIODevice::ReadOnly)) {
        prompt().error(QStringLiteral("无法读取标准输入！\n%1").arg(in.errorString()));
        return ExitCode::Failed;
    }
    QByteArray bytes = in.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        prompt().error(QStringLiteral("地址不是 UTF-8 文本，没有拆分。"));
        return ExitCode::Failed;
    }
    QString error;
    const std::unique_ptr<AddressParser> parser =
        AddressParser::fromDatabase(dm->database(), &error);
    if (!parser) {
        prompt().error(QStringLiteral("无法读取地区表！\n%1").arg(error));
        return ExitCode::Failed;
    }
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    QStringList lines;
    if (!bytes.isEmpty())
        lines = text.split(QLatin1Char('\n'));
    for (QString& l : lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    const QByteArray outBytes = tabSeparated(*parser, lines).toUtf8();
    std::fwrite(outBytes.constData(), 1, size_t(outBytes.size()), stdout);
    std::fflush(stdout);
    return ExitCode::Done;
}

} // namespace AddressCommand
