#pragma once

#include <QSortFilterProxyModel>

#include <functional>

// Sits between the recipient grid and its dataset model: a click on a
// header sorts what the grid shows, never the table itself, so the stored
// order and the printing order stay the table's own. It also leaves out the
// rows a filter hides. Every grid row must be mapped through here to find
// its dataset row, and back.
class RecipientSortModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit RecipientSortModel(QObject* parent = nullptr);

    // The dataset row shown at a grid row, and back; -1 when none.
    int datasetRow(int gridRow) const;
    int gridRow(int datasetRow) const;

    // Which dataset rows the grid shows; null shows every row.
    using RowFilter = std::function<bool(int datasetRow)>;
    void setRowFilter(RowFilter filter);
    // Asks the filter again, after the rows it looks at changed.
    void refilter();

Q_SIGNALS:
    // Another filter was set; the rows shown have been worked out anew.
    void filterChanged();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    RowFilter m_filter;
};
