#include "test_barcode.h"

#include "base/session.h"
#include "cli/fieldcommand.h"
#include "cli/printcommand.h"
#include "data/datamodule.h"
#include "freshdatabase.h"
#include "print/batchprint.h"
#include "render/barcodepainter.h"
#include "render/calibration.h"
#include "render/recordrenderer.h"
#include "scriptedprompt.h"
#include "templates/fieldcatalogue.h"
#include "templates/labelstore.h"
#include "templates/templaterows.h"
#include "tempworkdir.h"

#include <QImage>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QSqlQuery>
#include <QtTest>

namespace
{

const QString kModel = QStringLiteral("通用快递单");
constexpr double kRasterDpi = 1200;

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000))
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Every symbol zbarimg finds on the page, rasterised at 300 dpi.
QStringList scanned(const QString& pdf)
{
    run(QStringLiteral("pdftoppm"), {"-r", "300", "-png", "-singlefile", pdf, "scan"});
    return run(QStringLiteral("zbarimg"), {"--raw", "-q", "scan.png"})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Lines of pdfimages -list after its two header lines: the raster images.
QStringList images(const QString& pdf)
{
    return run(QStringLiteral("pdfimages"), {"-list", pdf})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
        .mid(2);
}

// The dark pixels' extent in millimetres from the paper's corner, within a
// window of the page (millimetres), rasterised at 1200 dpi; in `row` only
// when row >= 0 (millimetres from the window's top).
QRectF darkExtent(const QString& pdf, const QRectF& window, double rowMm = -1)
{
    const auto px = [](double mm) { return QString::number(qRound(mm * kRasterDpi / 25.4)); };
    run(QStringLiteral("pdftoppm"),
        {"-r", QString::number(kRasterDpi), "-gray", "-singlefile", "-x", px(window.x()), "-y",
         px(window.y()), "-W", px(window.width()), "-H", px(window.height()), pdf, "measure"});
    const QImage image(QStringLiteral("measure.pgm"));
    if (image.isNull())
        return QRectF();
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    const int from = rowMm >= 0 ? qRound(rowMm * kRasterDpi / 25.4) : 0;
    const int to = rowMm >= 0 ? from + 1 : image.height();
    for (int y = from; y < to; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                left = qMin(left, x);
                right = qMax(right, x);
                top = qMin(top, y);
                bottom = qMax(bottom, y);
            }
    if (right < 0)
        return QRectF();
    const double mm = 25.4 / kRasterDpi;
    return QRectF(window.x() + left * mm, window.y() + top * mm, (right - left + 1) * mm,
                  (bottom - top + 1) * mm);
}

} // namespace

struct TestBarcode::Fixture {
    std::unique_ptr<TempWorkDir> tmp;
    std::unique_ptr<DataModule> dm;
    Session session;

    bool exec(const QString& sql)
    {
        QSqlQuery q(dm->database());
        return q.exec(sql);
    }

    // Only the waybill number shows; one recipient holds `value`.
    bool onlyWaybillNumber(const QString& value)
    {
        QStringList hidden;
        for (const FieldInfo& f : FieldCatalogue::all())
            hidden << f.visColumn() + QStringLiteral(" = 0");
        QSqlQuery q(dm->database());
        q.prepare(QStringLiteral("INSERT INTO Exp_Att_Info (Name, WayBillNo) VALUES ('张三', ?)"));
        q.addBindValue(value);
        const bool ok =
            exec(QStringLiteral("UPDATE Exp_Model SET ") + hidden.join(", ")) && q.exec();
        dm->recipients->refresh();
        return ok;
    }

    int field(const QStringList& args)
    {
        const int status = FieldCommand::runCommand(args, dm.get(), session);
        dm->templates->refresh();
        return status;
    }

