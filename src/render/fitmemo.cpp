#include "render/fitmemo.h"

#include <QFont>
#include <QPaintDevice>

FitMemo::Key FitMemo::keyOf(const QString& text, double width, double height, const QFont& font,
                            QPaintDevice* device)
{
    // The font's key names everything that sizes its glyphs.
    if (m_lastFontKey.isNull() || !(font == m_lastFont)) {
        m_lastFont = font;
        m_lastFontKey = font.key();
    }
    return {text, width, height, m_lastFontKey, device->logicalDpiX(), device->logicalDpiY()};
}

size_t qHash(const FitMemo::Key& key, size_t seed)
{
    return qHashMulti(seed, key.text, key.width, key.height, key.font, key.dpiX, key.dpiY);
}

const TextFit::Result& FitMemo::fit(const QString& text, double width, double height,
                                    const QFont& font, QPaintDevice* device)
{
    const Key key = keyOf(text, width, height, font, device);
    auto it = m_results.find(key);
    if (it == m_results.end())
        it = m_results.insert(key,
                              {TextFit::fit(text, width, height, font, device, &m_advances), 0});
    ++it->uses;
    return it->result;
}

TextFit::Result FitMemo::take(const QString& text, double width, double height, const QFont& font,
                              QPaintDevice* device)
{
    Key key = keyOf(text, width, height, font, device);
    const auto it = m_results.find(key);
    if (it == m_results.end()) {
        // Kept for the rows that follow (the sender's is on every page), a
        // few at a time so that a long job's memory does not grow.
        if (++m_drawnOnly > kDrawnOnly) {
            m_results.removeIf([](const auto& e) { return e.value().uses == 0; });
            m_drawnOnly = 1;
        }
        return m_results
            .insert(std::move(key),
                    {TextFit::fit(text, width, height, font, device, &m_advances), 0})
            ->result;
    }
    if (it->uses != 1)
        return it->result;
    TextFit::Result result = std::move(it->result);
    m_results.erase(it);
    return result;
}
