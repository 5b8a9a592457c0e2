#include "render/calibration.h"

#include "base/dataerror.h"
#include "data/schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>

namespace
{

// On a server, the rows of the station this connection works for.
const QString kThisStation =
    QStringLiteral(" AND Station = COALESCE(current_setting('waylark.station', true), '')");

double inTenths(double v)
{
    return std::round(v * 10.0) / 10.0;
}

} // namespace

QString Calibration::pdfPrinterName()
{
    return QStringLiteral("PDF");
}

Calibration Calibration::bounded() const
{
    Calibration c;
    c.dxMm = inTenths(std::clamp(dxMm, kMinShiftMm, kMaxShiftMm));
    c.dyMm = inTenths(std::clamp(dyMm, kMinShiftMm, kMaxShiftMm));
    c.sxPct = inTenths(std::clamp(sxPct, kMinScalePct, kMaxScalePct));
    c.syPct = inTenths(std::clamp(syPct, kMinScalePct, kMaxScalePct));
    return c;
}

QString Calibration::rangeError() const
{
    auto outside = [](double v, double lo, double hi) { return !(v >= lo && v <= hi); };
    if (outside(dxMm, kMinShiftMm, kMaxShiftMm) || outside(dyMm, kMinShiftMm, kMaxShiftMm))
        return QStringLiteral("偏移量必须在 -50 到 50 毫米之间！");
    if (outside(sxPct, kMinScalePct, kMaxScalePct) || outside(syPct, kMinScalePct, kMaxScalePct))
        return QStringLiteral("缩放比例必须在 90% 到 110% 之间！");
    return QString();
}

QPointF Calibration::apply(const QPointF& p, double dpiX, double dpiY) const
{
    return QPointF(p.x() * sxPct / 100.0 + dxMm * dpiX / 25.4,
                   p.y() * syPct / 100.0 + dyMm * dpiY / 25.4);
}

Calibration Calibration::load(const QSqlDatabase& db, const QString& model, const QString& printer)
{
    QSqlQuery q(db);
    const QString station = Schema::isServer(db) ? kThisStation : QString();
    if (!q.prepare(QStringLiteral("SELECT Dx_Mm, Dy_Mm, Sx_Pct, Sy_Pct FROM Print_Calibration "
                                  "WHERE Model_Name = ? AND Printer = ?") +
                   station))
        throw DataError(q.lastError().text());
    q.addBindValue(model);
    q.addBindValue(printer);
    if (!q.exec())
        throw DataError(q.lastError().text());
    Calibration c;
    if (q.next()) {
        c.dxMm = q.value(0).toDouble();
        c.dyMm = q.value(1).toDouble();
        c.sxPct = q.value(2).toDouble();
        c.syPct = q.value(3).toDouble();
    }
    // A hand-edited file must not throw the print off the paper.
    return c.bounded();
}

void Calibration::save(const QSqlDatabase& db, const QString& model, const QString& printer,
                       const Calibration& calibration)
{
    const Calibration c = calibration.bounded();
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("INSERT INTO Print_Calibration (Model_Name, Printer, Dx_Mm, "
                                  "Dy_Mm, Sx_Pct, Sy_Pct) VALUES (?, ?, ?, ?, ?, ?) "
                                  "ON CONFLICT (%1Model_Name, Printer) DO UPDATE SET "
                                  "Dx_Mm = excluded.Dx_Mm, Dy_Mm = excluded.Dy_Mm, "
                                  "Sx_Pct = excluded.Sx_Pct, Sy_Pct = excluded.Sy_Pct")
                       .arg(Schema::isServer(db) ? QStringLiteral("Station, ") : QString())))
        throw DataError(q.lastError().text());
    q.addBindValue(model);
    q.addBindValue(printer);
    q.addBindValue(c.dxMm);
    q.addBindValue(c.dyMm);
    q.addBindValue(c.sxPct);
    q.addBindValue(c.syPct);
    if (!q.exec())
        throw DataError(q.lastError().text());
}