    std::unique_ptr<QPrinter> pdfPrinter(const QString& file)
    {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(file);
        printer->setResolution(1200);
        printer->setFullPage(true);
        printer->setPageSize(
            QPageSize(QSizeF(100, 150), QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
        return printer;
    }
};

TestBarcode::TestBarcode() = default;
TestBarcode::~TestBarcode() = default;

void TestBarcode::init()
{
    m_f = std::make_unique<Fixture>();
    m_f->tmp = std::make_unique<TempWorkDir>();
    QString error;
    m_f->dm = openFreshDataModule(m_f->tmp->path(), &m_f->session, &error);
    QVERIFY2(m_f->dm, qPrintable(error));
    m_f->session.currentTemplate = kModel;
}

void TestBarcode::cleanup()
{
    m_f.reset();
}

void TestBarcode::symbolsScanAtTheirPlace_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("value");
    QTest::addColumn<double>("module");
    QTest::addColumn<double>("x"); // on the design grid of 1/96 inch
    QTest::addColumn<double>("y");
    QTest::addColumn<bool>("commandLine"); // printed by `waylark print`
    QTest::newRow("Code 128, default module") << "code128"
                                              << "SF1234567890" << 0.0 << 12.7 << 25.4 << false;
    QTest::newRow("Code 128, thermal module, odd digits")
        << "code128"
        << "773012345678901" << 0.25 << 6.35 << 50.8 << false;
    QTest::newRow("Code 128 by waylark print") << "code128"
                                               << "YT9876543210" << 0.4 << 19.05 << 12.7 << true;
    QTest::newRow("QR, link") << "qr"
                              << "https://example.com/t?no=SF1234567890" << 0.5 << 25.4 << 38.1
                              << false;
    QTest::newRow("QR, Chinese") << "qr"
                                 << "张三 北京市朝阳区建国路 1 号" << 0.4 << 12.7 << 76.2 << true;
}

void TestBarcode::symbolsScanAtTheirPlace()
{
    QFETCH(QString, kind);
    QFETCH(QString, value);
    QFETCH(double, module);
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(bool, commandLine);
    QVERIFY(m_f->onlyWaybillNumber(value));
    QStringList args = {"--model", kModel,
                        "--key",   "A_WayBillNo",
                        "--kind",  kind,
                        "--x",     QString::number(x),
                        "--y",     QString::number(y),
                        "--width", "5",
                        "--show"};
    if (module > 0)
        args << "--module" << QString::number(module);
    {
        ScriptedPrompt p;
        QCOMPARE(m_f->field(args), 0);
        QVERIFY(p.messages().isEmpty());
    }
    const QString pdf = QStringLiteral("symbols.pdf");
    if (commandLine) {
        ScriptedPrompt p;
        QCOMPARE(PrintCommand::runCommand({"--pdf", pdf}, m_f->dm.get(), m_f->session), 0);
    } else {
        const auto printer = m_f->pdfPrinter(pdf);
        const BatchPrint::Result r =
            BatchPrint::printAll(printer.get(), m_f->dm.get(),
                                 TemplateRows(m_f->dm->templates).loadCurrent(), m_f->session);
        QVERIFY2(r.message.isEmpty(), qPrintable(r.message));
        QCOMPARE(r.pages, 1);
    }

    QCOMPARE(scanned(pdf), QStringList{value});
    QVERIFY2(images(pdf).isEmpty(), qPrintable(images(pdf).join('\n')));

    // Bars and cells where they were set, modules as wide as set.
    const FieldSymbol symbol = kind == "qr" ? FieldSymbol::Qr : FieldSymbol::Code128;
    const auto encoded = BarcodePainter::encode(symbol, value);
    QVERIFY(encoded);
    const double m = module > 0 ? module : BarcodePainter::kDefaultModuleMm;
    const double quiet = encoded->quietModules * m;
    const QRectF window(x - 1, y - 1, encoded->modules.width() * m + 2,
                        (symbol == FieldSymbol::Qr ? encoded->modules.height() * m : 12) + 2);
    // A Code 128 is measured across its bars, above its digits.
    const QRectF dark = darkExtent(pdf, window, symbol == FieldSymbol::Qr ? -1 : 4);
    QVERIFY(dark.isValid());
    const double modules = encoded->modules.width() - 2 * encoded->quietModules;
    QVERIFY2(qAbs(dark.left() - (x + quiet)) < 0.1, qPrintable(QString::number(dark.left())));
    QVERIFY2(qAbs(dark.width() / modules - m) < 0.01, qPrintable(QString::number(dark.width())));
    if (symbol == FieldSymbol::Qr)
        QVERIFY2(qAbs(dark.top() - (y + quiet)) < 0.1, qPrintable(QString::number(dark.top())));
    else
        QVERIFY(qAbs(darkExtent(pdf, window).top() - y) < 0.1);
}

// The scale of a printer's calibration moves a symbol's place; its modules
// stay as wide as set, and it still scans.
void TestBarcode::calibrationMovesSymbolsNotTheirModules()
{
    QVERIFY(m_f->onlyWaybillNumber("SF55501"));
    QCOMPARE(m_f->field({"--model", kModel, "--key", "A_WayBillNo", "--kind", "code128", "--x",
                         "25.4", "--y", "25.4", "--width", "5", "--module", "0.3", "--show"}),
             0);
    Calibration c;
    c.sxPct = 110;
    c.dyMm = 2;
    Calibration::save(m_f->dm->database(), kModel, Calibration::pdfPrinterName(), c);
    const auto printer = m_f->pdfPrinter("calibrated.pdf");
    QCOMPARE(BatchPrint::printAll(printer.get(), m_f->dm.get(),
                                  TemplateRows(m_f->dm->templates).loadCurrent(), m_f->session)
                 .pages,
             1);
    QCOMPARE(scanned("calibrated.pdf"), QStringList{"SF55501"});
    const auto encoded = BarcodePainter::encode(FieldSymbol::Code128, "SF55501");
    const double modules = encoded->modules.width() - 2 * encoded->quietModules;
    const QRectF dark = darkExtent("calibrated.pdf", QRectF(20, 25, 80, 12), 4);
    QVERIFY2(qAbs(dark.left() - (25.4 * 1.1 + encoded->quietModules * 0.3)) < 0.1,
             qPrintable(QString::number(dark.left())));
    QVERIFY2(qAbs(dark.width() / modules - 0.3) < 0.01, qPrintable(QString::number(dark.width())));
}

// A template set to print its picture prints it under the fields, at its
// design size; others print none.
void TestBarcode::templatePicturePrintsWhenSet()
{
    QVERIFY(m_f->onlyWaybillNumber("SF1"));
    for (bool prints : {false, true}) {
        LabelStore::setPrintsPicture(m_f->dm->database(), kModel, prints);
        const QString pdf = prints ? QStringLiteral("picture.pdf") : QStringLiteral("none.pdf");
        const auto printer = m_f->pdfPrinter(pdf);
        QCOMPARE(BatchPrint::printAll(printer.get(), m_f->dm.get(),
                                      TemplateRows(m_f->dm->templates).loadCurrent(), m_f->session)
                     .pages,
                 1);
        const QStringList pictures = images(pdf);
        QCOMPARE(pictures.size(), prints ? 1 : 0);
        if (prints) {
            // 800 × 442 pixels shown at 96 per inch.
            const QStringList cols = pictures.at(0).simplified().split(' ');
            QCOMPARE(cols.value(3), QString("800"));
            QCOMPARE(cols.value(4), QString("442"));
            QVERIFY2(qAbs(cols.value(12).toDouble() - 96) < 1, qPrintable(pictures.at(0)));
        }
    }
}

// The test sheet shows a symbol as it prints, over the template's picture.
void TestBarcode::testSheetShowsSymbols()
{
    QVERIFY(m_f->onlyWaybillNumber("ZT123456789"));
    QCOMPARE(m_f->field({"--model", kModel, "--key", "A_WayBillNo", "--kind", "code128", "--x",
                         "20", "--y", "60", "--show"}),
             0);
    ScriptedPrompt p;
    QCOMPARE(PrintCommand::runCommand({"--test-page", "--pdf", "sheet.pdf"}, m_f->dm.get(),
                                      m_f->session),
             0);
    QCOMPARE(scanned("sheet.pdf"), QStringList{"ZT123456789"});
    QVERIFY(!run("pdftotext", {"sheet.pdf", "-"}).contains("运单号"));
}

// Chinese has no Code 128: the check before printing says so, and the value
// prints as text in its place.
void TestBarcode::valueThatCannotBeEncodedPrintsAsText()
{
    QVERIFY(m_f->onlyWaybillNumber("顺丰12345"));
    QCOMPARE(m_f->field({"--model", kModel, "--key", "A_WayBillNo", "--kind", "code128", "--x",
                         "25.4", "--y", "25.4", "--show"}),
             0);
    const auto printer = m_f->pdfPrinter("text.pdf");
    const BatchPrint::FitReport report = BatchPrint::fitReport(
        printer.get(), m_f->dm.get(), TemplateRows(m_f->dm->templates).loadCurrent(), m_f->session,
        {}, true);
    QVERIFY2(report.notFitting.contains("运单号无法编成条码，按文字打印"),
             qPrintable(report.notFitting));
    QCOMPARE(BatchPrint::printAll(printer.get(), m_f->dm.get(),
                                  TemplateRows(m_f->dm->templates).loadCurrent(), m_f->session)
                 .pages,
             1);
    QVERIFY(run("pdftotext", {"text.pdf", "-"}).contains("顺丰12345"));
    QVERIFY(scanned("text.pdf").isEmpty());
}

// Symbols are encoded ahead of the page being drawn: each page still gets
// its own row's, across more rows than are read ahead, with a value twice
// in a row and one that cannot be encoded between them.
void TestBarcode::everyPageScansItsOwnRow()
{
    QStringList values;
    for (int i = 0; i < 11; ++i)
        values << QStringLiteral("SF%1").arg(1300000000 + i);
    values[4] = values[3];
    values[6] = QStringLiteral("顺丰12345");
    QVERIFY(m_f->onlyWaybillNumber(values.first()));
    QSqlQuery q(m_f->dm->database());
    q.prepare(QStringLiteral("INSERT INTO Exp_Att_Info (Name, WayBillNo) VALUES ('张三', ?)"));
    for (const QString& v : values.mid(1)) {
        q.addBindValue(v);
        QVERIFY(q.exec());
    }
    m_f->dm->recipients->refresh();
    QCOMPARE(m_f->field({"--model", kModel, "--key", "A_WayBillNo", "--kind", "code128", "--x",
                         "25.4", "--y", "25.4", "--show"}),
             0);
    {
        ScriptedPrompt p;
        QCOMPARE(PrintCommand::runCommand({"--pdf", "rows.pdf"}, m_f->dm.get(), m_f->session), 0);
    }
    for (int page = 1; page <= values.size(); ++page) {
        const QString n = QString::number(page);
        run(QStringLiteral("pdfseparate"), {"-f", n, "-l", n, "rows.pdf", "page.pdf"});
        const QString value = values.at(page - 1);
        if (page == 7)
            QVERIFY(scanned("page.pdf").isEmpty() &&
                    run("pdftotext", {"page.pdf", "-"}).contains(value));
        else
            QCOMPARE(scanned("page.pdf"), QStringList{value});
    }
}

void TestBarcode::fieldCommandRefusesBadInput_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message"); // the start of the one error
    const QStringList base = {"--model", kModel, "--key", "A_WayBillNo"};
    QTest::newRow("no key") << QStringList({"--model", kModel}) << 2 << "usage: waylark field";
    QTest::newRow("unknown key") << QStringList({"--model", kModel, "--key", "WayBillNo"}) << 2
                                 << "没有这个字段：WayBillNo";
    QTest::newRow("unknown kind") << base + QStringList({"--kind", "ean13"}) << 2
                                  << "--kind 只能是 text、code128 或 qr：ean13";
    QTest::newRow("module too narrow")
        << base + QStringList({"--module", "0.1"}) << 2 << "--module 的值超出范围：0.1";
    QTest::newRow("not a number") << base + QStringList({"--height", "12mm"}) << 2
                                  << "--height 的值不是数字：12mm";
    QTest::newRow("x without y") << base + QStringList({"--x", "3"}) << 2 << "usage: waylark field";
    QTest::newRow("show and hide")
        << base + QStringList({"--show", "--hide"}) << 2 << "usage: waylark field";
    QTest::newRow("unknown template")
        << QStringList({"--model", "无此模板", "--key", "A_WayBillNo", "--show"}) << 1
        << "没有名为“无此模板”的模板，没有改动。";
}

void TestBarcode::fieldCommandRefusesBadInput()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, message);
    QSqlQuery q(m_f->dm->database());
    const auto state = [&] {
        q.exec("SELECT A_WayBillNo_isVis, A_WayBillNo_Left, "
               "(SELECT count(*) FROM Model_Field_Fit) FROM Exp_Model");
        q.next();
        return QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
    };
    const QStringList before = state();
    ScriptedPrompt p;
    QCOMPARE(m_f->field(args), status);
    const QStringList shown = p.messages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.at(0).startsWith(message), qPrintable(shown.at(0)));
    QCOMPARE(state(), before);
}
