#include "data/rowclaims.h"

#include "base/dataerror.h"
#include "data/configini.h"
#include "data/dataset.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QSysInfo>
#include <algorithm>
#include <iterator>

namespace
{

// ids as a PostgreSQL array literal, bound as one value.
QString idArray(const QVector<qint64>& ids)
{
    QStringList parts;
    parts.reserve(ids.size());
    for (qint64 id : ids)
        parts << QString::number(id);
    return QLatin1Char('{') + parts.join(QLatin1Char(',')) + QLatin1Char('}');
}

QSqlQuery run(const QSqlDatabase& db, const QString& sql, const QVariantList& values)
{
    QSqlQuery q(db);
    if (!q.prepare(sql))
        throw DataError(q.lastError().text());
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values.at(i));
    if (!q.exec())
        throw DataError(q.lastError().text());
    return q;
}

QVector<qint64> sortedIds(QSqlQuery& q)
{
    QVector<qint64> ids;
    while (q.next())
        ids << q.value(0).toLongLong();
    std::sort(ids.begin(), ids.end());
    return ids;
}

// A claim another station may not take: live and not its own.
const char* const kHeldByOther =
    "Claimed_Until > clock_timestamp() AND Claimed_By IS DISTINCT FROM ?";

// Claims through q, prepared at its first use and kept so: a job's
// batches are claimed by one statement the server plans once.
QVector<qint64> claimWith(QSqlQuery& q, const QString& station, const QVector<qint64>& ids,
                          int leaseSeconds, bool unprintedOnly, int limit, bool waitForDisk = true)
{
    if (ids.isEmpty())
        return {};
    // The bounds let the server walk the key's index over the few rows
    // asked for; with the list alone it reads the whole table each time.
    // The rows are picked once, before the update: as a subquery of it the
    // server may pick again and take more than the limit.
    const QString sql =
        QStringLiteral("WITH Picked AS MATERIALIZED (SELECT ID FROM Exp_Att_Info WHERE ID BETWEEN "
                       "? AND ? AND ID = ANY (CAST(? AS BIGINT[])) AND NOT COALESCE(%1, false) %2 "
                       "%4 %3 FOR UPDATE SKIP LOCKED) UPDATE Exp_Att_Info SET Claimed_By = ?, "
                       "Claimed_Until = clock_timestamp() + make_interval(secs => ?) FROM Picked "
                       "WHERE Exp_Att_Info.ID = Picked.ID RETURNING Exp_Att_Info.ID")
            .arg(QLatin1String(kHeldByOther),
                 unprintedOnly ? QStringLiteral("AND Printed_At IS NULL") : QString(),
                 limit < 0 ? QString() : QStringLiteral("ORDER BY ID LIMIT %1").arg(limit),
                 waitForDisk ? QString()
                             : QStringLiteral("AND (SELECT set_config('synchronous_commit', "
                                              "'off', true)) = 'off'"));
    if (q.lastQuery() != sql && !q.prepare(sql))
        throw DataError(q.lastError().text());
    const auto [lowest, highest] = std::minmax_element(ids.cbegin(), ids.cend());
    const QVariantList values{*lowest, *highest, idArray(ids), station, station, leaseSeconds};
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values.at(i));
    if (!q.exec())
        throw DataError(q.lastError().text());
    return sortedIds(q);
}

QString lostText()
{
    return QStringLiteral("本工作台对这些收件人的占用已过期，打印停止；没有交出的页不记为已打印。");
}

QString brokenText(const QString& reason)
{
    return QStringLiteral("与数据库服务器的连接中断，打印停止；没有交出的页不记为已打印。\n") +
           reason;
}

int wholeNumber(const QString& appDir, const ConfigIni::WholeNumber& range, int fallback)
{
    bool ok = false;
    const int value = ConfigIni::read(appDir, range.setting).trimmed().toInt(&ok);
    return ok && value >= range.minimum && value <= range.maximum ? value : fallback;
}

} // namespace

