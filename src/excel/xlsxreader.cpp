#include "excel/xlsxreader.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QXmlStreamReader>

#include <QFile>
#include <QIODevice>

#include <zip.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{

QString notAWorkbook()
{
    return QStringLiteral("文件已损坏、设有密码，或不是Excel工作簿（.xlsx）。");
}

QString damagedPart(const QString& part)
{
    return QStringLiteral("文件已损坏（%1无法读取）。").arg(part);
}

// The most UTF-8 a cell's text can take: three bytes for each character.
constexpr qsizetype kMaxCellBytes = 3 * qsizetype(kMaxCellCharacters);

// Characters that XML cannot carry are written as _xHHHH_.
QString decodeEscapes(const QString& text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('_') && i + 6 < text.size() &&
            text.at(i + 1) == QLatin1Char('x') && text.at(i + 6) == QLatin1Char('_')) {
            bool ok = false;
            const ushort code = text.mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out.append(QChar(code));
                i += 6;
                continue;
            }
        }
        out.append(text.at(i));
    }
    return out;
}

QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

QString resolveTarget(const QString& folder, const QString& target)
{
    if (target.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(target.mid(1));
    return QDir::cleanPath(folder.isEmpty() ? target : folder + QLatin1Char('/') + target);
}

struct Relationship {
    QString type;
    QString target; // a part name, resolved against the source part
};

// The relationships of part SOURCE, keyed by id.
QHash<QString, Relationship> parseRelationships(QXmlStreamReader& reader, const QString& source)
{
    QHash<QString, Relationship> result;
    const QString folder = folderOf(source);
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement() || reader.name() != QLatin1String("Relationship"))
            continue;
        const QXmlStreamAttributes a = reader.attributes();
        if (a.value(QLatin1String("TargetMode")) == QLatin1String("External"))
            continue;
        result.insert(a.value(QLatin1String("Id")).toString(),
                      {a.value(QLatin1String("Type")).toString(),
                       resolveTarget(folder, a.value(QLatin1String("Target")).toString())});
    }
    return result;
}

