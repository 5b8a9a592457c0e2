#pragma once

#include "render/printlog.h"

#include <QDialog>
#include <memory>

namespace Ui
{
class PrintLogDialog;
}

// "打印记录": the print log, newest job first, and the recipients of the
// chosen job; the whole job, or some of its recipients, can be printed
// again.
class PrintLogDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PrintLogDialog(const QList<PrintLog::Entry>& entries, QWidget* parent = nullptr);
    ~PrintLogDialog() override;

Q_SIGNALS:
    // Recipient IDs of the chosen job (all, or those chosen in its list), in
    // the order it printed them.
    void reprintRequested(const QVector<qint64>& rowIds);

private:
    // Shows the chosen job's recipients; reprinting is offered for a job
    // that names its rows.
    void showChosenJob();
    void enableReprint();
    // Closes and asks for the chosen job's rows again.
    void reprintChosenJob();
    void reprintChosenRecipients();

    std::unique_ptr<Ui::PrintLogDialog> m_ui;
    QList<PrintLog::Entry> m_entries;
};
