// The .xls reader on real workbooks and on damaged ones: every cell comes
// through whole, and every damage is refused with its reason.
#include "excel/celltext.h"
#include "excel/workbookreader.h"
#include "excel/xlsreader.h"

#include "tempworkdir.h"

#include <QFile>
#include <QtEndian>
#include <QtTest>

namespace
{

QString fixture(const QString& name)
{
    return QStringLiteral(WAYLARK_TEST_DATA "/excel/") + name;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// Every cell of every sheet, row by row, tab-separated, so that two
// workbooks compare in one go and a difference shows where it is.
QStringList allCells(WorkbookReader& reader)
{
    QStringList lines;
    for (int s = 0; s < reader.sheetNames().size(); ++s) {
        QString error;
        if (!reader.selectSheet(s, &error))
            return {error};
        const UsedRange range = reader.usedRange();
        lines.append(QStringLiteral("%1 rows %2-%3 columns %4-%5")
                         .arg(reader.sheetNames().at(s))
                         .arg(range.firstRow)
                         .arg(range.lastRow())
                         .arg(range.firstColumn)
                         .arg(range.lastColumn()));
        for (int row = 1; row <= range.lastRow(); ++row) {
            QStringList cells;
            for (int column = 1; column <= range.lastColumn(); ++column)
                cells.append(reader.cellText(row, column));
            lines.append(cells.join(QLatin1Char('\t')));
        }
    }
    return lines;
}

// The text of the long cell in long_text.xls, made as make_xls_faults.py
// makes it: 4,200 characters of Chinese and ASCII.
QString longText()
{
    QString text;
    for (int i = 1; text.size() < 4200; ++i)
        text += QStringLiteral("第%1段：北京市海淀区中关村大街%1号 Building %1 Room %2；")
                    .arg(i)
                    .arg(i * 7);
    return text.left(4200);
}

void put32(QByteArray* bytes, qsizetype at, quint32 value)
{
    qToLittleEndian<quint32>(value, bytes->data() + at);
}

// small.xls, laid out as make_xls_faults.py describes: 512-byte sectors,
// sector 0 the allocation table, 2 the directory; the "Workbook" stream lies
// unbroken in the file from byte 2112 on, 1518 bytes long.
const qsizetype kSmallStream = 2112;
const qsizetype kSmallStreamSize = 1518;

// Where the records of TYPE begin in small.xls.
QList<qsizetype> smallRecords(const QByteArray& file, quint16 type)
{
    QList<qsizetype> found;
    for (qsizetype pos = kSmallStream; pos + 4 <= kSmallStream + kSmallStreamSize;) {
        const quint16 kind = qFromLittleEndian<quint16>(file.constData() + pos);
        const quint16 length = qFromLittleEndian<quint16>(file.constData() + pos + 2);
        if (kind == type)
            found.append(pos);
        pos += 4 + length;
    }
    return found;
}

// small.xls grown to COUNT allocation-table sectors, more than the header's
// 109 places hold, so that the rest come from index (DIFAT) sectors. The new
// sectors follow the old ones; the first index sector is sector 7 and points
// on to NEXT.
QByteArray smallWithIndex(quint32 next)
{
    QByteArray file = readAll(fixture(QStringLiteral("small.xls")));
    const int count = 240;
    file.append(QByteArray(512 * (count + 1), '\xFF'));
    put32(&file, 0x2C, count);
    put32(&file, 0x44, 7);
    put32(&file, 0x48, 2);
    const qsizetype index = 8 * 512;
    for (int i = 0; i < 127; ++i)
        put32(&file, index + 4 * i, 0); // any whole sector will do
    put32(&file, index + 4 * 127, next);
    return file;
}

} // namespace

class TestXls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matchesXlsx();
    void manyStringsComeWhole();
    void longCellComesWhole();
    void elapsedTimeFormats_data();
    void elapsedTimeFormats();
    void numberFormatText_data();
    void numberFormatText();
    void numberFormatsOfAWriter_data();
    void numberFormatsOfAWriter();
    void damagedFilesRefused_data();
    void damagedFilesRefused();
};

