#pragma once

#include <QString>
#include <memory>

// Makes dir (the test's working and application directory) what a new
// installation has: a sealed Waylark_main.db, bkbmp/ with the delivered
// picture and config.ini naming the delivered template.
bool makeFreshAppDir(const QString& dir, QString* error = nullptr);

class DataModule;
struct Session;

// A fresh application directory in dir, its database opened by a new data
// module with every dataset, and *session made a fresh session on that
// directory (what start-up does, without windows). Null, with the reason, on
// failure.
std::unique_ptr<DataModule> openFreshDataModule(const QString& dir, Session* session,
                                                QString* error = nullptr);
// The same on a server: the fresh file of dir copied, pictures and all, onto
// the empty PostgreSQL database at serverUrl, which the data module opens
// instead; the session names the server. Station names the claimant.
std::unique_ptr<DataModule> openFreshServerDataModule(const QString& dir, const QString& serverUrl,
                                                      Session* session, QString* error = nullptr,
                                                      const QString& station = QString());
// The data module on a server database that already holds the tables.
std::unique_ptr<DataModule> openServerDataModule(const QString& serverUrl, const QString& station,
                                                 QString* error = nullptr);
