#include "waybill/carrier.h"
#include "waybill/waybillplan.h"
#include "waybill/waybillrules.h"

#include <QtTest>

class TestWaybill : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sfNext_data();
    void sfNext();
    void emsNext_data();
    void emsNext();
    void commonNext_data();
    void commonNext();
    void noSuccessor_data();
    void noSuccessor();
    void plan_data();
    void plan();
    void carrierOfTemplate_data();
    void carrierOfTemplate();
    void planFollowsCarrier_data();
    void planFollowsCarrier();
    void nextStart_data();
    void nextStart();
};

void TestWaybill::sfNext_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("next");

    QTest::newRow("k=11") << "123456789012"
                          << "123456789021";
    QTest::newRow("k=10 digit 0") << "123456789092"
                                  << "123456789108";
    QTest::newRow("k=10 digit 3") << "123456789392"
                                  << "123456789407";
    QTest::newRow("k=9 even") << "123456780992"
                              << "123456781005";
    QTest::newRow("k=9 odd") << "123456781992"
                             << "123456782004";
    QTest::newRow("k=8 digit 0") << "123456709992"
                                 << "123456710002";
    QTest::newRow("k=8 digit 1") << "123456719992"
                                 << "123456720001";
    QTest::newRow("k=7 digit 0") << "123456099992"
                                 << "123456100009";
    QTest::newRow("k=7 digit 1") << "123456199992"
                                 << "123456200008";
    QTest::newRow("k=6") << "123450999992"
                         << "123451000005";
    QTest::newRow("k=5 digit 3") << "123439999992"
                                 << "123440000000";
    QTest::newRow("k=5 digit 0") << "123409999992"
                                 << "123410000001";
    QTest::newRow("k=4 even") << "123099999992"
                              << "123100000007";
    QTest::newRow("k=4 odd") << "123199999992"
                             << "123200000006";
    QTest::newRow("leading zeros kept") << "000000000000"
                                        << "000000000019";
    // The other members of the table's grouped digits.
    QTest::newRow("k=10 digit 6") << "123456789692"
                                  << "123456789707";
    QTest::newRow("k=8 digit 6") << "123456769992"
                                 << "123456770002";
    QTest::newRow("k=5 digit 6") << "123469999992"
                                 << "123470000000";
}

void TestWaybill::sfNext()
{
    QFETCH(QString, current);
    QFETCH(QString, next);
    QCOMPARE(get_SfBill(current), next);
}

void TestWaybill::emsNext_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("next");

    QTest::newRow("plain") << "123456785"
                           << "123456799";
    QTest::newRow("carry") << "123456799"
                           << "123456808";
    QTest::newRow("r=1 gives 0") << "000000076"
                                 << "000000080";
    QTest::newRow("r=0 gives 5") << "000000147"
                                 << "000000155";
    QTest::newRow("leading zero kept") << "012345676"
                                       << "012345689";
}

void TestWaybill::emsNext()
{
    QFETCH(QString, current);
    QFETCH(QString, next);
    QCOMPARE(get_EmsBill(current), next);
}

void TestWaybill::commonNext_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<int>("increment");
    QTest::addColumn<QString>("next");

    QTest::newRow("step 5") << "1000" << 5 << "1005";
    QTest::newRow("leading zeros dropped") << "0007" << 1 << "8";
    QTest::newRow("step 0") << "1000" << 0 << "1000";
    QTest::newRow("up to the 64-bit limit") << "9223372036854775806" << 1 << "9223372036854775807";
}

void TestWaybill::commonNext()
{
    QFETCH(QString, current);
    QFETCH(int, increment);
    QFETCH(QString, next);
    QCOMPARE(get_CommonBill(current, increment), next);
}

// Numbers with no successor, and texts the rules cannot read, give empty text.
void TestWaybill::noSuccessor_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("current");

    QTest::newRow("SF k=3") << "sf"
                            << "123999999995";
    QTest::newRow("SF k=1") << "sf"
                            << "899999999990";
    QTest::newRow("SF serial all 9") << "sf"
                                     << "999999999999";
    QTest::newRow("SF 11 digits") << "sf"
                                  << "12345678901";
    QTest::newRow("SF with a letter") << "sf"
                                      << "12345678901A";
    QTest::newRow("EMS serial all 9") << "ems"
                                      << "999999990";
    QTest::newRow("EMS 10 digits") << "ems"
                                   << "1234567850";
    QTest::newRow("generic past 64 bits") << "common"
                                          << "9223372036854775807";
    QTest::newRow("generic beyond 64 bits") << "common"
                                            << "99999999999999999999";
    QTest::newRow("generic with a sign") << "common"
                                         << "-5";
    QTest::newRow("generic empty") << "common"
                                   << "";
}

