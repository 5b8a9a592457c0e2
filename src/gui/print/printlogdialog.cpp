#include "gui/print/printlogdialog.h"

#include "ui_printlogdialog.h"

#include <QPushButton>
#include <QTableWidget>

PrintLogDialog::PrintLogDialog(const QList<PrintLog::Entry>& entries, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::PrintLogDialog>()), m_entries(entries)
{
    m_ui->setupUi(this);
    QTableWidget* table = m_ui->jobsTable;
    table->setRowCount(int(entries.size()));
    for (int row = 0; row < entries.size(); ++row) {
        const PrintLog::Entry& e = entries.at(row);
        const QStringList cells = {e.printedAt, e.model,   e.target, QString::number(e.pages),
                                   e.firstName, e.lastName};
        for (int col = 0; col < cells.size(); ++col)
            table->setItem(row, col, new QTableWidgetItem(cells.at(col)));
    }
    table->resizeColumnsToContents();

    connect(table, &QTableWidget::itemSelectionChanged, this, &PrintLogDialog::enableReprint);
    connect(m_ui->reprintButton, &QPushButton::clicked, this, &PrintLogDialog::reprintChosenJob);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &QDialog::reject);
}

PrintLogDialog::~PrintLogDialog() = default;

void PrintLogDialog::enableReprint()
{
    const int row = m_ui->jobsTable->currentRow();
    m_ui->reprintButton->setEnabled(row >= 0 && row < m_entries.size() &&
                                    !m_entries.at(row).rowIds.isEmpty());
}

void PrintLogDialog::reprintChosenJob()
{
    const int row = m_ui->jobsTable->currentRow();
    if (row < 0 || row >= m_entries.size())
        return;
    const QVector<qint64> ids = m_entries.at(row).rowIds;
    accept();
    Q_EMIT reprintRequested(ids);
}
