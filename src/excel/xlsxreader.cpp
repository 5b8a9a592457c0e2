#include "xlsxreader.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QXmlStreamReader>

#include <QFile>
#include <QIODevice>

#include <zip.h>

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

// "AB12" as row 12, column 28.
Reference parseCellReference(QStringView ref, int* row, int* column)
{
    qint64 c = 0;
    qsizetype i = 0;
    for (; i < ref.size() && i < 8 && ref.at(i).isLetter(); ++i) {
        const char16_t letter = ref.at(i).toUpper().unicode();
        if (letter < u'A' || letter > u'Z')
            return Reference::Bad;
        c = c * 26 + (letter - u'A' + 1);
    }
    qint64 r = 0;
    qsizetype digits = 0;
    for (; i < ref.size() && digits < 12 && ref.at(i).isDigit(); ++i, ++digits)
        r = r * 10 + ref.at(i).digitValue();
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

QString partTooLarge(const QString& part, qint64 limit)
{
    return QStringLiteral("文件已损坏或内容过大（%1解压后超过%2 MB）。")
        .arg(part)
        .arg(limit >> 20);
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
    const zip_int64_t index = zip_name_locate(m_zip, path.toUtf8().constData(), ZIP_FL_NOCASE);
    zip_file_t* file = index < 0 ? nullptr : zip_fopen_index(m_zip, zip_uint64_t(index), 0);
    if (!file) {
        *error = failure(damagedPart(path));
        return false;
    }
    ZipPartDevice device(file, limit);
    QXmlStreamReader xml(&device);
    QString reason;
    const bool parsed = parse(xml, &reason);
    if (device.tooLarge()) {
        *error = failure(partTooLarge(path, limit));
        return false;
    }
    if (!reason.isEmpty()) {
        *error = failure(reason);
        return false;
    }
    if (!parsed || xml.hasError() || device.failed()) {
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
    if (hasPart(relsPath) &&
        !readPart(relsPath, kMaxSmallPart, relsOf(&rels, workbookPath), error))
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
    return readPart(
        path, kMaxLargePart,
        [this](QXmlStreamReader& reader, QString*) {
            reader.setNamespaceProcessing(false);
            while (!reader.atEnd()) {
                reader.readNext();
                if (reader.isStartElement() && reader.name() == QLatin1String("si"))
                    m_strings.add(readRichText(reader));
            }
            return true;
        },
        error);
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
        m_styleKinds.append(custom != formats.constEnd() ? dateKindOfFormat(*custom)
                                                         : dateKindOfBuiltinFormat(id));
    }
    return true;
}

bool XlsxReader::loadSheet(int index, QString* error)
{
    m_cells.clear();
    m_formulasWithoutValue.clear();
    const QString name = m_names.at(index);
    const bool read = readPart(
        m_sheetPaths.at(index), kMaxLargePart,
        [&](QXmlStreamReader& xml, QString* reason) { return readSheet(xml, name, reason); },
        error);
    if (!read) {
        m_cells.clear();
        m_formulasWithoutValue.clear();
    }
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
                *reason = outOfSheet(sheetName, QStringLiteral("第%1行").arg(r.isEmpty() ? QString::number(row) : r.toString()));
                return false;
            }
            column = 0;
            continue;
        }
        if (reader.name() != QLatin1String("c"))
            continue;

        const QXmlStreamAttributes a = reader.attributes();
        const QStringView ref = a.value(QLatin1String("r"));
        if (ref.isEmpty()) {
            ++column;
            if (row < 1)
                return false;
            if (column > kMaxSheetColumns) {
                *reason = outOfSheet(sheetName, QStringLiteral("第%1行第%2列").arg(row).arg(column));
                return false;
            }
        } else {
            switch (parseCellReference(ref, &row, &column)) {
            case Reference::Ok:
                break;
            case Reference::Bad:
                return false;
            case Reference::OutOfSheet:
                *reason = outOfSheet(sheetName, QStringLiteral("单元格%1").arg(ref.toString()));
                return false;
            }
        }
        const QStringView type = a.value(QLatin1String("t"));
        const bool isShared = type == QLatin1String("s");
        const QString typeText = isShared ? QString() : type.toString();
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
            } else if (reader.name() == QLatin1String("f")) {
                formula = reader.readElementText();
                hasFormula = true;
            } else {
                reader.skipCurrentElement();
            }
        }
        if (reader.hasError())
            return false;

        if (isShared) {
            if (value.isEmpty())
                continue; // no string at all: an empty cell
            bool ok = false;
            const uint i = value.toUInt(&ok);
            if (!ok || i >= m_strings.size())
                return false;
            m_cells.setShared(row, column, i);
            continue;
        }

        QString numberText;
        if (hasFormula && value.isEmpty() && !(typeText == QLatin1String("str") && hasValue)) {
            // The writer saved the formula but not its result.
            QString constant;
            bool isNumber = false;
            if (!constantFormula(formula, &constant, &isNumber)) {
                m_formulasWithoutValue.push_back({row, column});
                continue;
            }
            if (!isNumber) {
                m_cells.set(row, column, constant);
                continue;
            }
            numberText = constant;
        }

        QString text;
        if (!numberText.isEmpty()) {
            bool ok = false;
            const double number = numberText.toDouble(&ok);
            const DateKind kind =
                style >= 0 && style < m_styleKinds.size() ? m_styleKinds.at(style) : DateKind::None;
            text = excelValueText(number, m_date1904, kind);
        } else if (typeText == QLatin1String("inlineStr")) {
            text = inlineText;
        } else if (typeText == QLatin1String("str")) {
            text = decodeEscapes(value);
        } else if (typeText == QLatin1String("b")) {
            text = value.isEmpty() ? QString() : excelBoolText(value != QLatin1String("0"));
        } else if (typeText == QLatin1String("e")) {
            text = value;
        } else if (typeText == QLatin1String("d")) {
            text = isoDateText(value);
        } else if (!value.isEmpty()) {
            bool ok = false;
            const double number = value.toDouble(&ok);
            const DateKind kind =
                style >= 0 && style < m_styleKinds.size() ? m_styleKinds.at(style) : DateKind::None;
            text = ok ? excelValueText(number, m_date1904, kind) : value;
        }
        m_cells.set(row, column, text);
    }
    return !reader.hasError();
}
