#include "shop/shipback.h"

#include "base/dataerror.h"
#include "book/ordernumbers.h"
#include "data/dataset.h"
#include "data/schema.h"
#include "data/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace
{

void execOrThrow(QSqlQuery& q)
{
    if (!q.exec())
        throw DataError(q.lastError().text());
}

bool isPrinted(const Dataset* att, int row, int printedAt, int printCount)
{
    return (printedAt >= 0 && !att->cellText(row, printedAt).trimmed().isEmpty()) ||
           (printCount >= 0 && att->cellText(row, printCount).toLongLong() > 0);
}

QString fetchFailure(const FetchResult& fetched, const DownloadLimits& limits)
{
    switch (fetched.status) {
    case FetchResult::DeadlinePassed:
        return QString::fromUtf8(ShopText::ShipDeadline).arg(limits.deadlineSeconds);
    case FetchResult::TooLarge:
        return QString::fromUtf8(ShopText::TooLarge).arg(limits.maxAnswerMB);
    case FetchResult::Canceled:
        return QString::fromUtf8(ShopText::ShipCanceled);
    default:
        return fetched.message;
    }
}

} // namespace

namespace ShipStore
{

QHash<QString, OrderShipState> load(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral(
            "SELECT Tid, State, Waybill_No, Company_Code, Changed_At, Reason FROM Order_Ship")))
        throw DataError(q.lastError().text());
    execOrThrow(q);
    QHash<QString, OrderShipState> states;
    while (q.next())
        states.insert(q.value(0).toString(),
                      {q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                       q.value(4).toString(), q.value(5).toString()});
    return states;
}

void record(const QSqlDatabase& db, const QString& tid, const OrderShipState& state)
{
    Transaction t(db, QStringLiteral("order_ship"));
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("INSERT INTO Order_Ship (Tid, State, Waybill_No, Company_Code, "
                                  "Changed_At, Reason) VALUES (?, ?, ?, ?, ?, ?) "
                                  "ON CONFLICT (Tid) DO UPDATE SET State = excluded.State, "
                                  "Waybill_No = excluded.Waybill_No, Company_Code = "
                                  "excluded.Company_Code, Changed_At = excluded.Changed_At, "
                                  "Reason = excluded.Reason")))
        throw DataError(q.lastError().text());
    q.addBindValue(tid);
    q.addBindValue(state.state);
    q.addBindValue(state.waybill);
    q.addBindValue(state.companyCode);
    q.addBindValue(state.changedAt);
    q.addBindValue(state.reason.isEmpty() ? QVariant() : QVariant(state.reason));
    execOrThrow(q);
    q.finish();
    // What the platform has answered must be kept, as a printed job is.
    if (state.state == QLatin1String(OrderShipState::Sending))
        t.commit();
    else
        t.commitDespiteSignal();
}

QString describe(const QHash<QString, OrderShipState>& states, const QStringList& tids)
{
    QStringList parts;
    for (const QString& tid : tids) {
        const auto found = states.constFind(tid);
        if (found == states.cend())
            continue;
        QString text;
        if (found->state == QLatin1String(OrderShipState::Sent))
            text = QStringLiteral("已回传 %1").arg(found->changedAt);
        else if (found->state == QLatin1String(OrderShipState::Failed))
            text = QStringLiteral("回传失败：%1").arg(found->reason);
        else
            text = QStringLiteral("回传中");
        if (tids.size() > 1)
            text = tid + QLatin1Char(' ') + text;
        parts << text;
    }
    return parts.join(QStringLiteral("；"));
}

} // namespace ShipStore

QList<ShipOrder> dueOrders(const Dataset* att, const QHash<QString, OrderShipState>& states,
                           const QString& companyCode)
{
    QList<ShipOrder> settling;
    QList<ShipOrder> due;
    const int orderNo = att->fieldIndex(Schema::orderNoColumn());
    const int waybill = att->fieldIndex(QStringLiteral("WayBillNo"));
    const int printedAt = att->fieldIndex(Schema::printedAtColumn());
    const int printCount = att->fieldIndex(Schema::printCountColumn());
    if (orderNo < 0 || waybill < 0)
        return due;
    QSet<QString> taken;
    for (int row = 0; row < att->recordCount(); ++row) {
        const QString number = att->cellText(row, waybill).trimmed();
        if (number.isEmpty() || !isPrinted(att, row, printedAt, printCount))
            continue;
        for (const QString& tid : OrderNumbers::split(att->cellText(row, orderNo))) {
            if (taken.contains(tid))
                continue; // the same order in two rows goes back once
            taken.insert(tid);
            const auto found = states.constFind(tid);
            if (found == states.cend() || found->state == QLatin1String(OrderShipState::Failed))
                due << ShipOrder{tid, number, companyCode};
            else if (found->state == QLatin1String(OrderShipState::Sending))
                settling << ShipOrder{tid, found->waybill, found->companyCode};
        }
    }
    return settling + due;
}

QList<ShipResult> sendBack(const ShopParams& shop, const QUrl& gateway, GatewayFetcher& fetcher,
                           const QSqlDatabase& db, const QList<ShipOrder>& orders,
                           const Clock& clock, const DownloadLimits& limits,
                           const std::function<void(int done)>& afterEach)
{
    QList<ShipResult> results;
    const QDeadlineTimer deadline(qint64(limits.deadlineSeconds) * 1000);
    fetcher.setDeadline(deadline);
    QString stopped; // why the orders left are not asked
    if (!isUsableGateway(gateway))
        stopped = QString::fromUtf8(ShopText::BadGateway).arg(gateway.toString());

    for (const ShipOrder& order : orders) {
        if (stopped.isEmpty() && deadline.hasExpired())
            stopped = QString::fromUtf8(ShopText::ShipDeadline).arg(limits.deadlineSeconds);
        ShipResult result{order, false, stopped};
        if (!stopped.isEmpty()) {
            results << result;
            continue;
        }
        const auto now = [&] { return tradeDateTimeText(clock()); };
        ShipStore::record(db, order.tid,
                          {QString::fromLatin1(OrderShipState::Sending), order.waybill,
                           order.companyCode, now(), QString()});

        const QList<RequestParam> params = offlineSendParams(shop, order, clock);
        const TradesRequest request = signedTradesRequest(params, shop.secret, gateway);
        fetcher.setMaxBytes(qint64(limits.maxAnswerMB) * 1024 * 1024);
        const FetchResult fetched = fetcher.get(request.url);
        if (fetched.status == FetchResult::Ok) {
            const SendAnswer answer = parseOfflineSendAnswer(fetched.body);
            result.sent =
                answer.outcome == SendAnswer::Sent || answer.outcome == SendAnswer::AlreadyShipped;
            result.reason = answer.reason;
        } else {
            result.reason = fetchFailure(fetched, limits);
            if (fetched.status == FetchResult::DeadlinePassed ||
                fetched.status == FetchResult::Canceled)
                stopped = result.reason;
        }
        ShipStore::record(
            db, order.tid,
            {QString::fromLatin1(result.sent ? OrderShipState::Sent : OrderShipState::Failed),
             order.waybill, order.companyCode, now(), result.sent ? QString() : result.reason});
        results << result;
        if (afterEach)
            afterEach(int(results.size()));
    }
    return results;
}
