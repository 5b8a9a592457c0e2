#pragma once

#include "prompt.h"
#include "recordrenderer.h"

#include <QString>

class QPrinter;
class TDataModule1;

// One print job: the rows of the recipient table, one page each, with the
// sender's row and the current model's visibility and places.
namespace BatchPrint {

struct Result {
    bool ok = false;
    bool canceled = false;
    QString message; // why the job was aborted
    int pages = 0;
};

// Every recipient row from the first, page breaks between rows and none after
// the last; an empty table gives one page with the sender's fields. The
// recipient table ends on its last row, past its end. The printer's paper
// must already be set. A failure or a cancel aborts the job: no half-printed
// job is sent and no partial PDF file is left.
Result printAll(QPrinter* printer, TDataModule1* dm, const FieldPositions& positions,
                const QFont& font, Prompt::Progress* progress = nullptr);

// The current recipient row alone, on one page.
Result printCurrent(QPrinter* printer, TDataModule1* dm, const FieldPositions& positions,
                    const QFont& font);

} // namespace BatchPrint