void TestWaybill::noSuccessor()
{
    QFETCH(QString, rule);
    QFETCH(QString, current);
    const QString next = rule == QLatin1String("sf")    ? get_SfBill(current)
                         : rule == QLatin1String("ems") ? get_EmsBill(current)
                                                        : get_CommonBill(current, 1);
    QVERIFY2(next.isEmpty(), qPrintable(next));
}

namespace
{
const QString Sf = QStringLiteral("顺丰速运");
const QString Ems = QStringLiteral("邮政EMS");
const QString Other = QStringLiteral("圆通快递");

const QString SfStartText = QStringLiteral("输入错误,顺丰单号为12位连续数字,请重新输入！");
const QString EmsStartText =
    QStringLiteral("输入错误,EMS单号为9位连续数字(不含前后缀),请重新输入！");
const QString CommonStartText = QStringLiteral("起始单号为空或中间含有空格，请连续输入数字！");
const QString EmptyStepText = QStringLiteral("运单号增量不能为空！");
const QString BadStepText = QStringLiteral("运单号增量须为0到9之间的一位数字！");
const QString SfEndText = QStringLiteral("顺丰单号序列已到尽头，无法继续生成！");
const QString RangeText = QStringLiteral("运单号超出范围，无法为全部收件人生成！");
} // namespace

// message empty: the plan must succeed with exactly these numbers;
// otherwise it must be refused with that message and carry no numbers.
void TestWaybill::plan_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("step");
    QTest::addColumn<bool>("useAffix");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QString>("message");

    const QString none;
    QTest::newRow("EMS with prefix and suffix, trimmed")
        << Ems << " 123456785 "
        << "1" << true << " EA"
        << "CN " << 3 << QStringList{"EA123456785CN", "EA123456799CN", "EA123456808CN"} << none;
    QTest::newRow("affix off ignores typed affix")
        << Ems << "123456785"
        << "1" << false << "EA"
        << "CN" << 2 << QStringList{"123456785", "123456799"} << none;
    QTest::newRow("SF across a carry, step unused")
        << Sf << "123456789082"
        << "5" << false << ""
        << "" << 3 << QStringList{"123456789082", "123456789091", "123456789107"} << none;
    QTest::newRow("generic step 5")
        << Other << "1000"
        << "5" << true << "No."
        << "" << 3 << QStringList{"No.1000", "No.1005", "No.1010"} << none;
    QTest::newRow("generic leading zeros of the start")
        << Other << "0007"
        << " 1 " << false << ""
        << "" << 3 << QStringList{"0007", "8", "9"} << none;
    QTest::newRow("generic step 0 repeats the start")
        << Other << "0007"
        << "0" << false << ""
        << "" << 3 << QStringList{"0007", "0007", "0007"} << none;
    QTest::newRow("carrier names compare exactly")
        << QStringLiteral("邮政ems") << "123456785"
        << "1" << false << ""
        << "" << 2 << QStringList{"123456785", "123456786"} << none;
    QTest::newRow("empty table") << Sf << "123456789012"
                                 << "1" << false << ""
                                 << "" << 0 << QStringList() << none;

    QTest::newRow("SF 11 digits and a blank") << Sf << " 12345 678901"
                                              << "1" << false << ""
                                              << "" << 3 << QStringList() << SfStartText;
    QTest::newRow("SF 9 digits") << Sf << "123456785"
                                 << "1" << false << ""
                                 << "" << 3 << QStringList() << SfStartText;
    QTest::newRow("SF letter") << Sf << "12345678901A"
                               << "1" << false << ""
                               << "" << 3 << QStringList() << SfStartText;
    QTest::newRow("EMS 12 digits") << Ems << "123456789012"
                                   << "1" << false << ""
                                   << "" << 3 << QStringList() << EmsStartText;
    QTest::newRow("generic blank start") << Other << "   "
                                         << "1" << false << ""
                                         << "" << 3 << QStringList() << CommonStartText;
    QTest::newRow("generic inner blank") << Other << "10 00"
                                         << "1" << false << ""
                                         << "" << 3 << QStringList() << CommonStartText;
    QTest::newRow("empty increment comes first") << Other << "12 3"
                                                 << " " << false << ""
                                                 << "" << 3 << QStringList() << EmptyStepText;
    QTest::newRow("SF reads no increment") << Sf << "123"
                                           << " " << false << ""
                                           << "" << 3 << QStringList() << SfStartText;
    QTest::newRow("increment of two digits") << Other << "1000"
                                             << "12" << false << ""
                                             << "" << 3 << QStringList() << BadStepText;
    QTest::newRow("negative increment") << Other << "1000"
                                        << "-1" << false << ""
                                        << "" << 3 << QStringList() << BadStepText;

    // A series is refused only when a row actually needs the missing successor.
    QTest::newRow("SF last row before the end")
        << Sf << "123999999985"
        << "1" << false << ""
        << "" << 2 << QStringList{"123999999985", "123999999994"} << none;
    QTest::newRow("SF end of series") << Sf << "123999999985"
                                      << "1" << false << ""
                                      << "" << 3 << QStringList() << SfEndText;
    QTest::newRow("SF serial overflow") << Sf << "999999999985"
                                        << "1" << false << ""
                                        << "" << 3 << QStringList() << RangeText;
    QTest::newRow("EMS serial overflow") << Ems << "999999985"
                                         << "1" << true << "EA"
                                         << "CN" << 3 << QStringList() << RangeText;
    QTest::newRow("generic at the 64-bit limit")
        << Other << "9223372036854775806"
        << "1" << false << ""
        << "" << 2 << QStringList{"9223372036854775806", "9223372036854775807"} << none;
    QTest::newRow("generic past the 64-bit limit") << Other << "9223372036854775806"
                                                   << "1" << false << ""
                                                   << "" << 3 << QStringList() << RangeText;
    QTest::newRow("generic start beyond 64 bits, one row")
        << Other << "99999999999999999999"
        << "1" << false << ""
        << "" << 1 << QStringList{"99999999999999999999"} << none;
    QTest::newRow("generic start beyond 64 bits, two rows")
        << Other << "99999999999999999999"
        << "1" << false << ""
        << "" << 2 << QStringList() << RangeText;
}

