#pragma once

#include "base/session.h"
#include "data/datalocation.h"
#include "data/instancelock.h"

#include <QString>
#include <functional>
#include <memory>

class DataModule;

// Steps 1 to 6 of every start, windows or command line: refuses a second
// instance on the same database, restores the header of a sealed database
// file, opens the data module and every dataset; and the matching end,
// which seals the file again. On a server only the connection and the
// datasets: several stations share it.
class DatabaseStart
{
public:
    explicit DatabaseStart(const DataLocation& where);
    ~DatabaseStart();

    // Shows its own messages through the prompt seam; false means the
    // program ends.
    bool acquire();

    DataModule* dataModule() const { return m_dm.get(); }
    // What the windows or the command share for this run; made anew by
    // each start.
    Session& session() { return m_session; }

    // Runs first when the database closes; returns true when it sealed the
    // file itself (the windows' own close does).
    void setCloseWindows(std::function<bool()> closeWindows)
    {
        m_closeWindows = std::move(closeWindows);
    }

    // Closes the database and seals it, if a window has not done so already.
    void closeAndSeal();
    void shutdown();
    // A termination signal (SIGTERM, SIGINT, SIGHUP) ends the process as the
    // window's exit does, with exitStatus: any open transaction rolled back,
    // output files in the making removed, the file sealed, the lock released.
    void endOnSignals(int exitStatus);
    // That cleanup alone.
    void terminate();

private:
    void startSession();
    bool acquireServer();

    DataLocation m_where;
    Session m_session;
    InstanceLock m_lock;
    std::unique_ptr<DataModule> m_dm;
    std::function<bool()> m_closeWindows;
    bool m_restored = false;   // this run restored the header
    bool m_sealAtExit = false; // the file was accepted as ours
};
