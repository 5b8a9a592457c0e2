// Numbering 100,000 recipient rows (an SF series, the costliest rule) through
// the program's write path, numberRecipients: the series planned up front,
// then every row changed through RecipientRows in one transaction. Against,
// in the same run on the same file:
// - a bare prepared UPDATE of the same two columns of the same rows through
//   Qt SQL in one transaction, the numbers computed beforehand;
// - the same loop on SQLite's C interface, when its headers were found;
// - and, for reference, the write path while the design surface's 26 field
//   edits are bound to the recipient and sender rows, as in the main window.
// The cases take turns, five rounds, and each keeps its best time: the
// machine is shared. Prints each time and the ratios.

#include "base/session.h"
#include "book/recipientrows.h"
#include "data/datamodule.h"
#include "gui/templates/designsurface.h"
#include "templates/newdatabase.h"
#include "waybill/waybillplan.h"
#include "waybill/waybillwriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#ifdef WAYLARK_BENCH_SQLITE3
#include <sqlite3.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <memory>

namespace
{

const int kRows = 100000;
const int kRounds = 5;

void failIf(bool failed, const QString& why)
{
    if (failed) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        std::exit(1);
    }
}

RecipientRows::Values rowValues(int i)
{
    return {{QStringLiteral("Name"), QStringLiteral("收件人%1").arg(i)},
            {QStringLiteral("Company"), QStringLiteral("某某贸易有限公司%1").arg(i % 977)},
            {QStringLiteral("Address"),
             QStringLiteral("北京市海淀区中关村大街%1号院%2楼").arg(i % 1000).arg(i % 37)},
            {QStringLiteral("Mobile"), QString::number(13800000000LL + i)},
            {QStringLiteral("Prvince"), QStringLiteral("北京市")},
            {QStringLiteral("City"), QStringLiteral("北京市")},
            {QStringLiteral("Country"), QStringLiteral("海淀区")},
            {QStringLiteral("PostCode"), QString::number(100000 + i % 900)}};
}

const WaybillRequest kRequest{QStringLiteral("顺丰速运"), QStringLiteral("123456789012"),
                              QStringLiteral("1"),        true,
                              QStringLiteral("SF"),       QString()};

struct Case {
    const char* label;
    std::function<void()> run;
    std::function<void()> before = [] {}; // not timed
    double best = std::numeric_limits<double>::max();
};

class Bench
{
public:
    explicit Bench(DataModule* dm) : m_dm(dm), m_plan(planWaybills(kRequest, kRows))
    {
        failIf(!m_plan.ok, m_plan.message);
        for (int i = 0; i < kRows; ++i)
            m_rowids << dm->recipients->rowId(i);
    }

    void program() const
    {
        const WaybillPlan plan = numberRecipients(m_dm->recipients, kRequest);
        failIf(!plan.ok, plan.message);
    }

    void planOnly() const { planWaybills(kRequest, kRows); }

