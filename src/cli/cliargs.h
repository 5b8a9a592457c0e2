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

// KNOWN options take a value; FLAGS take none and read back as has().
inline Options parse(const QStringList& args, const QStringList& known,
                     const QStringList& flags = {})
{
    Options o;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a.startsWith(QLatin1String("--"))) {
            if (flags.contains(a)) {
                o.values.insert(a, QString());
                continue;
            }
            if (!known.contains(a)) {
                o.error = QStringLiteral("unknown option %1").arg(a);
                return o;
            }
            if (i + 1 >= args.size()) {
                o.error = QStringLiteral("option %1 needs a value").arg(a);
                return o;
            }
            o.values.insert(a, args.at(++i));
        } else {
            o.positional << a;
        }
    }
    return o;
}

} // namespace CliArgs
