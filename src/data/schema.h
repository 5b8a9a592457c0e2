#pragma once

#include <QSqlDatabase>
#include <QStringList>

// The tables of Waylark_main.db. The schema version lives in SQLite's
// user_version so that a later program can migrate an older file.
namespace Schema {

constexpr int kVersion = 1;

// The 26 field keys in catalogue order; Exp_Model has four columns for each.
const QStringList& fieldKeys();
QStringList modelColumns();     // the 112 columns of Exp_Model, in order
QStringList recipientColumns(); // Exp_Att_Info, in order (ID first)
QStringList senderColumns();    // Exp_Send_info, in order (ID first)
QStringList shopColumns();      // Shop_Info

// Creates every table and the region rows in one transaction; throws DataError.
void create(QSqlDatabase db);
// Brings an older file up to kVersion; throws DataError for a file of a newer
// program or one that is not ours.
void upgrade(QSqlDatabase db);

} // namespace Schema
