#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <optional>

// What one run of the program shares between its windows and commands, in
// memory only: start-up makes it, the command line builds the same from its
// arguments and config.ini, and whoever needs it is given it.
struct Session {
    QString appDir;                       // the application directory, with a trailing '/'
    QString helpDir;                      // where help.html is, with a trailing '/'
    QString databaseFile;                 // the open database, absolute
    QString databaseServer;               // or the server's URL, shown without password
    QString currentTemplate;              // name of the template in use
    qint64 currentTemplateRow = -1;       // its row in Exp_Model, when known (names may repeat)
    std::optional<QFont> chosenPrintFont; // the one accepted in the font dialog
    QColor chosenPrintColour = Qt::black; // chosen after the print font
    // What is wrong with config.ini, found once at start (each a message);
    // the keys it names run on their defaults.
    QStringList configProblems;

    // A session on that application directory ('/' added when missing),
    // the help page in it too.
    static Session forAppDir(const QString& dir);

    // The print font in force: the chosen one, else "WenQuanYi Zen Hei" at
    // 10 points.
    QFont printFont() const;
    // The colour printed text is drawn in: the chosen one, else black.
    QColor printColour() const;
};
