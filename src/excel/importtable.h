#pragma once

#include "excel/excelmessages.h"

#include <QString>

#include <functional>

class Dataset;
class ImportRows;

// Writing an import into the recipient table: emptying it and appending the
// sheet's rows happen as one transaction, so the old recipients stay unless
// every row made it in. Shared by the import dialog and `waylark import`.

struct ImportResult {
    // NoRows: every sheet row was blank; the table is as it was.
    enum class Status { Done, Canceled, Failed, NoRows };
    Status status = Status::Failed;
    int rows = 0;  // rows written, when done
    QString error; // the reason, when failed
};

// Told (rows written, rows in all) now and then; returning false cancels.
using ImportProgress = std::function<bool(int done, int total)>;

// Empties ATT and appends every row ROWS (already started) produces, each
// mapped column assigned as text in the mapping's order, the others left
// empty; blank rows (isBlankImportRow) are skipped and not counted. On a
// failure, a cancel or when no row was written nothing in the table has
// changed.
ImportResult replaceRecipients(Dataset* att, ImportRows& rows,
                               const ImportProgress& progress = ImportProgress());
// The same without emptying ATT first: the rows go after the recipients
// already there, all or none.
ImportResult appendRecipients(Dataset* att, ImportRows& rows,
                              const ImportProgress& progress = ImportProgress());

// How often a progress of TOTAL rows is told: every row for small imports,
// about a thousand times for large ones.
int importProgressStep(int total);
