#include "templates/templatestore.h"

#include <QtTest>
#include <optional>

// The template store's rules on what is typed, without a window.
class TestTemplates : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
