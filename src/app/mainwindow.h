#pragma once

#include <QWidget>

class DesignPage;
class QLabel;
class QPrinter;
class QStatusBar;
class QTabWidget;
class QToolButton;
class RecipientPage;
class SenderPage;
class TDataModule1;
class TFM_Field_Sel;
class TFM_PreView;
class TFM_WayBill;
class TFm_Field_Set;
class TFm_Page_Set;
class TFm_Shop_Set;
struct Session;

// The main window: toolbar, three tabs and the status bar. It owns its
// dialogs, made once with it; they go with it.
class TFM_Main : public QWidget
{
    Q_OBJECT
public:
    // session: what the windows of this run share; it outlives the window.
    TFM_Main(TDataModule1* dm, Session* session, QWidget* parent = nullptr);
    ~TFM_Main() override;

    // The status bar's current-template panel: "当前模板：" and the name.
    void setCurrentModelPanel(const QString& modelName);
    QString statusPanelText(int index) const;

    // First activation: fills the template and province lists, reads the
    // default template and lays it out. Runs once, on the first showing.
    void FormActivate();

    void Model_Set_BtnClick();
    void Att_Set_BtnClick();
    void Send_Set_BtnClick();
    void Help_BtnClick();
    void App_ExitClick();
    // "页面设置" and "字段选择" of the design tab: the modal dialogs.
    void Model_Page_BtnClick();
    void Model_Preview_BtnClick();
    void Sig_Prt_BtnClick();
    void Multi_Prt_BtnClick();
    void All_Prt_BtnClick();
    void Font_Set_BtnClick();
    void Printer_Set_BtnClick();
    void N2Click();
    // Sets the printer's paper from the current model before a job; false,
    // having said why, when no job may start.
    bool Page_Setup(QPrinter* printer);
    void Model_Field_BtnClick();

    // Closes the database and seals its header, once for the whole run.
    void closeDatabase();

    TDataModule1* dataModule() const { return m_dm; }
    Session* session() const { return m_session; }

    QWidget* CoolBar1;
    QToolButton* Model_Set_Btn;
    QToolButton* Att_Set_Btn;
    QToolButton* Send_Set_Btn;
    QToolButton* Sig_Prt_Btn;
    QToolButton* Multi_Prt_Btn;
    QToolButton* Font_Set_Btn;
    QToolButton* Printer_Set_Btn;
    QToolButton* Help_Btn;
    QToolButton* App_Exit;
    QTabWidget* TabMain;
    DesignPage* TabModel;
    RecipientPage* TabSheet2;
    SenderPage* TabSend;
    QStatusBar* StatusBar1;
    QLabel* StatusPanels[4];
    QLabel* selectedFieldPanel; // the selected field's place and size on paper

Q_SIGNALS:
    // The program ends (either exit).
    void exitRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createDialogs();
    // Asks to save, discard or stay when the design surface holds unsaved
    // work; true when the program may end.
    bool mayLeave();

    QString m_printerModel; // the template whose printer is in use
    TDataModule1* m_dm;
    Session* m_session;
    TFM_PreView* m_preview = nullptr;
    TFm_Page_Set* m_pageSetup = nullptr;
    TFm_Field_Set* m_importDialog = nullptr;
    TFM_Field_Sel* m_fieldSelection = nullptr;
    TFM_WayBill* m_waybillDialog = nullptr;
    TFm_Shop_Set* m_shopDialog = nullptr;
    bool m_activated = false;
    bool m_closed = false;
};