void TestWaybill::plan()
{
    QFETCH(QString, model);
    QFETCH(QString, start);
    QFETCH(QString, step);
    QFETCH(bool, useAffix);
    QFETCH(QString, prefix);
    QFETCH(QString, suffix);
    QFETCH(int, rows);
    QFETCH(QStringList, numbers);
    QFETCH(QString, message);

    const WaybillPlan plan =
        planWaybills(WaybillRequest{model, start, step, useAffix, prefix, suffix}, rows);
    QCOMPARE(plan.message, message);
    QCOMPARE(plan.numbers, numbers);
    if (message.isEmpty()) {
        QVERIFY(plan.ok);
        QCOMPARE(plan.expName, model);
    } else {
        QVERIFY(!plan.ok);
        QVERIFY(plan.expName.isEmpty());
    }
}

void TestWaybill::carrierOfTemplate_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("stored"); // Carrier_Code, empty when none was chosen
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("ruleLine");
    QTest::addColumn<bool>("usesStep");

    const QString sfLine = QStringLiteral("编号规则：顺丰速运（末位为校验位）");
    const QString emsLine =
        QStringLiteral("编号规则：邮政EMS（9位数字，末位为校验位，加前后缀共13位）");
    // Without a choice the name decides, exactly as before.
    QTest::newRow("named SF") << Sf << ""
                              << "SF" << sfLine << false;
    QTest::newRow("named EMS") << Ems << ""
                               << "EMS" << emsLine << false;
    QTest::newRow("other name") << Other << ""
                                << "NONE" << QStringLiteral("编号规则：通用（按增量递增）") << true;
    QTest::newRow("name in another letter case")
        << QStringLiteral("邮政ems") << ""
        << "NONE" << QStringLiteral("编号规则：通用（按增量递增）") << true;
    // A chosen carrier wins over the name.
    QTest::newRow("SF chosen for another name") << Other << "SF"
                                                << "SF" << sfLine << false;
    QTest::newRow("plain carrier chosen for the SF name")
        << Sf << "ZTO"
        << "ZTO" << QStringLiteral("编号规则：中通快递（按增量递增）") << true;
    QTest::newRow("NONE chosen for the EMS name")
        << Ems << "NONE"
        << "NONE" << QStringLiteral("编号规则：通用（按增量递增）") << true;
    QTest::newRow("code in small letters") << Other << " ems "
                                           << "EMS" << emsLine << false;
    for (const char* code : {"YTO", "STO", "YUNDA", "JTSD"})
        QTest::newRow(code) << Other << code << code
                            << "编号规则：" + Carriers::byCode(code)->name + "（按增量递增）"
                            << true;
    // A code this program does not know (a later one's) falls back to the name.
    QTest::newRow("unknown stored code") << Sf << "DHL"
                                         << "SF" << sfLine << false;
}

