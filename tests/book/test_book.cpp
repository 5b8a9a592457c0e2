// The recipient rules without a window: the one write path, typed numbers,
// a row's order numbers.
#include "base/dataerror.h"
#include "base/session.h"
#include "book/contactnumbers.h"
#include "book/ordernumbers.h"
#include "book/recipientrows.h"
#include "data/datamodule.h"
#include "data/dataset.h"
#include "freshdatabase.h"
#include "scriptedprompt.h"
#include "tempworkdir.h"

#include <QGuiApplication>
#include <QSqlQuery>
#include <QtTest>

class TestBook : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempWorkDir> m_tmp;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<DataModule> m_dm;
    Session m_session;

    bool exec(const QString& sql)
    {
        QSqlQuery q(m_dm->database());
        return q.exec(sql);
    }

    QStringList namesInFile()
    {
        QSqlQuery q(m_dm->database());
        q.exec(QStringLiteral("SELECT Name FROM Exp_Att_Info ORDER BY rowid"));
        QStringList out;
        while (q.next())
            out << q.value(0).toString();
        return out;
    }

private Q_SLOTS:
    void init()
    {
        m_tmp = std::make_unique<TempWorkDir>();
        m_prompt = std::make_unique<ScriptedPrompt>();
        QString error;
        m_dm = openFreshDataModule(m_tmp->path(), &m_session, &error);
        QVERIFY2(m_dm, qPrintable(error));
    }
    void cleanup()
    {
        m_dm.reset();
        m_prompt.reset();
        m_tmp.reset();
    }

    void emptyingIsAllOrNothing()
    {
        QVERIFY(exec("CREATE TRIGGER keep BEFORE DELETE ON Exp_Att_Info "
                     "WHEN old.Name = '乙' BEGIN SELECT RAISE(ABORT, 'kept'); END"));
        Dataset* att = m_dm->recipients;
        RecipientRows rows(att);
        for (const char* name : {"甲", "乙", "丙"})
            rows.append({{QStringLiteral("Name"), QString::fromUtf8(name)}});
        QVERIFY_THROWS_EXCEPTION(DataError, RecipientRows(att).empty());
        QCOMPARE(namesInFile(), QStringList({"甲", "乙", "丙"}));
        QCOMPARE(att->recordCount(), 3);
    }

    void typedNumbers_data()
    {
        QTest::addColumn<QString>("mobile");
        QTest::addColumn<QString>("postcode");
        QTest::addColumn<QString>("problem");
        const QString mobileTold =
            QStringLiteral("手机号码“%1”不正确：手机号码应为以1开头的11位数字。");
        QTest::newRow("both good") << "13912345678"
                                   << "510000" << QString();
        QTest::newRow("none given") << ""
                                    << "" << QString();
        QTest::newRow("mobile partly typed") << "139123"
                                             << "" << mobileTold.arg("139123");
        QTest::newRow("mobile not beginning with 1") << "23912345678"
                                                     << "" << mobileTold.arg("23912345678");
        QTest::newRow("mobile too long") << "139123456789"
                                         << "" << mobileTold.arg("139123456789");
        QTest::newRow("postcode partly typed")
            << ""
            << "51" << QStringLiteral("邮编“51”不正确：邮编应为6位数字。");
        QTest::newRow("postcode with a letter")
            << ""
            << "51000A" << QStringLiteral("邮编“51000A”不正确：邮编应为6位数字。");
    }
    void typedNumbers()
    {
        QFETCH(QString, mobile);
        QFETCH(QString, postcode);
        QFETCH(QString, problem);
        QCOMPARE(mobileNumberProblem(mobile) + postCodeProblem(postcode), problem);
    }

    void orderNumbersOfARow_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("numbers");
        QTest::newRow("one") << "T1" << QStringList{"T1"};
        QTest::newRow("separators")
            << "T1, T2；T3;T4，T5 T6、T7" << QStringList{"T1", "T2", "T3", "T4", "T5", "T6", "T7"};
        QTest::newRow("repeats and blanks") << ",T2,,T1,T2, " << QStringList{"T2", "T1"};
        QTest::newRow("nothing") << "" << QStringList{};
    }
    void orderNumbersOfARow()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, numbers);
        QCOMPARE(OrderNumbers::split(text), numbers);
        QCOMPARE(OrderNumbers::split(OrderNumbers::join(numbers)), numbers);
    }

    // Numbers already in the table, or earlier in the same batch, are known.
    void newOrderNumbersOnly()
    {
        Dataset* att = m_dm->recipients;
        RecipientRows(att).append({{QStringLiteral("Name"), QStringLiteral("甲")},
                                   {QStringLiteral("Order_No"), QStringLiteral("T1,T2")}});
        QSet<QString> known = OrderNumbers::inTable(att);
        QCOMPARE(known, QSet<QString>({"T1", "T2"}));
        int present = 0;
        QCOMPARE(OrderNumbers::takeNew({"T2", "T3"}, &known, &present), QStringList{"T3"});
        QCOMPARE(OrderNumbers::takeNew({"T3", "T1", "T4"}, &known, &present), QStringList{"T4"});
        QCOMPARE(present, 3);
    }
};

QTEST_MAIN(TestBook)
#include "test_book.moc"
