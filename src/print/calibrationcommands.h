#pragma once

#include <QStringList>

class QWidget;
class TDataModule1;

// The printer calibration of the windows and of the command line.
namespace CalibrationCommands {

// "打印机校准": the dialog for the current template and printer (modal).
void showDialog(TDataModule1* dm, QWidget* parent);

// waylark calibrate [--model NAME] [--printer QUEUE | --pdf] [--dx MM] [--dy MM]
//   [--sx PCT] [--sy PCT]: stores the values given, then prints all four.
int runCommand(const QStringList& args, TDataModule1* dm);
QString synopsis();

} // namespace CalibrationCommands
