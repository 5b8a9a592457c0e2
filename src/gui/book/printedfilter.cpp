#include "gui/book/printedfilter.h"

#include "book/addresscheck.h"
#include "book/recipientsortmodel.h"
#include "data/dataset.h"
#include "data/schema.h"

#include <QComboBox>

PrintedFilter::PrintedFilter(RecipientSortModel* view, QComboBox* box, Dataset* recipients,
                             ParserSource parser, QObject* parent)
    : QObject(parent), m_view(view), m_box(box), m_att(recipients), m_parser(std::move(parser))
{
    m_box->clear();
    m_box->addItems({QStringLiteral("全部"), QStringLiteral("未打印"), QStringLiteral("已打印"),
                     QStringLiteral("地址待核对")});
    m_box->setCurrentIndex(0);
    connect(m_box, &QComboBox::currentIndexChanged, this,
            [this](int index) { setShow(Show(std::max(0, index))); });
}

void PrintedFilter::setShow(Show show)
{
    const AddressParser* parser = nullptr;
    if (show == Show::NeedsChecking) {
        parser = m_parser ? m_parser() : nullptr;
        if (!parser)
            show = Show::All;
    }
    m_show = show;
    if (m_box->currentIndex() != int(show))
        m_box->setCurrentIndex(int(show));
    if (m_show == Show::All) {
        m_view->setRowFilter(nullptr);
        return;
    }
    if (m_show == Show::NeedsChecking) {
        m_view->setRowFilter(
            [this, parser](int row) { return !addressCheckReasons(parser, m_att, row).isEmpty(); });
        return;
    }
    const bool printed = m_show == Show::Printed;
    m_view->setRowFilter([this, printed](int row) {
        if (isPrinted(row) != printed)
            return false;
        return printed || !m_held || !m_held(row);
    });
}

bool PrintedFilter::isPrinted(int row) const
{
    const int count = m_att->fieldIndex(Schema::printCountColumn());
    return count >= 0 && m_att->cell(row, count).toLongLong() > 0;
}

void PrintedFilter::apply()
{
    m_view->refilter();
}
