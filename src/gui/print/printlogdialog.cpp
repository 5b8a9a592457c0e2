#include "gui/print/printlogdialog.h"

#include "ui_printlogdialog.h"

#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

PrintLogDialog::PrintLogDialog(const QList<PrintLog::Entry>& entries, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::PrintLogDialog>()), m_entries(entries)
{
    m_ui->setupUi(this);
    QTableWidget* table = m_ui->jobsTable;
    table->setRowCount(int(entries.size()));
    for (int row = 0; row < entries.size(); ++row) {
        const PrintLog::Entry& e = entries.at(row);
        const QStringList cells = {e.printedAt,
                                   e.model,
                                   e.target,
                                   QString::number(e.pages),
                                   e.firstName,
                                   e.lastName,
                                   e.reprint ? QStringLiteral("是") : QString()};
        for (int col = 0; col < cells.size(); ++col)
            table->setItem(row, col, new QTableWidgetItem(cells.at(col)));
    }
    table->resizeColumnsToContents();

    connect(table, &QTableWidget::itemSelectionChanged, this, &PrintLogDialog::showChosenJob);
    connect(m_ui->recipientsList, &QListWidget::itemSelectionChanged, this,
            &PrintLogDialog::enableReprint);
    connect(m_ui->reprintButton, &QPushButton::clicked, this, &PrintLogDialog::reprintChosenJob);
    connect(m_ui->reprintRowsButton, &QPushButton::clicked, this,
            &PrintLogDialog::reprintChosenRecipients);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &QDialog::reject);
}

PrintLogDialog::~PrintLogDialog() = default;

void PrintLogDialog::showChosenJob()
{
    QListWidget* list = m_ui->recipientsList;
    list->clear();
    const int row = m_ui->jobsTable->currentRow();
    if (row >= 0 && row < m_entries.size()) {
        const PrintLog::Entry& e = m_entries.at(row);
        // Lines written before names were kept know only their rows.
        for (int i = 0; i < e.rowIds.size(); ++i)
            list->addItem(QStringLiteral("%1. %2").arg(i + 1).arg(
                i < e.names.size() ? e.names.at(i)
                                   : QStringLiteral("（编号 %1）").arg(e.rowIds.at(i))));
    }
    enableReprint();
}

void PrintLogDialog::enableReprint()
{
    const int row = m_ui->jobsTable->currentRow();
    const bool rows = row >= 0 && row < m_entries.size() && !m_entries.at(row).rowIds.isEmpty();
    m_ui->reprintButton->setEnabled(rows);
    m_ui->reprintRowsButton->setEnabled(rows && !m_ui->recipientsList->selectedItems().isEmpty());
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

void PrintLogDialog::reprintChosenRecipients()
{
    const int row = m_ui->jobsTable->currentRow();
    if (row < 0 || row >= m_entries.size())
        return;
    const QVector<qint64>& all = m_entries.at(row).rowIds;
    QVector<int> chosen;
    for (const QListWidgetItem* item : m_ui->recipientsList->selectedItems())
        chosen << m_ui->recipientsList->row(item);
    std::sort(chosen.begin(), chosen.end());
    QVector<qint64> ids;
    for (int i : chosen)
        if (i >= 0 && i < all.size())
            ids << all.at(i);
    if (ids.isEmpty())
        return;
    accept();
    Q_EMIT reprintRequested(ids);
}
