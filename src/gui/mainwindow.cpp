#include "gui/mainwindow.h"
#include "ui_mainwindow.h"

#include "gui/centre.h"

#include "base/appmessages.h"
#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "data/headerguard.h"
#include "gui/book/recipientpage.h"
#include "gui/book/senderpage.h"
#include "gui/excel/excelactions.h"
#include "gui/excel/importmappingdialog.h"
#include "gui/helppage.h"
#include "gui/print/previewwindow.h"
#include "gui/print/printactions.h"
#include "gui/shop/shopactions.h"
#include "gui/shop/shopsettingsdialog.h"
#include "gui/templates/designpage.h"
#include "gui/templates/designsurface.h"
#include "gui/templates/fieldselectiondialog.h"
#include "gui/templates/pagesetupdialog.h"
#include "gui/waybill/waybilldialog.h"
#include "print/printerchoice.h"
#include "print/printerpaper.h"
#include "print/printerstore.h"
#include "templates/pagesize.h"
#include "templates/templatemessages.h"
#include "templates/templatestore.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>

MainWindow::MainWindow(DataModule* dm, Session* session, SenderDraft* senderDraft, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::MainWindow>()), m_dm(dm), m_session(session)
{
    m_ui->setupUi(this);
    // Which database is open, when there is more than one to choose from.
    if (m_session && !m_session->databaseFile.isEmpty())
        setWindowTitle(QStringLiteral("%1 - %2").arg(windowTitle(), m_session->databaseFile));
    else if (m_session && !m_session->databaseServer.isEmpty())
        setWindowTitle(QStringLiteral("%1 - %2").arg(windowTitle(), m_session->databaseServer));
    addStatusPanels();

    m_ui->designPage->bindData(dm, session, senderDraft);
    m_ui->recipientPage->bindData(dm, session);
    m_ui->senderPage->bindData(senderDraft);

    connectToolBar();
    connectPages();
    createDialogs();
    connect(dm, &DataModule::othersChanged, this, &MainWindow::followOtherStations);
    connect(dm, &DataModule::serverLost, this, &MainWindow::showServerState);
    connect(dm, &DataModule::serverBack, this, [this] { showServerState(QString()); });
}

void MainWindow::followOtherStations(const QStringList& tables)
{
    const auto any = [&tables](std::initializer_list<const char*> names) {
        for (const char* name : names)
            if (tables.contains(QLatin1String(name)))
                return true;
        return false;
    };
    if (any({"exp_att_info"}))
        m_ui->recipientPage->refreshClaims();
    if (any({"order_ship"}))
        m_ui->recipientPage->refreshShipStates();
    if (any({"exp_model", "model_picture", "model_carrier", "model_field_fit", "model_label",
             "model_print_font", "model_field_font"}))
        designPage()->followSavedTemplates();
}

void MainWindow::showServerState(const QString& lostReason)
{
    if (lostReason.isEmpty()) {
        m_serverPanel->clear();
        m_serverPanel->setToolTip(QString());
        m_serverPanel->hide();
        return;
    }
    m_serverPanel->setText(QStringLiteral("与数据库服务器的连接已断开，正在重新连接……"));
    m_serverPanel->setToolTip(lostReason);
    m_serverPanel->show();
}

