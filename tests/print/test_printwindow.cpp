// Printing from the windows: the batch command, the hint, the font, the
// preview with its zoom, paging and single-record print, and the grid's
// print-current-row.
#include "test_printwindow.h"

#include "templates/fieldfitstore.h"

#include "app/startup.h"
#include "base/session.h"
#include "cli/calibrationcommand.h"
#include "cli/printcommand.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "findwidget.h"
#include "freshdatabase.h"
#include "gui/book/recipientpage.h"
#include "gui/mainwindow.h"
#include "gui/print/calibrationdialog.h"
#include "gui/print/previewwindow.h"
#include "gui/print/printactions.h"
#include "gui/print/printlogdialog.h"
#include "gui/print/printrowsdialog.h"
#include "gui/templates/designpage.h"
#include "gui/templates/designsurface.h"
#include "gui/templates/pagesetupdialog.h"

#include "print/printerchoice.h"
#include "print/printerstore.h"
#include "render/calibration.h"
#include "render/printfonts.h"
#include "render/printlog.h"
#include "render/recordrenderer.h"
#include "scriptedprompt.h"
#include "templates/fieldcatalogue.h"
#include "templates/fieldfontstore.h"
#include "templates/templatedocument.h"
#include "tempworkdir.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QtMath>
#include <QtTest>

