#pragma once

#include "base/dataerror.h"
#include "data/packedrows.h"

#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>
#include <unordered_map>

class Dataset;

// One column of the current row, as fieldByName hands it out.
class Field
{
public:
    Field(Dataset* ds, int index) : m_ds(ds), m_index(index) {}
    QString name() const;
    QString asString() const; // null reads as ""
    qint64 asInteger() const; // null or non-numeric reads as 0
    QVariant value() const;
    bool isNull() const;

private:
    Dataset* m_ds;
    int m_index;
};

// A cursor over a table or a query: the rows are a snapshot taken at open,
// each remembering its SQLite rowid, so that updates and deletes touch
// exactly that row (also in tables without a key and with duplicate names).
// Rows are written by their index or rowid (insertRow, updateRow), never
// through the cursor, which only says which row is current.
class Dataset : public QObject
{
    Q_OBJECT
public:
    enum class State { Inactive, Browse };
    enum LocateOption { NoOption = 0, PartialKey = 1, CaseInsensitive = 2 };
    Q_DECLARE_FLAGS(LocateOptions, LocateOption)

    Dataset(const QString& name, const QString& connectionName, QObject* parent = nullptr);
    ~Dataset() override;

    // An ADO-style table (every column of one table) or a query with :params.
    void setTableName(const QString& table);
    QString tableName() const { return m_table; }
    void setSql(const QString& sql);
    QString sql() const { return m_sql; }
    QString connectionName() const { return m_connection; }
    void setParam(const QString& name, const QVariant& value);
    QVariant param(const QString& name) const { return m_params.value(name); }
    // A table's rows read when first needed, a block at a time, instead of
    // all at open: a job over a few rows of a large table holds only those.
    // Which rows there are (their rowids) is still read at open; a row
    // deleted behind the dataset's back before it is read reads as nulls.
    void setReadOnDemand(bool on) { m_onDemand = on; }

    void open();
    void close();
    bool isActive() const { return m_state != State::Inactive; }
    // Reopens and returns to the row that was current (by rowid) if it still
    // exists, else to the first row.
    void refresh();
    // Catches up with what others wrote to the table meanwhile (another
    // station on a server): rows gone are removed, new ones added at the end
    // and every row held is read again when next looked at, so views see
    // rows come, go and change instead of a reset and keep the current row
    // and selection. Also forgets the prepared statements, which a new
    // connection to the server does not know. A query is reopened.
    void sync();
    State state() const { return m_state; }

    void first();
    void next();
    void prior();
    void last();
    bool eof() const { return m_eof; }
    bool isEmpty() const { return m_rows.isEmpty(); }
    int recordCount() const { return m_rows.size(); }
    int recNo() const { return m_current; } // 0-based; -1 on an empty dataset
    void moveTo(int index);                 // like a grid click

    int fieldCount() const { return m_columns.size(); }
    QStringList fieldNames() const { return m_columns; }
    int fieldIndex(const QString& name) const; // -1 when absent
    Field fieldByName(const QString& name);    // throws DataError when absent

    QVariant value(int field) const;       // of the current row
    void remove();                         // Delete
    void removeRows(QVector<int> indices); // many rows, one transaction
    bool locate(const QString& column, const QVariant& value, LocateOptions options = NoOption);

    using Bookmark = qint64;
    Bookmark bookmark() const;
    bool gotoBookmark(Bookmark mark);

    // Read access by row for models and scans that must not move the cursor.
    QVariant cell(int row, int field) const;
    QString cellText(int row, int field) const;
    qint64 rowId(int row) const;
    QVector<qint64> rowIds(const QVector<int>& rows) const;       // of each row, in that order
    int rowOf(qint64 rowid) const { return indexOfRowId(rowid); } // -1 when none

    // Writes the values (field index, value) into a table's row by its
    // rowid. The cursor stays; views see the row change. Throws DataError.
    // On a table with row versions (a server's recipients), expectedVersion
    // (when not 0) is the version the writer read: a row changed since is
    // refused (DataError::refusal) and read again as it is now, as is a row
    // deleted since; any write reads the row back with its new version.
    void updateRow(int row, const QVector<std::pair<int, QVariant>>& values,
                   qint64 expectedVersion = 0);
    // The version of the row's values as read, counted on by the server at
    // each change; 0 on a table without versions (every file).
    qint64 rowVersion(int row) const;
    // Inserts a row into the table with these values (field index, value),
    // the rest as the table's defaults, and adds it at the end as the file
    // holds it. The cursor stays, unless there was no current row: then the
    // new row is current. Returns the new row's index. Throws DataError.
    int insertRow(const QVector<std::pair<int, QVariant>>& values);
    // Column names and values as (field index, value) for the writes above,
    // a column named twice with its later value; throws DataError for a
    // column the dataset lacks.
    using NamedValues = QVector<std::pair<QString, QVariant>>;
    QVector<std::pair<int, QVariant>> fieldsOf(const NamedValues& values) const;
    // Reads the rows with these rowids again from the file, in place: views
    // see the rows change, not a reset, so a grid keeps its current row and
    // selection. A row gone from the file meanwhile reads as nulls.
    void reread(const QVector<qint64>& rowIds);

    // Stops the signals to views for bulk work (export, scans, batch
    // writes); one reset, state and current-row signal follow.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disabled > 0; }

Q_SIGNALS:
    void aboutToReset();
    void resetDone();
    void currentChanged(int row);
    void rowChanged(int row);
    void rowsChanged(int first, int last);
    void rowsAboutToBeInserted(int first, int last);
    void rowsInserted(int first, int last);
    void rowsAboutToBeRemoved(int first, int last);
    void rowsRemoved(int first, int last);
    void stateChanged();

private:
    QSqlDatabase db() const;
    QString ident(const QString& name) const; // a table or column, quoted for the engine
    QString selectSql() const;
    QString rowKey() const; // the column rows are found by in statements
    void findServerColumns(const QSqlDatabase& d);
    void load();
    void readRows(int row) const; // the block from ROW, when not read yet
    int rowWidth() const;         // the values kept per row: the fields and a version
    // Drops the values read of these rows, to be read again when looked at;
    // views see one change over them.
    void forgetRows(const QVector<int>& rows);
    [[noreturn]] void refuseChangedRow(int row);
    void checkActive() const;
    void setCurrent(int index);
    int indexOfRowId(qint64 rowid) const;
    void execOrThrow(QSqlQuery& q) const;
    void checkTable() const;
    QSqlQuery& cachedQuery(const QString& sql);
    void resetSignals(bool before);

    QString m_name;
    QString m_connection;
    QString m_table;
    QString m_sql;
    QHash<QString, QVariant> m_params;

    QStringList m_columns;
    QHash<QString, int> m_columnIndex;
    int m_rowidAlias = -1;     // the INTEGER PRIMARY KEY column, if any
    bool m_server = false;     // on PostgreSQL: rowid is a column of every table
    bool m_versioned = false;  // each row's version is kept after its fields
    QString m_selectColumns;   // the columns after rowid in a table's SELECT
    mutable PackedRows m_rows; // rows read on demand are filled in by reads
    bool m_onDemand = false;
    mutable std::unique_ptr<QSqlQuery> m_readQuery;
    int m_current = -1;
    bool m_eof = true;
    State m_state = State::Inactive;

    int m_disabled = 0;
    std::unordered_map<std::string, std::unique_ptr<QSqlQuery>> m_queries;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(Dataset::LocateOptions)
