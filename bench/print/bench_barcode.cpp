// 10,000 labels with one Code 128 (the waybill number) and one QR code (a
// tracking link) each, against the same labels with both as text.
//   bench_barcode [ROWS]                   both in this process, through the
//       batch code to PDF, timed around the batch alone
//   bench_barcode prepare DIR ROWS MODE    a database in DIR whose template
//       prints the labels as MODE (text or symbols), for whole runs of
//       `waylark print --pdf out.pdf --model 通用快递单` in DIR
//       (bench/print/barcodes.sh)
#include "base/session.h"
#include "data/datamodule.h"
#include "data/headerguard.h"
#include "data/transaction.h"
#include "freshdatabase.h"
#include "print/batchprint.h"
#include "print/printerpaper.h"
#include "print/printerstore.h"
#include "render/recordrenderer.h"
#include "templates/fieldfitstore.h"
#include "templates/templaterows.h"
#include "templates/templatestore.h"
#include "tempworkdir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPrinter>
#include <QSqlQuery>
#include <cstdio>

namespace
{

const QString kModel = QStringLiteral("通用快递单");

void fill(DataModule& dm, int rows)
{
    QSqlQuery q(dm.database());
    q.exec(QStringLiteral("DELETE FROM Exp_Att_Info"));
    q.exec(QStringLiteral("INSERT INTO Exp_Send_info (Name, Address, Mobile, Contents) VALUES "
                          "('王小明','杭州市西湖区文三路100号','13800000000','衣服')"));
    Transaction tx(dm.database());
    q.prepare(QStringLiteral("INSERT INTO Exp_Att_Info (Name, Address, Mobile, ExpName, "
                             "WayBillNo, Custom1) VALUES (?,?,?,?,?,?)"));
    for (int i = 0; i < rows; ++i) {
        const QString number = QStringLiteral("SF%1").arg(1300000000LL + i);
        q.bindValue(0, QStringLiteral("收件人%1").arg(i));
        q.bindValue(1, QStringLiteral("北京市朝阳区建国路%1号").arg(i));
        q.bindValue(2, QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0')));
        q.bindValue(3, QStringLiteral("顺丰速运"));
        q.bindValue(4, number);
        q.bindValue(5, QString(QStringLiteral("https://t.example.com/?n=") + number));
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
    applyPaperSize(&printer, 1000, 1500);
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

// A label: name, address, mobile, the waybill number and the link.
void makeLabel(DataModule& dm)
{
    QSqlQuery q(dm.database());
    q.exec(QStringLiteral("UPDATE Exp_Model SET A_WayBillNo_isVis = 1, A_Custom1_isVis = 1, "
                          "A_WayBillNo_Left = 100, A_WayBillNo_Top = 60, A_Custom1_Left = 300, "
                          "A_Custom1_Top = 300, A_Custom1_Width = 40"));
    dm.templates->refresh();
    TemplateStore::findByName(dm.templates, kModel);
}

void printSymbols(DataModule& dm, bool on)
{
    FieldFitStore::setSymbol(dm.database(), kModel, QStringLiteral("A_WayBillNo"),
                             on ? FieldSymbol::Code128 : FieldSymbol::Text);
    FieldFitStore::setSymbol(dm.database(), kModel, QStringLiteral("A_Custom1"),
                             on ? FieldSymbol::Qr : FieldSymbol::Text);
}

int prepare(const QString& dir, int rows, bool symbols)
{
    QDir().mkpath(dir);
    Session session;
    QString error;
    const std::unique_ptr<DataModule> dm = openFreshDataModule(dir, &session, &error);
    if (!dm) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    fill(*dm, rows);
    makeLabel(*dm);
    printSymbols(*dm, symbols);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("prepare") && args.size() >= 4)
        return prepare(QDir(args[1]).absolutePath(), args[2].toInt(),
                       args[3] == QLatin1String("symbols"));
    TempWorkDir tmp;
    makeFreshAppDir(tmp.path());
    restoreHeader(QStringLiteral("Waylark_main.db"));
    DataModule dm;
    Session session;
    dm.connectDatabase();
    dm.openAll();
    session.currentTemplate = kModel;
    const int rows = args.isEmpty() ? 10000 : args[0].toInt();
    fill(dm, rows);
    makeLabel(dm);

    printSymbols(dm, false);
    const double text = batch(dm, session, QStringLiteral("text.pdf"));
    printSymbols(dm, true);
    const double coded = batch(dm, session, QStringLiteral("symbols.pdf"));
    std::printf("%8s %10s %12s %7s %12s %12s\n", "labels", "text ms", "symbols ms", "ratio",
                "text kB", "symbols kB");
    std::printf("%8d %10.0f %12.0f %7.2f %12lld %12lld\n", rows, text, coded, coded / text,
                QFileInfo(QStringLiteral("text.pdf")).size() / 1024,
                QFileInfo(QStringLiteral("symbols.pdf")).size() / 1024);
    return 0;
}
