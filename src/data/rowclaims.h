#pragma once

#include "base/prompt.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVector>

class Dataset;

// A station's claim on the recipient rows it prints, on a server several
// stations share: two stations never take the same unprinted row. A claim
// lasts a lease (renewed while the job runs); a station that dies leaves
// its claims to expire and the rows go back to the pool. Each call is one
// statement and throws DataError.
namespace RowClaims
{

constexpr int kDefaultLeaseSeconds = 120;
// Small enough that a station starting later still finds rows, large
// enough that a claim costs little per page.
constexpr int kDefaultClaimRows = 50;

// The name other stations see this one by: [Database] Station= of
// config.ini in appDir, else the host name.
QString stationName(const QString& appDir);
// Who claims rows in this process: the station's name, then "/", the
// process id and host, so that two runs on one station are two claimants.
QString claimant(const QString& appDir);
// The station's name in a claimant.
QString stationOf(const QString& claimant);
// [Database] LeaseSeconds= of config.ini in appDir, else the default.
int leaseSeconds(const QString& appDir);
// [Database] ClaimRows= of config.ini in appDir, else the default.
int claimRowsAtOnce(const QString& appDir);

// Up to `count` unprinted rows that no other station holds a live claim on
// (the rows this station claimed before included), claimed for station for
// leaseSeconds, by ID in ascending order. Rows another station is taking
// at the same moment are skipped, never waited for.
QVector<qint64> claimUnprinted(const QSqlDatabase& db, const QString& station, int count,
                               int leaseSeconds);
// The rows of ids that station could claim (free, expired or its own; with
// unprintedOnly, not printed either), claimed, at most limit of them (the
// lowest IDs) when limit is not negative; the others are left as they are.
// By ID in ascending order.
QVector<qint64> claimRows(const QSqlDatabase& db, const QString& station,
                          const QVector<qint64>& ids, int leaseSeconds, bool unprintedOnly = false,
                          int limit = -1);
// Extends station's live claims on ids; returns how many it still holds.
int renew(const QSqlDatabase& db, const QString& station, const QVector<qint64>& ids,
          int leaseSeconds);
// Gives station's claims on ids back to the pool.
void release(const QSqlDatabase& db, const QString& station, const QVector<qint64>& ids);
// The rows of ids another station holds a live claim on, with its name.
QHash<qint64, QString> claimedByOthers(const QSqlDatabase& db, const QString& station,
                                       const QVector<qint64>& ids);
// Every row another station holds a live claim on, with its name.
QHash<qint64, QString> claimedByOthers(const QSqlDatabase& db, const QString& station);
// The rows of ids another station is printing or that are printed already
// (as the server has them now): what to ask about before printing them.
struct TakenElsewhere {
    QHash<qint64, QString> claimed; // by the claimant holding it
    QVector<qint64> printed;        // ascending
    bool isEmpty() const { return claimed.isEmpty() && printed.isEmpty(); }
    bool contains(qint64 id) const { return claimed.contains(id) || printed.contains(id); }
    // The names of the stations claiming them, sorted, each once.
    QStringList stations() const;
};
TakenElsewhere takenElsewhere(const QSqlDatabase& db, const QString& station,
                              const QVector<qint64>& ids);

// Holds a station's claim on the rows of one print job: the job reports
// its pages here and the claim is renewed when a third of the lease has
// passed; when the claim is lost or the server is gone the job stops at
// that page. At its end the claims left are given back.
class Keeper : public Prompt::Progress
{
public:
    Keeper(const QSqlDatabase& db, const QString& station, const QVector<qint64>& ids,
           int leaseSeconds, Prompt::Progress* inner = nullptr);
    ~Keeper() override;
    Keeper(const Keeper&) = delete;
    Keeper& operator=(const Keeper&) = delete;

    // Holds ids too, from now on.
    void add(const QVector<qint64>& ids);

    // Renews the claims now; false when one is lost (see lostReason()).
    bool confirm();
    // Whether every claim is still held, without renewing them; false
    // when one is lost (see lostReason()).
    bool check();

    bool setValue(int value) override;
    bool wasCanceled() const override;
    void setLabelText(const QString& text) override;
    // Why the job was stopped, empty while the claim holds.
    QString lostReason() const { return m_lost; }

private:
    QSqlDatabase m_db;
    QString m_station;
    QVector<qint64> m_ids;
    int m_lease;
    Prompt::Progress* m_inner;
    QElapsedTimer m_sinceRenewal;
    QString m_lost;
};

// The rows of one job taken a batch at a time, so that stations printing
// at once share them: each next() claims up to `size` more of the rows
// asked for that no other station holds (with unprintedOnly, that are not
// printed either), and the job's Keeper holds them with those taken before.
class Batches
{
public:
    // rows: 0-based rows of att, those the job may print.
    Batches(const QSqlDatabase& db, Dataset* att, const QVector<int>& rows, const QString& station,
            int leaseSeconds, int size, bool unprintedOnly, Prompt::Progress* inner = nullptr);

    // The next batch, 0-based rows in ascending order; empty when none is
    // left. Throws DataError.
    QVector<int> next();
    // The job's progress: renews every claim taken so far.
    Keeper* keeper() { return &m_keeper; }

private:
    QSqlDatabase m_db;
    Dataset* m_att;
    QString m_station;
    int m_lease;
    int m_size;
    bool m_unprintedOnly;
    QVector<qint64> m_left; // asked for, ascending
    int m_next = 0;         // the first of m_left not yet asked for
    QSqlQuery m_claim;
    Keeper m_keeper;
};

} // namespace RowClaims