    void bareQt() const
    {
        QSqlDatabase d = m_dm->database();
        failIf(!d.transaction(), d.lastError().text());
        QSqlQuery q(d);
        failIf(!q.prepare(QStringLiteral(
                   "UPDATE Exp_Att_Info SET ExpName = ?, WayBillNo = ? WHERE rowid = ?")),
               q.lastError().text());
        for (int i = 0; i < kRows; ++i) {
            q.bindValue(0, m_plan.expName);
            q.bindValue(1, m_plan.numbers.at(i));
            q.bindValue(2, m_rowids.at(i));
            failIf(!q.exec(), q.lastError().text());
        }
        q.finish();
        failIf(!d.commit(), d.lastError().text());
    }

#ifdef WAYLARK_BENCH_SQLITE3
    void bareC() const
    {
        const QVariant handle = m_dm->database().driver()->handle();
        failIf(qstrcmp(handle.typeName(), "sqlite3*") != 0, QStringLiteral("no sqlite3 handle"));
        sqlite3* h = *static_cast<sqlite3* const*>(handle.data());
        const auto check = [h](bool ok) { failIf(!ok, QString::fromUtf8(sqlite3_errmsg(h))); };
        check(sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        check(sqlite3_prepare_v2(h,
                                 "UPDATE Exp_Att_Info SET ExpName = ?1, WayBillNo = ?2 "
                                 "WHERE rowid = ?3",
                                 -1, &st, nullptr) == SQLITE_OK);
        const QString& expName = m_plan.expName;
        for (int i = 0; i < kRows; ++i) {
            const QString& number = m_plan.numbers.at(i);
            sqlite3_bind_text16(st, 1, expName.utf16(), int(expName.size() * 2), SQLITE_STATIC);
            sqlite3_bind_text16(st, 2, number.utf16(), int(number.size() * 2), SQLITE_STATIC);
            sqlite3_bind_int64(st, 3, m_rowids.at(i));
            check(sqlite3_step(st) == SQLITE_DONE);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        check(sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK);
    }
#endif

    // Empties both columns, so that every case writes the same changes.
    void clear() const
    {
        QSqlQuery q(m_dm->database());
        failIf(!q.exec(QStringLiteral("UPDATE Exp_Att_Info SET ExpName = '', WayBillNo = ''")),
               q.lastError().text());
        m_dm->recipients->refresh();
    }

    // Every case must have written the planned numbers.
    void check(const char* label) const
    {
        QStringList numbers;
        QSqlQuery q(m_dm->database());
        q.setForwardOnly(true);
        failIf(!q.exec(QStringLiteral("SELECT WayBillNo FROM Exp_Att_Info ORDER BY rowid")),
               q.lastError().text());
        while (q.next())
            numbers << q.value(0).toString();
        failIf(numbers != m_plan.numbers, QStringLiteral("%1 wrote other numbers").arg(label));
    }

private:
    DataModule* m_dm;
    WaybillPlan m_plan;
    QVector<qint64> m_rowids;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("Waylark_main.db"));
    DataModule dm;
    try {
        NewDatabase::createDatabase(db);
        dm.connectDatabase(db);
        dm.openAll();
        RecipientRows rows(dm.recipients);
        rows.inTransaction([&] {
            for (int i = 0; i < kRows; ++i)
                rows.append(rowValues(i));
        });
    } catch (const DataError& e) {
        failIf(true, e.message());
    }
    std::printf("rows: %d\n", dm.recipients->recordCount());

    Bench bench(&dm);
    // The main window binds the design surface's field edits to these rows;
    // the surface is bound for its own case only.
    std::unique_ptr<DesignSurface> surface;
    Session session;
    QList<Case> cases = {
        {"plan alone", [&] { bench.planOnly(); }},
        {"numberRecipients", [&] { bench.program(); }},
        {"bare Qt SQL loop", [&] { bench.bareQt(); }},
#ifdef WAYLARK_BENCH_SQLITE3
        {"bare SQLite C loop", [&] { bench.bareC(); }},
#endif
        {"numberRecipients, surface bound", [&] { bench.program(); },
         [&] {
             surface = std::make_unique<DesignSurface>();
             surface->bindData(&dm, &session);
         }},
    };
    // "--profile": the write path alone, for a profiler.
    if (app.arguments().contains(QStringLiteral("--profile")))
        cases = {cases.at(1)};
    try {
        for (int round = 0; round < kRounds; ++round) {
            for (Case& c : cases) {
                bench.clear();
                c.before();
                QElapsedTimer timer;
                timer.start();
                c.run();
                c.best = std::min(c.best, double(timer.nsecsElapsed()) / 1e6);
                surface.reset();
                if (qstrcmp(c.label, "plan alone") != 0)
                    bench.check(c.label);
            }
        }
    } catch (const DataError& e) {
        failIf(true, e.message());
    }

    if (cases.size() == 1) {
        std::printf("%-34s %8.1f ms\n", cases.at(0).label, cases.at(0).best);
        return 0;
    }
    const double program = cases.at(1).best;
    const double bareQt = cases.at(2).best;
    for (const Case& c : std::as_const(cases)) {
        std::printf("%-34s %8.1f ms", c.label, c.best);
        if (qstrcmp(c.label, "numberRecipients") == 0)
            std::printf("   %5.2f × bare Qt SQL", program / bareQt);
        else if (qstrcmp(c.label, "bare SQLite C loop") == 0)
            std::printf("   numberRecipients is %5.2f × this", program / c.best);
        else if (qstrcmp(c.label, "numberRecipients, surface bound") == 0)
            std::printf("   %5.2f × bare Qt SQL", c.best / bareQt);
        std::printf("\n");
    }
    dm.closeDatabase();
    return 0;
}
