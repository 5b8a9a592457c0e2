// libFuzzer entry: any bytes as the shop gateway's answer to the order
// download.
#include "shop/tradesanswer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const TradesResult result = parseTradesAnswer(body);
    for (const OrderRecipient& order : result.orders)
        (void)order.columns();
    return 0;
}
