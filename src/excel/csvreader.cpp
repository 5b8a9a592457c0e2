#include "excel/csvreader.h"

#include "excel/excelmessages.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <csv.h>

#include <algorithm>

namespace
{

struct ParseState {
    CellGrid* cells = nullptr;
    QStringDecoder* decoder = nullptr; // null for UTF-8
    int row = 1;
    int column = 0;
    int lastEnd = 0;   // the character that ended the previous row
    int beyondRow = 0; // the first non-empty field past Excel's sheet size
    int beyondColumn = 0;
    int tooLongRow = 0; // the first field past a cell's limit
    int tooLongColumn = 0;
};

// A field's bytes are cut off past this (no encoding here takes more than
// four bytes for one UTF-16 unit), and its text must fit in a cell.
constexpr size_t kMaxFieldBytes = 4 * size_t(kMaxCellCharacters);
// The parser is fed this much at a time, so that a field that never ends
// is caught while it is still small.
constexpr size_t kFeedBytes = 64 * 1024;

void onField(void* data, size_t length, void* context)
{
    auto* state = static_cast<ParseState*>(context);
    state->column = std::min(state->column + 1, kMaxSheetColumns + 1);
    if (length == 0)
        return;
    if (state->row > kMaxSheetRows || state->column > kMaxSheetColumns) {
        if (state->beyondRow == 0) {
            state->beyondRow = state->row;
            state->beyondColumn = state->column;
        }
        return;
    }
    if (state->tooLongRow > 0)
        return;
    const QByteArrayView bytes(static_cast<const char*>(data), qsizetype(length));
    const QString text = length > kMaxFieldBytes ? QString()
                         : state->decoder        ? state->decoder->decode(bytes)
                                                 : QString::fromUtf8(bytes);
    if (length > kMaxFieldBytes || text.size() > kMaxCellCharacters) {
        state->tooLongRow = state->row;
        state->tooLongColumn = state->column;
        return;
    }
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
    state->row = std::min(state->row + 1, kMaxSheetRows + 1);
    state->column = 0;
}

int noSpaces(unsigned char)
{
    return 0;
}

struct Utf8Count {
    qsizetype multiByte = 0; // well-formed sequences of two to four bytes
    qsizetype invalid = 0;   // bytes that begin no well-formed sequence
};

Utf8Count countUtf8(QByteArrayView bytes)
{
    Utf8Count count;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char lead = p[i];
        int length = lead < 0x80                    ? 1
                     : lead >= 0xC2 && lead <= 0xDF ? 2
                     : lead >= 0xE0 && lead <= 0xEF ? 3
                     : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                    : 0;
        for (int k = 1; k < length; ++k) {
            if (i + k >= n || (p[i + k] & 0xC0) != 0x80)
                length = 0;
        }
        if (length == 0) {
            ++count.invalid;
            ++i;
            continue;
        }
        if (length > 1)
            ++count.multiByte;
        i += length;
    }
    return count;
}

bool isValidUtf8(QByteArrayView bytes)
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
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = workbookFailure(fileName, file.errorString());
        return nullptr;
    }
    std::unique_ptr<CsvReader> reader(new CsvReader(fileName));
    reader->m_sheetName = QFileInfo(fileName).completeBaseName();
    if (!reader->parse(bytes, delimiter, error))
        return nullptr;
    // The file's bytes go first, so that the squeeze's copy is not on top.
    bytes.clear();
    reader->m_cells.squeeze();
    return reader;
}

bool CsvReader::parse(const QByteArray& bytes, char delimiter, QString* error)
{
    QByteArrayView body(bytes);
    QByteArray fromUtf16;
    std::unique_ptr<QStringDecoder> decoder;
    const bool littleEndian = body.startsWith("\xFF\xFE");
    if (littleEndian || body.startsWith("\xFE\xFF")) {
        // Excel's "Unicode text": UTF-16 with a byte-order mark, fields
        // separated by tabs; other programs separate them by commas. The
        // title row tells which. Parsed as the same text in UTF-8.
        QStringDecoder utf16(littleEndian ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        fromUtf16 = QString(utf16.decode(body.sliced(2))).toUtf8();
        body = fromUtf16;
        const qsizetype lineEnd = body.indexOf('\n');
        const QByteArrayView titles = lineEnd < 0 ? body : body.first(lineEnd);
        delimiter = titles.contains('\t') || !titles.contains(',') ? '\t' : ',';
        m_encoding = littleEndian ? QStringLiteral("UTF-16LE") : QStringLiteral("UTF-16BE");
    } else if (body.startsWith("\xEF\xBB\xBF")) {
        body = body.sliced(3);
        m_encoding = QStringLiteral("UTF-8");
    } else if (isValidUtf8(bytes)) {
        m_encoding = QStringLiteral("UTF-8");
    } else {
        m_encoding = QStringLiteral("GB18030");
        // Mostly well-formed UTF-8 with a few stray bytes is more likely a
        // damaged UTF-8 file than GBK text: the guess may be wrong.
        const Utf8Count count = countUtf8(body);
        m_encodingUncertain = count.multiByte > 0 && count.multiByte >= count.invalid;
        decoder = std::make_unique<QStringDecoder>("GB18030");
        if (!decoder->isValid()) {
            *error =
                failure(QStringLiteral("这个文件不是UTF-8编码，而本系统缺少GB18030编码支持。"));
            return false;
        }
    }

    csv_parser parser;
    if (csv_init(&parser, CSV_REPALL_NL) != 0) {
        *error = failure(outOfMemory());
        return false;
    }
    csv_set_space_func(&parser, noSpaces);
    csv_set_delim(&parser, uchar(delimiter));
    ParseState state;
    state.cells = &m_cells;
    state.decoder = decoder.get();
    const size_t size = size_t(body.size());
    bool ok = true;
    for (size_t done = 0; ok && done < size && state.tooLongRow == 0;) {
        const size_t n = std::min(kFeedBytes, size - done);
        ok = csv_parse(&parser, body.data() + done, n, onField, onRowEnd, &state) == n;
        done += n;
        if (parser.entry_pos > kMaxFieldBytes && state.tooLongRow == 0) {
            state.tooLongRow = std::min(state.row, kMaxSheetRows);
            state.tooLongColumn = std::min(state.column + 1, kMaxSheetColumns);
        }
    }
    if (ok && state.tooLongRow == 0)
        ok = csv_fini(&parser, onField, onRowEnd, &state) == 0;
    if (!ok)
        *error = failure(QString::fromLatin1(csv_strerror(csv_error(&parser))));
    csv_free(&parser);
    if (ok && state.tooLongRow > 0) {
        *error = failure(cellTooLongReason(m_sheetName, state.tooLongRow, state.tooLongColumn));
        return false;
    }
    if (ok && state.beyondRow > 0) {
        // Excel would not show these cells either; refused, not dropped.
        const QString where =
            state.beyondRow > kMaxSheetRows
                ? QStringLiteral("第%1行之后").arg(kMaxSheetRows)
                : QStringLiteral("第%1行第%2列之后").arg(state.beyondRow).arg(kMaxSheetColumns);
        *error = failure(QStringLiteral("%1还有内容，超出了Excel工作表的范围（最多%2行、%3列）。")
                             .arg(where)
                             .arg(kMaxSheetRows)
                             .arg(kMaxSheetColumns));
        return false;
    }
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
