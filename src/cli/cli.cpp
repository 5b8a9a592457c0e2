#include "cli/cli.h"

#include "address/addresscommands.h"
#include "base/prompt.h"
#include "base/qttranslations.h"
#include "data/databasestart.h"
#include "data/termination.h"
#include "excel/excelcommands.h"
#include "print/calibrationcommands.h"
#include "print/printcommands.h"
#include "print/printjournal.h"
#include "shop/shopcommands.h"
#include "waybill/shipcommands.h"
#include "waybill/waybillcommands.h"

#include <QApplication>
#include <QMultiMap>
#include <cstdio>

namespace Cli
{

const QList<Command>& commands()
{
    static const QList<Command> table = {
        {QStringLiteral("print"), PrintCommands::printSynopsis(), &PrintCommands::runCommand},
        {QStringLiteral("log"),
         QStringLiteral("log                                   the print log, "
                        "tab-separated, newest job first"),
         &PrintCommands::runLogCommand},
        {QStringLiteral("calibrate"), CalibrationCommands::synopsis(),
         &CalibrationCommands::runCommand},
        {QStringLiteral("import"),
         ExcelCommands::importSynopsis() +
             QStringLiteral("\n                                                replace the "
                            "recipients with a sheet's rows (.xls, .xlsx, .csv), or --append "
                            "them;\n"
                            "                                                without --map the "
                            "titles are matched to the captions and the mapping is told"),
         &ExcelCommands::runImportCommand},
        {QStringLiteral("export"),
         ExcelCommands::exportSynopsis() +
             QStringLiteral("                           the recipients as tab-separated "
                            "text (.xls), or a workbook for a .xlsx name"),
         &ExcelCommands::runExportCommand},
        {QStringLiteral("download"), ShopCommands::downloadSynopsis(), &ShopCommands::runCommand},
        {QStringLiteral("ship"), ShipCommands::shipSynopsis(), &ShipCommands::runCommand},
        {QStringLiteral("number"), WaybillCommands::numberSynopsis(), &WaybillCommands::runCommand},
        {QStringLiteral("carrier"), WaybillCommands::carrierSynopsis(),
         &WaybillCommands::runCarrierCommand},
        {QStringLiteral("address"), AddressCommands::synopsis(), &AddressCommands::runCommand},
    };
    return table;
}

QString usageText()
{
    QString s = QStringLiteral("Usage:\n  waylark                 start the windows\n");
    for (const Command& c : commands())
        s += QLatin1String("  waylark ") + c.synopsis + QLatin1Char('\n');
    s += QStringLiteral("  waylark --help | --version\n"
                        "Works on Waylark_main.db in the current directory and on config.ini\n"
                        "and bkbmp/ in the program's directory.\n"
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

    const QStringList args = QCoreApplication::arguments().mid(1);
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

    ConsolePrompt console;
    setPrompt(&console);
    DatabaseStart startup(QCoreApplication::applicationDirPath());
    startup.endOnSignals(ExitCode::Failed);
    if (!startup.acquire()) {
        Termination::uninstall();
        setPrompt(nullptr);
        return ExitCode::Failed;
    }
    PrintJournal::settleAtStart(startup.dataModule());
    // A signal during a synchronous step is acted on here; writers and print
    // jobs have already stopped at their next step without saving anything.
    Termination::handlePending();
    const int status = command->run(args.mid(1), startup.dataModule(), startup.session());
    Termination::handlePending();
    startup.shutdown();
    Termination::uninstall();
    setPrompt(nullptr);
    return status;
}
