#include "address/addressparser.h"
#include "book/addresscheck.h"

#include <QtTest>

using Verdict = ParsedAddress::Verdict;
Q_DECLARE_METATYPE(Verdict)

class TestAddress : public QObject
{
    Q_OBJECT
    std::unique_ptr<AddressParser> parser;

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        parser = AddressParser::fromDeliveredRegions(&error);
        QVERIFY2(parser, qPrintable(error));
    }

    void wholeText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>(
            "expected"); // name, mobile, landline, prov, city, district, detail, postcode
        QTest::addColumn<Verdict>("verdict");
        const QString hz = QStringLiteral("浙江省");
        QTest::newRow("blank separated")
            << QStringLiteral("张三 13800138000 浙江省杭州市西湖区文三路100号")
            << QStringList{QStringLiteral("张三"),
                           QStringLiteral("13800138000"),
                           {},
                           hz,
                           QStringLiteral("杭州市"),
                           QStringLiteral("西湖区"),
                           QStringLiteral("文三路100号"),
                           {}}
            << Verdict::Sure;
        QTest::newRow("labels on lines, any order")
            << QStringLiteral(
                   "详细地址：文三路100号\n手机号码：+86 138-0013-8000\n收货人：欧阳娜娜\n"
                   "所在地区：浙江省 杭州市 西湖区\n邮编：310012")
            << QStringList{QStringLiteral("欧阳娜娜"),
                           QStringLiteral("13800138000"),
                           {},
                           hz,
                           QStringLiteral("杭州市"),
                           QStringLiteral("西湖区"),
                           QStringLiteral("文三路100号"),
                           QStringLiteral("310012")}
            << Verdict::Sure;
        QTest::newRow("short forms, full-width commas, name last")
            << QStringLiteral("浙江杭州西湖区文三路100号，0086 13800138000，王先生")
            << QStringList{QStringLiteral("王先生"),
                           QStringLiteral("13800138000"),
                           {},
                           hz,
                           QStringLiteral("杭州市"),
                           QStringLiteral("西湖区"),
                           QStringLiteral("文三路100号"),
                           {}}
            << Verdict::Sure;
        QTest::newRow("autonomous region short, landline with extension")
            << QStringLiteral("广西南宁市青秀区民族大道1号/李四/0771-88886666转123/530000")
            << QStringList{QStringLiteral("李四"),
                           {},
                           QStringLiteral("0771-88886666转123"),
                           QStringLiteral("广西壮族自治区"),
                           QStringLiteral("南宁市"),
                           QStringLiteral("青秀区"),
                           QStringLiteral("民族大道1号"),
                           QStringLiteral("530000")}
            << Verdict::Sure;
        QTest::newRow("municipality and its district, name glued")
            << QStringLiteral("赵六北京朝阳区建国路88号 13912345678")
            << QStringList{QStringLiteral("赵六"),
                           QStringLiteral("13912345678"),
                           {},
                           QStringLiteral("北京市"),
                           QStringLiteral("北京市"),
                           QStringLiteral("朝阳区"),
                           QStringLiteral("建国路88号"),
                           {}}
            << Verdict::Sure;
        QTest::newRow("county-level city without its city")
            << QStringLiteral("浙江义乌市稠州北路1号 钱七 13700000000")
            << QStringList{QStringLiteral("钱七"),
                           QStringLiteral("13700000000"),
                           {},
                           hz,
                           QStringLiteral("金华市"),
                           QStringLiteral("义乌市"),
                           QStringLiteral("稠州北路1号"),
                           {}}
            << Verdict::Sure;
        QTest::newRow("city and district, province implied")
            << QStringLiteral("南京市鼓楼区中山路1号")
            << QStringList{{},
                           {},
                           {},
                           QStringLiteral("江苏省"),
                           QStringLiteral("南京市"),
                           QStringLiteral("鼓楼区"),
                           QStringLiteral("中山路1号"),
                           {}}
            << Verdict::Sure;
        QTest::newRow("district unique in the country")
            << QStringLiteral("余杭区五常大道1号") << QStringList{{},
                                                                  {},
                                                                  {},
                                                                  hz,
                                                                  QStringLiteral("杭州市"),
                                                                  QStringLiteral("余杭区"),
                                                                  QStringLiteral("五常大道1号"),
                                                                  {}}
            << Verdict::Sure;
        QTest::newRow("district under several cities")
            << QStringLiteral("鼓楼区中山路1号") << QStringList{{},
                                                                {},
                                                                {},
                                                                {},
                                                                {},
                                                                QStringLiteral("鼓楼区"),
                                                                QStringLiteral("中山路1号"),
                                                                {}}
            << Verdict::Ambiguous;
        QTest::newRow("province and city that do not belong together")
            << QStringLiteral("浙江省南京市鼓楼区中山路1号")
            << QStringList{{}, {}, {}, {}, {}, {}, QStringLiteral("南京市鼓楼区中山路1号"), {}}
            << Verdict::Ambiguous;
        QTest::newRow("no region") << QStringLiteral("张三 13800138000 文三路100号")
                                   << QStringList{QStringLiteral("张三"),
                                                  QStringLiteral("13800138000"),
                                                  {},
                                                  {},
                                                  {},
                                                  {},
                                                  QStringLiteral("文三路100号"),
                                                  {}}
                                   << Verdict::NotRecognised;
        QTest::newRow("empty") << QString() << QStringList(8, QString()) << Verdict::NotRecognised;
    }
    void wholeText()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QFETCH(Verdict, verdict);
        const ParsedAddress a = parser->parse(text);
        const QStringList got{a.name, a.mobile,   a.landline, a.province,
                              a.city, a.district, a.detail,   a.postcode};
        if (verdict == Verdict::Ambiguous && expected.at(5).isEmpty())
            expected[6] = a.detail; // the reading kept is either one
        QCOMPARE(got, expected);
        QCOMPARE(a.verdict, verdict);
    }

    // With the province or city named, a district name shared by several
    // cities is decided; alone it is offered with every city holding it.
    void sharedDistrictNames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("city");
        QTest::addColumn<int>("candidates");
        QTest::newRow("with city")
            << QStringLiteral("福州鼓楼区五四路1号") << QStringLiteral("福州市") << 0;
        QTest::newRow("with province, two cities")
            << QStringLiteral("江苏省鼓楼区") << QString() << 2;
        QTest::newRow("with province, one city")
            << QStringLiteral("吉林省朝阳区") << QStringLiteral("长春市") << 0;
        QTest::newRow("alone") << QStringLiteral("朝阳区 张三") << QString() << 2;
    }
    void sharedDistrictNames()
    {
        QFETCH(QString, text);
        QFETCH(QString, city);
        QFETCH(int, candidates);
        const ParsedAddress a = parser->parse(text);
        QCOMPARE(a.city, city);
        QCOMPARE(a.candidates.size(), qsizetype(candidates));
        QCOMPARE(a.verdict, candidates ? Verdict::Ambiguous : Verdict::Sure);
        for (const RegionChoice& c : a.candidates)
            QVERIFY(parser->regionsBelongTogether(c.province, c.city, c.district));
    }

    void formerNames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("city");
        QTest::addColumn<QString>("district");
        QTest::addColumn<QString>("former");
        QTest::newRow("merged district")
            << QStringLiteral("浙江宁波江东区百丈路1号") << QStringLiteral("宁波市")
            << QStringLiteral("鄞州区") << QStringLiteral("江东区");
        QTest::newRow("renamed city")
            << QStringLiteral("湖北省襄樊市樊城区人民路1号") << QStringLiteral("襄阳市")
            << QStringLiteral("樊城区") << QStringLiteral("襄樊市");
        QTest::newRow("today's name")
            << QStringLiteral("湖北襄阳樊城区人民路1号") << QStringLiteral("襄阳市")
            << QStringLiteral("樊城区") << QString();
    }
    void formerNames()
    {
        QFETCH(QString, text);
        QFETCH(QString, city);
        QFETCH(QString, district);
        QFETCH(QString, former);
        const ParsedAddress a = parser->parse(text);
        QCOMPARE(a.verdict, Verdict::Sure);
        QCOMPARE(a.city, city);
        QCOMPARE(a.district, district);
        QCOMPARE(a.formerName, former);
        QVERIFY(a.detail.endsWith(QStringLiteral("路1号")));
    }

    // Places inside street names, names that start like a place, districts
    // that start like a street: each read as a person would.
    void lookAlikes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("district");
        QTest::addColumn<QString>("detail");
        QTest::newRow("place in the street")
            << QStringLiteral("西藏拉萨城关区北京中路1号 扎西") << QStringLiteral("扎西")
            << QStringLiteral("城关区") << QStringLiteral("北京中路1号");
        QTest::newRow("surname like a city")
            << QStringLiteral("东方伟 湖南长沙岳麓区麓山路1号") << QStringLiteral("东方伟")
            << QStringLiteral("岳麓区") << QStringLiteral("麓山路1号");
        QTest::newRow("district like a road")
            << QStringLiteral("浙江台州路桥区学院路1号") << QString() << QStringLiteral("路桥区")
            << QStringLiteral("学院路1号");
        QTest::newRow("prefecture as 州")
            << QStringLiteral("甘孜州康定市炉城镇1号") << QString() << QStringLiteral("康定市")
            << QStringLiteral("炉城镇1号");
        QTest::newRow("city without districts")
            << QStringLiteral("广东省东莞市光明街1号") << QString() << QStringLiteral("东莞市")
            << QStringLiteral("光明街1号");
    }
    void lookAlikes()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(QString, district);
        QFETCH(QString, detail);
        const ParsedAddress a = parser->parse(text);
        QCOMPARE(a.verdict, Verdict::Sure);
        QCOMPARE(a.name, name);
        QCOMPARE(a.district, district);
        QCOMPARE(a.detail, detail);
    }

    void belongTogether()
    {
        QVERIFY(parser->regionsBelongTogether(QStringLiteral("浙江省"), QStringLiteral("杭州市"),
                                              QStringLiteral("西湖区")));
        QVERIFY(!parser->regionsBelongTogether(QStringLiteral("江苏省"), QStringLiteral("杭州市"),
                                               QStringLiteral("西湖区")));
        QVERIFY(!parser->regionsBelongTogether(QStringLiteral("浙江省"), QStringLiteral("杭州市"),
                                               QStringLiteral("鼓楼区")));
        QVERIFY(!parser->regionsBelongTogether(QStringLiteral("浙江省"), QStringLiteral("杭州市"),
                                               QString()));
    }

    // What a recipient row needs checked: each rule, what counts as not
    // typed, and several reasons at once.
    void checkReasons_data()
    {
        QTest::addColumn<QStringList>(
            "values"); // province, city, district, mobile, phone, post code
        QTest::addColumn<QStringList>("reasons");
        const QString zj = QStringLiteral("浙江省"), hz = QStringLiteral("杭州市");
        const QString xh = QStringLiteral("西湖区"), mobile = QStringLiteral("13800138000");
        const QString region = QStringLiteral("省市区不匹配");
        const QString badMobile = QStringLiteral("手机号不是11位");
        const QString badPost = QStringLiteral("邮编不是6位");
        QTest::newRow("all good") << QStringList{zj, hz, xh, mobile, {}, "310000"} << QStringList{};
        QTest::newRow("nothing typed but a mobile")
            << QStringList{{}, {}, {}, mobile, {}, {}} << QStringList{};
        QTest::newRow("landline only")
            << QStringList{{}, {}, {}, {}, "0571-88886666", {}} << QStringList{};
        QTest::newRow("no number at all")
            << QStringList{zj, hz, xh, {}, {}, {}} << QStringList{badMobile};
        QTest::newRow("district of another city")
            << QStringList{zj, hz, QStringLiteral("鼓楼区"), mobile, {}, {}} << QStringList{region};
        QTest::newRow("city of another province")
            << QStringList{QStringLiteral("江苏省"), hz, xh, mobile, {}, {}} << QStringList{region};
        QTest::newRow("province only")
            << QStringList{zj, {}, {}, mobile, {}, {}} << QStringList{region};
        QTest::newRow("blanks around the names")
            << QStringList{" 浙江省", "杭州市 ", " 西湖区 ", " 13800138000 ", {}, " 310000"}
            << QStringList{};
        QTest::newRow("mobile of 10 digits")
            << QStringList{{}, {}, {}, "1380013800", {}, {}} << QStringList{badMobile};
        QTest::newRow("mobile not beginning with 1, despite a landline")
            << QStringList{{}, {}, {}, "23800138000", "0571-88886666", {}}
            << QStringList{badMobile};
        QTest::newRow("post code of 5 digits")
            << QStringList{{}, {}, {}, mobile, {}, "31000"} << QStringList{badPost};
        QTest::newRow("post code with a letter")
            << QStringList{{}, {}, {}, mobile, {}, "31000A"} << QStringList{badPost};
        QTest::newRow("everything wrong")
            << QStringList{QStringLiteral("火星"), hz, xh, "138", {}, "1"}
            << QStringList{region, badMobile, badPost};
    }
    void checkReasons()
    {
        QFETCH(QStringList, values);
        QFETCH(QStringList, reasons);
        const AddressCheckValues v{values.at(0), values.at(1), values.at(2),
                                   values.at(3), values.at(4), values.at(5)};
        QCOMPARE(addressCheckReasons(parser.get(), v), reasons);
        // Without the region tables only the numbers are checked.
        QStringList numbersOnly = reasons;
        numbersOnly.removeAll(QStringLiteral("省市区不匹配"));
        QCOMPARE(addressCheckReasons(nullptr, v), numbersOnly);
    }

    // Whatever the bytes, the parser answers and keeps every letter it did
    // not take as a name or number.
    void hostileText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("digits only") << QStringLiteral("1 2 3 4 5 6 7 8 9 0 - - 转 +");
        QTest::newRow("labels only")
            << QStringLiteral("收货人：手机号码：所在地区：详细地址：邮编");
        QTest::newRow("control") << QString::fromUtf16(u"\u0001\u0002浙\u0000江");
        QTest::newRow("long") << QStringLiteral("浙江省杭州市").repeated(500);
    }
    void hostileText()
    {
        QFETCH(QString, text);
        const ParsedAddress a = parser->parse(text);
        QVERIFY(a.mobile.isEmpty() || a.mobile.size() == 11);
    }
};

QTEST_GUILESS_MAIN(TestAddress)
#include "test_address.moc"
