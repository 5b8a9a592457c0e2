#include "app/startup.h"

#include "base/exitcode.h"
#include "base/guarded.h"
#include "base/prompt.h"
#include "base/qttranslations.h"
#include "book/senderdraft.h"
#include "cli/cli.h"
#include "cli/globaloptions.h"
#include "data/datamodule.h"
#include "data/termination.h"
#include "gui/mainwindow.h"
#include "gui/qtprompt.h"
#include "print/printjournal.h"
#include "templates/newdatabase.h"

#include <QApplication>
#include <QFont>
#include <QIcon>

#include <cstdio>

Startup::Startup(const QString& programDir, const QString& databaseOption)
    : m_where(DataLocation::find(programDir, databaseOption)), m_db(m_where)
{
    m_db.setCloseWindows([this] {
        if (!m_main)
            return false;
        m_main->closeDatabase(); // seals once; a no-op after either exit
        return true;
    });
}

Startup::~Startup()
{
    shutdown();
}

bool Startup::start()
{
    if (!NewDatabase::prepareDataFolder(m_where) || !m_db.acquire())
        return false;
    PrintJournal::settleAtStart(m_db.dataModule());
    // 7. The windows, each once for the run: the main window makes its dialogs.
    const bool ok = guarded([&] {
        m_main.reset();
        m_senderDraft = std::make_unique<SenderDraft>(m_db.dataModule()->sender);
        m_main =
            std::make_unique<MainWindow>(m_db.dataModule(), &m_db.session(), m_senderDraft.get());
    });
    if (!ok) {
        shutdown();
        return false;
    }
    // On a shared server the windows follow the other stations, but never
    // under a dialog or a job, whose rows must stay where they are.
    DataModule* dm = m_db.dataModule();
    dm->setSyncGate(
        [] { return !QApplication::activeModalWidget() && !QApplication::activePopupWidget(); });
    dm->watchServer();
    return true;
}

bool Startup::startHeadless()
{
    if (!NewDatabase::prepareDataFolder(m_where) || !m_db.acquire())
        return false;
    PrintJournal::settleAtStart(m_db.dataModule());
    return true;
}

void Startup::shutdown()
{
    m_db.closeAndSeal();
    m_main.reset();
    m_senderDraft.reset();
    m_db.shutdown();
}

void setUpWindowsApplication()
{
    QApplication::setApplicationName(QStringLiteral("Waylark"));
    QApplication::setApplicationVersion(QStringLiteral(WAYLARK_VERSION));
    // The desktop entry and icon the install puts in place.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.waylark.Waylark"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.waylark.Waylark")));
    installQtChineseTranslations();
    QFont font(QStringLiteral("WenQuanYi Zen Hei"));
    font.setPixelSize(12);
    QApplication::setFont(font);
}

bool argumentsStartWindows(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return true;
    // Qt's own options for the windows, with one dash or two and "=value".
    static const QStringList qtOptions = {"platform",
                                          "platformpluginpath",
                                          "platformtheme",
                                          "plugin",
                                          "style",
                                          "stylesheet",
                                          "session",
                                          "reverse",
                                          "widgetcount",
                                          "geometry",
                                          "qwindowgeometry",
                                          "qwindowtitle",
                                          "qwindowicon",
                                          "display",
                                          "title",
                                          "name",
                                          "dialogs",
                                          "fontengine",
                                          "nograb",
                                          "dograb",
                                          "sync"};
    QString first = arguments.first();
    if (!first.startsWith(QLatin1Char('-')))
        return false;
    first.remove(0, first.startsWith(QLatin1String("--")) ? 2 : 1);
    return qtOptions.contains(first.section(QLatin1Char('='), 0, 0));
}

int waylarkMain(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // The command line says what is wrong with the options itself.
    const GlobalOptions global = GlobalOptions::parse(arguments);
    if (!global.error.isEmpty() || !argumentsStartWindows(global.rest))
        return runCommandLine(argc, argv);

    useChineseLocale();
    QApplication app(argc, argv);
    setUpWindowsApplication();
    static QtPrompt dialogs; // every message from here on is a real dialog
    setPrompt(&dialogs);

    Startup startup(QCoreApplication::applicationDirPath(), global.database);
    startup.endOnSignals(1);
    if (!startup.start()) {
        // The user was told why; scripts and desktop launchers see a failure.
        Termination::uninstall();
        return ExitCode::Failed;
    }
    startup.mainWindow()->show();
    app.exec();
    startup.shutdown();
    Termination::uninstall();
    return 0;
}
