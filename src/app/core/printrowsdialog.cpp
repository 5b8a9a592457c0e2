#include "printrowsdialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

PrintRowsDialog::PrintRowsDialog(const Prompt::RowsOffer& offer, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PrintRowsDialog"));
    setWindowTitle(QStringLiteral("打印范围"));
    auto radio = [this](const char* name, const QString& text) {
        auto* r = new QRadioButton(text, this);
        r->setObjectName(QString::fromLatin1(name));
        return r;
    };
    All_Rows_Radio = radio("All_Rows_Radio", QStringLiteral("全部行（%1 行）").arg(offer.rowCount));
    Selected_Rows_Radio =
        radio("Selected_Rows_Radio", QStringLiteral("选中的行（%1 行）").arg(offer.selectedCount));
    Unprinted_Rows_Radio = radio("Unprinted_Rows_Radio",
                                 QStringLiteral("未打印的行（%1 行）").arg(offer.unprintedCount));
    Range_Rows_Radio = radio("Range_Rows_Radio", QStringLiteral("行号范围："));
    Rows_Range_Edit = new QLineEdit(this);
    Rows_Range_Edit->setObjectName(QStringLiteral("Rows_Range_Edit"));
    Rows_Range_Edit->setPlaceholderText(QStringLiteral("例如 1-20,25"));
    Selected_Rows_Radio->setEnabled(offer.selectedCount > 0);
    Unprinted_Rows_Radio->setEnabled(offer.unprintedCount > 0);
    Range_Rows_Radio->setEnabled(offer.rowCount > 0);
    Rows_Range_Edit->setEnabled(false);
    All_Rows_Radio->setChecked(true);
    connect(Range_Rows_Radio, &QRadioButton::toggled, Rows_Range_Edit, &QLineEdit::setEnabled);
    // Typing a range chooses it.
    connect(Rows_Range_Edit, &QLineEdit::textEdited, Range_Rows_Radio,
            [this] { Range_Rows_Radio->setChecked(true); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* range = new QHBoxLayout;
    range->addWidget(Range_Rows_Radio);
    range->addWidget(Rows_Range_Edit, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(All_Rows_Radio);
    layout->addWidget(Selected_Rows_Radio);
    layout->addWidget(Unprinted_Rows_Radio);
    layout->addLayout(range);
    layout->addWidget(buttons);
}

Prompt::RowsChoice PrintRowsDialog::choice() const
{
    Prompt::RowsChoice c;
    if (Selected_Rows_Radio->isChecked())
        c.kind = Prompt::RowsChoice::Kind::Selected;
    else if (Unprinted_Rows_Radio->isChecked())
        c.kind = Prompt::RowsChoice::Kind::Unprinted;
    else if (Range_Rows_Radio->isChecked()) {
        c.kind = Prompt::RowsChoice::Kind::Range;
        c.range = Rows_Range_Edit->text();
    }
    return c;
}
