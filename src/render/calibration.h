#pragma once

#include <QPointF>
#include <QSqlDatabase>
#include <QString>

// How one printer misses the form with one template: a shift in millimetres
// and a scale in per cent, applied to every field's printed place about the
// page's top-left corner (on top of the feed offsets). Glyphs keep their size.
class Calibration
{
public:
    static constexpr double kMinShiftMm = -50.0;
    static constexpr double kMaxShiftMm = 50.0;
    static constexpr double kMinScalePct = 90.0;
    static constexpr double kMaxScalePct = 110.0;
    // The printer name under which PDF output keeps its calibration.
    static QString pdfPrinterName(); // "PDF"

    double dxMm = 0.0;
    double dyMm = 0.0;
    double sxPct = 100.0;
    double syPct = 100.0;

    // Values held to their ranges, shifts in 0.1 mm steps, scales in 0.1 % steps.
    Calibration bounded() const;
    // Why a value is outside its range, or empty when all are inside.
    QString rangeError() const;

    // A device point (pixels from the page's top-left corner) moved and
    // scaled for a device of dpiX × dpiY.
    QPointF apply(const QPointF& devicePoint, double dpiX, double dpiY) const;

    // The stored values for a template and printer; none stored reads as no
    // calibration. On a server they are the connection's station's own
    // (waylark.station, set at connecting). Throws DataError.
    static Calibration load(const QSqlDatabase& db, const QString& model, const QString& printer);
    static void save(const QSqlDatabase& db, const QString& model, const QString& printer,
                     const Calibration& calibration);
};
