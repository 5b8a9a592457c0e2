#pragma once

#include "excel/excelmessages.h"

#include <QList>
#include <QString>

#include <functional>

class AddressParser;
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
    // With a splitter: rows whose address was split, and the sheet rows
    // whose regions were ambiguous or not recognised (their address kept
    // whole).
    int split = 0;
    QList<int> ambiguousRows;
    QList<int> unrecognisedRows;
    // With the order numbers mapped: orders new to the table (a row without
    // numbers counts as one) and those already there, left out.
    bool orderNumbers = false;
    int freshOrders = 0;
    int presentOrders = 0;
    // A replace on a server: rows other stations are printing, kept.
    int keptForOthers = 0;
};

// Whether the import splits whole addresses by default: the address is
// mapped and none of 收件省, 收件市, 收件区(县) is (TITLES one per caption).
bool splitsAddressesByDefault(const QStringList& titles);

// Told (rows written, rows in all) now and then; returning false cancels.
using ImportProgress = std::function<bool(int done, int total)>;

// Empties ATT and appends every row ROWS (already started) produces, each
// mapped column assigned as text in the mapping's order, the others left
// empty; blank rows (isBlankImportRow) are skipped and not counted. On a
// failure, a cancel or when no row was written nothing in the table has
// changed. With SPLITTER, a row whose province, city and district are empty
// has its address split: when sure, the regions, the destination and the
// detail are filled (and name, phones and postcode where the row has none);
// otherwise the address stays whole and the row is listed in the result.
ImportResult replaceRecipients(Dataset* att, ImportRows& rows,
                               const ImportProgress& progress = ImportProgress(),
                               const AddressParser* splitter = nullptr);
// The same without emptying ATT first: the rows go after the recipients
// already there, all or none. Order numbers already in the table, or met in
// an earlier row, are taken out of a row; a row left without any is
// skipped, so importing the same sheet again adds nothing.
ImportResult appendRecipients(Dataset* att, ImportRows& rows,
                              const ImportProgress& progress = ImportProgress(),
                              const AddressParser* splitter = nullptr);

// The import as the dialog and the command run it: replaceRecipients, or
// appendRecipients with APPEND, under a progress box that counts the rows
// and whose cancel button stops the import.
ImportResult importWithProgress(Dataset* att, ImportRows& rows, bool append,
                                const AddressParser* splitter);
// The done message: rows stored, then the orders' and the splitting's
// summaries.
QString importDoneMessage(const ImportResult& result);

// What splitting did, for the done message: how many rows were split, and
// which sheet rows kept their whole address; empty when nothing was split.
QString importSplitSummary(const ImportResult& result);
// How many orders were new and how many already there, on a line of its
// own; empty when the order numbers were not mapped.
QString importOrdersSummary(const ImportResult& result);

// How often a progress of TOTAL rows is told: every row for small imports,
// about a thousand times for large ones.
int importProgressStep(int total);
