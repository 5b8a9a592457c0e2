#include "printedfilter.h"

#include "dataset.h"
#include "schema.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QTableView>

PrintedFilter::PrintedFilter(QTableView* grid, QComboBox* box, Dataset* recipients, QObject* parent)
    : QObject(parent), m_grid(grid), m_box(box), m_att(recipients)
{
    m_box->clear();
    m_box->addItems({QStringLiteral("全部"), QStringLiteral("未打印"), QStringLiteral("已打印")});
    m_box->setCurrentIndex(0);
    connect(m_box, &QComboBox::currentIndexChanged, this,
            [this](int index) { setShow(Show(std::max(0, index))); });
    QAbstractItemModel* model = m_grid->model();
    connect(model, &QAbstractItemModel::modelReset, this, &PrintedFilter::apply);
    connect(model, &QAbstractItemModel::rowsInserted, this, &PrintedFilter::apply);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &PrintedFilter::apply);
}

void PrintedFilter::setShow(Show show)
{
    m_show = show;
    if (m_box->currentIndex() != int(show))
        m_box->setCurrentIndex(int(show));
    apply();
}

bool PrintedFilter::isPrinted(int row) const
{
    const int count = m_att->fieldIndex(Schema::printCountColumn());
    return count >= 0 && m_att->cell(row, count).toLongLong() > 0;
}

void PrintedFilter::apply()
{
    if (m_show == Show::All && !m_anyHidden)
        return;
    const int rows = m_grid->model()->rowCount();
    m_anyHidden = false;
    for (int row = 0; row < rows; ++row) {
        bool hide = false;
        if (m_show != Show::All)
            hide = isPrinted(row) == (m_show == Show::Unprinted);
        m_grid->setRowHidden(row, hide);
        m_anyHidden = m_anyHidden || hide;
    }
}
