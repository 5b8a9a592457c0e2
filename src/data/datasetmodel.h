#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>
#include <QVector>
#include <functional>

#include "data/dataset.h"

// A read-only table model over a dataset's rows. It never copies the rows:
// data() reads the dataset's snapshot, so a grid over 100,000 rows costs
// only what the view paints.
class DatasetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct Column {
        QString field;
        QString title;
        int width;
        // The text a column shows by row: of a column that is no field of
        // the dataset, or of a field shown otherwise than its value.
        std::function<QString(int row)> text = {};
    };

    DatasetModel(Dataset* dataset, QVector<Column> columns, QObject* parent = nullptr);

    Dataset* dataset() const { return m_dataset; }
    const QVector<Column>& columns() const { return m_columns; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Tells the views that a column's texts may have changed.
    void columnChanged(int column);

private:
    void mapFields();

    QPointer<Dataset> m_dataset;
    QVector<Column> m_columns;
    QVector<int> m_fieldIndex;
};
