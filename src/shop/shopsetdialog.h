#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TDataModule1;

// "友情提示：请妥善保存店铺参数！": the credentials of the one shop the order
// download signs its requests with. Created once by the main window; the boxes are
// reloaded from the table each time it is opened anew (not when it comes
// back from being minimised).
class TFm_Shop_Set : public QDialog
{
    Q_OBJECT
public:
    explicit TFm_Shop_Set(TDataModule1* dm, QWidget* parent = nullptr);
    ~TFm_Shop_Set() override;

    // Loads the four boxes from the stored row (empty without one).
    void FormActivate();
    // Checks the four values, stores them trimmed in place of the stored row,
    // confirms and closes. The first empty value ends the check with a
    // message; nothing is stored and the dialog stays open.
    void Btn_OkClick();
    // Opens the page where a seller gets a session key.
    void Btn_GetSesstionClick();

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLineEdit* Ed_Nick;
    QLabel* Label2;
    QLineEdit* Ed_Appkey;
    QLabel* Label3;
    QLineEdit* Ed_Secret;
    QLabel* Label4;
    QLineEdit* Ed_Sesstion;
    QCheckBox* CheckBox1;
    QPushButton* Btn_GetSesstion;

    // The second platform's group is laid out but out of service.
    QGroupBox* GroupBox2;
    QLabel* Label5;
    QLineEdit* Edit1;
    QLabel* Label6;
    QLineEdit* Edit2;
    QLabel* Label7;
    QLineEdit* Edit3;
    QLabel* Label8;
    QLineEdit* Edit4;
    QCheckBox* CheckBox2;

    QPushButton* Btn_Ok;
    QPushButton* Btn_Cancle;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TDataModule1* m_dm;
};
