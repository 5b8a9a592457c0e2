#pragma once

#include <QLineEdit>
#include <QPointer>

#include "data/dataset.h"

// A single-line edit bound to one column of a dataset's current row. It
// shows the row's value and follows every cursor move. Typing puts the row
// into edit mode; the text reaches the row when the focus leaves the edit
// (or when the dataset asks its edits to update the record).
class DBEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit DBEdit(QWidget* parent = nullptr);

    void bind(Dataset* dataset, const QString& column);
    Dataset* dataset() const { return m_dataset; }
    QString column() const { return m_column; }

    // Writes the edit's text into the row if the user changed it.
    void updateRecord();

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showValue();
    void onTextEdited();

    QPointer<Dataset> m_dataset;
    QString m_column;
    bool m_userChanged = false;
    bool m_showing = false;
};
