#include "biffbuilder.h"
#include "excel/biff8.h"
#include "excel/celltext.h"
#include "excel/csvreader.h"
#include "excel/exportwriter.h"
#include "excel/importrows.h"
#include "excel/workbookreader.h"
#include "excel/xlsreader.h"

#include "tempworkdir.h"

#include <QFile>
#include <QStringDecoder>
#include <QtEndian>
#include <QtTest>

namespace
{

QString fixture(const QString& name)
{
    return QStringLiteral(WAYLARK_TEST_DATA "/excel/") + name;
}

std::unique_ptr<WorkbookReader> openSheet(const QString& path, const QString& sheet)
{
    QString error;
    std::unique_ptr<WorkbookReader> reader = WorkbookReader::open(path, &error);
    if (!reader) {
        qWarning("%s", qPrintable(error));
        return nullptr;
    }
    if (!sheet.isEmpty() && !reader->selectSheet(sheet, &error)) {
        qWarning("%s", qPrintable(error));
        return nullptr;
    }
    if (sheet.isEmpty() && !reader->selectSheet(0, &error))
        return nullptr;
    return reader;
}

// Fifteen titles, all empty but the given captions.
QStringList mapping(const QList<QPair<QString, QString>>& pairs)
{
    QStringList titles(importFields().size());
    for (const auto& pair : pairs)
        titles[importFieldIndex(pair.first)] = pair.second;
    return titles;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray gb18030(const QString& text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

// Hand-made .xls files, for the record layouts that the tools at hand never
// write: a string whose continuation changes from 8-bit to 16-bit characters,
// a password, an old BIFF version.
using BiffBuilder::bof;
using BiffBuilder::le16;
using BiffBuilder::le32;
using BiffBuilder::record;
using BiffBuilder::utf16;

// A workbook stream with one sheet "表" whose cells are SHEETRECORDS; the
// globals carry EXTRAGLOBALS before their end.
QByteArray workbookStream(const QByteArray& extraGlobals, const QByteArray& sheetRecords,
                          int version = 0x0600)
{
    const QByteArray name = QByteArray("\x01\x01", 2) + utf16(QStringLiteral("表"));
    auto globals = [&](quint32 sheetOffset) -> QByteArray {
        return bof(version, 0x0005) + extraGlobals +
               record(0x0085, le32(sheetOffset) + QByteArray(2, '\0') + name) +
               record(0x000A, QByteArray());
    };
    const quint32 offset = quint32(globals(0).size());
    return globals(offset) + bof(version, 0x0010) + sheetRecords + record(0x000A, QByteArray());
}

// STREAM as the "Workbook" stream of a compound file (512-byte sectors:
// the allocation table, the directory, then the stream).
QByteArray compoundFile(QByteArray stream)
{
    const quint32 end = 0xFFFFFFFE, free = 0xFFFFFFFF;
    const int streamSize = int(std::max<qsizetype>(stream.size(), 4096));
    stream.resize((streamSize + 511) / 512 * 512, '\0');
    const int streamSectors = int(stream.size() / 512);

    QByteArray header = QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(16, '\0') +
                        le16(0x3E) + le16(3) + le16(0xFFFE) + le16(9) + le16(6) +
                        QByteArray(6, '\0') + le32(0) + le32(1) + le32(1) + le32(0) + le32(4096) +
                        le32(end) + le32(0) + le32(end) + le32(0) + le32(0);
    while (header.size() < 512)
        header += le32(free);

    QByteArray fat = le32(0xFFFFFFFD) + le32(end);
    for (int i = 0; i < streamSectors; ++i)
        fat += le32(i + 1 < streamSectors ? quint32(i + 3) : end);
    while (fat.size() < 512)
        fat += le32(free);

    auto entry = [&](const QString& entryName, int type, quint32 child, quint32 start,
                     quint32 size) -> QByteArray {
        QByteArray e = utf16(entryName);
        e.resize(64, '\0');
        e += le16(int(entryName.size() + 1) * 2) + QByteArray(1, char(type)) + QByteArray(1, '\1') +
             le32(free) + le32(free) + le32(child) + QByteArray(36, '\0') + le32(start) +
             le32(size) + le32(0);
        return e;
    };
    QByteArray directory = entry(QStringLiteral("Root Entry"), 5, 1, end, 0) +
                           entry(QStringLiteral("Workbook"), 2, free, 2, quint32(streamSize));
    while (directory.size() < 512)
        directory += entry(QString(), 0, free, 0, 0);
    return header + fat + directory + stream;
}

const QStringList kSheets = {QStringLiteral("名单"), QStringLiteral("标题在第三行"),
                             QStringLiteral("重名"), QStringLiteral("偏移")};

} // namespace

class TestExcel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Workbook readers
    void sheetNamesInWorkbookOrder_data();
    void sheetNamesInWorkbookOrder();
    void cellTexts_data();
    void cellTexts();
    void usedRange_data();
    void usedRange();
    void xlsShortStreamIsRead();
    void xlsStringsContinuedInOtherWidth();
    void xlsCellKinds();
    void xlsRefusals_data();
    void xlsRefusals();
    void csvEncodings_data();
    void csvEncodings();
    void openFailuresNameTheFile_data();
    void openFailuresNameTheFile();
    void numberText_data();
    void numberText();
    void dateFormats_data();
    void dateFormats();
    void dateText_data();
    void dateText();

    // Import rows
    void titleLookupTakesLastMatch_data();
    void titleLookupTakesLastMatch();
    void titleTextsReachLastUsedColumn();
    void importTitlesInRowOne();
    void importTitlesInRowThree_data();
    void importTitlesInRowThree();
    void importNumbersAndEmptyCells_data();
    void importNumbersAndEmptyCells();
    void importRefusesBadMapping_data();
    void importRefusesBadMapping();
    void titleRowAnswer_data();
    void titleRowAnswer();
    void numberGuardsAreStripped_data();
    void numberGuardsAreStripped();
    void requiredTitles_data();
    void requiredTitles();

    // Export
    void exportFieldQuoting_data();
    void exportFieldQuoting();
    void exportTabTextBytes();
    void exportEmptyTableWritesHeaderOnly();
    void exportKeepsCharactersBeyondGbk();
    void exportReplacesFileAndReportsFailure();
    void exportedTextImportsBack();
    void exportXlsxReadsBack();
    void exportFileNameRule_data();
    void exportFileNameRule();
};

void TestExcel::sheetNamesInWorkbookOrder_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("copyAs"); // empty: open the fixture itself
    QTest::addColumn<QStringList>("names");
    QTest::newRow("xls") << "recipients.xls"
                         << "" << kSheets;
    QTest::newRow("xlsx") << "recipients.xlsx"
                          << "" << kSheets;
    QTest::newRow("upper-case XLS") << "recipients.xls"
                                    << "COPY.XLS" << kSheets;
    QTest::newRow("upper-case XLSX") << "recipients.xlsx"
                                     << "Copy.XlsX" << kSheets;
    QTest::newRow("xlsx named .xls") << "recipients.xlsx"
                                     << "renamed.xls" << kSheets;
    QTest::newRow("small xls") << "small.xls"
                               << ""
                               << QStringList{QStringLiteral("小表"), QStringLiteral("Sheet2")};
    QTest::newRow("csv") << "gbk.csv"
                         << "" << QStringList{QStringLiteral("gbk")};
    QTest::newRow("csv dotted name") << "utf8.csv"
                                     << "订单.2024.CSV" << QStringList{QStringLiteral("订单.2024")};
}

