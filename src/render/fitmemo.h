#pragma once

#include "render/symbolsahead.h"
#include "render/textfit.h"

#include <QFont>
#include <QHash>
#include <QString>

class QPaintDevice;

// Texts already fitted into their boxes, by all that decides the result:
// text, box, font and the device's resolution. The look over the rows
// before a job and the job itself share one, so that each row's fitted
// fields are laid out once; the widths of the pieces its texts break into
// are kept too.
class FitMemo
{
public:
    // The fit, laid out now or found from before.
    const TextFit::Result& fit(const QString& text, double width, double height, const QFont& font,
                               QPaintDevice* device);
    // The same for drawing: a result only one row had in the look before is
    // let go once drawn (a job goes through its rows once); one shared by
    // rows (the sender's) is kept.
    TextFit::Result take(const QString& text, double width, double height, const QFont& font,
                         QPaintDevice* device);
    int size() const { return int(m_results.size()); }
    // The symbols of the rows about to be drawn.
    SymbolsAhead& symbols() { return m_symbols; }

    struct Key {
        QString text;
        double width = 0;
        double height = 0;
        QString font;
        int dpiX = 0;
        int dpiY = 0;
        bool operator==(const Key& o) const
        {
            return text == o.text && width == o.width && height == o.height && font == o.font &&
                   dpiX == o.dpiX && dpiY == o.dpiY;
        }
    };

private:
    struct Entry {
        TextFit::Result result;
        int uses = 0;
    };
    static constexpr int kDrawnOnly = 64;
    QHash<Key, Entry> m_results;
    SymbolsAhead m_symbols;
    TextFit::Advances m_advances;
    int m_drawnOnly = 0; // results laid out while drawing (uses 0)
    // The key of the font met last: making one spells the whole font out.
    QFont m_lastFont;
    QString m_lastFontKey;

    Key keyOf(const QString& text, double width, double height, const QFont& font,
              QPaintDevice* device);
};

size_t qHash(const FitMemo::Key& key, size_t seed = 0);
