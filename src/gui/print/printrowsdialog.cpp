#include "gui/print/printrowsdialog.h"

#include "ui_printrowsdialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QRadioButton>

namespace
{

// Puts the count into the form's "…（%1 行）" caption.
void showCount(QRadioButton* radio, int count)
{
    radio->setText(radio->text().arg(count));
}

} // namespace

PrintRowsDialog::PrintRowsDialog(const PrintPrompt::RowsOffer& offer, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::PrintRowsDialog>())
{
    m_ui->setupUi(this);
    showCount(m_ui->allRowsRadio, offer.rowCount);
    showCount(m_ui->selectedRowsRadio, offer.selectedCount);
    showCount(m_ui->unprintedRowsRadio, offer.unprintedCount);
    m_ui->selectedRowsRadio->setEnabled(offer.selectedCount > 0);
    m_ui->unprintedRowsRadio->setEnabled(offer.unprintedCount > 0);
    m_ui->rangeRowsRadio->setEnabled(offer.rowCount > 0);
    using Kind = PrintPrompt::RowsChoice::Kind;
    if (offer.initial == Kind::Selected && offer.selectedCount > 0)
        m_ui->selectedRowsRadio->setChecked(true);
    else if (offer.initial == Kind::Unprinted && offer.unprintedCount > 0)
        m_ui->unprintedRowsRadio->setChecked(true);

    connect(m_ui->rangeRowsRadio, &QRadioButton::toggled, m_ui->rangeEdit, &QLineEdit::setEnabled);
    connect(m_ui->rangeEdit, &QLineEdit::textEdited, this, &PrintRowsDialog::chooseRange);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

PrintRowsDialog::~PrintRowsDialog() = default;

void PrintRowsDialog::chooseRange()
{
    m_ui->rangeRowsRadio->setChecked(true);
}

PrintPrompt::RowsChoice PrintRowsDialog::choice() const
{
    PrintPrompt::RowsChoice c;
    if (m_ui->selectedRowsRadio->isChecked())
        c.kind = PrintPrompt::RowsChoice::Kind::Selected;
    else if (m_ui->unprintedRowsRadio->isChecked())
        c.kind = PrintPrompt::RowsChoice::Kind::Unprinted;
    else if (m_ui->rangeRowsRadio->isChecked()) {
        c.kind = PrintPrompt::RowsChoice::Kind::Range;
        c.range = m_ui->rangeEdit->text();
    }
    return c;
}
