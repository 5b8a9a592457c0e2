#include "gui/excel/excelactions.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "data/datamodule.h"
#include "excel/excelmessages.h"
#include "excel/tableexport.h"

namespace ExcelActions
{

void exportRecipients(DataModule* dm)
{
    QString filter = exportTextFilter();
    const QString chosen =
        prompt().saveFile(QStringLiteral("导出到Excel文件"), exportFileFilter(), &filter);
    if (chosen.isEmpty())
        return;
    const ExportFormat format = exportFormatFor(chosen, filter);
    const QString path = exportPathFor(chosen, format);
    if (guarded([&] { exportTable(dm->recipients, path, format); }))
        prompt().message(exportDoneMessage(path));
}

} // namespace ExcelActions
