#include "xlsxreader.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QXmlStreamReader>

#include <quazip.h>
#include <quazipfile.h>

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
QHash<QString, Relationship> parseRelationships(const QByteArray& xml, const QString& source)
{
    QHash<QString, Relationship> result;
    const QString folder = folderOf(source);
    QXmlStreamReader reader(xml);
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

// "AB12" as row 12, column 28; false for anything else.
bool parseCellReference(QStringView ref, int* row, int* column)
{
    int c = 0;
    qsizetype i = 0;
    for (; i < ref.size() && ref.at(i).isLetter(); ++i) {
        c = c * 26 + (ref.at(i).toUpper().unicode() - 'A' + 1);
        if (c > 16384)
            return false;
    }
    bool ok = false;
    const int r = ref.mid(i).toInt(&ok);
    if (i == 0 || !ok)
        return false;
    *row = r;
    *column = c;
    return true;
}

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

XlsxReader::XlsxReader(const QString& fileName) : WorkbookReader(fileName) {}

XlsxReader::~XlsxReader()
{
    if (m_zip)
        m_zip->close();
}

std::unique_ptr<XlsxReader> XlsxReader::open(const QString& fileName, QString* error)
{
    std::unique_ptr<XlsxReader> reader(new XlsxReader(fileName));
    reader->m_zip = std::make_unique<QuaZip>(fileName);
    if (!reader->m_zip->open(QuaZip::mdUnzip)) {
        *error = workbookFailure(fileName, notAWorkbook());
        return nullptr;
    }
    if (!reader->readStructure(error))
        return nullptr;
    return reader;
}

bool XlsxReader::readPart(const QString& path, QByteArray* data, QString* error) const
{
    if (!m_zip->setCurrentFile(path, QuaZip::csInsensitive)) {
        *error = failure(damagedPart(path));
        return false;
    }
    QuaZipFile file(m_zip.get());
    if (!file.open(QIODevice::ReadOnly)) {
        *error = failure(damagedPart(path));
        return false;
    }
    *data = file.readAll();
    file.close();
    if (file.getZipError() != UNZ_OK) {
        *error = failure(damagedPart(path));
        return false;
    }
    return true;
}

bool XlsxReader::readStructure(QString* error)
{
    QString workbookPath = QStringLiteral("xl/workbook.xml");
    QByteArray xml;
    QString ignored;
    if (readPart(QStringLiteral("_rels/.rels"), &xml, &ignored)) {
        const QString target =
            targetOfType(parseRelationships(xml, QString()), QStringLiteral("/officeDocument"));
        if (!target.isEmpty())
            workbookPath = target;
    }
    QHash<QString, Relationship> rels;
    if (readPart(relsPathOf(workbookPath), &xml, &ignored))
        rels = parseRelationships(xml, workbookPath);
    if (!readPart(workbookPath, &xml, error))
        return false;

    QXmlStreamReader reader(xml);
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
                if (attribute.name() == QLatin1String("id"))
                    id = attribute.value().toString();
            }
            const Relationship rel = rels.value(id);
            if (rel.target.isEmpty()) {
                *error = failure(damagedPart(workbookPath));
                return false;
            }
            m_names.append(a.value(QLatin1String("name")).toString());
            m_sheetPaths.append(rel.target);
        }
    }
    if (reader.hasError()) {
        *error = failure(damagedPart(workbookPath));
        return false;
    }

    const QString strings = targetOfType(rels, QStringLiteral("/sharedStrings"));
    if (!strings.isEmpty() && !readSharedStrings(strings, error))
        return false;
    const QString styles = targetOfType(rels, QStringLiteral("/styles"));
    return styles.isEmpty() || readStyles(styles, error);
}

bool XlsxReader::readSharedStrings(const QString& path, QString* error)
{
    QByteArray xml;
    if (!readPart(path, &xml, error))
        return false;
    QXmlStreamReader reader(xml);
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("si"))
            m_strings.append(readRichText(reader));
    }
    if (reader.hasError()) {
        *error = failure(damagedPart(path));
        return false;
    }
    return true;
}

bool XlsxReader::readStyles(const QString& path, QString* error)
{
    QByteArray xml;
    if (!readPart(path, &xml, error))
        return false;
    QHash<int, QString> formats;
    QVector<int> xfFormats;
    QXmlStreamReader reader(xml);
    QStringList open; // names of the enclosing elements
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isEndElement()) {
            open.removeLast();
            continue;
        }
        if (!reader.isStartElement())
            continue;
        const QString parent = open.isEmpty() ? QString() : open.last();
        const QXmlStreamAttributes a = reader.attributes();
        if (reader.name() == QLatin1String("numFmt") && parent == QLatin1String("numFmts")) {
            formats.insert(a.value(QLatin1String("numFmtId")).toInt(),
                           a.value(QLatin1String("formatCode")).toString());
        } else if (reader.name() == QLatin1String("xf") && parent == QLatin1String("cellXfs")) {
            xfFormats.append(a.value(QLatin1String("numFmtId")).toInt());
        }
        open.append(reader.name().toString());
    }
    if (reader.hasError()) {
        *error = failure(damagedPart(path));
        return false;
    }
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
    QByteArray xml;
    if (!readPart(m_sheetPaths.at(index), &xml, error))
        return false;
    if (!readSheet(xml, error)) {
        m_cells.clear();
        *error = failure(damagedPart(m_sheetPaths.at(index)));
        return false;
    }
    return true;
}

bool XlsxReader::readSheet(const QByteArray& xml, QString*)
{
    QXmlStreamReader reader(xml);
    // Elements are told apart by local name alone, and without namespace
    // processing the parse of a large sheet takes a sixth less time.
    reader.setNamespaceProcessing(false);
    int row = 0;
    int column = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("row")) {
            const QStringView r = reader.attributes().value(QLatin1String("r"));
            row = r.isEmpty() ? row + 1 : r.toInt();
            column = 0;
            continue;
        }
        if (reader.name() != QLatin1String("c"))
            continue;

        const QXmlStreamAttributes a = reader.attributes();
        const QStringView ref = a.value(QLatin1String("r"));
        if (ref.isEmpty())
            ++column;
        else if (!parseCellReference(ref, &row, &column))
            return false;
        if (row < 1 || row > 1048576 || column < 1 || column > 16384)
            return false;
        const QString type = a.value(QLatin1String("t")).toString();
        const int style = a.value(QLatin1String("s")).toInt();

        QString value;
        QString inlineText;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isEndElement() && reader.name() == QLatin1String("c"))
                break;
            if (!reader.isStartElement())
                continue;
            if (reader.name() == QLatin1String("v"))
                value = reader.readElementText();
            else if (reader.name() == QLatin1String("is"))
                inlineText = readRichText(reader);
            else
                reader.skipCurrentElement(); // the formula itself
        }

        QString text;
        if (type == QLatin1String("s")) {
            bool ok = false;
            const int i = value.toInt(&ok);
            if (!ok || i < 0 || i >= m_strings.size())
                return false;
            text = m_strings.at(i);
        } else if (type == QLatin1String("inlineStr")) {
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
            const DateKind kind =
                style >= 0 && style < m_styleKinds.size() ? m_styleKinds.at(style) : DateKind::None;
            text = ok ? excelValueText(number, m_date1904, kind) : value;
        }
        m_cells.set(row, column, text);
    }
    return !reader.hasError();
}