void MainWindow::addStatusPanels()
{
    QStatusBar* bar = m_ui->statusBar;
    const int widths[4] = {260, 80, 230, 50};
    const char* names[4] = {"versionPanel", "printerPanel", "templatePanel", "supportPanel"};
    for (int i = 0; i < 4; ++i) {
        m_statusPanels[i] = new QLabel(bar);
        m_statusPanels[i]->setObjectName(QString::fromLatin1(names[i]));
        m_statusPanels[i]->setFixedWidth(widths[i]);
        bar->addWidget(m_statusPanels[i]);
    }
    m_selectedFieldPanel = new QLabel(bar);
    m_selectedFieldPanel->setObjectName(QStringLiteral("selectedFieldPanel"));
    bar->addWidget(m_selectedFieldPanel, 1);
    m_serverPanel = new QLabel(bar);
    m_serverPanel->setObjectName(QStringLiteral("serverPanel"));
    m_serverPanel->hide();
    bar->addWidget(m_serverPanel);
    // config.ini's problems of this run, each on one line; all of it in
    // the tooltip.
    if (m_session && !m_session->configProblems.isEmpty()) {
        auto* problems = new QLabel(bar);
        problems->setObjectName(QStringLiteral("configProblemPanel"));
        problems->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        QStringList lines;
        for (const QString& problem : std::as_const(m_session->configProblems))
            lines << QString(problem).replace(QLatin1Char('\n'), QLatin1Char(' '));
        problems->setText(lines.join(QStringLiteral("；")));
        problems->setToolTip(m_session->configProblems.join(QStringLiteral("\n")));
        bar->addWidget(problems, 2);
    }
    m_statusPanels[0]->setText(
        QStringLiteral("Qorda邮单打印软件Waylark %1").arg(QStringLiteral(WAYLARK_VERSION)));
    m_statusPanels[3]->setText(QStringLiteral("技术支持"));
    m_statusPanels[3]->setToolTip(QStringLiteral("技术支持：请见帮助页"));
    showCurrentTemplate(QString());
}

void MainWindow::connectToolBar()
{
    connect(m_ui->designTabButton, &QToolButton::clicked, this, &MainWindow::showDesignTab);
    connect(m_ui->recipientsTabButton, &QToolButton::clicked, this, &MainWindow::showRecipientsTab);
    connect(m_ui->senderTabButton, &QToolButton::clicked, this, &MainWindow::showSenderTab);
    connect(m_ui->helpButton, &QToolButton::clicked, this, &MainWindow::openHelp);
    connect(m_ui->exitButton, &QToolButton::clicked, this, &MainWindow::exitProgram);
    connect(m_ui->singlePrintButton, &QToolButton::clicked, this, &MainWindow::showSinglePrintHint);
    connect(m_ui->batchPrintButton, &QToolButton::clicked, this,
            &MainWindow::showRecipientsAndPrint);
    connect(m_ui->fontButton, &QToolButton::clicked, this, &MainWindow::chooseFont);
    QToolButton* printerButton = m_ui->printerButton;
    connect(printerButton, &QToolButton::clicked, this, &MainWindow::setUpPrinter);
    // The printer menu: the button itself opens the printer setup as before.
    auto* printerMenu = new QMenu(printerButton);
    printerMenu->setObjectName(QStringLiteral("printerMenu"));
    QAction* calibrate = printerMenu->addAction(QStringLiteral("打印机校准"));
    calibrate->setObjectName(QStringLiteral("calibrateAction"));
    connect(calibrate, &QAction::triggered, this, [this] {
        PrintActions::showCalibration(
            m_dm, *m_session, designPage()->surface(),
            [this](QPrinter* printer) { return preparePrinter(printer); }, this);
    });
    printerButton->setMenu(printerMenu);
    printerButton->setPopupMode(QToolButton::MenuButtonPopup);
}

void MainWindow::connectPages()
{
    m_shownTab = m_ui->tabs->currentIndex();
    connect(m_ui->tabs, &QTabWidget::currentChanged, this, &MainWindow::followTab);

    DesignPage* design = m_ui->designPage;
    connect(design, &DesignPage::currentTemplatePanel, this, &MainWindow::showCurrentTemplate);
    connect(design, &DesignPage::selectedFieldPanel, this, &MainWindow::showSelectedField);
    connect(design, &DesignPage::pageSetupRequested, this, &MainWindow::editPageSetup);
    connect(design, &DesignPage::fieldSelectionRequested, this, &MainWindow::chooseFields);
    connect(design, &DesignPage::previewRequested, this, &MainWindow::showPreview);

    RecipientPage* recipients = m_ui->recipientPage;
    connect(recipients, &RecipientPage::printAllRequested, this, &MainWindow::printRecipients);
    connect(recipients, &RecipientPage::printLogRequested, this, [this] {
        PrintActions::showPrintLog(
            m_dm, *m_session, designPage()->surface(),
            [this](QPrinter* printer) { return preparePrinter(printer); }, this);
    });
    connect(recipients, &RecipientPage::importRequested, this,
            [this] { m_importDialog->chooseFileAndOpen(); });
    connect(recipients, &RecipientPage::exportRequested, this,
            [this] { ExcelActions::exportRecipients(m_dm); });
    connect(recipients, &RecipientPage::shopSettingsRequested, this,
            [this] { m_shopDialog->exec(); });
    connect(recipients, &RecipientPage::downloadOrdersRequested, this,
            [this] { ShopActions::downloadOrders(m_dm, *m_session); });
    connect(recipients, &RecipientPage::shipWaybillsRequested, this, [this] {
        ShopActions::shipWaybills(m_dm, *m_session);
        m_ui->recipientPage->refreshShipStates();
    });
    connect(recipients, &RecipientPage::waybillNumbersRequested, this,
            [this] { m_waybillDialog->exec(); });
    connect(recipients, &RecipientPage::previewRequested, this, &MainWindow::previewCurrentRow);
}

