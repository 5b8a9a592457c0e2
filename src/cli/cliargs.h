#pragma once

#include <QCommandLineParser>
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
// positional. "--template" is another name for "--model". Parsed by
// QCommandLineParser; what it refuses is wrong usage, in its own words, but
// an unknown option is named as ours always were.
inline Options parse(const QStringList& args, const QStringList& known,
                     const QStringList& flags = {})
{
    const auto bare = [](const QString& name) { return name.mid(2); };
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const QString& name : known) {
        QStringList names{bare(name)};
        if (name == QLatin1String("--model"))
            names << QStringLiteral("template");
        parser.addOption(QCommandLineOption(names, QString(), QStringLiteral("value")));
    }
    for (const QString& name : flags)
        parser.addOption(QCommandLineOption(bare(name)));

    Options o;
    // QCommandLineParser reads the first argument as the program's name.
    if (!parser.parse(QStringList{QStringLiteral("waylark")} + args)) {
        const QStringList unknown = parser.unknownOptionNames();
        o.error = unknown.isEmpty() ? parser.errorText()
                                    : QStringLiteral("unknown option --%1").arg(unknown.first());
        return o;
    }
    o.positional = parser.positionalArguments();
    for (const QString& name : known)
        for (const QString& v : parser.values(bare(name)))
            o.values.insert(name, v);
    for (const QString& name : flags)
        if (parser.isSet(bare(name)))
            o.values.insert(name, QString());
    return o;
}

} // namespace CliArgs
