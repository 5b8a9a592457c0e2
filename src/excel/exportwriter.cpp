#include "excel/exportwriter.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>
#include <cstring>
#include <vector>

ExportRows::~ExportRows() = default;

bool ListExportRows::nextRow(QStringList* values)
{
    if (m_next >= m_rows.size())
        return false;
    *values = m_rows.at(m_next++);
    return true;
}

namespace
{

QString writeFailure(const QString& fileName, const QString& reason)
{
    return QStringLiteral("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(fileName), reason);
}

// Writes FILENAME as a whole, in GB18030. Each character's bytes are asked of
// the converter once and then kept: an export repeats the same few thousand
// characters many times over.
class Gb18030File
{
public:
    explicit Gb18030File(const QString& fileName)
        : m_file(fileName), m_encoder("GB18030", QStringEncoder::Flag::Stateless)
    {
    }

    bool open(QString* error)
    {
        if (!m_encoder.isValid()) {
            *error = writeFailure(m_file.fileName(), QStringLiteral("本系统缺少GB18030编码支持。"));
            return false;
        }
        if (!m_file.open(QIODevice::WriteOnly)) {
            *error = writeFailure(m_file.fileName(), m_file.errorString());
            return false;
        }
        return true;
    }

    void append(char ascii)
    {
        *room(1) = ascii;
        ++m_used;
    }
    void append(const char* ascii)
    {
        const size_t n = std::strlen(ascii);
        std::memcpy(room(qsizetype(n)), ascii, n);
        m_used += qsizetype(n);
    }

    void append(QStringView text)
    {
        const char16_t* p = text.utf16();
        const qsizetype n = text.size();
        char* out = room(4 * n);
        char* const start = out;
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = p[i];
            if (c < 0x80) {
                *out++ = char(c);
            } else if (QChar::isSurrogate(c)) {
                const qsizetype length =
                    QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(p[i + 1]) ? 2
                                                                                              : 1;
                const QByteArray bytes = m_encoder.encode(text.mid(i, length));
                std::memcpy(out, bytes.constData(), size_t(std::min<qsizetype>(bytes.size(), 4)));
                out += std::min<qsizetype>(bytes.size(), 4);
                i += length - 1;
            } else {
                const Code& code = codeOf(c);
                std::memcpy(out, code.bytes, 4);
                out += code.size;
            }
        }
        m_used += out - start;
    }

    bool flushIfFull() { return m_used < (1 << 20) || flush(); }

    bool flush()
    {
        const bool ok = m_file.write(m_out.constData(), m_used) == m_used;
        m_used = 0;
        return ok;
    }

    bool commit(QString* error)
    {
        if (!flush() || !m_file.commit()) {
            *error = writeFailure(m_file.fileName(), m_file.errorString());
            return false;
        }
        return true;
    }

    QString failure() const { return writeFailure(m_file.fileName(), m_file.errorString()); }

private:
    struct Code {
        qsizetype size = 0;
        char bytes[4] = {};
    };

    // Space for N more bytes at the end of the buffer.
    char* room(qsizetype n)
    {
        if (m_out.size() - m_used < n)
            m_out.resize(std::max<qsizetype>(m_used + n, 2 * m_out.size() + (1 << 20)));
        return m_out.data() + m_used;
    }

    const Code& codeOf(char16_t c)
    {
        if (m_codes.empty())
            m_codes.resize(0x10000);
        Code& code = m_codes[c];
        if (code.size == 0) {
            const QByteArray bytes = m_encoder.encode(QStringView(&c, 1));
            code.size = std::min<qsizetype>(bytes.size(), 4);
            std::memcpy(code.bytes, bytes.constData(), size_t(code.size));
        }
        return code;
    }

    QSaveFile m_file;
    QStringEncoder m_encoder;
    QByteArray m_out;
    qsizetype m_used = 0;
    std::vector<Code> m_codes;
};

bool needsQuotes(const QString& value)
{
    if (value.startsWith(QLatin1Char('"')))
        return true;
    for (const QChar c : value) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return true;
    }
    return false;
}

bool isPlainNumber(QStringView digits)
{
    const qsizetype point = digits.indexOf(QLatin1Char('.'));
    const QStringView whole = point < 0 ? digits : digits.left(point);
    const QStringView fraction = point < 0 ? QStringView() : digits.mid(point + 1);
    const auto allDigits = [](QStringView part) {
        return !part.isEmpty() && std::all_of(part.begin(), part.end(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        });
    };
    return allDigits(whole) && (point < 0 || allDigits(fraction));
}

