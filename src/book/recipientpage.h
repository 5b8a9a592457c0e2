#pragma once

#include "datasetmodel.h"

#include <QWidget>

class DatasetModel;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QTableView;
class QToolButton;
class QPushButton;
class RecipientSortModel;
class TDataModule1;
struct Session;
class PrintedFilter;

// The "收件人管理" tab: typing one recipient, the grid of all recipients and
// the group of bulk functions.
class RecipientPage : public QWidget
{
    Q_OBJECT
public:
    explicit RecipientPage(QWidget* parent = nullptr);
    ~RecipientPage() override;
    void bindData(TDataModule1* dm, const Session* session);
    // The rows selected in the grid and shown (0-based, ascending).
    QVector<int> selectedRows() const;
    // The grid's columns, titles and widths, left to right.
    static const QVector<DatasetModel::Column>& gridColumns();

    // "保存": appends the typed recipient after checking name, address and
    // mobile; empties the edits, the region lists keep their choice.
    void Att_Save_BtnClick();
    // "查询": searches for the search box's text, or the name box's when the
    // search box is empty (see findNext).
    void Att_Find_BtnClick();
    // Makes the next row whose name, mobile, phone, address or waybill
    // number contains text the current (and selected) row, in the grid's
    // order, wrapping at the end. A new text starts at the current row, the
    // same text again after it. Nothing happens without a match.
    void findNext(const QString& text);
    // Lists the repeated recipients (selects them), asks, and deletes all
    // but the first row of each group in one transaction.
    void removeDuplicates();
    // "删除选择行": deletes the rows selected in the grid, all or none.
    void Dgrd_Att_DelRowClick();
    // The user picked a province or a city: refill the lists below it.
    void Att_Prvince_AdChange();
    void Att_City_AdChange();

    QGroupBox* GroupBox2;
    QLineEdit* Att_Name_Ad;
    QLineEdit* Att_Mobile_Ad;
    QLineEdit* Att_Company_Ad;
    QLineEdit* Att_Phone_Ad;
    QComboBox* Att_Prvince_Ad;
    QComboBox* Att_City_Ad;
    QComboBox* Att_Country_Ad;
    QLineEdit* Att_Disrination_Ad;
    QLineEdit* Att_Add_Ad;
    QLineEdit* Att_PostCode_Ad;
    QPushButton* Att_Find_Btn;
    QPushButton* Att_Save_Btn;

    QGroupBox* GroupBox4;
    QToolButton* Exl_In_Btn;
    QToolButton* Exl_Out_Btn;
    QToolButton* All_Prt_Btn;
    QToolButton* Trade_Dn_Btn;
    QToolButton* Shop_Set_Btn;
    QToolButton* Eps_No_Btn;

    QLineEdit* searchEdit; // Enter goes to the next match
    QLabel* rowCountLabel; // "共 N 条收件人"
    QLabel* Printed_Filter_Label;
    QComboBox* Printed_Filter_Box; // all / not yet printed / printed
    QPushButton* Print_Log_Btn;    // "打印记录": the print log window
    PrintedFilter* printedFilter = nullptr;

    QTableView* DBGrid1;
    DatasetModel* gridModel = nullptr;
    RecipientSortModel* gridSortModel = nullptr; // between the grid and gridModel
    QMenu* PopMenu_Dgrd_Att;
    QAction* Dgrd_Att_DelRow;
    QAction* N2;
    QAction* removeDuplicatesAction;

private:
    void selectCurrentRow();
    void selectDatasetRows(const QVector<int>& rows);
    void updateRowCount();
    void fitColumnsToContent();
    void restoreGridState();
    void saveGridState();

    TDataModule1* m_dm = nullptr;
    const Session* m_session = nullptr;
    QString m_lastSearch;
    bool m_gridStateChanged = false;
};