void TestExcel::sheetNamesInWorkbookOrder()
{
    QFETCH(QString, file);
    QFETCH(QString, copyAs);
    QFETCH(QStringList, names);
    TempWorkDir dir;
    QString path = fixture(file);
    if (!copyAs.isEmpty()) {
        QVERIFY(QFile::copy(path, dir.filePath(copyAs)));
        path = dir.filePath(copyAs);
    }
    QString error;
    const auto reader = WorkbookReader::open(path, &error);
    QVERIFY2(reader, qPrintable(error));
    QCOMPARE(reader->sheetNames(), names);
    QCOMPARE(reader->currentSheet(), -1);
    QCOMPARE(reader->cellText(1, 1), QString());
}

void TestExcel::cellTexts_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");

    struct Cell {
        const char* tag;
        int sheet, row, column;
        const char* text;
    };
    const Cell cells[] = {
        {"title", 0, 1, 1, "姓名"},
        {"mobile stored as number", 0, 2, 2, "13812345678"},
        {"empty cell", 0, 2, 3, ""},
        {"text with comma and quotes", 0, 3, 4, "上海市, 浦东新区 \"世纪\"大道"},
        {"landline text keeps leading zero", 0, 5, 3, "02012345678"},
        {"date", 0, 2, 5, "2024-03-05"},
        {"date-time", 0, 2, 6, "2024-03-05 14:30:00"},
        {"true", 0, 2, 7, "TRUE"},
        {"false", 0, 3, 7, "FALSE"},
        {"decimal", 0, 3, 8, "0.1"},
        {"negative", 0, 6, 8, "-3"},
        {"no binary noise", 0, 5, 8, "1234567.891"},
        {"18 digits", 0, 6, 11, "1.23456789012346E+17"},
        {"formula number", 0, 2, 9, "25"},
        {"formula rounded to 15 digits", 0, 3, 9, "0.3"},
        {"formula repeating", 0, 6, 9, "0.333333333333333"},
        {"formula text", 0, 2, 10, "张三先生"},
        {"formula text one char", 0, 6, 10, "赵"},
        {"formula error n/a", 0, 2, 11, "#N/A"},
        {"formula error div", 0, 3, 11, "#DIV/0!"},
        {"formula logical", 0, 5, 11, "TRUE"},
        {"empty row", 0, 4, 1, ""},
        {"outside used range", 0, 7, 1, ""},
        {"right of used range", 0, 2, 12, ""},
        {"heading", 1, 1, 1, "2024年3月订单"},
        {"title in row 3", 1, 3, 2, "收件人"},
        {"last row", 1, 12, 3, "13800000009"},
        {"shifted title", 3, 2, 4, "城市"},
        {"shifted empty column A", 3, 3, 1, ""},
    };
    for (const char* file : {"recipients.xls", "recipients.xlsx"}) {
        for (const Cell& cell : cells) {
            QTest::addRow("%s %s", file, cell.tag)
                << QString::fromLatin1(file) << kSheets.at(cell.sheet) << cell.row << cell.column
                << QString::fromUtf8(cell.text);
        }
    }
}

void TestExcel::cellTexts()
{
    QFETCH(QString, file);
    QFETCH(QString, sheet);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    const auto reader = openSheet(fixture(file), sheet);
    QVERIFY(reader);
    QCOMPARE(reader->cellText(row, column), text);
}

