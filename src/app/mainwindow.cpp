#include "mainwindow.h"

#include "calibrationcommands.h"
#include "centre.h"

#include "configini.h"
#include "datamodule.h"
#include "designpage.h"
#include "designsurface.h"
#include "excelcommands.h"
#include "fieldselect.h"
#include "guarded.h"
#include "headerguard.h"
#include "pagesetdialog.h"
#include "pagesize.h"
#include "preview.h"
#include "printcommands.h"
#include "printerchoice.h"
#include "printerstore.h"
#include "prompt.h"
#include "recipientpage.h"
#include "runstate.h"
#include "senderpage.h"
#include "shopcommands.h"
#include "templatestore.h"
#include "waybillcommands.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QUrl>

TFM_Main* FM_Main = nullptr;

TFM_Main::TFM_Main(TDataModule1* dm, QWidget* parent) : QWidget(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("FM_Main"));
    setWindowTitle(QStringLiteral("Waylark"));
    // A fixed-size window with a close box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(935, 705);

    CoolBar1 = new QWidget(this);
    CoolBar1->setObjectName(QStringLiteral("CoolBar1"));
    CoolBar1->setGeometry(0, 0, 935, 49);
    int x = 2;
    auto tool = [&](const char* name, const char* caption) {
        auto* b = new QToolButton(CoolBar1);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(QString::fromUtf8(caption));
        b->setAutoRaise(true);
        b->setGeometry(x, 4, 81, 41);
        x += 81;
        return b;
    };
    Model_Set_Btn = tool("Model_Set_Btn", "模板设置");
    Att_Set_Btn = tool("Att_Set_Btn", "收件人管理");
    Send_Set_Btn = tool("Send_Set_Btn", "发件人设置");
    Sig_Prt_Btn = tool("Sig_Prt_Btn", "单页打印");
    Multi_Prt_Btn = tool("Multi_Prt_Btn", "批量打印");
    Font_Set_Btn = tool("Font_Set_Btn", "字体设置");
    Printer_Set_Btn = tool("Printer_Set_Btn", "打印机设置");
    Help_Btn = tool("Help_Btn", "帮助");
    App_Exit = tool("App_Exit", "退出");

    TabMain = new QTabWidget(this);
    TabMain->setObjectName(QStringLiteral("TabMain"));
    TabMain->setGeometry(16, 53, 905, 628);
    TabModel = new DesignPage;
    TabModel->setObjectName(QStringLiteral("TabModel"));
    TabSheet2 = new RecipientPage;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    TabSend = new SenderPage;
    TabSend->setObjectName(QStringLiteral("TabSend"));
    TabMain->addTab(TabModel, QStringLiteral("模板设计"));
    TabMain->addTab(TabSheet2, QStringLiteral("收件人管理"));
    TabMain->addTab(TabSend, QStringLiteral("发件人信息"));
    TabMain->setCurrentIndex(0);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, 685, 935, 20);
    const int widths[4] = {260, 80, 230, 50};
    for (int i = 0; i < 4; ++i) {
        StatusPanels[i] = new QLabel(StatusBar1);
        StatusPanels[i]->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
        StatusPanels[i]->setFixedWidth(widths[i]);
        StatusBar1->addWidget(StatusPanels[i]);
    }
    selectedFieldPanel = new QLabel(StatusBar1);
    selectedFieldPanel->setObjectName(QStringLiteral("selectedFieldPanel"));
    StatusBar1->addWidget(selectedFieldPanel, 1);
    StatusPanels[0]->setText(QStringLiteral("Qorda邮单打印软件Waylark V2.0Beta"));
    StatusPanels[3]->setText(QStringLiteral("技术支持"));
    StatusPanels[3]->setToolTip(QStringLiteral("技术支持：请见帮助页"));
    setCurrentModelPanel(QString());

    TabModel->bindData(dm);
    TabSheet2->bindData(dm);
    TabSend->bindData(dm);

    connect(Model_Set_Btn, &QToolButton::clicked, this, &TFM_Main::Model_Set_BtnClick);
    connect(Att_Set_Btn, &QToolButton::clicked, this, &TFM_Main::Att_Set_BtnClick);
    connect(Send_Set_Btn, &QToolButton::clicked, this, &TFM_Main::Send_Set_BtnClick);
    connect(Help_Btn, &QToolButton::clicked, this, &TFM_Main::Help_BtnClick);
    connect(App_Exit, &QToolButton::clicked, this, &TFM_Main::App_ExitClick);
    connect(TabModel, &DesignPage::currentModelPanel, this, &TFM_Main::setCurrentModelPanel);
    connect(TabModel, &DesignPage::selectedFieldPanel, selectedFieldPanel, &QLabel::setText);
    connect(TabModel->Model_Page_Btn, &QToolButton::clicked, this, &TFM_Main::Model_Page_BtnClick);
    connect(TabModel->Model_Field_Btn, &QToolButton::clicked, this,
            &TFM_Main::Model_Field_BtnClick);
    connect(TabModel->Model_Preview_Btn, &QToolButton::clicked, this,
            &TFM_Main::Model_Preview_BtnClick);
    connect(Sig_Prt_Btn, &QToolButton::clicked, this, &TFM_Main::Sig_Prt_BtnClick);
    connect(Multi_Prt_Btn, &QToolButton::clicked, this, &TFM_Main::Multi_Prt_BtnClick);
    connect(TabSheet2, &RecipientPage::printAllRequested, this, &TFM_Main::All_Prt_BtnClick);
    connect(TabSheet2, &RecipientPage::printLogRequested, this, [this] {
        PrintCommands::showPrintLog(
            m_dm, TabModel->Model_Container,
            [this](QPrinter* printer) { return Page_Setup(printer); }, this);
    });
    connect(TabSheet2, &RecipientPage::importRequested, this,
            [this] { ExcelCommands::Exl_In_BtnClick(m_dm, this); });
    connect(TabSheet2, &RecipientPage::exportRequested, this,
            [this] { ExcelCommands::Exl_Out_BtnClick(m_dm); });
    connect(TabSheet2, &RecipientPage::shopSettingsRequested, this,
            [this] { ShopCommands::Shop_Set_BtnClick(m_dm, this); });
    connect(TabSheet2, &RecipientPage::downloadOrdersRequested, this,
            [this] { ShopCommands::Trade_Dn_BtnClick(m_dm); });
    connect(TabSheet2, &RecipientPage::waybillNumbersRequested, this,
            [this] { WaybillCommands::Eps_No_BtnClick(m_dm, this); });
    connect(Font_Set_Btn, &QToolButton::clicked, this, &TFM_Main::Font_Set_BtnClick);
    connect(Printer_Set_Btn, &QToolButton::clicked, this, &TFM_Main::Printer_Set_BtnClick);
    // The printer menu: the button itself opens the printer setup as before.
    auto* printerMenu = new QMenu(Printer_Set_Btn);
    printerMenu->setObjectName(QStringLiteral("Printer_Menu"));
    QAction* calibrate = printerMenu->addAction(QStringLiteral("打印机校准"));
    calibrate->setObjectName(QStringLiteral("Printer_Calibrate_Action"));
    connect(calibrate, &QAction::triggered, this, [this] {
        CalibrationCommands::showDialog(
            m_dm, TabModel->Model_Container,
            [this](QPrinter* printer) { return Page_Setup(printer); }, this);
    });
    Printer_Set_Btn->setMenu(printerMenu);
    Printer_Set_Btn->setPopupMode(QToolButton::MenuButtonPopup);
    connect(TabSheet2, &RecipientPage::previewRequested, this, &TFM_Main::N2Click);

    FM_Main = this;
}

