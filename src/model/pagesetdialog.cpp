#include "pagesetdialog.h"

#include "centre.h"
#include "datamodule.h"
#include "designpage.h"
#include "guarded.h"
#include "pagesize.h"
#include "prompt.h"
#include "session.h"
#include "spinedit.h"
#include "templatemessages.h"
#include "templatestore.h"
#include "ui_pagesetdialog.h"

#include <QPushButton>

TFm_Page_Set::TFm_Page_Set(DesignPage* page, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::PageSetupDialog>()), m_page(page)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    m_ui->setupUi(this);

    connect(m_ui->okButton, &QPushButton::clicked, this, &TFm_Page_Set::applyPageValues);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject); // Esc as well

}

TFm_Page_Set::~TFm_Page_Set() = default;

bool TFm_Page_Set::findCurrentModel()
{
    bool found = false;
    guarded([&] {
        Dataset* tb = m_page->dataModule()->TB_Model;
        if (!tb->isActive())
            tb->open();
        found = TemplateStore::findRow(tb, m_page->session()->currentModelRow,
                                       m_page->session()->currentModel);
    });
    return found;
}

int TFm_Page_Set::Execute()
{
    if (!findCurrentModel()) {
        prompt().message(TemplateMessages::noCurrentTemplate());
        return QDialog::Rejected;
    }
    return exec();
}

void TFm_Page_Set::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    loadCurrentTemplate();
}

bool TFm_Page_Set::loadCurrentTemplate()
{
    centreOnScreen(this);
    for (SpinEdit* e :
         {m_ui->widthEdit, m_ui->heightEdit, m_ui->leftOffsetEdit, m_ui->topOffsetEdit})
        e->setText(QString());
    if (!findCurrentModel())
        return false;
    return guarded([&] {
        Dataset* tb = m_page->dataModule()->TB_Model;
        m_ui->widthEdit->setText(tb->FieldByName(TemplateStore::Column::PaperWidth).AsString());
        m_ui->heightEdit->setText(tb->FieldByName(TemplateStore::Column::PaperHeight).AsString());
        m_ui->leftOffsetEdit->setValue(tb->FieldByName(TemplateStore::Column::OffsetX).AsInteger());
        m_ui->topOffsetEdit->setValue(tb->FieldByName(TemplateStore::Column::OffsetY).AsInteger());
    });
}

void TFm_Page_Set::applyPageValues()
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
    const bool stored = guarded([&] {
        Dataset* tb = m_page->dataModule()->TB_Model;
        tb->edit();
        try {
            tb->FieldByName(TemplateStore::Column::PaperWidth).setAsInteger(v->width);
            tb->FieldByName(TemplateStore::Column::PaperHeight).setAsInteger(v->height);
            tb->FieldByName(TemplateStore::Column::OffsetX).setAsInteger(v->leftX);
            tb->FieldByName(TemplateStore::Column::OffsetY).setAsInteger(v->topY);
            tb->post();
        } catch (...) {
            tb->cancel();
            throw;
        }
    });
    if (!stored)
        return;
    // Only confirmed, stored values take effect.
    Session& session = *m_page->session();
    session.screenOffsetX = v->leftX;
    session.screenOffsetY = v->topY;
    m_page->layOutCurrentModel();
    Q_EMIT m_page->currentModelPanel(session.currentModel);
    if (m_printerSource)
        applyPaperSize(m_printerSource(), v->width, v->height);
    accept();
}

void TFm_Page_Set::setCalibrationAction(std::function<void()> action)
{
    disconnect(m_ui->calibrateButton, &QPushButton::clicked, nullptr, nullptr);
    const bool on = bool(action);
    if (on)
        connect(m_ui->calibrateButton, &QPushButton::clicked, this, std::move(action));
    m_ui->calibrateButton->setVisible(on);
}
