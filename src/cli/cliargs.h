#pragma once

#include <QMultiMap>
#include <QString>
#include <QStringList>

// "--name value" options and "--name" flags of the command line.
namespace CliArgs
{

// The line a command shows on wrong usage: its synopsis after "waylark ".
inline QString usageLine(const QString& synopsis)
{
    return QStringLiteral("usage: waylark ") + synopsis;
}

struct Options {
    QStringList positional;
    QMultiMap<QString, QString> values;
    QString error; // an unknown option or one without its value
    QString value(const QString& name) const { return values.value(name); }
    QStringList all(const QString& name) const
    {
        QStringList v = values.values(name);
        std::reverse(v.begin(), v.end()); // QMultiMap keeps the latest first
        return v;
    }
    bool has(const QString& name) const { return values.contains(name); }
};

// KNOWN options take a value ("--name value" or "--name=value"); FLAGS take
// none and read back as has(). "--" ends the options: what follows is
// positional. "--template" is another name for "--model".
inline Options parse(const QStringList& args, const QStringList& known,
                     const QStringList& flags = {})
{
    Options o;
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (optionsEnded || !a.startsWith(QLatin1String("--"))) {
            o.positional << a;
            continue;
        }
        if (a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const qsizetype equals = a.indexOf(QLatin1Char('='));
        QString name = equals < 0 ? a : a.left(equals);
        if (name == QLatin1String("--template"))
            name = QStringLiteral("--model");
        if (flags.contains(name)) {
            if (equals >= 0) {
                o.error = QStringLiteral("option %1 takes no value").arg(name);
                return o;
            }
            o.values.insert(name, QString());
            continue;
        }
        if (!known.contains(name)) {
            o.error =
                QStringLiteral("unknown option %1").arg(a.left(equals < 0 ? a.size() : equals));
            return o;
        }
        if (equals >= 0) {
            o.values.insert(name, a.mid(equals + 1));
            continue;
        }
        if (i + 1 >= args.size()) {
            o.error = QStringLiteral("option %1 needs a value").arg(name);
            return o;
        }
        o.values.insert(name, args.at(++i));
    }
    return o;
}

} // namespace CliArgs
