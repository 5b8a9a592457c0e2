#include "waybill/waybillwriter.h"

#include "base/dataerror.h"
#include "book/recipientrows.h"
#include "data/dataset.h"

namespace
{

// How many rows the first cursor move will leave: it posts a row being
// edited and gives up a new row that nothing was typed into.
int rowsToNumber(Dataset* att)
{
    att->updateRecord(); // typed text of bound edits reaches the row buffer
    int rows = att->recordCount();
    if (att->state() == Dataset::State::Insert && !att->modified())
        --rows;
    return rows;
}

} // namespace

WaybillPlan numberRecipients(Dataset* att, const WaybillRequest& request)
{
    if (!att->isActive())
        att->open();
    WaybillPlan plan = planWaybills(request, rowsToNumber(att));
    if (!plan.ok)
        return plan;

    // One list of values for every row; only the number changes.
    RecipientRows::Values values{{QStringLiteral("ExpName"), plan.expName},
                                 {QStringLiteral("WayBillNo"), QString()}};
    // The plan was made for the rows counted above; nothing else runs
    // meanwhile, so this only guards against a fault of our own.
    const QString changed = QStringLiteral("Exp_Att_Info: the row count changed while numbering");
    RecipientRows rows(att);
    rows.inTransaction([&] {
        att->first();
        for (const QString& number : std::as_const(plan.numbers)) {
            if (att->eof())
                throw DataError(changed);
            values.last().second = number;
            rows.changeCurrent(values);
            att->next();
        }
        if (!att->eof())
            throw DataError(changed);
    });
    return plan;
}
