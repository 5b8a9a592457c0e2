#pragma once

#include <QFile>
#include <QString>

// A file written whole or not at all: the bytes go into a new file next to
// the target, created exclusively under a unique name (never through a
// planted symbolic link), and renamed over the target only on commit(). An
// uncommitted file is removed, also when a termination signal ends the
// program (removeAllPending()).
//
// Not QSaveFile, which the exports use: a print job needs what QSaveFile
// keeps to itself. The temporary file's name goes to CUPS, its descriptor
// is locked so that a later job can tell a running job's file from a stale
// one, its inode is journalled so that the next start knows whether the
// rename happened, and the termination handler must find and remove it.
class SafeFile
{
public:
    explicit SafeFile(const QString& target);
    ~SafeFile(); // discards an uncommitted file
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // Creates the temporary file; false with error() set when it cannot.
    bool open();
    QIODevice* device() { return &m_file; }
    QString target() const { return m_target; }
    QString temporaryName() const { return m_temp; }

    // Writes out what is buffered; false with error() set.
    bool flush();
    // Flushes, syncs and renames over the target; false with error() set
    // (the temporary file is then removed).
    bool commit();
    void discard();

    // What failed, in Chinese, and the system's reason on a second line.
    QString error() const { return m_error; }

    // For the termination handler: removes every uncommitted file.
    static void removeAllPending();

private:
    void fail(const QString& what, int err, const QString& systemText = QString());

    QString m_target;
    QString m_temp;
    QFile m_file;
    QString m_error;
};
