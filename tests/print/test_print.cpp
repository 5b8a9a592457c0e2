// Print geometry, rendering and batch jobs, read back from real PDF output
// and through a real CUPS queue.
#include "base/session.h"
#include "cli/calibrationcommand.h"
#include "cli/printcommand.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "data/headerguard.h"
#include "freshdatabase.h"
#include "print/batchprint.h"
#include "print/printjournal.h"
#include "render/calibration.h"
#include "render/printfonts.h"
#include "render/printgeometry.h"
#include "render/printlog.h"
#include "render/recordrenderer.h"
#include "render/rowselection.h"
#include "render/textfit.h"
#include "scriptedprompt.h"
#include "templates/fieldcatalogue.h"
#include "templates/fieldfitstore.h"
#include "templates/fieldfontstore.h"
#include "templates/templaterows.h"
#include "tempworkdir.h"
#include "test_barcode.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QtTest>
#include <csignal>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

namespace
{

struct Word {
    QString text;
    double xMm, yMm; // top-left of the word's box
    double rightMm = 0, bottomMm = 0;
};

// Words of page `page` (1-based) of a PDF, with their places in millimetres.
QList<Word> pdfWords(const QString& pdf, int page = 1)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {"-bbox", "-f", QString::number(page), "-l", QString::number(page), pdf, "-"});
    p.waitForFinished(60000);
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression re(
        QStringLiteral("<word xMin=\"([-\\d.]+)\" yMin=\"([-\\d.]+)\" xMax=\"([-\\d.]+)\" "
                       "yMax=\"([-\\d.]+)\"[^>]*>([^<]*)</word>"));
    QList<Word> words;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        words.append({m.captured(5), m.captured(1).toDouble() * 25.4 / 72,
                      m.captured(2).toDouble() * 25.4 / 72, m.captured(3).toDouble() * 25.4 / 72,
                      m.captured(4).toDouble() * 25.4 / 72});
    }
    return words;
}

QString pdfInfo(const QString& pdf, const QString& key)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    p.waitForFinished(60000);
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n'))
        if (line.startsWith(key + QLatin1Char(':')))
            return line.mid(key.size() + 1).trimmed();
    return QString();
}

// "W x H pts" of a 230 × 127 mm page (651.97 × 360 points, within a point).
bool isWaybillPage(const QString& pageSize)
{
    const QStringList parts = pageSize.split(QLatin1Char(' '));
    return parts.size() >= 3 && qAbs(parts.at(0).toDouble() - 651.97) < 1.0 &&
           qAbs(parts.at(2).toDouble() - 360.0) < 1.0;
}

