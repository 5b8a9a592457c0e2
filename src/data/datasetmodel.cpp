#include "data/datasetmodel.h"

#include "data/dataset.h"

DatasetModel::DatasetModel(Dataset* dataset, QVector<Column> columns, QObject* parent)
    : QAbstractTableModel(parent), m_dataset(dataset), m_columns(std::move(columns))
{
    mapFields();
    connect(dataset, &Dataset::aboutToReset, this, [this] { beginResetModel(); });
    connect(dataset, &Dataset::resetDone, this, [this] {
        mapFields();
        endResetModel();
    });
    connect(dataset, &Dataset::rowsAboutToBeInserted, this,
            [this](int first, int last) { beginInsertRows(QModelIndex(), first, last); });
    connect(dataset, &Dataset::rowsInserted, this, [this] { endInsertRows(); });
    connect(dataset, &Dataset::rowsAboutToBeRemoved, this,
            [this](int first, int last) { beginRemoveRows(QModelIndex(), first, last); });
    connect(dataset, &Dataset::rowsRemoved, this, [this] { endRemoveRows(); });
    connect(dataset, &Dataset::rowChanged, this, [this](int row) {
        if (row >= 0)
            Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
    });
    connect(dataset, &Dataset::rowsChanged, this, [this](int first, int last) {
        Q_EMIT dataChanged(index(first, 0), index(last, columnCount() - 1));
    });
}

void DatasetModel::mapFields()
{
    m_fieldIndex.clear();
    for (const Column& c : m_columns)
        m_fieldIndex << (m_dataset ? m_dataset->fieldIndex(c.field) : -1);
}

int DatasetModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_dataset)
        return 0;
    return m_dataset->recordCount();
}

int DatasetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns.size();
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const
{
    if (!m_dataset || !index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    // Rows are read as they are painted: a server out of reach leaves them
    // blank until it is back (DataModule::watchServer reads them again),
    // instead of the error leaving a paint event.
    try {
        const auto& text = m_columns.at(index.column()).text;
        if (text)
            return text(index.row());
        const int f = m_fieldIndex.value(index.column(), -1);
        return f < 0 ? QVariant() : QVariant(m_dataset->cellText(index.row(), f));
    } catch (const DataError&) {
        return QVariant();
    }
}

void DatasetModel::columnChanged(int column)
{
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, column), index(rowCount() - 1, column));
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return m_columns.value(section).title;
    // Row numbers as printing takes them ("--rows", the row range), from 1.
    return section + 1;
}