void TestExcel::usedRange_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<int>("firstRow");
    QTest::addColumn<int>("firstColumn");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    for (const QString& file :
         {QStringLiteral("recipients.xls"), QStringLiteral("recipients.xlsx")}) {
        QTest::addRow("%s titles in row 1", qPrintable(file))
            << file << kSheets[0] << 1 << 1 << 6 << 11;
        QTest::addRow("%s heading in row 1", qPrintable(file))
            << file << kSheets[1] << 1 << 1 << 12 << 4;
        QTest::addRow("%s duplicate", qPrintable(file)) << file << kSheets[2] << 1 << 1 << 3 << 4;
        QTest::addRow("%s shifted", qPrintable(file)) << file << kSheets[3] << 2 << 2 << 3 << 3;
    }
    QTest::newRow("small xls") << "small.xls"
                               << "小表" << 1 << 1 << 3 << 4;
    QTest::newRow("csv with empty line") << "utf8.csv"
                                         << "utf8" << 1 << 1 << 5 << 4;
}

void TestExcel::usedRange()
{
    QFETCH(QString, file);
    QFETCH(QString, sheet);
    QFETCH(int, firstRow);
    QFETCH(int, firstColumn);
    QFETCH(int, rows);
    QFETCH(int, columns);
    const auto reader = openSheet(fixture(file), sheet);
    QVERIFY(reader);
    const UsedRange range = reader->usedRange();
    QCOMPARE(range.firstRow, firstRow);
    QCOMPARE(range.firstColumn, firstColumn);
    QCOMPARE(range.rowCount, rows);
    QCOMPARE(range.columnCount, columns);
}

void TestExcel::xlsShortStreamIsRead()
{
    QString error;
    const auto reader = XlsReader::open(fixture(QStringLiteral("small.xls")), &error);
    QVERIFY2(reader, qPrintable(error));
    QVERIFY(reader->selectSheet(0, &error));
    const QStringList row2 = {reader->cellText(2, 1), reader->cellText(2, 2),
                              reader->cellText(2, 3), reader->cellText(2, 4)};
    QCOMPARE(row2, (QStringList{QStringLiteral("张三"), QStringLiteral("13812345678"),
                                QStringLiteral("TRUE"), QStringLiteral("2024-03-05")}));
    QCOMPARE(reader->cellText(3, 3), QStringLiteral("FALSE"));
    QVERIFY(reader->selectSheet(QStringLiteral("Sheet2"), &error));
    QCOMPARE(reader->cellText(1, 1), QStringLiteral("第二个表"));
}

void TestExcel::xlsStringsContinuedInOtherWidth()
{
    // Shared string "abc中文": "abc" as 8-bit characters, then a CONTINUE
    // record whose option byte switches to 16-bit for "中文"; a second
    // string follows whole. A formula's text result is split the same way.
    const QByteArray sst =
        record(0x00FC, le32(2) + le32(2) + le16(5) + QByteArray(1, '\0') + "abc") +
        record(0x003C, QByteArray(1, '\1') + utf16(QStringLiteral("中文")) + le16(2) +
                           QByteArray(1, '\0') + "xy");
    const QByteArray formula = le16(1) + le16(0) + le16(0) + QByteArray("\0\0\0\0\0\0\xFF\xFF", 8) +
                               le16(0) + le32(0) + le16(0);
    const QByteArray cells =
        record(0x00FD, le16(0) + le16(0) + le16(0) + le32(0)) +
        record(0x00FD, le16(0) + le16(1) + le16(0) + le32(1)) + record(0x0006, formula) +
        record(0x0207, le16(3) + QByteArray(1, '\1') + utf16(QStringLiteral("收"))) +
        record(0x003C, QByteArray(1, '\0') + "OK");
    biff8::Workbook workbook;
    QString reason;
    QVERIFY2(biff8::read(compoundFile(workbookStream(sst, cells)), &workbook, &reason),
             qPrintable(reason));
    QCOMPARE(workbook.sheets.size(), 1);
    QCOMPARE(workbook.sheets[0].name, QStringLiteral("表"));
    const CellGrid& grid = workbook.sheets[0].cells;
    QCOMPARE(grid.text(1, 1), QStringLiteral("abc中文"));
    QCOMPARE(grid.text(1, 2), QStringLiteral("xy"));
    QCOMPARE(grid.text(2, 1), QStringLiteral("收OK"));
}

void TestExcel::xlsCellKinds()
{
    // A rich-text label, a logical value, an error value, a formula's
    // number and a date in Chinese Excel's built-in format 31
    // (yyyy"年"m"月"d"日"); an ordinary number beside them.
    auto number = [](double value) {
        QByteArray bytes(8, '\0');
        qToLittleEndian<double>(value, bytes.data());
        return bytes;
    };
    auto xf = [](int format) {
        return record(0x00E0, le16(0) + le16(format) + QByteArray(16, '\0'));
    };
    QByteArray styles;
    for (int i = 0; i < 16; ++i)
        styles += xf(0);
    styles += xf(31); // style 16
    const QByteArray formula =
        le16(1) + le16(1) + le16(0) + number(42) + le16(0) + le32(0) + le16(0);
    const QByteArray cells =
        record(0x00D6,
               le16(0) + le16(0) + le16(0) + le16(3) + QByteArray(1, '\0') + "abc" + le16(0)) +
        record(0x0205, le16(0) + le16(1) + le16(0) + QByteArray("\1\0", 2)) +
        record(0x0205, le16(0) + le16(2) + le16(0) + QByteArray("\x2A\1", 2)) +
        record(0x0006, formula) + record(0x0203, le16(1) + le16(0) + le16(0) + number(42)) +
        record(0x0203, le16(1) + le16(2) + le16(16) + number(45356));
    TempWorkDir dir;
    const QString path = dir.filePath(QStringLiteral("made.xls"));
    QVERIFY(writeFile(path, compoundFile(workbookStream(styles, cells))));
    QString error;
    const auto reader = XlsReader::open(path, &error);
    QVERIFY2(reader, qPrintable(error));
    QVERIFY(reader->selectSheet(0, &error));
    QCOMPARE(reader->cellText(1, 1), QStringLiteral("abc"));
    QCOMPARE(reader->cellText(1, 2), QStringLiteral("TRUE"));
    QCOMPARE(reader->cellText(1, 3), QStringLiteral("#N/A"));
    QCOMPARE(reader->cellText(2, 1), QStringLiteral("42"));
    QCOMPARE(reader->cellText(2, 2), QStringLiteral("42"));
    QCOMPARE(reader->cellText(2, 3), QStringLiteral("2024-03-05"));
    QCOMPARE(reader->usedRange().columnCount, 3);
}

