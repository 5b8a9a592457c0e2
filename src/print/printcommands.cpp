#include "printcommands.h"

#include "batchprint.h"
#include "cliargs.h"
#include "configini.h"
#include "datamodule.h"
#include "designsurface.h"
#include "guarded.h"
#include "pagesize.h"
#include "printerstore.h"
#include "prompt.h"
#include "recordrenderer.h"
#include "runstate.h"
#include "termination.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace PrintCommands {

void All_Prt_BtnClick(TDataModule1* dm, const DesignSurface* surface, const PageSetup& pageSetup)
{
    if (prompt().question(QStringLiteral("此操作将打印表中所有记录，请确保打印机正确设置并已放置了合适的纸张，继续？."),
                          QStringLiteral("批量打印提示"), false,
                          Prompt::Button::Cancel) != Prompt::Button::Ok)
        return;
    QPrinter* printer = PrinterStore::printer();
    if (!PrinterStore::isReady(printer)) {
        prompt().message(QStringLiteral("打印机没准备好！"));
        return;
    }
    if (pageSetup && !pageSetup(printer))
        return;
    if (!PrinterStore::confirmOverwrite(printer))
        return;
    const int total = std::max(1, dm->TB_Att->recordCount());
    auto progress = prompt().progress(QStringLiteral("正在打印……"), total);
    struct Labeler : Prompt::Progress {
        Prompt::Progress* inner;
        int total;
        bool setValue(int v) override
        {
            inner->setLabelText(QStringLiteral("正在打印第 %1 / %2 张").arg(v).arg(total));
            return inner->setValue(v);
        }
        bool wasCanceled() const override { return inner->wasCanceled(); }
    } labeler;
    labeler.inner = progress.get();
    labeler.total = total;
    BatchPrint::Result r;
    const bool ok = guarded([&] {
        r = BatchPrint::printAll(printer, dm, SurfacePositions(surface), RecordRenderer::printFont(),
                                 &labeler);
    });
    progress.reset();
    if (!ok)
        return;
    if (r.canceled && !Termination::requested())
        prompt().message(QStringLiteral("打印已取消，没有任何页面送到打印机。"));
    else if (!r.ok)
        prompt().error(r.message);
}

void Font_Set_BtnClick()
{
    // The dialog opens at the font printing uses, so OK alone changes nothing.
    const auto font = prompt().font(RecordRenderer::printFont());
    if (!font)
        return;
    runState().printFont = *font;
    // Then the colour of the printed text; cancelling it keeps the colour.
    if (const auto colour =
            prompt().colour(RecordRenderer::printColour(), QStringLiteral("字体颜色")))
        runState().printColour = *colour;
}

void Printer_Set_BtnClick()
{
    prompt().printerSetup(PrinterStore::printer());
}

int runCommand(const QStringList& args, TDataModule1* dm)
{
    const CliArgs::Options o =
        CliArgs::parse(args, {QStringLiteral("--pdf"), QStringLiteral("--printer"),
                              QStringLiteral("--model")});
    if (!o.error.isEmpty() || !o.positional.isEmpty() ||
        (o.has(QStringLiteral("--pdf")) && o.has(QStringLiteral("--printer")))) {
        prompt().error(o.error.isEmpty() ? QStringLiteral("usage: waylark print --pdf FILE "
                                                          "[--model NAME] | waylark print "
                                                          "[--printer QUEUE] [--model NAME]")
                                         : o.error);
        return 2;
    }
    const QString modelName =
        o.has(QStringLiteral("--model"))
            ? o.value(QStringLiteral("--model"))
            : ConfigIni::readString(runState().appDir, QStringLiteral("DefaultModel"),
                                    QStringLiteral("ModelName"));
    runState().currentModel = modelName;
    QPrinter printer(QPrinter::HighResolution);
    if (o.has(QStringLiteral("--pdf"))) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(o.value(QStringLiteral("--pdf")));
    } else {
        const QString queue = o.has(QStringLiteral("--printer"))
                                  ? o.value(QStringLiteral("--printer"))
                                  : QPrinterInfo::defaultPrinterName();
        if (!queue.isEmpty())
            printer.setPrinterName(queue);
        if (queue.isEmpty() || printer.outputFormat() != QPrinter::NativeFormat ||
            printer.printerName() != queue) {
            prompt().message(QStringLiteral("打印机没准备好！"));
            return 1;
        }
    }
    if (!Page_Setup(dm->TB_Model, modelName, &printer)) {
        prompt().message(QStringLiteral("当前模板不存在，请先保存模板！"));
        return 1;
    }
    PrinterStore::usePageCorner(&printer);
    Dataset* model = dm->TB_Model;
    BatchPrint::Result r;
    if (!guarded([&] {
            r = BatchPrint::printAll(&printer, dm, StoredPositions(model),
                                     RecordRenderer::printFont());
        }))
        return 1;
    if (!r.ok) {
        if (!r.canceled) // cancelled only by a termination signal, which says so
            prompt().error(r.message);
        return 1;
    }
    return 0;
}

} // namespace PrintCommands
