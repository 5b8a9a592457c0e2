#include "cli/excelcommand.h"

#include "address/addressparser.h"
#include "base/dataerror.h"
#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "cli/cliargs.h"
#include "data/datamodule.h"
#include "excel/exportwriter.h"
#include "excel/importmapping.h"
#include "excel/importrows.h"
#include "excel/importtable.h"
#include "excel/tableexport.h"
#include "excel/workbookreader.h"

#include <QFileInfo>

namespace ExcelCommand
{

namespace
{

ExitCode::Code usage(const QString& synopsis, const QString& why = QString())
{
    if (!why.isEmpty())
        prompt().error(why);
    prompt().error(CliArgs::usageLine(synopsis));
    return ExitCode::Usage;
}

// The sheet titles the --map options give each import field (CAPTION=TITLE);
// the refusal when one names no field or a field twice.
QString titlesOfMaps(const QStringList& maps, QStringList* titles)
{
    *titles = QStringList(importFields().size());
    QVector<bool> mapped(importFields().size(), false);
    for (const QString& map : maps) {
        const qsizetype eq = map.indexOf(QLatin1Char('='));
        const QString caption = map.left(eq);
        const int index = eq < 0 ? -1 : importFieldIndex(caption);
        if (index < 0)
            return QStringLiteral("“%1”不是“打印字段”之一：%2")
                .arg(eq < 0 ? map : caption, importCaptions().join(QStringLiteral("、")));
        if (mapped.at(index))
            return QStringLiteral("“%1”只能对应一个字段。").arg(caption);
        mapped[index] = true;
        (*titles)[index] = map.mid(eq + 1);
    }
    return {};
}

} // namespace

QString importSynopsis()
{
    return QStringLiteral("import FILE [--sheet NAME] [--title-row N] [--append] "
                          "[--split-address | --no-split-address] [--map CAPTION=TITLE ...]");
}

QString exportSynopsis()
{
    return QStringLiteral("export FILE");
}

ExitCode::Code runImportCommand(const QStringList& args, DataModule* dm, Session& session)
{
    const CliArgs::Options o = CliArgs::parse(
        args, {QStringLiteral("--sheet"), QStringLiteral("--title-row"), QStringLiteral("--map")},
        {QStringLiteral("--append"), QStringLiteral("--split-address"),
         QStringLiteral("--no-split-address")});
    if (!o.error.isEmpty())
        return usage(importSynopsis(), o.error);
    if (o.positional.size() != 1 ||
        (o.has(QStringLiteral("--split-address")) && o.has(QStringLiteral("--no-split-address"))))
        return usage(importSynopsis());

    int titleRow = 1;
    if (o.has(QStringLiteral("--title-row")) &&
        !parseTitleRow(o.value(QStringLiteral("--title-row")), &titleRow))
        return usage(importSynopsis(), importBadTitleRowMessage());

    QStringList titles;
    const QString badMap = titlesOfMaps(o.all(QStringLiteral("--map")), &titles);
    if (!badMap.isEmpty())
        return usage(importSynopsis(), badMap);

    QString error;
    const QString fileName = o.positional.first();
    std::unique_ptr<WorkbookReader> reader = WorkbookReader::open(fileName, &error);
    const bool sheetOk =
        reader && (o.has(QStringLiteral("--sheet"))
                       ? reader->selectSheet(o.value(QStringLiteral("--sheet")), &error)
                       : reader->selectSheet(0, &error));
    if (!sheetOk) {
        prompt().error(importReadErrorMessage(error));
        return ExitCode::Failed;
    }
    const QStringList titleRowTexts = titleTexts(*reader, titleRow);
    if (!o.has(QStringLiteral("--map"))) {
        // The same proposal the mapping dialog starts from, told so that
        // the script's author sees what was taken.
        titles = proposedMapping(session.appDir, titleRowTexts);
        const QStringList lines = mappingLines(titles);
        prompt().message(lines.isEmpty()
                             ? QStringLiteral("导入字段对应：（无）")
                             : QStringLiteral("导入字段对应：\n") + lines.join(QLatin1Char('\n')));
    }
    // Rows without a name, a phone or an address print no usable waybill.
    // What the sheet's titles lack is said first; a --map is checked
    // against the sheet first.
    const QString missing = missingRequiredTitles(titles);
    if (!o.has(QStringLiteral("--map")) && !missing.isEmpty()) {
        prompt().error(importMissingMapMessage(missing));
        return ExitCode::Failed;
    }
    ImportRows rows;
    if (!rows.start(*reader, titleRow, titles, &error)) {
        prompt().error(error);
        return ExitCode::Failed;
    }
    if (!missing.isEmpty())
        return usage(importSynopsis(), importMissingMapMessage(missing));
    // Whole addresses in the address column are split unless the sheet has
    // its own regions, or the script says otherwise.
    std::unique_ptr<AddressParser> splitter;
    if (o.has(QStringLiteral("--split-address")) ||
        (splitsAddressesByDefault(titles) && !o.has(QStringLiteral("--no-split-address")))) {
        splitter = AddressParser::fromDatabase(dm->database(), &error);
        if (!splitter) {
            prompt().error(QStringLiteral("无法读取地区表！\n") + error);
            return ExitCode::Failed;
        }
    }
    const ImportResult result =
        importWithProgress(dm->recipients, rows, o.has(QStringLiteral("--append")), splitter.get());
    switch (result.status) {
    case ImportResult::Status::Done:
        rememberMapping(session.appDir, titleRowTexts, titles);
        prompt().message(importDoneMessage(result));
        return ExitCode::Done;
    case ImportResult::Status::Canceled:
        prompt().error(importCanceledMessage());
        return ExitCode::Failed;
    case ImportResult::Status::NoRows:
        prompt().error(importNoRowsMessage(titleRow));
        return ExitCode::Failed;
    case ImportResult::Status::Failed:
        break;
    }
    prompt().error(importFailedMessage(result.error));
    return ExitCode::Failed;
}

ExitCode::Code runExportCommand(const QStringList& args, DataModule* dm, Session&)
{
    const CliArgs::Options o = CliArgs::parse(args, {});
    if (!o.error.isEmpty())
        return usage(exportSynopsis(), o.error);
    if (o.positional.size() != 1)
        return usage(exportSynopsis());
    const QString chosen = QFileInfo(o.positional.first()).absoluteFilePath();
    const ExportFormat format = exportFormatFor(chosen, QString());
    const QString path = exportPathFor(chosen, format);
    if (!guarded([&] { exportTable(dm->recipients, path, format); }))
        return ExitCode::Failed;
    prompt().message(exportDoneMessage(path));
    return ExitCode::Done;
}

} // namespace ExcelCommand