namespace
{

int pdfPages(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    p.waitForFinished(60000);
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n'))
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    return 0;
}

// The names of the fonts a PDF embeds, one a line.
QString pdfFonts(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdffonts"), {pdf});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdfText(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {pdf, "-"});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

struct TestPrintWindow::Fixture {
    TempWorkDir tmp;
    ScriptedPrompt prompt;
    std::unique_ptr<Startup> startup;

    // The windows and the session, through start-up that owns them.
    MainWindow* main() const { return startup->mainWindow(); }
    DataModule* dm() const { return startup->dataModule(); }
    Session& session() const { return startup->session(); }
    PreviewWindow* preview() const { return main()->findChild<PreviewWindow*>("PreviewWindow"); }
    PageSetupDialog* pageSetup() const
    {
        return main()->findChild<PageSetupDialog*>("PageSetupDialog");
    }
};

TestPrintWindow::TestPrintWindow() = default;
TestPrintWindow::~TestPrintWindow() = default;

void TestPrintWindow::init()
{
    m_f = std::make_unique<Fixture>();
    QVERIFY(makeFreshAppDir(m_f->tmp.path()));
    m_f->startup = std::make_unique<Startup>(m_f->tmp.path());
    QVERIFY(m_f->startup->start());
    m_f->main()->show();
    QSqlQuery q(m_f->dm()->database());
    q.exec("INSERT INTO Exp_Send_info (Name) VALUES ('SENDERNAME')");
    for (int i = 1; i <= 5; ++i)
        q.exec(QStringLiteral("INSERT INTO Exp_Att_Info (Name, Address, Mobile) VALUES "
                              "('NAME%1', 'ADDR%1', '1380000000%1')")
                   .arg(i));
    m_f->dm()->sender->refresh();
    m_f->dm()->recipients->refresh();
    PrinterStore::reset();
    QPrinter* printer = PrinterStore::printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(m_f->tmp.filePath("job.pdf"));
    m_f->prompt.clear();
}

void TestPrintWindow::cleanup()
{
    PrinterStore::reset();
    m_f.reset();
}

void TestPrintWindow::batchAsksFirst_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
}

void TestPrintWindow::batchAsksFirst()
{
    QFETCH(bool, ok);
    m_f->dm()->recipients->moveTo(1);
    m_f->prompt.answers.enqueue(ok ? Prompt::Button::Ok : Prompt::Button::Cancel);
    QTest::mouseClick(findWidget<QToolButton>("printAllButton"), Qt::LeftButton);
    const ScriptedPrompt::Shown q = m_f->prompt.shown.value(0);
    QCOMPARE(q.kind, QString("question"));
    // The design's question first, then how many waybills go where.
    QCOMPARE(
        q.text.split('\n'),
        QStringList({"此操作将打印表中所有记录，请确保打印机正确设置并已放置了合适的纸张，继续？.",
                     "将打印 5 张运单到文件 " + m_f->tmp.filePath("job.pdf") + "，是否继续？"}));
    QCOMPARE(q.caption, QString("批量打印提示"));
    QVERIFY(q.defaultButton == Prompt::Button::Cancel);
    if (!ok) {
        QVERIFY(!QFile::exists("job.pdf"));
        QCOMPARE(m_f->dm()->recipients->recNo(), 1);
        return;
    }
    QVERIFY2(m_f->prompt.messages().isEmpty(), qPrintable(m_f->prompt.messages().join('|')));
    QCOMPARE(pdfPages("job.pdf"), 5);
    // The grid does not jump: the user's row stays current.
    QVERIFY(!m_f->dm()->recipients->eof());
    QCOMPARE(m_f->dm()->recipients->recNo(), 1);
    QCOMPARE(findWidget<QTableView>("recipientGrid")->currentIndex().row(), 1);
}

// A row with neither name nor address prints no page; the window says so
// once the job is done.
void TestPrintWindow::batchSkipsBlankRows()
{
    QSqlQuery q(m_f->dm()->database());
    QVERIFY(q.exec("UPDATE Exp_Att_Info SET Name = ' ', Address = '' WHERE ID = "
                   "(SELECT ID FROM Exp_Att_Info ORDER BY ID LIMIT 1 OFFSET 2)"));
    m_f->dm()->recipients->refresh();
    m_f->prompt.answers.enqueue(Prompt::Button::Ok);
    QTest::mouseClick(findWidget<QToolButton>("printAllButton"), Qt::LeftButton);
    QVERIFY(m_f->prompt.shown.value(0).text.endsWith(
        "将打印 4 张运单到文件 " + m_f->tmp.filePath("job.pdf") + "，是否继续？"));
    QCOMPARE(m_f->prompt.messages(),
             QStringList({QStringLiteral("已跳过 1 行既无姓名也无地址的收件人。")}));
    QCOMPARE(pdfPages("job.pdf"), 4);
    QVERIFY(!m_f->dm()->recipients->eof());
}

namespace
{

// Changes one field of the template on the design surface as the user's
// edits do: unsaved, the fit switch stored at once.
template <typename Change> void editField(const char* key, Change change)
{
    TemplateDocument* doc = findWidget<DesignPage>("designPage")->document();
    const int index = TemplateLayout::indexOf(QString::fromLatin1(key));
    TemplateField f = doc->layout().field(index);
    change(f);
    doc->editField(index, f, QStringLiteral("test"));
}

} // namespace

void TestPrintWindow::batchListsRowsThatDoNotFit_data()
{
    QTest::addColumn<QString>("address"); // NAME3's
    QTest::addColumn<bool>("printAnyway");
    const QString tooLong = QStringLiteral("北京市海淀区中关村南大街").repeated(20);
    // One line of 17 characters in a box 11 characters wide at 10 pt.
    const QString smaller = QStringLiteral("北京市海淀区中关村南大街二十七号");
    QTest::newRow("lost text, print anyway") << tooLong << true;
    QTest::newRow("lost text, cancel") << tooLong << false;
    QTest::newRow("shrunk text") << smaller << true;
}

// Rows that would lose text are asked about before the job; rows whose text
// only shrank below 8 pt print without a question and are named afterwards.
void TestPrintWindow::batchListsRowsThatDoNotFit()
{
    QFETCH(QString, address);
    QFETCH(bool, printAnyway);
    editField("A_Address", [](TemplateField& f) {
        f.fit.fit = true;
        f.width = 150;
    });
    QVERIFY(FieldFitStore::load(m_f->dm()->database(), m_f->session().currentTemplate)
                .value("A_Address")
                .fit);
    QSqlQuery q(m_f->dm()->database());
    q.exec("UPDATE Exp_Att_Info SET Address = '北京'");
    q.exec("UPDATE Exp_Att_Info SET Address = '" + address + "' WHERE Name = 'NAME3'");
    m_f->dm()->recipients->refresh();
    const bool lost = address.size() > 100;
    m_f->prompt.answers.enqueue(Prompt::Button::Ok);
    m_f->prompt.answers.enqueue(printAnyway ? Prompt::Button::Ok : Prompt::Button::Cancel);
    QTest::mouseClick(findWidget<QToolButton>("printAllButton"), Qt::LeftButton);
    if (printAnyway)
        QCOMPARE(pdfPages("job.pdf"), 5);
    else
        QVERIFY(!QFile::exists("job.pdf"));
    QStringList questions;
    for (const ScriptedPrompt::Shown& shown : std::as_const(m_f->prompt.shown))
        if (shown.kind == "question")
            questions << shown.text;
    if (lost) {
        QCOMPARE(questions.size(), 2);
        const ScriptedPrompt::Shown warning = m_f->prompt.shown.value(1);
        QCOMPARE(warning.text, QStringLiteral("以下收件人的内容打印不下：\n"
                                              "第 3 行 NAME3：收件详细地址在框底截断，以“…”结尾"));
        QVERIFY(warning.defaultButton == Prompt::Button::Cancel);
        QVERIFY2(m_f->prompt.messages().isEmpty(), qPrintable(m_f->prompt.messages().join('|')));
        return;
    }
    // Only the batch question; the notice follows the job.
    QCOMPARE(questions.size(), 1);
    QCOMPARE(m_f->prompt.messages().size(), 1);
    const QStringList notice = m_f->prompt.messages().first().split('\n');
    QCOMPARE(notice.size(), 2);
    QCOMPARE(notice.first(), QStringLiteral("以下收件人的内容被缩小到 8 号字以下："));
    const auto m = QRegularExpression(
                       QStringLiteral("^第 3 行 NAME3：收件详细地址被缩小到 (\\d(\\.5)?) 号字$"))
                       .match(notice.last());
    QVERIFY2(m.hasMatch(), qPrintable(notice.last()));
    QVERIFY(m.captured(1).toDouble() >= 6 && m.captured(1).toDouble() < 8);
    QVERIFY(pdfText("job.pdf").remove('\n').contains(address));
}

void TestPrintWindow::batchListsRowsToCheck_data()
{
    QTest::addColumn<bool>("printAnyway");
    QTest::newRow("print anyway") << true;
    QTest::newRow("cancel") << false;
}

// Rows whose regions or numbers need checking are named before the job; the
// user prints anyway or goes back to mend them. A blank row is not named.
void TestPrintWindow::batchListsRowsToCheck()
{
    QFETCH(bool, printAnyway);
    QSqlQuery q(m_f->dm()->database());
    QVERIFY(q.exec("UPDATE Exp_Att_Info SET Mobile = '138' WHERE Name = 'NAME2'"));
    QVERIFY(
        q.exec("UPDATE Exp_Att_Info SET Prvince = '江苏省', City = '杭州市', Country = '西湖区', "
               "PostCode = '12' WHERE Name = 'NAME4'"));
    QVERIFY(
        q.exec("UPDATE Exp_Att_Info SET Prvince = '浙江省', City = '杭州市', Country = '西湖区', "
               "PostCode = '310000' WHERE Name = 'NAME5'"));
    QVERIFY(q.exec("INSERT INTO Exp_Att_Info (Name, Address, Mobile) VALUES ('', '', '1')"));
    m_f->dm()->recipients->refresh();
    m_f->prompt.answers.enqueue(Prompt::Button::Ok);
    m_f->prompt.answers.enqueue(printAnyway ? Prompt::Button::Ok : Prompt::Button::Cancel);
    QTest::mouseClick(findWidget<QToolButton>("printAllButton"), Qt::LeftButton);
    QStringList questions;
    for (const ScriptedPrompt::Shown& shown : std::as_const(m_f->prompt.shown))
        if (shown.kind == "question")
            questions << shown.text;
    QCOMPARE(questions.size(), 2);
    const ScriptedPrompt::Shown check = m_f->prompt.shown.value(1);
    QCOMPARE(check.text, QStringLiteral("以下收件人的地址需要核对：\n"
                                        "第 2 行 NAME2：手机号不是11位\n"
                                        "第 4 行 NAME4：省市区不匹配，邮编不是6位"));
    QVERIFY(check.defaultButton == Prompt::Button::Cancel);
    if (printAnyway) {
        QCOMPARE(pdfPages("job.pdf"), 5);
    } else {
        QVERIFY(!QFile::exists("job.pdf"));
        QCOMPARE(m_f->prompt.shown.size(), 2);
    }
}

void TestPrintWindow::batchRefusals()
{
    // No printer chosen.
    PrinterStore::printer()->setOutputFileName(QString());
    QTest::mouseClick(findWidget<QToolButton>("printAllButton"), Qt::LeftButton);
    // The window says how to choose a printer or a PDF file.
    QCOMPARE(m_f->prompt.messages(),
             QStringList({"打印机没准备好！\n请按工具栏上的“打印机设置”选择打印机；"
                          "没有打印机时，可在其中选择打印到 PDF 文件。"}));
    QCOMPARE(m_f->dm()->recipients->recNo(), 0);

    // A current model that no row bears: no job at all.
    PrinterStore::printer()->setOutputFileName(m_f->tmp.filePath("job.pdf"));
    m_f->session().currentTemplate = QStringLiteral("未保存的模板");
    m_f->prompt.clear();
    QTest::mouseClick(findWidget<QToolButton>("printAllButton"), Qt::LeftButton);
    QCOMPARE(m_f->prompt.messages(), QStringList({"当前模板不存在，请先保存模板！"}));
    QVERIFY(!QFile::exists("job.pdf"));
}

void TestPrintWindow::toolbarCommands()
{
    QTabWidget* tabs = findWidget<QTabWidget>("tabs");
    QCOMPARE(tabs->currentIndex(), 0);
    m_f->prompt.answers.enqueue(Prompt::Button::Cancel);
    QTest::mouseClick(findWidget<QToolButton>("batchPrintButton"), Qt::LeftButton);
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(m_f->prompt.shown.value(0).caption, QString("批量打印提示"));
    QVERIFY(!QFile::exists("job.pdf"));

    m_f->prompt.clear();
    QTest::mouseClick(findWidget<QToolButton>("singlePrintButton"), Qt::LeftButton);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(m_f->prompt.messages(),
             QStringList({"设置好模板，在屏幕上填写关键信息，点击打印预览即可打印单页！"}));
    QVERIFY(!QFile::exists("job.pdf"));

    // The font: accepted once, kept when the dialog is cancelled later.
    QVERIFY(!m_f->session().chosenPrintFont);
    QFont bold(QStringLiteral("WenQuanYi Zen Hei"));
    bold.setPointSize(14);
    bold.setBold(true);
    m_f->prompt.fonts.enqueue(bold);
    QTest::mouseClick(findWidget<QToolButton>("fontButton"), Qt::LeftButton);
    m_f->prompt.fonts.enqueue(std::nullopt);
    QTest::mouseClick(findWidget<QToolButton>("fontButton"), Qt::LeftButton);
    QVERIFY(m_f->session().chosenPrintFont);
    QCOMPARE(m_f->session().chosenPrintFont->pointSize(), 14);
    QVERIFY(m_f->session().chosenPrintFont->bold());

    m_f->prompt.clear();
    QTest::mouseClick(findWidget<QToolButton>("printerButton"), Qt::LeftButton);
    QCOMPARE(m_f->prompt.shown.value(0).kind, QString("printer"));
}

void TestPrintWindow::unsavedEditsPrintAsShown()
{
    // Moved but not saved: prints at the new place. Hidden but not saved:
    // does not print. The stored template is left as it was.
    DesignSurface* surface = findWidget<DesignPage>("designPage")->surface();
    const QPoint corner = surface->backgroundImage()->pos();
    const QPoint offset = surface->layout().offset;
    editField("A_Name", [&](TemplateField& f) {
        f.place = corner + QPoint(480, 96) - offset; // 127 mm, 25.4 mm
    });
    editField("S_Name", [](TemplateField& f) { f.visible = false; });
    QCOMPARE(surface->fieldControl("A_Name")->pos(), corner + QPoint(480, 96));
    QVERIFY(surface->fieldControl("S_Name")->isHidden());
    m_f->prompt.answers.enqueue(Prompt::Button::Ok);
    QTest::mouseClick(findWidget<QToolButton>("printAllButton"), Qt::LeftButton);
    QVERIFY(pdfText("job.pdf").contains("NAME1"));
    QVERIFY(!pdfText("job.pdf").contains("SENDERNAME"));
    // Where NAME1 stands on the first page, in millimetres.
    const auto nameAt = [](const QString& pdf) {
        QProcess p;
        p.start("pdftotext", {"-bbox", "-f", "1", "-l", "1", pdf, "-"});
        p.waitForFinished();
        const QString html = QString::fromUtf8(p.readAllStandardOutput());
        const QRegularExpression re(
            "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"[^>]*>NAME1</word>");
        const auto m = re.match(html);
        return m.hasMatch() ? QPointF(m.captured(1).toDouble() * 25.4 / 72,
                                      m.captured(2).toDouble() * 25.4 / 72)
                            : QPointF(-1, -1);
    };
    const QPointF shown = nameAt("job.pdf");
    QVERIFY(qAbs(shown.x() - 127.0) < 0.2);
    QVERIFY(qAbs(shown.y() - 25.4) < 0.2);

    // The command line prints the saved template: the name where it was,
    // the sender's name shown.
    Session cli = m_f->session();
    QCOMPARE(PrintCommand::runCommand({"--pdf", "cli.pdf"}, m_f->dm(), cli), ExitCode::Done);
    QVERIFY(pdfText("cli.pdf").contains("SENDERNAME"));
    const QPointF stored = nameAt("cli.pdf");
    QVERIFY(stored.x() >= 0);
    QVERIFY(qAbs(stored.x() - 127.0) > 5 || qAbs(stored.y() - 25.4) > 5);
}

void TestPrintWindow::fieldFontsPrintAsShown()
{
    DesignSurface* surface = findWidget<DesignPage>("designPage")->surface();
    FieldControl* name = surface->fieldControl("A_Name");
    const auto chooseFont = [&](const char* family) {
        QFont font(QString::fromLatin1(family));
        font.setPointSize(12);
        m_f->prompt.fonts.enqueue(font);
        Q_EMIT name->menuRequested();
        surface->fieldFontAction->trigger();
    };
    const auto printFromWindow = [&] {
        QFile::remove("job.pdf");
        QTest::mouseClick(findWidget<QToolButton>("printAllButton"), Qt::LeftButton);
        return pdfFonts("job.pdf");
    };
    const auto printFromCommandLine = [&] {
        Session cli = m_f->session();
        QFile::remove("cli.pdf");
        if (PrintCommand::runCommand({"--pdf", "cli.pdf"}, m_f->dm(), cli) != ExitCode::Done)
            return QString();
        return pdfFonts("cli.pdf");
    };
    const QString before = printFromWindow();
    QVERIFY2(before.contains("emb"), qPrintable(before)); // a PDF with fonts
    QVERIFY(!before.contains("DejaVuSerif"));

    // The template in use keeps it at once: both print it.
    chooseFont("DejaVu Serif");
    QCOMPARE(name->font().family(), QString("DejaVu Serif"));
    QVERIFY(printFromWindow().contains("DejaVuSerif"));
    QVERIFY(printFromCommandLine().contains("DejaVuSerif"));
    // The toolbar's font is the template's print font, for the other fields.
    QFont mono(QStringLiteral("Nimbus Mono PS"));
    mono.setPointSize(11);
    m_f->prompt.fonts.enqueue(mono);
    QTest::mouseClick(findWidget<QToolButton>("fontButton"), Qt::LeftButton);
    QVERIFY(printFromWindow().contains("NimbusMono"));
    QVERIFY(printFromCommandLine().contains("NimbusMono"));

    // A new template's, not saved yet: the window prints it, the command
    // line the saved template's.
    QTest::mouseClick(findWidget<QToolButton>("newTemplateButton"), Qt::LeftButton);
    chooseFont("DejaVu Sans Mono");
    QCOMPARE(name->font().family(), QString("DejaVu Sans Mono"));
    const QString window = printFromWindow();
    QVERIFY2(window.contains("DejaVuSansMono"), qPrintable(window));
    QVERIFY(!window.contains("DejaVuSerif"));
    const QString cli = printFromCommandLine();
    QVERIFY2(cli.contains("DejaVuSerif"), qPrintable(cli));
    QVERIFY(!cli.contains("DejaVuSansMono"));

    // Given up, the surface and the window print the stored one again.
    QTest::mouseClick(findWidget<QToolButton>("newTemplateButton"), Qt::LeftButton);
    QCOMPARE(name->font().family(), QString("DejaVu Serif"));
    QVERIFY(printFromWindow().contains("DejaVuSerif"));
}

void TestPrintWindow::previewZoomAndPaging()
{
    PreviewWindow* pv = m_f->preview();
    QVERIFY(pv);
    pv->show();
    QVERIFY(!m_f->main()->isVisible());
    QCOMPARE(pv->naturalSize(), QSize(800, 442));
    QCOMPARE(pv->findChild<QComboBox*>("zoomBox")->currentText(), QString("100%"));
    // Its caption, and which waybill of how many.
    QCOMPARE(pv->windowTitle(), QStringLiteral("打印预览 - 第 1 / 5 张"));

    const std::pair<const char*, QSize> zooms[] = {{"75%", QSize(600, 331)},
                                                   {"50%", QSize(400, 221)},
                                                   {"200%", QSize(1600, 884)},
                                                   {"100%", QSize(800, 442)},
                                                   {"充满整页", QSize()}};
    const QWidget* area = pv->findChild<QWidget*>("pictureArea");
    for (auto [entry, size] : zooms) {
        // The whole page fills the picture box, whatever size the window has now.
        if (!size.isValid())
            size = QSize(area->width() - 8, area->height() - 8);
        pv->findChild<QComboBox*>("zoomBox")->setCurrentText(QString::fromUtf8(entry));
        pv->applyZoom();
        QCOMPARE(pv->findChild<QLabel*>("pictureLabel")->size(), size);
    }

    // Paging keeps the zoom the list shows.
    pv->findChild<QComboBox*>("zoomBox")->setCurrentText("200%");
    pv->applyZoom();
    QTest::mouseClick(pv->findChild<QToolButton*>("nextButton"), Qt::LeftButton);
    QCOMPARE(pv->findChild<QLabel*>("pictureLabel")->size(), QSize(1600, 884));
    QCOMPARE(pv->findChild<QComboBox*>("zoomBox")->currentText(), QString("200%"));
    // Paging shows rows by ID; the grid's current row stays where it was.
    Dataset* att = m_f->dm()->recipients;
    QCOMPARE(pv->rowIdShown(), att->rowId(1));
    QCOMPARE(att->recNo(), 0);
    QCOMPARE(pv->windowTitle(), QStringLiteral("打印预览 - 第 2 / 5 张"));
    QCOMPARE(pv->renderedImage().size(), QSize(800, 442)); // drawn anew at natural size

    auto states = [&] {
        return QVector<bool>{pv->findChild<QToolButton*>("firstButton")->isEnabled(),
                             pv->findChild<QToolButton*>("previousButton")->isEnabled(),
                             pv->findChild<QToolButton*>("nextButton")->isEnabled(),
                             pv->findChild<QToolButton*>("lastButton")->isEnabled()};
    };
    QTest::mouseClick(pv->findChild<QToolButton*>("lastButton"), Qt::LeftButton);
    QCOMPARE(states(), QVector<bool>({true, true, false, false}));
    QCOMPARE(pv->rowIdShown(), att->rowId(4));
    QCOMPARE(pv->windowTitle(), QStringLiteral("打印预览 - 第 5 / 5 张"));
    QTest::mouseClick(pv->findChild<QToolButton*>("previousButton"), Qt::LeftButton);
    QCOMPARE(states(), QVector<bool>({true, true, true, true}));
    pv->showNextRow(); // reaches the last row: all still on
    QCOMPARE(pv->rowIdShown(), att->rowId(4));
    QCOMPARE(states(), QVector<bool>({true, true, true, true}));
    pv->showNextRow(); // tries past it: the row stays, next/last off
    QCOMPARE(pv->rowIdShown(), att->rowId(4));
    QCOMPARE(states(), QVector<bool>({true, true, false, false}));
    QTest::mouseClick(pv->findChild<QToolButton*>("firstButton"), Qt::LeftButton);
    QCOMPARE(states(), QVector<bool>({false, false, true, true}));
    QCOMPARE(pv->rowIdShown(), att->rowId(0));

    // The row on show prints alone; the grid's current row stays.
    pv->showNextRow();
    pv->showNextRow();
    QTest::mouseClick(pv->findChild<QToolButton*>("printButton"), Qt::LeftButton);
    QVERIFY(m_f->prompt.messages().isEmpty());
    QCOMPARE(pdfPages("job.pdf"), 1);
    QVERIFY(pdfText("job.pdf").contains("NAME3"));
    QVERIFY(!pdfText("job.pdf").contains("NAME2"));
    QCOMPARE(pv->rowIdShown(), att->rowId(2));
    QCOMPARE(att->recNo(), 0);

    QTest::mouseClick(pv->findChild<QToolButton*>("closeButton"), Qt::LeftButton);
    QVERIFY(m_f->main()->isVisible());
    QVERIFY(!pv->isVisible());

    // The next showing starts at 100% again.
    pv->findChild<QComboBox*>("zoomBox")->setCurrentText("200%");
    pv->show();
    QCOMPARE(pv->findChild<QComboBox*>("zoomBox")->currentText(), QString("100%"));
    pv->close();
}

void TestPrintWindow::previewDrawsTheCurrentRows()
{
    // The preview's picture: the template's background with the texts drawn
    // in where the design surface places them (at scale 1).
    PreviewWindow* pv = m_f->preview();
    m_f->dm()->recipients->moveTo(3);
    pv->show();
    const QImage shown = pv->renderedImage();
    QCOMPARE(shown.size(), QSize(800, 442));
    const QImage background(m_f->tmp.filePath("bkbmp/generic.bmp"));
    DesignSurface* surface = findWidget<DesignPage>("designPage")->surface();
    const QPoint at = surface->fieldControl("A_Name")->pos() - surface->backgroundImage()->pos();
    // Ink in the name's cell, none in the plain picture there.
    auto inkIn = [&](const QImage& img) {
        int dark = 0;
        for (int y = at.y(); y < at.y() + 14; ++y)
            for (int x = at.x(); x < at.x() + 40; ++x)
                dark += qGray(img.pixel(x, y)) < 100;
        return dark;
    };
    QVERIFY(inkIn(shown) > inkIn(background) + 10);
    pv->close();
}

void TestPrintWindow::previewOutlinesTextThatDoesNotFit()
{
    FieldFitStore::setFit(m_f->dm()->database(), m_f->session().currentTemplate, "A_Address", true);
    QSqlQuery q(m_f->dm()->database());
    q.exec("UPDATE Exp_Att_Info SET Address = '北京'");
    q.exec("UPDATE Exp_Att_Info SET Address = '" +
           QStringLiteral("北京市海淀区中关村南大街").repeated(20) + "' WHERE Name = 'NAME3'");
    m_f->dm()->recipients->refresh();
    auto redPixels = [](const QImage& img) {
        int red = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb c = img.pixel(x, y);
                red += qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
            }
        return red;
    };
    PreviewWindow* pv = m_f->preview();
    m_f->dm()->recipients->moveTo(0);
    pv->show();
    const int plain = redPixels(pv->renderedImage());
    pv->close();
    m_f->dm()->recipients->moveTo(2);
    pv->show();
    QVERIFY(redPixels(pv->renderedImage()) > plain + 20);
    pv->close();
}

// Text that does not fit its box even at 6 pt: the preview, like the paper,
// shows only the whole lines the box holds, nothing of the next one.
void TestPrintWindow::previewShowsWholeLinesOnly()
{
    DesignSurface* surface = findWidget<DesignPage>("designPage")->surface();
    FieldControl* box = surface->fieldControl("A_Address");
    QImage design(10, 10, QImage::Format_RGB32);
    design.setDotsPerMeterX(qRound(96 / 0.0254));
    design.setDotsPerMeterY(qRound(96 / 0.0254));
    QFont smallest = m_f->session().printFont();
    smallest.setPointSizeF(6);
    const QFontMetricsF fm(smallest, &design);
    // Room for one line and half of the next.
    const int height = qCeil(fm.height() + fm.lineSpacing() / 2);
    editField("A_Address", [&](TemplateField& f) {
        f.width = 150;
        f.fit.fit = true;
        f.fit.height = height;
    });
    QSqlQuery q(m_f->dm()->database());
    q.exec("UPDATE Exp_Att_Info SET Address = '" +
           QStringLiteral("北京市海淀区中关村南大街").repeated(20) + "'");
    m_f->dm()->recipients->refresh();
    m_f->dm()->recipients->moveTo(0);
    PreviewWindow* pv = m_f->preview();
    pv->show();
    const QImage shown = pv->renderedImage();
    pv->close();
    const QImage background(m_f->tmp.filePath("bkbmp/generic.bmp"));
    const QPoint at = box->pos() - surface->backgroundImage()->pos();
    // Dark ink drawn into the picture (not the red outline), inside the box.
    auto inkIn = [&](int fromY, int toY) {
        int ink = 0;
        for (int y = fromY; y < toY; ++y)
            for (int x = at.x() + 2; x < at.x() + 148; ++x) {
                const QRgb c = shown.pixel(x, y);
                const QRgb b = background.pixel(x, y);
                ink += qRed(c) < 100 && qGreen(c) < 100 && qBlue(c) < 100 && c != b;
            }
        return ink;
    };
    const int secondLine = at.y() + qCeil(fm.lineSpacing());
    QVERIFY(inkIn(at.y(), secondLine) > 20);
    QCOMPARE(inkIn(secondLine, at.y() + height - 1), 0);
}

void TestPrintWindow::previewWithoutItsPicture()
{
    // Gone before the template was laid out: the window holds no picture.
    m_f->startup.reset();
    QVERIFY(QFile::rename("bkbmp/generic.bmp", "bkbmp/moved.bmp"));
    m_f->startup = std::make_unique<Startup>(m_f->tmp.path());
    QVERIFY(m_f->startup->start());
    m_f->main()->show();
    m_f->prompt.clear();
    PreviewWindow* pv = m_f->preview();
    pv->show();
    QCOMPARE(m_f->prompt.shown.value(0).kind, QString("error"));
    QVERIFY(m_f->prompt.shown.value(0).text.contains("generic.bmp"));
    QCOMPARE(pv->renderedImage().size(), QSize(800, 442));
    QCOMPARE(pv->renderedImage().pixel(5, 5), qRgb(255, 255, 255));
    QVERIFY(pv->findChild<QToolButton*>("nextButton")->isEnabled());
    pv->close();
}

void TestPrintWindow::previewShowsTheNewTemplatesPicture()
{
    // A new template's label, not yet saved: the preview shows it, not the
    // stored picture of the template it was made from.
    DesignPage* page = findWidget<DesignPage>("designPage");
    QTest::mouseClick(page->findChild<QToolButton*>("newTemplateButton"), Qt::LeftButton);
    QMenu* labels = page->findChild<QToolButton*>("pictureButton")->menu();
    labels->findChild<QAction*>("label100x150Action")->trigger();
    labels->findChild<QAction*>("plainLabelAction")->trigger();
    const QImage label = page->document()->layout().picture;
    QVERIFY(!label.isNull());
    QVERIFY(label.size() != QSize(800, 442));
    m_f->prompt.clear();
    PreviewWindow* pv = m_f->preview();
    pv->show();
    QVERIFY(m_f->prompt.shown.isEmpty());
    const QImage shown = pv->renderedImage();
    QCOMPARE(shown.size(), label.size());
    QCOMPARE(shown.pixel(2, 2), label.convertToFormat(QImage::Format_RGB32).pixel(2, 2));
    pv->close();
}

void TestPrintWindow::printCurrentRowFromTheGrid()
{
    QTableView* grid = findWidget<QTableView>("recipientGrid");
    findWidget<QTabWidget>("tabs")->setCurrentIndex(1);
    // Current row not selected: nothing happens.
    grid->selectionModel()->setCurrentIndex(grid->model()->index(2, 0),
                                            QItemSelectionModel::NoUpdate);
    grid->clearSelection();
    findWidget<QAction>("previewRowAction")->trigger();
    QVERIFY(!m_f->preview()->isVisible());
    QVERIFY(m_f->prompt.shown.isEmpty());

    // Selected: the preview opens on that row; afterwards nothing is selected
    // and the name box has the focus.
    grid->selectRow(2);
    bool shownOnRow = false;
    QTimer::singleShot(0, m_f->preview(), [&] {
        shownOnRow = m_f->preview()->isVisible() && m_f->dm()->recipients->recNo() == 2;
        m_f->preview()->close();
    });
    findWidget<QAction>("previewRowAction")->trigger();
    QVERIFY(shownOnRow);
    QVERIFY(!grid->selectionModel()->hasSelection());
    QVERIFY(m_f->main()->isVisible());
    m_f->main()->activateWindow();
    QTRY_VERIFY(
        findWidget<RecipientPage>("recipientPage")->findChild<QLineEdit*>("nameEdit")->hasFocus());
}

void TestPrintWindow::existingPdfIsReplacedOnlyWhenConfirmed_data()
{
    QTest::addColumn<bool>("testSheet"); // else a single-record print
    QTest::addColumn<bool>("replace");
    QTest::newRow("single record, Yes") << false << true;
    QTest::newRow("single record, No") << false << false;
    QTest::newRow("test sheet, Yes") << true << true;
    QTest::newRow("test sheet, No") << true << false;
}

// A single-record print or a test sheet into the file that a batch just
// filled asks first.
void TestPrintWindow::existingPdfIsReplacedOnlyWhenConfirmed()
{
    QFETCH(bool, testSheet);
    QFETCH(bool, replace);
    QTest::mouseClick(findWidget<QToolButton>("printAllButton"), Qt::LeftButton);
    QCOMPARE(pdfPages("job.pdf"), 5);
    const QByteArray batch = [] {
        QFile f("job.pdf");
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    m_f->prompt.clear();
    m_f->prompt.answers.enqueue(replace ? Prompt::Button::Yes : Prompt::Button::No);
    if (testSheet) {
        QVERIFY(PrintActions::printTestSheet(
                    m_f->dm(), m_f->session(), findWidget<DesignPage>("designPage")->surface(),
                    [this](QPrinter* p) { return m_f->main()->preparePrinter(p); },
                    Calibration()) == replace);
    } else {
        m_f->preview()->show();
        QTest::mouseClick(m_f->preview()->findChild<QToolButton*>("printButton"), Qt::LeftButton);
        m_f->preview()->close();
    }
    QCOMPARE(m_f->prompt.shown.size(), 1);
    const ScriptedPrompt::Shown q = m_f->prompt.shown.at(0);
    QCOMPARE(q.kind, QString("question"));
    QVERIFY(q.text.contains(QFileInfo("job.pdf").absoluteFilePath()));
    QVERIFY(q.defaultButton == Prompt::Button::No);
    QCOMPARE(pdfPages("job.pdf"), replace ? 1 : 5);
    if (!replace) {
        QFile f("job.pdf");
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), batch);
    }
}

