#pragma once

#include <QWidget>

#include <memory>

class DesignPage;
class QLabel;
class QPrinter;
class DataModule;
class SenderDraft;
class FieldSelectionDialog;
class PreviewWindow;
class WaybillDialog;
class ImportMappingDialog;
class PageSetupDialog;
class ShopSettingsDialog;
struct Session;

namespace Ui
{
class MainWindow;
}

// The main window: toolbar, three tabs and the status bar. It owns its
// dialogs, made once with it; they go with it.
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    // session and senderDraft: what the windows of this run share; they
    // outlive the window.
    MainWindow(DataModule* dm, Session* session, SenderDraft* senderDraft,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // The status bar's current-template panel: "当前模板：" and the name.
    void showCurrentTemplate(const QString& templateName);
    QString statusPanelText(int index) const;

    // The toolbar's first three buttons: the tab they name.
    void showDesignTab();
    void showRecipientsTab();
    void showSenderTab();
    // Sets the printer's paper from the current template before a job;
    // false, having said why, when no job may start.
    bool preparePrinter(QPrinter* printer);

    // Closes the database and seals its header, once for the whole run.
    void closeDatabase();

    DataModule* dataModule() const { return m_dm; }
    Session* session() const { return m_session; }

    // The "模板设计" tab, whose design surface the dialogs work on.
    DesignPage* designPage() const;

Q_SIGNALS:
    // The program ends (either exit).
    void exitRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createDialogs();
    // First showing: centres the window, fills the template and province
    // lists, reads the default template and lays it out.
    void openDefaultTemplate();
    void addStatusPanels();
    // The selected field's place and size, shown whole in the status bar.
    void showSelectedField(const QString& text);
    void connectToolBar();
    void connectPages();

    void openHelp();
    void exitProgram();
    // "页面设置" and "字段选择" of the design tab: the modal dialogs.
    void editPageSetup();
    void chooseFields();
    void showPreview();
    // "单页打印": single pages print from the preview; says so.
    void showSinglePrintHint();
    // "批量打印" of the toolbar: the recipient tab, then the batch print.
    void showRecipientsAndPrint();
    // Prints the selected recipients (or asks which).
    void printRecipients();
    void chooseFont();
    void setUpPrinter();
    // "打印当前行" of the recipient grid.
    void previewCurrentRow();
    // Asks to save, discard or stay when the sender tab (if shown) or the
    // design surface holds unsaved work; true when the program may end.
    bool mayLeave();
    // Another tab was chosen: leaving the sender tab with unsaved changes
    // asks first, and staying turns back to it.
    void followTab(int index);
    // What other stations changed on a shared server (DataModule::othersChanged):
    // the grid's claims and send states, the template list and the template
    // shown unless it holds edits of its own.
    void followOtherStations(const QStringList& tables);
    // The server gone or back, in the status bar's server panel.
    void showServerState(const QString& lostReason);

    std::unique_ptr<Ui::MainWindow> m_ui;
    QLabel* m_statusPanels[4];
    QLabel* m_selectedFieldPanel;    // the selected field's place and size on paper
    QLabel* m_serverPanel = nullptr; // a shared server out of reach
    QString m_printerTemplate;       // the template whose printer is in use
    DataModule* m_dm;
    Session* m_session;
    PreviewWindow* m_preview = nullptr;
    PageSetupDialog* m_pageSetup = nullptr;
    ImportMappingDialog* m_importDialog = nullptr;
    FieldSelectionDialog* m_fieldSelection = nullptr;
    WaybillDialog* m_waybillDialog = nullptr;
    ShopSettingsDialog* m_shopDialog = nullptr;
    bool m_activated = false;
    int m_shownTab = 0; // the tab shown before the current change
    bool m_closed = false;
};