QString relsPathOf(const QString& part)
{
    const QString folder = folderOf(part);
    const QString name = part.mid(folder.isEmpty() ? 0 : folder.size() + 1);
    return (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + QStringLiteral("_rels/") +
           name + QStringLiteral(".rels");
}

QString targetOfType(const QHash<QString, Relationship>& rels, const QString& typeEnd)
{
    for (const Relationship& rel : rels) {
        if (rel.type.endsWith(typeEnd))
            return rel.target;
    }
    return QString();
}

enum class Reference { Ok, Bad, OutOfSheet };

char16_t codeOf(QChar c)
{
    return c.unicode();
}
char16_t codeOf(char c)
{
    return char16_t(uchar(c));
}

// "AB12" as row 12, column 28.
template <typename View> Reference parseCellReference(View ref, int* row, int* column)
{
    qint64 c = 0;
    qsizetype i = 0;
    for (; i < ref.size() && i < 8; ++i) {
        char16_t letter = codeOf(ref.at(i));
        if (letter >= u'a' && letter <= u'z')
            letter = char16_t(letter - u'a' + u'A');
        if (letter < u'A' || letter > u'Z')
            break;
        c = c * 26 + (letter - u'A' + 1);
    }
    qint64 r = 0;
    qsizetype digits = 0;
    for (; i < ref.size() && digits < 12; ++i, ++digits) {
        const char16_t digit = codeOf(ref.at(i));
        if (digit < u'0' || digit > u'9')
            break;
        r = r * 10 + (digit - u'0');
    }
    if (c == 0 || digits == 0 || i != ref.size())
        return Reference::Bad;
    if (r < 1 || r > kMaxSheetRows || c > kMaxSheetColumns)
        return Reference::OutOfSheet;
    *row = int(r);
    *column = int(c);
    return Reference::Ok;
}

QString outOfSheet(const QString& sheet, const QString& where)
{
    return QStringLiteral("工作表“%1”中的%2超出了Excel工作表的范围（最多%3行、%4列），文件已损坏。")
        .arg(sheet, where)
        .arg(kMaxSheetRows)
        .arg(kMaxSheetColumns);
}

QString referenceText(QStringView ref)
{
    return ref.toString();
}

QString referenceText(QByteArrayView ref)
{
    return QString::fromLatin1(ref);
}

// Moves to the cell a <c> element names: its r attribute, or the next
// column of the row when it has none. False when the place is damaged;
// *reason is set when it lies outside a sheet.
template <typename View>
bool moveToCell(View ref, int* row, int* column, const QString& sheetName, QString* reason)
{
    if (ref.isEmpty()) {
        ++*column;
        if (*row < 1)
            return false;
        if (*column > kMaxSheetColumns) {
            *reason = outOfSheet(sheetName, QStringLiteral("第%1行第%2列").arg(*row).arg(*column));
            return false;
        }
        return true;
    }
    switch (parseCellReference(ref, row, column)) {
    case Reference::Ok:
        return true;
    case Reference::Bad:
        return false;
    case Reference::OutOfSheet:
        *reason = outOfSheet(sheetName, QStringLiteral("单元格%1").arg(referenceText(ref)));
        return false;
    }
    return false;
}

QString partTooLarge(const QString& part, qint64 limit)
{
    return QStringLiteral("文件已损坏或内容过大（%1解压后超过%2 MB）。").arg(part).arg(limit >> 20);
}

// A formula that is only a constant, as writers that compute nothing save
// it: a number, or a string literal in double quotes ("" for a quote).
bool constantFormula(const QString& formula, QString* text, bool* isNumber)
{
    const QString f = formula.trimmed();
    bool ok = false;
    f.toDouble(&ok);
    if (ok) {
        *text = f;
        *isNumber = true;
        return true;
    }
    if (f.size() < 2 || !f.startsWith(QLatin1Char('"')) || !f.endsWith(QLatin1Char('"')))
        return false;
    QString literal;
    for (qsizetype i = 1; i < f.size() - 1; ++i) {
        if (f.at(i) == QLatin1Char('"')) {
            if (i + 1 >= f.size() - 1 || f.at(i + 1) != QLatin1Char('"'))
                return false;
            ++i;
        }
        literal.append(f.at(i));
    }
    *text = literal;
    *isNumber = false;
    return true;
}

// True when the part starting with HEAD is XML in UTF-8, which the sheet
// scanner reads; anything else goes through QXmlStreamReader.
bool isUtf8Xml(const QByteArray& head)
{
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF") || head.left(4).contains('\0'))
        return false;
    if (!head.startsWith("<?xml"))
        return true;
    const qsizetype end = head.indexOf("?>");
    const QByteArray declaration = head.left(end < 0 ? head.size() : end).toLower();
    const qsizetype at = declaration.indexOf("encoding");
    if (at < 0)
        return true;
    const QByteArray rest = declaration.mid(at + 8);
    return rest.contains("utf-8") || rest.contains("utf8");
}

// A small pull scanner for the worksheet and shared strings parts, which
// make up nearly all of a workbook: several times faster than
// QXmlStreamReader. It reads
// UTF-8 XML as a stream in chunks, checks that elements nest, and refuses
// document type declarations (and so any entity but the predefined ones).
class SheetScanner
{
public:
    // Skipped never leaves next(): comments, declarations and blank text.
    enum Token { Start, End, Text, Finished, Damaged, Skipped };

    explicit SheetScanner(QIODevice& in) : m_in(in) {}

    Token next()
    {
        if (m_pendingEnd) {
            m_pendingEnd = false;
            return End;
        }
        for (;;) {
            const Token token = scan();
            if (token != Skipped)
                return token;
        }
    }

    // Of the current Start or End, without any namespace prefix.
    QByteArrayView name() const { return m_name; }

    // The raw value of attribute NAME of the current Start; empty if none.
    QByteArrayView attribute(QByteArrayView name) const
    {
        QByteArrayView rest = m_attributes;
        while (!rest.isEmpty()) {
            const qsizetype eq = rest.indexOf('=');
            if (eq < 0)
                return {};
            const QByteArrayView key = rest.first(eq).trimmed();
            rest = rest.sliced(eq + 1).trimmed();
            if (rest.isEmpty() || (rest.front() != '"' && rest.front() != '\''))
                return {};
            const qsizetype close = rest.sliced(1).indexOf(rest.front());
            if (close < 0)
                return {};
            if (key == name)
                return rest.sliced(1, close);
            rest = rest.sliced(close + 2);
        }
        return {};
    }

    // Appends the current Text's characters, references resolved and line
    // ends made LF as XML makes them (CR LF and a lone CR); false for an
    // unknown reference.
    bool appendText(QByteArray* out) const
    {
        QByteArrayView text = m_text;
        QByteArray lines;
        if (text.contains('\r')) {
            lines = text.toByteArray();
            lines.replace("\r\n", "\n");
            lines.replace('\r', '\n');
            text = lines;
        }
        if (m_cdata) {
            out->append(text);
            return true;
        }
        return unescape(text, out);
    }

    // After a Start: the text inside it up to its End, leaving out any
    // child elements. Past LIMIT bytes the text is read on but no longer
    // kept, so that OUT ends with LIMIT + 1 bytes: enough to tell it is
    // too long, never the whole of a hostile one.
    bool readText(QByteArray* out, qsizetype limit = kMaxCellBytes)
    {
        int depth = 0;
        for (;;) {
            switch (next()) {
            case Start:
                ++depth;
                break;
            case End:
                if (depth-- == 0)
                    return true;
                break;
            case Text:
                if (depth == 0 && out->size() <= limit) {
                    if (!appendText(out))
                        return false;
                    if (out->size() > limit)
                        out->truncate(limit + 1);
                }
                break;
            case Skipped: // next() passes these over
                break;
            case Finished:
            case Damaged:
                return false;
            }
        }
    }

    static bool unescape(QByteArrayView text, QByteArray* out)
    {
        for (;;) {
            const qsizetype amp = text.indexOf('&');
            if (amp < 0) {
                out->append(text);
                return true;
            }
            out->append(text.first(amp));
            text = text.sliced(amp + 1);
            const qsizetype semi = text.indexOf(';');
            if (semi < 1 || semi > 12)
                return false;
            const QByteArrayView ref = text.first(semi);
            text = text.sliced(semi + 1);
            if (ref == "amp")
                out->append('&');
            else if (ref == "lt")
                out->append('<');
            else if (ref == "gt")
                out->append('>');
            else if (ref == "quot")
                out->append('"');
            else if (ref == "apos")
                out->append('\'');
            else if (ref.front() == '#') {
                bool ok = false;
                const bool hex = ref.size() > 1 && (ref.at(1) == 'x' || ref.at(1) == 'X');
                const uint code = ref.sliced(hex ? 2 : 1).toByteArray().toUInt(&ok, hex ? 16 : 10);
                if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                    return false;
                const char32_t c = code;
                out->append(QString::fromUcs4(&c, 1).toUtf8());
            } else {
                return false;
            }
        }
    }

private:
    // Makes at least one more byte available; false at the end of the part.
    bool fill()
    {
        if (m_atEnd)
            return false;
        if (m_pos > 0) {
            m_buffer.remove(0, m_pos);
            m_pos = 0;
        }
        const qsizetype had = m_buffer.size();
        m_buffer.resize(had + kChunk);
        const qint64 n = m_in.read(m_buffer.data() + had, kChunk);
        m_buffer.resize(had + std::max<qint64>(n, 0));
        if (n <= 0)
            m_atEnd = true;
        return n > 0;
    }

    // Where a piece of the text at m_pos may end: within kMaxTextPiece,
    // neither inside a reference nor between the CR and LF of a line end.
    qsizetype pieceEnd() const
    {
        const QByteArrayView piece(m_buffer.constData() + m_pos, kMaxTextPiece);
        qsizetype end = piece.size();
        const qsizetype amp = piece.lastIndexOf('&');
        if (amp > 0 && piece.sliced(amp).indexOf(';') < 0)
            end = amp;
        if (end > 1 && piece.at(end - 1) == '\r')
            --end;
        return end;
    }

    // Where NEEDLE ends after m_pos + FROM, reading on as needed; -1 at the
    // end or past kMaxMarkup.
    qsizetype find(const char* needle, qsizetype from)
    {
        const qsizetype length = qsizetype(std::strlen(needle));
        for (;;) {
            const qsizetype at = m_buffer.indexOf(needle, m_pos + from);
            if (at >= 0)
                return at + length - m_pos;
            from = std::max<qsizetype>(0, m_buffer.size() - m_pos - length);
            if (from > kMaxMarkup || !fill())
                return -1;
        }
    }

    // The end of the tag starting at m_pos (one past its '>'), honouring
    // quoted attribute values; -1 at the end.
    qsizetype tagEnd()
    {
        char quote = 0;
        qsizetype i = m_pos;
        for (;;) {
            for (; i < m_buffer.size(); ++i) {
                const char c = m_buffer.at(i);
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    return i + 1 - m_pos;
                }
            }
            const qsizetype done = i - m_pos;
            if (done > kMaxMarkup || !fill())
                return -1;
            i = m_pos + done;
        }
    }

    static QByteArrayView localName(QByteArrayView name)
    {
        const qsizetype colon = name.lastIndexOf(':');
        return colon < 0 ? name : name.sliced(colon + 1);
    }

    Token finish() { return m_open.empty() && m_sawRoot ? Finished : Damaged; }

    Token scan()
    {
        if (m_pos >= m_buffer.size() && !fill())
            return finish();
        m_cdata = false;
        if (m_buffer.at(m_pos) != '<') {
            qsizetype at = m_buffer.indexOf('<', m_pos);
            while (at < 0) {
                const qsizetype done = m_buffer.size() - m_pos;
                if (done >= kMaxTextPiece) {
                    // A long text goes on in pieces, so that the buffer
                    // never holds more than one of them.
                    at = m_pos + pieceEnd();
                    break;
                }
                if (!fill()) {
                    at = m_buffer.size();
                    break;
                }
                at = m_buffer.indexOf('<', m_pos + done);
            }
            m_text = QByteArrayView(m_buffer.constData() + m_pos, at - m_pos);
            m_pos = at;
            if (m_open.empty()) // only blanks may stand outside the root
                return m_text.trimmed().isEmpty() ? Skipped : Damaged;
            return Text;
        }
        // The markup's kind is told by its first few bytes.
        while (m_buffer.size() - m_pos < 9 && fill()) {
        }
        const QByteArrayView head = QByteArrayView(m_buffer).sliced(m_pos);
        if (head.startsWith("<?")) {
            const qsizetype end = find("?>", 2);
            if (end < 0)
                return Damaged;
            m_pos += end;
            return Skipped;
        }
        if (head.startsWith("<!--")) {
            const qsizetype end = find("-->", 4);
            if (end < 0)
                return Damaged;
            m_pos += end;
            return Skipped;
        }
        if (head.startsWith("<![CDATA[")) {
            const qsizetype end = find("]]>", 9);
            if (end < 0 || m_open.empty())
                return Damaged;
            m_text = QByteArrayView(m_buffer.constData() + m_pos + 9, end - 12);
            m_pos += end;
            m_cdata = true;
            return Text;
        }
        if (head.startsWith("<!"))
            return Damaged; // a document type declaration
        const qsizetype end = tagEnd();
        if (end < 0)
            return Damaged;
        QByteArrayView tag(m_buffer.constData() + m_pos + 1, end - 2);
        m_pos += end;
        if (tag.startsWith('/')) {
            m_name = localName(tag.sliced(1).trimmed());
            if (m_open.empty() || QByteArrayView(m_open.back()) != tag.sliced(1).trimmed())
                return Damaged;
            m_open.pop_back();
            return End;
        }
        const bool empty = tag.endsWith('/');
        if (empty)
            tag.chop(1);
        qsizetype nameEnd = 0;
        while (nameEnd < tag.size() && !QChar::isSpace(uchar(tag.at(nameEnd))))
            ++nameEnd;
        const QByteArrayView qualified = tag.first(nameEnd);
        if (qualified.isEmpty() || (m_open.empty() && m_sawRoot))
            return Damaged;
        m_sawRoot = true;
        m_name = localName(qualified);
        m_attributes = tag.sliced(nameEnd);
        if (empty)
            m_pendingEnd = true;
        else
            m_open.emplace_back(qualified.data(), size_t(qualified.size()));
        return Start;
    }

    static constexpr qsizetype kChunk = 256 * 1024;
    static constexpr qsizetype kMaxTextPiece = 64 * 1024;
    // No tag, comment or CDATA section of a real workbook comes near this.
    static constexpr qsizetype kMaxMarkup = 1024 * 1024;
    QIODevice& m_in;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_atEnd = false;
    QByteArrayView m_name;
    QByteArrayView m_attributes;
    QByteArrayView m_text;
    bool m_cdata = false;
    bool m_pendingEnd = false;
    bool m_sawRoot = false;
    std::vector<std::string> m_open; // the elements open, innermost last
};

