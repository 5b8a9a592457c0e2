#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A fresh temporary directory that is the process's current directory (and
// TMPDIR, so locks and scratch files stay private to one test) while it lives.
class TempWorkDir
{
public:
    TempWorkDir();
    ~TempWorkDir();
    TempWorkDir(const TempWorkDir&) = delete;
    TempWorkDir& operator=(const TempWorkDir&) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    // path() with a trailing separator, the form the program keeps its
    // application directory in.
    QString appDir() const { return m_dir.path() + QLatin1Char('/'); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_oldCwd;
    QByteArray m_oldTmp;
    bool m_hadTmp = false;
};
