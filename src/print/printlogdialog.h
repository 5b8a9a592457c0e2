#pragma once

#include "printlog.h"

#include <QDialog>

class QPushButton;
class QTableWidget;

// "打印记录": the print log, newest job first; a job's rows can be printed
// again.
class PrintLogDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PrintLogDialog(const QList<PrintLog::Entry>& entries, QWidget* parent = nullptr);

    QTableWidget* Print_Log_Grid;
    QPushButton* Reprint_Btn;

Q_SIGNALS:
    // The recipient IDs of the chosen job, in the order it printed them.
    void reprintRequested(const QVector<qint64>& rowIds);

private:
    QList<PrintLog::Entry> m_entries;
};