DesignPage* MainWindow::designPage() const
{
    return m_ui->designPage;
}

MainWindow::~MainWindow() = default;

void MainWindow::createDialogs()
{
    m_preview = new PreviewWindow(m_dm, m_session, designPage()->surface(), this,
                                  [this](QPrinter* printer) { return preparePrinter(printer); });
    m_pageSetup = new PageSetupDialog(designPage(), this);
    m_pageSetup->setPrinterSource(&PrinterStore::printer);
    m_importDialog = new ImportMappingDialog(m_dm, m_session, this);
    m_fieldSelection =
        new FieldSelectionDialog(m_dm, designPage()->surface(), m_session->helpDir, this);
    m_waybillDialog = new WaybillDialog(m_dm, m_session, this);
    m_shopDialog = new ShopSettingsDialog(m_dm, this, m_session->appDir);
}

void MainWindow::showCurrentTemplate(const QString& templateName)
{
    m_statusPanels[2]->setText(QStringLiteral("当前模板：") + templateName);
    // Each template prints on the printer last chosen for it.
    if (!templateName.isEmpty() && templateName != m_printerTemplate) {
        m_printerTemplate = templateName;
        // The narrow second panel shows the start; the whole text is its tooltip.
        const QString message =
            PrinterChoice::restore(m_session->appDir, templateName, PrinterStore::printer());
        m_statusPanels[1]->setText(message);
        m_statusPanels[1]->setToolTip(message);
    }
}

void MainWindow::showSelectedField(const QString& text)
{
    m_selectedFieldPanel->setText(text);
    // The status bar does not ask for room of its own: it is given the width
    // its panels need, so the window widens rather than cut the readout.
    QLayout* box = m_ui->statusBar->layout();
    for (int i = 0; i < box->count(); ++i)
        if (QLayout* row = box->itemAt(i)->layout())
            row->invalidate(); // the panels' row keeps the old text's width else
    m_ui->statusBar->setMinimumWidth(box->minimumSize().width());
}

QString MainWindow::statusPanelText(int index) const
{
    return index >= 0 && index < 4 ? m_statusPanels[index]->text() : QString();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        openDefaultTemplate();
    }
}

void MainWindow::openDefaultTemplate()
{
    centreOnScreen(this);
    DesignPage* design = m_ui->designPage;
    design->fillTemplateList();
    m_ui->recipientPage->fillProvinces();

    m_session->currentTemplate = ConfigIni::read(m_session->appDir, ConfigIni::DefaultModel);
    showCurrentTemplate(m_session->currentTemplate);
    // A template that cannot be laid out leaves no item selected.
    if (design->layOutTemplate(m_session->currentTemplate)) {
        m_session->currentTemplateRow = m_dm->templates->bookmark();
        design->selectCurrentTemplate();
    } else {
        design->clearTemplateSelection();
    }
}

void MainWindow::showDesignTab()
{
    m_ui->tabs->setCurrentIndex(0);
}

void MainWindow::showRecipientsTab()
{
    m_ui->tabs->setCurrentIndex(1);
}

void MainWindow::showSenderTab()
{
    m_ui->tabs->setCurrentIndex(2);
}

