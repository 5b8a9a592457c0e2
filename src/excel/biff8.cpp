#include "excel/biff8.h"

#include "excel/celltext.h"
#include "excel/excelmessages.h"
#include "excel/workbookreader.h"

#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>

namespace biff8
{
namespace
{

quint16 u16(const char* p)
{
    return quint16(uchar(p[0]) | uchar(p[1]) << 8);
}

quint32 u32(const char* p)
{
    return quint32(u16(p)) | quint32(u16(p + 2)) << 16;
}

double f64(const char* p)
{
    const quint64 bits = quint64(u32(p)) | quint64(u32(p + 4)) << 32;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

const quint32 EndOfChain = 0xFFFFFFFE;
const quint32 NoStream = 0xFFFFFFFF;
// A BIFF8 sheet ends at column IV and row 65536.
const int MaxColumns = 256;
const quint32 MaxRows = 65536;

QString damaged()
{
    return QStringLiteral("文件已损坏，或不是Excel 97-2003工作簿。");
}

// The parts of a compound file that a damaged chain can belong to.
QString fatPart()
{
    return QStringLiteral("扇区分配表");
}

QString difatPart()
{
    return QStringLiteral("扇区分配表的索引");
}

QString pastEnd(const QString& part)
{
    return QStringLiteral("文件已损坏：%1指向文件末尾之外，文件可能不完整。").arg(part);
}

QString looping(const QString& part)
{
    return QStringLiteral("文件已损坏：%1的扇区链首尾相接，绕成了环。").arg(part);
}

// The compound file ("structured storage") that holds an .xls workbook.
// Every sector number, chain and size in it is checked against the bytes
// that are really there before it is followed.
class CompoundFile
{
public:
    bool open(const QByteArray& file, QString* reason);
    // A stream directly under the root storage; names compare without case.
    bool stream(const QString& name, QByteArray* out, QString* reason) const;
    bool hasStream(const QString& name) const { return findEntry(name) >= 0; }

private:
    bool readFat(QString* reason);
    bool chain(const QVector<quint32>& table, quint32 start, qint64 present, const QString& part,
               QVector<quint32>* ids, QString* reason) const;
    bool contiguous(const QVector<quint32>& ids, qint64 size) const;
    bool readSectors(quint32 start, qint64 limit, const QString& part, QByteArray* out,
                     QString* reason) const;
    bool readMiniSectors(quint32 start, qint64 limit, const QString& part, QByteArray* out,
                         QString* reason) const;
    int findEntry(const QString& name) const;
    const char* entry(int index) const { return m_directory.constData() + index * 128; }
    int entryCount() const { return int(m_directory.size() / 128); }
    // Sectors that begin inside the file; the last may be cut short.
    qint64 sectorsPresent() const
    {
        return std::max<qint64>(0, (m_file.size() - 1) / m_sectorSize);
    }
    // Sectors that are there in full.
    qint64 wholeSectors() const { return std::max<qint64>(0, m_file.size() / m_sectorSize - 1); }
    const char* sector(quint32 id) const
    {
        return m_file.constData() + (qint64(id) + 1) * m_sectorSize;
    }

    QByteArray m_file;
    int m_sectorSize = 512;
    quint32 m_miniCutoff = 4096;
    QVector<quint32> m_fat;
    QVector<quint32> m_miniFat;
    QByteArray m_directory;
    QByteArray m_miniStream;
};

bool CompoundFile::open(const QByteArray& file, QString* reason)
{
    m_file = file;
    static const char signature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    if (file.size() < 512 || std::memcmp(file.constData(), signature, 8) != 0) {
        *reason = QStringLiteral("这不是Excel 97-2003工作簿（.xls）。");
        return false;
    }
    const char* header = file.constData();
    const int sectorShift = u16(header + 0x1E);
    if ((sectorShift != 9 && sectorShift != 12) || u16(header + 0x20) != 6) {
        *reason = damaged();
        return false;
    }
    m_sectorSize = 1 << sectorShift;
    m_miniCutoff = u32(header + 0x38);
    if (!readFat(reason))
        return false;

    const QString directoryPart = QStringLiteral("目录");
    if (!readSectors(u32(header + 0x30), -1, directoryPart, &m_directory, reason))
        return false;
    if (entryCount() < 1 || entry(0)[0x42] != 5) {
        *reason = damaged();
        return false;
    }
    const quint32 miniFatStart = u32(header + 0x3C);
    QByteArray miniFat;
    if (miniFatStart != EndOfChain &&
        !readSectors(miniFatStart, -1, QStringLiteral("短扇区分配表"), &miniFat, reason))
        return false;
    m_miniFat.reserve(miniFat.size() / 4);
    for (qsizetype i = 0; i + 4 <= miniFat.size(); i += 4)
        m_miniFat.append(u32(miniFat.constData() + i));
    const char* root = entry(0);
    const quint32 rootStart = u32(root + 0x74);
    const quint32 rootSize = u32(root + 0x78);
    if (rootStart != EndOfChain && rootSize > 0 &&
        !readSectors(rootStart, rootSize, QStringLiteral("短流存储区"), &m_miniStream, reason))
        return false;
    return true;
}

// The allocation table: its sector numbers come 109 in the header, the rest
// in a chain of index (DIFAT) sectors. Both kinds must be whole sectors.
bool CompoundFile::readFat(QString* reason)
{
    const char* header = m_file.constData();
    const qint64 whole = wholeSectors();
    const quint32 fatCount = u32(header + 0x2C);
    if (fatCount > whole) {
        *reason = pastEnd(fatPart());
        return false;
    }
    QVector<quint32> fatSectors;
    fatSectors.reserve(int(fatCount));
    for (int i = 0; i < 109 && quint32(fatSectors.size()) < fatCount; ++i)
        fatSectors.append(u32(header + 0x4C + 4 * i));
    const int perDifat = m_sectorSize / 4 - 1;
    QVector<bool> seen(static_cast<qsizetype>(whole));
    for (quint32 difat = u32(header + 0x44); quint32(fatSectors.size()) < fatCount;) {
        if (difat >= whole) {
            *reason = pastEnd(difatPart());
            return false;
        }
        if (seen[int(difat)]) {
            *reason = looping(difatPart());
            return false;
        }
        seen[int(difat)] = true;
        const char* p = sector(difat);
        for (int i = 0; i < perDifat && quint32(fatSectors.size()) < fatCount; ++i)
            fatSectors.append(u32(p + 4 * i));
        difat = u32(p + 4 * perDifat);
    }
    m_fat.reserve(fatSectors.size() * (m_sectorSize / 4));
    for (const quint32 id : std::as_const(fatSectors)) {
        if (id >= whole) {
            *reason = pastEnd(fatPart());
            return false;
        }
        const char* p = sector(id);
        for (int i = 0; i < m_sectorSize / 4; ++i)
            m_fat.append(u32(p + 4 * i));
    }
    return true;
}

// The sector numbers of the chain from START in TABLE; every one must be
// below PRESENT and none may come twice.
bool CompoundFile::chain(const QVector<quint32>& table, quint32 start, qint64 present,
                         const QString& part, QVector<quint32>* ids, QString* reason) const
{
    ids->clear();
    const qint64 known = std::min<qint64>(table.size(), present);
    QVector<bool> seen;
    for (quint32 id = start; id != EndOfChain; id = table.at(int(id))) {
        if (id >= known) {
            *reason = pastEnd(part);
            return false;
        }
        if (seen.isEmpty())
            seen.resize(int(known));
        if (seen[int(id)]) {
            *reason = looping(part);
            return false;
        }
        seen[int(id)] = true;
        ids->append(id);
    }
    return true;
}

// Whether the first SIZE bytes of the sectors IDS lie in a row in the file.
bool CompoundFile::contiguous(const QVector<quint32>& ids, qint64 size) const
{
    const qint64 count = (size + m_sectorSize - 1) / m_sectorSize;
    if (count == 0 || count > ids.size() ||
        (qint64(ids.at(0)) + 1) * m_sectorSize + size > m_file.size())
        return false;
    for (qint64 i = 1; i < count; ++i) {
        if (ids.at(int(i)) != ids.at(0) + i)
            return false;
    }
    return true;
}

// The chain's bytes: LIMIT of them, or all when LIMIT is negative. They may
// refer to the file's own buffer.
bool CompoundFile::readSectors(quint32 start, qint64 limit, const QString& part, QByteArray* out,
                               QString* reason) const
{
    QVector<quint32> ids;
    if (!chain(m_fat, start, sectorsPresent(), part, &ids, reason))
        return false;
    out->clear();
    qint64 wanted = qint64(ids.size()) * m_sectorSize;
    if (limit >= 0)
        wanted = std::min(wanted, limit);
    if (wanted == limit && contiguous(ids, wanted)) {
        // Sectors in a row, as most writers lay streams out: the bytes are
        // used where they lie, in the file's buffer, without a copy.
        *out = QByteArray::fromRawData(sector(ids.at(0)), wanted);
        return true;
    }
    out->reserve(wanted);
    for (const quint32 id : std::as_const(ids)) {
        if (out->size() >= wanted)
            break;
        const qint64 offset = (qint64(id) + 1) * m_sectorSize;
        // A short last sector is read as far as the file goes.
        const qint64 length =
            std::min<qint64>({m_sectorSize, m_file.size() - offset, wanted - out->size()});
        out->append(m_file.constData() + offset, length);
    }
    if (limit >= 0 && out->size() < limit) {
        *reason = pastEnd(part);
        return false;
    }
    return true;
}

bool CompoundFile::readMiniSectors(quint32 start, qint64 limit, const QString& part,
                                   QByteArray* out, QString* reason) const
{
    QVector<quint32> ids;
    const qint64 present = (m_miniStream.size() + 63) / 64;
    if (!chain(m_miniFat, start, present, part, &ids, reason))
        return false;
    out->clear();
    out->reserve(std::min<qint64>(limit, qint64(ids.size()) * 64));
    for (const quint32 id : std::as_const(ids)) {
        if (out->size() >= limit)
            break;
        const qint64 offset = qint64(id) * 64;
        out->append(m_miniStream.constData() + offset,
                    std::min<qint64>({64, m_miniStream.size() - offset, limit - out->size()}));
    }
    if (out->size() < limit) {
        *reason = pastEnd(part);
        return false;
    }
    return true;
}

int CompoundFile::findEntry(const QString& name) const
{
    // Walk the tree of the root storage's children only, so that a stream of
    // an embedded object is never taken for the workbook.
    QVector<quint32> pending{u32(entry(0) + 0x4C)};
    QVector<bool> seen(entryCount());
    while (!pending.isEmpty()) {
        const quint32 index = pending.takeLast();
        if (index == NoStream || index >= quint32(entryCount()) || seen[int(index)])
            continue;
        seen[int(index)] = true;
        const char* e = entry(int(index));
        const int length = std::min<int>(u16(e + 0x40) / 2, 32) - 1;
        QString entryName;
        for (int i = 0; i < length; ++i)
            entryName.append(QChar(u16(e + 2 * i)));
        if (e[0x42] == 2 && entryName.compare(name, Qt::CaseInsensitive) == 0)
            return int(index);
        pending.append(u32(e + 0x44));
        pending.append(u32(e + 0x48));
    }
    return -1;
}

bool CompoundFile::stream(const QString& name, QByteArray* out, QString* reason) const
{
    const int index = findEntry(name);
    if (index < 0) {
        *reason = damaged();
        return false;
    }
    const char* e = entry(index);
    const quint32 start = u32(e + 0x74);
    const quint32 size = u32(e + 0x78);
    const QString part = QStringLiteral("数据流“%1”").arg(name);
    if (size < m_miniCutoff)
        return readMiniSectors(start, size, part, out, reason);
    return readSectors(start, size, part, out, reason);
}

// A record's data together with its CONTINUE records. A string whose
// characters run over into the next part starts that part again with its
// option byte; nothing else is repeated. Reading past the end clears ok
// and gives zeros.
class Pieces
{
public:
    QByteArray data;
    QVector<qsizetype> starts; // where each CONTINUE part begins in data, ascending
    qsizetype pos = 0;
    bool ok = true;

    bool need(qint64 n)
    {
        if (n < 0 || n > data.size() - pos)
            ok = false;
        return ok;
    }
    quint8 byte()
    {
        if (!need(1))
            return 0;
        return quint8(data.at(pos++));
    }
    quint16 word()
    {
        if (!need(2))
            return 0;
        pos += 2;
        return u16(data.constData() + pos - 2);
    }
    quint32 dword()
    {
        if (!need(4))
            return 0;
        pos += 4;
        return u32(data.constData() + pos - 4);
    }
    void skip(qint64 n)
    {
        if (need(n))
            pos += qsizetype(n);
    }
    qsizetype partEnd() const
    {
        const auto next = std::lower_bound(starts.cbegin(), starts.cend(), pos);
        return next != starts.cend() ? *next : data.size();
    }

    // An Excel unicode string: a 8- or 16-bit character count, option
    // flags, optional rich-text and phonetic sizes, the characters, then the
    // rich-text runs and phonetic data (skipped).
    QString string(bool shortCount)
    {
        const int count = shortCount ? byte() : word();
        quint8 flags = byte();
        const int runs = (flags & 0x08) ? word() : 0;
        const qint64 extra = (flags & 0x04) ? dword() : 0;
        if (!ok)
            return QString();
        QString text;
        text.reserve(std::min<qsizetype>(count, data.size() - pos));
        int remaining = count;
        while (ok && remaining > 0) {
            const bool wide = flags & 0x01;
            const int width = wide ? 2 : 1;
            const qsizetype end = partEnd();
            const int n = int(std::min<qsizetype>(remaining, (end - pos) / width));
            if (n == 0) {
                // The characters go on in the next part, or the record is damaged.
                if (pos != end || pos >= data.size()) {
                    ok = false;
                    break;
                }
                flags = byte();
                continue;
            }
            const char* p = data.constData() + pos;
            if (wide) {
                const qsizetype at = text.size();
                text.resize(at + n);
                qFromLittleEndian<quint16>(p, n, text.data() + at);
            } else {
                text.append(QLatin1String(p, n));
            }
            pos += qsizetype(n) * width;
            remaining -= n;
        }
        skip(qint64(runs) * 4);
        skip(extra);
        return text;
    }
};

class RecordStream
{
public:
    explicit RecordStream(const QByteArray& stream) : m_stream(stream) {}

    void seek(qint64 pos) { m_pos = pos; }
    qint64 pos() const { return m_pos; }
    bool atEnd() const { return m_pos + 4 > m_stream.size(); }

    // The next record; false at the end of the stream or on a record that
    // runs past it.
    bool next(quint16* type, Pieces* record)
    {
        if (m_pos < 0 || atEnd())
            return false;
        const char* p = m_stream.constData() + m_pos;
        *type = u16(p);
        const int length = u16(p + 2);
        if (m_pos + 4 + length > m_stream.size())
            return false;
        record->data = QByteArray::fromRawData(p + 4, length);
        record->starts.clear();
        record->pos = 0;
        record->ok = true;
        m_pos += 4 + length;
        return true;
    }

    // Appends the CONTINUE records that follow to RECORD.
    void takeContinues(Pieces* record)
    {
        qint64 total = record->data.size();
        for (qint64 at = m_pos; at + 4 <= m_stream.size();) {
            const char* p = m_stream.constData() + at;
            at += 4 + u16(p + 2);
            if (u16(p) != 0x003C || at > m_stream.size())
                break;
            total += u16(p + 2);
        }
        if (total == record->data.size())
            return;
        QByteArray data;
        data.reserve(total);
        data.append(record->data);
        record->data = data;
        while (!atEnd()) {
            const char* p = m_stream.constData() + m_pos;
            const int length = u16(p + 2);
            if (u16(p) != 0x003C || m_pos + 4 + length > m_stream.size())
                break;
            record->starts.append(record->data.size());
            record->data.append(p + 4, length);
            m_pos += 4 + length;
        }
    }

private:
    const QByteArray& m_stream;
    qint64 m_pos = 0;
};

enum RecordType : quint16 {
    Formula = 0x0006,
    Eof = 0x000A,
    DateMode = 0x0022,
    FilePass = 0x002F,
    BoundSheet = 0x0085,
    MulRk = 0x00BD,
    RString = 0x00D6,
    Xf = 0x00E0,
    Sst = 0x00FC,
    LabelSst = 0x00FD,
    Dimensions = 0x0200,
    Number = 0x0203,
    Label = 0x0204,
    BoolErr = 0x0205,
    String = 0x0207,
    Rk = 0x027E,
    Format = 0x041E,
    Bof = 0x0809,
};

double rkValue(quint32 rk)
{
    double value;
    if (rk & 0x02) {
        value = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) ? value / 100 : value;
}

struct BoundSheetEntry {
    quint32 offset;
    quint8 kind;
    QString name;
};

struct Globals {
    QVector<BoundSheetEntry> sheets;
    QVector<QString> strings;
    QVector<NumberFormat> xfFormats;
    bool date1904 = false;
};

bool readStrings(Pieces& r, QVector<QString>* strings)
{
    r.dword(); // total use count
    const quint32 unique = r.dword();
    // Each string takes at least three bytes.
    strings->reserve(int(std::min<qint64>(unique, (r.data.size() - r.pos) / 3)));
    for (quint32 i = 0; i < unique && r.ok; ++i)
        strings->append(r.string(false));
    return r.ok;
}

bool readGlobals(RecordStream& records, Globals* globals, QString* reason)
{
    quint16 type;
    Pieces r;
    if (!records.next(&type, &r) || type != Bof || r.data.size() < 4) {
        *reason = damaged();
        return false;
    }
    if (r.word() != 0x0600) {
        *reason = oldWorkbookMessage();
        return false;
    }
    QHash<int, QString> formats;
    QVector<int> xfFormats;
    while (records.next(&type, &r)) {
        switch (type) {
        case FilePass:
            *reason = QStringLiteral("工作簿设有密码，请先在Excel中取消密码再导入。");
            return false;
        case BoundSheet: {
            BoundSheetEntry sheet;
            sheet.offset = r.dword();
            r.byte(); // visibility: hidden sheets are sheets too
            sheet.kind = r.byte();
            sheet.name = r.string(true);
            if (!r.ok) {
                *reason = damaged();
                return false;
            }
            globals->sheets.append(sheet);
            break;
        }
        case DateMode:
            globals->date1904 = r.word() == 1;
            break;
        case Format: {
            const int id = r.word();
            records.takeContinues(&r);
            const QString code = r.string(false);
            if (r.ok)
                formats.insert(id, code);
            break;
        }
        case Xf:
            r.word(); // font
            xfFormats.append(r.word());
            break;
        case Sst:
            records.takeContinues(&r);
            if (!readStrings(r, &globals->strings)) {
                *reason = damaged();
                return false;
            }
            break;
        case Eof: {
            globals->xfFormats.reserve(xfFormats.size());
            for (const int id : std::as_const(xfFormats)) {
                const auto custom = formats.constFind(id);
                globals->xfFormats.append(custom != formats.constEnd() ? numberFormatOf(*custom)
                                                                       : builtinNumberFormat(id));
            }
            return true;
        }
        default:
            break;
        }
    }
    *reason = damaged();
    return false;
}

class SheetReader
{
public:
    SheetReader(const Globals& globals, const QString& name, CellGrid* cells)
        : m_globals(globals), m_name(name), m_cells(cells)
    {
    }

    bool read(RecordStream& records, QString* reason)
    {
        quint16 type;
        Pieces r;
        if (!records.next(&type, &r) || type != Bof) {
            *reason = damaged();
            return false;
        }
        int depth = 1; // charts embedded in the sheet bring their own BOF .. EOF
        while (records.next(&type, &r)) {
            if (type == Bof) {
                ++depth;
            } else if (type == Eof) {
                if (--depth == 0)
                    return true;
            } else if (depth == 1) {
                cellRecord(type, r, records);
                if (!m_outside.isEmpty()) {
                    *reason = m_outside;
                    return false;
                }
                if (!r.ok) {
                    *reason = damaged();
                    return false;
                }
            }
        }
        *reason = damaged();
        return false;
    }

private:
    QString numberText(double value, int xf) const
    {
        static const NumberFormat general;
        return excelValueText(value, m_globals.date1904,
                              xf < m_globals.xfFormats.size() ? m_globals.xfFormats.at(xf)
                                                              : general);
    }

    void putNumber(int row, int column, double value, int xf)
    {
        if (inside(column))
            put(row, column, numberText(value, xf));
    }

    // Rows are 16-bit numbers in cell records, and so always on the sheet;
    // columns must be checked.
    bool inside(int column)
    {
        if (column < MaxColumns)
            return true;
        if (m_outside.isEmpty())
            m_outside = QStringLiteral("文件已损坏：工作表“%1”中有单元格在第%2列，"
                                       "超出了Excel 97-2003工作表的%3列。")
                            .arg(m_name)
                            .arg(column + 1)
                            .arg(MaxColumns);
        return false;
    }

    void put(int row, int column, const QString& text)
    {
        if (!inside(column))
            return;
        if (text.size() > kMaxCellCharacters) {
            if (m_outside.isEmpty())
                m_outside = cellTooLongReason(m_name, row + 1, column + 1);
            return;
        }
        m_cells->set(row + 1, column + 1, text);
    }

    // The used area the sheet declares: it must lie on a BIFF8 sheet.
    void dimensions(Pieces& r)
    {
        if (r.data.size() < 14)
            return;
        const quint32 firstRow = r.dword();
        const quint32 rowEnd = r.dword();
        const int firstColumn = r.word();
        const int columnEnd = r.word();
        if (firstRow >= MaxRows || rowEnd > MaxRows)
            m_outside = QStringLiteral("文件已损坏：工作表“%1”的行数超出了Excel 97-2003"
                                       "工作表的%2行。")
                            .arg(m_name)
                            .arg(MaxRows);
        else if (columnEnd > MaxColumns)
            inside(columnEnd - 1);
        else
            inside(firstColumn);
    }

    void cellRecord(quint16 type, Pieces& r, RecordStream& records)
    {
        switch (type) {
        case Dimensions:
            dimensions(r);
            break;
        case Formula:
            formula(r);
            break;
        case String:
            records.takeContinues(&r);
            if (m_pendingRow >= 0) {
                const QString text = r.string(false);
                put(m_pendingRow, m_pendingColumn, text);
                m_pendingRow = -1;
            }
            break;
        case BoolErr: {
            const int row = r.word();
            const int column = r.word();
            r.word();
            const quint8 value = r.byte();
            const bool isError = r.byte();
            if (r.ok)
                put(row, column, isError ? excelErrorText(value) : excelBoolText(value));
            break;
        }
        case LabelSst: {
            const int row = r.word();
            const int column = r.word();
            r.word();
            const quint32 index = r.dword();
            if (!r.ok)
                return;
            if (index >= quint32(m_globals.strings.size())) {
                r.ok = false;
                return;
            }
            put(row, column, m_globals.strings.at(int(index)));
            break;
        }
        case Label:
        case RString: {
            const int row = r.word();
            const int column = r.word();
            r.word();
            records.takeContinues(&r);
            const QString text = r.string(false);
            if (r.ok)
                put(row, column, text);
            break;
        }
        case Number: {
            const int row = r.word();
            const int column = r.word();
            const int xf = r.word();
            if (r.need(8))
                putNumber(row, column, f64(r.data.constData() + r.pos), xf);
            break;
        }
        case Rk: {
            const int row = r.word();
            const int column = r.word();
            const int xf = r.word();
            const quint32 rk = r.dword();
            if (r.ok)
                putNumber(row, column, rkValue(rk), xf);
            break;
        }
        case MulRk: {
            // The row, the first column, pairs of (xf, rk), the last column.
            const int row = r.word();
            const int column = r.word();
            if ((r.data.size() - 6) % 6 != 0)
                r.ok = false;
            const int count = int(r.data.size() - 6) / 6;
            for (int i = 0; i < count && r.ok && m_outside.isEmpty(); ++i) {
                const int xf = r.word();
                const quint32 rk = r.dword();
                putNumber(row, column + i, rkValue(rk), xf);
            }
            break;
        }
        default:
            break;
        }
    }

    void formula(Pieces& r)
    {
        const int row = r.word();
        const int column = r.word();
        const int xf = r.word();
        m_pendingRow = -1;
        if (!r.need(8))
            return;
        const char* result = r.data.constData() + r.pos;
        if (u16(result + 6) != 0xFFFF) {
            putNumber(row, column, f64(result), xf);
            return;
        }
        switch (uchar(result[0])) {
        case 0: // a string, in the STRING record that follows
            if (inside(column)) {
                m_pendingRow = row;
                m_pendingColumn = column;
            }
            break;
        case 1:
            put(row, column, excelBoolText(result[2] != 0));
            break;
        case 2:
            put(row, column, excelErrorText(uchar(result[2])));
            break;
        default: // the empty string
            break;
        }
    }

    const Globals& m_globals;
    QString m_name;
    CellGrid* m_cells;
    QString m_outside; // why a cell lies off the sheet, once one does
    int m_pendingRow = -1;
    int m_pendingColumn = 0;
};

// The byte ranges of the stream already read as the globals or as a sheet.
// No two may overlap: a sheet read twice through two entries would hold its
// cells twice, and a crafted file could so make memory grow far beyond its
// own size.
class ReadRanges
{
public:
    bool overlaps(qint64 start, qint64 end) const
    {
        auto after = m_ranges.upper_bound(start);
        if (after != m_ranges.end() && after->first < end)
            return true;
        return after != m_ranges.begin() && std::prev(after)->second > start;
    }
    void add(qint64 start, qint64 end) { m_ranges.emplace(start, end); }

private:
    std::map<qint64, qint64> m_ranges; // start to end
};

// The "Workbook" stream of the compound file FILE; it may refer to FILE's
// bytes, so FILE must outlive it.
bool workbookStream(const QByteArray& file, QByteArray* stream, QString* reason)
{
    CompoundFile compound;
    if (!compound.open(file, reason))
        return false;
    if (!compound.hasStream(QStringLiteral("Workbook"))) {
        if (compound.hasStream(QStringLiteral("Book")))
            *reason = oldWorkbookMessage();
        else
            *reason = QStringLiteral("文件中没有Excel工作簿。");
        return false;
    }
    return compound.stream(QStringLiteral("Workbook"), stream, reason);
}

} // namespace

bool read(const QByteArray& file, Workbook* workbook, QString* reason)
{
    QByteArray stream;
    if (!workbookStream(file, &stream, reason))
        return false;
    RecordStream records(stream);
    Globals globals;
    if (!readGlobals(records, &globals, reason))
        return false;
    ReadRanges ranges;
    ranges.add(0, records.pos());
    workbook->date1904 = globals.date1904;
    workbook->sheets.clear();
    for (const BoundSheetEntry& entry : std::as_const(globals.sheets)) {
        if (entry.kind == 6) // a Visual Basic module, no sheet
            continue;
        Sheet sheet;
        sheet.name = entry.name;
        sheet.worksheet = entry.kind == 0;
        if (entry.kind == 0 || entry.kind == 1) {
            const qint64 start = entry.offset;
            if (ranges.overlaps(start, start + 1)) {
                *reason = damaged();
                return false;
            }
            records.seek(start);
            SheetReader reader(globals, entry.name, &sheet.cells);
            if (!reader.read(records, reason))
                return false;
            sheet.cells.squeeze();
            if (ranges.overlaps(start, records.pos())) {
                *reason = damaged();
                return false;
            }
            ranges.add(start, records.pos());
        }
        workbook->sheets.append(std::move(sheet));
    }
    return true;
}

} // namespace biff8
