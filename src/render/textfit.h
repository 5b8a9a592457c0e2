#pragma once

#include <QFont>
#include <QHash>
#include <QStringList>

class QPaintDevice;

// Fitting a text into a box: wrapped at the box's width, then shrunk in
// half-point steps until the lines fit its height, no smaller than 6 pt.
namespace TextFit
{

constexpr double kMinPointSize = 6.0;
constexpr double kStepPointSize = 0.5;
// Below this size a fitted text counts as hard to read.
constexpr double kReadablePointSize = 8.0;

struct Result {
    QStringList lines;       // the whole text, wrapped
    QFont font;              // the font the lines were laid out with
    bool overflowed = false; // the lines do not fit even at the smallest size
    // The lines that go into the box: all of them, or when they are too many
    // the whole lines that fit (at least one), the last ending with "…".
    QStringList printed;
    bool cut() const { return printed.size() < lines.size(); }
};

// Widths of pieces already measured, by font: the texts of one job share
// most of their characters, and measuring a piece shapes it.
struct Advances {
    struct Sized {
        QFont font; // made once: a font made anew looks its glyphs up again
        QHash<QString, double> widths;
        bool made = false;
    };
    QHash<QString, Sized> bySize; // by font, device resolution and size
    int pieces = 0;               // all widths kept, held to a bound
};

// Lines of `text` no wider than `width` device pixels of `device`, broken
// where Unicode's line breaking allows (Chinese between characters but not
// before "，" "。" "）" or after "（", Latin words at spaces), a piece longer
// than a line anywhere; a line feed always breaks.
QStringList wrap(const QString& text, double width, const QFont& font, QPaintDevice* device);

// The text wrapped at `width` with `font`, shrunk until its lines fit
// `height` device pixels; text that fits is left at its size. Text that does
// not fit at the smallest size is cut after the last whole line that does.
// Widths are taken from and kept in `advances` when given.
Result fit(const QString& text, double width, double height, const QFont& font,
           QPaintDevice* device, Advances* advances = nullptr);

} // namespace TextFit
