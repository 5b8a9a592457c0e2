#include "waybill/waybillplan.h"
#include "waybill/waybilldigits.h"

#include "book/blankrecipient.h"

#include <QLatin1String>
#include <limits>

using namespace WaybillDigits;

namespace
{

struct Affix {
    QString prefix;
    QString suffix;
};

WaybillPlan refused(const QString& message)
{
    WaybillPlan plan;
    plan.message = message;
    return plan;
}

QString stepFailureText(Step step)
{
    if (step == Step::EndOfSeries)
        return QStringLiteral("顺丰单号序列已到尽头，无法继续生成！");
    return QStringLiteral("运单号超出范围，无法为全部收件人生成！");
}

// Keeps one digit buffer for the whole series; the first row gets the start
// itself, each further row the successor of the row before.
template <int Length, Step (*advance)(char*)>
Step fixedWidthSeries(const QString& start, int rowCount, const Affix& affix, QStringList& numbers)
{
    char digits[Length];
    toDigits(start, digits);
    for (int row = 0; row < rowCount; ++row) {
        if (row > 0) {
            const Step step = advance(digits);
            if (step != Step::Next)
                return step;
        }
        numbers.append(QString(affix.prefix + QLatin1String(digits, Length) + affix.suffix));
    }
    return Step::Next;
}

Step commonSeries(const QString& start, int increment, int rowCount, const Affix& affix,
                  QStringList& numbers)
{
    if (rowCount == 0)
        return Step::Next;
    numbers.append(QString(affix.prefix + start + affix.suffix));
    if (increment == 0) {
        // The start as typed on every row, leading zeros included.
        for (int row = 1; row < rowCount; ++row)
            numbers.append(numbers.constFirst());
        return Step::Next;
    }
    bool ok = false;
    qint64 value = start.toLongLong(&ok);
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    for (int row = 1; row < rowCount; ++row) {
        if (!ok || value > max - increment)
            return Step::OutOfRange;
        value += increment;
        numbers.append(QString(affix.prefix + QString::number(value) + affix.suffix));
    }
    return Step::Next;
}

} // namespace

WaybillRule waybillRuleFor(const QString& modelName)
{
    return Carriers::byTemplateName(modelName).rule;
}

QString stepProblem(const QString& step)
{
    const QString t = step.trimmed();
    if (t.isEmpty())
        return QStringLiteral("运单号增量不能为空！");
    if (t.size() != 1 || !isDigits(t))
        return QStringLiteral("运单号增量须为0到9之间的一位数字！");
    return QString();
}

WaybillPlan planWaybills(const WaybillRequest& request, int rowCount)
{
    const QString start = request.start.trimmed();
    const WaybillRule rule = Carriers::forTemplate(request.modelName, request.carrierCode).rule;
    int increment = 0;
    if (ruleUsesIncrement(rule)) {
        const QString problem = stepProblem(request.step);
        if (!problem.isEmpty())
            return refused(problem);
        increment = request.step.trimmed().at(0).unicode() - '0';
    }

    Affix affix;
    if (request.useAffix)
        affix = {request.prefix.trimmed(), request.suffix.trimmed()};
    rowCount = qMax(rowCount, 0);

    WaybillPlan plan;
    plan.numbers.reserve(rowCount);
    Step result = Step::Next;
    switch (rule) {
    case WaybillRule::Sf:
        if (start.size() != SfLength || !isDigits(start))
            return refused(QStringLiteral("输入错误,顺丰单号为12位连续数字,请重新输入！"));
        result = fixedWidthSeries<SfLength, advanceSf>(start, rowCount, affix, plan.numbers);
        break;
    case WaybillRule::Ems:
        if (start.size() != EmsLength || !isDigits(start))
            return refused(
                QStringLiteral("输入错误,EMS单号为9位连续数字(不含前后缀),请重新输入！"));
        result = fixedWidthSeries<EmsLength, advanceEms>(start, rowCount, affix, plan.numbers);
        break;
    case WaybillRule::Common:
        if (!isDigits(start))
            return refused(QStringLiteral("起始单号为空或中间含有空格，请连续输入数字！"));
        result = commonSeries(start, increment, rowCount, affix, plan.numbers);
        break;
    }
    if (result != Step::Next)
        return refused(stepFailureText(result));

    plan.ok = true;
    plan.expName = request.modelName;
    if (!plan.numbers.isEmpty()) {
        const auto bare = [&affix](const QString& n) {
            return n.mid(affix.prefix.size(), n.size() - affix.prefix.size() - affix.suffix.size());
        };
        plan.firstNumber = bare(plan.numbers.constFirst());
        plan.lastNumber = bare(plan.numbers.constLast());
    }
    return plan;
}

bool isLaterNumber(const QString& a, const QString& b)
{
    const auto digits = [](const QString& n) {
        qsizetype zeros = 0;
        while (zeros < n.size() - 1 && n.at(zeros) == QLatin1Char('0'))
            ++zeros;
        return n.mid(zeros);
    };
    const QString x = digits(a);
    const QString y = digits(b);
    return x.size() != y.size() ? x.size() > y.size() : x > y;
}

QString waybillDoneText(int skipped)
{
    const QString done = QStringLiteral("生成完毕并已增加到数据表中！");
    return skipped ? done + QLatin1Char('\n') + skippedBlankRecipientsText(skipped) : done;
}
