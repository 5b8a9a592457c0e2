#include "gui/templates/fieldselectiondialog.h"

#include "data/datamodule.h"
#include "gui/centre.h"
#include "gui/helppage.h"
#include "gui/templates/designsurface.h"
#include "templates/fieldcatalogue.h"
#include "ui_fieldselectiondialog.h"

#include <QListWidget>
#include <QPushButton>
#include <algorithm>

FieldSelectionDialog::FieldSelectionDialog(DataModule* dm, DesignSurface* surface,
                                           const QString& appDir, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::FieldSelectionDialog>()), m_surface(surface),
      m_appDir(appDir), m_collator(QLocale(QLocale::Chinese, QLocale::China))
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    m_ui->setupUi(this);

    connect(m_ui->includeButton, &QPushButton::clicked, this,
            &FieldSelectionDialog::includeSelected);
    connect(m_ui->includeAllButton, &QPushButton::clicked, this, &FieldSelectionDialog::includeAll);
    connect(m_ui->excludeButton, &QPushButton::clicked, this,
            &FieldSelectionDialog::excludeSelected);
    connect(m_ui->excludeAllButton, &QPushButton::clicked, this, &FieldSelectionDialog::excludeAll);
    connect(m_ui->okButton, &QPushButton::clicked, this, &FieldSelectionDialog::showChosenFields);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->helpButton, &QPushButton::clicked, this,
            [this] { HelpPage::open(m_appDir, QStringLiteral("field-selection")); });

    listFieldCaptions(dm);
}

FieldSelectionDialog::~FieldSelectionDialog() = default;

void FieldSelectionDialog::listFieldCaptions(DataModule* dm)
{
    // Only the column names are wanted: the id parameters stay unset.
    for (Dataset* q : {dm->senderColumns, dm->recipientColumns}) {
        q->open();
        m_captions += q->fieldNames();
    }
    listFieldsAsShown();
}

void FieldSelectionDialog::listFieldsAsShown()
{
    m_ui->availableList->clear();
    m_ui->chosenList->clear();
    for (const QString& caption : std::as_const(m_captions)) {
        const FieldInfo* f = FieldCatalogue::byCaption(caption);
        const FieldControl* c = f ? m_surface->fieldControl(f->key) : nullptr;
        addItem(c && !c->isHidden() ? m_ui->chosenList : m_ui->availableList, caption);
    }
    updateButtons();
}

void FieldSelectionDialog::addItem(QListWidget* target, const QString& text)
{
    if (target != m_ui->availableList) {
        target->addItem(text);
        return;
    }
    // After any equal captions, so that the order is stable.
    int at = m_ui->availableList->count();
    for (int i = 0; i < m_ui->availableList->count(); ++i) {
        if (m_collator.compare(text, m_ui->availableList->item(i)->text()) < 0) {
            at = i;
            break;
        }
    }
    m_ui->availableList->insertItem(at, text);
}

void FieldSelectionDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    listFieldsAsShown();
    centreOnScreen(this);
}

int FieldSelectionDialog::firstSelectedRow(QListWidget* l) const
{
    for (int i = 0; i < l->count(); ++i)
        if (l->item(i)->isSelected())
            return i;
    return -1;
}

void FieldSelectionDialog::moveSelected(QListWidget* l, QListWidget* target)
{
    for (int i = l->count() - 1; i >= 0; --i) {
        if (l->item(i)->isSelected()) {
            addItem(target, l->item(i)->text());
            delete l->takeItem(i);
        }
    }
}

void FieldSelectionDialog::selectRowNear(QListWidget* l, int index)
{
    l->setFocus();
    if (index == -1)
        index = 0;
    else if (index > l->count() - 1)
        index = l->count() - 1;
    if (index >= 0 && index < l->count())
        l->item(index)->setSelected(true);
    updateButtons();
}

void FieldSelectionDialog::updateButtons()
{
    const bool srcEmpty = m_ui->availableList->count() == 0;
    const bool dstEmpty = m_ui->chosenList->count() == 0;
    m_ui->includeButton->setEnabled(!srcEmpty);
    m_ui->includeAllButton->setEnabled(!srcEmpty);
    m_ui->excludeButton->setEnabled(!dstEmpty);
    m_ui->excludeAllButton->setEnabled(!dstEmpty);
}

void FieldSelectionDialog::includeSelected()
{
    const int first = firstSelectedRow(m_ui->availableList);
    moveSelected(m_ui->availableList, m_ui->chosenList);
    selectRowNear(m_ui->availableList, first);
}

void FieldSelectionDialog::excludeSelected()
{
    const int first = firstSelectedRow(m_ui->chosenList);
    moveSelected(m_ui->chosenList, m_ui->availableList);
    selectRowNear(m_ui->chosenList, first);
}

void FieldSelectionDialog::includeAll()
{
    for (int i = 0; i < m_ui->availableList->count(); ++i)
        addItem(m_ui->chosenList, m_ui->availableList->item(i)->text());
    m_ui->availableList->clear();
    selectRowNear(m_ui->availableList, 0);
}

void FieldSelectionDialog::excludeAll()
{
    for (int i = 0; i < m_ui->chosenList->count(); ++i)
        addItem(m_ui->availableList, m_ui->chosenList->item(i)->text());
    m_ui->chosenList->clear();
    selectRowNear(m_ui->chosenList, 0);
}

void FieldSelectionDialog::showChosenFields()
{
    QStringList keys;
    for (int i = 0; i < m_ui->chosenList->count(); ++i)
        if (const FieldInfo* f = FieldCatalogue::byCaption(m_ui->chosenList->item(i)->text()))
            keys << f->key;
    m_surface->showOnlyFields(keys);
    accept();
}