void TestExcel::xlsRefusals_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reason");
    QTest::newRow("password") << compoundFile(
                                     workbookStream(record(0x002F, QByteArray(54, '\1')), {}))
                              << "密码";
    QTest::newRow("excel 95") << compoundFile(workbookStream({}, {}, 0x0500)) << "Excel 95";
    QByteArray cut = compoundFile(workbookStream({}, {}));
    cut.truncate(1024 + 40); // the stream's sectors are gone
    QTest::newRow("stream cut short") << cut << "损坏";
}

void TestExcel::xlsRefusals()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    TempWorkDir dir;
    const QString path = dir.filePath(QStringLiteral("made.xls"));
    QVERIFY(writeFile(path, file));
    QString error;
    QVERIFY(!WorkbookReader::open(path, &error));
    QVERIFY2(error.contains(path) && error.contains(reason), qPrintable(error));
}

void TestExcel::csvEncodings_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("encoding");
    QTest::newRow("utf-8 with byte-order mark, CR LF") << "utf8_bom.csv"
                                                       << "UTF-8";
    QTest::newRow("utf-8, LF") << "utf8.csv"
                               << "UTF-8";
    QTest::newRow("gbk, CR LF") << "gbk.csv"
                                << "GB18030";
}

void TestExcel::csvEncodings()
{
    QFETCH(QString, file);
    QFETCH(QString, encoding);
    QString error;
    const auto reader = CsvReader::open(fixture(file), &error);
    QVERIFY2(reader, qPrintable(error));
    QCOMPARE(reader->encoding(), encoding);
    QVERIFY(reader->selectSheet(0, &error));
    QCOMPARE(reader->usedRange().rowCount, 5);
    QCOMPARE(reader->usedRange().columnCount, 4);
    QCOMPARE(reader->cellText(1, 1), QStringLiteral("姓名")); // no byte-order mark left
    QCOMPARE(reader->cellText(2, 3), QStringLiteral("北京市,海淀区"));
    QCOMPARE(reader->cellText(2, 4), QStringLiteral("他说\"你好\""));
    QCOMPARE(reader->cellText(3, 2), QStringLiteral("013900001111"));
    QCOMPARE(reader->cellText(3, 3), QStringLiteral("上海市\n浦东新区"));
    QCOMPARE(reader->cellText(3, 4), QStringLiteral("  前后空格  "));
    QCOMPARE(reader->cellText(4, 1), QString()); // the empty line is a row
    QCOMPARE(reader->cellText(5, 1), QStringLiteral("王五"));
    QCOMPARE(reader->cellText(5, 2), QString());
}

void TestExcel::openFailuresNameTheFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // null: no file at all
    QTest::addColumn<QString>("reason");
    const QByteArray xls = readAll(fixture(QStringLiteral("recipients.xls")));
    QTest::newRow("missing") << "missing.xls" << QByteArray() << "文件不存在";
    QTest::newRow("unsupported extension") << "list.txt" << QByteArray("a\tb\r\n") << "不支持";
    QTest::newRow("binary named .xls")
        << "junk.xls" << QByteArray("\x01\x02\0\x03", 4) << "不是Excel 97-2003";
    QTest::newRow("truncated xls") << "cut.xls" << xls.left(3000) << "损坏";
    QTest::newRow("text named .xlsx") << "text.xlsx" << QByteArray("a,b\n") << "不是Excel工作簿";
    QTest::newRow("xls named .xlsx") << "old.xlsx" << xls << "不是Excel工作簿";
}

void TestExcel::openFailuresNameTheFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    TempWorkDir dir;
    const QString path = dir.filePath(name);
    if (!content.isNull())
        QVERIFY(writeFile(path, content));
    QString error;
    QVERIFY(!WorkbookReader::open(path, &error));
    QVERIFY2(error.contains(path), qPrintable(error));
    QVERIFY2(error.contains(reason), qPrintable(error));
}

void TestExcel::numberText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("mobile") << 13812345678.0 << "13812345678";
    QTest::newRow("integer") << 100.0 << "100";
    QTest::newRow("no trailing zeros") << 12.50 << "12.5";
    QTest::newRow("15 significant digits") << 0.1 + 0.2 << "0.3";
    QTest::newRow("15 digits kept") << 123456789012345.0 << "123456789012345";
    QTest::newRow("exponent") << 1e15 << "1E+15";
    QTest::newRow("small") << 0.0001 << "0.0001";
    QTest::newRow("negative zero") << -0.0 << "0";
}

void TestExcel::numberText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(excelNumberText(value), text);
}

