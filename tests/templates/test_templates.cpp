#include "base/dataerror.h"
#include "data/dataset.h"
#include "templates/fieldcatalogue.h"
#include "templates/fieldfitstore.h"
#include "templates/fieldfontstore.h"
#include "templates/labelstore.h"
#include "templates/newdatabase.h"
#include "templates/pagesize.h"
#include "templates/templatedocument.h"
#include "templates/templaterows.h"
#include "templates/templatestore.h"
#include "tempworkdir.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUndoStack>
#include <QtTest>
#include <memory>
#include <optional>

namespace
{

// Every kind of value a template holds changed from the delivered one.
TemplateLayout changedEverywhere(TemplateLayout t)
{
    t.paper = QSize(1000, 1500);
    t.pictureName = QStringLiteral("other.bmp");
    t.picturePlace = QPoint(30, 20);
    t.offset = QPoint(-4, 7);
    t.printsPicture = !t.printsPicture;
    QFont print(QStringLiteral("DejaVu Serif"));
    print.setPointSizeF(13.5);
    print.setItalic(true);
    t.printFont = FieldFontStore::kept(print);
    QFont own(QStringLiteral("DejaVu Sans Mono"));
    own.setPointSize(7);
    own.setBold(true);
    t.fonts.insert(QStringLiteral("A_Name"), FieldFontStore::kept(own));
    own.setPointSize(20);
    t.fonts.insert(QStringLiteral("S_Address"), FieldFontStore::kept(own));
    for (int i = 0; i < t.fieldCount(); ++i) {
        TemplateField f = t.field(i);
        f.place += QPoint(i, 2 * i + 1);
        f.width = 50 + i;
        f.visible = i % 2 == 0;
        f.fit.fit = i % 3 == 0;
        f.fit.height = i % 4 == 0 ? 0 : 30 + i;
        if (i % 5 == 1) {
            f.fit.symbol = i % 2 ? FieldSymbol::Code128 : FieldSymbol::Qr;
            f.fit.moduleMm = 0.5;
            f.fit.barHeightMm = 12;
        }
        t.setField(i, f);
    }
    return t;
}

} // namespace

