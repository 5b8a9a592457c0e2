#pragma once

#include "gatewayfetcher.h"
#include "shopparams.h"
#include "tradesanswer.h"
#include "tradesrequest.h"

// The whole download short of the table: signs the request for the shop,
// fetches it from the gateway and reads the answer. Every outcome but Orders
// means the recipient table must stay as it is.
TradesResult downloadOrders(const ShopParams& shop, const QUrl& gateway, GatewayFetcher& fetcher,
                            const Clock& clock = systemClock);
