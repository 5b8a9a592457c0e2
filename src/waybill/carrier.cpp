#include "waybill/carrier.h"

#include "waybill/waybillrules.h"

namespace Carriers
{

namespace
{

const Carrier& noCarrier()
{
    return all().constLast();
}

} // namespace

const QVector<Carrier>& all()
{
    static const QVector<Carrier> carriers = {
        {QStringLiteral("SF"), QStringLiteral("顺丰速运"), WaybillRule::Sf, QStringLiteral("SF")},
        {QStringLiteral("EMS"), QStringLiteral("邮政EMS"), WaybillRule::Ems, QStringLiteral("EMS")},
        {QStringLiteral("YTO"), QStringLiteral("圆通速递"), WaybillRule::Common,
         QStringLiteral("YTO")},
        {QStringLiteral("ZTO"), QStringLiteral("中通快递"), WaybillRule::Common,
         QStringLiteral("ZTO")},
        {QStringLiteral("STO"), QStringLiteral("申通快递"), WaybillRule::Common,
         QStringLiteral("STO")},
        {QStringLiteral("YUNDA"), QStringLiteral("韵达快递"), WaybillRule::Common,
         QStringLiteral("YUNDA")},
        {QStringLiteral("JTSD"), QStringLiteral("极兔速递"), WaybillRule::Common,
         QStringLiteral("JTSD")},
        {QStringLiteral("NONE"), QStringLiteral("通用"), WaybillRule::Common, QString()},
    };
    return carriers;
}

const Carrier* byCode(const QString& code)
{
    const QString wanted = code.trimmed();
    for (const Carrier& c : all())
        if (c.code.compare(wanted, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

const Carrier& byTemplateName(const QString& modelName)
{
    // Names compare exactly, as they always have.
    for (const Carrier& c : all())
        if (c.rule != WaybillRule::Common && c.name == modelName)
            return c;
    return noCarrier();
}

const Carrier& forTemplate(const QString& modelName, const QString& storedCode)
{
    if (const Carrier* c = storedCode.isEmpty() ? nullptr : byCode(storedCode))
        return *c;
    return byTemplateName(modelName);
}

QString ruleText(const Carrier& carrier)
{
    QString rule;
    switch (carrier.rule) {
    case WaybillRule::Sf:
        rule = QStringLiteral("末位为校验位");
        break;
    case WaybillRule::Ems:
        rule = QStringLiteral("9位数字，末位为校验位，加前后缀共13位");
        break;
    case WaybillRule::Common:
        rule = QStringLiteral("按增量递增");
        break;
    }
    return QStringLiteral("编号规则：%1（%2）").arg(carrier.name, rule);
}

QString codeList()
{
    QStringList codes;
    for (const Carrier& c : all())
        codes << c.code;
    return codes.join(QStringLiteral("、"));
}

} // namespace Carriers

bool ruleUsesIncrement(WaybillRule rule)
{
    return rule == WaybillRule::Common;
}

QString nextStartAfter(WaybillRule rule, const QString& last, int increment)
{
    switch (rule) {
    case WaybillRule::Sf:
        return get_SfBill(last);
    case WaybillRule::Ems:
        return get_EmsBill(last);
    case WaybillRule::Common:
        break;
    }
    return get_CommonBill(last, qMax(increment, 1));
}
