// Build step: makes build/app/ ready to run (picture, config.ini and a new
// sealed database when none is there). An existing database is kept.
#include "templates/newdatabase.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: waylark-makeappdir DIR\n");
        return 2;
    }
    QString error;
    if (!NewDatabase::prepareAppDir(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "waylark-makeappdir: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
