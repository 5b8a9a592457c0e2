#pragma once

#include "shop/gatewayfetcher.h"
#include "shop/offlinesend.h"
#include "shop/orderdownload.h"

#include <QHash>
#include <QSqlDatabase>
#include <functional>

class Dataset;

// How far sending an order's waybill number back has come, as kept in
// Order_Ship. An order without a row has not been sent.
struct OrderShipState {
    static constexpr char Sending[] = "sending"; // asked, answer not recorded
    static constexpr char Sent[] = "sent";
    static constexpr char Failed[] = "failed";

    QString state;
    QString waybill;     // as sent
    QString companyCode; // as sent
    QString changedAt;   // "yyyy-MM-dd HH:mm:ss"
    QString reason;      // why it failed
};

namespace ShipStore
{

// Every order's state by order number. Throws DataError.
QHash<QString, OrderShipState> load(const QSqlDatabase& db);

// Writes one order's state in a transaction of its own. A state that the
// platform has already acted on is kept even after a termination signal.
// Throws DataError.
void record(const QSqlDatabase& db, const QString& tid, const OrderShipState& state);

// "已回传 2026-12-11 04:10:00", "回传失败：原因", "回传中" or empty, for the
// order numbers of one row: the state of each order that has one, joined.
QString describe(const QHash<QString, OrderShipState>& states, const QStringList& tids);

} // namespace ShipStore

// The orders whose waybill numbers are due to go back: every order number
// of a printed row that has a waybill number, unless it was sent. Orders
// left "sending" by an interrupted run come first, with the waybill number
// and code they were sent with; the rest in table order with the row's
// waybill number and COMPANYCODE.
QList<ShipOrder> dueOrders(const Dataset* att, const QHash<QString, OrderShipState>& states,
                           const QString& companyCode);

struct ShipResult {
    ShipOrder order;
    bool sent = false;
    QString reason; // why not, when not sent
};

// Sends each order in turn: recorded "sending" first, then "sent" or
// "failed" with the reason; a failure moves on to the next order. An order
// the platform says is already shipped counts as sent, so one left
// "sending" is settled without being shipped twice. All requests share the
// deadline of LIMITS; once it has passed or the fetcher was cancelled, the
// orders not yet asked stay as they were and are given back unsent with
// the reason. AFTEREACH is told how many were done.
QList<ShipResult> sendBack(const ShopParams& shop, const QUrl& gateway, GatewayFetcher& fetcher,
                           const QSqlDatabase& db, const QList<ShipOrder>& orders,
                           const Clock& clock = systemClock, const DownloadLimits& limits = {},
                           const std::function<void(int done)>& afterEach = {});
