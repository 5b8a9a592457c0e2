#include "gui/book/claimedrows.h"

#include "base/dataerror.h"
#include "data/datamodule.h"
#include "data/rowclaims.h"

ClaimedRows::ClaimedRows(DataModule* dm, const QString& claimant, int leaseSeconds, QObject* parent)
    : QObject(parent), m_dm(dm), m_claimant(claimant)
{
    if (!m_dm->onServer())
        return;
    connect(&m_timer, &QTimer::timeout, this, &ClaimedRows::refresh);
    m_timer.start(leaseSeconds * 1000 / 4);
    refresh();
}

QString ClaimedRows::heldText(const QString& station)
{
    return QStringLiteral("正在由 %1 打印").arg(station);
}

void ClaimedRows::refresh()
{
    if (!m_dm->onServer())
        return;
    QHash<qint64, QString> stations;
    try {
        const QHash<qint64, QString> held =
            RowClaims::claimedByOthers(m_dm->database(), m_claimant);
        for (auto it = held.cbegin(); it != held.cend(); ++it)
            stations.insert(it.key(), RowClaims::stationOf(it.value()));
    } catch (const DataError&) {
        // The grid stays usable; the next refresh tries again.
    }
    if (stations == m_stations)
        return;
    m_stations = stations;
    Q_EMIT changed();
}
