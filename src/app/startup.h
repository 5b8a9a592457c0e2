#pragma once

#include "data/databasestart.h"

#include <QString>
#include <QStringList>
#include <memory>

class DataModule;
class MainWindow;
class SenderDraft;

// The entry sequence: refuses a second instance on the same database,
// restores the header of a sealed database file, opens the data module and
// every dataset, and creates the windows.
class Startup
{
public:
    // programDir: the program's folder, with or without a trailing '/';
    // databaseOption: the value of "--database", empty when not given (see
    // DataLocation).
    explicit Startup(const QString& programDir, const QString& databaseOption = QString());
    ~Startup();

    // Steps 1 to 7. Shows its own messages through the prompt seam; false
    // means the program ends, with exit status 1.
    bool start();
    // The same checks and database, no windows.
    bool startHeadless();

    DataModule* dataModule() const { return m_db.dataModule(); }
    MainWindow* mainWindow() const { return m_main.get(); }
    // The sender's values as the windows show them, typed or saved.
    SenderDraft* senderDraft() const { return m_senderDraft.get(); }
    // What the windows share for this run; made anew by each start.
    Session& session() { return m_db.session(); }

    // Closes the database and seals it, if a window has not done so already.
    void shutdown();

    // A termination signal (SIGTERM, SIGINT, SIGHUP) ends the process as the
    // window's exit does, with exitStatus: any open transaction rolled back,
    // output files in the making removed, the file sealed, the lock released.
    void endOnSignals(int exitStatus) { m_db.endOnSignals(exitStatus); }
    // That cleanup alone.
    void terminate() { m_db.terminate(); }

private:
    DataLocation m_where;
    DatabaseStart m_db;
    std::unique_ptr<SenderDraft> m_senderDraft; // the windows show it: made before, gone after them
    std::unique_ptr<MainWindow> m_main;
};

// The windows' application settings: name, version, Qt's Chinese texts and
// the screen font. No display name: the desktop would add it to every
// window's and message box's title.
void setUpWindowsApplication();

// Whether the program's arguments (without the program's name) start the
// windows: none, or Qt's own options for them ("-platform offscreen",
// "-style=fusion", "--geometry 800x600"); anything else is a command.
bool argumentsStartWindows(const QStringList& arguments);

// main(): the windows without arguments or with Qt's options, else the
// command line.
int waylarkMain(int argc, char** argv);