void TestPrintWindow::previewPlacesTextsAsTheSurface_data()
{
    QTest::addColumn<int>("dpi");
    QTest::addColumn<QString>("format");
    QTest::newRow("300 dpi bitmap") << 300 << "BMP";
    QTest::newRow("72 dpi PNG") << 72 << "PNG";
    QTest::newRow("96 dpi bitmap") << 96 << "BMP";
}

void TestPrintWindow::previewPlacesTextsAsTheSurface()
{
    // A white picture tagged with its own resolution; only A_Name visible.
    QFETCH(int, dpi);
    QFETCH(QString, format);
    QImage picture(600, 400, QImage::Format_RGB32);
    picture.fill(Qt::white);
    picture.setDotsPerMeterX(qRound(dpi / 0.0254));
    picture.setDotsPerMeterY(qRound(dpi / 0.0254));
    const QString file = "scan." + format.toLower();
    QVERIFY(picture.save(m_f->tmp.filePath("bkbmp/" + file), format.toLatin1()));
    QCOMPARE(qRound(QImage(m_f->tmp.filePath("bkbmp/" + file)).dotsPerMeterX() * 0.0254), dpi);
    QSqlQuery q(m_f->dm()->database());
    QString sets = QStringLiteral("Bk_Bmp_Name='%1', A_Name_Left=124, A_Name_Top=66").arg(file);
    for (const FieldInfo& f : FieldCatalogue::all())
        sets += QStringLiteral(", %1=%2").arg(f.visColumn()).arg(f.key == "A_Name" ? 1 : 0);
    QVERIFY(q.exec("UPDATE Exp_Model SET " + sets));
    m_f->dm()->templates->refresh();
    QVERIFY(findWidget<DesignPage>("designPage")->layOutTemplate(m_f->session().currentTemplate));
    DesignSurface* surface = findWidget<DesignPage>("designPage")->surface();
    const QPoint at = surface->fieldControl("A_Name")->pos() - surface->backgroundImage()->pos();
    QCOMPARE(at, QPoint(100, 50));

    m_f->dm()->recipients->moveTo(0);
    PreviewWindow* pv = m_f->preview();
    pv->show();
    const QImage shown = pv->renderedImage();
    pv->close();
    QCOMPARE(shown.size(), QSize(600, 400));
    QRect ink;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (qGray(shown.pixel(x, y)) < 128)
                ink |= QRect(x, y, 1, 1);
    // "NAME1" in a 10-point font at the surface's 96 dpi: its ink starts at
    // the field's place and is about 10 pixels high, as on the surface.
    QVERIFY2(!ink.isEmpty(), "no text drawn");
    const QFontMetrics metrics(m_f->session().printFont(), surface);
    QVERIFY2(ink.left() >= at.x() && ink.left() <= at.x() + 3,
             qPrintable(QStringLiteral("left %1").arg(ink.left())));
    QVERIFY2(ink.top() >= at.y() && ink.bottom() <= at.y() + metrics.height(),
             qPrintable(QStringLiteral("top %1 bottom %2").arg(ink.top()).arg(ink.bottom())));
    QVERIFY2(ink.width() <= metrics.horizontalAdvance("NAME1") + 2,
             qPrintable(QStringLiteral("width %1").arg(ink.width())));
}

