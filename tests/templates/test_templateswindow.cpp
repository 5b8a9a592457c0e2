// Templates on the design tab, the page setup and the field selection,
// driven through the main window's widgets with real mouse and key events.
#include "app/startup.h"
#include "base/session.h"
#include "book/senderdraft.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "findwidget.h"
#include "freshdatabase.h"
#include "gui/mainwindow.h"
#include "gui/templates/designpage.h"
#include "gui/templates/designsurface.h"
#include "gui/templates/fieldselectiondialog.h"
#include "gui/templates/pagesetupdialog.h"
#include "gui/templates/spinedit.h"
#include "print/printerpaper.h"
#include "render/textfit.h"
#include "scriptedprompt.h"
#include "templates/fieldcatalogue.h"
#include "templates/fieldfitstore.h"
#include "templates/fieldfontstore.h"
#include "templates/labelstore.h"
#include "templates/pagesize.h"
#include "templates/templatedocument.h"
#include "templates/templatestore.h"
#include "tempworkdir.h"
#include "waybill/carrierstore.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCollator>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QToolButton>
#include <QUndoStack>
#include <QtTest>
#include <functional>

namespace
{

const QString kSaved = QStringLiteral("模板保存成功！");
const QString kDelivered = QStringLiteral("通用快递单");

QImage makePicture(QSize size, QColor color)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(color);
    QPainter p(&img);
    p.setPen(Qt::black);
    p.drawLine(0, 0, size.width() - 1, size.height() - 1);
    return img;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// A place per field that differs from field to field and from base to base.
QRect placeFor(int index, int base)
{
    return QRect(base + 9 * index, 2 * base + 5 * index, 30 + index, 22);
}

QStringList listTexts(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QStringList comboTexts(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

QList<int> selectedRows(const QListWidget* list)
{
    QList<int> out;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected())
            out << i;
    return out;
}

} // namespace

class TestModel : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempWorkDir> m_tmp;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Startup> m_start;
    // Context of the callbacks whileModal() queues; deleting it in cleanup()
    // drops any that did not run, since they refer to the test's locals.
    std::unique_ptr<QObject> m_modalContext;

    // The windows and the session, through start-up that owns them.
    MainWindow* mainWindow() const { return m_start->mainWindow(); }
    DataModule* dataModule() const { return m_start->dataModule(); }
    Session& session() const { return m_start->session(); }
    PageSetupDialog* pageSetup() const
    {
        return mainWindow()->findChild<PageSetupDialog*>(QStringLiteral("PageSetupDialog"));
    }
    FieldSelectionDialog* fieldSelection() const
    {
        return mainWindow()->findChild<FieldSelectionDialog*>(
            QStringLiteral("FieldSelectionDialog"));
    }
    DesignPage* page() const { return findWidget<DesignPage>("designPage"); }
    DesignSurface* surface() const { return findWidget<DesignPage>("designPage")->surface(); }
    FieldControl* control(int number) const
    {
        return surface()->findChild<FieldControl*>(
            FieldControl::objectNameFor(FieldCatalogue::all().at(number - 1).key));
    }
    Dataset* tb() const { return dataModule()->templates; }
    QString bkbmp(const QString& name) const { return m_tmp->filePath("bkbmp/" + name); }

    // Starts the program; setup runs on the open database before the main
    // window is first shown (and lays out the default template).
    bool startProgram(const std::function<void()>& setup = {})
    {
        m_start = std::make_unique<Startup>(m_tmp->path());
        if (!m_start->start())
            return false;
        if (setup)
            setup();
        mainWindow()->show();
        QApplication::setActiveWindow(mainWindow());
        return QTest::qWaitForWindowActive(mainWindow());
    }

    // Appends a template row with placeFor(i, base) for field i.
    void addTemplate(const QString& name, const QString& picture, int base,
                     const QVariantMap& extra = {})
    {
        Dataset* t = tb();
        Dataset::NamedValues values = {
            {"Model_Name", name}, {"Bk_Bmp_Name", picture}, {"Bk_Bmp_Left", 24}, {"Bk_Bmp_Top", 16},
            {"Page_Width", 2000}, {"Page_Height", 1000},    {"Page_LeftX", 0},   {"Page_TopY", 0}};
        for (int i = 0; i < FieldCatalogue::kCount; ++i) {
            const FieldInfo& f = FieldCatalogue::all().at(i);
            const QRect r = placeFor(i, base);
            values.append({f.leftColumn(), r.left()});
            values.append({f.topColumn(), r.top()});
            values.append({f.widthColumn(), r.width()});
            values.append({f.visColumn(), 1});
        }
        for (auto it = extra.begin(); it != extra.end(); ++it)
            values.append({it.key(), it.value()});
        t->moveTo(t->insertRow(t->fieldsOf(values)));
    }

    // Every column of the n-th template row, straight from the file.
    QVariantMap modelRow(int n) const
    {
        QSqlQuery q(dataModule()->database());
        q.exec(QStringLiteral("SELECT * FROM Exp_Model ORDER BY rowid LIMIT 1 OFFSET %1").arg(n));
        QVariantMap out;
        if (q.next())
            for (int i = 0; i < q.record().count(); ++i)
                out.insert(q.record().fieldName(i), q.value(i));
        return out;
    }
    int modelCount() const
    {
        QSqlQuery q(dataModule()->database());
        q.exec(QStringLiteral("SELECT count(*) FROM Exp_Model"));
        return q.next() ? q.value(0).toInt() : -1;
    }
    QList<QVariantMap> allRows() const
    {
        QList<QVariantMap> rows;
        for (int i = 0; i < modelCount(); ++i)
            rows << modelRow(i);
        return rows;
    }
    // Where a row puts a field: left, top and width (height kept at 22).
    static QRect storedPlace(const QVariantMap& row, const FieldInfo& f)
    {
        return QRect(row.value(f.leftColumn()).toInt(), row.value(f.topColumn()).toInt(),
                     row.value(f.widthColumn()).toInt(), 22);
    }

    // Drags a control with the left button held, grabbing it at grab (its
    // own coordinates) and moving the pointer by delta over the panel.
    static void dragBy(QWidget* w, QPoint grab, QPoint delta, int steps = 3)
    {
        const QPoint pressInPanel = w->mapToParent(grab);
        QTest::mousePress(w, Qt::LeftButton, {}, grab);
        for (int i = 1; i <= steps; ++i)
            QTest::mouseMove(w, w->mapFromParent(pressInPanel + delta * i / steps));
        QTest::mouseRelease(w, Qt::LeftButton, {}, w->mapFromParent(pressInPanel + delta));
    }

    // Right-clicks a control and chooses "删除此字段" in the popup menu.
    bool hideByMenu(QWidget* w)
    {
        QTest::mouseClick(w, Qt::RightButton);
        QMenu* menu = surface()->fieldMenu;
        if (!QTest::qWaitFor([&] { return menu->isVisible(); }))
            return false;
        const QRect item = menu->actionGeometry(surface()->hideFieldAction);
        QTest::mouseMove(menu, item.center());
        QTest::mouseClick(menu, Qt::LeftButton, {}, item.center());
        return QTest::qWaitFor([&] { return !menu->isVisible(); });
    }

    // Right-clicks a control and chooses an item of the popup menu.
    bool chooseInMenu(QWidget* w, QAction* item)
    {
        QTest::mouseClick(w, Qt::RightButton);
        QMenu* menu = surface()->fieldMenu;
        if (!QTest::qWaitFor([&] { return menu->isVisible(); }))
            return false;
        const QRect at = menu->actionGeometry(item);
        QTest::mouseMove(menu, at.center());
        QTest::mouseClick(menu, Qt::LeftButton, {}, at.center());
        return QTest::qWaitFor([&] { return !menu->isVisible(); });
    }
    static QImage taggedPicture(QSize size, int dpi)
    {
        QImage img = makePicture(size, Qt::white);
        img.setDotsPerMeterX(qRound(dpi / 0.0254));
        img.setDotsPerMeterY(qRound(dpi / 0.0254));
        return img;
    }

    static void typeInto(QLineEdit* box, const QString& text)
    {
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClick(box, Qt::Key_Home);
        QTest::keyClicks(box, text);
    }
    static void typeInto(SpinEdit* box, const QString& text)
    {
        box->clear();
        QTest::keyClicks(box, text);
    }

    // Runs inside while the next modal dialog is up; closes it if inside
    // left it open, so that a failing check cannot hang the test.
    void whileModal(const std::function<void()>& inside)
    {
        QTimer::singleShot(0, m_modalContext.get(), [inside] {
            inside();
            if (QWidget* w = QApplication::activeModalWidget())
                w->close();
        });
    }

    // Through "新建模板" and "背景图" with a picture file, and the paper boxes.
    void beginNewTemplate(const QString& pictureFile, const QString& widthMm = "230",
                          const QString& heightMm = "127")
    {
        QTest::mouseClick(page()->findChild<QToolButton*>("newTemplateButton"), Qt::LeftButton);
        if (!pictureFile.isEmpty()) {
            m_prompt->files.enqueue(pictureFile);
            QTest::mouseClick(page()->findChild<QToolButton*>("pictureButton"), Qt::LeftButton);
        }
        typeInto(page()->findChild<QLineEdit*>("paperWidthEdit"), widthMm);
        typeInto(page()->findChild<QLineEdit*>("paperHeightEdit"), heightMm);
    }

    void checkNewTemplateMode(bool on)
    {
        QCOMPARE(page()->newTemplateMode(), on);
        QCOMPARE(page()->findChild<QToolButton*>("pictureButton")->isEnabled(), on);
        QCOMPARE(page()->findChild<QLineEdit*>("paperWidthEdit")->isEnabled(), on);
        QCOMPARE(page()->findChild<QLineEdit*>("paperHeightEdit")->isEnabled(), on);
        QCOMPARE(page()->findChild<QToolButton*>("pageSetupButton")->isEnabled(), !on);
    }

private Q_SLOTS:
    void init()
    {
        m_tmp = std::make_unique<TempWorkDir>();
        QVERIFY(makeFreshAppDir(m_tmp->path()));
        QVERIFY(QDir().mkpath(m_tmp->filePath("scans")));
        m_prompt = std::make_unique<ScriptedPrompt>();
        m_modalContext = std::make_unique<QObject>();
    }
    void cleanup()
    {
        m_modalContext.reset();
        m_start.reset();
        m_prompt.reset();
        m_tmp.reset();
    }

    // --- Laying out ----------------------------------------------------------

    void startLaysOutTheDefaultTemplate()
    {
        QVERIFY(startProgram());
        const QVariantMap row = modelRow(0);
        for (const FieldInfo& f : FieldCatalogue::all()) {
            QCOMPARE(control(f.number)->geometry(), storedPlace(row, f));
            // The waybill number and the carrier wait hidden for a label.
            QCOMPARE(control(f.number)->isHidden(), f.number > Schema::kFirstFieldCount);
        }
        QCOMPARE(surface()->backgroundImage()->pos(), QPoint(24, 16));
        QCOMPARE(surface()->backgroundImage()->size(), QSize(800, 442));
        QCOMPARE(page()->findChild<QComboBox*>("templateList")->currentText(), kDelivered);
        QCOMPARE(tb()->recNo(), 0);
        checkNewTemplateMode(false);
        QVERIFY2(m_prompt->shown.isEmpty(), qPrintable(m_prompt->messages().join('\n')));
    }

