#pragma once

#include <QDialog>
#include <QListWidget>

#include <memory>

class QComboBox;
class DataModule;
struct Session;
class WorkbookReader;

namespace Ui
{
class ImportMappingDialog;
}

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
// "确定" replaces the recipient table with the sheet's rows, or appends them
// when "追加到原有收件人之后" is ticked, after a question that says which. Created once by
// the main window; the check box and the title row outlive each showing, the
// workbook and the mapping do not.
class ImportMappingDialog : public QDialog
{
    Q_OBJECT
public:
    // session gives the application folder, where the mappings are kept.
    ImportMappingDialog(DataModule* dm, const Session* session, QWidget* parent = nullptr);
    ~ImportMappingDialog() override;

    // "从Excel文件导入": the open dialog, then this dialog, modally, on the
    // chosen file.
    void chooseFileAndOpen();
    // The workbook the next showing opens.
    void setFileName(const QString& fileName) { m_fileName = fileName; }
    QString fileName() const { return m_fileName; }

    int titleRow() const { return m_titleRow; }
    // The title chosen in each mapping row, empty for none.
    QStringList chosenTitles() const;
    // The value cell of mapping row ROW (0-based), null for none.
    QComboBox* valueBox(int row) const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Centres the dialog, opens the workbook and lists its sheets; runs on
    // every showing. A workbook that cannot be read is named in a message
    // and no sheet can be chosen. "追加到原有收件人之后" is unticked again.
    void openWorkbook();
    // "拆分完整地址" follows the mapping (ticked when the address is mapped
    // and 省, 市, 区县 are not) until the user ticks or unticks it.
    void proposeSplitting();
    // Lets go of the workbook.
    void closeWorkbook();
    // Builds the fifteen mapping rows for the chosen sheet; asks for the
    // title row unless the check box is ticked.
    void chooseSheet();
    // Rebuilds the mapping for the new state of the check box; does nothing
    // before a sheet is chosen. The check box and the title row outlive
    // each showing.
    void changeTitleRow();
    // Replaces the recipient table with the sheet's rows (or appends them),
    // all or none, under a progress dialog that can cancel; closes the
    // dialog when done. Refused, with the dialog left open, when no column
    // gives the name, a phone or the address, when the user does not
    // confirm, and when every row is blank.
    void importRows();
    // Asks whether to go on, saying how many recipients are replaced or
    // kept; true at once when the table is empty.
    bool confirmWriting(bool append) const;
    // Empties the mapping editor and adds the fifteen rows with empty values.
    void addMappingRows();
    // Fills every row's pick list with the title row's texts and chooses
    // the proposed title of each row (see importmapping.h).
    void fillPickLists(bool leadingEmpty);
    void fillPreview();
    void clearPreview();
    bool sheetChosen() const;

    std::unique_ptr<Ui::ImportMappingDialog> m_ui;
    DataModule* m_dm;
    const Session* m_session;
    QString m_fileName;
    std::unique_ptr<WorkbookReader> m_reader;
    int m_titleRow = 1;
    QStringList m_titles; // the title row's texts, as offered
    bool m_splitChosen = false;
};
