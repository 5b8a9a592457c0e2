// Print geometry, rendering and batch jobs, read back from real PDF output
// and through a real CUPS queue.
#include "batchprint.h"
#include "datamodule.h"
#include "fieldcatalogue.h"
#include "freshdatabase.h"
#include "headerguard.h"
#include "printcommands.h"
#include "printgeometry.h"
#include "runstate.h"
#include "recordrenderer.h"
#include "scriptedprompt.h"
#include "tempworkdir.h"
#include "test_printwindow.h"

#include <QApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QtTest>
#include <unistd.h>

namespace {

struct Word {
    QString text;
    double xMm, yMm; // top-left of the word's box
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
        QStringLiteral("<word xMin=\"([-\\d.]+)\" yMin=\"([-\\d.]+)\"[^>]*>([^<]*)</word>"));
    QList<Word> words;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        words.append({m.captured(3), m.captured(1).toDouble() * 25.4 / 72,
                      m.captured(2).toDouble() * 25.4 / 72});
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
    std::unique_ptr<TDataModule1> m_dm;
    QTemporaryDir m_cupsDir;
    QString m_cupsSkip; // why no private scheduler runs, if none does

    void exec(const QString& sql)
    {
        QSqlQuery q(m_dm->DB_main());
        QVERIFY2(q.exec(sql), qPrintable(sql));
    }

    // The delivered template, every field visible at a known place: field n
    // stands n*20 design pixels right of and n*10 below the picture's corner.
    void useGridTemplate()
    {
        QStringList sets;
        for (const FieldInfo& f : FieldCatalogue::all())
            sets << QStringLiteral("%1=%2, %3=%4, %5=1")
                        .arg(f.leftColumn()).arg(24 + f.number * 20)
                        .arg(f.topColumn()).arg(16 + f.number * 10)
                        .arg(f.visColumn());
        exec(QStringLiteral("UPDATE Exp_Model SET ") + sets.join(", "));
        m_dm->TB_Model->refresh();
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
        m_dm->TB_Send->refresh();
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
        m_dm->TB_Att->refresh();
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
        m_dm = openFreshDataModule(m_tmp->path(), &error);
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
        QTest::newRow("300 dpi") << 300;
        QTest::newRow("600 dpi") << 600;
        QTest::newRow("1200 dpi") << 1200;
    }
    void fieldsLandAtTheirDesignedPlace()
    {
        QFETCH(int, resolution);
        useGridTemplate();
        exec("UPDATE Exp_Model SET A_Custom5_isVis=0, S_Contents_isVis=0");
        m_dm->TB_Model->refresh();
        addSender();
        addRecipients(1);
        auto printer = pdfPrinter("out.pdf", resolution);
        const BatchPrint::Result r = BatchPrint::printAll(
            printer.get(), m_dm.get(), StoredPositions(m_dm->TB_Model), RecordRenderer::printFont());
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
            QVERIFY2(byText.contains(text), qPrintable(text));
            const Word w = byText.value(text);
            const double xMm = f.number * 20 * 25.4 / 96;
            const double yMm = f.number * 10 * 25.4 / 96;
            QVERIFY2(qAbs(w.xMm - xMm) < 0.2, qPrintable(QStringLiteral("%1 x %2 vs %3").arg(text).arg(w.xMm).arg(xMm)));
            QVERIFY2(qAbs(w.yMm - yMm) < 0.2, qPrintable(QStringLiteral("%1 y %2 vs %3").arg(text).arg(w.yMm).arg(yMm)));
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
        m_dm->TB_Model->refresh();
        addSender();
        auto printer = pdfPrinter("out.pdf");
        QVERIFY(BatchPrint::printAll(printer.get(), m_dm.get(), StoredPositions(m_dm->TB_Model),
                                     RecordRenderer::printFont()).ok);
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
        m_dm->TB_Att->moveTo(1);
        auto printer = pdfPrinter("batch.pdf");
        const BatchPrint::Result r = BatchPrint::printAll(
            printer.get(), m_dm.get(), StoredPositions(m_dm->TB_Model), RecordRenderer::printFont());
        QVERIFY(r.ok);
        QCOMPARE(pdfInfo("batch.pdf", "Pages"), QString("3"));
        QVERIFY(isWaybillPage(pdfInfo("batch.pdf", "Page size")));
        for (int page = 1; page <= 3; ++page) {
            QStringList texts;
            for (const Word& w : pdfWords("batch.pdf", page))
                texts << w.text;
            QVERIFY(texts.contains("S1X"));
            QVERIFY(texts.contains(QStringLiteral("R%1F7").arg(page)));
            QCOMPARE(texts.filter(QRegularExpression("^R\\d")).filter(QStringLiteral("R%1F").arg(page)).size(),
                     texts.filter(QRegularExpression("^R\\d")).size());
        }
        // Past the end: on the last row.
        QVERIFY(m_dm->TB_Att->eof());
        QCOMPARE(m_dm->TB_Att->recNo(), 2);
        QVERIFY(!QFile::exists("batch.pdf.part"));
    }