// After the Start of <is>: the text of its <t> elements, leaving out
// phonetic runs, up to its End.
bool scanRichText(SheetScanner& scanner, QByteArray* out)
{
    int depth = 0;
    for (;;) {
        switch (scanner.next()) {
        case SheetScanner::Start:
            if (scanner.name() == "rPh") {
                QByteArray ignored;
                if (!scanner.readText(&ignored))
                    return false;
            } else if (scanner.name() == "t") {
                if (!scanner.readText(out))
                    return false;
            } else {
                ++depth;
            }
            break;
        case SheetScanner::End:
            if (depth-- == 0)
                return true;
            break;
        case SheetScanner::Text:
            break;
        case SheetScanner::Skipped: // next() passes these over
            break;
        case SheetScanner::Finished:
        case SheetScanner::Damaged:
            return false;
        }
    }
}

// One zip entry as a stream that ends with an error past LIMIT bytes, so
// that no declared size is ever trusted.
class ZipPartDevice : public QIODevice
{
public:
    ZipPartDevice(zip_file_t* file, qint64 limit) : m_file(file), m_limit(limit)
    {
        QIODevice::open(QIODevice::ReadOnly);
    }
    ~ZipPartDevice() override { zip_fclose(m_file); }

    bool isSequential() const override { return true; }
    bool failed() const { return m_failed; }
    bool tooLarge() const { return m_tooLarge; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (m_failed || m_tooLarge)
            return -1;
        const zip_int64_t n = zip_fread(m_file, data, zip_uint64_t(maxSize));
        if (n < 0) {
            m_failed = true;
            return -1;
        }
        m_read += n;
        if (m_read > m_limit) {
            m_tooLarge = true;
            return -1;
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    zip_file_t* m_file;
    qint64 m_limit;
    qint64 m_read = 0;
    bool m_failed = false;
    bool m_tooLarge = false;
};

QString isoDateText(const QString& value)
{
    const QDateTime dateTime = QDateTime::fromString(value, Qt::ISODateWithMs);
    if (dateTime.isValid()) {
        if (dateTime.time() == QTime(0, 0) && !value.contains(QLatin1Char('T')))
            return dateTime.date().toString(Qt::ISODate);
        return dateTime.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    const QDate date = QDate::fromString(value, Qt::ISODate);
    return date.isValid() ? date.toString(Qt::ISODate) : value;
}

// The text of the <t> elements inside the current element (a shared
// string's <si> or a cell's <is>), leaving out phonetic runs.
QString readRichText(QXmlStreamReader& reader)
{
    QString text;
    int phonetic = 0;
    const QString end = reader.name().toString();
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            if (reader.name() == QLatin1String("rPh"))
                ++phonetic;
            else if (reader.name() == QLatin1String("t") && phonetic == 0)
                text += reader.readElementText();
        } else if (reader.isEndElement()) {
            if (reader.name() == QLatin1String("rPh"))
                --phonetic;
            else if (reader.name() == end)
                break;
        }
    }
    return decodeEscapes(text);
}

} // namespace

