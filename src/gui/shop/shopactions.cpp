#include "gui/shop/shopactions.h"

#include "base/prompt.h"
#include "base/session.h"
#include "shop/shopdownload.h"
#include "shop/shopmessages.h"

#include <QStringList>

namespace ShopActions
{

void downloadOrders(DataModule* dm, const Session& session)
{
    fetchOrders(dm, session);
}

void shipWaybills(DataModule* dm, const Session& session, const ShipOptions& options)
{
    for (;;) {
        const ShipRun run = shipDue(dm, session, session.currentTemplate, options);
        if (run.refused || run.results.isEmpty())
            return;
        QStringList failures;
        int sent = 0;
        for (const ShipResult& r : run.results) {
            if (r.sent)
                ++sent;
            else
                failures << QStringLiteral("%1  %2").arg(r.order.tid, r.reason);
        }
        if (failures.isEmpty()) {
            prompt().message(QString::fromUtf8(ShopText::ShipAllDone).arg(sent));
            return;
        }
        const QString list =
            QString::fromUtf8(ShopText::ShipSomeFailed).arg(sent).arg(failures.size()) +
            QLatin1Char('\n') + failures.join(QLatin1Char('\n'));
        const QString question =
            list + QStringLiteral("\n\n") +
            QString::fromUtf8(ShopText::ShipRetryQuestion).arg(failures.size());
        if (prompt().question(question, QStringLiteral("提示"), true, Prompt::Button::No) !=
            Prompt::Button::Yes)
            return;
    }
}

} // namespace ShopActions
