#pragma once

#include "prompt.h"

#include <QDialog>

class QLineEdit;
class QRadioButton;

// "打印范围": which recipient rows a batch prints. Choices that would print
// nothing are greyed out; the range edit takes row numbers as the grid
// shows them.
class PrintRowsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PrintRowsDialog(const Prompt::RowsOffer& offer, QWidget* parent = nullptr);

    Prompt::RowsChoice choice() const;

    QRadioButton* All_Rows_Radio;
    QRadioButton* Selected_Rows_Radio;
    QRadioButton* Unprinted_Rows_Radio;
    QRadioButton* Range_Rows_Radio;
    QLineEdit* Rows_Range_Edit;
};