XlsxReader::XlsxReader(const QString& fileName) : WorkbookReader(fileName)
{
    m_cells.setSharedTexts(&m_strings);
}

XlsxReader::~XlsxReader()
{
    if (m_zip)
        zip_discard(m_zip);
}

std::unique_ptr<XlsxReader> XlsxReader::open(const QString& fileName, QString* error)
{
    std::unique_ptr<XlsxReader> reader(new XlsxReader(fileName));
    int code = 0;
    reader->m_zip = zip_open(QFile::encodeName(fileName).constData(), ZIP_RDONLY, &code);
    if (!reader->m_zip) {
        *error = workbookFailure(fileName, notAWorkbook());
        return nullptr;
    }
    if (!reader->readStructure(error))
        return nullptr;
    return reader;
}

bool XlsxReader::hasPart(const QString& path) const
{
    return zip_name_locate(m_zip, path.toUtf8().constData(), ZIP_FL_NOCASE) >= 0;
}

bool XlsxReader::readPart(const QString& path, qint64 limit, const PartParser& parse,
                          QString* error) const
{
    return readRawPart(
        path, limit,
        [&](QIODevice& part, QString* reason) {
            QXmlStreamReader xml(&part);
            return parse(xml, reason) && !xml.hasError();
        },
        error);
}