void MainWindow::editPageSetup()
{
    m_pageSetup->setCalibrationAction([this] {
        PrintActions::showCalibration(
            m_dm, *m_session, designPage()->surface(),
            [this](QPrinter* printer) { return preparePrinter(printer); }, m_pageSetup);
    });
    m_pageSetup->Execute();
}

void MainWindow::chooseFields()
{
    m_fieldSelection->exec();
}

void MainWindow::showPreview()
{
    m_preview->exec();
}

void MainWindow::followTab(int index)
{
    const int sender = m_ui->tabs->indexOf(m_ui->senderPage);
    if (!m_closed && m_shownTab == sender && index != sender && !m_ui->senderPage->mayLeave()) {
        m_ui->tabs->setCurrentIndex(sender);
        return;
    }
    m_shownTab = index;
}

void MainWindow::showSinglePrintHint()
{
    m_ui->tabs->setCurrentIndex(0);
    if (m_ui->tabs->currentIndex() != 0)
        return; // the user stayed on the sender tab
    prompt().message(
        QStringLiteral("设置好模板，在屏幕上填写关键信息，点击打印预览即可打印单页！"));
}

void MainWindow::showRecipientsAndPrint()
{
    m_ui->tabs->setCurrentIndex(1);
    if (m_ui->tabs->currentIndex() != 1)
        return; // the user stayed on the sender tab
    printRecipients();
}

void MainWindow::printRecipients()
{
    PrintActions::printBatch(
        m_dm, *m_session, designPage()->surface(),
        [this](QPrinter* printer) { return preparePrinter(printer); },
        m_ui->recipientPage->selectedRows(), m_ui->recipientPage->showsUnprintedOnly());
}

void MainWindow::chooseFont()
{
    PrintActions::choosePrintFont(*m_session, m_dm);
    designPage()->surface()->showTemplatePrintFont(); // tall and fitted fields show it
}

void MainWindow::setUpPrinter()
{
    PrintActions::choosePrinter(*m_session);
}

void MainWindow::previewCurrentRow()
{
    m_preview->exec();
}

bool MainWindow::preparePrinter(QPrinter* printer)
{
    if (!TemplateStore::findRow(m_dm->templates, m_session->currentTemplateRow,
                                m_session->currentTemplate)) {
        prompt().message(TemplateMessages::noCurrentTemplate());
        return false;
    }
    if (!::applyTemplatePaper(m_dm->templates, m_session->currentTemplateRow,
                              m_session->currentTemplate, printer)) {
        prompt().message(QStringLiteral("当前模板的纸张大小无效，请在页面设置中修改！"));
        return false;
    }
    PrinterStore::usePageCorner(printer);
    return true;
}

void MainWindow::openHelp()
{
    HelpPage::open(m_session->helpDir);
}

void MainWindow::closeDatabase()
{
    if (m_closed)
        return;
    m_closed = true;
    m_dm->closeDatabase();
    // A server has no header to seal.
    if (!m_session->databaseFile.isEmpty() &&
        sealHeader(m_session->databaseFile) == HeaderGuard::Result::Missing)
        prompt().message(QString::fromUtf8(AppMessages::DatabaseMissing));
}

bool MainWindow::mayLeave()
{
    if (m_closed)
        return true;
    if (m_ui->tabs->currentWidget() == m_ui->senderPage && !m_ui->senderPage->mayLeave())
        return false;
    if (!m_ui->designPage->hasUnsavedChanges())
        return true;
    switch (prompt().saveDiscardCancel(QStringLiteral("模板设计中的改动尚未保存，退出前要保存吗？"),
                                       QStringLiteral("退出"))) {
    case Prompt::SaveChoice::Save:
        m_ui->tabs->setCurrentIndex(0);
        return m_ui->designPage->saveTemplate();
    case Prompt::SaveChoice::Discard:
        return true;
    case Prompt::SaveChoice::Stay:
        break;
    }
    return false;
}

void MainWindow::exitProgram()
{
    if (!mayLeave())
        return;
    closeDatabase();
    m_closed = true;
    hide();
    Q_EMIT exitRequested();
    QCoreApplication::quit();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!mayLeave()) {
        event->ignore();
        return;
    }
    closeDatabase();
    event->accept();
    Q_EMIT exitRequested();
}