// LibreOffice wrote the same four sheets as .xls and as .xlsx; the two
// readers share nothing but the cell text rules, so they must agree on every
// cell.
void TestXls::matchesXlsx()
{
    QString error;
    const auto xls = WorkbookReader::open(fixture(QStringLiteral("recipients.xls")), &error);
    QVERIFY2(xls, qPrintable(error));
    const auto xlsx = WorkbookReader::open(fixture(QStringLiteral("recipients.xlsx")), &error);
    QVERIFY2(xlsx, qPrintable(error));
    QCOMPARE(xls->sheetNames(), xlsx->sheetNames());
    const QStringList cells = allCells(*xls);
    QCOMPARE(cells, allCells(*xlsx));
    QVERIFY(cells.size() > 20);
}

// Shared strings that run over several CONTINUE records, split in 8-bit and
// in 16-bit characters.
void TestXls::manyStringsComeWhole()
{
    QString error;
    const auto reader = WorkbookReader::open(fixture(QStringLiteral("many_strings.xls")), &error);
    QVERIFY2(reader, qPrintable(error));
    QStringList expected{QStringLiteral("Sheet1 rows 1-251 columns 1-2"),
                         QStringLiteral("编号文本\t说明")};
    for (int i = 1; i <= 250; ++i)
        expected.append(
            QStringLiteral("第%1行：收件人地址北京市海淀区\tplain ascii text number %1").arg(i));
    QStringList cells = allCells(*reader);
    QVERIFY(!cells.isEmpty());
    cells[0].replace(reader->sheetNames().value(0), QStringLiteral("Sheet1"));
    QCOMPARE(cells, expected);
}

// One cell of 4,200 characters, mixed Chinese and ASCII, as LibreOffice
// writes it; the shared strings and numbers beside it come too.
void TestXls::longCellComesWhole()
{
    QString error;
    const auto reader = WorkbookReader::open(fixture(QStringLiteral("long_text.xls")), &error);
    QVERIFY2(reader, qPrintable(error));
    QVERIFY(reader->selectSheet(0, &error));
    const QStringList titles = {reader->cellText(1, 1), reader->cellText(1, 2),
                                reader->cellText(1, 3)};
    QCOMPARE(titles,
             (QStringList{QStringLiteral("姓名"), QStringLiteral("手机"), QStringLiteral("备注")}));
    QCOMPARE(reader->cellText(2, 1), QStringLiteral("张三"));
    QCOMPARE(reader->cellText(2, 2), QStringLiteral("13812345678"));
    const QString text = reader->cellText(2, 3);
    QCOMPARE(text.size(), 4200);
    QCOMPARE(text, longText());
}

void TestXls::elapsedTimeFormats_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::newRow("[h]:mm:ss, a day and a half") << 2 << 1 << "36:00:00";
    QTest::newRow("[h]") << 2 << 2 << "36";
    QTest::newRow("[mm]:ss") << 2 << 3 << "36:00";
    QTest::newRow("hh:mm:ss past a day is the time of day") << 2 << 4 << "12:00:00";
    QTest::newRow("[h]:mm:ss, a quarter day") << 3 << 1 << "06:00:00";
    QTest::newRow("[mm]:ss, a quarter day") << 3 << 3 << "360:00";
    QTest::newRow("hh:mm:ss within a day") << 3 << 4 << "06:00:00";
}

// Elapsed-time formats as LibreOffice writes them into an .xls: only the
// bracketed ones count past a day.
void TestXls::elapsedTimeFormats()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    QString error;
    const auto reader = WorkbookReader::open(fixture(QStringLiteral("elapsed_time.xls")), &error);
    QVERIFY2(reader, qPrintable(error));
    QVERIFY(reader->selectSheet(0, &error));
    QCOMPARE(reader->cellText(row, column), text);
}

