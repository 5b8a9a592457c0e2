#include "printlogdialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

PrintLogDialog::PrintLogDialog(const QList<PrintLog::Entry>& entries, QWidget* parent)
    : QDialog(parent), m_entries(entries)
{
    setObjectName(QStringLiteral("PrintLogDialog"));
    setWindowTitle(QStringLiteral("打印记录"));
    resize(760, 420);

    Print_Log_Grid = new QTableWidget(int(entries.size()), 6, this);
    Print_Log_Grid->setObjectName(QStringLiteral("Print_Log_Grid"));
    Print_Log_Grid->setHorizontalHeaderLabels(
        {QStringLiteral("时间"), QStringLiteral("模板"), QStringLiteral("打印机或文件"),
         QStringLiteral("页数"), QStringLiteral("第一位收件人"), QStringLiteral("最后一位收件人")});
    Print_Log_Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    Print_Log_Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    Print_Log_Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Print_Log_Grid->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < entries.size(); ++row) {
        const PrintLog::Entry& e = entries.at(row);
        const QStringList cells = {e.printedAt, e.model,   e.target, QString::number(e.pages),
                                   e.firstName, e.lastName};
        for (int col = 0; col < cells.size(); ++col)
            Print_Log_Grid->setItem(row, col, new QTableWidgetItem(cells.at(col)));
    }
    Print_Log_Grid->resizeColumnsToContents();

    Reprint_Btn = new QPushButton(QStringLiteral("重新打印"), this);
    Reprint_Btn->setObjectName(QStringLiteral("Reprint_Btn"));
    Reprint_Btn->setEnabled(false);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("Close_Btn"));

    connect(Print_Log_Grid, &QTableWidget::itemSelectionChanged, this, [this] {
        const int row = Print_Log_Grid->currentRow();
        Reprint_Btn->setEnabled(row >= 0 && row < m_entries.size() &&
                                !m_entries.at(row).rowIds.isEmpty());
    });
    connect(Reprint_Btn, &QPushButton::clicked, this, [this] {
        const int row = Print_Log_Grid->currentRow();
        if (row < 0 || row >= m_entries.size())
            return;
        const QVector<qint64> ids = m_entries.at(row).rowIds;
        accept();
        Q_EMIT reprintRequested(ids);
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Reprint_Btn);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Print_Log_Grid, 1);
    layout->addLayout(buttons);
}