void TestPrintWindow::pagingButtonsFollowTheRowShown_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QVector<bool>>("states"); // first, prior, next, last
    QTest::newRow("first of five") << 0 << QVector<bool>({false, false, true, true});
    QTest::newRow("third of five") << 2 << QVector<bool>({true, true, true, true});
    QTest::newRow("last of five") << 4 << QVector<bool>({true, true, false, false});
}

void TestPrintWindow::pagingButtonsFollowTheRowShown()
{
    QFETCH(int, row);
    QFETCH(QVector<bool>, states);
    PreviewWindow* pv = m_f->preview();
    auto buttons = [&] {
        return QVector<bool>{pv->findChild<QToolButton*>("firstButton")->isEnabled(),
                             pv->findChild<QToolButton*>("previousButton")->isEnabled(),
                             pv->findChild<QToolButton*>("nextButton")->isEnabled(),
                             pv->findChild<QToolButton*>("lastButton")->isEnabled()};
    };
    // An earlier showing left the buttons of another row.
    m_f->dm()->recipients->moveTo(row == 4 ? 0 : 4);
    pv->show();
    QTest::mouseClick(row == 4 ? pv->findChild<QToolButton*>("firstButton")
                               : pv->findChild<QToolButton*>("lastButton"),
                      Qt::LeftButton);
    pv->close();

    // "打印当前行" on the row.
    QTableView* grid = findWidget<QTableView>("recipientGrid");
    findWidget<QTabWidget>("tabs")->setCurrentIndex(1);
    grid->selectRow(row);
    QCOMPARE(m_f->dm()->recipients->recNo(), row);
    QVector<bool> seen;
    QTimer::singleShot(0, pv, [&] {
        seen = buttons();
        pv->close();
    });
    findWidget<QAction>("previewRowAction")->trigger();
    QCOMPARE(seen, states);
}

