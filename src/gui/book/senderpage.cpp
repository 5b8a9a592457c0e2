#include "gui/book/senderpage.h"
#include "ui_senderpage.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "data/datamodule.h"
#include "gui/dbedit.h"
#include "gui/landlinevalidator.h"

#include <QPushButton>

SenderPage::SenderPage(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::SenderPage>())
{
    m_ui->setupUi(this);
    m_ui->phoneEdit->setValidator(new LandlineValidator(m_ui->phoneEdit));
    // The edit keeps the focus (the save button takes none), so its text
    // is written into the row before saving.
    connect(m_ui->saveButton, &QPushButton::clicked, this, &SenderPage::saveSender);
}

SenderPage::~SenderPage() = default;

void SenderPage::bindData(DataModule* dm)
{
    m_send = dm->sender;
    const std::pair<DBEdit*, const char*> bindings[] = {
        {m_ui->nameEdit, "Name"},         {m_ui->companyEdit, "Company"},
        {m_ui->addressEdit, "Address"},   {m_ui->mobileEdit, "Mobile"},
        {m_ui->phoneEdit, "Phone"},       {m_ui->contentsEdit, "Contents"},
        {m_ui->postCodeEdit, "PostCode"}, {m_ui->provinceEdit, "Prvince"},
        {m_ui->cityEdit, "City"},         {m_ui->countyEdit, "Country"}};
    for (const auto& [edit, column] : bindings)
        edit->bind(dm->sender, QString::fromLatin1(column));
}

void SenderPage::saveSender()
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
