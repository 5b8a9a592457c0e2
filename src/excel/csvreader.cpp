#include "csvreader.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <csv.h>

namespace
{

struct ParseState {
    CellGrid* cells = nullptr;
    QStringDecoder* decoder = nullptr; // null for UTF-8
    int row = 1;
    int column = 0;
    int lastEnd = 0; // the character that ended the previous row
};

void onField(void* data, size_t length, void* context)
{
    auto* state = static_cast<ParseState*>(context);
    ++state->column;
    if (length == 0)
        return;
    const QByteArrayView bytes(static_cast<const char*>(data), qsizetype(length));
    const QString text = state->decoder ? state->decoder->decode(bytes) : QString::fromUtf8(bytes);
    state->cells->set(state->row, state->column, text);
}

void onRowEnd(int terminator, void* context)
{
    auto* state = static_cast<ParseState*>(context);
    // Every line break is reported, so that blank lines count as rows as
    // they do in a spreadsheet; the LF of a CR LF pair is not a row of its own.
    const bool lfOfCrLf = state->column == 0 && terminator == '\n' && state->lastEnd == '\r';
    state->lastEnd = terminator;
    if (lfOfCrLf)
        return;
    ++state->row;
    state->column = 0;
}

int noSpaces(unsigned char)
{
    return 0;
}

bool isValidUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    Q_UNUSED(text);
    return !decoder.hasError();
}

} // namespace

std::unique_ptr<CsvReader> CsvReader::open(const QString& fileName, QString* error, char delimiter)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = workbookFailure(fileName, file.errorString());
        return nullptr;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = workbookFailure(fileName, file.errorString());
        return nullptr;
    }
    std::unique_ptr<CsvReader> reader(new CsvReader(fileName));
    reader->m_sheetName = QFileInfo(fileName).completeBaseName();
    if (!reader->parse(bytes, delimiter, error))
        return nullptr;
    return reader;
}

bool CsvReader::parse(const QByteArray& bytes, char delimiter, QString* error)
{
    QByteArrayView body(bytes);
    std::unique_ptr<QStringDecoder> decoder;
    if (body.startsWith("\xEF\xBB\xBF")) {
        body = body.sliced(3);
        m_encoding = QStringLiteral("UTF-8");
    } else if (isValidUtf8(bytes)) {
        m_encoding = QStringLiteral("UTF-8");
    } else {
        m_encoding = QStringLiteral("GB18030");
        decoder = std::make_unique<QStringDecoder>("GB18030");
        if (!decoder->isValid()) {
            *error =
                failure(QStringLiteral("这个文件不是UTF-8编码，而本系统缺少GB18030编码支持。"));
            return false;
        }
    }

    csv_parser parser;
    if (csv_init(&parser, CSV_REPALL_NL) != 0) {
        *error = failure(QStringLiteral("内存不足。"));
        return false;
    }
    csv_set_space_func(&parser, noSpaces);
    csv_set_delim(&parser, uchar(delimiter));
    ParseState state;
    state.cells = &m_cells;
    state.decoder = decoder.get();
    const size_t parsed =
        csv_parse(&parser, body.data(), size_t(body.size()), onField, onRowEnd, &state);
    const bool ok =
        parsed == size_t(body.size()) && csv_fini(&parser, onField, onRowEnd, &state) == 0;
    if (!ok)
        *error = failure(QString::fromLatin1(csv_strerror(csv_error(&parser))));
    csv_free(&parser);
    return ok;
}

bool CsvReader::loadSheet(int, QString*)
{
    return true;
}

UsedRange CsvReader::usedRange() const
{
    return currentSheet() < 0 ? UsedRange() : m_cells.usedRange();
}

QString CsvReader::cellText(int row, int column) const
{
    return currentSheet() < 0 ? QString() : m_cells.text(row, column);
}
