// Batch printing to PDF against its floor: a bare QPdfWriter loop that draws
// the same 26 texts at the same places on the same number of pages; and
// 10,000 waybills with long addresses fitted into their boxes against the
// same drawn on one line.
#include "base/session.h"
#include "data/datamodule.h"
#include "data/headerguard.h"
#include "data/transaction.h"
#include "freshdatabase.h"
#include "print/batchprint.h"
#include "print/printerpaper.h"
#include "print/printerstore.h"
#include "print/printgeometry.h"
#include "print/printjournal.h"
#include "print/printlog.h"
#include "print/recordrenderer.h"
#include "templates/fieldcatalogue.h"
#include "templates/fieldfitstore.h"
#include "templates/pagesize.h"
#include "templates/templatestore.h"
#include "tempworkdir.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSqlQuery>
#include <cstdio>

namespace
{

long peakRssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

long currentRssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// Lets VmHWM measure the peak of what follows only.
void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

void fill(DataModule& dm, int rows, bool longAddress = false)
{
    QSqlQuery q(dm.database());
    q.exec(QStringLiteral("DELETE FROM Exp_Att_Info"));
    q.exec(QStringLiteral("DELETE FROM Exp_Send_info"));
    q.exec(QStringLiteral("INSERT INTO Exp_Send_info (Name, Company, Address, Mobile, Phone, "
                          "Contents, PostCode, Prvince, City, Country, Departure) VALUES "
                          "('王小明','小店','杭州市西湖区文三路100号','13800000000','0571-8888888',"
                          "'衣服','310000','浙江省','杭州市','西湖区','杭州')"));
    Transaction tx(dm.database());
    q.prepare(QStringLiteral("INSERT INTO Exp_Att_Info (Name, Company, Address, Mobile, Phone, "
                             "Disrination, PostCode, Prvince, City, Country, Custom1) "
                             "VALUES (?,?,?,?,?,?,?,?,?,?,?)"));
    for (int i = 0; i < rows; ++i) {
        q.bindValue(0, QStringLiteral("收件人%1").arg(i));
        q.bindValue(1, QStringLiteral("公司%1").arg(i));
        q.bindValue(2, longAddress
                           ? QStringLiteral("北京市朝阳区建国路%1号国贸大厦写字楼B座二十八层"
                                            "二八零六室（请于工作日九点至十八点送达前台代收）")
                                 .arg(i)
                           : QStringLiteral("北京市朝阳区建国路%1号").arg(i));
        q.bindValue(3, QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0')));
        q.bindValue(4, QStringLiteral("010-6%1").arg(i, 7, 10, QLatin1Char('0')));
        q.bindValue(5, QStringLiteral("北京"));
        q.bindValue(6, QStringLiteral("100000"));
        q.bindValue(7, QStringLiteral("北京市"));
        q.bindValue(8, QStringLiteral("北京市"));
        q.bindValue(9, QStringLiteral("朝阳区"));
        q.bindValue(10, QStringLiteral("备注%1").arg(i));
        q.exec();
    }
    tx.commit();
    dm.recipients->refresh();
    dm.sender->refresh();
}

double batch(DataModule& dm, const Session& session, const QString& file)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    applyPaperSize(&printer, 2300, 1270);
    PrinterStore::usePageCorner(&printer);
    QElapsedTimer t;
    t.start();
    const BatchPrint::Result r =
        BatchPrint::printAll(&printer, &dm, StoredPositions(dm.templates), session);
    const double ms = t.nsecsElapsed() / 1e6;
    if (!r.ok)
        std::fprintf(stderr, "batch failed: %s\n", qPrintable(r.message));
    return ms;
}

// The floor: the same texts at the same device places, with nothing else.
double floorLoop(DataModule& dm, const Session& session, const QString& file)
{
    Dataset* att = dm.recipients;
    Dataset* send = dm.sender;
    // What the batch draws, read up front so the loop only paints.
    QVector<QPoint> places;
    QVector<const FieldInfo*> fields;
    const StoredPositions positions(dm.templates);
    for (const FieldInfo* f : RecordRenderer::drawingOrder()) {
        fields << f;
        places << positions.designOffset(*f);
    }
    QElapsedTimer t;
    t.start();
    QPdfWriter writer(file);
    writer.setResolution(1200);
    writer.setPageSize(
        QPageSize(QSizeF(230, 127), QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter p(&writer);
    p.setFont(session.printFont());
    const qreal ascent = QFontMetricsF(p.font(), &writer).ascent();
    const int sendRow = 0;
    for (int row = 0; row < att->recordCount(); ++row) {
        if (row)
            writer.newPage();
        for (int i = 0; i < fields.size(); ++i) {
            Dataset* ds = fields[i]->isSender() ? send : att;
            const int field = ds->fieldIndex(fields[i]->column);
            const QString text = ds->cellText(ds == send ? sendRow : row, field);
            if (text.isEmpty())
                continue;
            const QPoint d = PrintGeometry::devicePoint(places[i], 1200, 1200);
            p.drawText(QPointF(d.x(), d.y() + ascent), text);
        }
    }
    p.end();
    return t.nsecsElapsed() / 1e6;
}

// What a completed job adds: writing it down as pending, then marking every
// row and the log line in one transaction, then rereading the recipient
// table.
double marking(DataModule& dm)
{
    PrintLog::Entry entry;
    entry.model = QStringLiteral("通用快递单");
    entry.target = QStringLiteral("batch.pdf");
    entry.pages = dm.recipients->recordCount();
    for (int row = 0; row < dm.recipients->recordCount(); ++row)
        entry.rowIds << dm.recipients->rowId(row);
    QElapsedTimer t;
    t.start();
    const qint64 pending = PrintJournal::writePending(dm.database(), entry, QString(), QString(),
                                                      QDateTime::currentDateTime());
    PrintJournal::settle(dm.database(), pending);
    dm.recipients->refresh();
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    TempWorkDir tmp;
    makeFreshAppDir(tmp.path());
    restoreHeader(QStringLiteral("Waylark_main.db"));
    DataModule dm;
    Session session;
    dm.connectDatabase();
    dm.openAll();
    TemplateStore::findByName(dm.templates, QStringLiteral("通用快递单"));

    std::printf("%8s %10s %10s %7s %22s %9s %8s\n", "rows", "batch ms", "floor ms", "ratio",
                "batch peak - before kB", "mark ms", "mark %");
    for (int rows : {1000, 10000}) {
        fill(dm, rows);
        TemplateStore::findByName(dm.templates, QStringLiteral("通用快递单"));
        const double f = floorLoop(dm, session, QStringLiteral("floor.pdf"));
        const long before = currentRssKb();
        resetPeak();
        const double b = batch(dm, session, QStringLiteral("batch.pdf"));
        const long peak = peakRssKb() - before;
        // The batch above already marked its rows; this repeats that step alone.
        const double m = marking(dm);
        std::printf("%8d %10.0f %10.0f %7.2f %22ld %9.0f %7.1f%%\n", rows, b, f, b / f, peak, m,
                    100.0 * m / (b - m));
    }

    // Fitting: the two addresses wrapped into boxes two lines high.
    session.currentTemplate = QStringLiteral("通用快递单");
    fill(dm, 10000, true);
    TemplateStore::findByName(dm.templates, QStringLiteral("通用快递单"));
    auto fitAddresses = [&](bool on) {
        for (const char* key : {"A_Address", "S_Address"}) {
            FieldFitStore::setFit(dm.database(), session.currentTemplate, key, on);
            FieldFitStore::setHeight(dm.database(), session.currentTemplate, key, 40);
        }
    };
    fitAddresses(false);
    const double oneLine = batch(dm, session, QStringLiteral("oneline.pdf"));
    fitAddresses(true);
    const double fitted = batch(dm, session, QStringLiteral("fitted.pdf"));
    std::printf("\n%8s %12s %10s %7s\n", "rows", "one line ms", "fitted ms", "ratio");
    std::printf("%8d %12.0f %10.0f %7.2f\n", 10000, oneLine, fitted, fitted / oneLine);
    return 0;
}
