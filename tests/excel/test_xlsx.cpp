// The .xlsx reader's limits, formulas saved without their results, and the
// text reader's encodings; fixtures from tests/fixtures/excel/make_xlsx_fixtures.py.
#include "excel/cellgrid.h"
#include "excel/csvreader.h"
#include "excel/importrows.h"
#include "excel/workbookreader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

QString fixture(const QString& name)
{
    return QStringLiteral(WAYLARK_TEST_DATA "/excel/") + name;
}

// Fifteen titles, all empty but the given captions.
QStringList mapping(const QList<QPair<QString, QString>>& pairs)
{
    QStringList titles(importFields().size());
    for (const auto& pair : pairs)
        titles[importFieldIndex(pair.first)] = pair.second;
    return titles;
}

// The most memory this process has held so far, in kB.
qint64 peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

std::unique_ptr<WorkbookReader> openFirstSheet(const QString& path, QString* error)
{
    std::unique_ptr<WorkbookReader> reader = WorkbookReader::open(path, error);
    if (reader && !reader->selectSheet(0, error))
        reader.reset();
    return reader;
}

} // namespace

class TestXlsx : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void memoryFollowsCells();
    void gridKeepsLastTextOfACell();
    void refusesPastLimits_data();
    void refusesPastLimits();
    void textPastLimits_data();
    void textPastLimits();
    void formulaCells_data();
    void formulaCells();
    void formulaWithoutValueInMappedColumn_data();
    void formulaWithoutValueInMappedColumn();
    void textCells_data();
    void textCells();
    void longCellKeepsMemory();
    void cellPastItsLimit_data();
    void cellPastItsLimit();
    void utf16Text_data();
    void utf16Text();
    void missingTitleEncodingHint_data();
    void missingTitleEncodingHint();
};

void TestXlsx::memoryFollowsCells()
{
    // One cell in column XFD on 5,000 rows: a row-by-column grid took
    // about 2 GB for it.
    const qint64 before = peakResidentKb();
    QVERIFY(before > 0);
    QString error;
    const auto reader = openFirstSheet(fixture(QStringLiteral("xfd_bomb.xlsx")), &error);
    QVERIFY2(reader, qPrintable(error));
    QVERIFY2(peakResidentKb() - before < 200 * 1024,
             qPrintable(QStringLiteral("peak grew by %1 kB").arg(peakResidentKb() - before)));
    const UsedRange range = reader->usedRange();
    QCOMPARE(range.lastColumn(), kMaxSheetColumns);
    QCOMPARE(range.lastRow(), 5000);
    QCOMPARE(reader->cellText(1, 16384), QStringLiteral("备注"));
    QCOMPARE(reader->cellText(5000, 16384), QStringLiteral("x5000"));
    QCOMPARE(reader->cellText(2, 1), QStringLiteral("收件人2"));
    QCOMPARE(reader->cellText(2, 16383), QString());

    ImportRows rows;
    QVERIFY2(rows.start(*reader, 1,
                        mapping({{QStringLiteral("收件人姓名"), QStringLiteral("姓名")},
                                 {QStringLiteral("单位"), QStringLiteral("备注")}}),
                        &error),
             qPrintable(error));
    QCOMPARE(rows.count(), 4999);
    const QStringList first = rows.next();
    QCOMPARE(first.at(0), QStringLiteral("收件人2"));
    QCOMPARE(first.at(1), QStringLiteral("x2"));
}

