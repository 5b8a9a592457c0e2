#pragma once

#include <QStringList>
#include <functional>

class DesignSurface;
class QPrinter;
class TDataModule1;

// The print commands of the main window, and the print command line.
namespace PrintCommands {

using PageSetup = std::function<bool(QPrinter*)>;

// "批量打印": every recipient row, one page each, after a question.
void All_Prt_BtnClick(TDataModule1* dm, const DesignSurface* surface, const PageSetup& pageSetup);
// "字体设置": a cancelled dialog keeps the earlier font.
void Font_Set_BtnClick();
// "打印机设置"
void Printer_Set_BtnClick();

// waylark print --pdf FILE [--model NAME] | print [--printer QUEUE] [--model NAME]
int runCommand(const QStringList& args, TDataModule1* dm);

} // namespace PrintCommands