void TestXls::numberFormatText_data()
{
    // FORMAT is a format code, or "#" and a built-in format's number.
    QTest::addColumn<QString>("format");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    const double afternoon = (16 * 3600 + 17 * 60 + 45) / 86400.0; // 16:17:45

    QTest::newRow("postcode, 000000") << "000000" << 10010.0 << "010010";
    QTest::newRow("mobile, 0") << "0" << 13800138000.0 << "13800138000";
    QTest::newRow("18 digits keep 15") << "0" << 123456789012345678.0 << "123456789012346000";
    QTest::newRow("two decimals") << "0.00" << 12.5 << "12.50";
    QTest::newRow("rounds the shown digits, not the binary value") << "0.00" << 2.675 << "2.68";
    QTest::newRow("carry into a new digit") << "0.0" << 9.96 << "10.0";
    QTest::newRow("rounds up to the last decimal") << "0.00" << 0.006 << "0.01";
    QTest::newRow("negative zero has no sign") << "0.00" << -0.001 << "0.00";
    QTest::newRow("grouping") << "#,##0.00" << 1234567.891 << "1,234,567.89";
    QTest::newRow("negative grouping") << "#,##0" << -1234.5 << "-1,235";
    QTest::newRow("optional decimals") << "0.0#" << 3.14159 << "3.14";
    QTest::newRow("optional decimals of a whole") << "0.0#" << 3.0 << "3.0";
    QTest::newRow("no leading zero") << "#.##" << 0.5 << ".5";
    QTest::newRow("colour") << "[Red]000000" << 10010.0 << "010010";
    QTest::newRow("own negative section") << "000000;-000000" << -5.0 << "-5";
    QTest::newRow("text around digits is General") << "0\"元\"" << 5.0 << "5";
    QTest::newRow("General") << "General" << 0.30000000000000004 << "0.3";
    QTest::newRow("text format") << "@" << 42.0 << "42";
    QTest::newRow("built-in 0") << "#1" << 13800138000.0 << "13800138000";
    QTest::newRow("built-in 0.00") << "#2" << 12.5 << "12.50";

    QTest::newRow("h:mm leaves seconds out, not rounded") << "h:mm" << afternoon << "16:17";
    QTest::newRow("h:mm:ss") << "h:mm:ss" << afternoon << "16:17:45";
    QTest::newRow("h:mm AM/PM") << "h:mm AM/PM" << afternoon << "4:17 PM";
    QTest::newRow("hh:mm AM/PM, morning") << "hh:mm AM/PM" << 0.25 << "06:00 AM";
    QTest::newRow("noon is 12 PM") << "h:mm AM/PM" << 0.5 << "12:00 PM";
    QTest::newRow("escaped blank") << "h:mm\\ AM/PM" << afternoon << "4:17 PM";
    QTest::newRow("h:mm:ss past a day") << "h:mm:ss" << 2.75 << "18:00:00";
    QTest::newRow("Chinese half day") << "上午/下午h\"时\"mm\"分\"" << afternoon << "下午4时17分";
    QTest::newRow("tenths of a second") << "mm:ss.0" << 8.64 / 86400 << "00:08.6";
    QTest::newRow("[h]:mm:ss") << "[h]:mm:ss" << 1.5 << "36:00:00";
    QTest::newRow("[h]") << "[h]" << 1.5 << "36";
    QTest::newRow("[mm]:ss") << "[mm]:ss" << 1.0 / 48 << "30:00";
    QTest::newRow("[ss]") << "[ss]" << 100.25 << "8661600";
    QTest::newRow("built-in h:mm AM/PM") << "#18" << afternoon << "4:17 PM";
    QTest::newRow("built-in h:mm") << "#20" << afternoon << "16:17";
    QTest::newRow("built-in [h]:mm:ss") << "#46" << 1.5 << "36:00:00";
    QTest::newRow("date-time stays a date") << "yyyy-mm-dd hh:mm" << 1.5 << "1900-01-01 12:00:00";
    QTest::newRow("built-in date") << "#14" << 45356.0 << "2024-03-05";
}