void TestExcel::dateFormats_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("kind");
    QTest::newRow("general") << "General" << int(DateKind::None);
    QTest::newRow("decimal") << "#,##0.00" << int(DateKind::None);
    QTest::newRow("scientific") << "0.00E+00" << int(DateKind::None);
    QTest::newRow("colour") << "[Red]0.00;[Blue]-0.00" << int(DateKind::None);
    QTest::newRow("quoted letters") << "0\" days\"" << int(DateKind::None);
    QTest::newRow("escaped letter") << "0\\h" << int(DateKind::None);
    QTest::newRow("iso date") << "yyyy\\-mm\\-dd" << int(DateKind::Date);
    QTest::newRow("month name") << "mmm" << int(DateKind::Date);
    QTest::newRow("chinese date") << "[$-804]yyyy\"年\"m\"月\"d\"日\"" << int(DateKind::Date);
    QTest::newRow("minutes") << "h:mm" << int(DateKind::Time);
    QTest::newRow("elapsed") << "[h]:mm:ss" << int(DateKind::Time);
    QTest::newRow("date and time") << "yyyy/m/d h:mm" << int(DateKind::DateTime);
}

void TestExcel::dateFormats()
{
    QFETCH(QString, code);
    QFETCH(int, kind);
    QCOMPARE(int(dateKindOfFormat(code)), kind);
}

void TestExcel::dateText_data()
{
    QTest::addColumn<double>("serial");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("date") << 45356.0 << false << int(DateKind::Date) << "2024-03-05";
    QTest::newRow("date-time rounds to the second")
        << 45356.6041666667 << false << int(DateKind::DateTime) << "2024-03-05 14:30:00";
    QTest::newRow("first day") << 1.0 << false << int(DateKind::Date) << "1900-01-01";
    QTest::newRow("before the false leap day")
        << 59.0 << false << int(DateKind::Date) << "1900-02-28";
    QTest::newRow("after it") << 61.0 << false << int(DateKind::Date) << "1900-03-01";
    QTest::newRow("1904 system") << 0.0 << true << int(DateKind::Date) << "1904-01-01";
    QTest::newRow("time only") << 0.5 << false << int(DateKind::Time) << "12:00:00";
    QTest::newRow("negative is no date") << -1.0 << false << int(DateKind::Date) << "-1";
}

void TestExcel::dateText()
{
    QFETCH(double, serial);
    QFETCH(bool, date1904);
    QFETCH(int, kind);
    QFETCH(QString, text);
    QCOMPARE(excelDateText(serial, date1904, DateKind(kind)), text);
}

void TestExcel::titleLookupTakesLastMatch_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("xls") << "recipients.xls";
    QTest::newRow("xlsx") << "recipients.xlsx";
}

void TestExcel::titleLookupTakesLastMatch()
{
    QFETCH(QString, file);
    const auto reader = openSheet(fixture(file), QStringLiteral("重名"));
    QVERIFY(reader);
    QCOMPARE(ExlGetColno(*reader, 1, QStringLiteral("电话")), 4);
    QCOMPARE(ExlGetColno(*reader, 1, QStringLiteral("姓名")), 1);
    QCOMPARE(ExlGetColno(*reader, 1, QStringLiteral("姓")), 0);
    QCOMPARE(ExlGetColno(*reader, 2, QStringLiteral("电话")), 0);
}

void TestExcel::titleTextsReachLastUsedColumn()
{
    // The used range is B2:D4, three columns wide; the title in column D
    // must still be offered and found.
    const auto reader =
        openSheet(fixture(QStringLiteral("recipients.xls")), QStringLiteral("偏移"));
    QVERIFY(reader);
    QCOMPARE(titleTexts(*reader, 2), (QStringList{QString(), QStringLiteral("姓名"),
                                                  QStringLiteral("手机"), QStringLiteral("城市")}));
    QCOMPARE(ExlGetColno(*reader, 2, QStringLiteral("城市")), 4);
}

void TestExcel::importTitlesInRowOne()
{
    // 100 data rows under titles in row 1; "收件人姓名" mapped to column B.
    TempWorkDir dir;
    QByteArray csv = "编号,名字,手机\r\n";
    for (int i = 1; i <= 100; ++i)
        csv += QStringLiteral("%1,客户%1,1380000%2\r\n")
                   .arg(i)
                   .arg(i, 4, 10, QLatin1Char('0'))
                   .toUtf8();
    const QString path = dir.filePath(QStringLiteral("客户.csv"));
    QVERIFY(writeFile(path, csv));
    const auto reader = openSheet(path, QString());
    QVERIFY(reader);

    ImportRows rows;
    QString error;
    QVERIFY2(rows.start(*reader, 1,
                        mapping({{QStringLiteral("收件人姓名"), QStringLiteral("名字")}}), &error),
             qPrintable(error));
    QCOMPARE(rows.count(), 100);
    QList<QStringList> all;
    while (!rows.atEnd())
        all.append(rows.next());
    QCOMPARE(all.size(), 100);
    QCOMPARE(rows.done(), 100);
    QCOMPARE(all.first().at(0), QStringLiteral("客户1"));
    QCOMPARE(all.last().at(0), QStringLiteral("客户100"));
    for (const QStringList& row : std::as_const(all)) {
        QCOMPARE(row.size(), 16);
        for (int i = 1; i < 16; ++i)
            QVERIFY(row.at(i).isNull());
    }
    QVERIFY(rows.next().isEmpty());
}

void TestExcel::importTitlesInRowThree_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("xls") << "recipients.xls";
    QTest::newRow("xlsx") << "recipients.xlsx";
}

