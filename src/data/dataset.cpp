#include "data/dataset.h"

#include "data/schema.h"
#include "data/transaction.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <algorithm>
#include <limits>
#include <numeric>
#include <unordered_set>

namespace
{

QString quoted(const QString& identifier)
{
    QString s = identifier;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

QString variantText(const QVariant& v)
{
    if (v.isNull())
        return QString(QLatin1String(""));
    return v.toString();
}

} // namespace

// --- Field ---------------------------------------------------------------

QString Field::name() const
{
    return m_ds->fieldNames().at(m_index);
}

QString Field::asString() const
{
    return variantText(m_ds->value(m_index));
}

qint64 Field::asInteger() const
{
    const QVariant v = m_ds->value(m_index);
    if (v.isNull())
        return 0;
    bool ok = false;
    qint64 n = v.toLongLong(&ok);
    if (!ok)
        n = v.toString().trimmed().toLongLong(&ok);
    return ok ? n : 0;
}

QVariant Field::value() const
{
    return m_ds->value(m_index);
}

bool Field::isNull() const
{
    return m_ds->value(m_index).isNull();
}

// --- Dataset -------------------------------------------------------------

Dataset::Dataset(const QString& name, const QString& connectionName, QObject* parent)
    : QObject(parent), m_name(name), m_connection(connectionName)
{
    setObjectName(name);
}

Dataset::~Dataset() = default;

QSqlDatabase Dataset::db() const
{
    return QSqlDatabase::database(m_connection, false);
}

void Dataset::setTableName(const QString& table)
{
    m_table = table;
    m_sql.clear();
}

void Dataset::setSql(const QString& sql)
{
    m_sql = sql;
    m_table.clear();
}

void Dataset::setParam(const QString& name, const QVariant& value)
{
    m_params.insert(name, value);
}

QString Dataset::ident(const QString& name) const
{
    // A server folds unquoted names to lower case; its tables were made so.
    return quoted(m_server ? name.toLower() : name);
}

QString Dataset::rowKey() const
{
    // A server's rowid is a copy of the key without an index of its own:
    // rows are found by the key there.
    if (m_server && m_rowidAlias >= 0)
        return ident(m_columns.at(m_rowidAlias));
    return QStringLiteral("rowid");
}

QString Dataset::selectSql() const
{
    if (!m_table.isEmpty())
        return QLatin1String("SELECT rowid, ") + m_selectColumns + QLatin1String(" FROM ") +
               ident(m_table) + QLatin1String(" ORDER BY rowid");
    return m_sql;
}

void Dataset::findServerColumns(const QSqlDatabase& d)
{
    // Every column of the file's table; the row's name is selected first.
    QStringList cols;
    const QSqlRecord rec = d.record(m_table.toLower());
    for (int i = 0; i < rec.count(); ++i) {
        if (!Schema::isServerOnlyColumn(rec.fieldName(i)))
            cols << quoted(rec.fieldName(i));
    }
    if (cols.isEmpty())
        throw DataError(QStringLiteral("%1: no table %2").arg(m_name, m_table));
    // The row's version comes last, kept with the row but not a field.
    m_versioned = rec.contains(QStringLiteral("row_version"));
    if (m_versioned)
        cols << QStringLiteral("row_version");
    m_selectColumns = cols.join(QLatin1Char(','));
}

void Dataset::execOrThrow(QSqlQuery& q) const
{
    if (!q.exec())
        throw DataError(q.lastError().text());
}

QSqlQuery& Dataset::cachedQuery(const QString& sql)
{
    auto& slot = m_queries[sql.toStdString()];
    if (!slot) {
        slot = std::make_unique<QSqlQuery>(db());
        if (!slot->prepare(sql)) {
            const QString err = slot->lastError().text();
            slot.reset();
            throw DataError(err);
        }
    }
    return *slot;
}

void Dataset::load()
{
    QSqlDatabase d = db();
    if (!d.isOpen())
        throw DataError(QStringLiteral("%1: the database is not open").arg(m_name));

    m_columns.clear();
    m_columnIndex.clear();
    m_rowidAlias = -1;
    m_rows.clear();
    m_server = Schema::isServer(d);
    m_versioned = false;
    m_selectColumns = QStringLiteral("*");
    if (m_server && !m_table.isEmpty())
        findServerColumns(d);

    QSqlQuery q(d);
    q.setForwardOnly(true);
    if (!q.prepare(selectSql()))
        throw DataError(q.lastError().text());
    if (m_table.isEmpty()) {
        // Every named parameter of the text; one never set binds null.
        static const QRegularExpression re(QStringLiteral(":([A-Za-z_][A-Za-z0-9_]*)"));
        auto it = re.globalMatch(m_sql);
        while (it.hasNext()) {
            const QString p = it.next().captured(1);
            q.bindValue(QLatin1Char(':') + p, m_params.value(p));
        }
    }
    execOrThrow(q);

    const QSqlRecord rec = q.record();
    const int skip = m_table.isEmpty() ? 0 : 1; // the leading rowid
    for (int i = skip; i < rec.count() - (m_versioned ? 1 : 0); ++i) {
        const QString name = m_server ? Schema::spelledName(rec.fieldName(i)) : rec.fieldName(i);
        m_columnIndex.insert(name, m_columns.size());
        m_columns << name;
    }
    if (m_server && !m_table.isEmpty()) {
        // Tables with a key name their rows by it (rowid is a copy of ID).
        m_rowidAlias = m_columnIndex.value(QStringLiteral("ID"), -1);
    } else if (!m_table.isEmpty()) {
        QSqlQuery info(d);
        info.exec(QLatin1String("PRAGMA table_info(") + quoted(m_table) + QLatin1Char(')'));
        int pkCount = 0;
        QString pkName;
        QString pkType;
        while (info.next()) {
            if (info.value(5).toInt() > 0) {
                ++pkCount;
                pkName = info.value(1).toString();
                pkType = info.value(2).toString();
            }
        }
        if (pkCount == 1 && pkType.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
            m_rowidAlias = m_columnIndex.value(pkName, -1);
    }

    if (m_onDemand && !m_table.isEmpty()) {
        q.finish();
        QSqlQuery ids(d);
        ids.setForwardOnly(true);
        // Room for all at once: growing would hold the old copy besides.
        if (ids.exec(QLatin1String("SELECT count(*) FROM ") + ident(m_table)) && ids.next())
            m_rows.reserve(ids.value(0).toInt());
        if (!ids.exec(QLatin1String("SELECT rowid FROM ") + ident(m_table) +
                      QLatin1String(" ORDER BY ") + rowKey()))
            throw DataError(ids.lastError().text());
        while (ids.next())
            m_rows.appendUnread(ids.value(0).toLongLong());
        return;
    }

    const int n = rowWidth();
    qint64 serial = 0;
    QVector<QVariant> values(n);
    while (q.next()) {
        const qint64 rowid = skip ? q.value(0).toLongLong() : ++serial;
        for (int i = 0; i < n; ++i)
            values[i] = q.value(i + skip);
        m_rows.append(rowid, values);
    }
}

void Dataset::readRows(int row) const
{
    // Neighbours come along: a scan then costs one query per block. A
    // server's query is a round trip, so its blocks are larger.
    const int kBlock = m_server ? 256 : 32;
    if (row < 0 || row >= m_rows.size() || m_rows.isRead(row))
        return;
    int last = row;
    while (last + 1 < m_rows.size() && last + 1 - row < kBlock && !m_rows.isRead(last + 1))
        ++last;
    if (!m_readQuery) {
        m_readQuery = std::make_unique<QSqlQuery>(db());
        m_readQuery->setForwardOnly(true);
        if (!m_readQuery->prepare(QLatin1String("SELECT rowid, ") + m_selectColumns +
                                  QLatin1String(" FROM ") + ident(m_table) +
                                  QLatin1String(" WHERE ") + rowKey() +
                                  QLatin1String(" BETWEEN ? AND ? ORDER BY ") + rowKey())) {
            const QString why = m_readQuery->lastError().text();
            m_readQuery.reset();
            throw DataError(why);
        }
    }
    QSqlQuery& q = *m_readQuery;
    q.bindValue(0, m_rows.rowId(row));
    q.bindValue(1, m_rows.rowId(last));
    execOrThrow(q);
    const int n = rowWidth();
    const QVector<QVariant> gone(n);
    QVector<QVariant> values(n);
    int i = row;
    while (i <= last && q.next()) {
        const qint64 rowid = q.value(0).toLongLong();
        for (; i <= last && m_rows.rowId(i) < rowid; ++i)
            m_rows.replace(i, m_rows.rowId(i), gone);
        if (i > last || m_rows.rowId(i) != rowid) // added since open: not ours
            continue;
        for (int k = 0; k < n; ++k)
            values[k] = q.value(k + 1);
        m_rows.replace(i++, rowid, values);
    }
    q.finish();
    for (; i <= last; ++i)
        m_rows.replace(i, m_rows.rowId(i), gone);
}

void Dataset::resetSignals(bool before)
{
    if (m_disabled)
        return;
    if (before)
        Q_EMIT aboutToReset();
    else
        Q_EMIT resetDone();
}

void Dataset::open()
{
    if (isActive())
        return;
    resetSignals(true);
    try {
        load();
    } catch (...) {
        m_rows.clear();
        m_columns.clear();
        m_columnIndex.clear();
        resetSignals(false);
        throw;
    }
    m_state = State::Browse;
    m_current = m_rows.isEmpty() ? -1 : 0;
    m_eof = m_rows.isEmpty();
    resetSignals(false);
    if (!m_disabled) {
        Q_EMIT stateChanged();
        Q_EMIT currentChanged(m_current);
    }
}

void Dataset::close()
{
    if (!isActive())
        return;
    resetSignals(true);
    m_queries.clear();
    m_readQuery.reset();
    m_rows.clear();
    m_columns.clear();
    m_columnIndex.clear();
    m_current = -1;
    m_eof = true;
    m_state = State::Inactive;
    resetSignals(false);
    if (!m_disabled)
        Q_EMIT stateChanged();
}

void Dataset::refresh()
{
    const Bookmark mark = isActive() ? bookmark() : -1;
    close();
    open();
    if (mark > 0)
        gotoBookmark(mark);
}

void Dataset::checkActive() const
{
    if (!isActive())
        throw DataError(
            QStringLiteral("%1: cannot perform this operation on a closed dataset").arg(m_name));
}

void Dataset::setCurrent(int index)
{
    m_current = index;
    if (!m_disabled)
        Q_EMIT currentChanged(m_current);
}

void Dataset::first()
{
    checkActive();
    setCurrent(m_rows.isEmpty() ? -1 : 0);
    m_eof = m_rows.isEmpty();
}

void Dataset::next()
{
    checkActive();
    if (m_current >= 0 && m_current < m_rows.size() - 1) {
        setCurrent(m_current + 1);
        m_eof = false;
    } else {
        m_eof = true;
    }
}

void Dataset::prior()
{
    checkActive();
    if (m_current > 0) {
        setCurrent(m_current - 1);
        m_eof = false;
    } else if (m_rows.isEmpty()) {
        m_eof = true;
    }
}

void Dataset::last()
{
    checkActive();
    setCurrent(m_rows.size() - 1);
    m_eof = true;
}

void Dataset::moveTo(int index)
{
    checkActive();
    if (index < 0 || index >= m_rows.size())
        return;
    setCurrent(index);
    m_eof = false;
}

int Dataset::fieldIndex(const QString& name) const
{
    return m_columnIndex.value(name, -1);
}

Field Dataset::fieldByName(const QString& name)
{
    checkActive();
    const int i = fieldIndex(name);
    if (i < 0)
        throw DataError(QStringLiteral("%1: Field '%2' not found").arg(m_name, name));
    return Field(this, i);
}

QVariant Dataset::value(int field) const
{
    if (m_current < 0)
        return QVariant();
    readRows(m_current);
    return m_rows.value(m_current, field);
}

void Dataset::remove()
{
    checkActive();
    if (m_current < 0)
        throw DataError(
            QStringLiteral("%1: Cannot perform this operation on an empty dataset").arg(m_name));
    if (m_table.isEmpty())
        throw DataError(QStringLiteral("%1: a query cannot be modified").arg(m_name));
    QSqlQuery& q = cachedQuery(QLatin1String("DELETE FROM ") + ident(m_table) +
                               QLatin1String(" WHERE ") + rowKey() + QLatin1String("=?"));
    q.bindValue(0, m_rows.rowId(m_current));
    execOrThrow(q);
    q.finish();
    const int at = m_current;
    if (!m_disabled)
        Q_EMIT rowsAboutToBeRemoved(at, at);
    m_rows.removeAt(at);
    m_current = m_rows.isEmpty() ? -1 : std::min<int>(at, m_rows.size() - 1);
    m_eof = m_rows.isEmpty();
    if (!m_disabled) {
        Q_EMIT rowsRemoved(at, at);
        Q_EMIT currentChanged(m_current);
    }
}

void Dataset::removeRows(QVector<int> indices)
{
    checkActive();
    if (m_table.isEmpty())
        throw DataError(QStringLiteral("%1: a query cannot be modified").arg(m_name));
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    indices.erase(std::remove_if(indices.begin(), indices.end(),
                                 [this](int i) { return i < 0 || i >= m_rows.size(); }),
                  indices.end());
    if (indices.isEmpty())
        return;

    {
        // On a server the transaction begins here unless a writer's is open.
        Transaction t(db(), QStringLiteral("dataset_remove"));
        QSqlQuery& q = cachedQuery(QLatin1String("DELETE FROM ") + ident(m_table) +
                                   QLatin1String(" WHERE ") + rowKey() + QLatin1String("=?"));
        for (int i : indices) {
            q.bindValue(0, m_rows.rowId(i));
            execOrThrow(q);
        }
        q.finish();
        t.commit();
    }

    // The current row stays current if it survives; else the next survivor.
    const int oldCurrent = m_current;
    resetSignals(true);
    int newCurrent = -1;
    for (int i = 0, k = 0; i < m_rows.size(); ++i) {
        if (k < indices.size() && indices.at(k) == i) {
            ++k;
            continue;
        }
        if (i >= oldCurrent) {
            newCurrent = i - k;
            break;
        }
    }
    m_rows.removeSorted(indices);
    if (newCurrent < 0)
        newCurrent = m_rows.size() - 1;
    m_current = newCurrent;
    m_eof = m_rows.isEmpty();
    resetSignals(false);
    if (!m_disabled)
        Q_EMIT currentChanged(m_current);
}

bool Dataset::locate(const QString& column, const QVariant& value, LocateOptions options)
{
    checkActive();
    const int f = fieldIndex(column);
    if (f < 0)
        throw DataError(QStringLiteral("%1: Field '%2' not found").arg(m_name, column));
    const QString wanted = variantText(value);
    const Qt::CaseSensitivity cs =
        options.testFlag(CaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const bool partial = options.testFlag(PartialKey);
    for (int i = 0; i < m_rows.size(); ++i) {
        readRows(i);
        const QString text = variantText(m_rows.value(i, f));
        if (partial ? text.startsWith(wanted, cs) : text.compare(wanted, cs) == 0) {
            setCurrent(i);
            m_eof = false;
            return true;
        }
    }
    return false;
}

Dataset::Bookmark Dataset::bookmark() const
{
    if (m_current < 0)
        return -1;
    return m_rows.rowId(m_current);
}

int Dataset::indexOfRowId(qint64 rowid) const
{
    // Table rows are in rowid order, appended rows last with larger rowids.
    return m_rows.indexOfRowId(rowid, !m_table.isEmpty());
}

bool Dataset::gotoBookmark(Bookmark mark)
{
    checkActive();
    const int i = indexOfRowId(mark);
    if (i < 0)
        return false;
    setCurrent(i);
    m_eof = false;
    return true;
}

QVariant Dataset::cell(int row, int field) const
{
    if (row < 0 || row >= m_rows.size())
        return QVariant();
    readRows(row);
    return m_rows.value(row, field);
}

void Dataset::checkTable() const
{
    checkActive();
    if (m_table.isEmpty())
        throw DataError(QStringLiteral("%1: a query cannot be modified").arg(m_name));
}

void Dataset::updateRow(int row, const QVector<std::pair<int, QVariant>>& values,
                        qint64 expectedVersion)
{
    checkTable();
    if (row < 0 || row >= m_rows.size())
        throw DataError(QStringLiteral("%1: no such row").arg(m_name));
    if (values.isEmpty())
        return;
    QStringList cols;
    for (const auto& [field, value] : values) {
        if (field < 0 || field >= m_columns.size() || field == m_rowidAlias)
            throw DataError(
                QStringLiteral("%1: Field %2 cannot be modified").arg(m_name).arg(field));
        cols << ident(m_columns.at(field));
    }
    QString sql = QLatin1String("UPDATE ") + ident(m_table) + QLatin1String(" SET ") +
                  cols.join(QLatin1String("=?,")) + QLatin1String("=? WHERE ") + rowKey() +
                  QLatin1String("=?");
    const bool checked = m_versioned && expectedVersion > 0;
    if (checked)
        sql += QLatin1String(" AND row_version=?");
    // A versioned row comes back as the server stored it: its new version.
    if (m_versioned)
        sql += QLatin1String(" RETURNING rowid, ") + m_selectColumns;
    QSqlQuery& q = cachedQuery(sql);
    int bound = 0;
    for (const auto& value : values)
        q.bindValue(bound++, value.second);
    q.bindValue(bound++, m_rows.rowId(row));
    if (checked)
        q.bindValue(bound, expectedVersion);
    execOrThrow(q);
    if (m_versioned) {
        const bool written = q.next();
        QVector<QVariant> now(rowWidth());
        for (int k = 0; written && k < now.size(); ++k)
            now[k] = q.value(k + 1);
        q.finish();
        if (!written)
            refuseChangedRow(row);
        m_rows.replace(row, m_rows.rowId(row), now);
        if (!m_disabled)
            Q_EMIT rowChanged(row);
        return;
    }
    q.finish();
    readRows(row);
    QVector<QVariant> now = m_rows.values(row);
    now.resize(m_columns.size());
    for (const auto& [field, value] : values)
        now[field] = value;
    m_rows.replace(row, m_rows.rowId(row), now);
    if (!m_disabled)
        Q_EMIT rowChanged(row);
}

void Dataset::refuseChangedRow(int row)
{
    // Shown as it is now, whatever the refusal says.
    m_rows.forget(row);
    readRows(row);
    if (!m_disabled)
        Q_EMIT rowChanged(row);
    if (rowVersion(row) == 0)
        throw DataError::refusal(QStringLiteral("这一行已由其他工作台删除，您的修改没有保存。"));
    throw DataError::refusal(QStringLiteral("这一行刚由其他工作台修改过，您的修改没有保存。\n"
                                            "表格中已是它现在的内容。"));
}

qint64 Dataset::rowVersion(int row) const
{
    if (!m_versioned || row < 0 || row >= m_rows.size())
        return 0;
    readRows(row);
    return m_rows.value(row, m_columns.size()).toLongLong();
}

int Dataset::rowWidth() const
{
    return m_columns.size() + (m_versioned ? 1 : 0);
}

void Dataset::sync()
{
    if (!isActive())
        return;
    // After a reconnection the server knows none of the prepared statements.
    m_queries.clear();
    m_readQuery.reset();
    if (m_table.isEmpty()) {
        refresh();
        return;
    }
    QSqlQuery ids(db());
    ids.setForwardOnly(true);
    if (!ids.exec(QLatin1String("SELECT rowid FROM ") + ident(m_table) +
                  QLatin1String(" ORDER BY ") + rowKey()))
        throw DataError(ids.lastError().text());
    std::vector<qint64> now;
    while (ids.next())
        now.push_back(ids.value(0).toLongLong());
    ids.finish();
    const std::unordered_set<qint64> present(now.begin(), now.end());
    const qint64 currentId = rowId(m_current);

    // Rows gone: removed from the bottom up, a run at a time.
    for (int last = m_rows.size() - 1; last >= 0;) {
        if (present.count(m_rows.rowId(last))) {
            --last;
            continue;
        }
        int first = last;
        while (first > 0 && !present.count(m_rows.rowId(first - 1)))
            --first;
        if (!m_disabled)
            Q_EMIT rowsAboutToBeRemoved(first, last);
        QVector<int> run;
        for (int i = first; i <= last; ++i)
            run << i;
        m_rows.removeSorted(run);
        if (!m_disabled)
            Q_EMIT rowsRemoved(first, last);
        last = first - 1;
    }
    // Rows added: after the last one held, as the server names new rows.
    const qint64 highest =
        m_rows.isEmpty() ? std::numeric_limits<qint64>::min() : m_rows.rowId(m_rows.size() - 1);
    std::vector<qint64> added;
    for (qint64 id : now) {
        if (indexOfRowId(id) >= 0)
            continue;
        if (id < highest) { // not where a new row goes: read all again
            refresh();
            return;
        }
        added.push_back(id);
    }
    if (!added.empty()) {
        const int at = m_rows.size();
        const int last = at + int(added.size()) - 1;
        if (!m_disabled)
            Q_EMIT rowsAboutToBeInserted(at, last);
        for (qint64 id : added)
            m_rows.appendUnread(id);
        if (!m_disabled)
            Q_EMIT rowsInserted(at, last);
    }
    // The rows held are read again when next looked at.
    QVector<int> held(m_rows.size());
    std::iota(held.begin(), held.end(), 0);
    forgetRows(held);

    const int oldCurrent = m_current;
    const int kept = indexOfRowId(currentId);
    if (kept >= 0)
        m_current = kept;
    else
        m_current = m_rows.isEmpty() ? -1 : std::min(std::max(oldCurrent, 0), m_rows.size() - 1);
    m_eof = m_rows.isEmpty();
    if ((m_current != oldCurrent || kept < 0) && !m_disabled)
        Q_EMIT currentChanged(m_current);
}

QVector<std::pair<int, QVariant>> Dataset::fieldsOf(const NamedValues& values) const
{
    QVector<std::pair<int, QVariant>> fields;
    for (const auto& [column, value] : values) {
        const int field = fieldIndex(column);
        if (field < 0)
            throw DataError(QStringLiteral("%1: Field '%2' not found").arg(m_name, column));
        // Assigned in order: a column named again takes the later value.
        const auto same = std::find_if(fields.begin(), fields.end(),
                                       [field](const auto& f) { return f.first == field; });
        if (same != fields.end())
            same->second = value;
        else
            fields.append({field, value});
    }
    return fields;
}

int Dataset::insertRow(const QVector<std::pair<int, QVariant>>& values)
{
    checkTable();
    QStringList cols;
    for (const auto& value : values) {
        const int field = value.first;
        if (field < 0 || field >= m_columns.size() || field == m_rowidAlias)
            throw DataError(
                QStringLiteral("%1: Field %2 cannot be modified").arg(m_name).arg(field));
        cols << ident(m_columns.at(field));
    }
    QString sql = QLatin1String("INSERT INTO ") + ident(m_table);
    if (cols.isEmpty()) {
        sql += QLatin1String(" DEFAULT VALUES");
    } else {
        const QStringList marks(cols.size(), QStringLiteral("?"));
        sql += QLatin1String(" (") + cols.join(QLatin1Char(',')) + QLatin1String(") VALUES (") +
               marks.join(QLatin1Char(',')) + QLatin1Char(')');
    }
    // A server names the new row itself: it has no last insert id to ask.
    if (m_server)
        sql += QLatin1String(" RETURNING rowid");
    QSqlQuery& q = cachedQuery(sql);
    int bound = 0;
    for (const auto& value : values)
        q.bindValue(bound++, value.second);
    execOrThrow(q);
    const qint64 rowid =
        m_server && q.next() ? q.value(0).toLongLong() : q.lastInsertId().toLongLong();
    q.finish();

    // Read back when first looked at: defaults and triggers as the file has them.
    const int at = m_rows.size();
    if (!m_disabled)
        Q_EMIT rowsAboutToBeInserted(at, at);
    m_rows.appendUnread(rowid);
    if (!m_disabled)
        Q_EMIT rowsInserted(at, at);
    if (m_current < 0) {
        m_eof = false;
        setCurrent(at);
    }
    return at;
}

void Dataset::reread(const QVector<qint64>& rowIds)
{
    checkTable();
    // The rows are read again when next looked at, a block at a time, as
    // on-demand rows are.
    QVector<int> rows;
    rows.reserve(rowIds.size());
    for (qint64 id : rowIds)
        rows << indexOfRowId(id);
    forgetRows(rows);
}

void Dataset::forgetRows(const QVector<int>& rows)
{
    int first = m_rows.size();
    int last = -1;
    for (int row : rows) {
        if (row < 0 || row >= m_rows.size() || !m_rows.isRead(row))
            continue;
        m_rows.forget(row);
        first = std::min(first, row);
        last = std::max(last, row);
    }
    if (last >= 0 && !m_disabled)
        Q_EMIT rowsChanged(first, last);
}

QVector<qint64> Dataset::rowIds(const QVector<int>& rows) const
{
    QVector<qint64> ids;
    ids.reserve(rows.size());
    for (int row : rows)
        ids << rowId(row);
    return ids;
}

QString Dataset::cellText(int row, int field) const
{
    return variantText(cell(row, field));
}

qint64 Dataset::rowId(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.rowId(row) : -1;
}

void Dataset::disableControls()
{
    ++m_disabled;
}

void Dataset::enableControls()
{
    if (m_disabled == 0)
        return;
    if (--m_disabled == 0) {
        // Views may have looked at the rows meanwhile; rows are bounds-checked.
        Q_EMIT aboutToReset();
        Q_EMIT resetDone();
        Q_EMIT stateChanged();
        Q_EMIT currentChanged(m_current);
    }
}