TFM_Main::~TFM_Main()
{
    if (FM_Main == this)
        FM_Main = nullptr;
}

void TFM_Main::setCurrentModelPanel(const QString& modelName)
{
    StatusPanels[2]->setText(QStringLiteral("当前模板：") + modelName);
    // Each template prints on the printer last chosen for it.
    if (!modelName.isEmpty() && modelName != m_printerModel) {
        m_printerModel = modelName;
        // The narrow second panel shows the start; the whole text is its tooltip.
        const QString message =
            PrinterChoice::restore(runState().appDir, modelName, PrinterStore::printer());
        StatusPanels[1]->setText(message);
        StatusPanels[1]->setToolTip(message);
    }
}

QString TFM_Main::statusPanelText(int index) const
{
    return index >= 0 && index < 4 ? StatusPanels[index]->text() : QString();
}

void TFM_Main::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        FormActivate();
    }
}

void TFM_Main::FormActivate()
{
    RunState& rs = runState();
    centreOnScreen(this);
    TabModel->fillTemplateList();
    TabSheet2->fillProvinces();

    rs.currentModel = ConfigIni::readString(rs.appDir, QStringLiteral("DefaultModel"),
                                            QStringLiteral("ModelName"));
    setCurrentModelPanel(rs.currentModel);
    // A template that cannot be laid out leaves no item selected.
    if (TabModel->Model_Screen_Paint(rs.currentModel)) {
        rs.currentModelRow = m_dm->TB_Model->bookmark();
        TabModel->selectCurrentModel();
    } else {
        TabModel->Model_List->setCurrentIndex(-1);
    }
}

