#include "waybill/waybillwriter.h"

#include "base/dataerror.h"
#include "book/blankrecipient.h"
#include "book/recipientrows.h"
#include "data/dataset.h"
#include "data/schema.h"
#include "waybill/carrierstore.h"

#include <QSqlDatabase>

namespace
{

// The IDs of the rows that hold a recipient, in the table's order.
QVector<qint64> rowsToNumber(Dataset* att, int* skipped)
{
    QVector<qint64> ids;
    for (int row = 0; row < att->recordCount(); ++row) {
        if (isBlankRecipient(att, row))
            ++*skipped;
        else
            ids << att->rowId(row);
    }
    return ids;
}

} // namespace

WaybillPlan numberRecipients(Dataset* att, const WaybillRequest& given)
{
    if (!att->isActive())
        att->open();
    const QSqlDatabase db = QSqlDatabase::database(att->connectionName(), false);
    WaybillRequest request = given;
    request.carrierCode = CarrierStore::load(db, request.modelName).code;
    int skipped = 0;
    const QVector<qint64> ids = rowsToNumber(att, &skipped);
    WaybillPlan plan = planWaybills(request, int(ids.size()));
    if (!plan.ok)
        return plan;
    plan.skipped = skipped;

    // One list of values for every row; only the number changes.
    RecipientRows::Values values{{QStringLiteral("ExpName"), plan.expName},
                                 {QStringLiteral("WayBillNo"), QString()}};
    RecipientRows rows(att);
    QString takenUpTo;
    rows.changeInPlace(ids, [&] {
        // Another station may have written this template's series since the
        // start was chosen: its numbers are not handed out twice.
        const QString last = CarrierStore::lockLastNumber(db, request.modelName);
        if (Schema::isServer(db) && !plan.firstNumber.isEmpty() && !last.isEmpty() &&
            !isLaterNumber(plan.firstNumber, last)) {
            takenUpTo = last;
            return;
        }
        for (int i = 0; i < ids.size(); ++i) {
            values.last().second = plan.numbers.at(i);
            rows.change(ids.at(i), values);
        }
        // The next series of this template starts after this one.
        if (!plan.lastNumber.isEmpty())
            CarrierStore::setLastNumber(db, request.modelName, plan.lastNumber);
    });
    if (!takenUpTo.isEmpty()) {
        WaybillPlan refused;
        refused.message =
            QStringLiteral("单号已被占用：此模板的单号已用到 %1，请从其后的单号重新生成！")
                .arg(takenUpTo);
        return refused;
    }
    return plan;
}
