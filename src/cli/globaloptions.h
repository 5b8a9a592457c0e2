#pragma once

#include <QString>
#include <QStringList>

// The options that come before any command and hold for every command and
// for the windows: "--database FILE" (or "--database=FILE"), where FILE may
// also be a postgresql:// URL.
struct GlobalOptions {
    QString database; // empty when not given
    QStringList rest; // the arguments after them: a command, or Qt's options
    QString error;    // wrong usage, in the command line's words

    // args: the program's arguments without its name.
    static GlobalOptions parse(const QStringList& args);
    // The usage text's lines about them.
    static QString usageText();
};