// The text of a number under a format, as .xls and .xlsx share it.
void TestXls::numberFormatText()
{
    QFETCH(QString, format);
    QFETCH(double, value);
    QFETCH(QString, text);
    const NumberFormat numberFormat = format.startsWith(QLatin1Char('#')) && format.size() <= 3
                                          ? builtinNumberFormat(format.mid(1).toInt())
                                          : numberFormatOf(format);
    QCOMPARE(excelValueText(value, false, numberFormat), text);
}

void TestXls::numberFormatsOfAWriter_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("xls") << "number_formats.xls";
    QTest::newRow("xlsx") << "number_formats.xlsx";
}

// The same numbers and formats written by LibreOffice into both kinds of
// workbook, codes as a real writer spells them ("h:mm\ AM/PM", "[hh]:mm:ss").
void TestXls::numberFormatsOfAWriter()
{
    QFETCH(QString, file);
    QString error;
    const auto reader = WorkbookReader::open(fixture(file), &error);
    QVERIFY2(reader, qPrintable(error));
    QVERIFY2(reader->selectSheet(0, &error), qPrintable(error));
    const QStringList expected = {QStringLiteral("010010"),   QStringLiteral("13800138000"),
                                  QStringLiteral("12.50"),    QStringLiteral("16:17"),
                                  QStringLiteral("4:17 PM"),  QStringLiteral("16:17:45"),
                                  QStringLiteral("36:00:00"), QStringLiteral("12:00:00")};
    QStringList texts;
    for (int column = 1; column <= expected.size(); ++column)
        texts.append(reader->cellText(2, column));
    QCOMPARE(texts, expected);
}

void TestXls::damagedFilesRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    auto file = [](const char* name) { return readAll(fixture(QString::fromLatin1(name))); };

    QTest::newRow("cut after 612 bytes")
        << file("truncated.xls") << "扇区分配表指向文件末尾之外，文件可能不完整";
    QTest::newRow("allocation chain loops") << file("fat_loop.xls") << "短流存储区的扇区链首尾相接";
    QTest::newRow("allocation chain past the end")
        << file("fat_past_end.xls") << "短流存储区指向文件末尾之外";
    QTest::newRow("short-sector chain loops")
        << file("minifat_loop.xls") << "数据流“Workbook”的扇区链首尾相接";
    QTest::newRow("column 257") << file("column_256.xls")
                                << "第257列，超出了Excel 97-2003工作表的256列";
    QTest::newRow("row 65537") << file("row_65536.xls") << "超出了Excel 97-2003工作表的65536行";

    const QByteArray small = file("small.xls");
    QVERIFY(small.size() == 4096);
    QByteArray directoryLoop = small;
    put32(&directoryLoop, 512 + 4 * 2, 2);
    QTest::newRow("directory chain loops") << directoryLoop << "目录的扇区链首尾相接";

    QByteArray hugeStream = small; // the "Workbook" entry claims 2 GB
    put32(&hugeStream, 3 * 512 + 2 * 128 + 0x78, 0x7FFFFFF0);
    QTest::newRow("stream larger than the file")
        << hugeStream << "数据流“Workbook”指向文件末尾之外";

    QTest::newRow("index chain loops") << smallWithIndex(7) << "扇区分配表的索引的扇区链首尾相接";
    QTest::newRow("index chain past the end")
        << smallWithIndex(100000) << "扇区分配表的索引指向文件末尾之外";

    // Both sheet entries name the first sheet, whose cells would be held
    // twice: a way to make memory grow far beyond the file.
    QByteArray sameSheet = small;
    const QList<qsizetype> sheets = smallRecords(small, 0x0085);
    QCOMPARE(sheets.size(), 2);
    sameSheet.replace(sheets[1] + 4, 4, small.mid(sheets[0] + 4, 4));
    QTest::newRow("two entries for one sheet") << sameSheet << "文件已损坏";
}

void TestXls::damagedFilesRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    TempWorkDir dir;
    const QString path = dir.filePath(QStringLiteral("damaged.xls"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();
    QString error;
    QVERIFY(!WorkbookReader::open(path, &error));
    QVERIFY2(error.contains(path) && error.contains(reason), qPrintable(error));
}

int runXlsTests(int argc, char** argv)
{
    TestXls test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_xls.moc"
