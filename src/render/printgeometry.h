#pragma once

#include <QPoint>

// Design positions are pixels of the design surface at 96 per inch. A field
// lands at the same physical place on every device: its design offset times
// (device dots per inch ÷ 96), rounded to the nearest device pixel.
namespace PrintGeometry
{

constexpr double kDesignDpi = 96.0;

inline int toDevice(int designPixels, double deviceDpi)
{
    const double v = designPixels * deviceDpi / kDesignDpi;
    return int(v < 0 ? v - 0.5 : v + 0.5);
}

inline QPoint devicePoint(const QPoint& designOffset, double dpiX, double dpiY)
{
    return QPoint(toDevice(designOffset.x(), dpiX), toDevice(designOffset.y(), dpiY));
}

} // namespace PrintGeometry