// How spreadsheet programs read a field of tab-separated text: one that
// begins with "=" or "@" is a formula (Excel takes "@home" for a name and
// shows an error), and so is one that begins with "+" or "-" unless the rest
// is a plain number. A leading TAB or CR is passed over before that test by some
// programs. Such a field is written with a leading apostrophe, which makes it
// text. A sign followed by digits with at most one decimal point
// (+8613800138000, -5, -0.5) and a sign on its own are not formulas and
// stay as they are; a value that only contains these characters later on
// (an address with "@home" in it) is never touched.
bool readsAsFormula(QStringView value)
{
    if (value.isEmpty())
        return false;
    const QChar first = value.front();
    if (first == QLatin1Char('=') || first == QLatin1Char('@') || first == QLatin1Char('\t') ||
        first == QLatin1Char('\r'))
        return true;
    if (first == QLatin1Char('+') || first == QLatin1Char('-'))
        return value.size() > 1 && !isPlainNumber(value.mid(1));
    return false;
}

} // namespace

QString tabTextField(const QString& value)
{
    const bool formula = readsAsFormula(value);
    if (!formula && !needsQuotes(value))
        return value;
    QString quoted = formula ? QLatin1Char('\'') + value : value;
    if (!needsQuotes(quoted))
        return quoted;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool writeTabText(const QString& fileName, ExportRows& rows, QString* error)
{
    Gb18030File file(fileName);
    if (!file.open(error))
        return false;
    const QStringList columns = rows.columnNames();
    for (const QString& name : columns) {
        file.append('"');
        file.append(name);
        file.append("\"\t");
    }
    file.append("\r\n");

    QStringList values;
    while (rows.nextRow(&values)) {
        for (qsizetype i = 0; i < columns.size(); ++i) {
            if (i < values.size()) {
                const QString& value = values.at(i);
                if (needsQuotes(value) || readsAsFormula(value))
                    file.append(tabTextField(value));
                else
                    file.append(value);
            }
            file.append('\t');
        }
        file.append("\r\n");
        if (!file.flushIfFull()) {
            *error = file.failure();
            return false;
        }
    }
    return file.commit(error);
}

bool writeXlsx(const QString& fileName, ExportRows& rows, QString* error, const QString& sheetName)
{
    // libxlsxwriter writes the package in one go at the end; it is made in a
    // scratch folder and then put in place whole.
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        *error = writeFailure(fileName, scratch.errorString());
        return false;
    }
    const QByteArray scratchDir = QFile::encodeName(scratch.path());
    const QByteArray scratchFile = QFile::encodeName(scratch.filePath(QStringLiteral("out.xlsx")));
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(scratchDir.constData());
    lxw_workbook* workbook = workbook_new_opt(scratchFile.constData(), &options);
    if (!workbook) {
        *error = writeFailure(fileName, outOfMemory());
        return false;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, sheetName.toUtf8().constData());
    lxw_error failed = sheet ? LXW_NO_ERROR : LXW_ERROR_SHEETNAME_LENGTH_EXCEEDED;

    const QStringList columns = rows.columnNames();
    for (qsizetype c = 0; c < columns.size() && !failed; ++c)
        failed = worksheet_write_string(sheet, 0, lxw_col_t(c), columns.at(c).toUtf8().constData(),
                                        nullptr);
    QStringList values;
    for (lxw_row_t row = 1; !failed && rows.nextRow(&values); ++row) {
        for (qsizetype c = 0; c < columns.size() && c < values.size() && !failed; ++c) {
            if (!values.at(c).isEmpty())
                failed = worksheet_write_string(sheet, row, lxw_col_t(c),
                                                values.at(c).toUtf8().constData(), nullptr);
        }
    }
    const lxw_error closed = workbook_close(workbook);
    if (failed || closed) {
        *error = writeFailure(fileName, QString::fromUtf8(lxw_strerror(failed ? failed : closed)));
        return false;
    }

    QFile made(scratch.filePath(QStringLiteral("out.xlsx")));
    QSaveFile target(fileName);
    if (!made.open(QIODevice::ReadOnly)) {
        *error = writeFailure(fileName, made.errorString());
        return false;
    }
    if (!target.open(QIODevice::WriteOnly)) {
        *error = writeFailure(fileName, target.errorString());
        return false;
    }
    const QByteArray bytes = made.readAll();
    if (target.write(bytes) != bytes.size() || !target.commit()) {
        *error = writeFailure(fileName, target.errorString());
        return false;
    }
    return true;
}

QString exportFileName(const QString& chosen, const QString& extension)
{
    const qsizetype nameStart = chosen.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = chosen.lastIndexOf(QLatin1Char('.'));
    // A dot at the start of the name begins a hidden file's name, not an
    // extension.
    if (dot <= nameStart)
        return chosen + extension;
    if (chosen.mid(dot).compare(extension, Qt::CaseInsensitive) == 0)
        return chosen;
    return chosen.left(dot) + extension;
}
