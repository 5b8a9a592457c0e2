// The recipient grid over 100,000 rows: opening recipients and its grid model
// (what the program does at start and after every reread) against reading
// every value of the same rows with a bare forward-only query, in the same
// run on the same file. Also the first paint of a grid showing the model.

#include "book/recipientrows.h"
#include "data/datamodule.h"
#include "data/datasetmodel.h"
#include "gui/book/recipientpage.h"
#include "templates/newdatabase.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace
{

const int kRows = 100000;

// The best of three runs, in milliseconds: the machine is shared.
double timed(const std::function<void()>& work)
{
    double best = 0;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        best = run == 0 ? ms : std::min(best, ms);
    }
    return best;
}

const QVector<DatasetModel::Column>& gridColumns()
{
    return RecipientPage::gridColumns();
}

RecipientRows::Values rowValues(int i)
{
    return {{QStringLiteral("Name"), QStringLiteral("收件人%1").arg(i)},
            {QStringLiteral("Company"), QStringLiteral("某某贸易有限公司%1").arg(i % 977)},
            {QStringLiteral("Address"),
             QStringLiteral("北京市海淀区中关村大街%1号院%2楼").arg(i % 1000).arg(i % 37)},
            {QStringLiteral("Mobile"), QString::number(13800000000LL + i)},
            {QStringLiteral("Phone"), QStringLiteral("%1   ").arg(60000000 + i)},
            {QStringLiteral("Disrination"), QStringLiteral("北京市")},
            {QStringLiteral("Prvince"), QStringLiteral("北京市")},
            {QStringLiteral("City"), QStringLiteral("北京市")},
            {QStringLiteral("Country"), QStringLiteral("海淀区")},
            {QStringLiteral("PostCode"), QString::number(100000 + i % 900)},
            {QStringLiteral("Custom1"), QStringLiteral("备注%1").arg(i % 13)},
            {QStringLiteral("WayBillNo"), QString::number(1000000000LL + i)}};
}

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
        dm.recipients->open();
        // Filled the way the import fills it: the shared append rule, one
        // transaction.
        QElapsedTimer fill;
        fill.start();
        RecipientRows rows(dm.recipients);
        rows.inTransaction([&] {
            for (int i = 0; i < kRows; ++i)
                rows.append(rowValues(i));
        });
        std::printf("rows: %d (appended through RecipientRows in one transaction: %.0f ms)\n",
                    dm.recipients->recordCount(), double(fill.nsecsElapsed()) / 1e6);
    } catch (const DataError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }

    Dataset* att = dm.recipients;
    qint64 seen = 0;
    const double dataset = timed([&] {
        att->close();
        att->open();
        DatasetModel model(att, gridColumns());
        seen = model.rowCount();
    });

    qint64 bareRows = 0;
    const double bare = timed([&] {
        QSqlQuery q(dm.database());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT rowid, * FROM Exp_Att_Info ORDER BY rowid"))) {
            std::fprintf(stderr, "%s\n", qPrintable(q.lastError().text()));
            std::exit(1);
        }
        const int n = q.record().count();
        bareRows = 0;
        while (q.next()) {
            for (int i = 0; i < n; ++i)
                q.value(i);
            ++bareRows;
        }
    });

    // The grid as the recipient tab sets it up, shown and painted once.
    DatasetModel model(att, gridColumns());
    const double shown = timed([&] {
        QTableView view;
        view.verticalHeader()->setDefaultSectionSize(20);
        view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view.resize(889, 426);
        view.setModel(&model);
        for (int i = 0; i < gridColumns().size(); ++i)
            view.setColumnWidth(i, gridColumns().at(i).width);
        view.grab();
    });

    std::printf("open recipients + DatasetModel (%lld rows): %8.1f ms\n", seen, dataset);
    std::printf("bare QSqlQuery, every value (%lld rows): %8.1f ms\n", bareRows, bare);
    std::printf("ratio dataset / bare query:            %8.2f\n", dataset / bare);
    std::printf("grid shown (QTableView, first paint):  %8.1f ms\n", shown);
    dm.closeDatabase();
    return 0;
}
