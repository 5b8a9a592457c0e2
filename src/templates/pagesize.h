#pragma once

#include <QString>
#include <optional>

class Dataset;

// A template's paper size (tenths of a millimetre) and feed offsets (screen
// pixels), as the page setup dialog edits them.
struct PageValues {
    int width = 0;
    int height = 0;
    int leftX = 0;
    int topY = 0;
};

// Reads the four boxes of the page setup dialog: width and height whole
// numbers from 1 to 32767, offsets whole numbers (an optional sign). On a
// bad box, nothing and a message that names the box.
std::optional<PageValues> parsePageValues(const QString& width, const QString& height,
                                          const QString& leftX, const QString& topY,
                                          QString* message);
