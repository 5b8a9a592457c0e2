#include "cli/calibrationcommand.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "cli/cliargs.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "print/printerstore.h"
#include "print/testsheet.h"
#include "render/calibration.h"
#include "render/printmessages.h"
#include "render/recordrenderer.h"
#include "templates/templatemessages.h"
#include "templates/templatestore.h"

#include <QPrinterInfo>
#include <QSqlQuery>
#include <cstdio>

namespace CalibrationCommand
{

namespace
{

bool modelExists(DataModule* dm, const QString& name)
{
    QSqlQuery q(dm->database());
    q.prepare(QStringLiteral("SELECT count(*) FROM Exp_Model WHERE %1 = ?")
                  .arg(TemplateStore::Column::Name));
    q.addBindValue(name);
    return q.exec() && q.next() && q.value(0).toInt() > 0;
}

QString number(double v)
{
    return QString::number(v, 'f', 1);
}

} // namespace

QString synopsis()
{
    return QStringLiteral("calibrate [--model NAME] [--printer QUEUE | --pdf] [--dx MM] [--dy MM] "
                          "[--sx PCT] [--sy PCT]\n"
                          "                                                set a printer's "
                          "calibration for a template (shifts in mm, scales in %), print it");
}

ExitCode::Code runCommand(const QStringList& givenArgs, DataModule* dm, Session& session)
{
    QStringList args = givenArgs;
    const bool pdf = args.removeAll(QStringLiteral("--pdf")) > 0;
    const QStringList valueNames = {QStringLiteral("--dx"), QStringLiteral("--dy"),
                                    QStringLiteral("--sx"), QStringLiteral("--sy")};
    const CliArgs::Options o = CliArgs::parse(
        args, QStringList{QStringLiteral("--model"), QStringLiteral("--printer")} + valueNames);
    if (!o.error.isEmpty() || !o.positional.isEmpty() ||
        (pdf && o.has(QStringLiteral("--printer")))) {
        prompt().error(o.error.isEmpty() ? CliArgs::usageLine(synopsis()) : o.error);
        return ExitCode::Usage;
    }
    // Wrong values are wrong usage, whatever the printer or the model.
    QList<double> values;
    for (const QString& name : valueNames) {
        bool ok = !o.has(name);
        const double v = ok ? 0 : o.value(name).toDouble(&ok);
        if (!ok || !qIsFinite(v)) {
            prompt().error(QStringLiteral("%1 的值不是数字：%2").arg(name, o.value(name)));
            return ExitCode::Usage;
        }
        Calibration probe; // the others at their neutral values
        double* probed[] = {&probe.dxMm, &probe.dyMm, &probe.sxPct, &probe.syPct};
        if (o.has(name))
            *probed[values.size()] = v;
        if (!probe.rangeError().isEmpty()) {
            prompt().error(QStringLiteral("%1 的值超出范围：%2\n").arg(name, o.value(name)) +
                           probe.rangeError());
            return ExitCode::Usage;
        }
        values << v;
    }
    const QString model = o.has(QStringLiteral("--model"))
                              ? o.value(QStringLiteral("--model"))
                              : ConfigIni::read(session.appDir, ConfigIni::DefaultModel);
    if (!modelExists(dm, model)) {
        prompt().message(TemplateMessages::noCurrentTemplate());
        return ExitCode::Failed;
    }
    QString printer = pdf ? Calibration::pdfPrinterName() : o.value(QStringLiteral("--printer"));
    if (printer.isEmpty())
        printer = QPrinterInfo::defaultPrinterName();
    if (printer.isEmpty()) {
        prompt().message(PrintMessages::printerNotReady());
        return ExitCode::Failed;
    }

    Calibration c;
    if (!guarded([&] { c = Calibration::load(dm->database(), model, printer); }))
        return ExitCode::Failed;
    bool changed = false;
    double* targets[] = {&c.dxMm, &c.dyMm, &c.sxPct, &c.syPct};
    for (int i = 0; i < valueNames.size(); ++i) {
        if (!o.has(valueNames.at(i)))
            continue;
        *targets[i] = values.at(i);
        changed = true;
    }
    if (changed && !guarded([&] {
            Calibration::save(dm->database(), model, printer, c);
            c = Calibration::load(dm->database(), model, printer);
        }))
        return ExitCode::Failed;
    const QString text = QStringLiteral("dx=%1\ndy=%2\nsx=%3\nsy=%4\n")
                             .arg(number(c.dxMm), number(c.dyMm), number(c.sxPct), number(c.syPct));
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
    return ExitCode::Done;
}

} // namespace CalibrationCommand
