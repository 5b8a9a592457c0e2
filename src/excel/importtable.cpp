#include "excel/importtable.h"

#include "base/dataerror.h"
#include "book/recipientrows.h"
#include "excel/importrows.h"

#include <exception>

namespace
{

// Thrown inside the transaction to leave it by the rollback path.
struct Canceled {
};
struct NoRows {
};

ImportResult writeRecipients(Dataset* att, ImportRows& rows, bool replace,
                             const ImportProgress& progress);

} // namespace

ImportResult replaceRecipients(Dataset* att, ImportRows& rows, const ImportProgress& progress)
{
    return writeRecipients(att, rows, true, progress);
}

ImportResult appendRecipients(Dataset* att, ImportRows& rows, const ImportProgress& progress)
{
    return writeRecipients(att, rows, false, progress);
}

namespace
{

ImportResult writeRecipients(Dataset* att, ImportRows& rows, bool replace,
                             const ImportProgress& progress)
{
    ImportResult result;
    const QStringList columns = importColumns();
    RecipientRows writer(att);
    int stored = 0;
    try {
        writer.inTransaction([&] {
            if (replace)
                writer.empty();
            stored = 0;
            const int total = rows.count();
            const int step = importProgressStep(total);
            RecipientRows::Values values;
            while (!rows.atEnd()) {
                const QStringList texts = rows.next();
                if (!isBlankImportRow(texts)) {
                    values.clear();
                    for (qsizetype i = 0; i < texts.size(); ++i) {
                        if (!texts.at(i).isNull())
                            values.append({columns.at(i), texts.at(i)});
                    }
                    writer.append(values);
                    ++stored;
                }
                const int done = rows.done();
                if (progress && (done % step == 0 || done == total) && !progress(done, total))
                    throw Canceled();
            }
            // Emptying the table for nothing would only lose the old rows.
            if (stored == 0)
                throw NoRows();
        });
    } catch (const Canceled&) {
        result.status = ImportResult::Status::Canceled;
        return result;
    } catch (const NoRows&) {
        result.status = ImportResult::Status::NoRows;
        return result;
    } catch (const DataError& e) {
        result.error = e.message();
        return result;
    } catch (const std::exception& e) {
        result.error = QString::fromLocal8Bit(e.what());
        return result;
    }
    result.status = ImportResult::Status::Done;
    result.rows = stored;
    return result;
}

} // namespace

int importProgressStep(int total)
{
    return std::max(1, total / 1000);
}