    void layoutByName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("row"); // the row laid out and left current
        QTest::newRow("first of two equal names") << "甲" << 1;
        QTest::newRow("second name") << "乙" << 2;
        QTest::newRow("no such name: the last row") << "丙" << 3;
        QTest::newRow("case and blanks count") << "甲 " << 3;
        QTest::newRow("empty name") << "" << 3;
    }
    void layoutByName()
    {
        QFETCH(QString, name);
        QFETCH(int, row);
        makePicture({300, 200}, Qt::cyan).save(bkbmp("a.bmp"), "BMP");
        makePicture({320, 180}, Qt::green).save(bkbmp("b.bmp"), "BMP");
        makePicture({340, 160}, Qt::yellow).save(bkbmp("c.bmp"), "BMP");
        QVERIFY(startProgram([&] {
            addTemplate("甲", "a.bmp", 40, {{"S_Address_isVis", 0}, {"A_Custom5_isVis", 0}});
            addTemplate("乙", "b.bmp", 60);
            addTemplate("甲", "c.bmp", 80);
        }));
        m_prompt->clear();

        QVERIFY(page()->layOutTemplate(name));
        QCOMPARE(tb()->recNo(), row);
        const QVariantMap stored = modelRow(row);
        QCOMPARE(surface()->backgroundImage()->size(),
                 QImage(bkbmp(stored.value("Bk_Bmp_Name").toString())).size());
        QCOMPARE(surface()->backgroundImage()->pos(), QPoint(24, 16));
        for (const FieldInfo& f : FieldCatalogue::all()) {
            QCOMPARE(control(f.number)->geometry(), storedPlace(stored, f));
            QCOMPARE(!control(f.number)->isHidden(), stored.value(f.visColumn()).toInt() != 0);
        }
        // Neither the session nor the list nor the paper boxes change.
        QCOMPARE(session().currentTemplate, kDelivered);
        QCOMPARE(page()->findChild<QComboBox*>("templateList")->currentIndex(), 0);
        QCOMPARE(mainWindow()->statusPanelText(2), "当前模板：" + kDelivered);
        QVERIFY(m_prompt->shown.isEmpty());
    }

    void switchingTemplatesInTheList()
    {
        makePicture({500, 300}, Qt::cyan).save(bkbmp("b.bmp"), "BMP");
        QVERIFY(startProgram([&] {
            addTemplate("乙", "b.bmp", 60);
            addTemplate("坏", "missing.bmp", 90);
        }));
        m_prompt->clear();
        QComboBox* list = page()->findChild<QComboBox*>("templateList");
        QCOMPARE(comboTexts(list), QStringList({kDelivered, "乙", "坏"}));

        // The user picks the next template.
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(session().currentTemplate, QString("乙"));
        QCOMPARE(mainWindow()->statusPanelText(2), QString("当前模板：乙"));
        QCOMPARE(surface()->backgroundImage()->size(), QSize(500, 300));
        QCOMPARE(control(1)->geometry(), placeFor(0, 60));
        QCOMPARE(tb()->recNo(), 1);
        QVERIFY(m_prompt->shown.isEmpty());

        // A template whose picture is missing: the error, and nothing moves.
        const QVector<TemplateStore::FieldPlace> before = surface()->fieldPlaces();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.at(0).kind, QString("error"));
        QVERIFY(m_prompt->shown.at(0).text.contains("missing.bmp"));
        QVERIFY(surface()->fieldPlaces() == before);
        QCOMPARE(surface()->backgroundImage()->size(), QSize(500, 300));
        QCOMPARE(tb()->recNo(), 2);
        QCOMPARE(session().currentTemplate, QString("乙"));
        QCOMPARE(mainWindow()->statusPanelText(2), QString("当前模板：乙"));
        // The list goes back to the template in use, so a save cannot write
        // 乙's layout into 坏.
        QCOMPARE(list->currentText(), QString("乙"));
    }

    void defaultTemplateThatCannotBeLaidOut()
    {
        QVERIFY(startProgram([&] {
            addTemplate("坏", "missing.bmp", 90);
            ConfigIni::writeString(m_tmp->appDir(), "DefaultModel", "ModelName", "坏");
        }));
        QCOMPARE(m_prompt->messages().size(), 1);
        QCOMPARE(session().currentTemplate, QString("坏"));
        QCOMPARE(page()->findChild<QComboBox*>("templateList")->currentIndex(), -1);
        QCOMPARE(control(1)->pos(), QPoint(FieldCatalogue::all().at(0).defaultLeft,
                                           FieldCatalogue::all().at(0).defaultTop));
    }

    // --- Offsets and page setup ----------------------------------------------

    void offsetsShiftEveryFieldAndASaveStoresTheShiftedPlaces()
    {
        QVERIFY(startProgram());
        const QVariantMap before = modelRow(0);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_tmp->filePath("out.pdf"));
        pageSetup()->setPrinterSource([&] { return &printer; });

        whileModal([&] {
            QVERIFY(pageSetup()->isVisible());
            typeInto(pageSetup()->findChild<SpinEdit*>("leftOffsetEdit"), "5");
            typeInto(pageSetup()->findChild<SpinEdit*>("topOffsetEdit"), "-3");
            QTest::mouseClick(pageSetup()->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        });
        QTest::mouseClick(page()->findChild<QToolButton*>("pageSetupButton"), Qt::LeftButton);
        QVERIFY(!pageSetup()->isVisible());
        QCOMPARE(page()->document()->layout().offset.x(), 5);
        QCOMPARE(page()->document()->layout().offset.y(), -3);
        for (const FieldInfo& f : FieldCatalogue::all())
            QCOMPARE(control(f.number)->geometry(), storedPlace(before, f).translated(5, -3));
        QCOMPARE(surface()->backgroundImage()->pos(), QPoint(24, 16));
        QCOMPARE(modelRow(0).value("Page_LeftX").toInt(), 5);
        QCOMPARE(modelRow(0).value("Page_TopY").toInt(), -3);
        QCOMPARE(printer.pageLayout().pageSize().size(QPageSize::Millimeter), QSizeF(211.7, 116.9));
        QCOMPARE(mainWindow()->statusPanelText(2), "当前模板：" + kDelivered);

        // Switching templates keeps the offsets in effect.
        QVERIFY(page()->layOutTemplate(kDelivered));
        QCOMPARE(control(26)->pos(),
                 storedPlace(before, FieldCatalogue::all().at(25)).topLeft() + QPoint(5, -3));

        m_prompt->clear();
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList({kSaved}));
        const QVariantMap after = modelRow(0);
        for (const FieldInfo& f : FieldCatalogue::all())
            QCOMPARE(storedPlace(after, f), storedPlace(before, f).translated(5, -3));
        QCOMPARE(after.value("Page_LeftX").toInt(), 0);
        QCOMPARE(after.value("Page_TopY").toInt(), 0);
        QCOMPARE(after.value("Bk_Bmp_Left").toInt(), 24);
        QCOMPARE(after.value("Bk_Bmp_Top").toInt(), 16);
    }

    // The page setup edits the template on the surface: unsaved moves stay,
    // shifted by the new offsets, and can still be undone.
    void pageSetupKeepsUnsavedMoves()
    {
        QVERIFY(startProgram());
        const QVariantMap before = modelRow(0);
        const FieldInfo& f = FieldCatalogue::all().at(5);
        FieldControl* c = control(f.number);
        dragBy(c, QPoint(15, 10), QPoint(25, 15));
        const QRect moved = c->geometry();
        QCOMPARE(moved, storedPlace(before, f).translated(25, 15));
        QVERIFY(page()->hasUnsavedChanges());
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_tmp->filePath("out.pdf"));
        pageSetup()->setPrinterSource([&] { return &printer; });
        whileModal([&] {
            typeInto(pageSetup()->findChild<SpinEdit*>("leftOffsetEdit"), "5");
            typeInto(pageSetup()->findChild<SpinEdit*>("topOffsetEdit"), "-3");
            QTest::mouseClick(pageSetup()->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        });
        QTest::mouseClick(page()->findChild<QToolButton*>("pageSetupButton"), Qt::LeftButton);
        QCOMPARE(c->geometry(), moved.translated(5, -3));
        QCOMPARE(control(1)->pos(),
                 storedPlace(before, FieldCatalogue::all().at(0)).topLeft() + QPoint(5, -3));
        QVERIFY(page()->hasUnsavedChanges());
        // Only the page's values are stored; the move waits for a save.
        QCOMPARE(modelRow(0).value("Page_LeftX").toInt(), 5);
        QCOMPARE(storedPlace(modelRow(0), f), storedPlace(before, f));
        QCOMPARE(page()->undoStack()->count(), 1);
        page()->undoStack()->undo();
        QCOMPARE(c->geometry(), storedPlace(before, f).translated(5, -3));
        QVERIFY(!page()->hasUnsavedChanges());
    }

    void pageSetupAfterAFreshStart()
    {
        QVERIFY(startProgram([&] {
            addTemplate("页", "generic.bmp", 50,
                        {{"Page_Width", 2300},
                         {"Page_Height", 1270},
                         {"Page_LeftX", 15},
                         {"Page_TopY", -8}});
            ConfigIni::writeString(m_tmp->appDir(), "DefaultModel", "ModelName", "页");
        }));
        // Stored offsets are in effect from the start.
        for (int i = 0; i < FieldCatalogue::kCount; ++i)
            QCOMPARE(control(i + 1)->geometry(), placeFor(i, 50).translated(15, -8));
        QCOMPARE(page()->document()->layout().offset.x(), 15);
        QCOMPARE(page()->document()->layout().offset.y(), -8);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_tmp->filePath("out.pdf"));
        pageSetup()->setPrinterSource([&] { return &printer; });

        QStringList shown;
        whileModal([&] {
            shown << pageSetup()->findChild<SpinEdit*>("widthEdit")->text()
                  << pageSetup()->findChild<SpinEdit*>("heightEdit")->text()
                  << pageSetup()->findChild<SpinEdit*>("leftOffsetEdit")->text()
                  << pageSetup()->findChild<SpinEdit*>("topOffsetEdit")->text();
            QTest::mouseClick(pageSetup()->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        });
        QTest::mouseClick(page()->findChild<QToolButton*>("pageSetupButton"), Qt::LeftButton);
        QCOMPARE(shown, QStringList({"2300", "1270", "15", "-8"}));
        for (int i = 0; i < FieldCatalogue::kCount; ++i)
            QCOMPARE(control(i + 1)->geometry(), placeFor(i, 50).translated(15, -8));
        QCOMPARE(printer.pageLayout().pageSize().size(QPageSize::Millimeter), QSizeF(230, 127));
        QVERIFY(m_prompt->shown.isEmpty());

        // applyTemplatePaper before a job: the same custom page, orientation kept,
        // and the table on the current model's row.
        QPrinter job(QPrinter::HighResolution);
        job.setOutputFormat(QPrinter::PdfFormat);
        job.setOutputFileName(m_tmp->filePath("job.pdf"));
        job.setPageOrientation(QPageLayout::Landscape);
        tb()->first();
        QVERIFY(applyTemplatePaper(tb(), session().currentTemplateRow, session().currentTemplate,
                                   &job));
        QCOMPARE(job.pageLayout().pageSize().size(QPageSize::Millimeter), QSizeF(230, 127));
        QCOMPARE(job.pageLayout().orientation(), QPageLayout::Landscape);
        QCOMPARE(tb()->recNo(), 1);

        // Zero offsets: exactly the stored places.
        pageSetup()->show();
        typeInto(pageSetup()->findChild<SpinEdit*>("leftOffsetEdit"), "0");
        typeInto(pageSetup()->findChild<SpinEdit*>("topOffsetEdit"), "0");
        QTest::mouseClick(pageSetup()->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        for (int i = 0; i < FieldCatalogue::kCount; ++i)
            QCOMPARE(control(i + 1)->geometry(), placeFor(i, 50));
    }

    // The carrier list shows what the template numbers with; only a changed
    // choice is stored, so a template named as before keeps its rule by name.
    void pageSetupChoosesTheCarrier()
    {
        QVERIFY(startProgram([&] {
            addTemplate("顺丰速运", "generic.bmp", 50);
            ConfigIni::writeString(m_tmp->appDir(), "DefaultModel", "ModelName", "顺丰速运");
        }));
        const QSqlDatabase db = dataModule()->database();
        const auto carrierRows = [&] {
            QStringList rows;
            QSqlQuery q(db);
            q.exec("SELECT Model_Name, Carrier_Code FROM Model_Carrier ORDER BY Model_Name");
            while (q.next())
                rows << q.value(0).toString() + '=' + q.value(1).toString();
            return rows;
        };
        QComboBox* carriers = pageSetup()->findChild<QComboBox*>("carrierCombo");
        QVERIFY(carriers);
        QCOMPARE(comboTexts(carriers), QStringList({"顺丰速运", "邮政EMS", "圆通速递", "中通快递",
                                                    "申通快递", "韵达快递", "极兔速递", "通用"}));

        pageSetup()->show();
        QCOMPARE(carriers->currentText(), QString("顺丰速运"));
        QTest::mouseClick(pageSetup()->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QCOMPARE(carrierRows(), QStringList());

        pageSetup()->show();
        carriers->setCurrentIndex(carriers->findText("中通快递"));
        QTest::mouseClick(pageSetup()->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
        QCOMPARE(carrierRows(), QStringList());

        pageSetup()->show();
        QCOMPARE(carriers->currentText(), QString("顺丰速运"));
        carriers->setCurrentIndex(carriers->findText("中通快递"));
        QTest::mouseClick(pageSetup()->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QVERIFY(!pageSetup()->isVisible());
        QCOMPARE(carrierRows(), QStringList({"顺丰速运=ZTO"}));
        pageSetup()->show();
        QCOMPARE(carriers->currentText(), QString("中通快递"));
        pageSetup()->reject();
        QVERIFY(m_prompt->shown.isEmpty());
    }

    // "打印背景图" is kept per template: OK stores it, cancel does not.
    void pageSetupPrintsThePicture()
    {
        QVERIFY(startProgram());
        const QSqlDatabase db = dataModule()->database();
        auto* check = pageSetup()->findChild<QCheckBox*>("printPictureCheck");
        QVERIFY(check);
        QCOMPARE(check->text(), QString("打印背景图"));
        pageSetup()->show();
        QVERIFY(!check->isChecked());
        check->setChecked(true);
        QTest::mouseClick(pageSetup()->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
        QVERIFY(!LabelStore::printsPicture(db, kDelivered));
        pageSetup()->show();
        QVERIFY(!check->isChecked());
        check->setChecked(true);
        QTest::mouseClick(pageSetup()->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QVERIFY(LabelStore::printsPicture(db, kDelivered));
        pageSetup()->show();
        QVERIFY(check->isChecked());
        pageSetup()->reject();
        QVERIFY(m_prompt->shown.isEmpty());
    }

    void pageSetupCancelChangesNothing()
    {
        QVERIFY(startProgram());
        const QList<QVariantMap> rows = allRows();
        const QVector<TemplateStore::FieldPlace> places = surface()->fieldPlaces();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_tmp->filePath("out.pdf"));
        const QSizeF paper = printer.pageLayout().pageSize().size(QPageSize::Millimeter);
        pageSetup()->setPrinterSource([&] { return &printer; });

        pageSetup()->show();
        typeInto(pageSetup()->findChild<SpinEdit*>("widthEdit"), "1000");
        typeInto(pageSetup()->findChild<SpinEdit*>("leftOffsetEdit"), "40");
        QTest::keyClick(pageSetup()->findChild<SpinEdit*>("leftOffsetEdit"), Qt::Key_Up);
        QCOMPARE(pageSetup()->findChild<SpinEdit*>("leftOffsetEdit")->text(), QString("41"));
        QTest::mouseClick(pageSetup()->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
        QVERIFY(!pageSetup()->isVisible());
        QCOMPARE(allRows(), rows);
        QVERIFY(surface()->fieldPlaces() == places);
        QCOMPARE(page()->document()->layout().offset.x(), 0);
        QCOMPARE(printer.pageLayout().pageSize().size(QPageSize::Millimeter), paper);
        // The next showing reloads the boxes from the row.
        pageSetup()->show();
        QCOMPARE(pageSetup()->findChild<SpinEdit*>("widthEdit")->text(),
                 rows.at(0).value("Page_Width").toString());
        QCOMPARE(pageSetup()->findChild<SpinEdit*>("leftOffsetEdit")->text(), QString("0"));
        pageSetup()->reject();
        QVERIFY(m_prompt->shown.isEmpty());
    }

    void pageSetupRefusesBadBoxes_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        const QString paper = QStringLiteral("必须是1到32767之间的整数（单位：0.1MM）！");
        const QString offset = QStringLiteral("必须是整数（单位：像素）！");
        QTest::newRow("width 0") << "widthEdit"
                                 << "0"
                                 << "纸宽" + paper;
        QTest::newRow("width above 16 bits") << "widthEdit"
                                             << "32768"
                                             << "纸宽" + paper;
        QTest::newRow("width with a fraction") << "widthEdit"
                                               << "2300.5"
                                               << "纸宽" + paper;
        QTest::newRow("width empty") << "widthEdit"
                                     << ""
                                     << "纸宽" + paper;
        QTest::newRow("height negative") << "heightEdit"
                                         << "-1270"
                                         << "纸高" + paper;
        QTest::newRow("left offset a lone sign") << "leftOffsetEdit"
                                                 << "-"
                                                 << "左偏移" + offset;
        QTest::newRow("left offset a fraction") << "leftOffsetEdit"
                                                << "1.5"
                                                << "左偏移" + offset;
        QTest::newRow("top offset empty") << "topOffsetEdit"
                                          << ""
                                          << "上偏移" + offset;
    }
    void pageSetupRefusesBadBoxes()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QVERIFY(startProgram());
        const QList<QVariantMap> rows = allRows();
        const QVector<TemplateStore::FieldPlace> places = surface()->fieldPlaces();
        pageSetup()->show();
        typeInto(pageSetup()->findChild<SpinEdit*>("leftOffsetEdit"),
                 "9"); // a good value that must not take effect
        typeInto(pageSetup()->findChild<SpinEdit*>(box), text);
        QTest::mouseClick(pageSetup()->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList({message}));
        QVERIFY(pageSetup()->isVisible()); // open on the box to put right
        QCOMPARE(allRows(), rows);
        QVERIFY(surface()->fieldPlaces() == places);
        QCOMPARE(page()->document()->layout().offset.x(), 0);
        pageSetup()->reject();
    }

    void pageSetupWithoutARowOfTheCurrentModel()
    {
        QVERIFY(startProgram([&] {
            ConfigIni::writeString(m_tmp->appDir(), "DefaultModel", "ModelName", "不存在");
        }));
        const QList<QVariantMap> rows = allRows();
        bool opened = false;
        whileModal([&] { opened = pageSetup()->isVisible(); });
        QTest::mouseClick(page()->findChild<QToolButton*>("pageSetupButton"), Qt::LeftButton);
        QVERIFY(!opened);
        QCOMPARE(m_prompt->messages(), QStringList({"当前模板不存在，请先保存模板！"}));

        // OK reached some other way refuses the same.
        m_prompt->clear();
        pageSetup()->show();
        typeInto(pageSetup()->findChild<SpinEdit*>("widthEdit"), "2300");
        typeInto(pageSetup()->findChild<SpinEdit*>("heightEdit"), "1270");
        typeInto(pageSetup()->findChild<SpinEdit*>("leftOffsetEdit"), "5");
        typeInto(pageSetup()->findChild<SpinEdit*>("topOffsetEdit"), "5");
        QTest::mouseClick(pageSetup()->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList({"当前模板不存在，请先保存模板！"}));
        QCOMPARE(allRows(), rows);
        QCOMPARE(page()->document()->layout().offset.x(), 0);
        pageSetup()->reject();

        QPrinter job(QPrinter::HighResolution);
        job.setOutputFormat(QPrinter::PdfFormat);
        job.setOutputFileName(m_tmp->filePath("job.pdf"));
        const QPageLayout layout = job.pageLayout();
        QVERIFY(!applyTemplatePaper(tb(), session().currentTemplateRow, session().currentTemplate,
                                    &job));
        QVERIFY(job.pageLayout().isEquivalentTo(layout));
    }

    void pageSizeRequests_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("applied");
        QTest::newRow("2300 × 1270") << 2300 << 1270 << true;
        QTest::newRow("smallest") << 1 << 1 << true;
        QTest::newRow("largest") << 32767 << 32767 << true;
        QTest::newRow("zero") << 0 << 1270 << false;
        QTest::newRow("above 16 bits") << 2300 << 32768 << false;
        QTest::newRow("negative") << -2300 << 1270 << false;
    }
    void pageSizeRequests()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, applied);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_tmp->filePath("p.pdf"));
        const QSizeF before = printer.pageLayout().pageSize().size(QPageSize::Millimeter);
        QCOMPARE(applyPaperSize(&printer, width, height), applied);
        const QSizeF after = printer.pageLayout().pageSize().size(QPageSize::Millimeter);
        QCOMPARE(after, applied ? QSizeF(width / 10.0, height / 10.0) : before);
    }

    // --- New templates -------------------------------------------------------

    void newTemplateFromAScanSavedAndLaidOutAfterARestart()
    {
        makePicture({600, 400}, Qt::magenta).save(m_tmp->filePath("scans/Scan.PNG"), "PNG");
        QVERIFY(startProgram());
        m_prompt->clear();

        QTest::mouseClick(page()->findChild<QToolButton*>("newTemplateButton"), Qt::LeftButton);
        QCOMPARE(
            m_prompt->messages(),
            QStringList({" 1、设置背景图;\n 2、选择并挪动各字段到合适位置位置;\n"
                         " 3、定义实际纸宽纸高(单位为mm); \n 4、保存。\n\n 背景图制作请看帮助！"}));
        checkNewTemplateMode(true);
        m_prompt->files.enqueue(m_tmp->filePath("scans/Scan.PNG"));
        QTest::mouseClick(page()->findChild<QToolButton*>("pictureButton"), Qt::LeftButton);
        QCOMPARE(surface()->backgroundImage()->size(), QSize(600, 400));
        QCOMPARE(surface()->backgroundImage()->pos(), QPoint(24, 16));

        // S_Name to 124 in the panel: 100 right of the picture's edge.
        FieldControl* name = control(1);
        dragBy(name, QPoint(20, 11), QPoint(124, 40) - name->pos());
        QCOMPARE(name->pos(), QPoint(124, 40));
        // S_Company narrower by its right border, S_Address hidden.
        const int companyWidth = control(2)->width();
        dragBy(control(2), QPoint(control(2)->width() - 1, 11), QPoint(-12, 0));
        QCOMPARE(control(2)->width(), companyWidth - 12);
        QVERIFY(hideByMenu(control(3)));
        QVERIFY(control(3)->isHidden());

        typeInto(page()->findChild<QLineEdit*>("paperWidthEdit"), "230");
        typeInto(page()->findChild<QLineEdit*>("paperHeightEdit"), "127");
        m_prompt->clear();
        m_prompt->inputs.enqueue(QString(" 新 模板 "));
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);

        QCOMPARE(m_prompt->shown.value(0).kind, QString("input"));
        QCOMPARE(m_prompt->shown.value(0).caption, QString("模板命名"));
        QCOMPARE(m_prompt->shown.value(0).text, QString("请给要保存的模板起一个名字    ："));
        QCOMPARE(m_prompt->messages(), QStringList({kSaved}));
        QCOMPARE(modelCount(), 2);
        const QVariantMap row = modelRow(1);
        QCOMPARE(row.value("Model_Name").toString(), QString(" 新 模板 "));
        QCOMPARE(row.value("Bk_Bmp_Name").toString(), QString("Scan.bmp"));
        QCOMPARE(row.value("Page_Width").toInt(), 2300); // millimetres typed, tenths stored
        QCOMPARE(row.value("Page_Height").toInt(), 1270);
        QCOMPARE(row.value("Bk_Bmp_Left").toInt(), 24);
        QCOMPARE(row.value("Bk_Bmp_Top").toInt(), 16);
        QCOMPARE(row.value("Page_LeftX").toInt(), 0);
        QCOMPARE(row.value("Page_TopY").toInt(), 0);
        QCOMPARE(row.value("S_Name_Left").toInt(), 124);
        QCOMPARE(row.value("S_Name_Top").toInt(), 40);
        QCOMPARE(row.value("S_Company_Width").toInt(), companyWidth - 12);
        QCOMPARE(row.value("S_Address_isVis").toInt(), 0);
        for (const FieldInfo& f : FieldCatalogue::all())
            QCOMPARE(storedPlace(row, f), control(f.number)->geometry());
        // The picture is kept as a bitmap.
        QImageReader reader(bkbmp("Scan.bmp"));
        QCOMPARE(reader.format(), QByteArray("bmp"));
        QCOMPARE(reader.read().pixelColor(300, 100), QColor(Qt::magenta));

        QCOMPARE(comboTexts(page()->findChild<QComboBox*>("templateList")),
                 QStringList({kDelivered, " 新 模板 "}));
        QCOMPARE(page()->findChild<QComboBox*>("templateList")->currentIndex(), 1);
        QCOMPARE(session().currentTemplate, QString(" 新 模板 "));
        QCOMPARE(mainWindow()->statusPanelText(2), QString("当前模板： 新 模板 "));
        QCOMPARE(tb()->recNo(), 1);
        checkNewTemplateMode(false);

        // The default, then a restart lays it out.
        m_prompt->clear();
        QTest::mouseClick(page()->findChild<QToolButton*>("makeDefaultButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(),
                 QStringList({"默认模板已保存，接下来的打印都将基于此模板！"}));
        QCOMPARE(ConfigIni::readString(m_tmp->appDir(), "DefaultModel", "ModelName"),
                 QString(" 新 模板 "));
        const QVector<TemplateStore::FieldPlace> places = surface()->fieldPlaces();
        m_start.reset();
        QVERIFY(startProgram());
        QCOMPARE(session().currentTemplate, QString(" 新 模板 "));
        QCOMPARE(page()->findChild<QComboBox*>("templateList")->currentIndex(), 1);
        QCOMPARE(surface()->backgroundImage()->size(), QSize(600, 400));
        QVERIFY(surface()->fieldPlaces() == places);
        QVERIFY(control(3)->isHidden());
    }

    void newTemplateRefusals_data()
    {
        QTest::addColumn<bool>("choosePicture");
        QTest::addColumn<bool>("cancelName");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("message");
        const QString noName = QStringLiteral("模板名不能为空");
        const QString noPaper = QStringLiteral("请设置纸宽纸高并注意单位为mm！");
        QTest::newRow("no picture chosen") << false << false << "甲"
                                           << "230"
                                           << "127"
                                           << "请先选择背景图！";
        QTest::newRow("name cancelled") << true << true << ""
                                        << "230"
                                        << "127" << noName;
        QTest::newRow("empty name") << true << false << ""
                                    << "230"
                                    << "127" << noName;
        QTest::newRow("blanks only") << true << false << "   "
                                     << "230"
                                     << "127" << noName;
        QTest::newRow("tab and ideographic blank") << true << false << "\t\u3000"
                                                   << "230"
                                                   << "127" << noName;
        QTest::newRow("no width") << true << false << "甲"
                                  << ""
                                  << "127" << noPaper;
        QTest::newRow("no height") << true << false << "甲"
                                   << "230"
                                   << "" << noPaper;
        QTest::newRow("zero width") << true << false << "甲"
                                    << "0"
                                    << "127"
                                    << "纸宽必须是1到3276之间的整数（单位为mm）！";
        QTest::newRow("width over the printer's limit")
            << true << false << "甲"
            << "3277"
            << "127"
            << "纸宽必须是1到3276之间的整数（单位为mm）！";
    }
    void newTemplateRefusals()
    {
        QFETCH(bool, choosePicture);
        QFETCH(bool, cancelName);
        QFETCH(QString, name);
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QString, message);
        makePicture({400, 300}, Qt::red).save(m_tmp->filePath("scans/form.bmp"), "BMP");
        QVERIFY(startProgram());
        const QList<QVariantMap> rows = allRows();
        const QStringList pictures = QDir(bkbmp("")).entryList(QDir::Files);

        beginNewTemplate(choosePicture ? m_tmp->filePath("scans/form.bmp") : QString(), width,
                         height);
        m_prompt->clear();
        m_prompt->inputs.enqueue(cancelName ? std::optional<QString>() : name);
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList({message}));
        QCOMPARE(allRows(), rows);
        QCOMPARE(QDir(bkbmp("")).entryList(QDir::Files), pictures);
        checkNewTemplateMode(true);
        QCOMPARE(session().currentTemplate, kDelivered);
    }

    void aSavedPictureNeverReplacesAnother_data()
    {
        QTest::addColumn<QString>("chosen"); // relative to the application directory
        QTest::addColumn<bool>("samePicture");
        QTest::addColumn<QString>("stored");
        QTest::newRow("another picture of a taken name")
            << "scans/generic.bmp" << false << "generic-2.bmp";
        QTest::newRow("a PNG whose bitmap name is taken")
            << "scans/generic.png" << false << "generic-2.bmp";
        QTest::newRow("the template's own picture") << "bkbmp/generic.bmp" << true << "generic.bmp";
        QTest::newRow("upper-case suffix") << "scans/FORM.BMP" << false << "FORM.BMP";
    }
    void aSavedPictureNeverReplacesAnother()
    {
        QFETCH(QString, chosen);
        QFETCH(bool, samePicture);
        QFETCH(QString, stored);
        if (!samePicture) {
            const QByteArray format = chosen.endsWith(".png") ? "PNG" : "BMP";
            QVERIFY(makePicture({200, 100}, Qt::blue).save(m_tmp->filePath(chosen), format));
        }
        const QByteArray generic = fileBytes(bkbmp("generic.bmp"));
        QVERIFY(startProgram());
        beginNewTemplate(m_tmp->filePath(chosen));
        m_prompt->clear();
        m_prompt->inputs.enqueue(QString("新"));
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList({kSaved}));
        QCOMPARE(modelRow(1).value("Bk_Bmp_Name").toString(), stored);
        QCOMPARE(fileBytes(bkbmp("generic.bmp")), generic);
        QVERIFY(TemplateStore::samePicture(bkbmp(stored), surface()->background().toImage()));
        QCOMPARE(QFile::exists(bkbmp("generic-2.bmp")), stored == "generic-2.bmp");
        // Both templates lay out with their own pictures.
        QVERIFY(page()->layOutTemplate(kDelivered));
        QCOMPARE(surface()->backgroundImage()->size(), QSize(800, 442));
        QVERIFY(page()->layOutTemplate("新"));
        QCOMPARE(surface()->backgroundImage()->size(),
                 samePicture ? QSize(800, 442) : QSize(200, 100));
    }

    void aFileThatIsNoPictureIsNotChosen()
    {
        QFile notPicture(m_tmp->filePath("scans/notes.bmp"));
        QVERIFY(notPicture.open(QIODevice::WriteOnly));
        notPicture.write("not a picture");
        notPicture.close();
        QVERIFY(startProgram());
        beginNewTemplate(m_tmp->filePath("scans/notes.bmp"));
        QCOMPARE(m_prompt->shown.last().kind, QString("error"));
        QVERIFY(m_prompt->shown.last().text.contains("notes.bmp"));
        QCOMPARE(surface()->backgroundImage()->size(), QSize(800, 442));
        QCOMPARE(page()->chosenBackground(), QString());
        m_prompt->clear();
        m_prompt->inputs.enqueue(QString("新"));
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList({"请先选择背景图！"}));
        QCOMPARE(modelCount(), 1);
    }

    void aPictureThatCannotBeWrittenStoresNothing()
    {
        makePicture({200, 100}, Qt::blue).save(m_tmp->filePath("scans/form.bmp"), "BMP");
        QVERIFY(startProgram());
        beginNewTemplate(m_tmp->filePath("scans/form.bmp"));
        // bkbmp is no longer a directory.
        QVERIFY(QDir(m_tmp->path()).rename("bkbmp", "bkbmp.away"));
        QFile blocker(m_tmp->filePath("bkbmp"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QList<QVariantMap> rows = allRows();
        m_prompt->clear();
        m_prompt->inputs.enqueue(QString("新"));
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->shown.last().kind, QString("error"));
        QVERIFY(m_prompt->shown.last().text.contains("form.bmp"));
        QVERIFY(!m_prompt->messages().contains(kSaved));
        QCOMPARE(allRows(), rows);
        QCOMPARE(tb()->recordCount(), 1);
        checkNewTemplateMode(true);
        QCOMPARE(session().currentTemplate, kDelivered);
    }

    void duplicateNamesAndThePrefixLocate_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("tableRow"); // where templates stands after the save
        QTest::addColumn<int>("listIndex");
        QTest::newRow("a prefix of an earlier name") << "通用" << 0 << 1;
        QTest::newRow("an unrelated name") << "顺丰" << 1 << 1;
    }
    void duplicateNamesAndThePrefixLocate()
    {
        QFETCH(QString, name);
        QFETCH(int, tableRow);
        QFETCH(int, listIndex);
        makePicture({200, 100}, Qt::blue).save(m_tmp->filePath("scans/form.bmp"), "BMP");
        QVERIFY(startProgram());
        beginNewTemplate(m_tmp->filePath("scans/form.bmp"));
        m_prompt->clear();
        m_prompt->inputs.enqueue(name);
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList({kSaved}));
        QCOMPARE(modelCount(), 2);
        QCOMPARE(comboTexts(page()->findChild<QComboBox*>("templateList")),
                 QStringList({kDelivered, name}));
        QCOMPARE(tb()->recNo(), tableRow);
        QCOMPARE(page()->findChild<QComboBox*>("templateList")->currentIndex(), listIndex);
        QCOMPARE(session().currentTemplate, name);
        // A lookup by name finds the row of that name.
        QVERIFY(page()->layOutTemplate(name));
        QCOMPARE(tb()->recNo(), 1);
    }

    void newTemplateUnderANameInUse_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("replace");
        QTest::newRow("same name, keep the old one") << kDelivered << false;
        QTest::newRow("same name, replace it") << kDelivered << true;
        QTest::newRow("blanks around it, replace it") << " " + kDelivered + "\t" << true;
    }
    void newTemplateUnderANameInUse()
    {
        QFETCH(QString, name);
        QFETCH(bool, replace);
        makePicture({200, 100}, Qt::blue).save(m_tmp->filePath("scans/form.bmp"), "BMP");
        QVERIFY(startProgram());
        const QList<QVariantMap> rows = allRows();
        const QStringList pictures = QDir(bkbmp("")).entryList(QDir::Files);
        beginNewTemplate(m_tmp->filePath("scans/form.bmp"), "120", "90");
        dragBy(control(1), QPoint(15, 10), QPoint(30, 20));
        m_prompt->clear();
        m_prompt->inputs.enqueue(name);
        m_prompt->answers.enqueue(replace ? Prompt::Button::Yes : Prompt::Button::No);
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);

        const ScriptedPrompt::Shown asked = m_prompt->shown.value(1);
        QCOMPARE(asked.kind, QString("question"));
        QCOMPARE(asked.text,
                 "模板“" + kDelivered + "”已经存在，要用现在的背景图和字段位置替换它吗？");
        QVERIFY(asked.defaultButton == Prompt::Button::No);
        QCOMPARE(modelCount(), 1);
        QCOMPARE(comboTexts(page()->findChild<QComboBox*>("templateList")),
                 QStringList({kDelivered}));
        if (!replace) {
            // Nothing written, and the new template still in progress.
            QCOMPARE(m_prompt->messages(), QStringList());
            QCOMPARE(allRows(), rows);
            QCOMPARE(QDir(bkbmp("")).entryList(QDir::Files), pictures);
            checkNewTemplateMode(true);
            return;
        }
        QCOMPARE(m_prompt->messages(), QStringList({kSaved}));
        const QVariantMap row = modelRow(0);
        QCOMPARE(row.value("Model_Name").toString(), kDelivered); // the stored name stays
        QCOMPARE(row.value("Bk_Bmp_Name").toString(), QString("form.bmp"));
        QCOMPARE(row.value("Page_Width").toInt(), 1200);
        QCOMPARE(row.value("Page_Height").toInt(), 900);
        for (const FieldInfo& f : FieldCatalogue::all())
            QCOMPARE(storedPlace(row, f), control(f.number)->geometry());
        // The replaced picture served no other template.
        QCOMPARE(QDir(bkbmp("")).entryList(QDir::Files), QStringList({"form.bmp"}));
        QCOMPARE(session().currentTemplate, kDelivered);
        QCOMPARE(page()->findChild<QComboBox*>("templateList")->currentIndex(), 0);
        checkNewTemplateMode(false);
    }

    void rowsSharingANameStayReachable()
    {
        makePicture({300, 200}, Qt::cyan).save(bkbmp("a.bmp"), "BMP");
        makePicture({340, 160}, Qt::yellow).save(bkbmp("c.bmp"), "BMP");
        QVERIFY(startProgram([&] {
            addTemplate("甲", "a.bmp", 40, {{"Page_LeftX", 3}, {"Page_Width", 1111}});
            addTemplate("甲", "c.bmp", 80, {{"Page_LeftX", 6}, {"Page_Width", 2222}});
        }));
        m_prompt->clear();
        QComboBox* list = page()->findChild<QComboBox*>("templateList");
        QCOMPARE(comboTexts(list), QStringList({kDelivered, "甲", "甲"}));

        // The second 甲 is the one laid out.
        list->setFocus();
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(list->currentIndex(), 2);
        QCOMPARE(surface()->backgroundImage()->size(), QSize(340, 160));
        QCOMPARE(control(1)->geometry(), placeFor(0, 80).translated(6, 0));
        QCOMPARE(tb()->recNo(), 2);
        QCOMPARE(mainWindow()->statusPanelText(2), QString("当前模板：甲"));

        // The page setup shows that row, and a save writes that row.
        QString shownWidth;
        whileModal([&] {
            shownWidth = pageSetup()->findChild<SpinEdit*>("widthEdit")->text();
            pageSetup()->reject();
        });
        QTest::mouseClick(page()->findChild<QToolButton*>("pageSetupButton"), Qt::LeftButton);
        QCOMPARE(shownWidth, QString("2222"));
        const QVariantMap first = modelRow(1);
        dragBy(control(1), QPoint(15, 10), QPoint(10, 10));
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList({kSaved}));
        QCOMPARE(modelRow(1), first);
        QCOMPARE(storedPlace(modelRow(2), FieldCatalogue::all().at(0)),
                 placeFor(0, 80).translated(16, 10));
        QCOMPARE(list->currentIndex(), 2);

        // Back to the first 甲 through the list.
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(surface()->backgroundImage()->size(), QSize(300, 200));
        QCOMPARE(control(1)->geometry(), placeFor(0, 40).translated(3, 0));
        QCOMPARE(tb()->recNo(), 1);
    }

    // --- Leaving new-template mode -------------------------------------------

    void leavingNewTemplateMode_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::addColumn<bool>("choosePicture");
        QTest::addColumn<bool>("giveUp"); // the answer when asked
        QTest::newRow("新建模板 again, no picture") << false << false << true;
        QTest::newRow("新建模板 again, picture, give up") << false << true << true;
        QTest::newRow("新建模板 again, picture, stay") << false << true << false;
        QTest::newRow("Esc, no picture") << true << false << true;
        QTest::newRow("Esc, picture, give up") << true << true << true;
        QTest::newRow("Esc, picture, stay") << true << true << false;
    }
    void leavingNewTemplateMode()
    {
        QFETCH(bool, byEscape);
        QFETCH(bool, choosePicture);
        QFETCH(bool, giveUp);
        makePicture({200, 100}, Qt::blue).save(m_tmp->filePath("scans/form.bmp"), "BMP");
        QVERIFY(startProgram());
        const QList<QVariantMap> rows = allRows();
        const QVector<TemplateStore::FieldPlace> shown = surface()->fieldPlaces();
        beginNewTemplate(choosePicture ? m_tmp->filePath("scans/form.bmp") : QString());
        dragBy(control(4), QPoint(15, 10), QPoint(40, 30));
        m_prompt->clear();
        m_prompt->answers.enqueue(giveUp ? Prompt::Button::Yes : Prompt::Button::No);
        if (byEscape) {
            control(4)->setFocus();
            QTest::keyClick(control(4), Qt::Key_Escape);
        } else {
            QTest::mouseClick(page()->findChild<QToolButton*>("newTemplateButton"), Qt::LeftButton);
        }
        if (choosePicture) {
            QCOMPARE(m_prompt->shown.size(), 1);
            QCOMPARE(m_prompt->shown.at(0).kind, QString("question"));
            QCOMPARE(m_prompt->shown.at(0).text, QString("新模板尚未保存，放弃新建模板吗？"));
        } else {
            QVERIFY(m_prompt->shown.isEmpty());
        }
        QCOMPARE(allRows(), rows);
        if (!giveUp) {
            checkNewTemplateMode(true);
            QCOMPARE(surface()->backgroundImage()->size(), QSize(200, 100));
            return;
        }
        // The template shown before, as it was.
        checkNewTemplateMode(false);
        QVERIFY(surface()->fieldPlaces() == shown);
        QCOMPARE(surface()->backgroundImage()->size(), QSize(800, 442));
        QCOMPARE(page()->findChild<QComboBox*>("templateList")->currentText(), kDelivered);
        QCOMPARE(page()->findChild<QLineEdit*>("paperWidthEdit")->text().trimmed(),
                 QString::number(qRound(rows.at(0).value("Page_Width").toInt() / 10.0)));
    }

    // The paper boxes show the size of the template in use; a new template's
    // is typed into empty boxes.
    void paperBoxesShowTheTemplateInUse()
    {
        makePicture({500, 300}, Qt::cyan).save(bkbmp("b.bmp"), "BMP");
        makePicture({200, 100}, Qt::blue).save(m_tmp->filePath("scans/form.bmp"), "BMP");
        QVERIFY(startProgram([&] { addTemplate("乙", "b.bmp", 60); }));
        QLineEdit* w = page()->findChild<QLineEdit*>("paperWidthEdit");
        QLineEdit* h = page()->findChild<QLineEdit*>("paperHeightEdit");
        const auto boxes = [&]() -> QString {
            return w->text().trimmed() + "×" + h->text().trimmed();
        };
        const QVariantMap delivered = modelRow(0);
        const QString deliveredSize =
            QString("%1×%2")
                .arg(qRound(delivered.value("Page_Width").toInt() / 10.0))
                .arg(qRound(delivered.value("Page_Height").toInt() / 10.0));
        QCOMPARE(boxes(), deliveredSize);
        QComboBox* list = page()->findChild<QComboBox*>("templateList");
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(session().currentTemplate, QString("乙"));
        QCOMPARE(boxes(), QString("200×100"));

        QTest::mouseClick(page()->findChild<QToolButton*>("newTemplateButton"), Qt::LeftButton);
        QCOMPARE(boxes(), QString("×"));
        QTest::keyClick(page(), Qt::Key_Escape);
        QCOMPARE(boxes(), QString("200×100"));

        beginNewTemplate(m_tmp->filePath("scans/form.bmp"), "230", "127");
        m_prompt->inputs.enqueue(QString("丙"));
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->lastMessage(), kSaved);
        QCOMPARE(boxes(), QString("230×127"));
        // Another template open: its size, not the new one's.
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Home);
        QCOMPARE(session().currentTemplate, kDelivered);
        QCOMPARE(boxes(), deliveredSize);
    }

    // Changes made before "新建模板" outlive giving the new template up; the
    // ones made for it do not.
    void leavingNewTemplateModeKeepsEarlierChanges_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::addColumn<bool>("choosePicture");
        QTest::newRow("Esc, no picture") << true << false;
        QTest::newRow("Esc, picture") << true << true;
        QTest::newRow("新建模板 again, no picture") << false << false;
    }
    void leavingNewTemplateModeKeepsEarlierChanges()
    {
        QFETCH(bool, byEscape);
        QFETCH(bool, choosePicture);
        makePicture({200, 100}, Qt::blue).save(m_tmp->filePath("scans/form.bmp"), "BMP");
        QVERIFY(startProgram());
        FieldControl* nudged = control(5);
        FieldControl* fitted = control(9);
        FieldControl* dragged = control(4);
        const QPoint start = nudged->pos();
        const QRect draggedPlace = dragged->geometry();
        QTest::mouseClick(nudged, Qt::LeftButton, {}, QPoint(12, 10));
        QTest::keyClick(nudged, Qt::Key_Right);
        QTest::keyClick(nudged, Qt::Key_Down, Qt::ShiftModifier);
        QVERIFY(chooseInMenu(fitted, surface()->fitToBoxAction));
        QCOMPARE(page()->undoStack()->count(), 3);

        beginNewTemplate(choosePicture ? m_tmp->filePath("scans/form.bmp") : QString());
        dragBy(dragged, QPoint(15, 10), QPoint(40, 30));
        QVERIFY(chooseInMenu(nudged, surface()->fitToBoxAction));
        m_prompt->clear();
        m_prompt->answers.enqueue(Prompt::Button::Yes); // give the new one up
        if (byEscape) {
            dragged->setFocus();
            QTest::keyClick(dragged, Qt::Key_Escape);
        } else {
            QTest::mouseClick(page()->findChild<QToolButton*>("newTemplateButton"), Qt::LeftButton);
        }
        checkNewTemplateMode(false);
        QCOMPARE(surface()->backgroundImage()->size(), QSize(800, 442));
        QCOMPARE(nudged->pos(), start + QPoint(1, 10));
        QVERIFY(fitted->fits());
        QCOMPARE(dragged->geometry(), draggedPlace);
        QVERIFY(!nudged->fits());
        QVERIFY(!FieldFitStore::load(dataModule()->database(), session().currentTemplate)
                     .value(nudged->field().key)
                     .fit);
        QVERIFY(page()->hasUnsavedChanges());
        // Undo goes on where it stood before "新建模板"; nothing to redo.
        QCOMPARE(page()->undoStack()->count(), 3);
        QVERIFY(!page()->undoStack()->canRedo());
        nudged->setFocus();
        QTest::keyClick(nudged, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!fitted->fits());
        QTest::keyClick(nudged, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(nudged->pos(), start + QPoint(1, 0));
        // Leaving the program asks about them.
        m_prompt->clear();
        m_prompt->saveChoices.enqueue(Prompt::SaveChoice::Stay);
        QVERIFY(!mainWindow()->close());
        QCOMPARE(m_prompt->shown.value(0).kind, QString("saveDiscardCancel"));
    }

    // Undone in the new template and then replaced, an earlier change is
    // gone; giving the new template up undoes only its own changes.
    void leavingNewTemplateModeAfterUndoingEarlierChanges()
    {
        QVERIFY(startProgram());
        FieldControl* nudged = control(5);
        FieldControl* dragged = control(4);
        const QPoint start = nudged->pos();
        const QRect draggedPlace = dragged->geometry();
        QTest::mouseClick(nudged, Qt::LeftButton, {}, QPoint(12, 10));
        QTest::keyClick(nudged, Qt::Key_Right);
        QTest::keyClick(nudged, Qt::Key_Right);
        QTest::mouseClick(page()->findChild<QToolButton*>("newTemplateButton"), Qt::LeftButton);
        page()->findChild<QAction*>("undoAction")->trigger();
        QCOMPARE(nudged->pos(), start + QPoint(1, 0));
        dragBy(dragged, QPoint(15, 10), QPoint(40, 30));
        QTest::keyClick(page(), Qt::Key_Escape);
        checkNewTemplateMode(false);
        QCOMPARE(nudged->pos(), start + QPoint(1, 0));
        QCOMPARE(dragged->geometry(), draggedPlace);
        QCOMPARE(page()->undoStack()->count(), 1);
        QCOMPARE(page()->undoStack()->index(), 1);
    }

    // --- Renaming and deleting -----------------------------------------------

    void renamingTemplates_data()
    {
        QTest::addColumn<int>("entry");      // list entry renamed
        QTest::addColumn<bool>("byMenu");    // the list's context menu, else the button
        QTest::addColumn<QVariant>("input"); // null: the input box cancelled
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("names"); // the list afterwards
        QTest::addColumn<QString>("defaultName");
        QTest::newRow("the default, by the button")
            << 0 << false << QVariant("顺丰") << QString() << QStringList({"顺丰", "乙"}) << "顺丰";
        QTest::newRow("another, by the menu") << 1 << true << QVariant("丙") << QString()
                                              << QStringList({kDelivered, "丙"}) << kDelivered;
        QTest::newRow("blanks only") << 1 << false << QVariant(" \t ") << "模板名不能为空"
                                     << QStringList({kDelivered, "乙"}) << kDelivered;
        QTest::newRow("a name in use, blanks around it")
            << 1 << true << QVariant(" " + kDelivered + " ")
            << "已有名为“" + kDelivered + "”的模板，请换一个名字！"
            << QStringList({kDelivered, "乙"}) << kDelivered;
        QTest::newRow("cancelled") << 0 << false << QVariant() << QString()
                                   << QStringList({kDelivered, "乙"}) << kDelivered;
    }
    void renamingTemplates()
    {
        QFETCH(int, entry);
        QFETCH(bool, byMenu);
        QFETCH(QVariant, input);
        QFETCH(QString, message);
        QFETCH(QStringList, names);
        QFETCH(QString, defaultName);
        makePicture({320, 180}, Qt::green).save(bkbmp("b.bmp"), "BMP");
        QVERIFY(startProgram([&] { addTemplate("乙", "b.bmp", 60); }));
        QComboBox* list = page()->findChild<QComboBox*>("templateList");
        if (entry != 0) {
            list->setFocus();
            QTest::keyClick(list, Qt::Key_Down);
        }
        const QString before = list->currentText();
        m_prompt->clear();
        m_prompt->inputs.enqueue(input.isNull() ? std::optional<QString>()
                                                : std::optional<QString>(input.toString()));
        if (byMenu) {
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                    list->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(list, &event);
            QMenu* menu = page()->findChild<QMenu*>("templateMenu");
            QVERIFY(QTest::qWaitFor([&] { return menu->isVisible(); }));
            const QRect item =
                menu->actionGeometry(page()->findChild<QAction*>("renameTemplateAction"));
            QTest::mouseMove(menu, item.center());
            QTest::mouseClick(menu, Qt::LeftButton, {}, item.center());
        } else {
            QTest::mouseClick(page()->findChild<QToolButton*>("renameTemplateButton"),
                              Qt::LeftButton);
        }
        QCOMPARE(m_prompt->shown.value(0).kind, QString("input"));
        QCOMPARE(m_prompt->shown.value(0).caption, QString("模板改名"));
        QCOMPARE(m_prompt->shown.value(0).text, QString("请输入模板的新名字："));
        QCOMPARE(m_prompt->messages(), message.isEmpty() ? QStringList() : QStringList({message}));
        QCOMPARE(comboTexts(list), names);
        QCOMPARE(list->currentIndex(), entry);
        QStringList stored;
        for (const QVariantMap& row : allRows())
            stored << row.value("Model_Name").toString();
        QCOMPARE(stored, names);
        QCOMPARE(ConfigIni::readString(m_tmp->appDir(), "DefaultModel", "ModelName"), defaultName);
        // The template in use keeps being the same row, under its new name.
        QCOMPARE(session().currentTemplate, list->currentText());
        QCOMPARE(mainWindow()->statusPanelText(2), "当前模板：" + list->currentText());
        Q_UNUSED(before);
    }

    // A template's printer calibrations, fitted fields, fonts and carrier are
    // kept by its name: a rename takes them along, a delete takes them away.
    void namedSettingsFollowRenameAndDelete()
    {
        makePicture({320, 180}, Qt::green).save(bkbmp("b.bmp"), "BMP");
        QVERIFY(startProgram([&] { addTemplate("乙", "b.bmp", 60); }));
        const QSqlDatabase db = dataModule()->database();
        QSqlQuery q(db);
        QVERIFY(q.exec("INSERT INTO Print_Calibration (Model_Name, Printer, Dx_Mm) "
                       "VALUES ('乙', 'PDF', 1.5)"));
        FieldFitStore::setFit(db, "乙", "A_Address", true);
        QFont bold("DejaVu Serif");
        bold.setPointSize(14);
        bold.setBold(true);
        FieldFontStore::setFieldFont(db, "乙", "A_Name", bold);
        FieldFontStore::setPrintFont(db, "乙", bold);
        CarrierStore::setCode(db, "乙", "YTO");
        CarrierStore::setLastNumber(db, "乙", "1010");
        const auto namesIn = [&](const char* table) {
            QStringList names;
            QSqlQuery n(db);
            if (n.exec(QStringLiteral("SELECT Model_Name FROM %1").arg(QLatin1String(table))))
                while (n.next())
                    names << n.value(0).toString();
            return names;
        };
        QComboBox* list = page()->findChild<QComboBox*>("templateList");
        list->setFocus();
        list->setCurrentIndex(0);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentText(), QString("乙"));

        m_prompt->inputs.enqueue(QString("丙"));
        QTest::mouseClick(page()->findChild<QToolButton*>("renameTemplateButton"), Qt::LeftButton);
        QCOMPARE(list->currentText(), QString("丙"));
        QCOMPARE(namesIn("Print_Calibration"), QStringList({"丙"}));
        QCOMPARE(namesIn("Model_Field_Fit"), QStringList({"丙"}));
        QVERIFY(FieldFitStore::load(db, "丙").value("A_Address").fit);
        QCOMPARE(namesIn("Model_Field_Font"), QStringList({"丙"}));
        QCOMPARE(FieldFontStore::load(db, "丙").value("A_Name"), FieldFontStore::kept(bold));
        QCOMPARE(namesIn("Model_Print_Font"), QStringList({"丙"}));
        QCOMPARE(FieldFontStore::printFont(db, "丙").value_or(QFont()), FieldFontStore::kept(bold));
        QCOMPARE(namesIn("Model_Carrier"), QStringList({"丙"}));
        QCOMPARE(CarrierStore::load(db, "丙").code, QString("YTO"));
        QCOMPARE(CarrierStore::load(db, "丙").lastNumber, QString("1010"));

        m_prompt->answers.enqueue(Prompt::Button::Yes);
        QTest::mouseClick(page()->findChild<QToolButton*>("deleteTemplateButton"), Qt::LeftButton);
        QCOMPARE(comboTexts(list), QStringList({kDelivered}));
        QCOMPARE(namesIn("Print_Calibration"), QStringList());
        QCOMPARE(namesIn("Model_Field_Fit"), QStringList());
        QCOMPARE(namesIn("Model_Field_Font"), QStringList());
        QCOMPARE(namesIn("Model_Print_Font"), QStringList());
        QCOMPARE(namesIn("Model_Carrier"), QStringList());
    }

    void deletingTemplates_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<bool>("byMenu");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QStringList>("names");    // afterwards
        QTest::addColumn<QStringList>("pictures"); // in bkbmp afterwards
        QTest::addColumn<QString>("defaultName");
        QTest::addColumn<QString>("current");
        const QStringList all{"b.bmp", "generic.bmp"};
        QTest::newRow("not confirmed")
            << 1 << false << false << QStringList({kDelivered, "乙", "丙"}) << all << kDelivered
            << "乙";
        QTest::newRow("a picture another template shows")
            << 1 << true << true << QStringList({kDelivered, "丙"}) << all << kDelivered
            << kDelivered;
        QTest::newRow("the default, its picture its own")
            << 0 << false << true << QStringList({"乙", "丙"}) << QStringList({"b.bmp"}) << "乙"
            << "乙";
    }
    void deletingTemplates()
    {
        QFETCH(int, entry);
        QFETCH(bool, byMenu);
        QFETCH(bool, confirm);
        QFETCH(QStringList, names);
        QFETCH(QStringList, pictures);
        QFETCH(QString, defaultName);
        QFETCH(QString, current);
        makePicture({320, 180}, Qt::green).save(bkbmp("b.bmp"), "BMP");
        QVERIFY(startProgram([&] {
            addTemplate("乙", "b.bmp", 60);
            addTemplate("丙", "b.bmp", 70);
        }));
        QComboBox* list = page()->findChild<QComboBox*>("templateList");
        list->setFocus();
        list->setCurrentIndex(0);
        for (int i = 0; i < entry; ++i)
            QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentIndex(), entry);
        m_prompt->clear();
        m_prompt->answers.enqueue(confirm ? Prompt::Button::Yes : Prompt::Button::No);
        if (byMenu) {
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                    list->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(list, &event);
            QMenu* menu = page()->findChild<QMenu*>("templateMenu");
            QVERIFY(QTest::qWaitFor([&] { return menu->isVisible(); }));
            const QRect item =
                menu->actionGeometry(page()->findChild<QAction*>("deleteTemplateAction"));
            QTest::mouseMove(menu, item.center());
            QTest::mouseClick(menu, Qt::LeftButton, {}, item.center());
        } else {
            QTest::mouseClick(page()->findChild<QToolButton*>("deleteTemplateButton"),
                              Qt::LeftButton);
        }
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.at(0).kind, QString("question"));
        QCOMPARE(m_prompt->shown.at(0).text,
                 QStringLiteral("确定要删除模板“%1”吗？").arg(entry ? "乙" : kDelivered));
        QVERIFY(m_prompt->shown.at(0).defaultButton == Prompt::Button::No);
        QCOMPARE(comboTexts(list), names);
        QStringList stored;
        for (const QVariantMap& row : allRows())
            stored << row.value("Model_Name").toString();
        QCOMPARE(stored, names);
        QCOMPARE(QDir(bkbmp("")).entryList(QDir::Files), pictures);
        QCOMPARE(ConfigIni::readString(m_tmp->appDir(), "DefaultModel", "ModelName"), defaultName);
        QCOMPARE(session().currentTemplate, current);
        QCOMPARE(list->currentText(), current);
        QCOMPARE(mainWindow()->statusPanelText(2), "当前模板：" + current);
        // The surface shows the template in use.
        const int row = names.indexOf(current);
        for (const FieldInfo& f : FieldCatalogue::all())
            QCOMPARE(control(f.number)->geometry(), storedPlace(modelRow(row), f));
    }

    void theLastTemplateIsNotDeleted()
    {
        QVERIFY(startProgram());
        const QList<QVariantMap> rows = allRows();
        m_prompt->clear();
        QTest::mouseClick(page()->findChild<QToolButton*>("deleteTemplateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->messages(), QStringList({"这是仅有的一个模板，不能删除！"}));
        QCOMPARE(allRows(), rows);
        QVERIFY(QFile::exists(bkbmp("generic.bmp")));
    }

    // --- Leaving the program -------------------------------------------------

    void leavingWithUnsavedWork_data()
    {
        QTest::addColumn<QString>("work");
        QTest::addColumn<int>("choice"); // Prompt::SaveChoice
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<bool>("saved");
        const int save = int(Prompt::SaveChoice::Save);
        const int discard = int(Prompt::SaveChoice::Discard);
        const int stay = int(Prompt::SaveChoice::Stay);
        QTest::newRow("nothing changed") << "none" << stay << false << true << false;
        QTest::newRow("only a height changed") << "height" << stay << false << true << false;
        QTest::newRow("moved, save") << "move" << save << true << true << true;
        QTest::newRow("moved, discard") << "move" << discard << true << true << false;
        QTest::newRow("moved, stay") << "move" << stay << true << false << false;
        QTest::newRow("narrower, stay") << "width" << stay << true << false << false;
        QTest::newRow("hidden, save") << "hide" << save << true << true << true;
        QTest::newRow("new template, discard") << "new" << discard << true << true << false;
        QTest::newRow("new template, stay") << "new" << stay << true << false << false;
    }
    void leavingWithUnsavedWork()
    {
        QFETCH(QString, work);
        QFETCH(int, choice);
        QFETCH(bool, asked);
        QFETCH(bool, closes);
        QFETCH(bool, saved);
        QVERIFY(startProgram());
        const QList<QVariantMap> rows = allRows();
        FieldControl* c = control(6);
        if (work == "move")
            dragBy(c, QPoint(15, 10), QPoint(25, 15));
        else if (work == "height")
            dragBy(c, QPoint(c->width() / 2, c->height() - 1), QPoint(0, 9));
        else if (work == "width")
            dragBy(c, QPoint(c->width() - 1, 10), QPoint(-12, 0));
        else if (work == "hide")
            QVERIFY(hideByMenu(c));
        else if (work == "new")
            QTest::mouseClick(page()->findChild<QToolButton*>("newTemplateButton"), Qt::LeftButton);
        const QRect placed = c->geometry();
        const bool hidden = c->isHidden();
        m_prompt->clear();
        m_prompt->saveChoices.enqueue(Prompt::SaveChoice(choice));
        QCOMPARE(mainWindow()->close(), closes);
        QCOMPARE(m_prompt->shown.value(0).kind == "saveDiscardCancel", asked);
        if (asked) {
            QCOMPARE(m_prompt->shown.at(0).text,
                     QString("模板设计中的改动尚未保存，退出前要保存吗？"));
            QCOMPARE(m_prompt->shown.at(0).caption, QString("退出"));
        }
        QCOMPARE(mainWindow()->isVisible(), !closes);
        QCOMPARE(m_prompt->messages().contains(kSaved), saved);
        // What the next start finds.
        if (closes) {
            m_start.reset();
            QVERIFY(startProgram());
        }
        if (saved) {
            const QVariantMap row = modelRow(0);
            const FieldInfo& f = FieldCatalogue::all().at(5);
            QCOMPARE(storedPlace(row, f), QRect(placed.topLeft(), QSize(placed.width(), 22)));
            QCOMPARE(row.value(f.visColumn()).toInt(), hidden ? 0 : 1);
            QVERIFY(row != rows.at(0));
        } else {
            QCOMPARE(allRows(), rows);
        }
    }

    void exitButtonWithUnsavedWorkCanStay()
    {
        QVERIFY(startProgram());
        dragBy(control(2), QPoint(15, 10), QPoint(25, 15));
        m_prompt->clear();
        m_prompt->saveChoices.enqueue(Prompt::SaveChoice::Stay);
        QTest::mouseClick(findWidget<QToolButton>("exitButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->shown.value(0).kind, QString("saveDiscardCancel"));
        QVERIFY(mainWindow()->isVisible());
        // The database is still open: a save works.
        m_prompt->clear();
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList({kSaved}));
    }

    // --- Saving an existing template -----------------------------------------

    void savingAnExistingTemplate()
    {
        QVERIFY(startProgram([&] {
            tb()->first();
            tb()->updateRow(0, tb()->fieldsOf({{"Page_LeftX", 7}, {"Page_TopY", -7}}));
        }));
        const QByteArray picture = fileBytes(bkbmp("generic.bmp"));
        const QVariantMap before = modelRow(0);

        FieldControl* name = control(7);
        const QPoint start = name->pos();
        dragBy(name, QPoint(15, 10), QPoint(33, -21));
        QCOMPARE(name->pos(), start + QPoint(33, -21));
        QVERIFY(hideByMenu(control(8)));
        // Only the height of A_Address changes: nothing different is stored.
        FieldControl* address = control(9);
        const QRect addressBefore = address->geometry();
        dragBy(address, QPoint(address->width() / 2, address->height() - 1), QPoint(0, 9));
        QCOMPARE(address->geometry(), addressBefore.adjusted(0, 0, 0, 9));

        m_prompt->clear();
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList({kSaved}));
        const QVariantMap after = modelRow(0);
        QCOMPARE(after.value("A_Name_Left").toInt(), start.x() + 33);
        QCOMPARE(after.value("A_Name_Top").toInt(), start.y() - 21);
        QCOMPARE(after.value("A_Company_isVis").toInt(), 0);
        QCOMPARE(after.value("Page_LeftX").toInt(), 0);
        QCOMPARE(after.value("Page_TopY").toInt(), 0);
        QVariantMap expected = before;
        // The feed offsets in effect are baked into every stored place.
        for (const FieldInfo& f : FieldCatalogue::all()) {
            expected[f.leftColumn()] = before.value(f.leftColumn()).toInt() + 7;
            expected[f.topColumn()] = before.value(f.topColumn()).toInt() - 7;
        }
        expected["A_Name_Left"] = start.x() + 33;
        expected["A_Name_Top"] = start.y() - 21;
        expected["A_Company_isVis"] = 0;
        expected["Page_LeftX"] = 0;
        expected["Page_TopY"] = 0;
        QCOMPARE(after, expected); // name, picture, paper and the rest untouched
        QCOMPARE(fileBytes(bkbmp("generic.bmp")), picture);
        QCOMPARE(modelCount(), 1);
        QCOMPARE(comboTexts(page()->findChild<QComboBox*>("templateList")),
                 QStringList({kDelivered}));
        QCOMPARE(page()->findChild<QComboBox*>("templateList")->currentIndex(), 0);
        QCOMPARE(tb()->recNo(), 0);
        checkNewTemplateMode(false);
    }

    void savingWhenTheListNamesNoTemplate()
    {
        QVERIFY(startProgram([&] {
            ConfigIni::writeString(m_tmp->appDir(), "DefaultModel", "ModelName", "不存在");
        }));
        QCOMPARE(page()->findChild<QComboBox*>("templateList")->currentIndex(), -1);
        const QList<QVariantMap> rows = allRows();
        dragBy(control(1), QPoint(15, 10), QPoint(40, 40));
        m_prompt->clear();
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList({"请先在模板列表中选择要保存的模板！"}));
        QCOMPARE(allRows(), rows);
    }

    // A save the database refuses tells why, on a line under the program's
    // own, and leaves the rows and the pictures as they were.
    void templateSaveFailureShowsTheReason_data()
    {
        QTest::addColumn<QString>("name");    // the new template's name; none: save the current one
        QTest::addColumn<QString>("refused"); // the statement the database refuses
        QTest::newRow("new template") << QString("新模板") << QString("INSERT");
        QTest::newRow("new template replacing one") << kDelivered << QString("UPDATE");
        QTest::newRow("current template") << QString() << QString("UPDATE");
    }
    void templateSaveFailureShowsTheReason()
    {
        QFETCH(QString, name);
        QFETCH(QString, refused);
        makePicture({200, 100}, Qt::blue).save(m_tmp->filePath("scans/form.bmp"), "BMP");
        QVERIFY(startProgram([&] {
            QSqlQuery q(dataModule()->database());
            QVERIFY(q.exec("CREATE TRIGGER full BEFORE " + refused +
                           " ON Exp_Model BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
        }));
        const QList<QVariantMap> rows = allRows();
        const QStringList pictures = QDir(bkbmp("")).entryList(QDir::Files);
        if (!name.isNull())
            beginNewTemplate(m_tmp->filePath("scans/form.bmp"), "120", "90");
        dragBy(control(1), QPoint(15, 10), QPoint(30, 20));
        m_prompt->clear();
        m_prompt->inputs.enqueue(name);
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);

        const QString shown = m_prompt->lastMessage();
        QCOMPARE(shown.section('\n', 0, 0), QString("发生异常错误，模板保存失败！"));
        QVERIFY2(shown.section('\n', 1).contains("disk full"), qPrintable(shown));
        QCOMPARE(allRows(), rows);
        QCOMPARE(QDir(bkbmp("")).entryList(QDir::Files), pictures);
    }

    void aDefaultThatCannotBeWrittenIsNotReportedAsSaved()
    {
        QVERIFY(startProgram());
        QVERIFY(QFile::remove(m_tmp->filePath("config.ini")));
        QVERIFY(QDir().mkdir(m_tmp->filePath("config.ini")));
        m_prompt->clear();
        QTest::mouseClick(page()->findChild<QToolButton*>("makeDefaultButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.at(0).kind, QString("error"));
        // Which file, and why it could not be written.
        QCOMPARE(m_prompt->shown.at(0).text,
                 "默认模板未能保存：无法写入 " + m_tmp->appDir() + "config.ini\nIs a directory");
    }

    // --- The field controls under the mouse ----------------------------------

    void dragAndResizeWithTheMouse()
    {
        QVERIFY(startProgram());
        FieldControl* c = control(5);
        const QRect start = c->geometry();

        // A click without movement leaves the control and puts the cursor in.
        QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(12, 10));
        QCOMPARE(c->geometry(), start);
        QCOMPARE(mainWindow()->focusWidget(), static_cast<QWidget*>(c));

        // Moving with no button held moves nothing.
        QTest::mouseMove(c, QPoint(20, 12));
        QTest::mouseMove(c, QPoint(30, 5));
        QCOMPARE(c->geometry(), start);

        // A drag keeps the pointer's offset from the corner.
        const QPoint grab(17, 9);
        dragBy(c, grab, QPoint(-61, 37), 5);
        QCOMPARE(c->geometry(), start.translated(-61, 37));
        const QPoint moved = c->pos();

        // The right border: the width; the bottom: the height; the corner: both.
        dragBy(c, QPoint(c->width() - 1, 11), QPoint(25, 0));
        QCOMPARE(c->geometry(), QRect(moved, start.size() + QSize(25, 0)));
        dragBy(c, QPoint(15, c->height() - 1), QPoint(0, 6));
        QCOMPARE(c->geometry(), QRect(moved, start.size() + QSize(25, 6)));
        dragBy(c, QPoint(c->width() - 1, c->height() - 1), QPoint(-5, -6));
        QCOMPARE(c->geometry(), QRect(moved, start.size() + QSize(20, 0)));
        // The left border keeps the right edge where it is.
        const int right = c->geometry().right();
        dragBy(c, QPoint(0, 11), QPoint(8, 0));
        QCOMPARE(c->x(), moved.x() + 8);
        QCOMPARE(c->geometry().right(), right);
        // A control is never sized away.
        dragBy(c, QPoint(c->width() - 1, 11), QPoint(-200, 0));
        QCOMPARE(c->width(), FieldControl::kMinWidth);
        // Nor dragged out of reach: the pointer stays inside the panel.
        dragBy(c, QPoint(5, 11), QPoint(-2000, -2000));
        QVERIFY(c->geometry().intersects(surface()->rect()));

        QVERIFY(m_prompt->shown.isEmpty());
    }

    void hidingThroughThePopupMenu()
    {
        QVERIFY(startProgram());
        QCOMPARE(surface()->hideFieldAction->text(), QString("删除此字段"));
        QVERIFY(hideByMenu(control(3)));
        QCOMPARE(static_cast<QWidget*>(surface()->menuField()), static_cast<QWidget*>(control(3)));
        QVERIFY(hideByMenu(control(6)));
        for (const FieldInfo& f : FieldCatalogue::all())
            QCOMPARE(control(f.number)->isHidden(),
                     f.number == 3 || f.number == 6 || f.number > Schema::kFirstFieldCount);

        // A left press does not select: the menu hides the right-clicked one.
        QTest::mouseClick(control(10), Qt::RightButton);
        QTRY_VERIFY(surface()->fieldMenu->isVisible());
        surface()->fieldMenu->close();
        QTest::mouseClick(control(11), Qt::LeftButton);
        QTest::mouseClick(control(12), Qt::MiddleButton);
        surface()->hideFieldAction->trigger();
        QVERIFY(control(10)->isHidden());
        QVERIFY(!control(11)->isHidden());
        QVERIFY(!control(12)->isHidden());
    }

    // --- Undo, nudges and the selected field --------------------------------

    void undoAndRedoOfFieldChanges_data()
    {
        QTest::addColumn<QString>("work");
        QTest::addColumn<QString>("how"); // "keys" or "menu"
        for (const char* how : {"keys", "menu"}) {
            for (const char* work : {"move", "resize", "hide", "show", "fit"})
                QTest::newRow(qPrintable(QString("%1 by %2").arg(work, how))) << work << how;
        }
    }
    void undoAndRedoOfFieldChanges()
    {
        QFETCH(QString, work);
        QFETCH(QString, how);
        QVERIFY(startProgram());
        FieldControl* c = control(6);
        if (work == "show") {
            QVERIFY(hideByMenu(c));
            page()->undoStack()->clear(); // as if hidden in the stored template
        }
        const QRect before = c->geometry();
        const bool shownBefore = !c->isHidden();
        // The switch as the control shows it and as printing reads it.
        const auto fitNow = [&] {
            const bool stored =
                FieldFitStore::load(dataModule()->database(), session().currentTemplate)
                    .value(c->field().key)
                    .fit;
            return c->fits() == stored ? int(stored) : -1;
        };
        QCOMPARE(fitNow(), 0);
        if (work == "move")
            dragBy(c, QPoint(15, 10), QPoint(25, 15));
        else if (work == "resize")
            dragBy(c, QPoint(c->width() - 1, c->height() - 1), QPoint(12, 4));
        else if (work == "hide")
            QVERIFY(hideByMenu(c));
        else if (work == "fit")
            QVERIFY(chooseInMenu(c, surface()->fitToBoxAction));
        else
            surface()->showField(c->field().key); // what the field selection dialog does
        const QRect after = c->geometry();
        const bool shownAfter = !c->isHidden();
        const int fitAfter = fitNow();
        QCOMPARE(fitAfter, work == "fit" ? 1 : 0);
        QVERIFY(after != before || shownAfter != shownBefore || fitAfter == 1);
        QCOMPARE(page()->undoStack()->count(), 1);

        const auto undo = [&] {
            if (how == "menu")
                return chooseInMenu(control(1), page()->findChild<QAction*>("undoAction"));
            QTest::keyClick(control(1), Qt::Key_Z, Qt::ControlModifier);
            return true;
        };
        const auto redo = [&](bool secondKey) {
            if (how == "menu")
                return chooseInMenu(control(1), page()->findChild<QAction*>("redoAction"));
            if (secondKey)
                QTest::keyClick(control(1), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            else
                QTest::keyClick(control(1), Qt::Key_Y, Qt::ControlModifier);
            return true;
        };
        control(1)->setFocus();
        QVERIFY(undo());
        QCOMPARE(c->geometry(), before);
        QCOMPARE(!c->isHidden(), shownBefore);
        QCOMPARE(fitNow(), 0);
        QVERIFY(redo(false));
        QCOMPARE(c->geometry(), after);
        QCOMPARE(!c->isHidden(), shownAfter);
        QCOMPARE(fitNow(), fitAfter);
        QVERIFY(undo());
        QVERIFY(redo(true));
        QCOMPARE(c->geometry(), after);
        QCOMPARE(!c->isHidden(), shownAfter);
        QCOMPARE(fitNow(), fitAfter);
        // Nothing before the change: a further undo changes nothing.
        QVERIFY(undo());
        QVERIFY(!page()->findChild<QAction*>("undoAction")->isEnabled());
        QTest::keyClick(control(1), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(c->geometry(), before);
        QCOMPARE(!c->isHidden(), shownBefore);
    }

    void aClickWithoutMovementIsNothingToUndo()
    {
        QVERIFY(startProgram());
        QTest::mouseClick(control(5), Qt::LeftButton, {}, QPoint(12, 10));
        QCOMPARE(page()->undoStack()->count(), 0);
        QVERIFY(!page()->findChild<QAction*>("undoAction")->isEnabled());
    }

    void undoGoesBackToTheLastSaveOrSwitch()
    {
        makePicture({500, 300}, Qt::cyan).save(bkbmp("b.bmp"), "BMP");
        QVERIFY(startProgram([&] { addTemplate("乙", "b.bmp", 60); }));
        FieldControl* c = control(7);
        dragBy(c, QPoint(15, 10), QPoint(20, 0));
        const QPoint saved = c->pos();
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->lastMessage(), kSaved);
        QCOMPARE(page()->undoStack()->count(), 0);
        c->setFocus();
        QTest::keyClick(c, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(c->pos(), saved);

        // A switch of template: the first template's moves are gone.
        dragBy(c, QPoint(15, 10), QPoint(0, 20));
        QCOMPARE(page()->undoStack()->count(), 1);
        QComboBox* list = page()->findChild<QComboBox*>("templateList");
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(session().currentTemplate, QString("乙"));
        QCOMPARE(page()->undoStack()->count(), 0);
        c->setFocus();
        QTest::keyClick(c, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(c->geometry(), placeFor(6, 60));
    }

    void arrowsNudgeTheSelectedField()
    {
        QVERIFY(startProgram());
        FieldControl* c = control(5);
        FieldControl* other = control(6);
        const QPoint start = c->pos();
        const QSize size = c->size();
        const QRect otherPlace = other->geometry();
        QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(12, 10));
        QVERIFY(c->isOutlined());
        QVERIFY(!other->isOutlined());
        QTest::keyClick(c, Qt::Key_Right);
        QCOMPARE(c->pos(), start + QPoint(1, 0));
        QTest::keyClick(c, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(c->pos(), start + QPoint(1, 10));
        QTest::keyClick(c, Qt::Key_Left, Qt::ShiftModifier);
        QTest::keyClick(c, Qt::Key_Up);
        QCOMPARE(c->pos(), start + QPoint(-9, 9));
        QCOMPARE(c->size(), size); // moved, not sized
        QCOMPARE(other->geometry(), otherPlace);
        // Each nudge is undone on its own.
        QCOMPARE(page()->undoStack()->count(), 4);
        QTest::keyClick(c, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(c->pos(), start + QPoint(-9, 10));
        QTest::keyClick(c, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(c->pos(), start + QPoint(1, 10));

        // Another field clicked: it is the one outlined and moved.
        QTest::mouseClick(other, Qt::LeftButton, {}, QPoint(12, 10));
        QVERIFY(other->isOutlined());
        QVERIFY(!c->isOutlined());
        QTest::keyClick(other, Qt::Key_Down);
        QCOMPARE(other->pos(), otherPlace.topLeft() + QPoint(0, 1));
        QCOMPARE(c->pos(), start + QPoint(1, 10));
    }

    void statusPanelShowsTheSelectedFieldInMillimetres()
    {
        QVERIFY(startProgram());
        QLabel* panel = mainWindow()->findChild<QLabel*>("selectedFieldPanel");
        QVERIFY(panel);
        QCOMPARE(panel->text(), QString());
        FieldControl* c = control(7);
        QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(12, 10));
        // 96 pixels are an inch: place it an inch right of and two below
        // the picture's corner, 96 pixels wide.
        const QPoint corner = surface()->backgroundImage()->pos();
        dragBy(c, QPoint(15, 10), corner + QPoint(96, 192) - c->pos());
        dragBy(c, QPoint(c->width() - 1, 10), QPoint(96 - c->width(), 0));
        QCOMPARE(c->height(), 22);
        const QString caption = c->field().caption;
        QCOMPARE(panel->text(),
                 QString("字段：%1  左 25.4  上 50.8  宽 25.4  高 5.8 mm").arg(caption));
        QTest::keyClick(c, Qt::Key_Right, Qt::ShiftModifier); // 10 px: 2.6 mm
        QCOMPARE(panel->text(),
                 QString("字段：%1  左 28.0  上 50.8  宽 25.4  高 5.8 mm").arg(caption));
        // A hidden field is no longer the one shown.
        QVERIFY(hideByMenu(c));
        QVERIFY(!panel->text().contains(caption));
    }

    // The window is sized freely: the design surface takes the room, and
    // the readout of the selected field is never cut.
    void theWindowGrowsAndTheReadoutShowsWhole()
    {
        QVERIFY(startProgram());
        MainWindow* w = mainWindow();
        QCOMPARE(w->size(), QSize(935, 705));
        QScrollArea* area = page()->findChild<QScrollArea*>("designScrollArea");
        const QSize viewport = area->viewport()->size();
        w->resize(1300, 900);
        QCOMPARE(w->size(), QSize(1300, 900));
        QCOMPARE(area->viewport()->width(), viewport.width() + 365);
        QCOMPARE(area->viewport()->height(), viewport.height() + 195);
        QCOMPARE(surface()->size(), area->viewport()->size());
        QCOMPARE(area->horizontalScrollBar()->maximum(), 0);
        w->resize(935, 705);

        QLabel* panel = w->findChild<QLabel*>("selectedFieldPanel");
        FieldControl* c = control(FieldCatalogue::byKey("A_Address")->number);
        QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(12, 10));
        dragBy(c, QPoint(c->width() / 2, c->height() - 1), QPoint(0, 200));
        dragBy(c, QPoint(c->width() - 1, 10), QPoint(330, 0));
        QVERIFY(panel->text().endsWith(QString("高 58.7 mm")));
        QCoreApplication::processEvents();
        const int right = panel->mapTo(w, QPoint(panel->width(), 0)).x();
        QVERIFY2(right <= w->width(), qPrintable(QString::number(right)));
        QVERIFY(panel->width() >= panel->fontMetrics().horizontalAdvance(panel->text()));
    }

    void typingIntoASurfaceFieldAsksFirst_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("whose");
        QTest::newRow("recipient, no") << "A_Name" << false << "当前收件人";
        QTest::newRow("recipient, yes") << "A_Name" << true << "当前收件人";
        QTest::newRow("sender, no") << "S_Departure" << false << "发件人";
        QTest::newRow("sender, yes") << "S_Departure" << true << "发件人";
    }
    void typingIntoASurfaceFieldAsksFirst()
    {
        QFETCH(QString, key);
        QFETCH(bool, yes);
        QFETCH(QString, whose);
        QVERIFY(startProgram([&] {
            Dataset* att = dataModule()->recipients;
            if (!att->isActive())
                att->open();
            att->moveTo(att->insertRow(
                att->fieldsOf({{surface()->fieldControl("A_Name")->field().column, "张三"}})));
            Dataset* snd = dataModule()->sender;
            if (!snd->isActive())
                snd->open();
            const Dataset::NamedValues departure = {
                {surface()->fieldControl("S_Departure")->field().column, "杭州"}};
            if (snd->recordCount() == 0)
                snd->insertRow(snd->fieldsOf(departure));
            else
                snd->updateRow(snd->recNo(), snd->fieldsOf(departure));
        }));
        FieldControl* c = surface()->fieldControl(key);
        // The sender's value as the windows hold it, the recipient's row.
        const auto shared = [&] {
            return c->field().isSender()
                       ? m_start->senderDraft()->value(c->field().column)
                       : dataModule()->recipients->fieldByName(c->field().column).asString();
        };
        const QString value = shared();
        QVERIFY(!value.isEmpty());
        QCOMPARE(c->text(), value); // it shows the value
        QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(12, 10));
        QVERIFY(c->isReadOnly());
        // Moving the field by the keys asks nothing.
        QTest::keyClick(c, Qt::Key_Right);
        QVERIFY(m_prompt->shown.isEmpty());

        // Yes: asked once, at the first key. No: every key asks and is dropped.
        m_prompt->answers.enqueue(yes ? Prompt::Button::Yes : Prompt::Button::No);
        m_prompt->answers.enqueue(Prompt::Button::No);
        m_prompt->answers.enqueue(Prompt::Button::No);
        QTest::keyClick(c, Qt::Key_End);
        QTest::keyClicks(c, "XY");
        QTest::keyClick(c, Qt::Key_Backspace);
        QCOMPARE(m_prompt->shown.size(), yes ? 1 : 3);
        QCOMPARE(m_prompt->shown.at(0).kind, QString("question"));
        QCOMPARE(m_prompt->shown.at(0).defaultButton, Prompt::Button::No);
        QVERIFY(m_prompt->shown.at(0).text.contains(whose));
        QVERIFY(m_prompt->shown.at(0).text.contains(c->field().caption));
        const QString expected = yes ? value + "X" : value;
        QCOMPARE(c->text(), expected);
        page()
            ->findChild<QComboBox*>("templateList")
            ->setFocus(); // the focus leaves: the row takes the text
        QCOMPARE(shared(), expected);
        QVERIFY(c->isReadOnly()); // the next typing asks again
    }

    // A tall or fitted field shows its text the way paper and preview get
    // it: from the top, in the print font, wrapped and shrunk when fitted.
    void tallAndFittedFieldsShowTheirTextAsPrinted_data()
    {
        QTest::addColumn<bool>("fit");
        QTest::addColumn<int>("taller");
        QTest::addColumn<int>("words");
        QTest::addColumn<bool>("cut");
        QTest::addColumn<int>("ownPt"); // the field's own font, 0 for none
        QTest::newRow("tall, one line at the top") << false << 60 << 12 << false << 0;
        QTest::newRow("fitted, wrapped") << true << 60 << 6 << false << 0;
        QTest::newRow("fitted, one line high") << true << 0 << 3 << false << 0;
        QTest::newRow("fitted, too long: whole lines and …") << true << 20 << 80 << true << 0;
        QTest::newRow("fitted, in the field's own font") << true << 60 << 6 << false << 14;
    }
    void tallAndFittedFieldsShowTheirTextAsPrinted()
    {
        QFETCH(bool, fit);
        QFETCH(int, taller);
        QFETCH(int, words);
        QFETCH(bool, cut);
        QFETCH(int, ownPt);
        // Lower-case letters only: the lines' ink is clearly apart.
        const QString text = QStringList(words, QStringLiteral("ounce")).join(' ');
        QVERIFY(startProgram([&] {
            Dataset* att = dataModule()->recipients;
            if (!att->isActive())
                att->open();
            att->moveTo(att->insertRow(att->fieldsOf({{"Address", text}})));
        }));
        FieldControl* c = surface()->fieldControl("A_Address");
        QCOMPARE(c->text(), text);
        QFont font = session().printFont();
        if (ownPt > 0) {
            font.setPointSize(ownPt);
            FieldFontStore::setFieldFont(dataModule()->database(), session().currentTemplate,
                                         "A_Address", font);
            QVERIFY(page()->layOutCurrentModel()); // the stored font laid out
        }
        dragBy(c, QPoint(c->width() - 1, 10), QPoint(120 - c->width(), 0));
        QCOMPARE(c->width(), 120);
        if (taller > 0)
            dragBy(c, QPoint(c->width() / 2, c->height() - 1), QPoint(0, taller));
        if (fit)
            QVERIFY(chooseInMenu(c, surface()->fitToBoxAction));
        QVERIFY(c->showsAsPrinted());

        // The rows of the control's inside that hold ink, in bands.
        const QImage shot = c->grab().toImage();
        QList<QPair<int, int>> bands;
        for (int y = 2; y < shot.height() - 2; ++y) {
            bool ink = false;
            for (int x = 2; x < shot.width() - 2 && !ink; ++x)
                ink = qGray(shot.pixel(x, y)) < 128;
            if (ink && (bands.isEmpty() || bands.last().second != y - 1))
                bands.append({y, y});
            else if (ink)
                bands.last().second = y;
        }
        const QFontMetricsF fm(font, c);
        const int boxHeight = taller > 0 ? c->height() : int(fm.height());
        const TextFit::Result fitted = TextFit::fit(text, c->width(), boxHeight, font, c);
        QVERIFY(!bands.isEmpty());
        QVERIFY2(bands.first().first < fm.ascent(),
                 qPrintable(QString::number(bands.first().first)));
        if (!fit) {
            QCOMPARE(bands.size(), 1);
            return;
        }
        QCOMPARE(bands.size(), fitted.printed.size());
        QCOMPARE(fitted.cut(), cut);
        if (cut)
            QVERIFY(fitted.printed.last().endsWith(QChar(0x2026)));
        if (taller > 0)
            QVERIFY(bands.size() > 1);
        // Typing shows the plain edit again.
        m_prompt->answers.enqueue(Prompt::Button::Yes);
        c->setFocus();
        QTest::keyClick(c, Qt::Key_End);
        QTest::keyClick(c, Qt::Key_X);
        QVERIFY(!c->showsAsPrinted());
    }

    // --- Large pictures ------------------------------------------------------

    void theSurfaceScrollsForALargePicture()
    {
        QVERIFY(startProgram());
        QScrollArea* area = page()->findChild<QScrollArea*>("designScrollArea");
        QCOMPARE(area->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(area->verticalScrollBar()->maximum(), 0);
        const QString scan = m_tmp->filePath("scans/wide.png");
        QVERIFY(taggedPicture({870, 700}, 96).save(scan));
        beginNewTemplate(scan);
        QCOMPARE(surface()->backgroundImage()->size(), QSize(870, 700));
        // Every pixel of the picture can be scrolled into view.
        QVERIFY(surface()->width() >= 24 + 870);
        QVERIFY(surface()->height() >= 16 + 700);
        QVERIFY(area->horizontalScrollBar()->maximum() > 0);
        QVERIFY(area->verticalScrollBar()->maximum() > 0);
        area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum());
        const QPoint rightEdge =
            surface()->backgroundImage()->mapTo(area->viewport(), QPoint(869, 0));
        QVERIFY(area->viewport()->rect().contains(rightEdge));
        // Back to a picture that fits: no scrolling.
        m_prompt->answers.enqueue(Prompt::Button::Yes);
        QTest::mouseClick(page()->findChild<QToolButton*>("newTemplateButton"), Qt::LeftButton);
        QVERIFY(!page()->newTemplateMode());
        QTRY_COMPARE(area->horizontalScrollBar()->maximum(), 0);
        QTRY_COMPARE(area->verticalScrollBar()->maximum(), 0);
    }

    void aScanIsOfferedToBeScaledToThePaper_data()
    {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QSize>("shown");
        // Paper 230 × 127 mm: 869 × 480 pixels at 96 per inch.
        QTest::newRow("96 dpi, the paper's size")
            << QSize(870, 480) << 96 << true << false << QSize(870, 480);
        QTest::newRow("300 dpi, scaled")
            << QSize(2717, 1500) << 300 << true << true << QSize(869, 480);
        QTest::newRow("300 dpi, kept")
            << QSize(2717, 1500) << 300 << false << true << QSize(2717, 1500);
        QTest::newRow("96 dpi, 5% wider than the paper")
            << QSize(913, 480) << 96 << true << true << QSize(869, 480);
        QTest::newRow("96 dpi, 5% lower than the paper")
            << QSize(870, 456) << 96 << true << true << QSize(869, 480);
        QTest::newRow("96 dpi, 1% off")
            << QSize(878, 480) << 96 << true << false << QSize(878, 480);
    }
    void aScanIsOfferedToBeScaledToThePaper()
    {
        QFETCH(QSize, pixels);
        QFETCH(int, dpi);
        QFETCH(bool, yes);
        QFETCH(bool, asked);
        QFETCH(QSize, shown);
        QVERIFY(startProgram());
        const QString scan = m_tmp->filePath("scans/form.png");
        QVERIFY(taggedPicture(pixels, dpi).save(scan));
        QTest::mouseClick(page()->findChild<QToolButton*>("newTemplateButton"), Qt::LeftButton);
        typeInto(page()->findChild<QLineEdit*>("paperWidthEdit"), "230");
        typeInto(page()->findChild<QLineEdit*>("paperHeightEdit"), "127");
        m_prompt->clear();
        m_prompt->answers.enqueue(yes ? Prompt::Button::Yes : Prompt::Button::No);
        m_prompt->files.enqueue(scan);
        QTest::mouseClick(page()->findChild<QToolButton*>("pictureButton"), Qt::LeftButton);
        QList<ScriptedPrompt::Shown> questions;
        for (const ScriptedPrompt::Shown& s : std::as_const(m_prompt->shown))
            if (s.kind != "open")
                questions << s;
        QCOMPARE(questions.size(), asked ? 1 : 0);
        if (asked) {
            QCOMPARE(questions.at(0).kind, QString("question"));
            QVERIFY(questions.at(0).text.contains("230×127 mm"));
        }
        QCOMPARE(surface()->backgroundImage()->size(), shown);

        // The template stores the picture as shown.
        m_prompt->inputs.enqueue(QString("新单"));
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->lastMessage(), kSaved);
        const QString stored = modelRow(1).value("Bk_Bmp_Name").toString();
        QCOMPARE(QImageReader(bkbmp(stored)).size(), shown);
    }

    // "适应框内" is stored per template and field at once, and the menu shows
    // the stored state of the field it was opened on.
    void fitToBoxThroughThePopupMenu()
    {
        QVERIFY(startProgram());
        QAction* fit = surface()->fitToBoxAction;
        QCOMPARE(fit->text(), QString("适应框内"));
        QVERIFY(fit->isCheckable());
        QMenu* menu = surface()->fieldMenu;
        // The state shown before the click: 1 checked, 0 not, -1 no menu.
        auto chooseFit = [&](QWidget* w) -> int {
            QTest::mouseClick(w, Qt::RightButton);
            if (!QTest::qWaitFor([&] { return menu->isVisible(); }))
                return -1;
            const int was = fit->isChecked() ? 1 : 0;
            const QRect item = menu->actionGeometry(fit);
            QTest::mouseMove(menu, item.center());
            QTest::mouseClick(menu, Qt::LeftButton, {}, item.center());
            return QTest::qWaitFor([&] { return !menu->isVisible(); }) ? was : -1;
        };
        const FieldInfo* address = FieldCatalogue::byKey("A_Address");
        const FieldInfo* name = FieldCatalogue::byKey("A_Name");
        QCOMPARE(chooseFit(control(address->number)), 0);
        FieldFits fits = FieldFitStore::load(dataModule()->database(), session().currentTemplate);
        QVERIFY(fits.value("A_Address").fit);
        QVERIFY(!fits.value("A_Name").fit);
        // Another template keeps its own switches.
        QVERIFY(FieldFitStore::load(dataModule()->database(), "别的模板").isEmpty());
        // Opened on another field the menu shows that field's state.
        QCOMPARE(chooseFit(control(name->number)), 0);
        QCOMPARE(chooseFit(control(address->number)), 1);
        fits = FieldFitStore::load(dataModule()->database(), session().currentTemplate);
        QVERIFY(!fits.value("A_Address").fit);
        QVERIFY(fits.value("A_Name").fit);
        QVERIFY(m_prompt->shown.isEmpty());
    }

    // "显示为条码" / "显示为二维码" / "显示为文字" store how the field prints;
    // a field shown as a symbol grows to hold it, as it prints.
    void symbolsThroughThePopupMenu()
    {
        QVERIFY(startProgram());
        QMenu* menu = surface()->fieldMenu;
        QCOMPARE(surface()->code128Action->text(), QString("显示为条码"));
        QCOMPARE(surface()->qrAction->text(), QString("显示为二维码"));
        QCOMPARE(surface()->textAction->text(), QString("显示为文字"));
        auto choose = [&](QWidget* w, QAction* action) {
            QTest::mouseClick(w, Qt::RightButton);
            if (!QTest::qWaitFor([&] { return menu->isVisible(); }))
                return false;
            const QRect item = menu->actionGeometry(action);
            QTest::mouseMove(menu, item.center());
            QTest::mouseClick(menu, Qt::LeftButton, {}, item.center());
            return QTest::qWaitFor([&] { return !menu->isVisible(); });
        };
        const FieldInfo* mobile = FieldCatalogue::byKey("A_Mobile");
        FieldControl* c = control(mobile->number);
        c->setText("13912345678");
        const QSize before = c->size();
        const auto stored = [&] {
            return FieldFitStore::load(dataModule()->database(), session().currentTemplate)
                .value("A_Mobile")
                .symbol;
        };
        QVERIFY(choose(c, surface()->code128Action));
        QCOMPARE(stored(), FieldSymbol::Code128);
        QVERIFY(c->showsAsPrinted());
        // 13912345678 in Code 128 with its quiet zones is over 30 mm wide.
        QVERIFY2(c->width() > 30 * 96 / 25.4, qPrintable(QString::number(c->width())));
        QVERIFY(c->height() > before.height());
        // "条码尺寸…" asks both sizes; a wrong answer changes nothing.
        m_prompt->inputs.enqueue(QString("0.1 12"));
        QVERIFY(choose(c, surface()->symbolSizeAction));
        QCOMPARE(m_prompt->messages().size(), 1);
        QVERIFY(m_prompt->messages().at(0).startsWith("条宽应在 0.19 到 2 毫米之间"));
        m_prompt->clear();
        const int narrow = c->width();
        m_prompt->inputs.enqueue(QString(" 0.5  20 "));
        QVERIFY(choose(c, surface()->symbolSizeAction));
        QCOMPARE(m_prompt->shown.value(0).text,
                 QString("最窄条宽和条高（毫米，以空格分开；热敏打印机的条宽不小于 0.25）："));
        const FieldFit sized =
            FieldFitStore::load(dataModule()->database(), session().currentTemplate)
                .value("A_Mobile");
        QCOMPARE(sized.moduleMm, 0.5);
        QCOMPARE(sized.barHeightMm, 20.0);
        QVERIFY(c->width() > narrow);
        m_prompt->clear();
        QVERIFY(choose(c, surface()->qrAction));
        QCOMPARE(stored(), FieldSymbol::Qr);
        QVERIFY(surface()->qrAction->isChecked());
        QVERIFY(choose(c, surface()->textAction));
        QCOMPARE(stored(), FieldSymbol::Text);
        QCOMPARE(FieldFitStore::load(dataModule()->database(), "别的模板").size(), 0);
        QVERIFY(m_prompt->shown.isEmpty());
    }

    // A new template from a label size and the plain label the program
    // draws: it prints its picture and its waybill number as a Code 128.
    void plainLabelTemplate()
    {
        QVERIFY(startProgram());
        QTest::mouseClick(page()->findChild<QToolButton*>("newTemplateButton"), Qt::LeftButton);
        m_prompt->clear();
        auto* picture = page()->findChild<QToolButton*>("pictureButton");
        QVERIFY(picture->menu());
        QStringList items;
        for (QAction* a : picture->menu()->actions())
            if (!a->isSeparator())
                items << a->text();
        QCOMPARE(items,
                 QStringList({"标签 76×130 mm", "标签 100×150 mm", "标签 100×180 mm", "空白标签"}));
        QAction* plain = picture->menu()->findChild<QAction*>("plainLabelAction");
        // Without a size there is nothing to draw.
        plain->trigger();
        QCOMPARE(m_prompt->messages().size(), 1);
        QVERIFY(m_prompt->messages().at(0).startsWith("请先选择标签尺寸"));
        m_prompt->clear();
        picture->menu()->findChild<QAction*>("label100x150Action")->trigger();
        QCOMPARE(page()->findChild<QLineEdit*>("paperWidthEdit")->text().trimmed(), QString("100"));
        QCOMPARE(page()->findChild<QLineEdit*>("paperHeightEdit")->text().trimmed(),
                 QString("150"));
        plain->trigger();
        QCOMPARE(surface()->backgroundImage()->size(), QSize(378, 567));
        const FieldInfo* number = FieldCatalogue::byKey("A_WayBillNo");
        QVERIFY(!control(number->number)->isHidden());
        QVERIFY(!control(FieldCatalogue::byKey("A_Name")->number)->isHidden());
        QVERIFY(control(FieldCatalogue::byKey("A_Custom1")->number)->isHidden());
        m_prompt->inputs.enqueue(QString("标签"));
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList({kSaved}));
        const QVariantMap row = modelRow(1);
        QCOMPARE(row.value("Page_Width").toInt(), 1000);
        QCOMPARE(row.value("Page_Height").toInt(), 1500);
        QCOMPARE(row.value("A_WayBillNo_isVis").toInt(), 1);
        QCOMPARE(row.value("A_Custom1_isVis").toInt(), 0);
        QVERIFY(LabelStore::printsPicture(dataModule()->database(), "标签"));
        QVERIFY(!LabelStore::printsPicture(dataModule()->database(), kDelivered));
        QCOMPARE(FieldFitStore::load(dataModule()->database(), "标签").value("A_WayBillNo").symbol,
                 FieldSymbol::Code128);
        QImageReader reader(bkbmp(row.value("Bk_Bmp_Name").toString()));
        QCOMPARE(reader.size(), QSize(378, 567));
    }

    // "字段字体…" gives the field the font chosen in the font dialog, stored
    // with the template and shown by its control; "恢复默认字体" takes it
    // away again.
    void fieldFontThroughThePopupMenu()
    {
        QVERIFY(startProgram());
        QMenu* menu = surface()->fieldMenu;
        QAction* choose = surface()->fieldFontAction;
        QAction* reset = surface()->defaultFontAction;
        QCOMPARE(choose->text(), QString("字段字体…"));
        QCOMPARE(reset->text(), QString("恢复默认字体"));
        // Whether the action was enabled when the menu opened; -1: no menu.
        auto clickIn = [&](QWidget* w, QAction* action) -> int {
            QTest::mouseClick(w, Qt::RightButton);
            if (!QTest::qWaitFor([&] { return menu->isVisible(); }))
                return -1;
            const int enabled = action->isEnabled() ? 1 : 0;
            const QRect item = menu->actionGeometry(action);
            QTest::mouseMove(menu, item.center());
            QTest::mouseClick(menu, Qt::LeftButton, {}, item.center());
            if (!enabled)
                menu->close();
            return QTest::qWaitFor([&] { return !menu->isVisible(); }) ? enabled : -1;
        };
        const QSqlDatabase db = dataModule()->database();
        const QString model = session().currentTemplate;
        FieldControl* name = control(FieldCatalogue::byKey("A_Name")->number);
        FieldControl* address = control(FieldCatalogue::byKey("A_Address")->number);
        const QFont plain = address->font();

        // Cancelled: nothing is stored.
        QCOMPARE(clickIn(name, choose), 1);
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.at(0).kind, QString("font"));
        QVERIFY(FieldFontStore::load(db, model).isEmpty());

        QFont big("DejaVu Serif");
        big.setPointSize(16);
        big.setBold(true);
        m_prompt->fonts.enqueue(big);
        QCOMPARE(clickIn(name, reset), 0);
        QCOMPARE(clickIn(name, choose), 1);
        const FieldFonts stored = FieldFontStore::load(db, model);
        QCOMPARE(stored.keys(), QStringList({"A_Name"}));
        QCOMPARE(stored.value("A_Name").family(), QString("DejaVu Serif"));
        QCOMPARE(stored.value("A_Name").pointSizeF(), 16.0);
        QVERIFY(stored.value("A_Name").bold());
        QCOMPARE(name->font().pointSizeF(), 16.0);
        QVERIFY(name->font().bold());
        QCOMPARE(address->font(), plain);

        // Laid out again, the control still shows it.
        QVERIFY(page()->layOutCurrentModel());
        QCOMPARE(name->font().pointSizeF(), 16.0);

        QCOMPARE(clickIn(name, reset), 1);
        QVERIFY(FieldFontStore::load(db, model).isEmpty());
        QCOMPARE(name->font(), plain);

        // A new template takes the fonts on the surface; choosing one while
        // it is made leaves the template laid out before alone.
        m_prompt->fonts.enqueue(big);
        QCOMPARE(clickIn(name, choose), 1);
        makePicture({600, 400}, Qt::magenta).save(m_tmp->filePath("scans/Scan.PNG"), "PNG");
        QTest::mouseClick(page()->findChild<QToolButton*>("newTemplateButton"), Qt::LeftButton);
        m_prompt->files.enqueue(m_tmp->filePath("scans/Scan.PNG"));
        QTest::mouseClick(page()->findChild<QToolButton*>("pictureButton"), Qt::LeftButton);
        QFont small("DejaVu Sans");
        small.setPointSize(8);
        m_prompt->fonts.enqueue(small);
        QCOMPARE(clickIn(address, choose), 1);
        QCOMPARE(address->font().pointSizeF(), 8.0);
        QCOMPARE(FieldFontStore::load(db, model).keys(), QStringList({"A_Name"}));
        typeInto(page()->findChild<QLineEdit*>("paperWidthEdit"), "230");
        typeInto(page()->findChild<QLineEdit*>("paperHeightEdit"), "127");
        m_prompt->inputs.enqueue(QString("新"));
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);
        QCOMPARE(session().currentTemplate, QString("新"));
        const FieldFonts kept = FieldFontStore::load(db, "新");
        QCOMPARE(kept.size(), 2);
        QCOMPARE(kept.value("A_Name").pointSizeF(), 16.0);
        QCOMPARE(kept.value("A_Address").pointSizeF(), 8.0);
        QCOMPARE(FieldFontStore::load(db, model).keys(), QStringList({"A_Name"}));
    }

    // A field's box height is dragged at its bottom border and stored with
    // the template; fields left at their own height store nothing.
    void fieldHeightIsStoredWithTheTemplate()
    {
        QVERIFY(startProgram());
        FieldControl* c = control(FieldCatalogue::byKey("A_Address")->number);
        QCOMPARE(c->height(), FieldCatalogue::kControlHeight);
        dragBy(c, QPoint(c->width() / 2, c->height() - 1), QPoint(0, 30));
        QCOMPARE(c->height(), FieldCatalogue::kControlHeight + 30);
        m_prompt->clear();
        QTest::mouseClick(page()->findChild<QToolButton*>("saveTemplateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList({"模板保存成功！"}));
        const FieldFits fits =
            FieldFitStore::load(dataModule()->database(), session().currentTemplate);
        QCOMPARE(fits.value("A_Address").height, FieldCatalogue::kControlHeight + 30);
        QVERIFY(!fits.value("A_Address").fit);
        QVERIFY(!fits.contains("A_Name"));
    }

    // --- Field selection -----------------------------------------------------

    void fieldSelectionListsTheFieldsAsShown()
    {
        QVERIFY(startProgram());
        FieldSelectionDialog* d = fieldSelection();
        QVERIFY(d);
        QCOMPARE(d->windowTitle(), QString("请选择要打印的字段"));
        QListWidget* srcList = d->findChild<QListWidget*>("availableList");
        QListWidget* dstList = d->findChild<QListWidget*>("chosenList");
        const auto buttons = [d]() -> QString {
            QString out;
            for (const char* name :
                 {"includeButton", "includeAllButton", "excludeButton", "excludeAllButton"})
                out += d->findChild<QPushButton*>(name)->isEnabled() ? '1' : '0';
            return out;
        };

        // Every field hidden: all 28 on the left, in pinyin order.
        surface()->showOnlyFields({});
        d->show();
        const QStringList src = listTexts(srcList);
        QStringList captions;
        for (const FieldInfo& f : FieldCatalogue::all())
            captions << f.caption;
        QCOMPARE(QSet<QString>(src.begin(), src.end()),
                 QSet<QString>(captions.begin(), captions.end()));
        QCOMPARE(src.size(), FieldCatalogue::kCount);
        // Pinyin order (fa, mu, nei, shi, shou, zi), not code point order.
        const QStringList pinyin = {"发件人姓名", "目的地",     "内件品名",
                                    "始发地",     "收件人姓名", "自定义字段1"};
        for (int i = 1; i < pinyin.size(); ++i)
            QVERIFY2(src.indexOf(pinyin.at(i - 1)) < src.indexOf(pinyin.at(i)),
                     qPrintable(pinyin.at(i)));
        QCOMPARE(src.last(), QString("自定义字段5"));
        QCOMPARE(dstList->count(), 0);
        QCOMPARE(buttons(), QString("1100"));
        d->reject();

        // The visible ones on the right, in the captions' order, at every showing.
        surface()->showOnlyFields({"A_Name", "S_Name", "A_Custom5"});
        d->show();
        QCOMPARE(listTexts(dstList), QStringList({"发件人姓名", "收件人姓名", "自定义字段5"}));
        QCOMPARE(srcList->count(), FieldCatalogue::kCount - 3);
        QCOMPARE(buttons(), QString("1111"));
        d->reject();
        QStringList keys;
        for (const FieldInfo& f : FieldCatalogue::all())
            keys << f.key;
        surface()->showOnlyFields(keys);
        d->show();
        QCOMPARE(dstList->count(), FieldCatalogue::kCount);
        QCOMPARE(srcList->count(), 0);
        QCOMPARE(buttons(), QString("0011"));
        d->reject();
    }

    void fieldSelectionMoves()
    {
        QVERIFY(startProgram());
        surface()->showOnlyFields({}); // every caption starts on the left
        FieldSelectionDialog* d = fieldSelection();
        d->show();
        QListWidget* src = d->findChild<QListWidget*>("availableList");
        const QStringList all = listTexts(src);
        const int n = FieldCatalogue::kCount;

        // ">" with nothing selected moves nothing and selects the first.
        QTest::mouseClick(d->findChild<QPushButton*>("includeButton"), Qt::LeftButton);
        QCOMPARE(d->findChild<QListWidget*>("chosenList")->count(), 0);
        QCOMPARE(selectedRows(src), QList<int>({0}));

        // The last three, picked with the mouse, arrive last-first.
        src->clearSelection();
        for (int i = n - 3; i < n; ++i) {
            src->scrollToItem(src->item(i));
            QTest::mouseClick(src->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              src->visualItemRect(src->item(i)).center());
        }
        QCOMPARE(selectedRows(src), QList<int>({n - 3, n - 2, n - 1}));
        QTest::mouseClick(d->findChild<QPushButton*>("includeButton"), Qt::LeftButton);
        QCOMPARE(listTexts(d->findChild<QListWidget*>("chosenList")),
                 QStringList({all.at(n - 1), all.at(n - 2), all.at(n - 3)}));
        QCOMPARE(src->count(), n - 3);
        QCOMPARE(selectedRows(src), QList<int>({n - 4}));
        QVERIFY(d->findChild<QPushButton*>("excludeButton")->isEnabled());
        QVERIFY(d->findChild<QPushButton*>("excludeAllButton")->isEnabled());

        // "<" puts a caption back at its sorted place.
        d->findChild<QListWidget*>("chosenList")->clearSelection();
        QTest::mouseClick(d->findChild<QListWidget*>("chosenList")->viewport(), Qt::LeftButton, {},
                          d->findChild<QListWidget*>("chosenList")
                              ->visualItemRect(d->findChild<QListWidget*>("chosenList")->item(1))
                              .center());
        QTest::mouseClick(d->findChild<QPushButton*>("excludeButton"), Qt::LeftButton);
        QCOMPARE(listTexts(d->findChild<QListWidget*>("chosenList")),
                 QStringList({all.at(n - 1), all.at(n - 3)}));
        QCOMPARE(listTexts(src), all.mid(0, n - 3) << all.at(n - 2));

        // ">>" takes everything, in the list's order, after what is there.
        QTest::mouseClick(d->findChild<QPushButton*>("includeAllButton"), Qt::LeftButton);
        QCOMPARE(src->count(), 0);
        QCOMPARE(listTexts(d->findChild<QListWidget*>("chosenList")),
                 QStringList({all.at(n - 1), all.at(n - 3)}) + all.mid(0, n - 3) << all.at(n - 2));
        QVERIFY(!d->findChild<QPushButton*>("includeButton")->isEnabled());
        QVERIFY(!d->findChild<QPushButton*>("includeAllButton")->isEnabled());
        // "<<" sorts them all back.
        QTest::mouseClick(d->findChild<QPushButton*>("excludeAllButton"), Qt::LeftButton);
        QCOMPARE(listTexts(src), all);
        QCOMPARE(d->findChild<QListWidget*>("chosenList")->count(), 0);
        QVERIFY(!d->findChild<QPushButton*>("excludeButton")->isEnabled());
        QVERIFY(!d->findChild<QPushButton*>("excludeAllButton")->isEnabled());
        QVERIFY(d->findChild<QPushButton*>("includeButton")->isEnabled());
        d->reject();
    }

    void fieldSelectionShowsAndHides()
    {
        QVERIFY(startProgram());
        FieldSelectionDialog* d = fieldSelection();
        QVERIFY(hideByMenu(control(1)));  // 发件人姓名
        QVERIFY(hideByMenu(control(16))); // 收件县 (hint 收件区(县))
        QVERIFY(hideByMenu(control(7)));  // 收件人姓名
        const QVector<TemplateStore::FieldPlace> places = surface()->fieldPlaces();
        QUndoStack* undo = page()->undoStack();
        QCOMPARE(undo->count(), 3);
        const auto pick = [d](const char* list, const QStringList& captions) {
            QListWidget* l = d->findChild<QListWidget*>(list);
            l->clearSelection();
            for (const QString& c : captions)
                l->findItems(c, Qt::MatchExactly).value(0)->setSelected(true);
        };
        const auto fieldDialog = [&](const std::function<void()>& inside) {
            whileModal(inside);
            QTest::mouseClick(page()->findChild<QToolButton*>("fieldsButton"), Qt::LeftButton);
        };

        // "确定" as shown changes nothing.
        fieldDialog([&] {
            QVERIFY(d->findChild<QListWidget*>("availableList")
                        ->findItems("收件县", Qt::MatchExactly)
                        .size() == 1);
            QTest::mouseClick(d->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        });
        QVERIFY(surface()->fieldPlaces() == places);
        QCOMPARE(undo->count(), 3);

        // Moves then "取消": nothing changes, and the next showing starts afresh.
        fieldDialog([&] {
            pick("availableList", {"发件人姓名", "收件县"});
            QTest::mouseClick(d->findChild<QPushButton*>("includeButton"), Qt::LeftButton);
            QTest::mouseClick(d->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
        });
        QVERIFY(!d->isVisible());
        QVERIFY(surface()->fieldPlaces() == places);
        QStringList shown;
        fieldDialog([&] {
            shown = listTexts(d->findChild<QListWidget*>("chosenList"));
            QTest::mouseClick(d->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
        });
        QVERIFY(!shown.contains("发件人姓名"));
        QCOMPARE(shown.size(), 23);

        // Two shown, one more hidden; places kept; one step to undo.
        fieldDialog([&] {
            pick("availableList", {"发件人姓名", "收件县"});
            QTest::mouseClick(d->findChild<QPushButton*>("includeButton"), Qt::LeftButton);
            pick("chosenList", {"收件人单位"});
            QTest::mouseClick(d->findChild<QPushButton*>("excludeButton"), Qt::LeftButton);
            QTest::mouseClick(d->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        });
        QVERIFY(!control(1)->isHidden());
        QVERIFY(!control(16)->isHidden());
        QVERIFY(control(7)->isHidden());
        QVERIFY(control(8)->isHidden());
        for (int i = 0; i < places.size(); ++i) {
            QCOMPARE(surface()->fieldPlaces().at(i).left, places.at(i).left);
            QCOMPARE(surface()->fieldPlaces().at(i).top, places.at(i).top);
            QCOMPARE(surface()->fieldPlaces().at(i).width, places.at(i).width);
        }
        QCOMPARE(undo->count(), 4);
        page()->findChild<QAction*>("undoAction")->trigger();
        QVERIFY(surface()->fieldPlaces() == places);

        // ">>" shows all 26, "<<" hides all 26.
        fieldDialog([&] {
            QTest::mouseClick(d->findChild<QPushButton*>("includeAllButton"), Qt::LeftButton);
            QTest::mouseClick(d->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        });
        for (const FieldInfo& f : FieldCatalogue::all())
            QVERIFY2(!control(f.number)->isHidden(), qPrintable(f.key));
        fieldDialog([&] {
            QTest::mouseClick(d->findChild<QPushButton*>("excludeAllButton"), Qt::LeftButton);
            QTest::mouseClick(d->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        });
        for (const FieldInfo& f : FieldCatalogue::all())
            QVERIFY2(control(f.number)->isHidden(), qPrintable(f.key));
        QVERIFY(m_prompt->shown.isEmpty());
    }

    // "帮助" opens help.html at the dialog's section, or says why it cannot.
    void fieldSelectionHelp_data()
    {
        QTest::addColumn<QString>("help"); // "file", "none" or "folder"
        QTest::addColumn<bool>("opens");   // what the desktop answers
        QTest::addColumn<QString>("why");  // in the message; empty: none
        QTest::newRow("opened at its section") << "file" << true << "";
        QTest::newRow("no program for web pages") << "file" << false << "没有能显示网页的程序";
        QTest::newRow("no help file") << "none" << true << "帮助文件不存在";
        QTest::newRow("a folder in its place") << "folder" << true << "帮助文件无法读取";
    }
    void fieldSelectionHelp()
    {
        QFETCH(QString, help);
        QFETCH(bool, opens);
        QFETCH(QString, why);
        // The section is there in the help page the program comes with.
        QFile shipped(QStringLiteral(WAYLARK_HELP_PAGE));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        QVERIFY(shipped.readAll().contains("id=\"field-selection\""));
        const QString path = m_tmp->filePath("help.html");
        if (help == "file")
            QVERIFY(QFile::copy(QStringLiteral(WAYLARK_HELP_PAGE), path));
        else if (help == "folder")
            QVERIFY(QDir().mkpath(path));
        QVERIFY(startProgram());
        m_prompt->urlResult = opens;
        FieldSelectionDialog* d = fieldSelection();
        whileModal([&] {
            QTest::mouseClick(d->findChild<QPushButton*>("helpButton"), Qt::LeftButton);
            QTest::mouseClick(d->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
        });
        QTest::mouseClick(page()->findChild<QToolButton*>("fieldsButton"), Qt::LeftButton);
        if (help == "file") {
            QCOMPARE(m_prompt->urls.size(), 1);
            QCOMPARE(m_prompt->urls.at(0).toLocalFile(), QFileInfo(path).absoluteFilePath());
            QCOMPARE(m_prompt->urls.at(0).fragment(), QString("field-selection"));
        } else {
            QVERIFY(m_prompt->urls.isEmpty());
        }
        if (why.isEmpty()) {
            QVERIFY(m_prompt->messages().isEmpty());
        } else {
            QCOMPARE(m_prompt->messages().size(), 1);
            QVERIFY2(m_prompt->lastMessage().contains(why), qPrintable(m_prompt->lastMessage()));
        }
    }
};

QTEST_MAIN(TestModel)
#include "test_templateswindow.moc"
