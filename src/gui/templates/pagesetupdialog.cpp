#include "gui/templates/pagesetupdialog.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "data/datamodule.h"
#include "gui/centre.h"
#include "gui/templates/designpage.h"
#include "gui/templates/spinedit.h"
#include "print/printerpaper.h"
#include "templates/pagesize.h"
#include "templates/templatedocument.h"
#include "templates/templatemessages.h"
#include "templates/templaterows.h"
#include "templates/templatestore.h"
#include "ui_pagesetupdialog.h"
#include "waybill/carrier.h"
#include "waybill/carrierstore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

PageSetupDialog::PageSetupDialog(DesignPage* page, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::PageSetupDialog>()), m_page(page)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    m_ui->setupUi(this);
    for (const Carrier& c : Carriers::all())
        m_ui->carrierCombo->addItem(c.name, c.code);

    connect(m_ui->okButton, &QPushButton::clicked, this, &PageSetupDialog::applyPageValues);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject); // Esc as well
}

PageSetupDialog::~PageSetupDialog() = default;

bool PageSetupDialog::findCurrentModel()
{
    bool found = false;
    guarded([&] {
        Dataset* tb = m_page->dataModule()->templates;
        if (!tb->isActive())
            tb->open();
        found = TemplateStore::findRow(tb, m_page->session()->currentTemplateRow,
                                       m_page->session()->currentTemplate);
    });
    return found;
}

int PageSetupDialog::Execute()
{
    if (!findCurrentModel()) {
        prompt().message(TemplateMessages::noCurrentTemplate());
        return QDialog::Rejected;
    }
    return exec();
}

void PageSetupDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    loadCurrentTemplate();
}

bool PageSetupDialog::loadCurrentTemplate()
{
    centreOnScreen(this);
    for (SpinEdit* e :
         {m_ui->widthEdit, m_ui->heightEdit, m_ui->leftOffsetEdit, m_ui->topOffsetEdit})
        e->setText(QString());
    m_ui->carrierCombo->setCurrentIndex(-1);
    m_ui->printPictureCheck->setChecked(false);
    m_shownCarrier.clear();
    if (!findCurrentModel())
        return false;
    return guarded([&] {
        Dataset* tb = m_page->dataModule()->templates;
        // The template on the design surface is the one edited; another
        // (the surface holds a new template) is read from its row.
        const TemplateLayout& shown = m_page->document()->layout();
        const TemplateLayout t =
            shown.row == tb->bookmark() ? shown : TemplateRows(tb).loadCurrent();
        const QString name = tb->fieldByName(TemplateStore::Column::Name).asString();
        m_ui->widthEdit->setText(QString::number(t.paper.width()));
        m_ui->heightEdit->setText(QString::number(t.paper.height()));
        m_ui->leftOffsetEdit->setValue(t.offset.x());
        m_ui->topOffsetEdit->setValue(t.offset.y());
        const CarrierStore::StoredCarrier stored =
            CarrierStore::load(m_page->dataModule()->database(), name);
        m_shownCarrier = Carriers::forTemplate(name, stored.code).code;
        m_ui->carrierCombo->setCurrentIndex(m_ui->carrierCombo->findData(m_shownCarrier));
        m_ui->printPictureCheck->setChecked(t.printsPicture);
    });
}

void PageSetupDialog::applyPageValues()
{
    if (!findCurrentModel()) {
        prompt().message(TemplateMessages::noCurrentTemplate());
        return;
    }
    QString problem;
    const std::optional<PageValues> v =
        parsePageValues(m_ui->widthEdit->text(), m_ui->heightEdit->text(),
                        m_ui->leftOffsetEdit->text(), m_ui->topOffsetEdit->text(), &problem);
    if (!v) {
        // The dialog stays open on the box to put right.
        prompt().message(problem);
        return;
    }
    qint64 row = -1;
    const bool printsPicture = m_ui->printPictureCheck->isChecked();
    const bool stored = guarded([&] {
        Dataset* tb = m_page->dataModule()->templates;
        row = tb->bookmark();
        TemplateRows(tb).setPage(row, *v, printsPicture);
        const QString carrier = m_ui->carrierCombo->currentData().toString();
        if (!carrier.isEmpty() && carrier != m_shownCarrier) {
            CarrierStore::setCode(m_page->dataModule()->database(),
                                  tb->fieldByName(TemplateStore::Column::Name).asString(), carrier);
            m_shownCarrier = carrier;
        }
    });
    if (!stored)
        return;
    // Only confirmed, stored values take effect: the fields move by the new
    // offsets, their unsaved changes kept.
    const Session& session = *m_page->session();
    TemplateDocument* document = m_page->document();
    if (document->layout().row == row)
        document->setStoredPage(QSize(v->width, v->height), QPoint(v->leftX, v->topY),
                                printsPicture);
    else
        m_page->layOutCurrentModel();
    Q_EMIT m_page->currentTemplatePanel(session.currentTemplate);
    if (m_printerSource)
        applyPaperSize(m_printerSource(), v->width, v->height);
    accept();
}

void PageSetupDialog::setCalibrationAction(std::function<void()> action)
{
    disconnect(m_ui->calibrateButton, &QPushButton::clicked, nullptr, nullptr);
    const bool on = bool(action);
    if (on)
        connect(m_ui->calibrateButton, &QPushButton::clicked, this, std::move(action));
    m_ui->calibrateButton->setVisible(on);
}
