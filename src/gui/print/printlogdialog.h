#pragma once

#include "print/printlog.h"

#include <QDialog>
#include <memory>

namespace Ui
{
class PrintLogDialog;
}

// "打印记录": the print log, newest job first; a job's rows can be printed
// again.
class PrintLogDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PrintLogDialog(const QList<PrintLog::Entry>& entries, QWidget* parent = nullptr);
    ~PrintLogDialog() override;

Q_SIGNALS:
    // The recipient IDs of the chosen job, in the order it printed them.
    void reprintRequested(const QVector<qint64>& rowIds);

private:
    // Reprinting is offered for a chosen job that names its rows.
    void enableReprint();
    // Closes and asks for the chosen job's rows again.
    void reprintChosenJob();

    std::unique_ptr<Ui::PrintLogDialog> m_ui;
    QList<PrintLog::Entry> m_entries;
};
