#pragma once

#include <QWidget>
#include <optional>

class DesignSurface;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QToolButton;
class TDataModule1;

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

    // Binds the field controls and keeps the data module for the handlers.
    void bindData(TDataModule1* dm);
    TDataModule1* dataModule() const { return m_dm; }

    // Lays the template of that name out on the design surface: its picture,
    // then every field at its stored place plus the layout offsets, its
    // width and visibility. Leaves TB_Model on the row laid out (the first
    // of that name, else the last row). An error is shown and false returned
    // when the picture cannot be loaded; the fields then keep their places.
    bool Model_Screen_Paint(const QString& name);

    void Model_ListChange(int index);
    void Model_New_BtnClick();
    void Model_Bmp_BtnClick();
    void Model_Save_BtnClick();
    void SpeedButton1Click();

    bool newTemplateMode() const;
    // Selects the first list item equal to the current model (none if none).
    void selectCurrentModel();

    DesignSurface* Model_Container;
    QGroupBox* GroupBox5;
    QComboBox* Model_List;
    QToolButton* Model_Preview_Btn;
    QToolButton* Model_Page_Btn;
    QToolButton* SpeedButton1;
    QGroupBox* GroupBox1;
    QToolButton* Model_New_Btn;
    QToolButton* Model_Bmp_Btn;
    QToolButton* Model_Field_Btn;
    QLabel* Label_Page_W;
    QLineEdit* Page_W;
    QLabel* Label_Page_H;
    QLineEdit* Page_H;
    QToolButton* Model_Save_Btn;

Q_SIGNALS:
    // The status bar's current-template panel is to show this name.
    void currentModelPanel(const QString& modelName);

private:
    void setNewTemplateMode(bool on);
    bool saveNewTemplate();
    bool saveExistingTemplate();
    void afterSave();
    std::optional<int> paperMm(QLineEdit* box, const QString& boxName);

    TDataModule1* m_dm = nullptr;
    bool m_pictureChosen = false; // "背景图" used since the last new template was saved
};

// A flat button of the given caption, size and object name.
QToolButton* makeFlatButton(QWidget* parent, const QString& name, const QString& caption,
                            const QRect& geometry);
