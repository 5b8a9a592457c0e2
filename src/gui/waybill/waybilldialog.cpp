#include "gui/waybill/waybilldialog.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "data/datamodule.h"
#include "gui/centre.h"
#include "gui/maskedtext.h"
#include "templates/templatestore.h"
#include "ui_waybilldialog.h"
#include "waybill/carrier.h"
#include "waybill/carrierstore.h"
#include "waybill/waybillwriter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>

WaybillDialog::WaybillDialog(DataModule* dm, const Session* session, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::WaybillDialog>()), m_dm(dm), m_session(session)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    // The form's masks write 0 for an optional digit where the program's
    // masks write 9. No default button: Enter in a box must not number the
    // whole table.
    m_ui->setupUi(this);
    keepCursorInTypedPart(m_ui->startNumberEdit);
    m_ui->generateButton->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    m_ui->cancelButton->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));

    connect(m_ui->affixCheck, &QCheckBox::clicked, this, &WaybillDialog::enableAffixes);
    connect(m_ui->templateCombo, &QComboBox::currentIndexChanged, this,
            &WaybillDialog::showCarrierRule);
    // The plain rule's proposal counts with the increment in the box.
    connect(m_ui->stepEdit, &QLineEdit::textEdited, this, [this] { proposeStart(false); });
    connect(m_ui->generateButton, &QPushButton::clicked, this, &WaybillDialog::generateNumbers);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject); // Esc as well

    enableAffixes();
}

WaybillDialog::~WaybillDialog() = default;

void WaybillDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Not when the window system shows it again (after minimising).
    if (!event->spontaneous())
        listTemplates();
}

void WaybillDialog::keyPressEvent(QKeyEvent* event)
{
    // Enter moves on to the next box, as Tab does.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        focusNextChild();
        return;
    }
    QDialog::keyPressEvent(event);
}

void WaybillDialog::listTemplates()
{
    centreOnScreen(this);
    m_ui->templateCombo->clear();
    guarded([&] {
        Dataset* model = m_dm->templates;
        if (!model->isActive())
            model->open();
        // The template cursor stays where the layout left it: printing
        // reads the current template's row.
        m_ui->templateCombo->addItems(TemplateStore::modelNames(model));
    });
    int chosen = -1;
    for (int i = 0; i < m_ui->templateCombo->count() && chosen < 0; ++i) {
        if (m_ui->templateCombo->itemText(i).compare(m_session->currentTemplate,
                                                     Qt::CaseInsensitive) == 0)
            chosen = i;
    }
    m_ui->templateCombo->setCurrentIndex(chosen);
    enableAffixes();
}

void WaybillDialog::enableAffixes()
{
    const bool on = m_ui->affixCheck->isChecked();
    for (QWidget* w :
         {static_cast<QWidget*>(m_ui->prefixEdit), static_cast<QWidget*>(m_ui->suffixEdit),
          static_cast<QWidget*>(m_ui->prefixLabel), static_cast<QWidget*>(m_ui->suffixLabel)})
        w->setEnabled(on);
    if (!on) {
        m_ui->prefixEdit->clear();
        m_ui->suffixEdit->clear();
    }
}

void WaybillDialog::showCarrierRule()
{
    const QString name = m_ui->templateCombo->currentText();
    bool usesStep = true;
    QString rule;
    if (m_ui->templateCombo->currentIndex() >= 0) {
        CarrierStore::StoredCarrier stored;
        guarded([&] { stored = CarrierStore::load(m_dm->database(), name); });
        const Carrier& carrier = Carriers::forTemplate(name, stored.code);
        rule = Carriers::ruleText(carrier);
        usesStep = ruleUsesIncrement(carrier.rule);
    }
    m_ui->ruleLabel->setText(rule);
    m_ui->stepEdit->setEnabled(usesStep);
    m_ui->stepLabel->setEnabled(usesStep);
    proposeStart(false);
}

void WaybillDialog::proposeStart(bool always)
{
    const QString typed = typedText(m_ui->startNumberEdit);
    if (!always && !typed.isEmpty() && typed != m_proposed)
        return;
    QString next;
    const QString name = m_ui->templateCombo->currentText();
    if (m_ui->templateCombo->currentIndex() >= 0) {
        CarrierStore::StoredCarrier stored;
        guarded([&] { stored = CarrierStore::load(m_dm->database(), name); });
        const QString step = typedText(m_ui->stepEdit);
        const int increment = stepProblem(step).isEmpty() ? step.toInt() : 1;
        if (!stored.lastNumber.isEmpty())
            next = nextStartAfter(Carriers::forTemplate(name, stored.code).rule, stored.lastNumber,
                                  increment);
    }
    // A number longer than the box would be cut short.
    if (next.size() > m_ui->startNumberEdit->maxLength())
        next.clear();
    m_ui->startNumberEdit->setText(next);
    m_proposed = next;
}

void WaybillDialog::generateNumbers()
{
    const WaybillRequest request{
        m_ui->templateCombo->currentText(), maskedText(m_ui->startNumberEdit),
        maskedText(m_ui->stepEdit),         m_ui->affixCheck->isChecked(),
        m_ui->prefixEdit->text(),           m_ui->suffixEdit->text()};
    WaybillPlan plan;
    if (!guarded([&] { plan = numberRecipients(m_dm->recipients, request); }))
        return;
    if (!plan.ok) {
        prompt().message(plan.message);
        return;
    }
    prompt().message(waybillDoneText(plan.skipped));
    proposeStart(true);
    accept();
}
