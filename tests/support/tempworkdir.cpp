#include "tempworkdir.h"

#include <QDir>

TempWorkDir::TempWorkDir() : m_oldCwd(QDir::currentPath())
{
    m_hadTmp = qEnvironmentVariableIsSet("TMPDIR");
    m_oldTmp = qgetenv("TMPDIR");
    if (m_dir.isValid()) {
        QDir::setCurrent(m_dir.path());
        qputenv("TMPDIR", QFile::encodeName(m_dir.path()));
    }
}

TempWorkDir::~TempWorkDir()
{
    QDir::setCurrent(m_oldCwd);
    if (m_hadTmp)
        qputenv("TMPDIR", m_oldTmp);
    else
        qunsetenv("TMPDIR");
}