void TestExcel::importTitlesInRowThree()
{
    // Used range rows 1 to 12: rows 4 to 12 are read, none past the last.
    QFETCH(QString, file);
    const auto reader = openSheet(fixture(file), QStringLiteral("标题在第三行"));
    QVERIFY(reader);
    ImportRows rows;
    QString error;
    QVERIFY2(rows.start(*reader, 3,
                        mapping({{QStringLiteral("收件人姓名"), QStringLiteral("收件人")},
                                 {QStringLiteral("手机"), QStringLiteral("电话")}}),
                        &error),
             qPrintable(error));
    QCOMPARE(rows.count(), 9);
    QList<QStringList> all;
    while (!rows.atEnd())
        all.append(rows.next());
    QCOMPARE(all.size(), 9);
    QCOMPARE(all.at(0).at(0), QStringLiteral("收件人1"));
    QCOMPARE(all.at(0).at(3), QStringLiteral("13800000001"));
    QCOMPARE(all.at(8).at(0), QStringLiteral("收件人9"));
    QVERIFY(all.at(8).at(1).isNull());
    QVERIFY(!isBlankImportRow(all.at(8)));
}

void TestExcel::importNumbersAndEmptyCells_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("xls") << "recipients.xls";
    QTest::newRow("xlsx") << "recipients.xlsx";
}

void TestExcel::importNumbersAndEmptyCells()
{
    QFETCH(QString, file);
    const auto reader = openSheet(fixture(file), QStringLiteral("名单"));
    QVERIFY(reader);
    ImportRows rows;
    QString error;
    QVERIFY(rows.start(*reader, 1,
                       mapping({{QStringLiteral("收件人姓名"), QStringLiteral("姓名")},
                                {QStringLiteral("手机"), QStringLiteral("手机")},
                                {QStringLiteral("固定电话"), QStringLiteral("固定电话")},
                                {QStringLiteral("自定义字段1"), QStringLiteral("称呼")},
                                {QStringLiteral("自定义字段5"), QStringLiteral("检查")}}),
                       &error));
    QCOMPARE(rows.columns().at(importFieldIndex(QStringLiteral("自定义字段1"))), 10);
    QList<QStringList> all;
    while (!rows.atEnd())
        all.append(rows.next());
    const QStringList columns = importColumns();
    auto value = [&](int row, const char* column) {
        return all.at(row).at(columns.indexOf(QLatin1String(column)));
    };
    QCOMPARE(all.size(), 5);
    QCOMPARE(value(0, "Mobile"), QStringLiteral("13812345678"));
    QCOMPARE(value(0, "Phone"), QString());
    QCOMPARE(value(0, "Custom1"), QStringLiteral("张三先生"));
    QCOMPARE(value(0, "Custom5"), QStringLiteral("#N/A"));
    QCOMPARE(value(1, "Phone"), QStringLiteral("010-62345678"));
    QCOMPARE(value(2, "Name"), QString()); // the empty sheet row, to be skipped
    QVERIFY(!value(2, "Name").isNull());
    QVERIFY(isBlankImportRow(all.at(2)));
    QCOMPARE(value(3, "Name"), QStringLiteral("王五"));
    QCOMPARE(value(4, "Mobile"), QStringLiteral("15000000000"));
    QVERIFY(value(4, "Company").isNull());
}

void TestExcel::importRefusesBadMapping_data()
{
    QTest::addColumn<bool>("chooseSheet");
    QTest::addColumn<int>("titleRow");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("message");
    const QStringList name = mapping({{QStringLiteral("收件人姓名"), QStringLiteral("姓名")}});
    QTest::newRow("no sheet chosen") << false << 1 << name << importNoSheetMessage();
    QTest::newRow("all titles empty")
        << true << 1 << QStringList(16)
        << "右边字段全为空！\n请正确设置字段对应关系并再次确认Excel文件的标题行号！";
    QTest::newRow("title row 0") << true << 0 << name << importBadTitleRowMessage();
    QTest::newRow("title not in title row")
        << true << 2 << name << "第2行（标题行）中没有标题为“姓名”的列！";
}

void TestExcel::importRefusesBadMapping()
{
    QFETCH(bool, chooseSheet);
    QFETCH(int, titleRow);
    QFETCH(QStringList, titles);
    QFETCH(QString, message);
    QString error;
    const auto reader = WorkbookReader::open(fixture(QStringLiteral("recipients.xls")), &error);
    QVERIFY(reader);
    if (chooseSheet)
        QVERIFY(reader->selectSheet(0, &error));
    ImportRows rows;
    QVERIFY(!rows.start(*reader, titleRow, titles, &error));
    QCOMPARE(error, message);
    QCOMPARE(rows.count(), 0);
    QVERIFY(rows.atEnd());
}

void TestExcel::titleRowAnswer_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("row"); // 0: refused
    QTest::newRow("3") << "3" << 3;
    QTest::newRow("blanks around") << " 12 " << 12;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("negative") << "-2" << 0;
    QTest::newRow("fraction") << "1.5" << 0;
    QTest::newRow("text") << "三" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestExcel::titleRowAnswer()
{
    QFETCH(QString, answer);
    QFETCH(int, row);
    int parsed = 0;
    QCOMPARE(parseTitleRow(answer, &parsed), row > 0);
    QCOMPARE(parsed, row);
}