bool XlsxReader::readRawPart(const QString& path, qint64 limit, const RawPartParser& parse,
                             QString* error) const
{
    const zip_int64_t index = zip_name_locate(m_zip, path.toUtf8().constData(), ZIP_FL_NOCASE);
    zip_file_t* file = index < 0 ? nullptr : zip_fopen_index(m_zip, zip_uint64_t(index), 0);
    if (!file) {
        *error = failure(damagedPart(path));
        return false;
    }
    ZipPartDevice device(file, limit);
    QString reason;
    const bool parsed = parse(device, &reason);
    if (device.tooLarge()) {
        *error = failure(partTooLarge(path, limit));
        return false;
    }
    if (!reason.isEmpty()) {
        *error = failure(reason);
        return false;
    }
    if (!parsed || device.failed()) {
        *error = failure(damagedPart(path));
        return false;
    }
    return true;
}

bool XlsxReader::readStructure(QString* error)
{
    QString workbookPath = QStringLiteral("xl/workbook.xml");
    QString ignored;
    QHash<QString, Relationship> rootRels;
    auto relsOf = [](QHash<QString, Relationship>* rels, const QString& source) {
        return [rels, source](QXmlStreamReader& xml, QString*) {
            *rels = parseRelationships(xml, source);
            return true;
        };
    };
    if (readPart(QStringLiteral("_rels/.rels"), kMaxSmallPart, relsOf(&rootRels, QString()),
                 &ignored)) {
        const QString target = targetOfType(rootRels, QStringLiteral("/officeDocument"));
        if (!target.isEmpty())
            workbookPath = target;
    }
    QHash<QString, Relationship> rels;
    const QString relsPath = relsPathOf(workbookPath);
    if (hasPart(relsPath) && !readPart(relsPath, kMaxSmallPart, relsOf(&rels, workbookPath), error))
        return false;

    const bool read = readPart(
        workbookPath, kMaxSmallPart,
        [&](QXmlStreamReader& reader, QString*) {
            while (!reader.atEnd()) {
                reader.readNext();
                if (!reader.isStartElement())
                    continue;
                const QXmlStreamAttributes a = reader.attributes();
                if (reader.name() == QLatin1String("workbookPr")) {
                    const QStringView value = a.value(QLatin1String("date1904"));
                    m_date1904 = value == QLatin1String("1") || value == QLatin1String("true");
                } else if (reader.name() == QLatin1String("sheet")) {
                    QString id;
                    for (const QXmlStreamAttribute& attribute : a) {
                        const QStringView name = attribute.qualifiedName();
                        if (name == QLatin1String("id") || name.endsWith(QLatin1String(":id")))
                            id = attribute.value().toString();
                    }
                    const Relationship rel = rels.value(id);
                    if (rel.target.isEmpty())
                        return false;
                    m_names.append(a.value(QLatin1String("name")).toString());
                    m_sheetPaths.append(rel.target);
                }
            }
            return true;
        },
        error);
    if (!read)
        return false;

    const QString strings = targetOfType(rels, QStringLiteral("/sharedStrings"));
    if (!strings.isEmpty() && !readSharedStrings(strings, error))
        return false;
    const QString styles = targetOfType(rels, QStringLiteral("/styles"));
    return styles.isEmpty() || readStyles(styles, error);
}