namespace RowClaims
{

QString stationName(const QString& appDir)
{
    const QString named = ConfigIni::read(appDir, ConfigIni::DatabaseStation).trimmed();
    return (named.isEmpty() ? QSysInfo::machineHostName() : named).left(64);
}

QString claimant(const QString& appDir)
{
    return stationName(appDir) + QLatin1Char('/') +
           QString::number(QCoreApplication::applicationPid()) + QLatin1Char('@') +
           QSysInfo::machineHostName();
}

QString stationOf(const QString& claimant)
{
    return claimant.section(QLatin1Char('/'), 0, -2);
}

int leaseSeconds(const QString& appDir)
{
    return wholeNumber(appDir, ConfigIni::DatabaseLeaseSecondsRange, kDefaultLeaseSeconds);
}

int claimRowsAtOnce(const QString& appDir)
{
    return wholeNumber(appDir, ConfigIni::DatabaseClaimRowsRange, kDefaultClaimRows);
}

QVector<qint64> claimUnprinted(const QSqlDatabase& db, const QString& station, int count,
                               int leaseSeconds)
{
    // The inner SELECT locks the rows it takes and skips those another
    // station is locking; a row claimed meanwhile is seen again, claimed.
    QSqlQuery q = run(
        db,
        QStringLiteral("UPDATE Exp_Att_Info SET Claimed_By = ?, Claimed_Until = "
                       "clock_timestamp() + make_interval(secs => ?) WHERE ID IN (SELECT ID FROM "
                       "Exp_Att_Info WHERE Printed_At IS NULL AND NOT COALESCE(%1, false) "
                       "ORDER BY ID LIMIT ? FOR UPDATE SKIP LOCKED) RETURNING ID")
            .arg(QLatin1String(kHeldByOther)),
        {station, leaseSeconds, station, count});
    return sortedIds(q);
}

QVector<qint64> claimRows(const QSqlDatabase& db, const QString& station,
                          const QVector<qint64>& ids, int leaseSeconds, bool unprintedOnly,
                          int limit)
{
    QSqlQuery q(db);
    return claimWith(q, station, ids, leaseSeconds, unprintedOnly, limit);
}

int renew(const QSqlDatabase& db, const QString& station, const QVector<qint64>& ids,
          int leaseSeconds)
{
    QSqlQuery q = run(db,
                      QStringLiteral("UPDATE Exp_Att_Info SET Claimed_Until = clock_timestamp() + "
                                     "make_interval(secs => ?) WHERE Claimed_By = ? AND "
                                     "Claimed_Until > clock_timestamp() AND ID = ANY (CAST(? AS "
                                     "BIGINT[]))"),
                      {leaseSeconds, station, idArray(ids)});
    return q.numRowsAffected();
}

void release(const QSqlDatabase& db, const QString& station, const QVector<qint64>& ids)
{
    run(db,
        QStringLiteral("UPDATE Exp_Att_Info SET Claimed_By = NULL, Claimed_Until = NULL "
                       "WHERE Claimed_By = ? AND ID = ANY (CAST(? AS BIGINT[]))"),
        {station, idArray(ids)});
}

QHash<qint64, QString> claimedByOthers(const QSqlDatabase& db, const QString& station,
                                       const QVector<qint64>& ids)
{
    QSqlQuery q = run(db,
                      QStringLiteral("SELECT ID, Claimed_By FROM Exp_Att_Info WHERE ID = ANY "
                                     "(CAST(? AS BIGINT[])) AND %1")
                          .arg(QLatin1String(kHeldByOther)),
                      {idArray(ids), station});
    QHash<qint64, QString> held;
    while (q.next())
        held.insert(q.value(0).toLongLong(), q.value(1).toString());
    return held;
}

QHash<qint64, QString> claimedByOthers(const QSqlDatabase& db, const QString& station)
{
    QSqlQuery q = run(db,
                      QStringLiteral("SELECT ID, Claimed_By FROM Exp_Att_Info WHERE %1")
                          .arg(QLatin1String(kHeldByOther)),
                      {station});
    QHash<qint64, QString> held;
    while (q.next())
        held.insert(q.value(0).toLongLong(), q.value(1).toString());
    return held;
}

QStringList TakenElsewhere::stations() const
{
    QStringList names;
    for (const QString& claimant : claimed)
        names << stationOf(claimant);
    names.sort();
    names.removeDuplicates();
    return names;
}

TakenElsewhere takenElsewhere(const QSqlDatabase& db, const QString& station,
                              const QVector<qint64>& ids)
{
    // A row printed and claimed again (a reprint on its way) counts as claimed.
    QSqlQuery q = run(db,
                      QStringLiteral("SELECT ID, CASE WHEN %1 THEN Claimed_By END FROM "
                                     "Exp_Att_Info WHERE ID = ANY (CAST(? AS BIGINT[])) AND "
                                     "(COALESCE(%1, false) OR Printed_At IS NOT NULL OR "
                                     "COALESCE(Print_Count, 0) > 0) ORDER BY ID")
                          .arg(QLatin1String(kHeldByOther)),
                      {station, idArray(ids), station});
    TakenElsewhere taken;
    while (q.next()) {
        if (q.isNull(1))
            taken.printed << q.value(0).toLongLong();
        else
            taken.claimed.insert(q.value(0).toLongLong(), q.value(1).toString());
    }
    return taken;
}

Keeper::Keeper(const QSqlDatabase& db, const QString& station, const QVector<qint64>& ids,
               int leaseSeconds, Prompt::Progress* inner)
    : m_db(db), m_station(station), m_ids(ids), m_lease(leaseSeconds), m_inner(inner)
{
    m_sinceRenewal.start();
}

Keeper::~Keeper()
{
    try {
        release(m_db, m_station, m_ids);
    } catch (const DataError&) {
        // The server is gone: the claims expire by themselves.
    }
}

void Keeper::add(const QVector<qint64>& ids)
{
    m_ids += ids;
}

bool Keeper::setValue(int value)
{
    if (m_lost.isEmpty() && m_sinceRenewal.elapsed() >= qint64(m_lease) * 1000 / 3)
        confirm();
    if (!m_lost.isEmpty())
        return false;
    return !m_inner || m_inner->setValue(value);
}

bool Keeper::check()
{
    if (m_lost.isEmpty()) {
        try {
            QSqlQuery q = run(m_db,
                              QStringLiteral("SELECT count(*) FROM Exp_Att_Info WHERE Claimed_By = "
                                             "? AND Claimed_Until > clock_timestamp() AND ID = ANY "
                                             "(CAST(? AS BIGINT[]))"),
                              {m_station, idArray(m_ids)});
            if (!q.next() || q.value(0).toInt() < m_ids.size())
                m_lost = lostText();
        } catch (const DataError& e) {
            m_lost = brokenText(e.message());
        }
    }
    return m_lost.isEmpty();
}

bool Keeper::confirm()
{
    if (m_lost.isEmpty()) {
        try {
            if (renew(m_db, m_station, m_ids, m_lease) < m_ids.size())
                m_lost = lostText();
        } catch (const DataError& e) {
            m_lost = brokenText(e.message());
        }
        m_sinceRenewal.restart();
    }
    return m_lost.isEmpty();
}

bool Keeper::wasCanceled() const
{
    return !m_lost.isEmpty() || (m_inner && m_inner->wasCanceled());
}

void Keeper::setLabelText(const QString& text)
{
    if (m_inner)
        m_inner->setLabelText(text);
}

Batches::Batches(const QSqlDatabase& db, Dataset* att, const QVector<int>& rows,
                 const QString& station, int leaseSeconds, int size, bool unprintedOnly,
                 Prompt::Progress* inner)
    : m_db(db), m_att(att), m_station(station), m_lease(leaseSeconds), m_size(qMax(1, size)),
      m_unprintedOnly(unprintedOnly), m_claim(db), m_keeper(db, station, {}, leaseSeconds, inner)
{
    m_left = att->rowIds(rows);
    std::sort(m_left.begin(), m_left.end());
}

QVector<int> Batches::next()
{
    QVector<int> rows;
    while (rows.isEmpty() && m_next < m_left.size()) {
        // A few batches' worth of IDs at a time: the server plans and
        // checks a short list fast, a list of the whole job slowly.
        const QVector<qint64> window = m_left.mid(m_next, m_size * 4);
        const QVector<qint64> taken =
            claimWith(m_claim, m_station, window, m_lease, m_unprintedOnly, m_size, false);
        // Rows of the window before the last one taken were held by others
        // or printed; those after it are asked for next time.
        if (taken.size() < m_size)
            m_next += window.size();
        else
            m_next = int(std::upper_bound(m_left.cbegin(), m_left.cend(), taken.last()) -
                         m_left.cbegin());
        m_keeper.add(taken);
        for (qint64 id : taken) {
            const int row = m_att->rowOf(id);
            if (row >= 0) // gone from the table since it was asked for
                rows << row;
        }
    }
    // The claims did not wait for the server's disk (most of their cost):
    // one that a crash of the server lost is found here, before the job
    // is handed over; the job's pending record, written next, waits for
    // the disk and with it for every claim before it.
    if (rows.isEmpty() && !m_keeper.check())
        throw DataError::refusal(m_keeper.lostReason());
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace RowClaims
