#include "print/textfit.h"

#include <QFontMetricsF>

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
        if (fits && narrow(r.lines, width, fm))
            return r;
        if (size <= kMinPointSize) {
            r.overflowed = true;
            return r;
        }
        size = qMax(kMinPointSize, size - kStepPointSize);
        r.font.setPointSizeF(size);
    }
}

} // namespace TextFit