void setPaper(QPrinter* printer, int widthTenths, int heightTenths)
{
    printer->setPageSize(QPageSize(QSizeF(widthTenths / 10.0, heightTenths / 10.0),
                                   QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
}

} // namespace

class TestPrint : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempWorkDir> m_tmp;
    std::unique_ptr<DataModule> m_dm;
    Session m_session;
    QTemporaryDir m_cupsDir;
    QString m_cupsSkip; // why no private scheduler runs, if none does

    void exec(const QString& sql)
    {
        QSqlQuery q(m_dm->database());
        QVERIFY2(q.exec(sql), qPrintable(sql));
    }

    // The delivered template, every field visible at a known place: field n
    // stands n*20 design pixels right of and n*10 below the picture's corner.
    void useGridTemplate()
    {
        QStringList sets;
        for (const FieldInfo& f : FieldCatalogue::all())
            sets << QStringLiteral("%1=%2, %3=%4, %5=1")
                        .arg(f.leftColumn())
                        .arg(24 + f.number * 20)
                        .arg(f.topColumn())
                        .arg(16 + f.number * 10)
                        .arg(f.visColumn());
        exec(QStringLiteral("UPDATE Exp_Model SET ") + sets.join(", "));
        m_dm->templates->refresh();
    }

    void addSender()
    {
        QStringList cols, vals;
        for (const FieldInfo& f : FieldCatalogue::all())
            if (f.isSender()) {
                cols << f.column;
                vals << QStringLiteral("'S%1X'").arg(f.number);
            }
        exec(QStringLiteral("INSERT INTO Exp_Send_info (%1) VALUES (%2)")
                 .arg(cols.join(','), vals.join(',')));
        m_dm->sender->refresh();
    }

    void addRecipients(int count)
    {
        for (int r = 1; r <= count; ++r) {
            QStringList cols, vals;
            for (const FieldInfo& f : FieldCatalogue::all())
                if (!f.isSender()) {
                    cols << f.column;
                    vals << QStringLiteral("'R%1F%2'").arg(r).arg(f.number);
                }
            exec(QStringLiteral("INSERT INTO Exp_Att_Info (%1) VALUES (%2)")
                     .arg(cols.join(','), vals.join(',')));
        }
        m_dm->recipients->refresh();
    }

    std::unique_ptr<QPrinter> pdfPrinter(const QString& file, int resolution = 1200)
    {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(file);
        printer->setResolution(resolution);
        printer->setFullPage(true);
        setPaper(printer.get(), 2300, 1270);
        return printer;
    }

    // Print_Count of every recipient row, in table order (0 for empty).
    QList<int> printCounts()
    {
        QSqlQuery q(m_dm->database());
        q.exec("SELECT coalesce(Print_Count, 0), Printed_At FROM Exp_Att_Info ORDER BY ID");
        QList<int> counts;
        while (q.next()) {
            counts << q.value(0).toInt();
            // A mark has both its time and its count, or neither.
            if ((q.value(0).toInt() > 0) != !q.value(1).toString().isEmpty())
                counts << -1;
        }
        return counts;
    }

    // The R<row>F7 names (recipient name field) on the pages of a PDF.
    QStringList printedNames(const QString& pdf)
    {
        QStringList names;
        const int pages = pdfInfo(pdf, "Pages").toInt();
        for (int page = 1; page <= pages; ++page)
            for (const Word& w : pdfWords(pdf, page))
                if (w.text.startsWith('R') && w.text.endsWith("F7"))
                    names << w.text;
        return names;
    }

private Q_SLOTS:
    // libcups reads CUPS_SERVER once per process: the private scheduler must
    // run before the first printer is made.
    void initTestCase()
    {
        if (geteuid() != 0) {
            m_cupsSkip = QStringLiteral("a private CUPS scheduler needs root");
        } else if (!QFile::exists("/usr/sbin/cupsd")) {
            m_cupsSkip = QStringLiteral("cupsd is not installed");
        } else {
            QProcess start;
            start.start(QStringLiteral(WAYLARK_PRIVATE_CUPS),
                        {"start", m_cupsDir.path(), "waylark-test"});
            QVERIFY(start.waitForFinished(60000));
            QVERIFY2(start.exitCode() == 0, start.readAll().constData());
            qputenv("CUPS_SERVER", QFile::encodeName(m_cupsDir.path() + "/cups.sock"));
        }
    }
    void cleanupTestCase()
    {
        if (m_cupsSkip.isEmpty())
            QProcess::execute(QStringLiteral(WAYLARK_PRIVATE_CUPS), {"stop", m_cupsDir.path()});
    }

    void init()
    {
        m_tmp = std::make_unique<TempWorkDir>();
        QString error;
        m_dm = openFreshDataModule(m_tmp->path(), &m_session, &error);
        QVERIFY2(m_dm, qPrintable(error));
    }
    void cleanup()
    {
        m_dm.reset();
        m_tmp.reset();
    }

    void exactRatio_data()
    {
        QTest::addColumn<double>("dpi");
        QTest::addColumn<QPoint>("device");
        QTest::newRow("96") << 96.0 << QPoint(100, 40);
        QTest::newRow("300") << 300.0 << QPoint(313, 125);
        QTest::newRow("600") << 600.0 << QPoint(625, 250);
        QTest::newRow("1200") << 1200.0 << QPoint(1250, 500);
        QTest::newRow("180") << 180.0 << QPoint(188, 75);
    }
    void exactRatio()
    {
        QFETCH(double, dpi);
        QFETCH(QPoint, device);
        const QPoint p = PrintGeometry::devicePoint(QPoint(100, 40), dpi, dpi);
        QCOMPARE(p, device);
        // The same physical place on every device: 26.46 mm, 10.58 mm.
        // Within half a device pixel.
        const double tolerance = 25.4 / dpi / 2 + 0.01;
        QVERIFY(qAbs(p.x() * 25.4 / dpi - 26.46) < tolerance);
        QVERIFY(qAbs(p.y() * 25.4 / dpi - 10.58) < tolerance);
        QCOMPARE(PrintGeometry::devicePoint(QPoint(-10, -3), dpi, dpi),
                 QPoint(-qRound(10 * dpi / 96), -qRound(3 * dpi / 96)));
    }

    void fieldsLandAtTheirDesignedPlace_data()
    {
        QTest::addColumn<int>("resolution");
        // The calibration stored for the template and "PDF": dx, dy mm; sx, sy %.
        QTest::addColumn<QList<double>>("calibration");
        const QList<double> none = {0, 0, 100, 100};
        const QList<double> some = {3.5, -2.2, 104.5, 96.0};
        const QList<double> edges = {-50, 50, 90, 110};
        for (int dpi : {300, 600, 1200}) {
            QTest::addRow("%d dpi", dpi) << dpi << none;
            QTest::addRow("%d dpi, calibrated", dpi) << dpi << some;
            QTest::addRow("%d dpi, calibration at its limits", dpi) << dpi << edges;
        }
    }
    void fieldsLandAtTheirDesignedPlace()
    {
        QFETCH(int, resolution);
        QFETCH(QList<double>, calibration);
        useGridTemplate();
        m_session.currentTemplate = QStringLiteral("通用快递单");
        Calibration c;
        c.dxMm = calibration.at(0);
        c.dyMm = calibration.at(1);
        c.sxPct = calibration.at(2);
        c.syPct = calibration.at(3);
        Calibration::save(m_dm->database(), m_session.currentTemplate, "PDF", c);
        // Another printer's and another template's values play no part.
        Calibration other;
        other.dxMm = 20;
        Calibration::save(m_dm->database(), m_session.currentTemplate, "HP_LaserJet", other);
        Calibration::save(m_dm->database(), "别的模板", "PDF", other);
        exec("UPDATE Exp_Model SET A_Custom5_isVis=0, S_Contents_isVis=0");
        m_dm->templates->refresh();
        addSender();
        addRecipients(1);
        auto printer = pdfPrinter("out.pdf", resolution);
        const BatchPrint::Result r = BatchPrint::printAll(
            printer.get(), m_dm.get(), TemplateRows(m_dm->templates).loadCurrent(), m_session);
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(r.pages, 1);

        QHash<QString, Word> byText;
        for (const Word& w : pdfWords("out.pdf"))
            byText.insert(w.text, w);
        for (const FieldInfo& f : FieldCatalogue::all()) {
            const QString text = f.isSender() ? QStringLiteral("S%1X").arg(f.number)
                                              : QStringLiteral("R1F%1").arg(f.number);
            if (f.key == "A_Custom5" || f.key == "S_Contents") {
                QVERIFY2(!byText.contains(text), qPrintable(text));
                continue;
            }
            // Design place, scaled about the page's corner, then shifted.
            const double xMm = f.number * 20 * 25.4 / 96 * c.sxPct / 100 + c.dxMm;
            const double yMm = f.number * 10 * 25.4 / 96 * c.syPct / 100 + c.dyMm;
            if (xMm < 0 || yMm < 0 || xMm > 215 || yMm > 120)
                continue; // off the 230 × 127 mm page
            QVERIFY2(byText.contains(text), qPrintable(text));
            const Word w = byText.value(text);
            QVERIFY2(qAbs(w.xMm - xMm) < 0.2,
                     qPrintable(QStringLiteral("%1 x %2 vs %3").arg(text).arg(w.xMm).arg(xMm)));
            QVERIFY2(qAbs(w.yMm - yMm) < 0.2,
                     qPrintable(QStringLiteral("%1 y %2 vs %3").arg(text).arg(w.yMm).arg(yMm)));
        }
    }

    void visibilityIsExactlyTheTextOne_data()
    {
        QTest::addColumn<QString>("flag"); // SQL literal
        QTest::addColumn<bool>("drawn");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("empty") << "NULL" << false;
        QTest::newRow("-1") << "-1" << false;
        QTest::newRow("True") << "'True'" << false;
    }
    void visibilityIsExactlyTheTextOne()
    {
        QFETCH(QString, flag);
        QFETCH(bool, drawn);
        useGridTemplate();
        exec("UPDATE Exp_Model SET S_PostCode_isVis=" + flag);
        m_dm->templates->refresh();
        addSender();
        auto printer = pdfPrinter("out.pdf");
        QVERIFY(BatchPrint::printAll(printer.get(), m_dm.get(),
                                     TemplateRows(m_dm->templates).loadCurrent(), m_session)
                    .ok);
        bool found = false;
        for (const Word& w : pdfWords("out.pdf"))
            found = found || w.text == QLatin1String("S18X");
        QCOMPARE(found, drawn);
    }

    void batchPagesAndCursor()
    {
        useGridTemplate();
        addSender();
        addRecipients(3);
        m_dm->recipients->moveTo(1);
        auto printer = pdfPrinter("batch.pdf");
        const BatchPrint::Result r = BatchPrint::printAll(
            printer.get(), m_dm.get(), TemplateRows(m_dm->templates).loadCurrent(), m_session);
        QVERIFY(r.ok);
        QCOMPARE(pdfInfo("batch.pdf", "Pages"), QString("3"));
        QVERIFY(isWaybillPage(pdfInfo("batch.pdf", "Page size")));
        for (int page = 1; page <= 3; ++page) {
            QStringList texts;
            for (const Word& w : pdfWords("batch.pdf", page))
                texts << w.text;
            QVERIFY(texts.contains("S1X"));
            QVERIFY(texts.contains(QStringLiteral("R%1F7").arg(page)));
            QCOMPARE(texts.filter(QRegularExpression("^R\\d"))
                         .filter(QStringLiteral("R%1F").arg(page))
                         .size(),
                     texts.filter(QRegularExpression("^R\\d")).size());
        }
        // Rows are read by index: the cursor stays on the row the user had.
        QVERIFY(!m_dm->recipients->eof());
        QCOMPARE(m_dm->recipients->recNo(), 1);
        QVERIFY(!QFile::exists("batch.pdf.part"));
    }

    void emptyTableGivesOnePageWithTheSender()
    {
        useGridTemplate();
        addSender();
        auto printer = pdfPrinter("empty.pdf");
        QVERIFY(BatchPrint::printAll(printer.get(), m_dm.get(),
                                     TemplateRows(m_dm->templates).loadCurrent(), m_session)
                    .ok);
        QCOMPARE(pdfInfo("empty.pdf", "Pages"), QString("1"));
        QStringList texts;
        for (const Word& w : pdfWords("empty.pdf"))
            texts << w.text;
        QVERIFY(texts.contains("S1X"));
        QVERIFY(texts.filter(QRegularExpression("^R")).isEmpty());
    }

    void textFitsItsBox_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("ruler");   // the box is as wide as this at 10 pt
        QTest::addColumn<int>("heightLines"); // and this many 10 pt lines high
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("overflowed");
        QTest::addColumn<double>("minPt");
        QTest::addColumn<double>("maxPt");
        const QString cjk = QStringLiteral("北京市海淀区中关村大街一号");
        QTest::newRow("short text unchanged")
            << QStringLiteral("张三") << QStringLiteral("一二三四五") << 1
            << QStringList{QStringLiteral("张三")} << false << 10.0 << 10.0;
        QTest::newRow("chinese breaks between any characters")
            << cjk << QStringLiteral("一二三四五") << 3
            << QStringList{QStringLiteral("北京市海淀"), QStringLiteral("区中关村大"),
                           QStringLiteral("街一号")}
            << false << 10.0 << 10.0;
        QTest::newRow("latin breaks at spaces")
            << QStringLiteral("No 12 Long Street Haidian") << QStringLiteral("No 12 Long") << 3
            << QStringList{"No 12 Long", "Street", "Haidian"} << false << 10.0 << 10.0;
        // Unicode's line breaking: "，" "。" "）" stay with the character before,
        // "（" with the one after.
        QTest::newRow("a comma never starts a line")
            << QStringLiteral("北京海淀，中关村") << QStringLiteral("一二三四") << 3
            << QStringList{QStringLiteral("北京海"), QStringLiteral("淀，中关"),
                           QStringLiteral("村")}
            << false << 10.0 << 10.0;
        QTest::newRow("a full stop and a closing bracket never start a line")
            << QStringLiteral("一二三四。（五六七八）") << QStringLiteral("一二三四") << 3
            << QStringList{QStringLiteral("一二三"), QStringLiteral("四。（五"),
                           QStringLiteral("六七八）")}
            << false << 10.0 << 10.0;
        QTest::newRow("an opening bracket never ends a line")
            << QStringLiteral("一二三（四五）") << QStringLiteral("一二三四") << 2
            << QStringList{QStringLiteral("一二三"), QStringLiteral("（四五）")} << false << 10.0
            << 10.0;
        QTest::newRow("a word longer than the line breaks anywhere")
            << QString(20, QLatin1Char('A')) << QString(5, QLatin1Char('A')) << 4
            << QStringList(4, QString(5, QLatin1Char('A'))) << false << 10.0 << 10.0;
        QTest::newRow("shrinks until the lines fit")
            << cjk << QStringLiteral("一二三四五") << 2 << QStringList() << false << 6.5 << 9.5;
        QTest::newRow("blanks around a text are left out")
            << QStringLiteral("  张三  ") << QStringLiteral("一二三四五") << 1
            << QStringList{QStringLiteral("张三")} << false << 10.0 << 10.0;
        QTest::newRow("a line that fits is one line")
            << QStringLiteral("No 12 Long") << QStringLiteral("No 12 Long") << 1
            << QStringList{"No 12 Long"} << false << 10.0 << 10.0;
        QTest::newRow("overflows at 6 pt") << cjk.repeated(5) << QStringLiteral("一二三四五") << 1
                                           << QStringList() << true << 6.0 << 6.0;
        QTest::newRow("overflows a box of several lines")
            << cjk.repeated(8) << QStringLiteral("一二三四五") << 3 << QStringList() << true << 6.0
            << 6.0;
        QTest::newRow("overflows a box lower than one line")
            << cjk.repeated(2) << QStringLiteral("一二三四五") << 0 << QStringList() << true << 6.0
            << 6.0;
    }
    void textFitsItsBox()
    {
        QFETCH(QString, text);
        QFETCH(QString, ruler);
        QFETCH(int, heightLines);
        QFETCH(QStringList, lines);
        QFETCH(bool, overflowed);
        QFETCH(double, minPt);
        QFETCH(double, maxPt);
        QImage device(10, 10, QImage::Format_ARGB32);
        device.setDotsPerMeterX(qRound(300 / 0.0254));
        device.setDotsPerMeterY(qRound(300 / 0.0254));
        QFont font(QStringLiteral("WenQuanYi Zen Hei"));
        font.setPointSizeF(10);
        const QFontMetricsF fm(font, &device);
        const double width = fm.horizontalAdvance(ruler) + 0.5;
        const double height = heightLines > 0
                                  ? fm.height() + (heightLines - 1) * fm.lineSpacing() + 0.5
                                  : fm.height() / 2;

        const TextFit::Result r = TextFit::fit(text, width, height, font, &device);
        if (!lines.isEmpty())
            QCOMPARE(r.lines, lines);
        // The widths a job keeps change nothing, met first or again.
        TextFit::Advances advances;
        for (int pass = 0; pass < 2; ++pass) {
            const TextFit::Result again =
                TextFit::fit(text, width, height, font, &device, &advances);
            QCOMPARE(again.lines, r.lines);
            QCOMPARE(again.printed, r.printed);
            QCOMPARE(again.font.pointSizeF(), r.font.pointSizeF());
            QCOMPARE(again.overflowed, r.overflowed);
        }
        QCOMPARE(r.overflowed, overflowed);
        QVERIFY2(r.font.pointSizeF() >= minPt && r.font.pointSizeF() <= maxPt,
                 qPrintable(QString::number(r.font.pointSizeF())));
        // Nothing is lost: the lines hold the whole text but for the blanks
        // at the breaks.
        QCOMPARE(r.lines.join(QString()).remove(' '), QString(text).remove(' '));
        const QFontMetricsF used(r.font, &device);
        for (const QString& l : r.lines)
            QVERIFY(used.horizontalAdvance(l) <= width);
        if (!overflowed) {
            QVERIFY(used.height() + (r.lines.size() - 1) * used.lineSpacing() <= height);
            QCOMPARE(r.printed, r.lines);
            return;
        }
        // Too much even at 6 pt: whole lines as many as the box holds (one at
        // the least), the last cut short with "…", the rest left out.
        const QString ellipsis = QStringLiteral("…");
        QVERIFY(r.cut());
        QVERIFY(!r.printed.isEmpty());
        if (r.printed.size() > 1)
            QVERIFY(used.height() + (r.printed.size() - 1) * used.lineSpacing() <= height);
        QVERIFY(used.height() + r.printed.size() * used.lineSpacing() > height);
        QCOMPARE(r.printed.mid(0, r.printed.size() - 1), r.lines.mid(0, r.printed.size() - 1));
        QVERIFY(r.printed.last().endsWith(ellipsis));
        QVERIFY(used.horizontalAdvance(r.printed.last()) <= width);
        QVERIFY(text.startsWith(r.printed.join(QString()).chopped(1)));
    }

    // The look before a job measures on the printer, the job draws on its
    // PDF writer: the fits the look keeps must be what the job would make,
    // for every row, whether one row's text fits, wraps or is cut.
    void aJobDrawsTheFitsItsLookMade_data()
    {
        QTest::addColumn<int>("resolution");
        for (int dpi : {300, 600, 1200})
            QTest::addRow("%d dpi", dpi) << dpi;
    }
    void aJobDrawsTheFitsItsLookMade()
    {
        QFETCH(int, resolution);
        useGridTemplate();
        addSender();
        m_session.currentTemplate = QStringLiteral("通用快递单");
        exec("UPDATE Exp_Model SET A_Address_Width=150, S_Address_Width=150");
        m_dm->templates->refresh();
        for (const char* key : {"A_Address", "S_Address"}) {
            FieldFitStore::setFit(m_dm->database(), m_session.currentTemplate, key, true);
            FieldFitStore::setHeight(m_dm->database(), m_session.currentTemplate, key, 40);
        }
        const QString address = QStringLiteral("北京市海淀区中关村南大街二十七号院三号楼");
        for (int repeat : {0, 1, 2, 6})
            exec(QStringLiteral("INSERT INTO Exp_Att_Info (Name, Address) VALUES ('张%1', '%2')")
                     .arg(repeat)
                     .arg(repeat ? address.repeated(repeat) : QStringLiteral("海淀区")));
        m_dm->recipients->refresh();

        auto printer = pdfPrinter("look.pdf", resolution);
        const BatchPrint::FitReport look =
            BatchPrint::fitReport(printer.get(), m_dm.get(),
                                  TemplateRows(m_dm->templates).loadCurrent(), m_session, {}, true);
        QVERIFY(look.fitted);
        QVERIFY(BatchPrint::printAll(printer.get(), m_dm.get(),
                                     TemplateRows(m_dm->templates).loadCurrent(), m_session,
                                     nullptr, look.fitted.get())
                    .ok);
        auto alone = pdfPrinter("alone.pdf", resolution);
        QVERIFY(BatchPrint::printAll(alone.get(), m_dm.get(),
                                     TemplateRows(m_dm->templates).loadCurrent(), m_session)
                    .ok);
        QCOMPARE(pdfInfo("look.pdf", "Pages"), QString("4"));
        for (int page = 1; page <= 4; ++page) {
            const QList<Word> a = pdfWords("look.pdf", page);
            const QList<Word> b = pdfWords("alone.pdf", page);
            QCOMPARE(a.size(), b.size());
            for (int i = 0; i < a.size(); ++i) {
                QCOMPARE(a[i].text, b[i].text);
                QCOMPARE(a[i].xMm, b[i].xMm);
                QCOMPARE(a[i].yMm, b[i].yMm);
                QCOMPARE(a[i].rightMm, b[i].rightMm);
            }
        }
    }

    void fittedFieldStaysInItsBox_data()
    {
        QTest::addColumn<int>("resolution");
        QTest::addColumn<int>("repeat"); // times the address is written out
        QTest::addColumn<bool>("whole");
        for (int dpi : {300, 600, 1200}) {
            QTest::addRow("%d dpi, wrapped", dpi) << dpi << 1 << true;
            QTest::addRow("%d dpi, cut at the box's end", dpi) << dpi << 8 << false;
        }
    }
    void fittedFieldStaysInItsBox()
    {
        QFETCH(int, resolution);
        QFETCH(int, repeat);
        QFETCH(bool, whole);
        useGridTemplate();
        m_session.currentTemplate = QStringLiteral("通用快递单");
        const FieldInfo* address = FieldCatalogue::byKey("A_Address");
        exec("UPDATE Exp_Model SET A_Address_Width=150");
        m_dm->templates->refresh();
        FieldFitStore::setFit(m_dm->database(), m_session.currentTemplate, "A_Address", true);
        FieldFitStore::setHeight(m_dm->database(), m_session.currentTemplate, "A_Address", 60);
        const QString text =
            QStringLiteral("北京市海淀区中关村南大街二十七号院三号楼").repeated(repeat);
        exec("INSERT INTO Exp_Att_Info (Name, Address) VALUES ('张三', '" + text + "')");
        m_dm->recipients->refresh();
        auto printer = pdfPrinter("fit.pdf", resolution);
        QVERIFY(BatchPrint::printAll(printer.get(), m_dm.get(),
                                     TemplateRows(m_dm->templates).loadCurrent(), m_session)
                    .ok);

        const double left = address->number * 20 * 25.4 / 96;
        const double top = address->number * 10 * 25.4 / 96;
        const double right = left + 150 * 25.4 / 96;
        const double bottom = top + 60 * 25.4 / 96;
        const QString ellipsis = QStringLiteral("…");
        QList<Word> lines;
        for (const Word& w : pdfWords("fit.pdf")) {
            const QString bare = w.text.endsWith(ellipsis) ? w.text.chopped(1) : w.text;
            if (w.text.startsWith(QStringLiteral("北")) || text.contains(bare))
                if (w.text != QStringLiteral("张三"))
                    lines << w;
        }
        std::sort(lines.begin(), lines.end(),
                  [](const Word& a, const Word& b) { return a.yMm < b.yMm; });
        QVERIFY(lines.size() >= 2);
        QString printed;
        for (const Word& w : lines) {
            QVERIFY2(
                w.xMm > left - 0.2 && w.rightMm < right + 0.2,
                qPrintable(QStringLiteral("%1: %2 … %3").arg(w.text).arg(w.xMm).arg(w.rightMm)));
            // Whole lines only: none sticks out below the box.
            QVERIFY2(w.yMm > top - 0.2 && w.bottomMm < bottom + 0.3,
                     qPrintable(QStringLiteral("%1: %2 … %3 (box %4 … %5)")
                                    .arg(w.text)
                                    .arg(w.yMm)
                                    .arg(w.bottomMm)
                                    .arg(top)
                                    .arg(bottom)));
            printed += w.text;
        }
        if (whole) {
            QCOMPARE(printed, text);
            return;
        }
        // The last line says that text was left out; what is printed is the
        // text's beginning.
        QVERIFY2(printed.endsWith(ellipsis), qPrintable(printed));
        printed.chop(1);
        QVERIFY(text.startsWith(printed) && printed.size() < text.size());
        QVERIFY(printed.size() > 20);
    }

    // A field with a font of its own prints in it, the others in the
    // template's print font, else the session's; a fitted field starts from
    // its own size. The command line prints with the same stored fonts.
    void fieldsPrintInTheirOwnFonts()
    {
        useGridTemplate();
        m_session.currentTemplate = QStringLiteral("通用快递单");
        exec("UPDATE Exp_Model SET A_Address_Width=300");
        m_dm->templates->refresh();
        FieldFitStore::setFit(m_dm->database(), m_session.currentTemplate, "A_Address", true);
        FieldFitStore::setHeight(m_dm->database(), m_session.currentTemplate, "A_Address", 60);
        exec("INSERT INTO Exp_Att_Info (Name, Company, Address) "
             "VALUES ('张三丰', '天工公司', '北京')");
        m_dm->recipients->refresh();
        // Height of each word's box, in millimetres.
        auto heights = [](const QString& pdf) {
            QHash<QString, double> h;
            for (const Word& w : pdfWords(pdf))
                h.insert(w.text, w.bottomMm - w.yMm);
            return h;
        };
        auto printer = pdfPrinter("plain.pdf", 600);
        QVERIFY(BatchPrint::printAll(printer.get(), m_dm.get(),
                                     TemplateRows(m_dm->templates).loadCurrent(), m_session)
                    .ok);
        const QHash<QString, double> plain = heights("plain.pdf");
        const double line = plain.value(QStringLiteral("天工公司"));
        QVERIFY(line > 0);
        QVERIFY(qAbs(plain.value(QStringLiteral("张三丰")) / line - 1) < 0.05);
        QVERIFY(qAbs(plain.value(QStringLiteral("北京")) / line - 1) < 0.05);

        QFont print = m_session.printFont();
        print.setPointSize(15);
        FieldFontStore::setPrintFont(m_dm->database(), m_session.currentTemplate, print);
        QFont big = m_session.printFont();
        big.setPointSize(20);
        FieldFontStore::setFieldFont(m_dm->database(), m_session.currentTemplate, "A_Name", big);
        FieldFontStore::setFieldFont(m_dm->database(), m_session.currentTemplate, "A_Address", big);
        ScriptedPrompt p;
        QCOMPARE(PrintCommand::runCommand({"--pdf", "fonts.pdf", "--model", "通用快递单"},
                                          m_dm.get(), m_session),
                 0);
        const QHash<QString, double> own = heights("fonts.pdf");
        const auto ratio = [&](const char* word) {
            return own.value(QString::fromUtf8(word)) / line;
        };
        QVERIFY2(qAbs(ratio("天工公司") - 1.5) < 0.05,
                 qPrintable(QString::number(ratio("天工公司"))));
        QVERIFY2(qAbs(ratio("张三丰") - 2.0) < 0.07, qPrintable(QString::number(ratio("张三丰"))));
        // The box is high enough for one line at 20 pt.
        QVERIFY2(qAbs(ratio("北京") - 2.0) < 0.07, qPrintable(QString::number(ratio("北京"))));

        // Back to the template's print font once the field's own is gone.
        FieldFontStore::clearFieldFont(m_dm->database(), m_session.currentTemplate, "A_Name");
        QCOMPARE(PrintCommand::runCommand({"--pdf", "fonts.pdf", "--model", "通用快递单"},
                                          m_dm.get(), m_session),
                 0);
        QVERIFY(qAbs(heights("fonts.pdf").value(QStringLiteral("张三丰")) / line - 1.5) < 0.05);
    }

    // A fitted field counts as shrunk below 8 pt only when fitting made it
    // smaller than its own size.
    void fittedFieldShrinksFromItsOwnSize_data()
    {
        QTest::addColumn<double>("own"); // 0: none, the 10 pt print font
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("shrunk");
        const QString twelve = QStringLiteral("北京市海淀区中关村南大街");
        const QString seventeen = QStringLiteral("北京市海淀区中关村南大街二十七号");
        QTest::newRow("print font, a little smaller") << 0.0 << twelve << false;
        QTest::newRow("print font, below 8 pt") << 0.0 << seventeen << true;
        QTest::newRow("own 7 pt, fits") << 7.0 << twelve << false;
        QTest::newRow("own 20 pt, below 8 pt") << 20.0 << seventeen << true;
    }
    void fittedFieldShrinksFromItsOwnSize()
    {
        QFETCH(double, own);
        QFETCH(QString, text);
        QFETCH(bool, shrunk);
        QImage page(900, 500, QImage::Format_RGB32);
        const int dotsPerMeter = qRound(PrintGeometry::kDesignDpi / 0.0254);
        page.setDotsPerMeterX(dotsPerMeter);
        page.setDotsPerMeterY(dotsPerMeter);
        RenderField r;
        r.field = FieldCatalogue::byKey("A_Address");
        r.visible = true;
        r.offset = QPoint(10, 10);
        r.width = 150;
        r.text = text;
        if (own > 0) {
            QFont f = m_session.printFont();
            f.setPointSizeF(own);
            r.font = f;
        }
        FieldFits fits;
        fits.insert("A_Address", FieldFit{true, 21}); // about one line of 12 pt
        const Misfits found = RecordRenderer::misfits({r}, fits, m_session.printFont(), &page,
                                                      page.width(), page.height());
        QCOMPARE(found.size(), shrunk ? 1 : 0);
        if (shrunk) {
            QCOMPARE(found.at(0).kind, Misfit::Kind::Shrunk);
            QVERIFY(found.at(0).pointSize < 8);
        }
    }

    // Kept fonts are read as what they are: rows that hold no usable font
    // are left out, sizes chosen out of range are kept at the nearest.
    void storedFontsAreChecked()
    {
        const QSqlDatabase db = m_dm->database();
        exec("INSERT INTO Model_Field_Font (Model_Name, Field_Key, Family, Size_Pt) VALUES "
             "('甲', 'A_Name', 'DejaVu Sans', 12), ('甲', 'A_City', '', 12), "
             "('甲', 'A_Phone', 'DejaVu Sans', 0), ('甲', 'A_Mobile', 'DejaVu Sans', 'x'), "
             "('甲', 'A_Company', 'DejaVu Sans', 1e9), ('乙', 'A_Address', 'DejaVu Sans', 9)");
        exec("INSERT INTO Model_Print_Font (Model_Name, Family, Size_Pt) VALUES "
             "('甲', '" +
             QString(300, 'A') + "', 12)");
        const FieldFonts fonts = FieldFontStore::load(db, "甲");
        QCOMPARE(fonts.keys(), QStringList({"A_Name"}));
        QCOMPARE(fonts.value("A_Name").pointSizeF(), 12.0);
        QVERIFY(!FieldFontStore::printFont(db, "甲"));
        QFont tiny("DejaVu Sans");
        tiny.setPointSizeF(1);
        FieldFontStore::setFieldFont(db, "甲", "A_City", tiny);
        QCOMPARE(FieldFontStore::load(db, "甲").value("A_City").pointSizeF(),
                 FieldFontStore::kMinPointSize);
        QFont pixels("DejaVu Sans");
        pixels.setPixelSize(24);
        FieldFontStore::setPrintFont(db, "甲", pixels);
        QCOMPARE(FieldFontStore::printFont(db, "甲").value_or(QFont()).pointSizeF(), 18.0);
    }

    // A one-line field is measured only when it could reach the paper's
    // edge; one that ends just inside must still pass and one just outside
    // be caught, also with a character from outside the font or with
    // spacing added to the font.
    void oneLineFieldAtThePapersEdge_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("letterSpacing");
        QTest::addColumn<double>("past"); // where the paper ends from the text's end
        QTest::addColumn<bool>("offPaper");
        const QString cjk = QStringLiteral("北京市海淀区中关村");
        const QString other = cjk + QString::fromUcs4(U"\U0001D11E");
        for (const auto& [name, text] :
             {std::pair{"chinese", cjk}, std::pair{"latin", QStringLiteral("No 12 Long Street")},
              std::pair{"outside the font", other}})
            for (double spacing : {0.0, 30.0})
                for (double past : {1.0, -1.0})
                    QTest::addRow("%s, spacing %g, paper ends %g px after", name, spacing, past)
                        << text << spacing << past << (past < 0);
    }
    void oneLineFieldAtThePapersEdge()
    {
        QFETCH(QString, text);
        QFETCH(double, letterSpacing);
        QFETCH(double, past);
        QFETCH(bool, offPaper);
        QImage device(10, 10, QImage::Format_ARGB32);
        device.setDotsPerMeterX(qRound(1200 / 0.0254));
        device.setDotsPerMeterY(qRound(1200 / 0.0254));
        QFont font(QStringLiteral("WenQuanYi Zen Hei"));
        font.setPointSizeF(10);
        RenderField field;
        field.field = FieldCatalogue::byKey("A_Company");
        field.visible = true;
        field.offset = QPoint(100, 50);
        field.text = text;
        if (letterSpacing) {
            QFont spaced = font;
            spaced.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
            field.font = spaced;
        }
        const QFont drawn(field.font ? *field.font : font, &device);
        const QPointF p = PrintGeometry::devicePoint(field.offset, 1200, 1200);
        const double end = p.x() + QFontMetricsF(drawn, &device).horizontalAdvance(text);
        const Misfits found =
            RecordRenderer::misfits({field}, {}, font, &device, end + past, 100000);
        QCOMPARE(found.size(), offPaper ? 1 : 0);
        if (offPaper)
            QCOMPARE(found.at(0).kind, Misfit::Kind::OffPaper);
    }

    // Rows whose text leaves the paper or a fitted box are listed on
    // standard error; the job still prints every row.
    void commandLineListsRowsThatDoNotFit()
    {
        useGridTemplate();
        m_session.currentTemplate = QStringLiteral("通用快递单");
        ConfigIni::writeString(m_session.appDir, QStringLiteral("DefaultModel"),
                               QStringLiteral("ModelName"), m_session.currentTemplate);
        FieldFitStore::setFit(m_dm->database(), m_session.currentTemplate, "A_Address", true);
        exec("UPDATE Exp_Model SET A_Address_Width=150");
        m_dm->templates->refresh();
        const QString tooLong = QStringLiteral("北京市海淀区中关村南大街").repeated(20);
        // One line of 17 characters in a box 11 characters wide at 10 pt.
        const QString smaller = QStringLiteral("北京市海淀区中关村南大街二十七号");
        exec("INSERT INTO Exp_Att_Info (Name, Address) VALUES ('张三', '北京')");
        exec("INSERT INTO Exp_Att_Info (Name, Address) VALUES ('李四', '" + tooLong + "')");
        exec("INSERT INTO Exp_Att_Info (Name, Company) VALUES ('王五', '" + tooLong + "')");
        exec("INSERT INTO Exp_Att_Info (Name, Address) VALUES ('赵六', '" + smaller + "')");
        m_dm->recipients->refresh();
        ScriptedPrompt p;
        QTemporaryFile err;
        QVERIFY(err.open());
        std::fflush(stderr);
        const int saved = dup(2);
        dup2(err.handle(), 2);
        const int status = PrintCommand::runCommand({"--pdf", "misfit.pdf"}, m_dm.get(), m_session);
        std::fflush(stderr);
        dup2(saved, 2);
        close(saved);
        QCOMPARE(status, 0);
        QCOMPARE(pdfInfo("misfit.pdf", "Pages"), QStringLiteral("4"));
        err.seek(0);
        // Rows that only shrank apart from those that lose text, each line
        // naming the row, the field and what happens to it.
        const QStringList said = QString::fromUtf8(err.readAll()).split('\n');
        QCOMPARE(said.size(), 6);
        QCOMPARE(said.at(0), QStringLiteral("以下收件人的内容被缩小到 8 号字以下："));
        const QRegularExpression shrunk(
            QStringLiteral("^第 4 行 赵六：收件详细地址被缩小到 (\\d(\\.5)?) 号字$"));
        const auto m = shrunk.match(said.at(1));
        QVERIFY2(m.hasMatch(), qPrintable(said.at(1)));
        QVERIFY(m.captured(1).toDouble() >= 6 && m.captured(1).toDouble() < 8);
        QCOMPARE(said.mid(2),
                 QStringList({QStringLiteral("以下收件人的内容打印不下："),
                              QStringLiteral("第 2 行 李四：收件详细地址在框底截断，"
                                             "以“…”结尾"),
                              QStringLiteral("第 3 行 王五：收件人单位超出纸张"), QString()}));
        // The shrunk address is printed whole.
        QStringList words;
        for (const Word& w : pdfWords("misfit.pdf", 4))
            words << w.text;
        QVERIFY2(words.join(QString()).contains(smaller), qPrintable(words.join('|')));
    }

    void longTextIsNeitherClippedNorWrapped()
    {
        useGridTemplate();
        addSender();
        const QString address = QString(60, QLatin1Char('A'));
        exec("INSERT INTO Exp_Att_Info (Address) VALUES ('" + address + "')");
        m_dm->recipients->refresh();
        auto printer = pdfPrinter("long.pdf");
        QVERIFY(BatchPrint::printAll(printer.get(), m_dm.get(),
                                     TemplateRows(m_dm->templates).loadCurrent(), m_session)
                    .ok);
        QStringList texts;
        for (const Word& w : pdfWords("long.pdf"))
            texts << w.text;
        QVERIFY(texts.contains(address));
    }

    void cancelLeavesNoFile()
    {
        useGridTemplate();
        addSender();
        addRecipients(5);
        ScriptedPrompt p;
        p.cancelProgressAt = 3;
        auto progress = p.progress("row", 5);
        auto printer = pdfPrinter("cancel.pdf");
        const BatchPrint::Result r = BatchPrint::printAll(
            printer.get(), m_dm.get(), TemplateRows(m_dm->templates).loadCurrent(), m_session,
            progress.get());
        QVERIFY(!r.ok);
        QVERIFY(r.canceled);
        QVERIFY(!QFile::exists("cancel.pdf"));
        QVERIFY(!QFile::exists("cancel.pdf.part"));
        QCOMPARE(printer->outputFileName(), QString("cancel.pdf"));
    }

    // The PDF goes into a new file of its own next to the target: a link
    // planted where the old fixed temporary name was is not followed, and a
    // target that cannot be written is named with the system's reason.
    void pdfOutputIsWrittenSafely_data()
    {
        QTest::addColumn<QString>("plant");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("why"); // the first line ends so; empty when it works
        QTest::newRow("link planted at the .part name") << "link"
                                                        << "out.pdf" << QString();
        QTest::newRow("folder missing") << ""
                                        << "missing/out.pdf"
                                        << "文件夹不存在。";
        QTest::newRow("a file where the folder should be") << "file"
                                                           << "plain/out.pdf"
                                                           << "路径中有一项不是文件夹。";
        QTest::newRow("a folder where the file should be") << "folder"
                                                           << "out.pdf"
                                                           << "同名的文件夹已存在。";
        QTest::newRow("a read-only file") << "read-only"
                                          << "out.pdf"
                                          << "文件是只读的，或没有写入权限。";
    }
    void pdfOutputIsWrittenSafely()
    {
        QFETCH(QString, plant);
        QFETCH(QString, target);
        QFETCH(QString, why);
        addSender();
        addRecipients(2);
        QFile victim("victim.txt");
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.write("precious");
        victim.close();
        if (plant == "link")
            QVERIFY(QFile::link("victim.txt", "out.pdf.part"));
        else if (plant == "file")
            QVERIFY(QFile::copy("victim.txt", "plain"));
        else if (plant == "folder")
            QVERIFY(QDir().mkdir("out.pdf"));
        else if (plant == "read-only") {
            if (geteuid() == 0)
                QSKIP("root may write a read-only file");
            QVERIFY(QFile::copy("victim.txt", "out.pdf"));
            QVERIFY(QFile::setPermissions("out.pdf", QFile::ReadOwner));
        }
        const auto listing = [] {
            return QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
        };
        const QStringList before = listing();

        auto printer = pdfPrinter(target);
        const BatchPrint::Result r = BatchPrint::printAll(
            printer.get(), m_dm.get(), TemplateRows(m_dm->templates).loadCurrent(), m_session);
        QFile check("victim.txt");
        QVERIFY(check.open(QIODevice::ReadOnly));
        QCOMPARE(check.readAll(), QByteArray("precious"));
        QStringList after = listing();
        if (why.isEmpty()) {
            QVERIFY2(r.ok, qPrintable(r.message));
            QCOMPARE(pdfInfo(target, "Pages"), QString("2"));
            QVERIFY(QFileInfo("out.pdf.part").isSymLink());
            after.removeOne(target);
        } else {
            QVERIFY(!r.ok);
            const QStringList lines = r.message.split('\n');
            QCOMPARE(lines.size(), 2);
            QVERIFY2(lines.at(0).startsWith("无法写入文件 ") && lines.at(0).endsWith(why),
                     qPrintable(r.message));
            QVERIFY(!lines.at(1).isEmpty());
        }
        QCOMPARE(after, before); // no temporary file left
    }

    // What a job killed on the way left beside its target goes the next time
    // that target is written; nothing else does.
    void staleTemporaryFilesOfTheTargetGo()
    {
        addSender();
        addRecipients(1);
        const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
        auto plant = [&](const QString& name, bool stale) {
            auto f = std::make_unique<QFile>(name);
            f->open(QIODevice::ReadWrite);
            f->write("%PDF-1.4 half a job");
            f->flush();
            if (stale)
                f->setFileTime(old, QFileDevice::FileModificationTime);
            return f;
        };
        plant("out.pdf.0a1b2c3d.part", true);
        plant("out.pdf.0A1B2C3D.part", true);  // not the program's pattern
        plant("out.pdf.12345678.part", false); // too fresh to be surely stale
        plant("other.pdf.0a1b2c3d.part", true);
        plant("out.pdf.0a1b2c3d.part.bak", true);
        // A job still running holds a lock on its file.
        const auto running = plant("out.pdf.feedbeef.part", true);
        QCOMPARE(::flock(running->handle(), LOCK_EX | LOCK_NB), 0);
        ScriptedPrompt p;
        QCOMPARE(PrintCommand::runCommand({"--pdf", "out.pdf"}, m_dm.get(), m_session), 0);
        QCOMPARE(QDir().entryList({"*.part*"}, QDir::Files, QDir::Name),
                 QStringList({"other.pdf.0a1b2c3d.part", "out.pdf.0A1B2C3D.part",
                              "out.pdf.0a1b2c3d.part.bak", "out.pdf.12345678.part",
                              "out.pdf.feedbeef.part"}));
        QCOMPARE(pdfInfo("out.pdf", "Pages"), QString("1"));
    }

    // A file size limit fails writes as a full disk does: the message says
    // the disk is full and names the file, and no file is left.
    void fullDiskIsSaid()
    {
        addSender();
        addRecipients(3);
        ScriptedPrompt p;
        struct rlimit before;
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &before), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = before;
        small.rlim_cur = 4096;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const int status = PrintCommand::runCommand({"--pdf", "full.pdf"}, m_dm.get(), m_session);
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(status, 1);
        QCOMPARE(p.messages().size(), 1);
        QVERIFY2(p.messages().at(0).contains(QStringLiteral("磁盘空间不足")) &&
                     p.messages().at(0).contains(QStringLiteral("full.pdf")),
                 qPrintable(p.messages().at(0)));
        QCOMPARE(QDir().entryList({"full.pdf*"}, QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(printCounts(), QList<int>({0, 0, 0}));
    }

    void throughARealCupsQueue()
    {
        if (!m_cupsSkip.isEmpty())
            QSKIP(qPrintable(m_cupsSkip));
        const QString dir = m_cupsDir.path();

        useGridTemplate();
        addSender();
        addRecipients(3);
        QPrinter printer(QPrinter::HighResolution);
        printer.setPrinterName("waylark-test");
        QCOMPARE(printer.outputFormat(), QPrinter::NativeFormat);
        setPaper(&printer, 2300, 1270);
        const BatchPrint::Result r = BatchPrint::printAll(
            &printer, m_dm.get(), TemplateRows(m_dm->templates).loadCurrent(), m_session);
        QVERIFY2(r.ok, qPrintable(r.message));

        QString job;
        for (int i = 0; i < 100 && job.isEmpty(); ++i) {
            QTest::qWait(100);
            const QStringList files = QDir(dir + "/out").entryList({"job-*.pdf"});
            if (!files.isEmpty())
                job = dir + "/out/" + files.first();
        }
        QVERIFY2(!job.isEmpty(), "the queue delivered no job");
        QCOMPARE(pdfInfo(job, "Pages"), QString("3"));
        QVERIFY2(isWaybillPage(pdfInfo(job, "Page size")), qPrintable(pdfInfo(job, "Page size")));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("pages"); // of cli.pdf; 0 for none
        QTest::newRow("pdf, default model")
            << QStringList({"--pdf", "cli.pdf"}) << 0 << QString() << 2;
        QTest::newRow("pdf, named model")
            << QStringList({"--pdf", "cli.pdf", "--model", "通用快递单"}) << 0 << QString() << 2;
        QTest::newRow("--name=value, and --template for --model")
            << QStringList({"--pdf=cli.pdf", "--template=通用快递单"}) << 0 << QString() << 2;
        QTest::newRow("unknown model") << QStringList({"--pdf", "cli.pdf", "--model", "无此模板"})
                                       << 1 << "当前模板不存在，请先保存模板！" << 0;
        QTest::newRow("no such queue")
            << QStringList({"--printer", "no-such-queue"}) << 1
            << QStringLiteral("打印机没准备好！\n没有名为“no-such-queue”的打印机。") << 0;
        // A target that cannot be written is refused before any page is drawn.
        QTest::newRow("empty pdf name")
            << QStringList({"--pdf", ""}) << 2 << "没有指定要写入的 PDF 文件！" << 0;
        QTest::newRow("pdf name of a folder")
            << QStringList({"--pdf", "."}) << 1 << "无法写入文件 .：同名的文件夹已存在。" << 0;
        QTest::newRow("pdf in a missing folder")
            << QStringList({"--pdf", "no-such-dir/cli.pdf"}) << 1
            << "无法写入文件 no-such-dir/cli.pdf：文件夹不存在。" << 0;
        QTest::newRow("both outputs")
            << QStringList({"--pdf", "a.pdf", "--printer", "q"}) << 2 << QString() << 0;
        QTest::newRow("unknown option") << QStringList({"--pfd", "a.pdf"}) << 2 << QString() << 0;
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(int, pages);
        addSender();
        addRecipients(2);
        ScriptedPrompt p;
        QCOMPARE(PrintCommand::runCommand(args, m_dm.get(), m_session), status);
        if (!message.isEmpty()) { // the first lines; the system's reason may follow
            QCOMPARE(p.messages().size(), 1);
            QVERIFY2(p.messages().at(0).startsWith(message), qPrintable(p.messages().at(0)));
        }
        if (pages) {
            QCOMPARE(pdfInfo("cli.pdf", "Pages"), QString::number(pages));
            QVERIFY(isWaybillPage(pdfInfo("cli.pdf", "Page size")) ==
                    false); // the delivered 211.7 × 116.9 mm
            QStringList texts;
            for (const Word& w : pdfWords("cli.pdf", 2))
                texts << w.text;
            QVERIFY(texts.contains("R2F7"));
        } else {
            QVERIFY(!QFile::exists("cli.pdf"));
        }
    }

    void commandLineAppliesStoredOffsets_data()
    {
        QTest::addColumn<int>("dx");
        QTest::addColumn<int>("dy");
        QTest::newRow("right and up") << 15 << -8;
        QTest::newRow("left and down") << -20 << 30;
    }
    void commandLineAppliesStoredOffsets()
    {
        QFETCH(int, dx);
        QFETCH(int, dy);
        useGridTemplate();
        exec(QStringLiteral("UPDATE Exp_Model SET Page_LeftX=%1, Page_TopY=%2").arg(dx).arg(dy));
        m_dm->templates->refresh();
        addSender();
        addRecipients(1);
        ScriptedPrompt p;
        QCOMPARE(PrintCommand::runCommand({"--pdf", "cli.pdf"}, m_dm.get(), m_session), 0);
        QHash<QString, Word> byText;
        for (const Word& w : pdfWords("cli.pdf"))
            byText.insert(w.text, w);
        for (const FieldInfo& f : FieldCatalogue::all()) {
            const QString text = f.isSender() ? QStringLiteral("S%1X").arg(f.number)
                                              : QStringLiteral("R1F%1").arg(f.number);
            QVERIFY2(byText.contains(text), qPrintable(text));
            const Word w = byText.value(text);
            const double xMm = (f.number * 20 + dx) * 25.4 / 96;
            const double yMm = (f.number * 10 + dy) * 25.4 / 96;
            QVERIFY2(qAbs(w.xMm - xMm) < 0.2,
                     qPrintable(QStringLiteral("%1 x %2 vs %3").arg(text).arg(w.xMm).arg(xMm)));
            QVERIFY2(qAbs(w.yMm - yMm) < 0.2,
                     qPrintable(QStringLiteral("%1 y %2 vs %3").arg(text).arg(w.yMm).arg(yMm)));
        }
    }

    void cancelOnACupsQueueSendsNothing()
    {
        if (!m_cupsSkip.isEmpty())
            QSKIP(qPrintable(m_cupsSkip));
        const QDir out(m_cupsDir.path() + "/out");
        const int before = out.entryList({"job-*.pdf"}).size();
        useGridTemplate();
        addSender();
        addRecipients(4);
        ScriptedPrompt p;
        p.cancelProgressAt = 2;
        auto progress = p.progress("row", 4);
        QPrinter printer(QPrinter::HighResolution);
        printer.setPrinterName("waylark-test");
        setPaper(&printer, 2300, 1270);
        const BatchPrint::Result r =
            BatchPrint::printAll(&printer, m_dm.get(), TemplateRows(m_dm->templates).loadCurrent(),
                                 m_session, progress.get());
        QVERIFY(r.canceled);
        QTest::qWait(1500);
        QCOMPARE(out.entryList({"job-*.pdf"}).size(), before);
    }

    void rowRanges_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVector<int>>("rows"); // empty: refused
        QTest::newRow("range and single") << "1-3,5" << QVector<int>({0, 1, 2, 4});
        QTest::newRow("blanks, repeats, order") << " 4 , 2-3,2" << QVector<int>({1, 2, 3});
        QTest::newRow("full-width comma") << QStringLiteral("1，5") << QVector<int>({0, 4});
        QTest::newRow("full-width digits")
            << QStringLiteral("１－３，５") << QVector<int>({0, 1, 2, 4});
        QTest::newRow("full-width blank")
            << QStringLiteral("２\u3000,\u3000４") << QVector<int>({1, 3});
        QTest::newRow("other digits") << QStringLiteral("\u0663") << QVector<int>();
        QTest::newRow("whole table") << "1-5" << QVector<int>({0, 1, 2, 3, 4});
        QTest::newRow("backwards") << "3-1" << QVector<int>();
        QTest::newRow("zero") << "0" << QVector<int>();
        QTest::newRow("past the end") << "4-6" << QVector<int>();
        QTest::newRow("not a number") << "a" << QVector<int>();
        QTest::newRow("empty part") << "1,,2" << QVector<int>();
        QTest::newRow("empty") << "" << QVector<int>();
        QTest::newRow("huge") << "99999999999" << QVector<int>();
    }
    void rowRanges()
    {
        QFETCH(QString, text);
        QFETCH(QVector<int>, rows);
        QString error;
        QCOMPARE(RowSelection::parseRange(text, 5, &error), rows);
        QCOMPARE(error.isEmpty(), !rows.isEmpty());
    }

    // Only a job handed over whole marks rows, exactly those it printed, and
    // logs one line.
    void marksFollowCompletedJobsOnly_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<int>("logLines");
        QTest::newRow("all rows") << "all" << QList<int>({1, 1, 1, 1}) << 1;
        QTest::newRow("given rows") << "rows 2,4" << QList<int>({0, 1, 0, 1}) << 1;
        QTest::newRow("twice") << "twice" << QList<int>({2, 2, 2, 2}) << 2;
        QTest::newRow("cancelled") << "cancel" << QList<int>({0, 0, 0, 0}) << 0;
        QTest::newRow("failed") << "fail" << QList<int>({0, 0, 0, 0}) << 0;
    }
    void marksFollowCompletedJobsOnly()
    {
        QFETCH(QString, how);
        QFETCH(QList<int>, counts);
        QFETCH(int, logLines);
        useGridTemplate();
        addSender();
        addRecipients(4);
        m_session.currentTemplate = QStringLiteral("通用快递单");
        ScriptedPrompt p;
        if (how == "cancel")
            p.cancelProgressAt = 3;
        auto progress = p.progress("row", 4);
        auto printer = pdfPrinter(how == "fail" ? "no such dir/x.pdf" : "marks.pdf");
        const TemplateLayout positions = TemplateRows(m_dm->templates).loadCurrent();
        const int cursorBefore = m_dm->recipients->recNo();
        BatchPrint::Result r;
        for (int i = 0; i < (how == "twice" ? 2 : 1); ++i)
            r = how == "rows 2,4"
                    ? BatchPrint::printRows(printer.get(), m_dm.get(), positions, m_session, {1, 3})
                    : BatchPrint::printAll(printer.get(), m_dm.get(), positions, m_session,
                                           progress.get());
        QCOMPARE(r.ok, logLines > 0);
        QCOMPARE(printCounts(), counts);
        QSqlQuery pending(m_dm->database());
        QVERIFY(pending.exec("SELECT count(*) FROM Print_Pending") && pending.next());
        QCOMPARE(pending.value(0).toInt(), 0); // settled or dropped, never left
        // The dataset shows the marks too.
        const int countField = m_dm->recipients->fieldIndex("Print_Count");
        for (int row = 0; row < counts.size(); ++row)
            QCOMPARE(m_dm->recipients->cell(row, countField).toInt(), counts.at(row));
        const QList<PrintLog::Entry> log = PrintLog::newestFirst(m_dm->database());
        QCOMPARE(log.size(), logLines);
        if (!logLines)
            return;
        const PrintLog::Entry e = log.first();
        QCOMPARE(e.model, QStringLiteral("通用快递单"));
        QCOMPARE(e.target, QStringLiteral("marks.pdf"));
        QCOMPARE(e.pages, how == "rows 2,4" ? 2 : 4);
        QCOMPARE(e.firstName, how == "rows 2,4" ? QStringLiteral("R2F7") : QStringLiteral("R1F7"));
        QCOMPARE(e.lastName, QStringLiteral("R4F7"));
        // 'waylark log': a title line, then one line per job, newest first.
        const QStringList lines = PrintLog::toTabSeparated(log).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), logLines + 1);
        const QStringList cells = lines.at(1).split('\t');
        QCOMPARE(cells.mid(1), QStringList({e.model, "marks.pdf", QString::number(e.pages),
                                            e.firstName, "R4F7", ""}));
        QCOMPARE(e.names, printedNames("marks.pdf"));
        QVERIFY(QDateTime::fromString(cells.at(0), "yyyy-MM-dd HH:mm:ss").isValid());
        QCOMPARE(printedNames("marks.pdf"), how == "rows 2,4"
                                                ? QStringList({"R2F7", "R4F7"})
                                                : QStringList({"R1F7", "R2F7", "R3F7", "R4F7"}));
        if (how == "rows 2,4")
            QCOMPARE(e.rowIds.size(), 2);
        // Printing never moves the cursor, so the grid keeps the user's row.
        QCOMPARE(m_dm->recipients->recNo(), cursorBefore);
        QVERIFY(!m_dm->recipients->eof());
    }

    // A job that a killed run left pending (written down, handed over or
    // not, never settled) is marked at the next start when it reached its
    // target and dropped when it did not.
    void leftoverJobsAtStart_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("marked");
        QTest::newRow("PDF file in place") << "pdf in place" << true;
        QTest::newRow("PDF file never renamed") << "pdf not renamed" << false;
        QTest::newRow("an older PDF of that name") << "pdf older" << false;
        QTest::newRow("queue job accepted") << "queue accepted" << true;
        QTest::newRow("queue job never made") << "queue no job" << false;
        QTest::newRow("queue job the queue never had") << "queue unknown job" << false;
    }
    void leftoverJobsAtStart()
    {
        QFETCH(QString, how);
        QFETCH(bool, marked);
        const bool toQueue = how.startsWith("queue");
        if (toQueue && !m_cupsSkip.isEmpty())
            QSKIP(qPrintable(m_cupsSkip));
        useGridTemplate();
        addSender();
        addRecipients(3);
        const QSqlDatabase db = m_dm->database();
        PrintLog::Entry entry;
        entry.model = QStringLiteral("通用快递单");
        entry.target = toQueue ? QStringLiteral("waylark-test") : QStringLiteral("kept.pdf");
        entry.pages = 2;
        entry.firstName = QStringLiteral("R1F7");
        entry.lastName = QStringLiteral("R3F7");
        entry.rowIds = {m_dm->recipients->rowId(0), m_dm->recipients->rowId(2)};
        QString path;
        QString identity;
        if (!toQueue) {
            path = QFileInfo("kept.pdf").absoluteFilePath();
            QFile part("kept.pdf.0123abcd.part");
            QVERIFY(part.open(QIODevice::WriteOnly) && part.write("%PDF-1.4\n") > 0);
            part.close();
            identity = PrintJournal::fileIdentity(part.fileName());
            QVERIFY(!identity.isEmpty());
            if (how == "pdf in place")
                QVERIFY(QFile::rename(part.fileName(), "kept.pdf"));
            if (how == "pdf older") {
                QFile older("kept.pdf");
                QVERIFY(older.open(QIODevice::WriteOnly) && older.write("%PDF-1.4\n") > 0);
            }
        }
        const QDateTime when(QDate(2026, 12, 1), QTime(9, 30));
        const qint64 pending = PrintJournal::writePending(db, entry, path, identity, when);
        if (how == "queue accepted") {
            QFile document("queued.pdf");
            QVERIFY(document.open(QIODevice::WriteOnly) && document.write("%PDF-1.4\n") > 0);
            document.close();
            QProcess lp;
            // Held, so that it never reaches the queue's output folder.
            lp.start("lp", {"-d", "waylark-test", "-H", "hold", "queued.pdf"});
            QVERIFY(lp.waitForFinished(30000) && lp.exitCode() == 0);
            // "request id is waylark-test-7 (1 file(s))"
            const QString out = QString::fromUtf8(lp.readAllStandardOutput());
            const QRegularExpressionMatch m = QRegularExpression("waylark-test-(\\d+)").match(out);
            QVERIFY2(m.hasMatch(), qPrintable(out));
            PrintJournal::setCupsJob(db, pending, m.captured(1).toInt());
        } else if (how == "queue unknown job") {
            PrintJournal::setCupsJob(db, pending, 999999);
        }

        ScriptedPrompt p;
        PrintJournal::settleAtStart(m_dm.get());
        QCOMPARE(printCounts(), marked ? QList<int>({1, 0, 1}) : QList<int>({0, 0, 0}));
        const int countField = m_dm->recipients->fieldIndex("Print_Count");
        QCOMPARE(m_dm->recipients->cell(0, countField).toInt(), marked ? 1 : 0);
        const QList<PrintLog::Entry> log = PrintLog::newestFirst(db);
        QCOMPARE(log.size(), marked ? 1 : 0);
        if (marked) {
            QCOMPARE(log.first().printedAt, QStringLiteral("2026-12-01 09:30:00"));
            QCOMPARE(log.first().target, entry.target);
            QCOMPARE(log.first().rowIds, entry.rowIds);
        }
        QSqlQuery q(db);
        QVERIFY(q.exec("SELECT count(*) FROM Print_Pending") && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        QCOMPARE(p.messages(),
                 QStringList(marked ? "上次运行在打印作业送出后意外结束：已为 1 "
                                      "个送出的作业补记打印标记。"
                                    : "上次运行有 1 个打印作业未能送出，没有记打印标记。"));

        // Settled once: the next start has nothing to say.
        p.clear();
        PrintJournal::settleAtStart(m_dm.get());
        QCOMPARE(p.messages(), QStringList());
    }

    // Rows chosen on the command line, numbered as the grid shows them.
    void commandLineRows_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("names"); // printed, in order
        QTest::newRow("range") << QStringList({"--rows", "2-3,5"}) << 0
                               << QStringList({"R2F7", "R3F7", "R5F7"});
        QTest::newRow("unprinted")
            << QStringList({"--unprinted"}) << 0 << QStringList({"R2F7", "R4F7", "R5F7"});
        QTest::newRow("unprinted of a range")
            << QStringList({"--rows", "1-4", "--unprinted"}) << 0 << QStringList({"R2F7", "R4F7"});
        QTest::newRow("nothing unprinted")
            << QStringList({"--rows", "1,3", "--unprinted"}) << 1 << QStringList();
        QTest::newRow("full-width range") << QStringList({"--rows", QStringLiteral("１-３")}) << 0
                                          << QStringList({"R1F7", "R2F7", "R3F7"});
        QTest::newRow("full-width list") << QStringList({"--rows", QStringLiteral("１，３")}) << 0
                                         << QStringList({"R1F7", "R3F7"});
        QTest::newRow("past the end") << QStringList({"--rows", "5-6"}) << 2 << QStringList();
        QTest::newRow("backwards") << QStringList({"--rows", "3-2"}) << 2 << QStringList();
        QTest::newRow("not numbers") << QStringList({"--rows", "x"}) << 2 << QStringList();
    }
    void commandLineRows()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QStringList, names);
        addSender();
        addRecipients(5);
        exec("UPDATE Exp_Att_Info SET Print_Count = 1, Printed_At = '2026-01-01 08:00:00' "
             "WHERE Name IN ('R1F7', 'R3F7')");
        m_dm->recipients->refresh();
        ScriptedPrompt p;
        QCOMPARE(PrintCommand::runCommand(QStringList({"--pdf", "rows.pdf"}) + args, m_dm.get(),
                                          m_session),
                 status);
        if (status) {
            QVERIFY(!QFile::exists("rows.pdf"));
            QCOMPARE(p.messages().size(), 1);
            QCOMPARE(PrintLog::newestFirst(m_dm->database()).size(), 0);
            return;
        }
        QCOMPARE(printedNames("rows.pdf"), names);
        QCOMPARE(PrintLog::newestFirst(m_dm->database()).size(), 1);
        QSqlQuery q(m_dm->database());
        q.exec(
            "SELECT Name FROM Exp_Att_Info WHERE Printed_At <> '2026-01-01 08:00:00' ORDER BY ID");
        QStringList marked;
        while (q.next())
            marked << q.value(0).toString();
        QCOMPARE(marked, names);
    }

    // Rows with neither name nor address print no page and get no mark;
    // the command says how many it skipped.
    void blankRowsPrintNoPage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("names"); // printed, in order
        QTest::addColumn<QString>("said");
        const QString skipped = QStringLiteral("已跳过 %1 行既无姓名也无地址的收件人。");
        QTest::newRow("every row")
            << QStringList() << 0 << QStringList({"R1F7", "R3F7", "R5F7"}) << skipped.arg(2);
        QTest::newRow("a range") << QStringList({"--rows", "1-2"}) << 0 << QStringList({"R1F7"})
                                 << skipped.arg(1);
        QTest::newRow("only blank rows")
            << QStringList({"--rows", "2,4"}) << 1 << QStringList()
            << QStringLiteral("没有要打印的收件人！\n") + skipped.arg(2);
    }
    void blankRowsPrintNoPage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QStringList, names);
        QFETCH(QString, said);
        addSender();
        addRecipients(5);
        exec("UPDATE Exp_Att_Info SET Name = ' ', Address = NULL WHERE Name = 'R2F7'");
        exec("UPDATE Exp_Att_Info SET Name = '', Address = '\u3000' WHERE Name = 'R4F7'");
        m_dm->recipients->refresh();
        ScriptedPrompt p;
        QCOMPARE(PrintCommand::runCommand(QStringList({"--pdf", "blank.pdf"}) + args, m_dm.get(),
                                          m_session),
                 status);
        QCOMPARE(p.messages(), QStringList({said}));
        if (status) {
            QVERIFY(!QFile::exists("blank.pdf"));
            return;
        }
        QCOMPARE(printedNames("blank.pdf"), names);
        QCOMPARE(pdfInfo("blank.pdf", "Pages"), QString::number(names.size()));
        QSqlQuery q(m_dm->database());
        q.exec("SELECT Name FROM Exp_Att_Info WHERE Print_Count > 0 ORDER BY ID");
        QStringList marked;
        while (q.next())
            marked << q.value(0).toString();
        QCOMPARE(marked, names);
    }

    void calibrateCommand_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("printer");
        QTest::addColumn<QList<double>>("stored"); // after the command; empty: nothing stored
        QTest::addColumn<QString>("said");         // the message, when it matters
        QTest::newRow("set two") << QStringList({"--pdf", "--dx", "1.26", "--sy", "102"}) << 0
                                 << "PDF" << QList<double>({1.3, 0, 100, 102}) << QString();
        QTest::newRow("named queue, model")
            << QStringList({"--printer", "HP_LaserJet", "--model", "通用快递单", "--dy", "-4.5"})
            << 0 << "HP_LaserJet" << QList<double>({0, -4.5, 100, 100}) << QString();
        QTest::newRow("only prints")
            << QStringList({"--pdf"}) << 0 << "PDF" << QList<double>() << QString();
        QTest::newRow("shift too far")
            << QStringList({"--pdf", "--dx", "50.1"}) << 2 << "PDF" << QList<double>() << QString();
        QTest::newRow("scale too small")
            << QStringList({"--pdf", "--sx", "89"}) << 2 << "PDF" << QList<double>() << QString();
        // Wrong values are wrong usage before any printer is looked for.
        QTest::newRow("not a number")
            << QStringList({"--dx", "abc"}) << 2 << "PDF" << QList<double>()
            << QStringLiteral("--dx 的值不是数字：abc");
        QTest::newRow("not a finite number")
            << QStringList({"--printer", "q", "--sy", "nan"}) << 2 << "PDF" << QList<double>()
            << QStringLiteral("--sy 的值不是数字：nan");
        QTest::newRow("out of range, named")
            << QStringList({"--sx", "200"}) << 2 << "PDF" << QList<double>()
            << QStringLiteral("--sx 的值超出范围：200\n缩放比例必须在 90% 到 110% 之间！");
        QTest::newRow("both printers") << QStringList({"--pdf", "--printer", "q"}) << 2 << "PDF"
                                       << QList<double>() << QString();
        QTest::newRow("unknown model") << QStringList({"--pdf", "--model", "无此模板", "--dx", "1"})
                                       << 1 << "PDF" << QList<double>() << QString();
    }
    void calibrateCommand()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, printer);
        QFETCH(QList<double>, stored);
        QFETCH(QString, said);
        ScriptedPrompt p;
        QCOMPARE(CalibrationCommand::runCommand(args, m_dm.get(), m_session), status);
        if (!said.isEmpty())
            QCOMPARE(p.messages(), QStringList({said}));
        QSqlQuery q(m_dm->database());
        q.exec("SELECT Printer, Dx_Mm, Dy_Mm, Sx_Pct, Sy_Pct FROM Print_Calibration");
        if (stored.isEmpty()) {
            QVERIFY(!q.next());
            QCOMPARE(p.messages().size(), status ? 1 : 0);
            return;
        }
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), printer);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(q.value(i + 1).toDouble(), stored.at(i));
        QVERIFY(!q.next());
    }

    // The test sheet: one page on the template's paper, the picture at its
    // design size, each visible field at its calibrated place (values of the
    // current rows, captions where empty), rulers numbered in millimetres.
    void testSheetFromTheCommandLine()
    {
        useGridTemplate();
        exec("UPDATE Exp_Model SET S_Contents_isVis=0");
        m_dm->templates->refresh();
        addSender();
        addRecipients(1);
        exec("UPDATE Exp_Att_Info SET Custom1 = ''");
        m_dm->recipients->refresh();
        Calibration c;
        c.dxMm = 2.5;
        c.dyMm = 1.2;
        c.sxPct = 102;
        Calibration::save(m_dm->database(), QStringLiteral("通用快递单"), "PDF", c);
        ScriptedPrompt p;
        QCOMPARE(
            PrintCommand::runCommand({"--test-page", "--pdf", "sheet.pdf"}, m_dm.get(), m_session),
            0);
        QCOMPARE(pdfInfo("sheet.pdf", "Pages"), QString("1"));
        // The delivered template's paper: 211.7 × 116.9 mm.
        const QStringList size = pdfInfo("sheet.pdf", "Page size").split(' ');
        QVERIFY(qAbs(size.value(0).toDouble() * 25.4 / 72 - 211.7) < 0.5);
        QVERIFY(qAbs(size.value(2).toDouble() * 25.4 / 72 - 116.9) < 0.5);
        QHash<QString, Word> byText;
        QStringList numbers;
        for (const Word& w : pdfWords("sheet.pdf")) {
            byText.insert(w.text, w);
            numbers << w.text;
        }
        QVERIFY(numbers.contains("10") && numbers.contains("100"));
        for (const FieldInfo& f : FieldCatalogue::all()) {
            QString text = f.isSender() ? QStringLiteral("S%1X").arg(f.number)
                                        : QStringLiteral("R1F%1").arg(f.number);
            if (f.key == "A_Custom1")
                text = f.caption;
            if (f.key == "S_Contents") {
                QVERIFY(!byText.contains(text));
                continue;
            }
            const double xMm = f.number * 20 * 25.4 / 96 * 1.02 + 2.5;
            const double yMm = f.number * 10 * 25.4 / 96 + 1.2;
            if (xMm > 205 || yMm > 110)
                continue; // off the paper
            QVERIFY2(byText.contains(text), qPrintable(text));
            QVERIFY2(qAbs(byText.value(text).xMm - xMm) < 0.2, qPrintable(text));
            QVERIFY2(qAbs(byText.value(text).yMm - yMm) < 0.2, qPrintable(text));
        }
        // The picture: 800 × 442 pixels shown at 96 per inch.
        QProcess images;
        images.start("pdfimages", {"-list", "sheet.pdf"});
        images.waitForFinished(60000);
        const QStringList lines =
            QString::fromUtf8(images.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.size() >= 3, qPrintable(lines.join('\n')));
        const QStringList cols = lines.at(2).simplified().split(' ');
        QCOMPARE(cols.value(3), QString("800"));
        QCOMPARE(cols.value(4), QString("442"));
        QVERIFY2(qAbs(cols.value(12).toDouble() - 96) < 1, qPrintable(lines.at(2)));
        // A test sheet is no job: nothing marked, nothing logged.
        QCOMPARE(printCounts(), QList<int>({0}));
        QCOMPARE(PrintLog::newestFirst(m_dm->database()).size(), 0);
        // Rows and a test sheet do not go together.
        QCOMPARE(PrintCommand::runCommand({"--test-page", "--pdf", "x.pdf", "--rows", "1"},
                                          m_dm.get(), m_session),
                 2);
    }
};

// The test classes in one run; each is a QtTest of its own.
int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    int status = 0;
    {
        TestPrint core;
        status |= QTest::qExec(&core, argc, argv);
    }
    {
        TestBarcode barcode;
        status |= QTest::qExec(&barcode, argc, argv);
    }
    return status;
}
#include "test_print.moc"
