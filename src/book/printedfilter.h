#pragma once

#include <QObject>

class Dataset;
class QComboBox;
class QTableView;

// Shows all recipient rows, only those not yet printed or only the printed
// ones, by hiding grid rows: the rows keep their numbers and the grid's
// indices stay the dataset's rows.
class PrintedFilter : public QObject
{
    Q_OBJECT
public:
    enum class Show { All = 0, Unprinted = 1, Printed = 2 };

    // box gets the three choices "全部", "未打印", "已打印".
    PrintedFilter(QTableView* grid, QComboBox* box, Dataset* recipients, QObject* parent = nullptr);

    Show show() const { return m_show; }
    void setShow(Show show);
    // Hides and shows the rows again, after the table changed.
    void apply();

private:
    bool isPrinted(int row) const;

    QTableView* m_grid;
    QComboBox* m_box;
    Dataset* m_att;
    Show m_show = Show::All;
    bool m_anyHidden = false;
};