void TestXlsx::gridKeepsLastTextOfACell()
{
    // The .xls reader sets cells in record order, which need not be sheet
    // order, and a later record of a cell replaces an earlier one.
    CellGrid grid;
    grid.set(3, 2, u"c");
    grid.set(1, 5, u"a");
    grid.set(3, 2, u"d");
    grid.set(1, 1, u"b");
    grid.set(2, 1, u"");
    QCOMPARE(grid.text(3, 2), QStringLiteral("d"));
    QCOMPARE(grid.text(1, 5), QStringLiteral("a"));
    QCOMPARE(grid.text(1, 1), QStringLiteral("b"));
    QCOMPARE(grid.text(2, 1), QString());
    grid.set(1, 5, u"e");
    QCOMPARE(grid.text(1, 5), QStringLiteral("e"));
    const UsedRange range = grid.usedRange();
    QCOMPARE(range.firstRow, 1);
    QCOMPARE(range.rowCount, 3);
    QCOMPARE(range.columnCount, 5);
    grid.clear();
    QVERIFY(grid.usedRange().isEmpty());
    QCOMPARE(grid.text(3, 2), QString());
}

void TestXlsx::refusesPastLimits_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");
    QTest::newRow("column past XFD") << "beyond_columns.xlsx"
                                     << "工作表“Sheet1”中的单元格XFE1超出了Excel工作表的范围"
                                        "（最多1048576行、16384列），文件已损坏。";
    QTest::newRow("row past 1048576") << "beyond_rows.xlsx"
                                      << "工作表“Sheet1”中的第1048577行超出了Excel工作表的范围"
                                         "（最多1048576行、16384列），文件已损坏。";
    QTest::newRow("part inflating past its cap")
        << "part_too_large.xlsx"
        << "文件已损坏或内容过大（xl/workbook.xml解压后超过64 MB）。";
}

void TestXlsx::refusesPastLimits()
{
    QFETCH(QString, file);
    QFETCH(QString, reason);
    QString error;
    QVERIFY(!openFirstSheet(fixture(file), &error));
    QCOMPARE(error, workbookFailure(fixture(file), reason));
}

void TestXlsx::textPastLimits_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason"); // empty: read
    const QByteArray blanks(kMaxSheetRows - 1, '\n');
    QTest::newRow("field past the last column")
        << QByteArray(kMaxSheetColumns, ',') + "x\n"
        << "第1行第16384列之后还有内容，超出了Excel工作表的范围（最多1048576行、16384列）。";
    QTest::newRow("empty fields past the last column")
        << "a" + QByteArray(kMaxSheetColumns + 5, ',') + "\n"
        << "";
    QTest::newRow("row past the last row")
        << "a\n" + blanks + "x\n"
        << "第1048576行之后还有内容，超出了Excel工作表的范围（最多1048576行、16384列）。";
    QTest::newRow("the last row") << "a\n" + blanks.left(blanks.size() - 1) + "x\n"
                                  << "";
    QTest::newRow("a field of a cell's most characters")
        << "a,b\n1,\"" + QByteArray(kMaxCellCharacters, 'x') + "\"\n"
        << "";
    QTest::newRow("a field one character longer")
        << "a,b\n1," + QByteArray(kMaxCellCharacters + 1, 'x') + "\n"
        << cellTooLongReason(QStringLiteral("wide"), 2, 2);
    QTest::newRow("a quoted field that never ends")
        << "a\n\"" + QByteArray(8 << 20, 'x') << cellTooLongReason(QStringLiteral("wide"), 2, 1);
}

void TestXlsx::textPastLimits()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wide.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    file.close();
    QString error;
    const auto reader = openFirstSheet(path, &error);
    if (reason.isEmpty()) {
        QVERIFY2(reader, qPrintable(error));
        QCOMPARE(reader->cellText(1, 1), QStringLiteral("a"));
        return;
    }
    QVERIFY(!reader);
    QCOMPARE(error, workbookFailure(path, reason));
}

void TestXlsx::formulaCells_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("text");
    QTest::newRow("no <v>, not a constant") << "B2"
                                            << "";
    QTest::newRow("string literal") << "C2"
                                    << "北京市\"海淀\"";
    QTest::newRow("number constant") << "D2"
                                     << "100080";
    QTest::newRow("empty text result") << "E2"
                                       << "";
    QTest::newRow("empty <v>, not a constant") << "B3"
                                               << "";
    QTest::newRow("shared string without <v>") << "C3"
                                               << "";
    QTest::newRow("number constant with blanks") << "D3"
                                                 << "-2.5";
}

