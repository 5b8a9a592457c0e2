// Import and export of 100,000 rows × 10 columns (65,535 rows for .xls, the
// most a BIFF8 sheet holds) on a real database, each against its floor:
// - import (open the file, take the mapped rows, empty the recipient table and
//   append every row through RecipientRows in one transaction) against
//   reading every cell of the sheet with the same reader; and, for reference,
//   against that read plus a bare prepared INSERT of the same values;
// - export (exportTable over the open recipient dataset) against a bare SQLite
//   read of the table writing the same bytes.
// Prints one line per case.
//
// Then the same 100,000 rows × 14 columns from an .xlsx (shared strings and
// numbers, as Excel saves them) and from a UTF-8 .csv, each imported in a
// process of its own five times over: the median time of the import and
// the median peak resident memory of the whole process (what
// /usr/bin/time -v reports as "Maximum resident set size").
// `bench_excel xlsx-vs-csv [FOLDER]` runs this case alone.

#include "base/dataerror.h"
#include "biffbuilder.h"
#include "book/recipientrows.h"
#include "data/datamodule.h"
#include "excel/exportwriter.h"
#include "excel/importrows.h"
#include "excel/importtable.h"
#include "excel/tableexport.h"
#include "excel/workbookreader.h"
#include "templates/newdatabase.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtEndian>

#include <xlsxwriter.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

namespace
{

const int kRows = 100000;
const QStringList kTitles = {QStringLiteral("姓名"), QStringLiteral("单位"), QStringLiteral("地址"),
                             QStringLiteral("手机"), QStringLiteral("电话"), QStringLiteral("省"),
                             QStringLiteral("市"),   QStringLiteral("区"),   QStringLiteral("邮编"),
                             QStringLiteral("备注")};

QStringList rowValues(int i)
{
    return {QStringLiteral("收件人%1").arg(i),
            QStringLiteral("某某贸易有限公司%1").arg(i % 977),
            QStringLiteral("北京市海淀区中关村大街%1号院%2楼").arg(i % 1000).arg(i % 37),
            QString::number(13800000000LL + i),
            QStringLiteral("010-%1").arg(60000000 + i),
            QStringLiteral("北京市"),
            QStringLiteral("北京"),
            QStringLiteral("海淀区"),
            QString::number(100000 + i % 900),
            QStringLiteral("备注%1").arg(i % 13)};
}

// The best of three runs, in milliseconds: the machine is shared.
double timed(const std::function<void()>& work)
{
    double best = 0;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        best = run == 0 ? ms : std::min(best, ms);
    }
    return best;
}

using BiffBuilder::le16;
using BiffBuilder::le32;
using BiffBuilder::record;
using BiffBuilder::utf16;

