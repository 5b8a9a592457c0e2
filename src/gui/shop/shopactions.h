#pragma once

#include "waybill/shiprun.h"

class DataModule;
struct Session;

// The shop buttons of the recipient tab.
namespace ShopActions
{

// "下载网店订单": fetchOrders with the standard time-out, asking what becomes
// of the recipients.
void downloadOrders(DataModule* dm, const Session& session);

// "回传运单号": shipDue with the current template; tells how many were sent
// and lists the failures with their reasons, offering to send those again.
void shipWaybills(DataModule* dm, const Session& session, const ShipOptions& options = {});

} // namespace ShopActions
