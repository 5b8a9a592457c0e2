#pragma once

#include <QString>

// Where one run keeps its data: the folder of config.ini and bkbmp/, the
// database file and the folder of the help page. Found in one place for the
// windows and every command.
struct DataLocation {
    QString appDir;         // config.ini and bkbmp/, with a trailing '/'
    QString databaseFile;   // absolute; empty when the data is on a server
    QString databaseServer; // a postgresql:// URL, else empty
    QString helpDir;        // help.html, with a trailing '/'
    // appDir is the user's data folder, made complete at the first start;
    // else it is the program's own folder (a build or a portable copy).
    bool userDataFolder = false;

    // programDir: the folder of the executable. databaseOption: the value of
    // "--database", empty when not given. The program's folder is used when
    // it holds a database or config.ini; there a database in the current
    // directory goes first, as it always did. Else the user's data folder
    // (QStandardPaths::AppDataLocation). "--database" and config.ini's
    // [Database] File= choose another database file; a relative File= is
    // taken from config.ini's folder. A postgresql:// URL as "--database"
    // or [Database] Server= chooses a server instead; "--database" goes
    // first, then Server=, then File=.
    static DataLocation find(const QString& programDir, const QString& databaseOption = QString());

    // The user's data folder, with a trailing '/'.
    static QString userDataDir();
};
