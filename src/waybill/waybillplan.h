#pragma once

#include <QString>
#include <QStringList>

// Numbering a whole recipient table: the series is computed and checked for
// every row before anything is written, so a caller writes either all of
// plan.numbers or nothing.

enum class WaybillRule { Sf, Ems, Common };

// The rule a template name selects: exactly "顺丰速运" or "邮政EMS" (case
// counts), anything else the generic count.
WaybillRule waybillRuleFor(const QString& modelName);

struct WaybillRequest {
    QString modelName; // template chosen; picks the rule and becomes ExpName
    QString start;     // start number as typed; the first row receives it trimmed
    QString step;      // increment as typed: one digit, used by the generic rule
    bool useAffix = false;
    QString prefix; // ignored unless useAffix
    QString suffix; // ignored unless useAffix
};

struct WaybillPlan {
    bool ok = false;
    QString message;     // why the request was refused; empty when ok
    QString expName;     // ExpName for every row
    QStringList numbers; // WayBillNo of each row in order, prefix and suffix included
    int skipped = 0;     // blank rows left without a number
};

// Plans rowCount waybill numbers. Refusals carry no numbers. An empty table
// (rowCount 0) is no error once the inputs are valid.
WaybillPlan planWaybills(const WaybillRequest& request, int rowCount);

// Shown once every row has been written; then how many blank rows were
// skipped, when any were.
QString waybillDoneText(int skipped = 0);
