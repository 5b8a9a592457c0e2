#pragma once

class QPrinter;
class QString;

// The program's one printer, kept for the run: the queue or PDF file chosen
// in the printer setup dialog, with the paper size that every job sets.
namespace PrinterStore
{

QPrinter* printer();
// A CUPS queue is chosen, or a PDF file.
bool isReady(const QPrinter* printer);
// A PDF page has no unprintable edge: positions count from its corner.
void usePageCorner(QPrinter* printer);
// For a PDF file that already exists, asks through the prompt seam whether
// to replace it; true when the job may go ahead.
bool confirmOverwrite(const QPrinter* printer);
// "打印机没准备好！" and, for the windows, how to choose a printer or a PDF
// file on a second line.
QString notReadyMessage();
// Forgets the printer (tests start from the machine's default).
void reset();

} // namespace PrinterStore
