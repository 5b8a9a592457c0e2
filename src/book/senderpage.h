#pragma once

#include <QWidget>

class DBEdit;
class Dataset;
class QGroupBox;
class QPushButton;
class TDataModule1;

// The "发件人信息" tab: the one sender row in bound edits.
class SenderPage : public QWidget
{
    Q_OBJECT
public:
    explicit SenderPage(QWidget* parent = nullptr);
    void bindData(TDataModule1* dm);

    // "保存": posts the sender row when a value was written into it; says
    // whether that worked. With no change it does nothing.
    void Snd_Save_BtnClick();

    QGroupBox* GroupBox3;
    DBEdit* Snd_Name_Ad;
    DBEdit* Snd_Company_Ad;
    DBEdit* Snd_Add_Ad;
    DBEdit* Snd_Mobile_Ad;
    DBEdit* Snd_Phone_Ad;
    DBEdit* Snd_Cont_Ad;
    DBEdit* Snd_Postcode_Ad;
    DBEdit* Snd_P_Ad;
    DBEdit* Snd_S_Ad;
    DBEdit* Snd_C_Ad;
    QPushButton* Snd_Save_Btn;

private:
    Dataset* m_send = nullptr;
};