void TestExcel::numberGuardsAreStripped_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("value");
    QTest::newRow("apostrophe") << "'13800138000"
                                << "13800138000";
    QTest::newRow("formula string") << "=\"13900139000\""
                                    << "13900139000";
    QTest::newRow("tab") << "\t440301199001011234"
                         << "440301199001011234";
    QTest::newRow("formula string, quotes doubled") << "=\"5\"\"屏\""
                                                    << "5\"屏";
    QTest::newRow("one guard only") << "''abc"
                                    << "'abc";
    QTest::newRow("apostrophe alone") << "'"
                                      << "";
    QTest::newRow("plain") << "张三"
                           << "张三";
    QTest::newRow("apostrophe inside") << "O'Neil"
                                       << "O'Neil";
    QTest::newRow("other formula") << "=SUM(A1)"
                                   << "=SUM(A1)";
    QTest::newRow("not one string") << "=\"a\"&\"b\""
                                    << "=\"a\"&\"b\"";
    QTest::newRow("blank before the guard") << " '1"
                                            << " '1";
}

void TestExcel::numberGuardsAreStripped()
{
    QFETCH(QString, cell);
    QFETCH(QString, value);
    QCOMPARE(withoutNumberGuard(cell), value);

    // Read from a real sheet, in any column.
    TempWorkDir dir;
    ListExportRows sheet({QStringLiteral("姓名"), QStringLiteral("备注")}, {{cell, cell}});
    const QString path = dir.filePath(QStringLiteral("guards.xlsx"));
    QString error;
    QVERIFY2(writeXlsx(path, sheet, &error), qPrintable(error));
    const auto reader = openSheet(path, QString());
    QVERIFY(reader);
    ImportRows rows;
    QVERIFY2(rows.start(*reader, 1,
                        mapping({{QStringLiteral("收件人姓名"), QStringLiteral("姓名")},
                                 {QStringLiteral("自定义字段2"), QStringLiteral("备注")}}),
                        &error),
             qPrintable(error));
    const QStringList row = rows.next();
    QCOMPARE(row.at(importFieldIndex(QStringLiteral("收件人姓名"))), value);
    QCOMPARE(row.at(importFieldIndex(QStringLiteral("自定义字段2"))), value);
}

void TestExcel::requiredTitles_data()
{
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("missing");
    const QString name = QStringLiteral("收件人姓名"), mobile = QStringLiteral("手机"),
                  phone = QStringLiteral("固定电话"), address = QStringLiteral("详细地址");
    QTest::newRow("all there") << mapping({{name, "a"}, {mobile, "b"}, {address, "c"}}) << "";
    QTest::newRow("a landline will do")
        << mapping({{name, "a"}, {phone, "b"}, {address, "c"}}) << "";
    QTest::newRow("name only") << mapping({{name, "a"}}) << "手机或固定电话、详细地址";
    QTest::newRow("no name, no phone")
        << mapping({{address, "c"}, {QStringLiteral("单位"), "d"}}) << "收件人姓名、手机或固定电话";
    QTest::newRow("nothing") << QStringList(16) << "收件人姓名、手机或固定电话、详细地址";
}

void TestExcel::requiredTitles()
{
    QFETCH(QStringList, titles);
    QFETCH(QString, missing);
    QCOMPARE(missingRequiredTitles(titles), missing);
}

void TestExcel::exportFieldQuoting_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << "张三"
                           << "张三";
    QTest::newRow("inner quote stays") << "5\" 屏"
                                       << "5\" 屏";
    QTest::newRow("blanks stay") << "           "
                                 << "           ";
    QTest::newRow("tab") << "a\tb"
                         << "\"a\tb\"";
    QTest::newRow("line feed") << "a\nb"
                               << "\"a\nb\"";
    QTest::newRow("carriage return") << "a\rb"
                                     << "\"a\rb\"";
    QTest::newRow("leading quote") << "\"好\"评"
                                   << "\"\"\"好\"\"评\"";
    QTest::newRow("quotes doubled") << "说\"是\"\n"
                                    << "\"说\"\"是\"\"\n\"";
}

void TestExcel::exportFieldQuoting()
{
    QFETCH(QString, value);
    QFETCH(QString, field);
    QCOMPARE(tabTextField(value), field);
}

void TestExcel::exportTabTextBytes()
{
    TempWorkDir dir;
    ListExportRows rows(
        {QStringLiteral("Name"), QStringLiteral("Phone"), QStringLiteral("Address"),
         QStringLiteral("ID")},
        {{QStringLiteral("张三"), QStringLiteral("           "), QString(), QStringLiteral("1")},
         {QStringLiteral("李四"), QStringLiteral("01062345678"), QStringLiteral("一楼\r\n二楼"),
          QStringLiteral("2")}});
    const QString path = dir.filePath(QStringLiteral("out.xls"));
    QString error;
    QVERIFY2(writeTabText(path, rows, &error), qPrintable(error));
    const QByteArray expected = QByteArray("\"Name\"\t\"Phone\"\t\"Address\"\t\"ID\"\t\r\n") +
                                "\xD5\xC5\xC8\xFD\t           \t\t1\t\r\n" +
                                "\xC0\xEE\xCB\xC4\t01062345678\t\"\xD2\xBB\xC2\xA5\r\n"
                                "\xB6\xFE\xC2\xA5\"\t2\t\r\n";
    QCOMPARE(readAll(path), expected);
}

void TestExcel::exportEmptyTableWritesHeaderOnly()
{
    TempWorkDir dir;
    ListExportRows rows({QStringLiteral("Name"), QStringLiteral("ID")}, {});
    QString error;
    QVERIFY(writeTabText(dir.filePath(QStringLiteral("e.xls")), rows, &error));
    QCOMPARE(readAll(dir.filePath(QStringLiteral("e.xls"))), QByteArray("\"Name\"\t\"ID\"\t\r\n"));
}

