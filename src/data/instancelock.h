#pragma once

#include <QString>

// One running program per database file: an exclusive flock() on the
// database file itself. It belongs to the file, not to a name, so every
// path that reaches the file (a hard or symbolic link, another working
// folder, another user's session) meets the same lock; the kernel releases
// it when the process ends in any way. SQLite's own locks are POSIX record
// locks, which Linux keeps apart from flock(): neither disturbs the other.
class InstanceLock
{
public:
    enum class Status {
        Locked,     // ours until release()
        Running,    // another program (or start in this process) holds it
        Missing,    // no such file; nothing to lock
        CannotOpen, // the file cannot be opened for reading and writing
        NotAFile,   // a directory entry that is no regular file; not locked
        Failed,     // the lock itself could not be taken
    };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    Status acquire(const QString& databaseFile);
    // Only once SQLite has closed the file: closing any descriptor of a
    // file drops the POSIX locks this process holds on it.
    void release();
    // The system's words for why, after CannotOpen or Failed.
    QString error() const { return m_error; }

private:
    int m_fd = -1;
    QString m_error;
};