void TestPrintWindow::batchPrintsTheChosenRows_data()
{
    QTest::addColumn<int>("kind"); // PrintPrompt::RowsChoice::Kind, or -1 for cancel
    QTest::addColumn<QString>("range");
    QTest::addColumn<QStringList>("printed"); // names; empty: nothing printed
    QTest::addColumn<QString>("message");     // or the question's first line when printed
    using Kind = PrintPrompt::RowsChoice::Kind;
    const QString paper = QStringLiteral("，请确保打印机正确设置并已放置了合适的纸张。");
    QTest::newRow("selected") << int(Kind::Selected) << QString() << QStringList({"NAME2", "NAME4"})
                              << QStringLiteral("此操作将打印选中的 2 行") + paper;
    QTest::newRow("unprinted") << int(Kind::Unprinted) << QString()
                               << QStringList({"NAME2", "NAME3", "NAME4"})
                               << QStringLiteral("此操作将打印未打印的 3 行") + paper;
    QTest::newRow("range") << int(Kind::Range) << "3-5" << QStringList({"NAME3", "NAME4", "NAME5"})
                           << QStringLiteral("此操作将打印第 3-5 行（共 3 行）") + paper;
    QTest::newRow("bad range") << int(Kind::Range) << "4-9" << QStringList()
                               << QStringLiteral("行号超出范围：“4-9”，共有 5 行");
    QTest::newRow("cancelled") << -1 << QString() << QStringList() << QString();
}

void TestPrintWindow::batchPrintsTheChosenRows()
{
    QFETCH(int, kind);
    QFETCH(QString, range);
    QFETCH(QStringList, printed);
    QFETCH(QString, message);
    QSqlQuery q(m_f->dm()->database());
    q.exec("UPDATE Exp_Att_Info SET Print_Count = 1, Printed_At = '2026-01-01 08:00:00' "
           "WHERE Name IN ('NAME1', 'NAME5')");
    m_f->dm()->recipients->refresh();
    RecipientPage* page = findWidget<RecipientPage>("recipientPage");
    QTableView* grid = page->findChild<QTableView*>("recipientGrid");
    grid->selectionModel()->clearSelection();
    for (int row : {1, 3})
        grid->selectionModel()->select(page->gridModel->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (kind < 0)
        m_f->prompt.rowChoices.enqueue(std::nullopt);
    else
        m_f->prompt.rowChoices.enqueue(
            PrintPrompt::RowsChoice{PrintPrompt::RowsChoice::Kind(kind), range});
    QTest::mouseClick(page->findChild<QToolButton*>("printAllButton"), Qt::LeftButton);

    QCOMPARE(m_f->prompt.rowOffers.size(), 1);
    QCOMPARE(m_f->prompt.rowOffers.first().rowCount, 5);
    QCOMPARE(m_f->prompt.rowOffers.first().selectedCount, 2);
    QCOMPARE(m_f->prompt.rowOffers.first().unprintedCount, 3);
    if (printed.isEmpty()) {
        QCOMPARE(m_f->prompt.messages(),
                 message.isEmpty() ? QStringList() : QStringList({message}));
        QVERIFY(!QFile::exists(m_f->tmp.filePath("job.pdf")));
        QCOMPARE(PrintLog::newestFirst(m_f->dm()->database()).size(), 0);
        return;
    }
    QVERIFY2(m_f->prompt.messages().isEmpty(), qPrintable(m_f->prompt.messages().join('|')));
    // The question says what is printed, then how many waybills.
    const QStringList question = m_f->prompt.shown.value(0).text.split('\n');
    QCOMPARE(question.size(), 2);
    QCOMPARE(question.first(), message);
    QVERIFY(
        question.last().startsWith(QStringLiteral("将打印 %1 张运单到文件").arg(printed.size())));
    QCOMPARE(pdfPages(m_f->tmp.filePath("job.pdf")), printed.size());
    const QString text = pdfText(m_f->tmp.filePath("job.pdf"));
    for (int i = 1; i <= 5; ++i) {
        const QString name = QStringLiteral("NAME%1").arg(i);
        QCOMPARE(text.contains(name), printed.contains(name));
    }
    // The grid's "已打印" column shows the new time on exactly those rows.
    const int marked = RecipientPage::gridColumns().size() - 1;
    QCOMPARE(page->gridModel->headerData(marked, Qt::Horizontal).toString(), QString("已打印"));
    for (int row = 0; row < 5; ++row) {
        const QString shown = page->gridModel->index(row, marked).data().toString();
        const QString name = QStringLiteral("NAME%1").arg(row + 1);
        if (printed.contains(name))
            QVERIFY2(shown.startsWith(QDate::currentDate().toString("yyyy-MM-dd")),
                     qPrintable(shown));
        else
            QVERIFY(shown.isEmpty() || shown == "2026-01-01 08:00:00");
    }
    const QList<PrintLog::Entry> log = PrintLog::newestFirst(m_f->dm()->database());
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.first().firstName, printed.first());
    QCOMPARE(log.first().lastName, printed.last());
}

