#include "print/textfit.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace
{

// Characters that may stand alone on either side of a line break.
bool breaksAnywhere(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xAC00 && u <= 0xD7AF) ||
           (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) ||
           (u >= 0xFF00 && u <= 0xFFEF) || c.isSurrogate();
}

// Tokens: a single breakable character, a run of blanks, or a Latin word.
QStringList tokens(const QString& text)
{
    QStringList out;
    int i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        int j = i + 1;
        if (c.isHighSurrogate() && j < text.size())
            ++j;
        else if (c.isSpace())
            while (j < text.size() && text.at(j).isSpace())
                ++j;
        else if (!breaksAnywhere(c))
            while (j < text.size() && !text.at(j).isSpace() && !breaksAnywhere(text.at(j)))
                ++j;
        out << text.mid(i, j - i);
        i = j;
    }
    return out;
}

void wrapParagraph(const QString& text, double width, const QFontMetricsF& fm, QStringList* lines)
{
    QString line;
    double used = 0;
    auto flush = [&] {
        lines->append(line);
        line.clear();
        used = 0;
    };
    for (const QString& t : tokens(text)) {
        const bool blank = t.at(0).isSpace();
        if (blank && line.isEmpty())
            continue;
        const double w = fm.horizontalAdvance(t);
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

QStringList wrapWith(const QString& text, double width, const QFontMetricsF& fm)
{
    QStringList lines;
    if (!text.contains(QLatin1Char('\n'))) {
        wrapParagraph(text, width, fm, &lines);
        return lines;
    }
    for (const QString& paragraph : text.split(QLatin1Char('\n')))
        wrapParagraph(paragraph, width, fm, &lines);
    return lines;
}

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
    return wrapWith(text, width, QFontMetricsF(font, device));
}

Result fit(const QString& text, double width, double height, const QFont& font,
           QPaintDevice* device)
{
    Result r;
    r.font = font;
    double size = font.pointSizeF() > 0 ? font.pointSizeF() : kMinPointSize;
    for (;;) {
        const QFontMetricsF fm(r.font, device);
        r.lines = wrapWith(text, width, fm);
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
