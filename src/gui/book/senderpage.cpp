#include "gui/book/senderpage.h"
#include "ui_senderpage.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "book/contactnumbers.h"
#include "book/senderdraft.h"
#include "gui/landlinevalidator.h"

#include <QPushButton>

namespace
{

const QString kMobile = QStringLiteral("Mobile");

} // namespace

SenderPage::SenderPage(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::SenderPage>())
{
    m_ui->setupUi(this);
    m_ui->phoneEdit->setValidator(new LandlineValidator(m_ui->phoneEdit));
    connect(m_ui->saveButton, &QPushButton::clicked, this, &SenderPage::saveSender);
    const std::pair<QLineEdit*, const char*> columns[] = {
        {m_ui->nameEdit, "Name"},         {m_ui->companyEdit, "Company"},
        {m_ui->addressEdit, "Address"},   {m_ui->mobileEdit, "Mobile"},
        {m_ui->phoneEdit, "Phone"},       {m_ui->contentsEdit, "Contents"},
        {m_ui->postCodeEdit, "PostCode"}, {m_ui->provinceEdit, "Prvince"},
        {m_ui->cityEdit, "City"},         {m_ui->countyEdit, "Country"}};
    for (const auto& [edit, column] : columns) {
        edit->setProperty("column", QString::fromLatin1(column));
        connect(edit, &QLineEdit::textEdited, this, [this, edit = edit](const QString& text) {
            if (m_draft)
                m_draft->setValue(edit->property("column").toString(), text);
        });
    }
}

SenderPage::~SenderPage() = default;

void SenderPage::bindData(SenderDraft* draft)
{
    if (m_draft)
        disconnect(m_draft, nullptr, this, nullptr);
    m_draft = draft;
    connect(draft, &SenderDraft::changed, this, &SenderPage::showValue);
    showValue(QString());
}

void SenderPage::showValue(const QString& column)
{
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        const QString own = edit->property("column").toString();
        if (own.isEmpty() || (!column.isEmpty() && own != column))
            continue;
        const QString value = m_draft->value(own);
        // The edit being typed into already shows it, cursor and all.
        if (edit->text() != value) {
            edit->setText(value);
            edit->setCursorPosition(0);
        }
    }
}

bool SenderPage::saveSender()
{
    if (!m_draft || !m_draft->isModified())
        return true;
    const QString mobile = m_draft->value(kMobile).trimmed();
    const QString problem = mobileNumberProblem(mobile);
    if (!problem.isEmpty()) {
        prompt().message(problem);
        m_ui->mobileEdit->setFocus();
        return false;
    }
    bool saved = false;
    QString reason;
    try {
        m_draft->setValue(kMobile, mobile);
        m_draft->save();
        saved = true;
    } catch (const std::exception& e) {
        reason = reasonOf(e);
    }
    // On failure the edits keep the typed values.
    prompt().message(saved ? QStringLiteral("发件人信息已保存！")
                           : withReason(QStringLiteral("程序发生未知错误！"), reason));
    return saved;
}

bool SenderPage::mayLeave()
{
    if (!m_draft || !m_draft->isModified())
        return true;
    switch (prompt().saveDiscardCancel(QStringLiteral("发件人信息的改动尚未保存，要保存吗？"),
                                       QStringLiteral("发件人信息"))) {
    case Prompt::SaveChoice::Save:
        return saveSender();
    case Prompt::SaveChoice::Discard:
        // The edits show the row as it was saved.
        m_draft->cancel();
        return true;
    case Prompt::SaveChoice::Stay:
        break;
    }
    return false;
}
