#include "senderpage.h"

#include "datamodule.h"
#include "dbedit.h"
#include "guarded.h"
#include "landlinevalidator.h"
#include "prompt.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

SenderPage::SenderPage(QWidget* parent) : QWidget(parent)
{
    GroupBox3 = new QGroupBox(QStringLiteral("输入发件人信息"), this);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    GroupBox3->setGeometry(16, 16, 560, 330);
    int row = 0;
    auto edit = [&](const char* name, const char* label, int width) {
        auto* l = new QLabel(QString::fromUtf8(label), GroupBox3);
        l->setGeometry(10, 24 + row * 28, 90, 21);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* e = new DBEdit(GroupBox3);
        e->setObjectName(QString::fromLatin1(name));
        e->setGeometry(104, 24 + row * 28, width, 21);
        ++row;
        return e;
    };
    Snd_Name_Ad = edit("Snd_Name_Ad", "发件人姓名：", 160);
    Snd_Company_Ad = edit("Snd_Company_Ad", "单位：", 300);
    Snd_Add_Ad = edit("Snd_Add_Ad", "详细地址：", 430);
    Snd_Mobile_Ad = edit("Snd_Mobile_Ad", "手机：", 160);
    Snd_Phone_Ad = edit("Snd_Phone_Ad", "固定电话：", 160);
    Snd_Phone_Ad->setValidator(new LandlineValidator(Snd_Phone_Ad));
    Snd_Cont_Ad = edit("Snd_Cont_Ad", "内件品名：", 300);
    Snd_Postcode_Ad = edit("Snd_Postcode_Ad", "邮编：", 100);
    Snd_P_Ad = edit("Snd_P_Ad", "省：", 160);
    Snd_S_Ad = edit("Snd_S_Ad", "市：", 160);
    Snd_C_Ad = edit("Snd_C_Ad", "区县：", 160);
    Snd_Save_Btn = new QPushButton(QStringLiteral("保存"), GroupBox3);
    Snd_Save_Btn->setObjectName(QStringLiteral("Snd_Save_Btn"));
    Snd_Save_Btn->setGeometry(460, 290, 80, 28);
    Snd_Save_Btn->setFocusPolicy(Qt::NoFocus); // the edit keeps the focus
    connect(Snd_Save_Btn, &QPushButton::clicked, this, &SenderPage::Snd_Save_BtnClick);
}

void SenderPage::bindData(TDataModule1* dm)
{
    m_send = dm->TB_Send;
    const std::pair<DBEdit*, const char*> bindings[] = {
        {Snd_Name_Ad, "Name"},         {Snd_Company_Ad, "Company"}, {Snd_Add_Ad, "Address"},
        {Snd_Mobile_Ad, "Mobile"},     {Snd_Phone_Ad, "Phone"},     {Snd_Cont_Ad, "Contents"},
        {Snd_Postcode_Ad, "PostCode"}, {Snd_P_Ad, "Prvince"},       {Snd_S_Ad, "City"},
        {Snd_C_Ad, "Country"}};
    for (const auto& [edit, column] : bindings)
        edit->bind(dm->TB_Send, QString::fromLatin1(column));
}

void SenderPage::Snd_Save_BtnClick()
{
    // Text still in the focused edit is not in the row yet: no change.
    if (!m_send || !m_send->modified())
        return;
    bool saved = false;
    QString reason;
    try {
        if (!m_send->isActive())
            m_send->open();
        m_send->edit();
        m_send->updateRecord();
        m_send->post();
        saved = true;
    } catch (const std::exception& e) {
        reason = reasonOf(e);
    }
    // On failure the row stays in edit mode with the typed values.
    prompt().message(saved ? QStringLiteral("发件人信息已保存！")
                           : withReason(QStringLiteral("程序发生未知错误！"), reason));
}
