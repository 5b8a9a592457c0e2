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

// Which rows the first cursor move will leave, blank or not: it posts a row
// being edited and gives up a new row that nothing was typed into.
QVector<bool> blankRowsToNumber(Dataset* att)
{
    att->updateRecord(); // typed text of bound edits reaches the row buffer
    const bool dropsNewRow = att->state() == Dataset::State::Insert && !att->modified();
    QVector<bool> blank;
    for (int row = 0; row < att->recordCount(); ++row)
        if (!(dropsNewRow && row == att->recNo()))
            blank << isBlankRecipient(att, row);
    return blank;
}

} // namespace

WaybillPlan numberRecipients(Dataset* att, const WaybillRequest& given)
{
    if (!att->isActive())
        att->open();
    const QSqlDatabase db = QSqlDatabase::database(att->connectionName(), false);
    WaybillRequest request = given;
    request.carrierCode = CarrierStore::load(db, request.modelName).code;
    const QVector<bool> blank = blankRowsToNumber(att);
    const int skipped = int(blank.count(true));
    WaybillPlan plan = planWaybills(request, int(blank.size()) - skipped);
    if (!plan.ok)
        return plan;
    plan.skipped = skipped;

    // One list of values for every row; only the number changes.
    RecipientRows::Values values{{QStringLiteral("ExpName"), plan.expName},
                                 {QStringLiteral("WayBillNo"), QString()}};
    // The plan was made for the rows counted above; nothing else runs
    // meanwhile, so this only guards against a fault of our own.
    const QString changed = QStringLiteral("Exp_Att_Info: the row count changed while numbering");
    RecipientRows rows(att);
    QString takenUpTo;
    rows.inTransaction([&] {
        // Another station may have written this template's series since the
        // start was chosen: its numbers are not handed out twice.
        const QString last = CarrierStore::lockLastNumber(db, request.modelName);
        if (Schema::isServer(db) && !plan.firstNumber.isEmpty() && !last.isEmpty() &&
            !isLaterNumber(plan.firstNumber, last)) {
            takenUpTo = last;
            return;
        }
        att->first();
        int next = 0;
        for (bool isBlank : blank) {
            if (att->eof())
                throw DataError(changed);
            if (!isBlank) {
                values.last().second = plan.numbers.at(next++);
                rows.changeCurrent(values);
            }
            att->next();
        }
        if (!att->eof())
            throw DataError(changed);
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
