#pragma once

#include <QDialog>
#include <QListWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QTableWidget;
class TDataModule1;
struct Session;
class WorkbookReader;

// The sheet list: a click on a sheet, or moving to one with the keyboard,
// chooses it (a click on the sheet already chosen chooses it again).
class SheetList : public QListWidget
{
    Q_OBJECT
public:
    explicit SheetList(QWidget* parent = nullptr);

Q_SIGNALS:
    void sheetChosen();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool m_doubleClicked = false;
};

// "字段对应设置": picks the sheet of the workbook given with setFileName(),
// the row of its column titles and, for each of the fifteen
// importable recipient columns, the title of the sheet column that fills it;
// "确定" replaces the recipient table with the sheet's rows. Created once by
// the main window; the check box and the title row outlive each showing, the
// workbook and the mapping do not.
class TFm_Field_Set : public QDialog
{
    Q_OBJECT
public:
    // session gives the application folder, where the mappings are kept.
    TFm_Field_Set(TDataModule1* dm, const Session* session, QWidget* parent = nullptr);
    ~TFm_Field_Set() override;

    // The workbook the next showing opens.
    void setFileName(const QString& fileName) { m_fileName = fileName; }
    QString fileName() const { return m_fileName; }

    // Centres the dialog, opens the workbook and lists its sheets; runs on
    // every showing. A workbook that cannot be read is named in a message
    // and no sheet can be chosen.
    void FormActivate();
    // Builds the fifteen mapping rows for the chosen sheet; asks for the
    // title row unless the check box is ticked.
    void Exl_Wb_ListClick();
    // Rebuilds the mapping for the new state of the check box; does nothing
    // before a sheet is chosen.
    void CheckBox1Click();
    // Replaces the recipient table with the sheet's rows, all or none, under
    // a progress dialog that can cancel; closes the dialog when done.
    void OKBtnClick();
    void CancelBtnClick();
    // Lets go of the workbook.
    void FormClose();

    int titleRow() const { return m_titleRow; }
    // The title chosen in each mapping row, empty for none.
    QStringList chosenTitles() const;
    // The value cell of mapping row ROW (0-based), null for none.
    QComboBox* valueBox(int row) const;

    QGroupBox* GroupBox2;
    SheetList* Exl_Wb_List;
    QCheckBox* CheckBox1;
    QGroupBox* GroupBox1;
    QTableWidget* Field_Edit_List;
    // "追加到原有收件人之后": the rows go after the recipients already
    // there instead of replacing them. Unticked at every showing.
    QCheckBox* appendBox;
    // The first rows below the title row, under their titles.
    QTableWidget* sheetPreview;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Empties the mapping editor and adds the fifteen rows with empty values.
    void addMappingRows();
    // Fills every row's pick list with the title row's texts and chooses
    // the proposed title of each row (see importmapping.h).
    void fillPickLists(bool leadingEmpty);
    void fillPreview();
    bool sheetChosen() const;

    TDataModule1* m_dm;
    const Session* m_session;
    QString m_fileName;
    std::unique_ptr<WorkbookReader> m_reader;
    int m_titleRow = 1;
    QStringList m_titles; // the title row's texts, as offered
};
