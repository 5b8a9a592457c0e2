#pragma once

#include <QString>

// Makes dir (the test's working and application directory) what a new
// installation has: a sealed Waylark_main.db, bkbmp/ with the delivered
// picture and config.ini naming the delivered template.
bool makeFreshAppDir(const QString& dir, QString* error = nullptr);
