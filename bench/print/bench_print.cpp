// Batch printing to PDF against its floor: a bare QPdfWriter loop that draws
// the same 26 texts at the same places on the same number of pages; and
// 10,000 waybills with long addresses fitted into their boxes against the
// same drawn on one line.
//
// For whole-process figures the same program also makes the inputs and
// plays the floor:
//   bench_print prepare DIR ROWS [fit]   a database of ROWS recipients in DIR
//       with a template of 10 one-line fields (fit: the two addresses long
//       and fitted into boxes two lines high), and DIR/floor.txt, every text
//       as the batch draws it: page, baseline, font and text
//   bench_print floor DIR PDF [plain]    draws DIR/floor.txt into PDF with a
//       bare QPdfWriter loop, the heap held as a job holds it (plain: the C
//       library's defaults)
// then, in DIR, `waylark print --pdf out.pdf --model 通用快递单` against
// `bench_print floor DIR floor.pdf`.
#include "base/session.h"
#include "data/datamodule.h"
#include "data/headerguard.h"
#include "data/transaction.h"
#include "freshdatabase.h"
#include "print/batchprint.h"
#include "print/pageheap.h"
#include "print/printerpaper.h"
#include "print/printerstore.h"
#include "print/printjournal.h"
#include "render/printfonts.h"
#include "render/printgeometry.h"
#include "render/printlog.h"
#include "render/recordrenderer.h"
#include "templates/fieldcatalogue.h"
#include "templates/fieldfitstore.h"
#include "templates/pagesize.h"
#include "templates/templaterows.h"
#include "templates/templatestore.h"
#include "tempworkdir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSqlQuery>
#include <QTextStream>
#include <cstdio>
#include <memory>
#include <optional>

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
        BatchPrint::printAll(&printer, &dm, TemplateRows(dm.templates).loadCurrent(), session);
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
    const TemplateLayout positions = TemplateRows(dm.templates).loadCurrent();
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

// Takes down every text drawn on it, at 1200 dpi like the printer.
class TextRecorder : public QPaintDevice
{
public:
    struct Engine : QPaintEngine {
        Engine() : QPaintEngine(QPaintEngine::AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        Type type() const override { return QPaintEngine::User; }
        void drawTextItem(const QPointF& p, const QTextItem& item) override
        {
            *out << page << '\t' << QString::number(p.x(), 'g', 17) << '\t'
                 << QString::number(p.y(), 'g', 17) << '\t' << painter()->font().toString() << '\t'
                 << item.text() << '\n';
        }
        QTextStream* out = nullptr;
        int page = 0;
    };
    Engine engine;

    QPaintEngine* paintEngine() const override { return const_cast<Engine*>(&engine); }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth:
            return 10866; // 230 mm
        case PdmHeight:
            return 6000; // 127 mm
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 1200;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return QPaintDevice::metric(m);
        }
    }
};

// The ten fields of the whole-process runs.
const char* const kTenFields[] = {"S_Name",    "S_Address", "S_Mobile", "A_Name",     "A_Company",
                                  "A_Address", "A_Mobile",  "A_Phone",  "A_PostCode", "A_Custom1"};

int prepare(const QString& dir, int rows, bool fit)
{
    QDir().mkpath(dir);
    QString error;
    if (!makeFreshAppDir(dir, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QDir::setCurrent(dir);
    restoreHeader(QStringLiteral("Waylark_main.db"));
    {
        DataModule dm;
        Session session;
        session.currentTemplate = QStringLiteral("通用快递单");
        dm.connectDatabase();
        dm.openAll();
        fill(dm, rows, fit);
        QSqlQuery q(dm.database());
        for (const FieldInfo* f : RecordRenderer::drawingOrder()) {
            bool on = false;
            for (const char* key : kTenFields)
                on = on || f->key == QLatin1String(key);
            q.exec(QStringLiteral("UPDATE Exp_Model SET %1 = %2 WHERE Model_Name = '通用快递单'")
                       .arg(f->visColumn())
                       .arg(on ? 1 : 0));
        }
        for (const char* key : {"A_Address", "S_Address"}) {
            FieldFitStore::setFit(dm.database(), session.currentTemplate, key, fit);
            FieldFitStore::setHeight(dm.database(), session.currentTemplate, key, 40);
        }
        dm.templates->refresh();
        TemplateStore::findByName(dm.templates, session.currentTemplate);
        QFile file(QStringLiteral("floor.txt"));
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        QTextStream out(&file);
        TextRecorder recorder;
        recorder.engine.out = &out;
        const FieldFits fits = FieldFitStore::load(dm.database(), session.currentTemplate);
        const TemplateLayout positions = TemplateRows(dm.templates).loadCurrent();
        const PrintFonts fonts = PrintFonts::of(positions, session);
        QPainter p(&recorder);
        p.setFont(fonts.print);
        for (int row = 0; row < dm.recipients->recordCount(); ++row) {
            recorder.engine.page = row;
            RecordRenderer::drawRecord(
                p, RecordRenderer::collect(positions, dm.sender, dm.recipients, row),
                session.printColour(), 1200, 1200, Calibration(), fits);
        }
        p.end();
        dm.closeDatabase();
    }
    sealHeader(QStringLiteral("Waylark_main.db"));
    return 0;
}

int floorRun(const QString& dir, const QString& pdf, bool plain)
{
    std::optional<PageHeap> heap;
    if (!plain)
        heap.emplace();
    QFile file(QDir(dir).filePath(QStringLiteral("floor.txt")));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    QPdfWriter writer(pdf);
    writer.setResolution(1200);
    writer.setPageSize(
        QPageSize(QSizeF(230, 127), QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter p(&writer);
    p.setPen(Qt::black);
    QString fontName;
    int page = 0;
    while (!file.atEnd()) {
        const QStringList item = QString::fromUtf8(file.readLine()).chopped(1).split(u'\t');
        if (item.size() < 5)
            continue;
        if (item[0].toInt() != page) {
            writer.newPage();
            page = item[0].toInt();
        }
        if (item[3] != fontName) {
            QFont font;
            font.fromString(item[3]);
            p.setFont(font);
            fontName = item[3];
        }
        p.drawText(QPointF(item[1].toDouble(), item[2].toDouble()), item[4]);
    }
    p.end();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.value(0) == QLatin1String("prepare") && args.size() >= 3)
        return prepare(QDir(args[1]).absolutePath(), args[2].toInt(),
                       args.value(3) == QLatin1String("fit"));
    if (args.value(0) == QLatin1String("floor") && args.size() >= 3)
        return floorRun(args[1], args[2], args.value(3) == QLatin1String("plain"));
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