void TestXlsx::formulaCells()
{
    QFETCH(QString, cell);
    QFETCH(QString, text);
    QString error;
    const auto reader =
        openFirstSheet(fixture(QStringLiteral("formula_without_value.xlsx")), &error);
    QVERIFY2(reader, qPrintable(error));
    const int row = cell.mid(1).toInt();
    const int column = cell.at(0).unicode() - 'A' + 1;
    QCOMPARE(reader->cellText(row, column), text);

    QStringList without;
    for (const CellPosition& p : reader->formulasWithoutValue())
        without.append(cellReference(p.row, p.column));
    QCOMPARE(without, QStringList({QStringLiteral("B2"), QStringLiteral("B3")}));
}

void TestXlsx::formulaWithoutValueInMappedColumn_data()
{
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("firstRow"); // mapped texts of row 2, when imported
    QTest::newRow("mapped") << mapping({{QStringLiteral("收件人姓名"), QStringLiteral("姓名")},
                                        {QStringLiteral("手机"), QStringLiteral("手机")}})
                            << "B2 中的公式没有保存计算结果，请用 Excel 或 WPS 打开并保存后再导入。"
                            << QStringList();
    QTest::newRow("not mapped") << mapping({{QStringLiteral("收件人姓名"), QStringLiteral("姓名")},
                                            {QStringLiteral("详细地址"), QStringLiteral("地址")},
                                            {QStringLiteral("邮编"), QStringLiteral("邮编")},
                                            {QStringLiteral("单位"), QStringLiteral("单位")}})
                                << ""
                                << QStringList({QStringLiteral("张三"), QString(),
                                                QStringLiteral("北京市\"海淀\""),
                                                QStringLiteral("100080")});
}

void TestXlsx::formulaWithoutValueInMappedColumn()
{
    QFETCH(QStringList, titles);
    QFETCH(QString, error);
    QFETCH(QStringList, firstRow);
    QString message;
    const auto reader =
        openFirstSheet(fixture(QStringLiteral("formula_without_value.xlsx")), &message);
    QVERIFY2(reader, qPrintable(message));
    ImportRows rows;
    const bool started = rows.start(*reader, 1, titles, &message);
    if (!error.isEmpty()) {
        QVERIFY(!started);
        QCOMPARE(message, error);
        return;
    }
    QVERIFY2(started, qPrintable(message));
    QCOMPARE(rows.count(), 2);
    const QStringList row = rows.next();
    for (const QString& caption : {QStringLiteral("收件人姓名"), QStringLiteral("单位"),
                                   QStringLiteral("详细地址"), QStringLiteral("邮编")}) {
        const QString text = row.at(importFieldIndex(caption));
        QVERIFY(!text.isNull());
        if (caption == QStringLiteral("收件人姓名"))
            QCOMPARE(text, firstRow.at(0));
        else if (caption == QStringLiteral("详细地址"))
            QCOMPARE(text, firstRow.at(2));
        else if (caption == QStringLiteral("邮编"))
            QCOMPARE(text, firstRow.at(3));
        else
            QCOMPARE(text, QString(""));
    }
}

void TestXlsx::textCells_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("text");
    QTest::newRow("formula, text result in <v>") << "B2"
                                                 << "张三路";
    QTest::newRow("formula, inline text result") << "C2"
                                                 << "备注";
    QTest::newRow("CR LF inside inline text") << "B3"
                                              << "北京市\n海淀区";
    QTest::newRow("CR LF inside a shared string") << "C3"
                                                  << "第一行\n第二行";
    QTest::newRow("a cell's most characters") << "B4" << QString(kMaxCellCharacters, u'x');
}

void TestXlsx::textCells()
{
    QFETCH(QString, cell);
    QFETCH(QString, text);
    QString error;
    const auto reader = openFirstSheet(fixture(QStringLiteral("text_cells.xlsx")), &error);
    QVERIFY2(reader, qPrintable(error));
    QCOMPARE(reader->cellText(cell.mid(1).toInt(), cell.at(0).unicode() - 'A' + 1), text);
    QVERIFY(reader->formulasWithoutValue().empty());
}