// An .xls workbook as Excel writes one: strings in the shared string table
// (continued over CONTINUE records), numbers in NUMBER records. BIFF8 sheets
// end at row 65536, so it holds titles and 65535 rows.
QByteArray makeXls()
{
    const int rows = 65535;
    QHash<QString, int> index;
    QList<QByteArray> strings;
    QByteArray cells;
    auto shared = [&](const QString& text) {
        auto it = index.constFind(text);
        if (it != index.constEnd())
            return *it;
        index.insert(text, int(strings.size()));
        strings.append(le16(int(text.size())) + QByteArray(1, '\1') + utf16(text));
        return int(strings.size() - 1);
    };
    for (int r = 0; r <= rows; ++r) {
        const QStringList values = r == 0 ? kTitles : rowValues(r);
        for (int c = 0; c < values.size(); ++c) {
            const bool number = r > 0 && (c == 3 || c == 8);
            if (number) {
                double v = values.at(c).toDouble();
                QByteArray bits(8, '\0');
                qToLittleEndian<double>(v, bits.data());
                cells += record(0x0203, le16(r) + le16(c) + le16(0) + bits);
            } else {
                cells += record(0x00FD, le16(r) + le16(c) + le16(0) + le32(shared(values.at(c))));
            }
        }
    }
    QByteArray body = le32(quint32(strings.size())) + le32(quint32(strings.size()));
    QByteArray sstRecords;
    bool firstPart = true;
    for (const QByteArray& s : std::as_const(strings)) {
        if (body.size() + s.size() > 8224) {
            sstRecords += record(firstPart ? 0x00FC : 0x003C, body);
            firstPart = false;
            body.clear();
        }
        body += s;
    }
    sstRecords += record(firstPart ? 0x00FC : 0x003C, body);

    const QByteArray name = QByteArray("\x02\x01", 2) + utf16(QStringLiteral("名单"));
    auto bof = [](int kind) { return BiffBuilder::bof(0x0600, kind); };
    auto globals = [&](quint32 offset) -> QByteArray {
        return bof(5) + record(0x00E0, QByteArray(20, '\0')) + sstRecords +
               record(0x0085, le32(offset) + QByteArray(2, '\0') + name) + record(0x000A, {});
    };
    QByteArray stream =
        globals(quint32(globals(0).size())) + bof(0x10) + cells + record(0x000A, {});

    // Compound file, version 4 (4096-byte sectors): allocation table
    // sectors, one directory sector, then the stream.
    const int sectorSize = 4096;
    const quint32 end = 0xFFFFFFFE, free = 0xFFFFFFFF;
    const int streamSize = int(stream.size());
    stream.resize((stream.size() + sectorSize - 1) / sectorSize * sectorSize, '\0');
    const int streamSectors = int(stream.size() / sectorSize);
    int fatSectors = 1;
    while (fatSectors * 1024 < fatSectors + 1 + streamSectors)
        ++fatSectors;
    QByteArray header = QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(16, '\0') +
                        le16(0x3E) + le16(4) + le16(0xFFFE) + le16(12) + le16(6) +
                        QByteArray(6, '\0') + le32(1) + le32(quint32(fatSectors)) +
                        le32(quint32(fatSectors)) + le32(0) + le32(4096) + le32(end) + le32(0) +
                        le32(end) + le32(0);
    for (int i = 0; i < 109; ++i)
        header += le32(i < fatSectors ? quint32(i) : free);
    header.resize(sectorSize, '\0');
    QByteArray fat;
    for (int i = 0; i < fatSectors; ++i)
        fat += le32(0xFFFFFFFD);
    fat += le32(end); // directory
    const int first = fatSectors + 1;
    for (int i = 0; i < streamSectors; ++i)
        fat += le32(i + 1 < streamSectors ? quint32(first + i + 1) : end);
    while (fat.size() < fatSectors * sectorSize)
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
    QByteArray directory =
        entry(QStringLiteral("Root Entry"), 5, 1, end, 0) +
        entry(QStringLiteral("Workbook"), 2, free, quint32(first), quint32(streamSize));
    while (directory.size() < sectorSize)
        directory += entry(QString(), 0, free, 0, 0);
    return header + fat + directory + stream;
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList mappedTitles()
{
    QStringList titles(importFields().size());
    for (int i = 0; i < kTitles.size(); ++i)
        titles[i] = kTitles.at(i);
    return titles;
}

void failIf(bool failed, const QString& why)
{
    if (failed) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        std::exit(1);
    }
}