void TestWaybill::carrierOfTemplate()
{
    QFETCH(QString, model);
    QFETCH(QString, stored);
    QFETCH(QString, code);
    QFETCH(QString, ruleLine);
    QFETCH(bool, usesStep);

    const Carrier& carrier = Carriers::forTemplate(model, stored);
    QCOMPARE(carrier.code, code);
    QCOMPARE(Carriers::ruleText(carrier), ruleLine);
    QCOMPARE(ruleUsesIncrement(carrier.rule), usesStep);
}

// The chosen carrier picks the rule; ExpName stays the template's name and
// the plan tells the last number without its affixes.
void TestWaybill::planFollowsCarrier_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("carrier");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("step");
    QTest::addColumn<QStringList>("numbers"); // with prefix "A" and suffix "Z"
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("message");

    const QString none;
    QTest::newRow("SF chosen for another name")
        << Other << "SF"
        << "123456789082"
        << "1" << QStringList{"A123456789082Z", "A123456789091Z", "A123456789107Z"}
        << "123456789107" << none;
    QTest::newRow("SF ignores an empty increment")
        << Other << "SF"
        << "123456789082"
        << "" << QStringList{"A123456789082Z", "A123456789091Z", "A123456789107Z"} << "123456789107"
        << none;
    QTest::newRow("EMS ignores a wrong increment")
        << Other << "EMS"
        << "123456785"
        << "x" << QStringList{"A123456785Z", "A123456799Z", "A123456808Z"} << "123456808" << none;
    QTest::newRow("plain carrier on the SF name")
        << Sf << "YTO"
        << "1000"
        << "5" << QStringList{"A1000Z", "A1005Z", "A1010Z"} << "1010" << none;
    QTest::newRow("plain carrier needs its increment")
        << Sf << "ZTO"
        << "1000"
        << "" << QStringList() << QString() << EmptyStepText;
    QTest::newRow("SF chosen refuses a short start")
        << Other << "SF"
        << "1000"
        << "1" << QStringList() << QString() << SfStartText;
}

void TestWaybill::planFollowsCarrier()
{
    QFETCH(QString, model);
    QFETCH(QString, carrier);
    QFETCH(QString, start);
    QFETCH(QString, step);
    QFETCH(QStringList, numbers);
    QFETCH(QString, last);
    QFETCH(QString, message);

    const WaybillPlan plan =
        planWaybills(WaybillRequest{model, start, step, true, "A", "Z", carrier}, 3);
    QCOMPARE(plan.message, message);
    QCOMPARE(plan.numbers, numbers);
    QCOMPARE(plan.lastNumber, last);
    QCOMPARE(plan.expName, message.isEmpty() ? model : QString());
}

void TestWaybill::nextStart_data()
{
    QTest::addColumn<int>("rule");
    QTest::addColumn<QString>("last");
    QTest::addColumn<int>("increment");
    QTest::addColumn<QString>("next");

    QTest::newRow("SF") << int(WaybillRule::Sf) << "123456789107" << 5 << "123456789116";
    QTest::newRow("EMS") << int(WaybillRule::Ems) << "123456808" << 1 << "123456811";
    QTest::newRow("plain with its increment") << int(WaybillRule::Common) << "1010" << 5 << "1015";
    // A new series never starts on the number the last one ended with.
    QTest::newRow("plain after increment 0") << int(WaybillRule::Common) << "42" << 0 << "43";
    QTest::newRow("SF number of the wrong length")
        << int(WaybillRule::Sf) << "1010" << 1 << QString();
    QTest::newRow("EMS at the end of its serials")
        << int(WaybillRule::Ems) << "999999993" << 1 << QString();
    QTest::newRow("plain at the 64-bit limit")
        << int(WaybillRule::Common) << "9223372036854775807" << 1 << QString();
}

void TestWaybill::nextStart()
{
    QFETCH(int, rule);
    QFETCH(QString, last);
    QFETCH(int, increment);
    QFETCH(QString, next);
    QCOMPARE(nextStartAfter(WaybillRule(rule), last, increment), next);
}

QTEST_GUILESS_MAIN(TestWaybill)
#include "test_waybill.moc"
