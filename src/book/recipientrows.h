#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVector>
#include <QtGlobal>
#include <functional>
#include <utility>

class Dataset;

// The rules by which every writer puts rows into the recipient table: typed
// entry, the Excel import, the order download and the waybill numbers all
// go through here, so the table sees one behaviour whoever writes.
class RecipientRows
{
public:
    // Column name and text, assigned in this order; a column left out stays
    // empty. Texts are stored exactly as given (no trimming).
    using Values = QList<std::pair<QString, QString>>;

    explicit RecipientRows(Dataset* att);
    Dataset* dataset() const { return m_att; }

    // Opens the table if needed and inserts one row with the values at the
    // end; it becomes the current row. Throws DataError; nothing is added
    // then.
    // On a server the row's order numbers are taken in Order_Number in the
    // same transaction: those another row holds already are left out of
    // it, and a row left with none is not added. Returns how many were
    // left out so (always 0 on a file).
    int append(const Values& values);

    // Removes every row as one transaction, then rereads the table. On a
    // server the rows a station is printing now (a live claim) stay, so a
    // replace at one station never pulls rows from under another's job;
    // returns how many stayed (always 0 on a file).
    int empty();
    // "另有 N 行正由其他工作台打印，没有删除。", for a replace that kept rows.
    static QString keptForOthersText(int rows);

    // Writes the values into the row with this ID, wherever the cursor is:
    // an editor bound to a row saves here. A row deleted meanwhile is
    // refused (DataError::refusal); a failed write throws DataError.
    // readVersion: the row's version when the editor read it
    // (Dataset::rowVersion); on a server, a row another station changed
    // since is refused and read again as it is now, never overwritten. 0
    // writes whatever the row holds now (numbering writes its own column).
    void change(qint64 rowId, const Values& values, qint64 readVersion = 0);

    // Runs work (changes of the rows with these IDs) as one transaction,
    // with the views told nothing meanwhile; then the rows are read again in
    // place, so a grid keeps its current row and selection. When work throws
    // or the commit fails, the file is rolled back, the rows are read again
    // from it and the error is thrown on.
    void changeInPlace(const QVector<qint64>& rowIds, const std::function<void()>& work);

    // Runs work (any number of the writes above) as one transaction: all
    // rows or none. Views see one reset at the end instead of one signal per
    // row. When work throws or the commit fails, the file is rolled back,
    // the dataset is reread from it and the error is thrown on.
    void inTransaction(const std::function<void()>& work);

private:
    void openIfClosed();
    // The values as (field index, value); throws DataError for a column the
    // table lacks.
    QVector<std::pair<int, QVariant>> fields(const Values& values) const;

    Dataset* m_att;
};
