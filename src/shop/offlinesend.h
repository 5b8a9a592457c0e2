#pragma once

#include "shop/shopparams.h"
#include "shop/tradesrequest.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One order's waybill going back to the shop with
// taobao.logistics.offline.send, on the gateway of the download and signed
// as it is.
struct ShipOrder {
    QString tid;         // the order number
    QString waybill;     // out_sid
    QString companyCode; // company_code, the carrier's code on the platform

    bool operator==(const ShipOrder& o) const
    {
        return tid == o.tid && waybill == o.waybill && companyCode == o.companyCode;
    }
};

// The parameters in ascending name order; the clock is read once, for the
// timestamp.
QList<RequestParam> offlineSendParams(const ShopParams& shop, const ShipOrder& order,
                                      const Clock& clock = systemClock);

struct SendAnswer {
    enum Outcome {
        Sent,           // the platform took the waybill number
        AlreadyShipped, // the order was shipped before: by an earlier send or by hand
        Refused,        // the platform said no; reason says why
        Unreadable,     // no answer of this call; reason says what came
    };
    Outcome outcome = Unreadable;
    QString reason;
};

// Reads the gateway's answer to one offline send.
SendAnswer parseOfflineSendAnswer(const QByteArray& body);
