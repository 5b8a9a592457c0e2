#pragma once

#include <QObject>

#include <functional>

class AddressParser;
class Dataset;
class QComboBox;
class RecipientSortModel;

// Shows all recipient rows, only those not yet printed, only the printed
// ones or only those whose address data needs checking, through the grid's sort model: the rows
// keep their numbers (the dataset's), and a hidden row can never be selected.
class PrintedFilter : public QObject
{
    Q_OBJECT
public:
    enum class Show { All = 0, Unprinted = 1, Printed = 2, NeedsChecking = 3 };
    // The region parser, built when first needed; null (the user told why)
    // when the region tables cannot be read.
    using ParserSource = std::function<const AddressParser*()>;

    // box gets the four choices "全部", "未打印", "已打印", "地址待核对".
    PrintedFilter(RecipientSortModel* view, QComboBox* box, Dataset* recipients,
                  ParserSource parser, QObject* parent = nullptr);

    Show show() const { return m_show; }
    // Rows another station is printing now: "未打印" leaves them out.
    void setHeldElsewhere(std::function<bool(int row)> held) { m_held = std::move(held); }
    void setShow(Show show);
    // Asks again which rows to show, after the marks changed.
    void apply();

private:
    bool isPrinted(int row) const;

    RecipientSortModel* m_view;
    QComboBox* m_box;
    Dataset* m_att;
    ParserSource m_parser;
    std::function<bool(int row)> m_held;
    Show m_show = Show::All;
};
