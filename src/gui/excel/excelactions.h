#pragma once

class DataModule;

// The Excel buttons of the recipient tab that open no window of their own.
namespace ExcelActions
{

// "导出到Excel文件": the save dialog, then the recipient table to that file.
void exportRecipients(DataModule* dm);

} // namespace ExcelActions