// Imports the first sheet of PATH (titles in row 1, ten columns mapped) into
// the recipient table; as the floor reads every cell of it, and for reference
// reads every cell and inserts the mapped values with a bare query.
void benchImport(const char* label, const QString& path, DataModule* dm)
{
    QString error;
    int imported = 0;
    const double import = timed([&] {
        auto reader = WorkbookReader::open(path, &error);
        failIf(!reader || !reader->selectSheet(0, &error), error);
        ImportRows rows;
        failIf(!rows.start(*reader, 1, mappedTitles(), &error), error);
        const ImportResult result = replaceRecipients(dm->recipients, rows);
        failIf(result.status != ImportResult::Status::Done, result.error);
        imported = dm->recipients->recordCount();
    });
    long long readCells = 0;
    const double floor = timed([&] {
        readCells = 0;
        auto reader = WorkbookReader::open(path, &error);
        failIf(!reader || !reader->selectSheet(0, &error), error);
        const UsedRange range = reader->usedRange();
        for (int r = range.firstRow; r <= range.lastRow(); ++r)
            for (int c = range.firstColumn; c <= range.lastColumn(); ++c)
                readCells += reader->cellText(r, c).size() >= 0;
    });
    const QStringList columns = importColumns().mid(0, kTitles.size());
    const double bare = timed([&] {
        auto reader = WorkbookReader::open(path, &error);
        failIf(!reader || !reader->selectSheet(0, &error), error);
        const UsedRange range = reader->usedRange();
        QSqlDatabase db = dm->database();
        failIf(!db.transaction(), db.lastError().text());
        QSqlQuery q(db);
        failIf(!q.exec(QStringLiteral("DELETE FROM Exp_Att_Info")), q.lastError().text());
        QStringList marks(columns.size(), QStringLiteral("?"));
        failIf(!q.prepare(QStringLiteral("INSERT INTO Exp_Att_Info (%1) VALUES (%2)")
                              .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))),
               q.lastError().text());
        for (int r = range.firstRow + 1; r <= range.lastRow(); ++r) {
            for (int c = 0; c < columns.size(); ++c)
                q.bindValue(c, reader->cellText(r, range.firstColumn + c));
            failIf(!q.exec(), q.lastError().text());
        }
        q.finish();
        failIf(!db.commit(), db.lastError().text());
    });
    std::printf("import %-5s %8.0f ms   floor (read every cell) %7.0f ms   ratio %5.2f   "
                "read + bare INSERT %7.0f ms   ratio %5.2f   (%d rows, %lld cells)\n",
                label, import, floor, import / floor, bare, import / bare, imported, readCells);
}

// The table as a bare forward-only query reads it, written as the export
// writes it: GB18030, quoted names, TAB after every field, CR LF.
QByteArray bareExport(DataModule* dm, const QString& path)
{
    QSqlQuery q(dm->database());
    q.setForwardOnly(true);
    failIf(!q.exec(QStringLiteral("SELECT * FROM Exp_Att_Info ORDER BY rowid")),
           q.lastError().text());
    QStringEncoder encoder("GB18030");
    const QSqlRecord record = q.record();
    const int n = record.count();
    QString text;
    for (int i = 0; i < n; ++i)
        text += QLatin1Char('"') + record.fieldName(i) + QLatin1String("\"\t");
    text += QLatin1String("\r\n");
    QByteArray bytes = encoder.encode(text);
    while (q.next()) {
        text.clear();
        for (int i = 0; i < n; ++i) {
            text += tabTextField(q.value(i).toString());
            text += QLatin1Char('\t');
        }
        text += QLatin1String("\r\n");
        bytes += encoder.encode(text);
    }
    QFile file(path);
    failIf(!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size(),
           file.errorString());
    return bytes;
}

// 14 columns: the ten above and four custom ones.
const QStringList kWideTitles =
    kTitles + QStringList{QStringLiteral("订单号"), QStringLiteral("商品"), QStringLiteral("数量"),
                          QStringLiteral("留言")};

QStringList wideRowValues(int i)
{
    return rowValues(i) + QStringList{QStringLiteral("DD2026%1").arg(i, 8, 10, QLatin1Char('0')),
                                      QStringLiteral("商品%1").arg(i % 211),
                                      QString::number(1 + i % 9),
                                      QStringLiteral("请尽快发货，谢谢%1").arg(i % 7)};
}

bool isNumberColumn(int column)
{
    return column == 3 || column == 8 || column == 12;
}

// The wide table as Excel saves it: texts in the shared string table,
// mobile numbers, post codes and quantities as numbers.
void writeWideXlsx(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    lxw_workbook* workbook = workbook_new(name.constData());
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "名单");
    for (int c = 0; c < kWideTitles.size(); ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), kWideTitles.at(c).toUtf8().constData(),
                               nullptr);
    for (int r = 1; r <= kRows; ++r) {
        const QStringList values = wideRowValues(r);
        for (int c = 0; c < values.size(); ++c) {
            if (isNumberColumn(c))
                worksheet_write_number(sheet, lxw_row_t(r), lxw_col_t(c), values.at(c).toDouble(),
                                       nullptr);
            else
                worksheet_write_string(sheet, lxw_row_t(r), lxw_col_t(c),
                                       values.at(c).toUtf8().constData(), nullptr);
        }
    }
    failIf(workbook_close(workbook) != LXW_NO_ERROR, QStringLiteral("cannot write ") + path);
}