void TestPrintWindow::rowsDialogOffersWhatPrints()
{
    PrintRowsDialog dialog(PrintPrompt::RowsOffer{5, 0, 3});
    QVERIFY(dialog.findChild<QRadioButton*>("allRowsRadio")->isChecked());
    // Nothing is selected.
    QVERIFY(!dialog.findChild<QRadioButton*>("selectedRowsRadio")->isEnabled());
    QVERIFY(dialog.findChild<QRadioButton*>("unprintedRowsRadio")->isEnabled());
    QVERIFY(dialog.findChild<QRadioButton*>("unprintedRowsRadio")->text().contains("3"));
    QVERIFY(dialog.choice().kind == PrintPrompt::RowsChoice::Kind::All);
    dialog.findChild<QRadioButton*>("unprintedRowsRadio")->click();
    QVERIFY(dialog.choice().kind == PrintPrompt::RowsChoice::Kind::Unprinted);
    QVERIFY(!dialog.findChild<QLineEdit*>("rangeEdit")->isEnabled());
    dialog.findChild<QRadioButton*>("rangeRowsRadio")->click();
    QTest::keyClicks(dialog.findChild<QLineEdit*>("rangeEdit"), "1-2,5");
    const PrintPrompt::RowsChoice c = dialog.choice();
    QVERIFY(c.kind == PrintPrompt::RowsChoice::Kind::Range);
    QCOMPARE(c.range, QString("1-2,5"));
}

void TestPrintWindow::rowsChoiceStartsOnWhatTheGridShows_data()
{
    QTest::addColumn<bool>("select");          // rows 2 and 4 selected in the grid
    QTest::addColumn<int>("filter");           // PrintedFilter::Show
    QTest::addColumn<int>("initial");          // PrintPrompt::RowsChoice::Kind
    QTest::addColumn<QString>("checkedRadio"); // in the dialog
    using Kind = PrintPrompt::RowsChoice::Kind;
    QTest::newRow("nothing selected") << false << 0 << int(Kind::All) << "allRowsRadio";
    QTest::newRow("rows selected") << true << 0 << int(Kind::Selected) << "selectedRowsRadio";
    QTest::newRow("unprinted shown") << false << 1 << int(Kind::Unprinted) << "unprintedRowsRadio";
    QTest::newRow("unprinted shown, rows selected")
        << true << 1 << int(Kind::Selected) << "selectedRowsRadio";
    QTest::newRow("printed shown") << false << 2 << int(Kind::All) << "allRowsRadio";
}

