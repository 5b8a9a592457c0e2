#pragma once

#include <QString>
#include <QVector>

// The carriers a template can be set to, and the numbering rule each one
// follows. Pure: no database, no widgets.

enum class WaybillRule { Sf, Ems, Common };

struct Carrier {
    QString code; // as stored in Model_Carrier.Carrier_Code: "SF", "EMS" … "NONE"
    QString name; // as the windows show it: "顺丰速运"
    WaybillRule rule = WaybillRule::Common;
    // The shop platform's code for the carrier, sent back with a waybill
    // number; empty for none.
    QString companyCode;
};

namespace Carriers
{

// Every carrier in the order the page setup lists them, "NONE" (通用) last.
const QVector<Carrier>& all();

// The carrier of that code, letters compared without regard to case and
// blanks at either end ignored; nullptr for a code that is not listed.
const Carrier* byCode(const QString& code);

// The carrier a template name selects when none was chosen for it: exactly
// "顺丰速运" gives SF, exactly "邮政EMS" gives EMS, any other name NONE.
const Carrier& byTemplateName(const QString& modelName);

// The carrier a template numbers with: its stored code when that is a
// listed one, else the one its name selects.
const Carrier& forTemplate(const QString& modelName, const QString& storedCode);

// "编号规则：顺丰速运（末位为校验位）": the rule line of the waybill dialog.
QString ruleText(const Carrier& carrier);

// The codes as --help and a refused code name them: "SF、EMS … NONE".
QString codeList();

} // namespace Carriers

// Whether the rule reads the increment (only the plain count does).
bool ruleUsesIncrement(WaybillRule rule);

// The number that follows last under rule, to start the next series with:
// the increment counts for the plain rule only, and one is taken for an
// increment below 1 so that a new series never repeats the last number.
// Empty when last is no number of that rule or has no successor.
QString nextStartAfter(WaybillRule rule, const QString& last, int increment);