// The template document and its rows, on a real database file.
class TestTemplates : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempWorkDir> m_dir;
    std::unique_ptr<Dataset> m_tb;

    TemplateRows rows() { return TemplateRows(m_tb.get()); }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<TempWorkDir>();
        const QString path = m_dir->filePath(QStringLiteral("t.db"));
        NewDatabase::createDatabase(path);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("t"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        m_tb = std::make_unique<Dataset>(QStringLiteral("TB_Model"), QStringLiteral("t"));
        m_tb->setTableName(QStringLiteral("Exp_Model"));
        m_tb->open();
        QCOMPARE(m_tb->recordCount(), 1);
    }
    void cleanup()
    {
        m_tb.reset();
        QSqlDatabase::database(QStringLiteral("t"), false).close();
        QSqlDatabase::removeDatabase(QStringLiteral("t"));
        m_dir.reset();
    }

    void deliveredTemplateReads()
    {
        const TemplateLayout t = rows().loadCurrent();
        QCOMPARE(t.name, NewDatabase::templateName());
        QCOMPARE(t.pictureName, NewDatabase::pictureName());
        QCOMPARE(t.paper, QSize(2117, 1169));
        QCOMPARE(t.row, m_tb->bookmark());
        // Printed places count from the picture's corner, offsets added.
        const FieldInfo& name = *FieldCatalogue::byKey(QStringLiteral("A_Name"));
        QCOMPARE(t.designOffset(name),
                 t.field(name.number - 1).place + t.offset -
                     QPoint(FieldCatalogue::kImageLeft, FieldCatalogue::kImageTop));
    }

    void roundTripsUnchanged()
    {
        const TemplateLayout delivered = rows().loadCurrent();
        TemplateLayout made = changedEverywhere(delivered);
        made.name = QStringLiteral("新的");
        made.row = -1;
        const qint64 row = rows().create(made);
        made.row = row;
        QCOMPARE(rows().load(row), made);
        QCOMPARE(m_tb->recordCount(), 2);

        // Saved back over the delivered row: everything but its name.
        TemplateLayout again = made;
        again.name = delivered.name;
        again.row = delivered.row;
        rows().save(delivered.row, again);
        QCOMPARE(rows().load(delivered.row), again);
        // The other row and its fits are left alone.
        QCOMPARE(rows().load(row), made);
        // Fonts taken away go from the row too.
        rows().save(delivered.row, delivered);
        const TemplateLayout plain = rows().load(delivered.row);
        QVERIFY(!plain.printFont);
        QVERIFY(plain.fonts.isEmpty());
        QCOMPARE(rows().load(row).fonts, made.fonts);
    }

    // A fit that cannot be stored takes the row with it, and a save leaves
    // the row as it was.
    void storedWholeOrNotAtAll()
    {
        const TemplateLayout delivered = rows().loadCurrent();
        QSqlQuery q(QSqlDatabase::database(QStringLiteral("t")));
        QVERIFY(q.exec("CREATE TRIGGER full BEFORE INSERT ON Model_Field_Fit "
                       "BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
        TemplateLayout t = changedEverywhere(delivered);
        t.name = QStringLiteral("新的");
        QVERIFY_THROWS_EXCEPTION(DataError, rows().create(t));
        QCOMPARE(m_tb->recordCount(), 1);
        QVERIFY(q.exec("SELECT COUNT(*) FROM Exp_Model"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);

        QVERIFY_THROWS_EXCEPTION(DataError, rows().save(delivered.row, t));
        QCOMPARE(rows().load(delivered.row), delivered);
    }

    void renameAndRemoveCarryWhatIsKeptByName()
    {
        const qint64 first = rows().loadCurrent().row;
        TemplateLayout t = changedEverywhere(rows().loadCurrent());
        t.name = QStringLiteral("甲");
        const qint64 row = rows().create(t);
        rows().rename(row, QStringLiteral("乙"));
        const TemplateLayout renamed = rows().load(row);
        QCOMPARE(renamed.name, QStringLiteral("乙"));
        QCOMPARE(renamed.fits(), t.fits());
        QVERIFY(
            FieldFitStore::load(QSqlDatabase::database(QStringLiteral("t")), QStringLiteral("甲"))
                .isEmpty());

        rows().remove(row);
        QCOMPARE(m_tb->recordCount(), 1);
        QVERIFY(
            FieldFitStore::load(QSqlDatabase::database(QStringLiteral("t")), QStringLiteral("乙"))
                .isEmpty());
        QVERIFY(!LabelStore::printsPicture(QSqlDatabase::database(QStringLiteral("t")),
                                           QStringLiteral("乙")));
        QCOMPARE(rows().loadCurrent().row, first);
        QVERIFY_THROWS_EXCEPTION(DataError, rows().load(row));
        QVERIFY_THROWS_EXCEPTION(DataError, rows().rename(first, QStringLiteral(" \t")));
    }

    void pageSetupChangesOnlyThePage()
    {
        const TemplateLayout before = rows().loadCurrent();
        rows().setPage(before.row, PageValues{800, 600, 12, -3}, true);
        TemplateLayout want = before;
        want.paper = QSize(800, 600);
        want.offset = QPoint(12, -3);
        want.printsPicture = true;
        QCOMPARE(rows().load(before.row), want);
    }

    void offsetsInPlacesPrintTheSame()
    {
        TemplateLayout t = rows().loadCurrent();
        t.offset = QPoint(9, -5);
        const TemplateLayout baked = t.withOffsetsInPlaces();
        QCOMPARE(baked.offset, QPoint());
        for (const FieldInfo& f : FieldCatalogue::all())
            QCOMPARE(baked.designOffset(f), t.designOffset(f));
    }

    void editsUndoAndRedo_data()
    {
        QTest::addColumn<QPoint>("move");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("flipVisible");
        QTest::newRow("move") << QPoint(15, -6) << 0 << 0 << false;
        QTest::newRow("resize") << QPoint() << 33 << 40 << false;
        QTest::newRow("visibility") << QPoint() << 0 << 0 << true;
        QTest::newRow("all at once") << QPoint(1, 1) << 70 << 0 << true;
    }
    void editsUndoAndRedo()
    {
        QFETCH(QPoint, move);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, flipVisible);
        TemplateDocument doc;
        doc.reset(rows().loadCurrent());
        const TemplateLayout stored = doc.layout();
        QVERIFY(!doc.isModified());
        const int index = TemplateLayout::indexOf(QStringLiteral("A_Address"));
        QVector<int> changed;
        connect(&doc, &TemplateDocument::fieldChanged, this, [&](int i) { changed << i; });

        TemplateField f = doc.layout().field(index);
        f.place += move;
        if (width)
            f.width = width;
        f.fit.height = height;
        f.visible = flipVisible ? !f.visible : f.visible;
        doc.editField(index, f, QStringLiteral("改"));
        QCOMPARE(doc.layout().field(index), f);
        QCOMPARE(doc.undoStack()->count(), 1);
        QCOMPARE(doc.undoStack()->undoText(), QStringLiteral("改"));
        QVERIFY(doc.isModified());
        QCOMPARE(changed, QVector<int>{index});

        doc.undoStack()->undo();
        QCOMPARE(doc.layout(), stored);
        QVERIFY(!doc.isModified());
        doc.undoStack()->redo();
        QCOMPARE(doc.layout().field(index), f);
        QVERIFY(doc.isModified());
        QCOMPARE(changed.size(), 3);

        // The same state again is no edit.
        doc.editField(index, f, QStringLiteral("改"));
        QCOMPARE(doc.undoStack()->count(), 1);
    }

    void fitSwitchIsStoredAtOnceOrNotMade()
    {
        TemplateDocument doc;
        doc.reset(rows().loadCurrent());
        const int index = TemplateLayout::indexOf(QStringLiteral("A_Address"));
        bool storable = true;
        QVector<bool> stored;
        doc.setFitStore([&](int i, bool fit) {
            if (i == index && storable)
                stored << fit;
            return storable;
        });
        TemplateField f = doc.layout().field(index);
        f.fit.fit = true;
        doc.editField(index, f, QStringLiteral("适应框内"));
        QCOMPARE(stored, QVector<bool>{true});
        // Stored already: the switch alone leaves nothing unsaved.
        QVERIFY(!doc.isModified());
        doc.undoStack()->undo();
        QCOMPARE(stored, (QVector<bool>{true, false}));
        QVERIFY(!doc.layout().field(index).fit.fit);

        storable = false;
        doc.undoStack()->clear();
        doc.editField(index, f, QStringLiteral("适应框内"));
        QVERIFY(!doc.layout().field(index).fit.fit);
        QCOMPARE(doc.undoStack()->count(), 0);
    }

    void paperBoxes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number"); // -1: nothing typed
        QTest::newRow("four digits") << "2300" << 2300;
        QTest::newRow("three digits and a blank") << "230 " << 230;
        QTest::newRow("blanks only") << "    " << -1;
        QTest::newRow("a blank in between") << "2 3 " << 23;
        QTest::newRow("zero") << "0   " << 0;
    }
    void paperBoxes()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        const std::optional<int> n = TemplateStore::paperBoxNumber(text);
        QCOMPARE(n.has_value(), number >= 0);
        if (n)
            QCOMPARE(*n, number);
    }

    void blankNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("blank");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("blanks") << "  " << true;
        QTest::newRow("control characters") << "\x01\x1f " << true;
        QTest::newRow("blanks around a name") << " 甲 " << false;
        QTest::newRow("a full stop") << "." << false;
    }
    void blankNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, blank);
        QCOMPARE(TemplateStore::isBlankName(name), blank);
    }
};

QTEST_GUILESS_MAIN(TestTemplates)
#include "test_templates.moc"
