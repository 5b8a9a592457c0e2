#include "templates/labelstore.h"

#include "base/dataerror.h"

#include <QSqlError>
#include <QSqlQuery>

namespace LabelStore
{

bool printsPicture(const QSqlDatabase& db, const QString& model)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT Print_Picture FROM Model_Label WHERE Model_Name = ?"));
    q.addBindValue(model);
    if (!q.exec())
        throw DataError(q.lastError().text());
    return q.next() && q.value(0).toInt() == 1;
}

void setPrintsPicture(const QSqlDatabase& db, const QString& model, bool prints)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO Model_Label (Model_Name, Print_Picture) VALUES (?, ?) "
                             "ON CONFLICT (Model_Name) DO UPDATE SET "
                             "Print_Picture = excluded.Print_Picture"));
    q.addBindValue(model);
    q.addBindValue(prints ? 1 : 0);
    if (!q.exec())
        throw DataError(q.lastError().text());
}

} // namespace LabelStore
