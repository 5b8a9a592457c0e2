#include "cli/cli.h"

#include "base/prompt.h"
#include "base/qttranslations.h"
#include "cli/addresscommand.h"
#include "cli/calibrationcommand.h"
#include "cli/databasecommands.h"
#include "cli/excelcommand.h"
#include "cli/fieldcommand.h"
#include "cli/globaloptions.h"
#include "cli/printcommand.h"
#include "cli/shipcommand.h"
#include "cli/shopcommand.h"
#include "cli/waybillcommand.h"
#include "data/databasestart.h"
#include "data/termination.h"
#include "print/printjournal.h"
#include "templates/newdatabase.h"

#include <QApplication>
#include <QMultiMap>
#include <cstdio>

namespace Cli
{

const QList<Command>& commands()
{
    static const QList<Command> table = {
        {QStringLiteral("print"), PrintCommand::printSynopsis(), &PrintCommand::runCommand},
        {QStringLiteral("log"),
         QStringLiteral("log                                   the print log, "
                        "tab-separated, newest job first"),
         &PrintCommand::runLogCommand},
        {QStringLiteral("calibrate"), CalibrationCommand::synopsis(),
         &CalibrationCommand::runCommand},
        {QStringLiteral("import"),
         ExcelCommand::importSynopsis() +
             QStringLiteral("\n                                                replace the "
                            "recipients with a sheet's rows (.xls, .xlsx, .csv), or --append "
                            "them;\n"
                            "                                                without --map the "
                            "titles are matched to the captions and the mapping is told"),
         &ExcelCommand::runImportCommand},
        {QStringLiteral("export"),
         ExcelCommand::exportSynopsis() +
             QStringLiteral("                           the recipients as tab-separated "
                            "text (.xls), or a workbook for a .xlsx name"),
         &ExcelCommand::runExportCommand},
        {QStringLiteral("download"), ShopCommand::downloadSynopsis(), &ShopCommand::runCommand},
        {QStringLiteral("ship"), ShipCommand::shipSynopsis(), &ShipCommand::runCommand},
        {QStringLiteral("number"), WaybillCommand::numberSynopsis(), &WaybillCommand::runCommand},
        {QStringLiteral("carrier"), WaybillCommand::carrierSynopsis(),
         &WaybillCommand::runCarrierCommand},
        {QStringLiteral("address"), AddressCommand::synopsis(), &AddressCommand::runCommand},
        {QStringLiteral("field"), FieldCommand::synopsis(), &FieldCommand::runCommand},
        {QStringLiteral("db"), DatabaseCommands::synopsis(), &DatabaseCommands::runCommand},
    };
    return table;
}

QString usageText()
{
    QString s = QStringLiteral("Usage:\n  waylark                 start the windows\n");
    for (const Command& c : commands())
        s += QLatin1String("  waylark ") + c.synopsis + QLatin1Char('\n');
    s += QStringLiteral("  waylark --help | --version\n");
    s += GlobalOptions::usageText();
    s += QStringLiteral(
        "Works on Waylark_main.db, config.ini and bkbmp/ in the user's data folder\n"
        "(~/.local/share/Waylark); a program folder that holds Waylark_main.db or\n"
        "config.ini keeps them there (Waylark_main.db in the current directory first).\n"
        "config.ini [Database] File= names another database file, Server= a PostgreSQL\n"
        "database that several stations share (postgresql://USER@HOST:PORT/DBNAME).\n"
        "\"waylark COMMAND --help\" shows that command's lines only.\n"
        "Exit status: 0 done, 1 refused or failed, 2 wrong usage.\n");
    return s;
}

} // namespace Cli

namespace
{

void writeOut(FILE* f, const QString& text)
{
    const QByteArray b = text.toLocal8Bit();
    std::fwrite(b.constData(), 1, size_t(b.size()), f);
    std::fflush(f);
}

} // namespace

// Scripts read standard error for the program's own messages; Qt's internal
// warnings (about the runtime directory and such) would only get in the way.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        writeOut(stderr, message + QLatin1Char('\n'));
}

int runCommandLine(int argc, char** argv)
{
    qInstallMessageHandler(quietMessages);
    // Headless: no display needed.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Waylark"));
    installQtChineseTranslations(); // Qt's own error texts, in Chinese

    const GlobalOptions global = GlobalOptions::parse(QCoreApplication::arguments().mid(1));
    if (!global.error.isEmpty()) {
        writeOut(stderr, QStringLiteral("waylark: %1\n").arg(global.error) + Cli::usageText());
        return ExitCode::Usage;
    }
    const QStringList& args = global.rest;
    const QString first = args.value(0);
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        writeOut(stdout, Cli::usageText());
        return ExitCode::Done;
    }
    if (first == QLatin1String("--version")) {
        writeOut(stdout, QStringLiteral("waylark %1\n").arg(QStringLiteral(WAYLARK_VERSION)));
        return ExitCode::Done;
    }
    const Cli::Command* command = nullptr;
    for (const Cli::Command& c : Cli::commands())
        if (c.name == first)
            command = &c;
    if (!command) {
        writeOut(stderr,
                 QStringLiteral("waylark: unknown command '%1'\n").arg(first) + Cli::usageText());
        return ExitCode::Usage;
    }

    // "waylark print --help": the command's own lines, without opening the
    // database. After "--" it is an argument like any other.
    const QStringList commandArgs = args.mid(1);
    const qsizetype optionsEnd = commandArgs.indexOf(QStringLiteral("--"));
    const QStringList options = optionsEnd < 0 ? commandArgs : commandArgs.mid(0, optionsEnd);
    if (options.contains(QStringLiteral("--help")) || options.contains(QStringLiteral("-h"))) {
        writeOut(stdout,
                 QStringLiteral("Usage:\n  waylark ") + command->synopsis + QLatin1Char('\n'));
        return ExitCode::Done;
    }

    ConsolePrompt console;
    setPrompt(&console);
    const DataLocation where =
        DataLocation::find(QCoreApplication::applicationDirPath(), global.database);
    DatabaseStart startup(where);
    startup.endOnSignals(ExitCode::Failed);
    if (!NewDatabase::prepareDataFolder(where) || !startup.acquire()) {
        Termination::uninstall();
        setPrompt(nullptr);
        return ExitCode::Failed;
    }
    PrintJournal::settleAtStart(startup.dataModule());
    // A signal during a synchronous step is acted on here; writers and print
    // jobs have already stopped at their next step without saving anything.
    Termination::handlePending();
    const int status = command->run(commandArgs, startup.dataModule(), startup.session());
    Termination::handlePending();
    startup.shutdown();
    Termination::uninstall();
    setPrompt(nullptr);
    return status;
}
