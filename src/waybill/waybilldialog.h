#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TDataModule1;
struct Session;

// "运单号生成": numbers every recipient row in grid order from a start
// number, with the rule of the chosen template's carrier and an optional
// prefix and suffix. Created once by the main window; the inputs keep their texts
// between showings.
class TFM_WayBill : public QDialog
{
    Q_OBJECT
public:
    // session names the template in use, selected on showing.
    TFM_WayBill(TDataModule1* dm, const Session* session, QWidget* parent = nullptr);
    ~TFM_WayBill() override;

    // Centres the dialog, lists the templates in table order with the
    // current one selected (letter case ignored) and applies the check box.
    void FormActivate();
    // Prefix and suffix on with the check box; off, they are emptied.
    void CheckBox1Click();
    // Numbers every recipient row, all or nothing, and closes; a refused
    // input is told and leaves the dialog as it was.
    void BitBtn1Click();

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QComboBox* Model_List;
    QLabel* Label2;
    QLineEdit* WayBillNo_st;
    QLabel* Label3;
    QLineEdit* WayBillNo_cr;
    QCheckBox* CheckBox1;
    QLabel* Label4;
    QLineEdit* Ed_Bill_st;
    QLabel* Label5;
    QLineEdit* Ed_Bill_end;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyCheckBox();

    TDataModule1* m_dm;
    const Session* m_session;
};
