#pragma once

#include <QObject>

class Dataset;
class QComboBox;
class RecipientSortModel;

// Shows all recipient rows, only those not yet printed or only the printed
// ones, through the grid's sort model: the rows keep their numbers (the
// dataset's), and a hidden row can never be selected.
class PrintedFilter : public QObject
{
    Q_OBJECT
public:
    enum class Show { All = 0, Unprinted = 1, Printed = 2 };

    // box gets the three choices "全部", "未打印", "已打印".
    PrintedFilter(RecipientSortModel* view, QComboBox* box, Dataset* recipients,
                  QObject* parent = nullptr);

    Show show() const { return m_show; }
    void setShow(Show show);
    // Asks again which rows to show, after the marks changed.
    void apply();

private:
    bool isPrinted(int row) const;

    RecipientSortModel* m_view;
    QComboBox* m_box;
    Dataset* m_att;
    Show m_show = Show::All;
};
