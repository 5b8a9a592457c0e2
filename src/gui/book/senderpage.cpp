#include "gui/book/senderpage.h"
#include "ui_senderpage.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "book/contactnumbers.h"
#include "data/datamodule.h"
#include "gui/dbedit.h"
#include "gui/landlinevalidator.h"

#include <QPushButton>

SenderPage::SenderPage(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::SenderPage>())
{
    m_ui->setupUi(this);
    m_ui->phoneEdit->setValidator(new LandlineValidator(m_ui->phoneEdit));
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

bool SenderPage::saveSender()
{
    if (!m_send)
        return true;
    // The edit that still has the focus (the save button takes none) has
    // not written its text into the row yet.
    m_send->updateRecord();
    if (!m_send->modified())
        return true;
    const int mobileField = m_send->fieldIndex(QStringLiteral("Mobile"));
    const QString typedMobile =
        mobileField >= 0 ? m_send->value(mobileField).toString() : QString();
    const QString mobile = typedMobile.trimmed();
    const QString problem = mobileNumberProblem(mobile);
    if (!problem.isEmpty()) {
        prompt().message(problem);
        m_ui->mobileEdit->setFocus();
        return false;
    }
    bool saved = false;
    QString reason;
    try {
        if (!m_send->isActive())
            m_send->open();
        m_send->edit();
        m_send->updateRecord();
        if (mobile != typedMobile)
            m_send->setValue(mobileField, mobile);
        m_send->post();
        saved = true;
    } catch (const std::exception& e) {
        reason = reasonOf(e);
    }
    // On failure the row stays in edit mode with the typed values.
    prompt().message(saved ? QStringLiteral("发件人信息已保存！")
                           : withReason(QStringLiteral("程序发生未知错误！"), reason));
    return saved;
}

bool SenderPage::mayLeave()
{
    if (!m_send)
        return true;
    m_send->updateRecord();
    if (!m_send->modified())
        return true;
    switch (prompt().saveDiscardCancel(QStringLiteral("发件人信息的改动尚未保存，要保存吗？"),
                                       QStringLiteral("发件人信息"))) {
    case Prompt::SaveChoice::Save:
        return saveSender();
    case Prompt::SaveChoice::Discard:
        // The edits show the row as it was saved.
        return guarded([this] { m_send->cancel(); });
    case Prompt::SaveChoice::Stay:
        break;
    }
    return false;
}