void TestXlsx::cellPastItsLimit_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("cell");
    QTest::newRow("inline text") << "long_inline.xlsx"
                                 << "B2";
    QTest::newRow("shared string, named by the cell using it") << "long_shared.xlsx"
                                                               << "C3";
}

void TestXlsx::cellPastItsLimit()
{
    QFETCH(QString, file);
    QFETCH(QString, cell);
    QString error;
    QVERIFY(!openFirstSheet(fixture(file), &error));
    QCOMPARE(error, workbookFailure(fixture(file),
                                    QStringLiteral("工作表“Sheet1”的单元格%1超过32767个字符，"
                                                   "超出了表格单元格的上限。")
                                        .arg(cell)));
}

void TestXlsx::longCellKeepsMemory()
{
    // 200 MB of text in one cell: the sheet's text was buffered whole (and
    // again as UTF-16) before the cell was looked at.
    // Runs before any other test of a long cell, so that the peak is its own.
    const qint64 before = peakResidentKb();
    QVERIFY(before > 0);
    QString error;
    const QString file = fixture(QStringLiteral("long_cell_bomb.xlsx"));
    QVERIFY(!openFirstSheet(file, &error));
    QVERIFY2(peakResidentKb() - before < 32 * 1024,
             qPrintable(QStringLiteral("peak grew by %1 kB").arg(peakResidentKb() - before)));
    QCOMPARE(error, workbookFailure(file, cellTooLongReason(QStringLiteral("Sheet1"), 2, 2)));
}

void TestXlsx::utf16Text_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("UTF-16LE .csv") << "utf16le.csv";
    QTest::newRow("UTF-16BE .csv") << "utf16be.csv";
    QTest::newRow("UTF-16LE named .xls") << "utf16le_named.xls";
    QTest::newRow("UTF-16LE separated by commas") << "utf16le_comma.csv";
}

void TestXlsx::utf16Text()
{
    QFETCH(QString, file);
    QString error;
    const auto reader = openFirstSheet(fixture(file), &error);
    QVERIFY2(reader, qPrintable(error));
    const UsedRange range = reader->usedRange();
    QCOMPARE(range.rowCount, 3);
    QCOMPARE(range.columnCount, 3);
    QCOMPARE(reader->cellText(1, 1), QStringLiteral("姓名"));
    QCOMPARE(reader->cellText(2, 2), QStringLiteral("13800000000"));
    QCOMPARE(reader->cellText(2, 3), QStringLiteral("北京市, 海淀区"));
    QCOMPARE(reader->cellText(3, 1), QStringLiteral("李四"));
}

void TestXlsx::missingTitleEncodingHint_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("hint");
    QTest::newRow("UTF-8 with a stray byte") << "almost_utf8.csv"
                                             << "姓名" << true;
    QTest::newRow("GBK, title really missing") << "gbk.csv"
                                               << "不存在" << false;
    QTest::newRow("UTF-8, title really missing") << "utf8.csv"
                                                 << "不存在" << false;
}

void TestXlsx::missingTitleEncodingHint()
{
    QFETCH(QString, file);
    QFETCH(QString, title);
    QFETCH(bool, hint);
    QString error;
    const auto reader = openFirstSheet(fixture(file), &error);
    QVERIFY2(reader, qPrintable(error));
    ImportRows rows;
    QVERIFY(!rows.start(*reader, 1, mapping({{QStringLiteral("收件人姓名"), title}}), &error));
    const QString missing = QStringLiteral("第1行（标题行）中没有标题为“%1”的列！").arg(title);
    QCOMPARE(error, hint ? missing + QLatin1Char('\n') + importEncodingHint() : missing);
}

int runXlsxTests(int argc, char** argv)
{
    TestXlsx test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_xlsx.moc"