void TFM_Main::Model_Set_BtnClick()
{
    TabMain->setCurrentIndex(0);
}

void TFM_Main::Att_Set_BtnClick()
{
    TabMain->setCurrentIndex(1);
}

void TFM_Main::Send_Set_BtnClick()
{
    TabMain->setCurrentIndex(2);
}

void TFM_Main::Model_Page_BtnClick()
{
    if (!Fm_Page_Set)
        return;
    Fm_Page_Set->setCalibrationAction([this] {
        CalibrationCommands::showDialog(
            m_dm, TabModel->Model_Container,
            [this](QPrinter* printer) { return Page_Setup(printer); }, Fm_Page_Set);
    });
    Fm_Page_Set->Execute();
}

void TFM_Main::Model_Field_BtnClick()
{
    if (FM_Field_Sel)
        FM_Field_Sel->exec();
}

void TFM_Main::Model_Preview_BtnClick()
{
    if (FM_PreView)
        FM_PreView->exec();
}

void TFM_Main::Sig_Prt_BtnClick()
{
    TabMain->setCurrentIndex(0);
    prompt().message(
        QStringLiteral("设置好模板，在屏幕上填写关键信息，点击打印预览即可打印单页！"));
}

void TFM_Main::Multi_Prt_BtnClick()
{
    TabMain->setCurrentIndex(1);
    All_Prt_BtnClick();
}

void TFM_Main::All_Prt_BtnClick()
{
    PrintCommands::All_Prt_BtnClick(
        m_dm, TabModel->Model_Container, [this](QPrinter* printer) { return Page_Setup(printer); },
        TabSheet2->selectedRows());
}

void TFM_Main::Font_Set_BtnClick()
{
    PrintCommands::Font_Set_BtnClick();
}

void TFM_Main::Printer_Set_BtnClick()
{
    PrintCommands::Printer_Set_BtnClick();
}

void TFM_Main::N2Click()
{
    if (FM_PreView)
        FM_PreView->exec();
}

bool TFM_Main::Page_Setup(QPrinter* printer)
{
    if (!TemplateStore::findRow(m_dm->TB_Model, runState().currentModelRow,
                                runState().currentModel)) {
        prompt().message(QStringLiteral("当前模板不存在，请先保存模板！"));
        return false;
    }
    if (!::Page_Setup(printer)) {
        prompt().message(QStringLiteral("当前模板的纸张大小无效，请在页面设置中修改！"));
        return false;
    }
    PrinterStore::usePageCorner(printer);
    return true;
}

void TFM_Main::Help_BtnClick()
{
    const QString help = runState().appDir + QLatin1String("help.html");
    if (!QFileInfo::exists(help)) {
        prompt().message(QStringLiteral("帮助文件不存在，请确认您下载到了完整安装包！"));
        return;
    }
    if (!prompt().openUrl(QUrl::fromLocalFile(QFileInfo(help).absoluteFilePath())))
        prompt().message(QStringLiteral("无法打开帮助文件：") + help);
}

void TFM_Main::closeDatabase()
{
    if (m_closed)
        return;
    m_closed = true;
    m_dm->closeDatabase();
    if (DB_Header_Seal(QString::fromLatin1(TDataModule1::kDatabaseFileName)) ==
        HeaderGuard::Result::Missing)
        prompt().message(QStringLiteral("程序运行缺少数据库文件"));
}

bool TFM_Main::mayLeave()
{
    if (m_closed || !TabModel->hasUnsavedChanges())
        return true;
    switch (prompt().saveDiscardCancel(QStringLiteral("模板设计中的改动尚未保存，退出前要保存吗？"),
                                       QStringLiteral("退出"))) {
    case Prompt::SaveChoice::Save:
        TabMain->setCurrentIndex(0);
        return TabModel->Model_Save_BtnClick();
    case Prompt::SaveChoice::Discard:
        return true;
    case Prompt::SaveChoice::Stay:
        break;
    }
    return false;
}

void TFM_Main::App_ExitClick()
{
    if (!mayLeave())
        return;
    closeDatabase();
    m_closed = true;
    hide();
    Q_EMIT exitRequested();
    QCoreApplication::quit();
}

void TFM_Main::closeEvent(QCloseEvent* event)
{
    if (!mayLeave()) {
        event->ignore();
        return;
    }
    closeDatabase();
    event->accept();
    Q_EMIT exitRequested();
}