bool XlsxReader::readSharedStrings(const QString& path, QString* error)
{
    const bool read = readRawPart(
        path, kMaxLargePart,
        [this](QIODevice& part, QString*) {
            if (isUtf8Xml(part.peek(256))) {
                SheetScanner scanner(part);
                QByteArray bytes;
                for (;;) {
                    switch (scanner.next()) {
                    case SheetScanner::Finished:
                        return true;
                    case SheetScanner::Damaged:
                        return false;
                    case SheetScanner::Start:
                        if (scanner.name() == "si") {
                            bytes.clear();
                            if (!scanRichText(scanner, &bytes))
                                return false;
                            addSharedString(bytes.size() > kMaxCellBytes
                                                ? QString()
                                                : decodeEscapes(QString::fromUtf8(bytes)),
                                            bytes.size() > kMaxCellBytes);
                        }
                        break;
                    default:
                        break;
                    }
                }
            }
            QXmlStreamReader reader(&part);
            reader.setNamespaceProcessing(false);
            while (!reader.atEnd()) {
                reader.readNext();
                if (reader.isStartElement() && reader.name() == QLatin1String("si"))
                    addSharedString(readRichText(reader), false);
            }
            return !reader.hasError();
        },
        error);
    m_strings.squeeze();
    return read;
}

void XlsxReader::addSharedString(const QString& text, bool tooLong)
{
    // A string past a cell's limit is refused only when a cell uses it,
    // so that the message can name that cell.
    if (tooLong || text.size() > kMaxCellCharacters) {
        m_tooLongStrings.insert(m_strings.size());
        m_strings.add(QString());
        return;
    }
    m_strings.add(text);
}

bool XlsxReader::readStyles(const QString& path, QString* error)
{
    QHash<int, QString> formats;
    QVector<int> xfFormats;
    const bool read = readPart(
        path, kMaxSmallPart,
        [&](QXmlStreamReader& reader, QString*) {
            QStringList open; // names of the enclosing elements
            while (!reader.atEnd()) {
                reader.readNext();
                if (reader.isEndElement()) {
                    if (!open.isEmpty())
                        open.removeLast();
                    continue;
                }
                if (!reader.isStartElement())
                    continue;
                const QString parent = open.isEmpty() ? QString() : open.last();
                const QXmlStreamAttributes a = reader.attributes();
                if (reader.name() == QLatin1String("numFmt") &&
                    parent == QLatin1String("numFmts")) {
                    formats.insert(a.value(QLatin1String("numFmtId")).toInt(),
                                   a.value(QLatin1String("formatCode")).toString());
                } else if (reader.name() == QLatin1String("xf") &&
                           parent == QLatin1String("cellXfs")) {
                    xfFormats.append(a.value(QLatin1String("numFmtId")).toInt());
                }
                open.append(reader.name().toString());
            }
            return true;
        },
        error);
    if (!read)
        return false;
    for (const int id : std::as_const(xfFormats)) {
        const auto custom = formats.constFind(id);
        m_styleFormats.append(custom != formats.constEnd() ? numberFormatOf(*custom)
                                                           : builtinNumberFormat(id));
    }
    return true;
}

