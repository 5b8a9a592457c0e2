#pragma once

#include "waybill/carrier.h"

#include <QString>
#include <QStringList>

// Numbering a whole recipient table: the series is computed and checked for
// every row before anything is written, so a caller writes either all of
// plan.numbers or nothing.

// The rule a template name selects when no carrier was chosen for it:
// exactly "顺丰速运" or "邮政EMS" (case counts), anything else the generic count.
WaybillRule waybillRuleFor(const QString& modelName);

struct WaybillRequest {
    QString modelName; // template chosen; becomes ExpName
    QString start;     // start number as typed; the first row receives it trimmed
    QString step;      // increment as typed: one digit, read by the generic rule only
    bool useAffix = false;
    QString prefix; // ignored unless useAffix
    QString suffix; // ignored unless useAffix
    // The template's stored Carrier_Code; empty (or unknown): its name
    // picks the rule (Carriers::forTemplate).
    QString carrierCode = QString();
};

struct WaybillPlan {
    bool ok = false;
    QString message;     // why the request was refused; empty when ok
    QString expName;     // ExpName for every row
    QStringList numbers; // WayBillNo of each row in order, prefix and suffix included
    int skipped = 0;     // blank rows left without a number
    QString firstNumber; // the first row's number without prefix and suffix; empty for no rows
    QString lastNumber;  // the last row's number without prefix and suffix; empty for no rows
};

// Why an increment as typed cannot be used (empty when it can): it must be
// one digit 0 to 9.
QString stepProblem(const QString& step);

// Plans rowCount waybill numbers with the template's carrier rule; the
// increment is checked only where that rule reads it. Refusals carry no
// numbers. An empty table
// (rowCount 0) is no error once the inputs are valid.
WaybillPlan planWaybills(const WaybillRequest& request, int rowCount);

// Whether digits a comes after digits b in a series (leading zeros aside).
bool isLaterNumber(const QString& a, const QString& b);

// Shown once every row has been written; then how many blank rows were
// skipped, when any were.
QString waybillDoneText(int skipped = 0);