void writeWideCsv(const QString& path)
{
    QByteArray csv = kWideTitles.join(QLatin1Char(',')).toUtf8() + "\r\n";
    for (int r = 1; r <= kRows; ++r)
        csv += wideRowValues(r).join(QLatin1Char(',')).toUtf8() + "\r\n";
    failIf(!writeBytes(path, csv), QStringLiteral("cannot write ") + path);
}

// The most memory this process has held, in kB. Not getrusage's ru_maxrss:
// Linux carries that over from the parent through fork and exec.
long long peakResidentKb()
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

// In a process of its own: imports PATH into a fresh database and prints
// the import's milliseconds, the process's processor milliseconds (steadier
// than wall time on a shared machine) and its peak resident kilobytes.
int importOne(const QString& path)
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("Waylark_main.db"));
    DataModule dm;
    try {
        NewDatabase::createDatabase(db);
        dm.connectDatabase(db);
        dm.recipients->open();
    } catch (const DataError& e) {
        failIf(true, e.message());
    }
    QStringList titles(importFields().size());
    for (int i = 0; i < kWideTitles.size(); ++i)
        titles[i] = kWideTitles.at(i);
    QElapsedTimer timer;
    timer.start();
    QString error;
    auto reader = WorkbookReader::open(path, &error);
    failIf(!reader || !reader->selectSheet(0, &error), error);
    ImportRows rows;
    failIf(!rows.start(*reader, 1, titles, &error), error);
    const ImportResult result = replaceRecipients(dm.recipients, rows);
    failIf(result.status != ImportResult::Status::Done || result.rows != kRows, result.error);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    dm.closeDatabase();
    const long cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000L +
                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000L;
    std::printf("%.0f %ld %lld\n", ms, cpuMs, peakResidentKb());
    return 0;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// Five imports of each file, alternating, each in a fresh process.