bool XlsxReader::loadSheet(int index, QString* error)
{
    m_cells.clear();
    m_formulasWithoutValue.clear();
    const QString name = m_names.at(index);
    m_loadingSheet = name;
    const bool read = readRawPart(
        m_sheetPaths.at(index), kMaxLargePart,
        [&](QIODevice& part, QString* reason) {
            if (isUtf8Xml(part.peek(256)))
                return scanSheet(part, name, reason);
            QXmlStreamReader xml(&part);
            return readSheet(xml, name, reason) && !xml.hasError();
        },
        error);
    if (!read) {
        m_cells.clear();
        m_formulasWithoutValue.clear();
    }
    m_cells.squeeze();
    return read;
}

bool XlsxReader::readSheet(QXmlStreamReader& reader, const QString& sheetName, QString* reason)
{
    // Elements are told apart by local name alone, and without namespace
    // processing the parse of a large sheet takes a sixth less time.
    reader.setNamespaceProcessing(false);
    int row = 0;
    int column = 0;
    QString value;
    QString formula;
    QString inlineText;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("row")) {
            const QStringView r = reader.attributes().value(QLatin1String("r"));
            if (r.isEmpty()) {
                ++row;
            } else {
                bool ok = false;
                const qlonglong number = r.toLongLong(&ok);
                if (!ok || number < 1)
                    return false;
                row = int(std::min<qlonglong>(number, qlonglong(kMaxSheetRows) + 1));
            }
            if (row > kMaxSheetRows) {
                *reason =
                    outOfSheet(sheetName, QStringLiteral("第%1行").arg(
                                              r.isEmpty() ? QString::number(row) : r.toString()));
                return false;
            }
            column = 0;
            continue;
        }
        if (reader.name() != QLatin1String("c"))
            continue;

        const QXmlStreamAttributes a = reader.attributes();
        if (!moveToCell(a.value(QLatin1String("r")), &row, &column, sheetName, reason))
            return false;
        const QString type = a.value(QLatin1String("t")).toString();
        const int style = a.value(QLatin1String("s")).toInt();

        value.clear();
        formula.clear();
        inlineText.clear();
        bool hasValue = false;
        bool hasFormula = false;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isEndElement() && reader.name() == QLatin1String("c"))
                break;
            if (!reader.isStartElement())
                continue;
            if (reader.name() == QLatin1String("v")) {
                value = reader.readElementText();
                hasValue = true;
            } else if (reader.name() == QLatin1String("is")) {
                inlineText = readRichText(reader);
                hasValue = true;
            } else if (reader.name() == QLatin1String("f")) {
                formula = reader.readElementText();
                hasFormula = true;
            } else {
                reader.skipCurrentElement();
            }
        }
        if (reader.hasError())
            return false;
        if (value.size() > kMaxCellCharacters || inlineText.size() > kMaxCellCharacters) {
            *reason = cellTooLongReason(sheetName, row, column);
            return false;
        }
        if (!storeCell(row, column, type, style, value, hasValue, formula, hasFormula, inlineText,
                       reason))
            return false;
    }
    return !reader.hasError();
}

bool XlsxReader::storeCell(int row, int column, QStringView type, int style, const QString& value,
                           bool hasValue, const QString& formula, bool hasFormula,
                           const QString& inlineText, QString* reason)
{
    if (type == QLatin1String("s")) {
        if (value.isEmpty())
            return true; // no string at all: an empty cell
        bool ok = false;
        const uint i = value.toUInt(&ok);
        return ok && storeShared(row, column, i, reason);
    }

    static const NumberFormat general;
    const NumberFormat& format =
        style >= 0 && style < m_styleFormats.size() ? m_styleFormats.at(style) : general;
    const bool textResult =
        (type == QLatin1String("str") || type == QLatin1String("inlineStr")) && hasValue;
    if (hasFormula && value.isEmpty() && !textResult) {
        // The writer saved the formula but not its result.
        QString constant;
        bool isNumber = false;
        if (!constantFormula(formula, &constant, &isNumber))
            m_formulasWithoutValue.push_back({row, column});
        else if (isNumber)
            m_cells.set(row, column, excelValueText(constant.toDouble(), m_date1904, format));
        else
            m_cells.set(row, column, constant);
        return true;
    }

    QString text;
    if (type == QLatin1String("inlineStr")) {
        text = inlineText;
    } else if (type == QLatin1String("str")) {
        text = decodeEscapes(value);
    } else if (type == QLatin1String("b")) {
        text = value.isEmpty() ? QString() : excelBoolText(value != QLatin1String("0"));
    } else if (type == QLatin1String("e")) {
        text = value;
    } else if (type == QLatin1String("d")) {
        text = isoDateText(value);
    } else if (!value.isEmpty()) {
        bool ok = false;
        const double number = value.toDouble(&ok);
        text = ok ? excelValueText(number, m_date1904, format) : value;
    }
    m_cells.set(row, column, text);
    return true;
}

