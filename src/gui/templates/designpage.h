#pragma once

#include "templates/templatelayout.h"
#include "templates/templatestore.h"

#include <QPixmap>
#include <QVector>
#include <QWidget>
#include <memory>
#include <optional>

class DesignSurface;
class QAction;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QToolButton;
class QUndoStack;
class TemplateDocument;
class DataModule;
class SenderDraft;
struct Session;

namespace Ui
{
class DesignPage;
}

// The "模板设计" tab: the design panel and the two button groups below it,
// with the handlers of the template list and of the template buttons.
//
// Two modes: normal, and new-template mode between "新建模板" and a
// successful save. "页面设置", "字段选择" and "打印预览" belong to the
// windows they open; the main window connects them.
class DesignPage : public QWidget
{
    Q_OBJECT
public:
    explicit DesignPage(QWidget* parent = nullptr);
    ~DesignPage() override;

    // Binds the field controls to the sender's draft and the current
    // recipient, and keeps the data module for the handlers.
    void bindData(DataModule* dm, Session* session, SenderDraft* senderDraft);
    DataModule* dataModule() const { return m_dm; }
    Session* session() const { return m_session; }

    // Lays the template of that name out on the design surface: its picture,
    // then every field at its stored place plus the row's feed offsets
    // (which become the offsets in effect), its width and visibility.
    // Leaves templates on the row laid out (the first of that name, else the
    // last row). An error is shown and false returned when the picture
    // cannot be loaded; the fields then keep their places.
    bool layOutTemplate(const QString& name);
    // Lays out the template in use: its own row, even when an earlier row
    // bears the same name. False (nothing changed) when it has no row.
    bool layOutCurrentModel();

    // "保存模板": true when the template was saved.
    bool saveTemplate();
    // The template of the selected list entry, renamed or deleted after asking.
    void renameTemplate();
    void deleteTemplate();

    bool newTemplateMode() const;
    // The file name last chosen with "背景图", as it would be stored.
    QString chosenBackground() const { return m_chosenBackground; }
    // Leaves new-template mode and lays out the template in use again, after
    // asking when a picture was chosen. False when the user stays.
    bool leaveNewTemplateMode();
    // Fills the list with every template, first row to last, each entry
    // remembering its row.
    void fillTemplateList();
    // Selects the list entry of the template in use (none if none).
    void selectCurrentTemplate();
    // Selects no list entry.
    void clearTemplateSelection();
    // Templates saved elsewhere (another station): the list shows them, and
    // the template shown is laid out again as saved unless it holds edits
    // or a new template is in progress.
    void followSavedTemplates();
    // Moved, resized or hidden fields since the layout, or a new template
    // in progress: what leaving the program would lose.
    bool hasUnsavedChanges() const;

    // The template laid out, as shown and edited: what the window prints.
    TemplateDocument* document() const { return m_document; }
    // The moves, resizes, hides and shows of fields since the last layout or save.
    QUndoStack* undoStack() const { return m_undoStack; }
    // "字段：<caption>  左 … 上 … 宽 … 高 … mm" for the selected field, in
    // millimetres on paper from the picture's corner; empty with none.
    QString selectedFieldText() const;

    // The design surface: the picture and the field controls on it.
    DesignSurface* surface() const;

Q_SIGNALS:
    // The status bar's current-template panel is to show this name.
    void currentTemplatePanel(const QString& modelName);
    // The status bar's selected-field panel is to show this text.
    void selectedFieldPanel(const QString& text);
    void pageSetupRequested();      // "页面设置"
    void fieldSelectionRequested(); // "字段选择"
    void previewRequested();        // "打印预览"

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The fields show the sender's and the current recipient's values.
    void showRecordValues();
    // A value typed on the surface goes into the sender's draft, or into the
    // current recipient's row (a new row when there is none).
    void writeTypedValue(const QString& key, const QString& text);
    // Picks the template of that list entry: the very row the entry stands for.
    void chooseListedTemplate(int index);
    // "新建模板": enters new-template mode, or leaves it when pressed in the mode.
    void toggleNewTemplateMode();
    // "背景图": a picture for the new template.
    void choosePicture();
    // A label size of the picture button's menu: fills in the paper's width
    // and height, in millimetres.
    void chooseLabelSize(const QSize& mm);
    // "空白标签": a plain label of the typed size as the new template's
    // picture, the usual fields placed on it; saved, it prints its picture
    // and its waybill number as a Code 128.
    void drawPlainLabel();
    // "设为默认": the template in use becomes config.ini's default.
    void makeCurrentTemplateDefault();
    void createUndoActions();
    void createTemplateMenu();
    void setNewTemplateMode(bool on);
    // The paper boxes show the size of the template laid out.
    void showPaperSize();
    // Lays out templates's current row; throws when its picture cannot load.
    void layOutCurrentRow();
    // The row of the selected list entry; -1 when none is selected.
    qint64 selectedRow() const;
    // Writes config.ini's default; says so when it cannot.
    bool writeDefaultModel(const QString& name);
    void removeUnusedPicture(const QString& pictureName);
    bool saveNewTemplate();
    bool saveExistingTemplate();
    // The saved template becomes the document, nothing to undo.
    void afterSave(const TemplateLayout& saved);
    std::optional<int> paperMm(QLineEdit* box, const QString& boxName);
    // Offers to scale a chosen picture to the typed paper size at 96 per
    // inch when its resolution or size does not fit; the picture to use.
    QImage offerPaperScale(const QImage& picture);

    std::unique_ptr<Ui::DesignPage> m_ui;
    TemplateDocument* m_document;
    QUndoStack* m_undoStack; // the document's
    QAction* m_undoAction;
    QAction* m_redoAction;
    QMenu* m_templateMenu; // the list's context menu
    DataModule* m_dm = nullptr;
    Session* m_session = nullptr;
    SenderDraft* m_senderDraft = nullptr;
    bool m_pictureChosen = false; // "背景图" used since the last new template was saved
    bool m_plainLabel = false;    // the chosen picture is a plain label
    bool m_newTemplateMode = false;
    quint64 m_layouts = 0; // templates laid out so far
    QSize m_paperTenths;   // the paper of the template laid out
    // What "新建模板" found, for leaving the new template without saving.
    struct {
        QImage picture;
        QString pictureName;
        int undoIndex = 0;
        quint64 layouts = 0;
    } m_beforeNew;
    QString m_chosenBackground;
};
