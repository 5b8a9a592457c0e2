#include "cli/fieldcommand.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "cli/cliargs.h"
#include "data/datamodule.h"
#include "render/barcodepainter.h"
#include "render/printgeometry.h"
#include "templates/fieldcatalogue.h"
#include "templates/fieldfitstore.h"
#include "templates/templaterows.h"
#include "templates/templatestore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <cmath>
#include <cstdio>

namespace FieldCommand
{

namespace
{

constexpr double kMmPerInch = 25.4;
constexpr double kMaxPlaceMm = 1000.0;

int designPixels(double mm)
{
    return int(std::lround(mm * PrintGeometry::kDesignDpi / kMmPerInch));
}

double millimetres(int designPixels)
{
    return designPixels * kMmPerInch / PrintGeometry::kDesignDpi;
}

// The first row of that name, as every lookup by name finds it.
qint64 modelRow(DataModule* dm, const QString& name)
{
    QSqlQuery q(dm->database());
    q.prepare(QStringLiteral("SELECT min(rowid) FROM Exp_Model WHERE %1 = ?")
                  .arg(TemplateStore::Column::Name));
    q.addBindValue(name);
    if (!q.exec())
        throw DataError(q.lastError().text());
    return q.next() && !q.value(0).isNull() ? q.value(0).toLongLong() : -1;
}

struct Range {
    const char* option;
    double low, high;
};

const Range kRanges[] = {
    {"--x", -kMaxPlaceMm, kMaxPlaceMm},
    {"--y", -kMaxPlaceMm, kMaxPlaceMm},
    {"--width", 1, kMaxPlaceMm},
    {"--module", BarcodePainter::kMinModuleMm, BarcodePainter::kMaxModuleMm},
    {"--height", BarcodePainter::kMinBarHeightMm, BarcodePainter::kMaxBarHeightMm},
};

QString number(double v)
{
    return QString::number(v, 'f', 2);
}

} // namespace

QString synopsis()
{
    return QStringLiteral(
        "field --model NAME --key KEY [--kind text|code128|qr] [--x MM --y MM] [--width MM] "
        "[--module MM] [--height MM] [--show | --hide]\n"
        "                                                how and where a template prints a "
        "field (KEY as A_WayBillNo,\n"
        "                                                the waybill number); places in mm "
        "from the paper's corner");
}

ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session&)
{
    QStringList valueNames = {QStringLiteral("--model"), QStringLiteral("--key"),
                              QStringLiteral("--kind")};
    for (const Range& r : kRanges)
        valueNames << QString::fromLatin1(r.option);
    const CliArgs::Options o =
        CliArgs::parse(args, valueNames, {QStringLiteral("--show"), QStringLiteral("--hide")});
    if (!o.error.isEmpty() || !o.positional.isEmpty() || !o.has(QStringLiteral("--model")) ||
        !o.has(QStringLiteral("--key")) ||
        (o.has(QStringLiteral("--show")) && o.has(QStringLiteral("--hide"))) ||
        o.has(QStringLiteral("--x")) != o.has(QStringLiteral("--y"))) {
        prompt().error(o.error.isEmpty() ? CliArgs::usageLine(synopsis()) : o.error);
        return ExitCode::Usage;
    }
    const QString key = o.value(QStringLiteral("--key"));
    const FieldInfo* field = FieldCatalogue::byKey(key);
    if (!field) {
        QStringList keys;
        for (const FieldInfo& f : FieldCatalogue::all())
            keys << f.key;
        prompt().error(
            QStringLiteral("没有这个字段：%1\n字段有：%2").arg(key, keys.join(QLatin1Char(' '))));
        return ExitCode::Usage;
    }
    std::optional<FieldSymbol> kind;
    if (o.has(QStringLiteral("--kind"))) {
        kind = FieldFitStore::symbolFromName(o.value(QStringLiteral("--kind")));
        if (!kind) {
            prompt().error(QStringLiteral("--kind 只能是 text、code128 或 qr：%1")
                               .arg(o.value(QStringLiteral("--kind"))));
            return ExitCode::Usage;
        }
    }
    QHash<QString, double> values;
    for (const Range& r : kRanges) {
        const QString name = QString::fromLatin1(r.option);
        if (!o.has(name))
            continue;
        bool ok = false;
        const double v = o.value(name).toDouble(&ok);
        if (!ok || !std::isfinite(v)) {
            prompt().error(QStringLiteral("%1 的值不是数字：%2").arg(name, o.value(name)));
            return ExitCode::Usage;
        }
        if (v < r.low || v > r.high) {
            prompt().error(QStringLiteral("%1 的值超出范围：%2（%3 到 %4 毫米）")
                               .arg(name, o.value(name), number(r.low), number(r.high)));
            return ExitCode::Usage;
        }
        values.insert(name, v);
    }

    const QString model = o.value(QStringLiteral("--model"));
    QString shown;
    const bool done = guarded([&] {
        const qint64 row = modelRow(dm, model);
        if (row < 0)
            return;
        TemplateRows rows(dm->templates);
        TemplateLayout layout = rows.load(row);
        const int index = TemplateLayout::indexOf(key);
        TemplateField f = layout.field(index);
        if (values.contains(QStringLiteral("--x")))
            f.place = QPoint(
                designPixels(values.value(QStringLiteral("--x"))) + FieldCatalogue::kImageLeft,
                designPixels(values.value(QStringLiteral("--y"))) + FieldCatalogue::kImageTop);
        if (values.contains(QStringLiteral("--width")))
            f.width = qMax(1, designPixels(values.value(QStringLiteral("--width"))));
        if (o.has(QStringLiteral("--show")) || o.has(QStringLiteral("--hide")))
            f.visible = o.has(QStringLiteral("--show"));
        if (kind)
            f.fit.symbol = *kind;
        if (values.contains(QStringLiteral("--module")))
            f.fit.moduleMm = values.value(QStringLiteral("--module"));
        if (values.contains(QStringLiteral("--height")))
            f.fit.barHeightMm = values.value(QStringLiteral("--height"));
        layout.setField(index, f);
        rows.save(row, layout);

        const TemplateField saved = rows.load(row).field(index);
        shown =
            QStringLiteral("key=%1\nkind=%2\nx=%3\ny=%4\nwidth=%5\nmodule=%6\nheight=%7\n"
                           "shown=%8\n")
                .arg(key, FieldFitStore::symbolName(saved.fit.symbol),
                     number(millimetres(saved.place.x() - FieldCatalogue::kImageLeft)),
                     number(millimetres(saved.place.y() - FieldCatalogue::kImageTop)),
                     number(millimetres(saved.width)), number(BarcodePainter::moduleMm(saved.fit)),
                     number(BarcodePainter::barHeightMm(saved.fit)),
                     saved.visible ? QStringLiteral("1") : QStringLiteral("0"));
    });
    if (!done)
        return ExitCode::Failed;
    if (shown.isEmpty()) {
        prompt().message(QStringLiteral("没有名为“%1”的模板，没有改动。").arg(model));
        return ExitCode::Failed;
    }
    const QByteArray bytes = shown.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
    return ExitCode::Done;
}

} // namespace FieldCommand
