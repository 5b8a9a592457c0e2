#include "cli/globaloptions.h"

GlobalOptions GlobalOptions::parse(const QStringList& args)
{
    static const QString database = QStringLiteral("--database");
    GlobalOptions o;
    qsizetype i = 0;
    for (; i < args.size(); ++i) {
        const QString& a = args.at(i);
        QString value;
        if (a == database) {
            if (i + 1 >= args.size()) {
                o.error = QStringLiteral("option --database needs a value");
                return o;
            }
            value = args.at(++i);
        } else if (a.startsWith(database + QLatin1Char('='))) {
            value = a.mid(database.size() + 1);
        } else {
            break;
        }
        if (value.isEmpty()) {
            o.error = QStringLiteral("option --database needs a file name or a server URL");
            return o;
        }
        if (!o.database.isEmpty()) {
            o.error = QStringLiteral("option --database given twice");
            return o;
        }
        o.database = value;
    }
    o.rest = args.mid(i);
    return o;
}

QString GlobalOptions::usageText()
{
    return QStringLiteral(
        "Before any command, and for the windows:\n"
        "  --database FILE   work on the database FILE instead of the usual one\n"
        "  --database postgresql://USER@HOST:PORT/DBNAME\n"
        "                    work on a PostgreSQL database that several stations share\n"
        "                    (the password from ~/.pgpass, a service file or PGPASSWORD)\n");
}