    void emptyTableGivesOnePageWithTheSender()
    {
        useGridTemplate();
        addSender();
        auto printer = pdfPrinter("empty.pdf");
        QVERIFY(BatchPrint::printAll(printer.get(), m_dm.get(), StoredPositions(m_dm->TB_Model),
                                     RecordRenderer::printFont()).ok);
        QCOMPARE(pdfInfo("empty.pdf", "Pages"), QString("1"));
        QStringList texts;
        for (const Word& w : pdfWords("empty.pdf"))
            texts << w.text;
        QVERIFY(texts.contains("S1X"));
        QVERIFY(texts.filter(QRegularExpression("^R")).isEmpty());
    }

    void longTextIsNeitherClippedNorWrapped()
    {
        useGridTemplate();
        addSender();
        const QString address = QString(60, QLatin1Char('A'));
        exec("INSERT INTO Exp_Att_Info (Address) VALUES ('" + address + "')");
        m_dm->TB_Att->refresh();
        auto printer = pdfPrinter("long.pdf");
        QVERIFY(BatchPrint::printAll(printer.get(), m_dm.get(), StoredPositions(m_dm->TB_Model),
                                     RecordRenderer::printFont()).ok);
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
        const BatchPrint::Result r =
            BatchPrint::printAll(printer.get(), m_dm.get(), StoredPositions(m_dm->TB_Model),
                                 RecordRenderer::printFont(), progress.get());
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
        QTest::newRow("link planted at the .part name") << "link" << "out.pdf" << QString();
        QTest::newRow("folder missing") << "" << "missing/out.pdf" << "文件夹不存在。";
        QTest::newRow("a file where the folder should be")
            << "file" << "plain/out.pdf" << "路径中有一项不是文件夹。";
        QTest::newRow("a folder where the file should be") << "folder" << "out.pdf"
                                                          << "同名的文件夹已存在。";
        QTest::newRow("a read-only file") << "read-only" << "out.pdf"
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
            printer.get(), m_dm.get(), StoredPositions(m_dm->TB_Model), RecordRenderer::printFont());
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
            &printer, m_dm.get(), StoredPositions(m_dm->TB_Model), RecordRenderer::printFont());
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
        QTest::newRow("pdf, default model") << QStringList({"--pdf", "cli.pdf"}) << 0 << QString() << 2;
        QTest::newRow("pdf, named model") << QStringList({"--pdf", "cli.pdf", "--model", "通用快递单"})
                                          << 0 << QString() << 2;
        QTest::newRow("unknown model") << QStringList({"--pdf", "cli.pdf", "--model", "无此模板"}) << 1
                                       << "当前模板不存在，请先保存模板！" << 0;
        QTest::newRow("no such queue") << QStringList({"--printer", "no-such-queue"}) << 1
                                       << "打印机没准备好！" << 0;
        QTest::newRow("both outputs") << QStringList({"--pdf", "a.pdf", "--printer", "q"}) << 2
                                      << QString() << 0;
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
        QCOMPARE(PrintCommands::runCommand(args, m_dm.get()), status);
        if (!message.isEmpty())
            QCOMPARE(p.messages(), QStringList({message}));
        if (pages) {
            QCOMPARE(pdfInfo("cli.pdf", "Pages"), QString::number(pages));
            QVERIFY(isWaybillPage(pdfInfo("cli.pdf", "Page size")) == false); // the delivered 211.7 × 116.9 mm
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
        m_dm->TB_Model->refresh();
        addSender();
        addRecipients(1);
        ScriptedPrompt p;
        QCOMPARE(PrintCommands::runCommand({"--pdf", "cli.pdf"}, m_dm.get()), 0);
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
        const BatchPrint::Result r = BatchPrint::printAll(
            &printer, m_dm.get(), StoredPositions(m_dm->TB_Model), RecordRenderer::printFont(),
            progress.get());
        QVERIFY(r.canceled);
        QTest::qWait(1500);
        QCOMPARE(out.entryList({"job-*.pdf"}).size(), before);
    }
};

// Both test classes in one run; each is a QtTest of its own.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int status = 0;
    {
        TestPrint core;
        status |= QTest::qExec(&core, argc, argv);
    }
    {
        TestPrintWindow window;
        status |= QTest::qExec(&window, argc, argv);
    }
    return status;
}
#include "test_print.moc"
