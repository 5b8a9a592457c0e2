#pragma once

#include "shop/shopmessages.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// One order's receiver as the recipient row it becomes. Members are named
// after the columns of Exp_Att_Info; the receiver's city feeds both the
// destination and the city.
struct OrderRecipient {
    QString name;        // Name        <- receiver_name
    QString address;     // Address     <- receiver_address
    QString mobile;      // Mobile      <- receiver_mobile
    QString phone;       // Phone       <- receiver_phone
    QString disrination; // Disrination <- receiver_city
    QString prvince;     // Prvince     <- receiver_state
    QString city;        // City        <- receiver_city
    QString country;     // Country     <- receiver_district
    QString postCode;    // PostCode    <- receiver_zip
    QStringList tids;    // Order_No    <- tid (more than one once merged)
    QString buyerNick;   // not stored: tells buyers apart when merging

    // (column, value) in the order the row is filled.
    QList<std::pair<QString, QString>> columns() const;

    bool operator==(const OrderRecipient& o) const { return columns() == o.columns(); }
};

// Orders of one buyer to one receiver (name, numbers, regions and address
// all equal) become one, in the place of the first, with every order
// number; the others keep their order. Orders without a number stay apart.
QList<OrderRecipient> mergeSameReceiver(const QList<OrderRecipient>& orders);

class AddressParser;

// Orders whose province, city and district are missing or not the region
// tables' names (shops send "浙江", "杭州") get them from the parser, when it
// is sure of the whole address (regions and receiver_address read as one
// text); the address itself is kept as the shop sent it. Returns how many
// orders were completed.
int completeRegions(QList<OrderRecipient>* orders, const AddressParser& parser);

struct TradesResult {
    enum Outcome {
        Orders,    // orders to replace the recipient table with (possibly none)
        NoOrders,  // nothing to download; the recipients stay
        ShopError, // the platform refused the call
        Failed,    // no usable answer: network failure, time-out, cancel, bad XML
    };

    Outcome outcome = Failed;
    // What to tell the user. For Orders it is the completion message, to be
    // shown once the recipient table holds the orders.
    QString message;
    QList<OrderRecipient> orders;
    // The answer's total_results: the orders of all pages together.
    qint64 totalResults = 0;
};

// Reads a gateway answer to taobao.trades.sold.get, decoding it by the
// encoding its XML declaration names.
TradesResult parseTradesAnswer(const QByteArray& body);
