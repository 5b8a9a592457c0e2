#pragma once

#include <QFont>
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
    QStringList lines;
    QFont font;              // the font the lines were laid out with
    bool overflowed = false; // the lines do not fit even at the smallest size
};

// Lines of `text` no wider than `width` device pixels of `device` (Chinese
// text breaks between any two characters, Latin words at spaces, a word
// longer than a line anywhere; a line feed always breaks).
QStringList wrap(const QString& text, double width, const QFont& font, QPaintDevice* device);

// The text wrapped at `width` with `font`, shrunk until its lines fit
// `height` device pixels; text that fits is left at its size.
Result fit(const QString& text, double width, double height, const QFont& font,
           QPaintDevice* device);

} // namespace TextFit
