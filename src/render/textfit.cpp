#include "render/textfit.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>

namespace
{

// Tokens: the pieces between Unicode's line break opportunities, each
// followed by its blanks as a token of their own. "，" "。" "）" stay with
// the character before them and "（" with the one after, as typesetting
// wants; Chinese breaks between other characters, Latin at blanks.
QStringList tokens(const QString& text)
{
    QStringList out;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype to = finder.toNextBoundary();
        if (to <= from || to > text.size())
            to = text.size();
        qsizetype blanks = to;
        while (blanks > from && text.at(blanks - 1).isSpace())
            --blanks;
        if (blanks > from)
            out << text.mid(from, blanks - from);
        if (to > blanks)
            out << text.mid(blanks, to - blanks);
        from = to;
    }
    return out;
}

// A paragraph's tokens, found once for every size a fit tries.
struct Paragraph {
    QStringList tokens;
    QString oneLine; // the tokens on one line, blanks before and after left out
};

QVector<Paragraph> paragraphs(const QString& text)
{
    QVector<Paragraph> out;
    const QStringList texts =
        text.contains(QLatin1Char('\n')) ? text.split(QLatin1Char('\n')) : QStringList(text);
    out.reserve(texts.size());
    for (const QString& t : texts) {
        Paragraph p;
        p.tokens = tokens(t);
        for (const QString& token : std::as_const(p.tokens))
            if (!p.oneLine.isEmpty() || !token.at(0).isSpace())
                p.oneLine += token;
        while (!p.oneLine.isEmpty() && p.oneLine.back().isSpace())
            p.oneLine.chop(1);
        out << p;
    }
    return out;
}

// A piece's width, measured once for each font when a cache is given.
double advance(const QString& piece, const QFontMetricsF& fm, QHash<QString, double>* cache)
{
    if (!cache)
        return fm.horizontalAdvance(piece);
    const auto it = cache->constFind(piece);
    if (it != cache->constEnd())
        return *it;
    const double w = fm.horizontalAdvance(piece);
    cache->insert(piece, w);
    return w;
}

void wrapParagraph(const Paragraph& paragraph, double width, const QFontMetricsF& fm,
                   QStringList* lines, QHash<QString, double>* cache = nullptr)
{
    // Most fields fit on one line: measured whole, as it is drawn, and once.
    // With the pieces' widths at hand a text far too long is not: shaped
    // together, pieces are never a fifth narrower than apart.
    bool tryWhole = !paragraph.oneLine.isEmpty();
    if (tryWhole && cache) {
        double pieces = 0;
        for (const QString& t : paragraph.tokens)
            pieces += advance(t, fm, cache);
        tryWhole = pieces <= width * 1.25;
    }
    if (tryWhole && fm.horizontalAdvance(paragraph.oneLine) <= width) {
        lines->append(paragraph.oneLine);
        return;
    }
    QString line;
    double used = 0;
    auto flush = [&] {
        lines->append(line);
        line.clear();
        used = 0;
    };
    for (const QString& t : paragraph.tokens) {
        const bool blank = t.at(0).isSpace();
        if (blank && line.isEmpty())
            continue;
        const double w = advance(t, fm, cache);
        if (used + w <= width) {
            line += t;
            used += w;
            continue;
        }
        if (blank) {
            flush();
            continue;
        }
        if (!line.isEmpty()) {
            while (!line.isEmpty() && line.back().isSpace())
                line.chop(1);
            flush();
        }
        if (w <= width) {
            line = t;
            used = w;
            continue;
        }
        // A word longer than a whole line breaks between any characters.
        for (const QChar c : t) {
            const double cw = fm.horizontalAdvance(c);
            if (!line.isEmpty() && used + cw > width)
                flush();
            line += c;
            used += cw;
        }
    }
    while (!line.isEmpty() && line.back().isSpace())
        line.chop(1);
    if (!line.isEmpty() || lines->isEmpty())
        lines->append(line);
}

QStringList wrapWith(const QVector<Paragraph>& paragraphs, double width, const QFontMetricsF& fm,
                     QHash<QString, double>* cache = nullptr)
{
    QStringList lines;
    for (const Paragraph& paragraph : paragraphs)
        wrapParagraph(paragraph, width, fm, &lines, cache);
    return lines;
}

// A job's texts keep adding pieces (numbers, names); past this many the
// widths are measured afresh.
constexpr int kMaxPieces = 50000;

// Lines are wrapped at the width; only a single character wider than the
// whole box can stick out, so only one-character lines need measuring.
bool narrow(const QStringList& lines, double width, const QFontMetricsF& fm)
{
    for (const QString& l : lines)
        if (l.size() <= 2 && fm.horizontalAdvance(l) > width + 0.01)
            return false;
    return true;
}

// The whole lines that fit `height`, at least one; when lines are left out
// the last one shown ends with an ellipsis, shortened to keep to the width.
QStringList wholeLines(const QStringList& lines, double width, double height,
                       const QFontMetricsF& fm)
{
    const int room = 1 + int(std::floor((height - fm.height() + 0.01) / fm.lineSpacing()));
    const int n = std::clamp(room, 1, int(lines.size()));
    if (n == lines.size())
        return lines;
    QStringList out = lines.mid(0, n);
    const QString ellipsis(QChar(0x2026));
    QString& last = out.last();
    while (!last.isEmpty() &&
           (last.back().isSpace() || fm.horizontalAdvance(last + ellipsis) > width + 0.01))
        last.chop(last.back().isLowSurrogate() && last.size() > 1 ? 2 : 1);
    last += ellipsis;
    return out;
}

} // namespace

namespace TextFit
{

QStringList wrap(const QString& text, double width, const QFont& font, QPaintDevice* device)
{
    return wrapWith(paragraphs(text), width, QFontMetricsF(font, device));
}

Result fit(const QString& text, double width, double height, const QFont& font,
           QPaintDevice* device, Advances* advances)
{
    Result r;
    r.font = font;
    double size = font.pointSizeF() > 0 ? font.pointSizeF() : kMinPointSize;
    const QVector<Paragraph> pieces = paragraphs(text);
    const QString base = advances ? font.key() + QLatin1Char('@') +
                                        QString::number(device->logicalDpiX()) + QLatin1Char('x') +
                                        QString::number(device->logicalDpiY()) + QLatin1Char('/')
                                  : QString();
    for (;;) {
        QHash<QString, double>* cache = nullptr;
        if (advances) {
            if (advances->pieces > kMaxPieces) {
                advances->bySize.clear();
                advances->pieces = 0;
            }
            Advances::Sized& sized = advances->bySize[base + QString::number(size)];
            if (sized.made) {
                r.font = sized.font;
            } else {
                sized.font = r.font;
                sized.made = true;
            }
            cache = &sized.widths;
            advances->pieces -= int(cache->size());
        }
        const QFontMetricsF fm(r.font, device);
        r.lines = wrapWith(pieces, width, fm, cache);
        if (cache)
            advances->pieces += int(cache->size());
        const bool fits = fm.height() + (r.lines.size() - 1) * fm.lineSpacing() <= height + 0.01;
        if (fits && narrow(r.lines, width, fm)) {
            r.printed = r.lines;
            return r;
        }
        if (size <= kMinPointSize) {
            r.overflowed = true;
            r.printed = wholeLines(r.lines, width, height, fm);
            return r;
        }
        size = qMax(kMinPointSize, size - kStepPointSize);
        r.font.setPointSizeF(size);
    }
}

} // namespace TextFit