bool XlsxReader::scanSheet(QIODevice& part, const QString& sheetName, QString* reason)
{
    SheetScanner scanner(part);
    int row = 0;
    int column = 0;
    QByteArray bytes;
    QString value;
    QString formula;
    QString inlineText;
    for (;;) {
        const SheetScanner::Token token = scanner.next();
        if (token == SheetScanner::Finished)
            return true;
        if (token == SheetScanner::Damaged)
            return false;
        if (token != SheetScanner::Start)
            continue;
        if (scanner.name() == "row") {
            const QByteArrayView r = scanner.attribute("r");
            if (r.isEmpty()) {
                ++row;
            } else {
                bool ok = false;
                const qlonglong number = r.toByteArray().toLongLong(&ok);
                if (!ok || number < 1)
                    return false;
                row = int(std::min<qlonglong>(number, qlonglong(kMaxSheetRows) + 1));
            }
            if (row > kMaxSheetRows) {
                *reason = outOfSheet(
                    sheetName, QStringLiteral("第%1行").arg(r.isEmpty() ? QString::number(row)
                                                                        : QString::fromLatin1(r)));
                return false;
            }
            column = 0;
            continue;
        }
        if (scanner.name() != "c")
            continue;

        if (!moveToCell(scanner.attribute("r"), &row, &column, sheetName, reason))
            return false;
        const QByteArrayView typeBytes = scanner.attribute("t");
        const bool isShared = typeBytes == "s";
        const QString type = isShared ? QString() : QString::fromLatin1(typeBytes);
        const int style = scanner.attribute("s").toByteArray().toInt();

        QByteArray sharedIndex;
        value.clear();
        formula.clear();
        inlineText.clear();
        bool hasValue = false;
        bool hasFormula = false;
        for (bool inCell = true; inCell;) {
            switch (scanner.next()) {
            case SheetScanner::Skipped: // next() passes these over
                break;
            case SheetScanner::Finished:
            case SheetScanner::Damaged:
                return false;
            case SheetScanner::End:
                inCell = false; // children's ends are read with them
                break;
            case SheetScanner::Text:
                break;
            case SheetScanner::Start:
                bytes.clear();
                if (scanner.name() == "v") {
                    if (!scanner.readText(&bytes))
                        return false;
                    if (bytes.size() > kMaxCellBytes) {
                        *reason = cellTooLongReason(sheetName, row, column);
                        return false;
                    }
                    hasValue = true;
                    if (isShared)
                        sharedIndex = bytes;
                    else
                        value = QString::fromUtf8(bytes);
                } else if (scanner.name() == "f") {
                    if (!scanner.readText(&bytes))
                        return false;
                    hasFormula = true;
                    formula = QString::fromUtf8(bytes);
                } else if (scanner.name() == "is") {
                    if (!scanRichText(scanner, &bytes))
                        return false;
                    if (bytes.size() > kMaxCellBytes) {
                        *reason = cellTooLongReason(sheetName, row, column);
                        return false;
                    }
                    inlineText = decodeEscapes(QString::fromUtf8(bytes));
                    hasValue = true;
                } else if (!scanner.readText(&bytes)) {
                    return false;
                }
                break;
            }
        }
        if (isShared) {
            // The common case, kept free of string conversions.
            if (sharedIndex.isEmpty())
                continue;
            bool ok = false;
            const uint i = sharedIndex.toUInt(&ok);
            if (!ok || !storeShared(row, column, i, reason))
                return false;
            continue;
        }
        if (value.size() > kMaxCellCharacters || inlineText.size() > kMaxCellCharacters) {
            *reason = cellTooLongReason(sheetName, row, column);
            return false;
        }
        if (!storeCell(row, column, type, style, value, hasValue, formula, hasFormula, inlineText,
                       reason))
            return false;
    }
}

bool XlsxReader::storeShared(int row, int column, uint index, QString* reason)
{
    if (index >= m_strings.size())
        return false;
    if (!m_tooLongStrings.isEmpty() && m_tooLongStrings.contains(index)) {
        *reason = cellTooLongReason(m_loadingSheet, row, column);
        return false;
    }
    m_cells.setShared(row, column, index);
    return true;
}