void benchXlsxAgainstCsv(const QString& folder)
{
    const QString xlsx = folder + QStringLiteral("/wide.xlsx");
    const QString csv = folder + QStringLiteral("/wide.csv");
    writeWideXlsx(xlsx);
    writeWideCsv(csv);
    QList<double> times[2], cpu[2], peaks[2];
    const QString files[2] = {xlsx, csv};
    for (int run = 0; run < 5; ++run) {
        for (int f = 0; f < 2; ++f) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("import-one"), files[f]});
            failIf(!child.waitForFinished(600000) || child.exitCode() != 0,
                   QString::fromLocal8Bit(child.readAllStandardError()));
            const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
            failIf(fields.size() != 3, QStringLiteral("bad child output"));
            times[f].append(fields.at(0).toDouble());
            cpu[f].append(fields.at(1).toDouble());
            peaks[f].append(fields.at(2).toDouble() / 1024);
        }
    }
    std::printf("import 100,000 x 14, median of 5 runs in fresh processes:\n"
                "  xlsx %6.0f ms  (process CPU %6.0f ms)  peak RSS %5.0f MB\n"
                "  csv  %6.0f ms  (process CPU %6.0f ms)  peak RSS %5.0f MB\n"
                "  xlsx / csv: time %.2f, CPU %.2f\n",
                median(times[0]), median(cpu[0]), median(peaks[0]), median(times[1]),
                median(cpu[1]), median(peaks[1]), median(times[0]) / median(times[1]),
                median(cpu[0]) / median(cpu[1]));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "import-one") == 0)
        return importOne(QString::fromLocal8Bit(argv[2]));
    QTemporaryDir dir;
    if (argc >= 2 && std::strcmp(argv[1], "xlsx-vs-csv") == 0) {
        // A folder given after it keeps wide.xlsx and wide.csv there, to be
        // imported by hand with `bench_excel import-one FILE`.
        benchXlsxAgainstCsv(argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.path());
        return 0;
    }
    const QString db = dir.filePath(QStringLiteral("Waylark_main.db"));
    DataModule dm;
    try {
        NewDatabase::createDatabase(db);
        dm.connectDatabase(db);
        dm.recipients->open();
        RecipientRows rows(dm.recipients);
        rows.inTransaction([&] {
            for (int r = 1; r <= kRows; ++r) {
                const QStringList values = rowValues(r);
                RecipientRows::Values row;
                for (int c = 0; c < values.size(); ++c)
                    row.append({importColumns().at(c), values.at(c)});
                rows.append(row);
            }
        });
    } catch (const DataError& e) {
        failIf(true, e.message());
    }

    // Export: exportTable over the open dataset against the bare read.
    const QString text = dir.filePath(QStringLiteral("out.xls"));
    const double exportText = timed([&] { exportTable(dm.recipients, text); });
    QByteArray bare;
    const double exportFloor =
        timed([&] { bare = bareExport(&dm, dir.filePath(QStringLiteral("bare.xls"))); });
    QFile written(text);
    written.open(QIODevice::ReadOnly);
    const QByteArray bytes = written.readAll();
    std::printf("export text  %8.0f ms   floor (bare SQLite read, same bytes) %7.0f ms   ratio "
                "%5.2f   (%d rows, %lld bytes, same bytes: %s)\n",
                exportText, exportFloor, exportText / exportFloor, dm.recipients->recordCount(),
                (long long)bytes.size(), bytes == bare ? "yes" : "NO");
    const double reread = timed([&] {
        dm.recipients->refresh();
        exportTable(dm.recipients, text);
    });
    std::printf("export text after rereading the table %8.0f ms   ratio %5.2f\n", reread,
                reread / exportFloor);
    const double exportXlsx = timed([&] {
        exportTable(dm.recipients, dir.filePath(QStringLiteral("out.xlsx")), ExportFormat::Xlsx);
    });
    std::printf("export xlsx  %8.0f ms\n", exportXlsx);

    // Import inputs: a UTF-8 CSV, a GBK CSV, a workbook, an .xls of shared
    // strings and numbers, and a text file as the export writes it.
    QList<QStringList> table;
    table.reserve(kRows);
    for (int r = 1; r <= kRows; ++r)
        table.append(rowValues(r));
    QString error;
    ListExportRows forXlsx(kTitles, table);
    failIf(!writeXlsx(dir.filePath(QStringLiteral("in.xlsx")), forXlsx, &error), error);
    ListExportRows forText(kTitles, table);
    failIf(!writeTabText(dir.filePath(QStringLiteral("in.xls")), forText, &error), error);
    QByteArray csv;
    QByteArray gbk;
    QStringEncoder encoder("GB18030");
    for (int r = 0; r <= kRows; ++r) {
        const QString line =
            (r == 0 ? kTitles : table.at(r - 1)).join(QLatin1Char(',')) + QLatin1String("\r\n");
        csv += line.toUtf8();
        gbk += encoder.encode(line);
    }
    writeBytes(dir.filePath(QStringLiteral("utf8.csv")), csv);
    writeBytes(dir.filePath(QStringLiteral("gbk.csv")), gbk);
    writeBytes(dir.filePath(QStringLiteral("biff.xls")), makeXls());

    benchImport("csv", dir.filePath(QStringLiteral("utf8.csv")), &dm);
    benchImport("gbk", dir.filePath(QStringLiteral("gbk.csv")), &dm);
    benchImport("xlsx", dir.filePath(QStringLiteral("in.xlsx")), &dm);
    benchImport("xls", dir.filePath(QStringLiteral("biff.xls")), &dm);
    benchImport("text", dir.filePath(QStringLiteral("in.xls")), &dm);
    dm.closeDatabase();
    benchXlsxAgainstCsv(dir.path());
    return 0;
}
