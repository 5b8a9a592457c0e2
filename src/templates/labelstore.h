#pragma once

#include <QSqlDatabase>
#include <QString>

// What a template prints besides its fields (Model_Label): its picture, for
// labels drawn or scanned whole and printed on blank paper.
namespace LabelStore
{

// Throws DataError.
bool printsPicture(const QSqlDatabase& db, const QString& model);
void setPrintsPicture(const QSqlDatabase& db, const QString& model, bool prints);

} // namespace LabelStore