void TestExcel::exportKeepsCharactersBeyondGbk()
{
    TempWorkDir dir;
    const QString rare = QStringLiteral("€ 𠀀 ㉿");
    ListExportRows rows({QStringLiteral("Name")}, {{rare}});
    QString error;
    QVERIFY(writeTabText(dir.filePath(QStringLiteral("r.xls")), rows, &error));
    const QByteArray bytes = readAll(dir.filePath(QStringLiteral("r.xls")));
    QCOMPARE(bytes, QByteArray("\"Name\"\t\r\n") + gb18030(rare) + "\t\r\n");
    QStringDecoder decoder("GB18030");
    QCOMPARE(QString(decoder.decode(bytes)).section(QLatin1String("\r\n"), 1, 1),
             rare + QLatin1Char('\t'));
}

void TestExcel::exportReplacesFileAndReportsFailure()
{
    TempWorkDir dir;
    const QString path = dir.filePath(QStringLiteral("old.xls"));
    QVERIFY(writeFile(path, QByteArray(10000, 'x')));
    ListExportRows rows({QStringLiteral("ID")}, {{QStringLiteral("7")}});
    QString error;
    QVERIFY(writeTabText(path, rows, &error));
    QCOMPARE(readAll(path), QByteArray("\"ID\"\t\r\n7\t\r\n"));

    const QString bad = dir.filePath(QStringLiteral("no such folder/out.xls"));
    ListExportRows again({QStringLiteral("ID")}, {});
    QVERIFY(!writeTabText(bad, again, &error));
    QVERIFY2(error.contains(bad), qPrintable(error));
    QVERIFY(!writeXlsx(bad, again, &error));
    QVERIFY2(error.contains(bad), qPrintable(error));
    QVERIFY(!QFile::exists(bad));
}

// The text file that the export writes under an .xls name imports back with
// the same values, awkward ones included.
void TestExcel::exportedTextImportsBack()
{
    TempWorkDir dir;
    const QStringList columns = {QStringLiteral("Name"), QStringLiteral("Phone"),
                                 QStringLiteral("Address")};
    const QList<QStringList> values = {
        {QStringLiteral("张三"), QStringLiteral("           "), QStringLiteral("一楼\n二楼")},
        {QStringLiteral("\"老\"李"), QStringLiteral("010\t6234"), QStringLiteral("5\"屏")},
    };
    ListExportRows rows(columns, values);
    const QString path = dir.filePath(QStringLiteral("back.xls"));
    QString error;
    QVERIFY(writeTabText(path, rows, &error));
    const auto reader = openSheet(path, QString());
    QVERIFY(reader);
    QCOMPARE(reader->sheetNames(), QStringList{QStringLiteral("back")});
    for (int c = 0; c < columns.size(); ++c) {
        QCOMPARE(reader->cellText(1, c + 1), columns.at(c));
        for (int r = 0; r < values.size(); ++r)
            QCOMPARE(reader->cellText(r + 2, c + 1), values.at(r).at(c));
    }
    QCOMPARE(reader->usedRange().rowCount, 3);
    QCOMPARE(reader->usedRange().columnCount, 3);
}

void TestExcel::exportXlsxReadsBack()
{
    TempWorkDir dir;
    const QStringList columns = {QStringLiteral("Name"), QStringLiteral("Phone"),
                                 QStringLiteral("Mobile"), QStringLiteral("ID")};
    const QList<QStringList> values = {
        {QStringLiteral("张三"), QStringLiteral("           "), QStringLiteral("013812345678"),
         QStringLiteral("1")},
        {QStringLiteral("多行\n地址"), QString(), QStringLiteral("a\tb"), QStringLiteral("2")},
    };
    const QString path = dir.filePath(QStringLiteral("out.xlsx"));
    QVERIFY(writeFile(path, "old"));
    ListExportRows rows(columns, values);
    QString error;
    QVERIFY2(writeXlsx(path, rows, &error), qPrintable(error));
    const auto reader = openSheet(path, QString());
    QVERIFY(reader);
    QCOMPARE(reader->usedRange().rowCount, 3);
    for (int c = 0; c < columns.size(); ++c) {
        QCOMPARE(reader->cellText(1, c + 1), columns.at(c));
        for (int r = 0; r < values.size(); ++r)
            QCOMPARE(reader->cellText(r + 2, c + 1), values.at(r).at(c));
    }
}

void TestExcel::exportFileNameRule_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("result");
    const QString xls = QStringLiteral(".xls");
    QTest::newRow("txt replaced") << "/home/u/list.txt" << xls << "/home/u/list.xls";
    QTest::newRow("none appended") << "/home/u/list" << xls << "/home/u/list.xls";
    QTest::newRow("xls kept") << "/home/u/list.xls" << xls << "/home/u/list.xls";
    QTest::newRow("XLS kept") << "/home/u/LIST.XLS" << xls << "/home/u/LIST.XLS";
    QTest::newRow("dot in folder") << "/home/u.v/list" << xls << "/home/u.v/list.xls";
    QTest::newRow("last dot counts") << "/home/u/a.b.txt" << xls << "/home/u/a.b.xls";
    QTest::newRow("hidden file") << "/home/u/.list" << xls << "/home/u/.list.xls";
    QTest::newRow("xlsx") << "/home/u/list.xls"
                          << ".xlsx"
                          << "/home/u/list.xlsx";
}

void TestExcel::exportFileNameRule()
{
    QFETCH(QString, chosen);
    QFETCH(QString, extension);
    QFETCH(QString, result);
    QCOMPARE(exportFileName(chosen, extension), result);
}

int runCoreTests(int argc, char** argv)
{
    TestExcel test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_excel.moc"
