#pragma once

#include "data/datasetmodel.h"
#include "shop/shipback.h"

#include <QHash>

#include <QWidget>

#include <memory>

class AddressParser;
class DatasetModel;
struct ParsedAddress;
struct RegionChoice;
class QAction;
class QMenu;
class RecipientSortModel;
class DataModule;
struct Session;
class PrintedFilter;
class ClaimedRows;

namespace Ui
{
class RecipientPage;
}

// The "收件人管理" tab: typing one recipient, the grid of all recipients and
// the group of bulk functions. The bulk functions and the print log belong
// to the main window: the page only says what the user asked for.
class RecipientPage : public QWidget
{
    Q_OBJECT
public:
    explicit RecipientPage(QWidget* parent = nullptr);
    ~RecipientPage() override;
    void bindData(DataModule* dm, const Session* session);

    // Fills the province list from the region table, with nothing chosen.
    void fillProvinces();
    // The rows selected in the grid and shown (0-based, ascending).
    QVector<int> selectedRows() const;
    // The grid shows only the rows not yet printed ("未打印").
    bool showsUnprintedOnly() const;
    // The grid's columns, titles and widths, left to right.
    static const QVector<DatasetModel::Column>& gridColumns();
    // Rereads the orders' send states that the grid shows ("回传状态").
    void refreshShipStates();
    // Rereads which rows other stations are printing now (server mode).
    void refreshClaims();

    // Makes the next row whose name, mobile, phone, address or waybill
    // number contains text the current (and selected) row, in the grid's
    // order, wrapping at the end. A new text starts at the current row, the
    // same text again after it. Without a match the user is told so.
    void findNext(const QString& text);
    // Lists the repeated recipients (selects them), asks, and deletes all
    // but the first row of each group in one transaction.
    void removeDuplicates();
    // "删除选择行": asks, then deletes the rows selected in the grid, all or
    // none.
    void deleteSelectedRows();
    // "标记为未打印": after asking, the selected rows lose their print marks
    // (a jammed form), so that "未打印" offers them again.
    void unmarkSelectedRows();
    // A double click on a row: its values go into the boxes, and "保存"
    // changes that row instead of adding one. Typed text not yet saved is
    // given up only when the user agrees. "取消修改" goes back to adding.
    void editRow(int datasetRow);
    // "智能填写": splits the pasted text into the boxes, for the user to check
    // before saving. A district that several cities hold is not chosen: the
    // candidates are offered in the list beside the button.
    void smartFill();
    // The row being changed in the boxes (its ID); 0 while adding.
    qint64 editingRowId() const { return m_editingRowId; }

    DatasetModel* gridModel = nullptr;
    RecipientSortModel* gridSortModel = nullptr; // between the grid and gridModel

Q_SIGNALS:
    void importRequested();         // "从Excel文件导入"
    void exportRequested();         // "导出到Excel文件"
    void printAllRequested();       // "批量打印"
    void downloadOrdersRequested(); // "下载网店订单"
    void shopSettingsRequested();   // "网店参数设置"
    void waybillNumbersRequested(); // "运单号生成"
    void printLogRequested();       // "打印记录"
    void shipWaybillsRequested();   // "回传运单号"
    // "打印当前行" on a current row that is selected: the preview of the
    // current row. The selection is cleared once the handler returns.
    void previewRequested();

private:
    // "保存": appends the typed recipient after checking name, address and
    // mobile, and the mobile's and postcode's form (trimmed of the mask's
    // blanks; a partly typed box is refused); empties the edits, the region
    // lists keep their choice.
    void saveRecipient();
    // "查询": searches for the search box's text, or the name box's when the
    // search box is empty (see findNext).
    void findTypedRecipient();
    // "打印当前行": asks for the preview when the current row is selected,
    // then clears the selection and returns to the name box.
    void previewCurrentRow();
    void stopEditing();
    void chooseRegions(const RegionChoice& choice);
    void chooseCandidate(int index);
    bool boxesHoldText() const;
    void clearBoxes();
    // The user picked a province or a city: refill the lists below it.
    void fillCities();
    void fillCounties();
    // Built at the first paste or check; null, the user told why, when the
    // region tables cannot be read.
    const AddressParser* regionParser();
    void selectCurrentRow();
    void selectDatasetRows(const QVector<int>& rows);
    // "共 N 条收件人", N the rows the grid shows.
    void updateRowCount();
    // After the filter changed: the first row shown is current, at the top.
    void showGridTop();
    void fitColumnsToContent();
    QString shipStateText(int row) const;
    void restoreGridState();
    void saveGridState();

    std::unique_ptr<Ui::RecipientPage> m_ui;
    QMenu* m_gridMenu;
    QAction* m_deleteRowsAction;
    QAction* m_previewRowAction;
    QAction* m_unmarkRowsAction;
    QAction* m_removeDuplicatesAction;
    PrintedFilter* m_printedFilter = nullptr;
    ClaimedRows* m_claims = nullptr; // server mode only
    // The claims changed: the grid's "已打印" column and the filter follow.
    void showClaims();
    DataModule* m_dm = nullptr;
    const Session* m_session = nullptr;
    QString m_lastSearch;
    bool m_gridStateChanged = false;
    qint64 m_editingRowId = 0;
    qint64 m_editingVersion = 0;             // the row's version as loaded into the boxes
    std::unique_ptr<AddressParser> m_parser; // built when first needed
    QList<RegionChoice> m_candidates;
    QHash<QString, OrderShipState> m_shipStates; // by order number
};
