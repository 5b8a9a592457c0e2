#pragma once

#include <QString>

// One running program per database file and user: an exclusive lock on a
// file named after the database's canonical path, in the user's private
// runtime folder. The kernel releases it when the process ends in any way.
class InstanceLock
{
public:
    enum class Status { Locked, Running, Failed };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    Status acquire(const QString& databaseFile);
    void release();
    bool isLocked() const { return m_fd >= 0; }
    // Why the lock could not be made (the system's words), after Failed.
    QString error() const { return m_error; }

    // $XDG_RUNTIME_DIR when it is a private folder of this user, otherwise
    // $XDG_CACHE_HOME/waylark or ~/.cache/waylark, made private. Never the
    // temporary folder, which differs between sessions and is shared.
    static QString folder(QString* error);
    // The lock file for a database file; empty with error set when no folder.
    static QString fileNameFor(const QString& databaseFile, QString* error);

private:
    int m_fd = -1;
    QString m_fileName;
    QString m_error;
};