void TestPrintWindow::rowsChoiceStartsOnWhatTheGridShows()
{
    QFETCH(bool, select);
    QFETCH(int, filter);
    QFETCH(int, initial);
    QFETCH(QString, checkedRadio);
    QSqlQuery q(m_f->dm()->database());
    q.exec("UPDATE Exp_Att_Info SET Print_Count = 1, Printed_At = '2026-01-01 08:00:00' "
           "WHERE Name = 'NAME1'");
    m_f->dm()->recipients->refresh();
    RecipientPage* page = findWidget<RecipientPage>("recipientPage");
    findWidget<QTabWidget>("tabs")->setCurrentIndex(1);
    page->findChild<QComboBox*>("printedFilterBox")->setCurrentIndex(filter);
    QTableView* grid = page->findChild<QTableView*>("recipientGrid");
    grid->clearSelection();
    if (select)
        for (int row : {1, 3})
            grid->selectionModel()->select(grid->model()->index(row - (filter == 1 ? 1 : 0), 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_f->prompt.rowChoices.enqueue(std::nullopt);
    QTest::mouseClick(page->findChild<QToolButton*>("printAllButton"), Qt::LeftButton);
    QCOMPARE(m_f->prompt.rowOffers.size(), 1);
    const PrintPrompt::RowsOffer offer = m_f->prompt.rowOffers.first();
    QCOMPARE(int(offer.initial), initial);
    QCOMPARE(offer.selectedCount, select ? 2 : 0);
    // The dialog opens on that choice, and OK takes it.
    PrintRowsDialog dialog(offer);
    QVERIFY(dialog.findChild<QRadioButton*>(checkedRadio)->isChecked());
    QCOMPARE(int(dialog.choice().kind), initial);
    // A choice that prints nothing is never where the dialog starts.
    PrintRowsDialog none(PrintPrompt::RowsOffer{5, 0, 0, PrintPrompt::RowsChoice::Kind(initial)});
    QCOMPARE(int(none.choice().kind), int(PrintPrompt::RowsChoice::Kind::All));
}

void TestPrintWindow::printLogReprintsAJobsRows()
{
    m_f->prompt.rowChoices.enqueue(
        PrintPrompt::RowsChoice{PrintPrompt::RowsChoice::Kind::Range, "2-4"});
    QTest::mouseClick(findWidget<QToolButton>("printAllButton"), Qt::LeftButton);
    QCOMPARE(pdfPages(m_f->tmp.filePath("job.pdf")), 3);
    // NAME3 goes away before the reprint: it is left out.
    QSqlQuery q(m_f->dm()->database());
    q.exec("DELETE FROM Exp_Att_Info WHERE Name = 'NAME3'");
    m_f->dm()->recipients->refresh();
    QFile::remove(m_f->tmp.filePath("job.pdf"));
    m_f->prompt.clear();

    QTest::mouseClick(findWidget<QPushButton>("printLogButton"), Qt::LeftButton);
    auto* dialog = m_f->main()->findChild<PrintLogDialog*>("PrintLogDialog");
    QVERIFY(dialog);
    QCOMPARE(dialog->findChild<QTableWidget*>("jobsTable")->rowCount(), 1);
    QCOMPARE(dialog->findChild<QTableWidget*>("jobsTable")->item(0, 4)->text(), QString("NAME2"));
    QCOMPARE(dialog->findChild<QTableWidget*>("jobsTable")->item(0, 5)->text(), QString("NAME4"));
    QCOMPARE(dialog->findChild<QTableWidget*>("jobsTable")->item(0, 3)->text(), QString("3"));
    QVERIFY(!dialog->findChild<QPushButton*>("reprintButton")->isEnabled());
    dialog->findChild<QTableWidget*>("jobsTable")->selectRow(0);
    QVERIFY(dialog->findChild<QPushButton*>("reprintButton")->isEnabled());
    QTest::mouseClick(dialog->findChild<QPushButton*>("reprintButton"), Qt::LeftButton);

    QCOMPARE(m_f->prompt.shown.value(0).text.split('\n').value(0),
             QStringLiteral("此操作将重新打印所选打印记录中的 2 行，"
                            "请确保打印机正确设置并已放置了合适的纸张。"));
    QVERIFY(m_f->prompt.shown.value(0).text.contains("将打印 2 张运单到文件"));
    QCOMPARE(pdfPages(m_f->tmp.filePath("job.pdf")), 2);
    const QString text = pdfText(m_f->tmp.filePath("job.pdf"));
    QVERIFY(text.contains("NAME2") && text.contains("NAME4") && !text.contains("NAME1"));
    const QList<PrintLog::Entry> log = PrintLog::newestFirst(m_f->dm()->database());
    QCOMPARE(log.size(), 2);
    QCOMPARE(log.first().pages, 2); // newest first
    q.exec("SELECT Name, coalesce(Print_Count, 0) FROM Exp_Att_Info ORDER BY ID");
    QStringList counts;
    while (q.next())
        counts << q.value(0).toString() + "=" + q.value(1).toString();
    QCOMPARE(counts, QStringList({"NAME1=0", "NAME2=2", "NAME4=2", "NAME5=0"}));
    // The log keeps every recipient of a job, and says which job reprinted.
    QCOMPARE(log.at(1).names, QStringList({"NAME2", "NAME3", "NAME4"}));
    QVERIFY(!log.at(1).reprint);
    QCOMPARE(log.first().names, QStringList({"NAME2", "NAME4"}));
    QVERIFY(log.first().reprint);

    // One recipient of the first job, chosen in its list.
    QFile::remove(m_f->tmp.filePath("job.pdf"));
    m_f->prompt.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the first dialog
    QTest::mouseClick(findWidget<QPushButton>("printLogButton"), Qt::LeftButton);
    dialog = m_f->main()->findChild<PrintLogDialog*>("PrintLogDialog");
    QVERIFY(dialog);
    QCOMPARE(dialog->findChild<QTableWidget*>("jobsTable")->item(0, 6)->text(), QString("是"));
    dialog->findChild<QTableWidget*>("jobsTable")->selectRow(1);
    auto* list = dialog->findChild<QListWidget*>("recipientsList");
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->item(i)->text();
    QCOMPARE(shown, QStringList({"1. NAME2", "2. NAME3", "3. NAME4"}));
    auto* reprintRows = dialog->findChild<QPushButton*>("reprintRowsButton");
    QVERIFY(!reprintRows->isEnabled());
    list->item(2)->setSelected(true);
    QVERIFY(reprintRows->isEnabled());
    QTest::mouseClick(reprintRows, Qt::LeftButton);
    QCOMPARE(pdfPages(m_f->tmp.filePath("job.pdf")), 1);
    QVERIFY(pdfText(m_f->tmp.filePath("job.pdf")).contains("NAME4"));
    const QList<PrintLog::Entry> after = PrintLog::newestFirst(m_f->dm()->database());
    QCOMPARE(after.size(), 3);
    QCOMPARE(after.first().names, QStringList({"NAME4"}));
    QVERIFY(after.first().reprint);
}

void TestPrintWindow::gridKeepsItsPlaceThroughPrinting_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("batch of the selected rows") << "batch";
    QTest::newRow("preview paged and printed") << "preview";
    QTest::newRow("reprint from the print log") << "reprint";
}

// Printing reads rows by ID: the grid neither jumps during nor after a job
// or a preview, and the user's selection, current row and scroll position
// survive it, while the printed marks show at once.
void TestPrintWindow::gridKeepsItsPlaceThroughPrinting()
{
    QFETCH(QString, way);
    QSqlQuery q(m_f->dm()->database());
    for (int i = 6; i <= 80; ++i)
        QVERIFY(q.exec(QStringLiteral("INSERT INTO Exp_Att_Info (Name, Address, Mobile) VALUES "
                                      "('NAME%1', 'ADDR%1', '13800000000')")
                           .arg(i)));
    m_f->dm()->recipients->refresh();
    if (way == "reprint") {
        // A job of rows 41 and 46 to print again.
        m_f->prompt.rowChoices.enqueue(
            PrintPrompt::RowsChoice{PrintPrompt::RowsChoice::Kind::Range, "41,46"});
        QTest::mouseClick(findWidget<QToolButton>("printAllButton"), Qt::LeftButton);
        QCOMPARE(pdfPages("job.pdf"), 2);
        m_f->prompt.clear();
    }
    findWidget<QTabWidget>("tabs")->setCurrentIndex(1);
    QTableView* grid = findWidget<QTableView>("recipientGrid");
    QItemSelectionModel* selection = grid->selectionModel();
    selection->clearSelection();
    for (int row : {40, 45})
        selection->select(grid->model()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->setCurrentIndex(grid->model()->index(45, 0), QItemSelectionModel::NoUpdate);
    grid->scrollTo(grid->model()->index(45, 0), QAbstractItemView::PositionAtCenter);
    Dataset* att = m_f->dm()->recipients;
    QCOMPARE(att->recNo(), 45);
    const int scrolled = grid->verticalScrollBar()->value();
    QVERIFY(scrolled > 0);
    const auto selectedRows = [&] {
        QList<int> rows;
        for (const QModelIndex& idx : selection->selectedRows())
            rows << idx.row();
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    QSignalSpy resets(grid->model(), &QAbstractItemModel::modelReset);
    QSignalSpy moves(att, &Dataset::currentChanged);
    QFile::remove("job.pdf");

    QStringList printed;
    if (way == "batch") {
        m_f->prompt.rowChoices.enqueue(
            PrintPrompt::RowsChoice{PrintPrompt::RowsChoice::Kind::Selected, {}});
        QTest::mouseClick(findWidget<QToolButton>("printAllButton"), Qt::LeftButton);
        printed = QStringList{"NAME41", "NAME46"};
    } else if (way == "preview") {
        PreviewWindow* pv = m_f->preview();
        pv->show();
        QCOMPARE(pv->windowTitle(), QStringLiteral("打印预览 - 第 46 / 80 张"));
        pv->showNextRow();
        pv->showNextRow();
        QTest::mouseClick(pv->findChild<QToolButton*>("printButton"), Qt::LeftButton);
        pv->showFirstRow();
        pv->close();
        printed = QStringList{"NAME48"};
    } else {
        QTest::mouseClick(findWidget<QPushButton>("printLogButton"), Qt::LeftButton);
        auto* dialog = m_f->main()->findChild<PrintLogDialog*>("PrintLogDialog");
        QVERIFY(dialog);
        dialog->findChild<QTableWidget*>("jobsTable")->selectRow(0);
        QTest::mouseClick(dialog->findChild<QPushButton*>("reprintButton"), Qt::LeftButton);
        printed = QStringList{"NAME41", "NAME46"};
    }
    QVERIFY2(m_f->prompt.messages().isEmpty(), qPrintable(m_f->prompt.messages().join('|')));
    QCOMPARE(pdfPages("job.pdf"), printed.size());
    const QString text = pdfText("job.pdf");
    for (const QString& name : printed)
        QVERIFY2(text.contains(name), qPrintable(name));

    QCOMPARE(resets.size(), 0);
    QCOMPARE(moves.size(), 0);
    QCOMPARE(att->recNo(), 45);
    QCOMPARE(grid->currentIndex().row(), 45);
    QCOMPARE(selectedRows(), QList<int>({40, 45}));
    QCOMPARE(grid->verticalScrollBar()->value(), scrolled);
    QCOMPARE(grid->model()->rowCount(), 80);
    // The marks are read back into the rows shown.
    const int marked = RecipientPage::gridColumns().size() - 1;
    for (int row = 35; row < 50; ++row) {
        const QString name = QStringLiteral("NAME%1").arg(row + 1);
        QCOMPARE(grid->model()->index(row, 0).data().toString(), name);
        QCOMPARE(grid->model()->index(row, marked).data().toString().isEmpty(),
                 !printed.contains(name));
    }
}

// Rows printed while the grid shows only the unprinted leave it at once.
void TestPrintWindow::printedRowsLeaveTheUnprintedView()
{
    findWidget<QTabWidget>("tabs")->setCurrentIndex(1);
    findWidget<QComboBox>("printedFilterBox")->setCurrentIndex(1);
    QTableView* grid = findWidget<QTableView>("recipientGrid");
    QCOMPARE(grid->model()->rowCount(), 5);
    m_f->prompt.rowChoices.enqueue(
        PrintPrompt::RowsChoice{PrintPrompt::RowsChoice::Kind::Range, "2,4"});
    QTest::mouseClick(findWidget<QToolButton>("printAllButton"), Qt::LeftButton);
    QCOMPARE(pdfPages("job.pdf"), 2);
    QStringList shown;
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        shown << grid->model()->index(row, 0).data().toString();
    QCOMPARE(shown, QStringList({"NAME1", "NAME3", "NAME5"}));
}

void TestPrintWindow::calibrationDialogShowsAndSavesTheCurrentPrinters()
{
    // The printer menu offers the dialog.
    auto* action = m_f->main()->findChild<QAction*>("calibrateAction");
    QVERIFY(action);
    QCOMPARE(action->text(), QString("打印机校准"));

    Calibration stored;
    stored.dxMm = 1.5;
    stored.syPct = 97.5;
    Calibration::save(m_f->dm()->database(), m_f->session().currentTemplate, "PDF", stored);
    {
        CalibrationDialog dialog(m_f->dm()->database(), m_f->session().currentTemplate, "PDF");
        QCOMPARE(dialog.findChild<QDoubleSpinBox*>("horizontalShiftEdit")->value(), 1.5);
        QCOMPARE(dialog.findChild<QDoubleSpinBox*>("verticalScaleEdit")->value(), 97.5);
        QCOMPARE(dialog.findChild<QDoubleSpinBox*>("horizontalScaleEdit")->value(), 100.0);
        QVERIFY(dialog.findChild<QLabel*>("targetLabel")->text().contains("PDF"));
        // How to measure, in two lines.
        const QString hint = dialog.findChild<QLabel*>("hintLabel")->text();
        QCOMPARE(hint.split('\n').size(), 2);
        QVERIFY(hint.contains("测试页") && hint.contains("偏移") && hint.contains("缩放"));
        // The boxes hold the ranges and the 0.1 steps.
        dialog.findChild<QDoubleSpinBox*>("verticalShiftEdit")->setValue(-80);
        QCOMPARE(dialog.findChild<QDoubleSpinBox*>("verticalShiftEdit")->value(), -50.0);
        dialog.findChild<QDoubleSpinBox*>("horizontalScaleEdit")->setValue(104.26);
        QCOMPARE(dialog.findChild<QDoubleSpinBox*>("horizontalScaleEdit")->value(), 104.3);
        QTest::mouseClick(dialog.findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    const Calibration c =
        Calibration::load(m_f->dm()->database(), m_f->session().currentTemplate, "PDF");
    QCOMPARE(c.dxMm, 1.5);
    QCOMPARE(c.dyMm, -50.0);
    QCOMPARE(c.sxPct, 104.3);
    QCOMPARE(c.syPct, 97.5);
    // Another printer starts from no calibration.
    CalibrationDialog other(m_f->dm()->database(), m_f->session().currentTemplate, "HP_LaserJet");
    QCOMPARE(other.findChild<QDoubleSpinBox*>("horizontalShiftEdit")->value(), 0.0);
    QCOMPARE(other.findChild<QDoubleSpinBox*>("verticalScaleEdit")->value(), 100.0);
    QVERIFY(!other.findChild<QPushButton*>("testSheetButton")->isEnabled());

    // "打印测试页" prints one sheet with the values shown, saved or not.
    CalibrationDialog dialog(m_f->dm()->database(), m_f->session().currentTemplate, "PDF");
    QList<Calibration> used;
    dialog.setTestSheetPrinter([&](const Calibration& shown) {
        used << shown;
        PrintActions::printTestSheet(
            m_f->dm(), m_f->session(), findWidget<DesignPage>("designPage")->surface(),
            [this](QPrinter* p) { return m_f->main()->preparePrinter(p); }, shown);
    });
    QCOMPARE(dialog.findChild<QPushButton*>("testSheetButton")->text(), QString("打印测试页"));
    dialog.findChild<QDoubleSpinBox*>("horizontalShiftEdit")->setValue(7.5);
    dialog.findChild<QDoubleSpinBox*>("verticalShiftEdit")
        ->setValue(0); // the saved -50 mm would lift the top fields off
    QTest::mouseClick(dialog.findChild<QPushButton*>("testSheetButton"), Qt::LeftButton);
    QCOMPARE(used.size(), 1);
    QCOMPARE(used.first().dxMm, 7.5);
    QVERIFY2(m_f->prompt.messages().isEmpty(), qPrintable(m_f->prompt.messages().join('|')));
    QCOMPARE(pdfPages(m_f->tmp.filePath("job.pdf")), 1);
    const QString text = pdfText(m_f->tmp.filePath("job.pdf"));
    QVERIFY2(text.contains("SENDERNAME"), qPrintable(text));
    QCOMPARE(Calibration::load(m_f->dm()->database(), m_f->session().currentTemplate, "PDF").dxMm,
             1.5);
}

void TestPrintWindow::printerIsRememberedPerTemplate()
{
    const QString model = m_f->session().currentTemplate;
    QVERIFY(!model.isEmpty());
    QPrinter* printer = PrinterStore::printer();
    const QString chosen = m_f->tmp.filePath("chosen.pdf");
    printer->setOutputFileName(chosen);
    m_f->prompt.printerAnswers.enqueue(true);
    QTest::mouseClick(findWidget<QToolButton>("printerButton"), Qt::LeftButton);
    QCOMPARE(PrinterChoice::stored(m_f->session().appDir, model), "pdf:" + chosen);

    // Another template with a queue that has gone since, then back.
    const QString other = QStringLiteral("另一/模板=1");
    ConfigIni::writeString(m_f->session().appDir, "Printer",
                           QString::fromLatin1(QUrl::toPercentEncoding(other)), "queue:gone-queue");
    printer->setOutputFileName(m_f->tmp.filePath("elsewhere.pdf"));
    m_f->main()->showCurrentTemplate(other);
    QVERIFY2(
        m_f->main()->statusPanelText(1).startsWith(QStringLiteral("打印机 gone-queue 已不存在，")),
        qPrintable(m_f->main()->statusPanelText(1)));
    // The default queue, or when there is none no printer at all.
    QVERIFY(printer->printerName() != "gone-queue");
    QVERIFY(printer->outputFileName() != m_f->tmp.filePath("elsewhere.pdf"));
    m_f->main()->showCurrentTemplate(model);
    QVERIFY(printer->outputFormat() == QPrinter::PdfFormat);
    QCOMPARE(printer->outputFileName(), chosen);
    QCOMPARE(m_f->main()->statusPanelText(1), QString());

    // After a restart the template's printer is chosen again.
    m_f->startup.reset();
    PrinterStore::reset();
    m_f->startup = std::make_unique<Startup>(m_f->tmp.path());
    QVERIFY(m_f->startup->start());
    m_f->main()->show();
    QTRY_VERIFY(PrinterStore::printer()->outputFormat() == QPrinter::PdfFormat);
    QCOMPARE(PrinterStore::printer()->outputFileName(), chosen);
}

void TestPrintWindow::pageSetupOpensTheCalibration()
{
    QVERIFY(m_f->pageSetup());
    // No action until the window sets one.
    QVERIFY(m_f->pageSetup()->findChild<QPushButton*>("calibrateButton")->isHidden());
    bool pageShown = false;
    QString calibrationTarget;
    QTimer::singleShot(0, [&] {
        pageShown = m_f->pageSetup()->isVisible() &&
                    m_f->pageSetup()->findChild<QPushButton*>("calibrateButton")->isVisible();
        QTimer::singleShot(0, [&] {
            if (auto* d = qobject_cast<CalibrationDialog*>(QApplication::activeModalWidget())) {
                calibrationTarget = d->findChild<QLabel*>("targetLabel")->text();
                d->reject();
            }
            QTimer::singleShot(0, [this] { m_f->pageSetup()->reject(); });
        });
        QTest::mouseClick(m_f->pageSetup()->findChild<QPushButton*>("calibrateButton"),
                          Qt::LeftButton);
    });
    QTest::mouseClick(
        findWidget<DesignPage>("designPage")->findChild<QToolButton*>("pageSetupButton"),
        Qt::LeftButton);
    QVERIFY(pageShown);
    QVERIFY2(calibrationTarget.contains(m_f->session().currentTemplate) &&
                 calibrationTarget.contains("PDF"),
             qPrintable(calibrationTarget));
    QVERIFY(!m_f->pageSetup()->isVisible());
}

// The print font chosen while a template is in use is kept with it, and
// is the session's for templates without one of their own.
void TestPrintWindow::printFontIsKeptWithTheTemplate()
{
    struct InitialFonts : ScriptedPrompt {
        QList<QFont> initials;
        std::optional<QFont> font(const QFont& initial) override
        {
            initials << initial;
            return ScriptedPrompt::font(initial);
        }
    } p;
    const QSqlDatabase db = m_f->dm()->database();
    Session& session = m_f->session();
    QSqlQuery(db).exec(
        "INSERT INTO Exp_Model (Model_Name, Bk_Bmp_Name) VALUES ('乙', 'generic.bmp')");
    m_f->dm()->templates->refresh();
    auto withSize = [&](int points) {
        QFont f = session.printFont();
        f.setPointSize(points);
        return f;
    };
    auto printing = [&] { return PrintFonts::load(db, session).print.pointSizeF(); };

    session.currentTemplate = QStringLiteral("通用快递单");
    p.fonts.enqueue(withSize(14));
    PrintActions::choosePrintFont(session, m_f->dm());
    QCOMPARE(p.initials.last().pointSizeF(), 10.0);
    QCOMPARE(FieldFontStore::printFont(db, "通用快递单").value_or(QFont()).pointSizeF(), 14.0);
    // 乙 has none of its own: it prints in the session's, now 14 pt.
    session.currentTemplate = QStringLiteral("乙");
    QCOMPARE(printing(), 14.0);
    QVERIFY(!FieldFontStore::printFont(db, "乙"));
    p.fonts.enqueue(withSize(18));
    PrintActions::choosePrintFont(session, m_f->dm());
    QCOMPARE(p.initials.last().pointSizeF(), 14.0);
    QCOMPARE(printing(), 18.0);
    // Back on the first template, its own font again; the dialog opens at it.
    session.currentTemplate = QStringLiteral("通用快递单");
    QCOMPARE(printing(), 14.0);
    PrintActions::choosePrintFont(session, m_f->dm());
    QCOMPARE(p.initials.last().pointSizeF(), 14.0);
    QCOMPARE(printing(), 14.0);
    // A name no template bears keeps nothing.
    session.currentTemplate = QStringLiteral("无此模板");
    p.fonts.enqueue(withSize(9));
    PrintActions::choosePrintFont(session, m_f->dm());
    QCOMPARE(session.printFont().pointSizeF(), 9.0);
    QVERIFY(!FieldFontStore::printFont(db, "无此模板"));
}

QTEST_MAIN(TestPrintWindow)
