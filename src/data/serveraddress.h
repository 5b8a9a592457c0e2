#pragma once

#include <QSqlDatabase>
#include <QString>

// A PostgreSQL server named by a URL:
//   postgresql://USER@HOST:PORT/DBNAME?sslmode=require
//   postgresql:///DBNAME?host=/run/postgresql   (a Unix socket folder)
//   postgresql://?service=NAME                  (a libpq service file entry)
// A password is never taken from the URL: libpq reads ~/.pgpass, PGPASSFILE,
// the service file or PGPASSWORD itself.
struct ServerAddress {
    QString user;
    QString host;     // a name, an address, or an absolute socket folder
    int port = -1;    // -1: libpq's default
    QString database; // empty only with a service
    QString service;
    QString sslMode;
    int connectTimeout = 10; // seconds; a server that is down is said soon
    QString applicationName;

    // Whether text names a server rather than a file.
    static bool isServerUrl(const QString& text);
    // The address, or a message of the program's own in *error.
    static ServerAddress parse(const QString& text, QString* error);

    // The URL again, as it is shown in messages and window titles.
    QString shown() const;
    // A new connection to it under connectionName, not yet opened.
    QSqlDatabase addConnection(const QString& connectionName) const;
};
