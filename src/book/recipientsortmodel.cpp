#include "book/recipientsortmodel.h"

RecipientSortModel::RecipientSortModel(QObject* parent) : QSortFilterProxyModel(parent)
{
    // Numbers typed as text (mobile, post code) sort digit by digit, and
    // Latin names regardless of case.
    setSortCaseSensitivity(Qt::CaseInsensitive);
    setSortLocaleAware(true);
}

int RecipientSortModel::datasetRow(int gridRow) const
{
    const QModelIndex source = mapToSource(index(gridRow, 0));
    return source.isValid() ? source.row() : -1;
}

int RecipientSortModel::gridRow(int datasetRow) const
{
    if (!sourceModel())
        return -1;
    const QModelIndex shown = mapFromSource(sourceModel()->index(datasetRow, 0));
    return shown.isValid() ? shown.row() : -1;
}

void RecipientSortModel::setRowFilter(RowFilter filter)
{
    m_filter = std::move(filter);
    refilter();
    Q_EMIT filterChanged();
}

void RecipientSortModel::refilter()
{
    invalidateRowsFilter();
}

bool RecipientSortModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    Q_UNUSED(sourceParent);
    return !m_filter || m_filter(sourceRow);
}
