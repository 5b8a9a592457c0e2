#pragma once

#include <QSortFilterProxyModel>

// Sits between the recipient grid and its dataset model: a click on a
// header sorts what the grid shows, never the table itself, so the stored
// order and the printing order stay the table's own. Every grid row must
// be mapped through here to find its dataset row, and back.
class RecipientSortModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit RecipientSortModel(QObject* parent = nullptr);

    // The dataset row shown at a grid row, and back; -1 when none.
    int datasetRow(int gridRow) const;
    int gridRow(int datasetRow) const;
};
