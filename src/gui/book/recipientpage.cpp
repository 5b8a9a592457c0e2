#include "gui/book/recipientpage.h"
#include "ui_recipientpage.h"

#include "address/addressparser.h"
#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "book/contactnumbers.h"
#include "book/ordernumbers.h"
#include "book/recipientrows.h"
#include "book/recipientsearch.h"
#include "book/recipientsortmodel.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "data/datasetmodel.h"
#include "data/rowclaims.h"
#include "data/schema.h"
#include "gui/book/claimedrows.h"
#include "gui/book/printedfilter.h"
#include "gui/landlinevalidator.h"
#include "gui/maskedtext.h"
#include "gui/templates/designpage.h"
#include "render/printmarks.h"

#include <QAction>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <algorithm>

namespace
{

// Where the "已打印" column starts: right after the name.
constexpr int kPrintedVisualIndex = 1;

// The grid column of each order's send state, read from Order_Ship.
const char ShipStateField[] = "Ship_State";

// Refills a region list from a region query, in the query's order, with
// nothing chosen.
void fillList(QComboBox* list, Dataset* region)
{
    list->clear();
    region->first();
    while (!region->eof()) {
        list->addItem(region->fieldByName(QStringLiteral("name")).asString());
        region->next();
    }
    list->setCurrentIndex(-1);
}

// The code of the first region row named name, as text; null when no row
// has that name, which then finds no rows below it.
QVariant codeOf(Dataset* region, const QString& name)
{
    if (!region->isActive() || !region->locate(QStringLiteral("name"), name))
        return QVariant();
    return region->fieldByName(QStringLiteral("code")).asString();
}

} // namespace

RecipientPage::RecipientPage(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::RecipientPage>())
{
    m_ui->setupUi(this);
    m_ui->phoneEdit->setValidator(new LandlineValidator(m_ui->phoneEdit));
    keepCursorInTypedPart(m_ui->mobileEdit);
    keepCursorInTypedPart(m_ui->postCodeEdit);
    QTableView* grid = m_ui->recipientGrid;
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    m_gridMenu = new QMenu(this);
    m_gridMenu->setObjectName(QStringLiteral("gridMenu"));
    m_deleteRowsAction = m_gridMenu->addAction(QStringLiteral("删除选择行"));
    m_deleteRowsAction->setObjectName(QStringLiteral("deleteRowsAction"));
    m_previewRowAction = m_gridMenu->addAction(QStringLiteral("打印当前行"));
    m_previewRowAction->setObjectName(QStringLiteral("previewRowAction"));
    m_unmarkRowsAction = m_gridMenu->addAction(QStringLiteral("标记为未打印"));
    m_unmarkRowsAction->setObjectName(QStringLiteral("unmarkRowsAction"));
    m_gridMenu->addSeparator();
    m_removeDuplicatesAction = m_gridMenu->addAction(QStringLiteral("删除重复的收件人"));
    m_removeDuplicatesAction->setObjectName(QStringLiteral("removeDuplicatesAction"));
    connect(grid, &QTableView::customContextMenuRequested, this, [this, grid](const QPoint& pos) {
        m_gridMenu->popup(grid->viewport()->mapToGlobal(pos));
    });

    connect(m_ui->saveButton, &QPushButton::clicked, this, &RecipientPage::saveRecipient);
    connect(m_ui->cancelEditButton, &QPushButton::clicked, this, &RecipientPage::stopEditing);
    connect(grid, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (gridSortModel && index.isValid())
            editRow(gridSortModel->datasetRow(index.row()));
    });
    connect(m_ui->findButton, &QPushButton::clicked, this, &RecipientPage::findTypedRecipient);
    connect(m_ui->smartFillButton, &QPushButton::clicked, this, &RecipientPage::smartFill);
    connect(m_ui->candidateList, &QComboBox::activated, this, &RecipientPage::chooseCandidate);
    connect(m_deleteRowsAction, &QAction::triggered, this, &RecipientPage::deleteSelectedRows);
    connect(m_previewRowAction, &QAction::triggered, this, &RecipientPage::previewCurrentRow);
    connect(m_unmarkRowsAction, &QAction::triggered, this, &RecipientPage::unmarkSelectedRows);
    connect(m_removeDuplicatesAction, &QAction::triggered, this, &RecipientPage::removeDuplicates);
    connect(m_ui->searchEdit, &QLineEdit::returnPressed, this,
            [this] { findNext(m_ui->searchEdit->text()); });
    // Only the user's picks run the cascade, not the lists being refilled.
    connect(m_ui->provinceList, &QComboBox::activated, this, &RecipientPage::fillCities);
    connect(m_ui->cityList, &QComboBox::activated, this, &RecipientPage::fillCounties);

    connect(m_ui->importButton, &QToolButton::clicked, this, &RecipientPage::importRequested);
    connect(m_ui->exportButton, &QToolButton::clicked, this, &RecipientPage::exportRequested);
    connect(m_ui->printAllButton, &QToolButton::clicked, this, &RecipientPage::printAllRequested);
    connect(m_ui->downloadOrdersButton, &QToolButton::clicked, this,
            &RecipientPage::downloadOrdersRequested);
    connect(m_ui->shopSettingsButton, &QToolButton::clicked, this,
            &RecipientPage::shopSettingsRequested);
    connect(m_ui->waybillNumbersButton, &QToolButton::clicked, this,
            &RecipientPage::waybillNumbersRequested);
    connect(m_ui->printLogButton, &QPushButton::clicked, this, &RecipientPage::printLogRequested);
    connect(m_ui->shipWaybillsButton, &QPushButton::clicked, this,
            &RecipientPage::shipWaybillsRequested);
}

const QVector<DatasetModel::Column>& RecipientPage::gridColumns()
{
    static const QVector<DatasetModel::Column> columns = {
        {QStringLiteral("Name"), QStringLiteral("姓名"), 80},
        {QStringLiteral("Address"), QStringLiteral("详细地址"), 300},
        {QStringLiteral("Company"), QStringLiteral("单位"), 209},
        {QStringLiteral("Mobile"), QStringLiteral("手机"), 100},
        {QStringLiteral("Phone"), QStringLiteral("固定电话"), 100},
        {QStringLiteral("ExpName"), QStringLiteral("寄送方式"), 80},
        {QStringLiteral("WayBillNo"), QStringLiteral("运单号"), 130},
        {QStringLiteral("Disrination"), QStringLiteral("目的地"), 80},
        {QStringLiteral("PostCode"), QStringLiteral("邮编"), 60},
        {QStringLiteral("Prvince"), QStringLiteral("省"), 80},
        {QStringLiteral("City"), QStringLiteral("市"), 80},
        {QStringLiteral("Country"), QStringLiteral("区(县)"), 80},
        {QStringLiteral("Custom1"), QStringLiteral("自定义字段1"), 100},
        {QStringLiteral("Custom2"), QStringLiteral("自定义字段2"), 100},
        {QStringLiteral("Custom3"), QStringLiteral("自定义字段3"), 100},
        {QStringLiteral("Custom4"), QStringLiteral("自定义字段4"), 100},
        {QStringLiteral("Custom5"), QStringLiteral("自定义字段5"), 100},
        {Schema::orderNoColumn(), QStringLiteral("订单编号"), 150},
        {QString::fromLatin1(ShipStateField), QStringLiteral("回传状态"), 160},
        {QStringLiteral("Printed_At"), QStringLiteral("已打印"), 130},
    };
    return columns;
}

void RecipientPage::refreshShipStates()
{
    if (!m_dm)
        return;
    QHash<QString, OrderShipState> states;
    // A file that cannot be read shows no states; the grid stays usable.
    try {
        states = ShipStore::load(m_dm->database());
    } catch (const DataError&) {
    }
    m_shipStates = states;
    const QVector<DatasetModel::Column>& columns = gridModel->columns();
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.at(i).field == QLatin1String(ShipStateField))
            gridModel->columnChanged(i);
    }
}

QString RecipientPage::shipStateText(int row) const
{
    if (!m_dm)
        return QString();
    const Dataset* att = m_dm->recipients;
    const int orderNo = att->fieldIndex(Schema::orderNoColumn());
    if (orderNo < 0 || m_shipStates.isEmpty())
        return QString();
    return ShipStore::describe(m_shipStates, OrderNumbers::split(att->cellText(row, orderNo)));
}

RecipientPage::~RecipientPage()
{
    saveGridState();
}

void RecipientPage::bindData(DataModule* dm, const Session* session)
{
    m_dm = dm;
    m_session = session;
    QVector<DatasetModel::Column> columns = gridColumns();
    Dataset* recipients = dm->recipients;
    if (dm->onServer()) {
        const QString appDir = session ? session->appDir : QString();
        m_claims =
            new ClaimedRows(dm, RowClaims::claimant(appDir), RowClaims::leaseSeconds(appDir), this);
    }
    for (DatasetModel::Column& c : columns) {
        if (c.field == QLatin1String(ShipStateField))
            c.text = [this](int row) { return shipStateText(row); };
        if (c.field == Schema::printedAtColumn() && m_claims) {
            const int printedAt = recipients->fieldIndex(c.field);
            // A row another station is printing says so; its values stay.
            c.text = [this, recipients, printedAt](int row) {
                const QString station = m_claims->stationOf(recipients->rowId(row));
                return station.isEmpty() ? recipients->cellText(row, printedAt)
                                         : ClaimedRows::heldText(station);
            };
        }
    }
    gridModel = new DatasetModel(dm->recipients, columns, this);
    refreshShipStates();
    // Rows of another download or import may carry orders sent before.
    connect(dm->recipients, &Dataset::resetDone, this, &RecipientPage::refreshShipStates);
    gridSortModel = new RecipientSortModel(this);
    gridSortModel->setSourceModel(gridModel);
    m_ui->recipientGrid->setModel(gridSortModel);
    for (int i = 0; i < columns.size(); ++i)
        m_ui->recipientGrid->setColumnWidth(i, columns.at(i).width);
    fitColumnsToContent();
    QHeaderView* header = m_ui->recipientGrid->horizontalHeader();
    // "已打印" is shown next to the name, where a glance at a row tells
    // whether it went out; the model keeps it last.
    header->moveSection(header->visualIndex(columns.size() - 1), kPrintedVisualIndex);
    restoreGridState();
    header->setSectionsMovable(true);
    // Unsorted at start: the grid shows the table's own order until the
    // user clicks a header; a third click returns to it.
    header->setSortIndicatorClearable(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    m_ui->recipientGrid->setSortingEnabled(true);
    connect(header, &QHeaderView::sectionResized, this, [this] { m_gridStateChanged = true; });
    connect(header, &QHeaderView::sectionMoved, this, [this] { m_gridStateChanged = true; });

    // The count is of the rows shown, so it follows the filter too.
    connect(gridSortModel, &QAbstractItemModel::rowsInserted, this, &RecipientPage::updateRowCount);
    connect(gridSortModel, &QAbstractItemModel::rowsRemoved, this, &RecipientPage::updateRowCount);
    connect(gridSortModel, &QAbstractItemModel::modelReset, this, &RecipientPage::updateRowCount);
    connect(gridSortModel, &QAbstractItemModel::layoutChanged, this,
            &RecipientPage::updateRowCount);
    connect(gridSortModel, &RecipientSortModel::filterChanged, this, &RecipientPage::showGridTop);
    updateRowCount();

    // The grid's current row is the dataset's cursor, both ways, through
    // the sort order.
    Dataset* att = dm->recipients;
    connect(m_ui->recipientGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this, att](const QModelIndex& current) {
                const int row = current.isValid() ? gridSortModel->datasetRow(current.row()) : -1;
                if (row >= 0 && row != att->recNo())
                    att->moveTo(row);
            });
    auto follow = [this, att] {
        const int row = gridSortModel->gridRow(att->recNo());
        const QModelIndex cur = m_ui->recipientGrid->selectionModel()->currentIndex();
        if (row >= 0 && (!cur.isValid() || cur.row() != row)) {
            const QModelIndex idx = gridSortModel->index(row, cur.isValid() ? cur.column() : 0);
            m_ui->recipientGrid->selectionModel()->setCurrentIndex(idx,
                                                                   QItemSelectionModel::NoUpdate);
            m_ui->recipientGrid->scrollTo(idx);
        }
    };
    connect(att, &Dataset::currentChanged, this, follow);
    follow();
    m_printedFilter = new PrintedFilter(
        gridSortModel, m_ui->printedFilterBox, att, [this] { return regionParser(); }, this);
    if (m_claims) {
        m_printedFilter->setHeldElsewhere(
            [this, att](int row) { return m_claims->isHeld(att->rowId(row)); });
        connect(m_claims, &ClaimedRows::changed, this, &RecipientPage::showClaims);
        // The grid's refresh reads the claims again too.
        connect(att, &Dataset::resetDone, m_claims, &ClaimedRows::refresh);
    }
}

void RecipientPage::refreshClaims()
{
    if (m_claims)
        m_claims->refresh();
}

void RecipientPage::showClaims()
{
    const QVector<DatasetModel::Column>& columns = gridModel->columns();
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.at(i).field == Schema::printedAtColumn())
            gridModel->columnChanged(i);
    }
    m_printedFilter->apply();
}

void RecipientPage::fillProvinces()
{
    if (!m_dm)
        return;
    guarded([&] {
        Dataset* prov = m_dm->provinces;
        if (!prov->isActive())
            prov->open();
        while (!prov->eof()) {
            m_ui->provinceList->addItem(prov->fieldByName(QStringLiteral("name")).asString());
            prov->next();
        }
    });
    // A list that just got items selects its first; nothing is chosen yet.
    m_ui->provinceList->setCurrentIndex(-1);
}

void RecipientPage::previewCurrentRow()
{
    // Only when the grid's current row is one of its selected rows.
    QItemSelectionModel* selection = m_ui->recipientGrid->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (!current.isValid() || !selection->isRowSelected(current.row(), QModelIndex()))
        return;
    Q_EMIT previewRequested();
    selection->clearSelection();
    m_ui->nameEdit->setFocus();
}

QVector<int> RecipientPage::selectedRows() const
{
    QVector<int> rows;
    if (!m_ui->recipientGrid->selectionModel())
        return rows;
    // Rows the filter hides are not in the grid, so never selected.
    for (const QModelIndex& idx : m_ui->recipientGrid->selectionModel()->selectedRows())
        rows << gridSortModel->datasetRow(idx.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool RecipientPage::showsUnprintedOnly() const
{
    return m_printedFilter && m_printedFilter->show() == PrintedFilter::Show::Unprinted;
}

void RecipientPage::saveRecipient()
{
    const QString name = m_ui->nameEdit->text();
    const QString address = m_ui->addressEdit->text();
    // The masked boxes give what was typed, never the mask's padding.
    const QString mobile = typedText(m_ui->mobileEdit);
    const QString postCode = typedText(m_ui->postCodeEdit);
    if (name.trimmed().isEmpty() || address.trimmed().isEmpty() || mobile.isEmpty()) {
        prompt().message(QStringLiteral("录入信息不完整,姓名、地址、手机为必填字段！"));
        m_ui->nameEdit->setFocus();
        return;
    }
    QString problem = mobileNumberProblem(mobile);
    QLineEdit* refused = m_ui->mobileEdit;
    if (problem.isEmpty()) {
        problem = postCodeProblem(postCode);
        refused = m_ui->postCodeEdit;
    }
    if (!problem.isEmpty()) {
        prompt().message(problem);
        refused->setFocus();
        return;
    }
    if (!m_dm)
        return;
    Dataset* att = m_dm->recipients;
    // Found by its ID: sorting, filtering or other writers may have moved
    // it since the double click.
    if (m_editingRowId != 0 && att->rowOf(m_editingRowId) < 0) {
        prompt().message(QStringLiteral("要修改的收件人已被删除，请重新选择。"));
        return;
    }
    const RecipientRows::Values values = {
        {QStringLiteral("Name"), name},
        {QStringLiteral("Company"), m_ui->companyEdit->text()},
        {QStringLiteral("Address"), address},
        {QStringLiteral("Mobile"), mobile},
        {QStringLiteral("Phone"), m_ui->phoneEdit->text()}, // as typed, any form
        {QStringLiteral("Disrination"), m_ui->destinationEdit->text()},
        {QStringLiteral("Prvince"), m_ui->provinceList->currentText()},
        {QStringLiteral("City"), m_ui->cityList->currentText()},
        {QStringLiteral("Country"), m_ui->countyList->currentText()},
        {QStringLiteral("PostCode"), postCode},
    };
    const bool saved = guarded([&] {
        RecipientRows rows(att);
        // The row is written by its ID: the grid's current row stays.
        if (m_editingRowId != 0)
            rows.change(m_editingRowId, values, m_editingVersion);
        else
            rows.append(values);
    });
    if (!saved) {
        // Another station changed the row since it was loaded: the grid
        // shows it as it is now, the boxes keep what was typed, and saving
        // again writes that over the other's change knowingly.
        const int row = att->rowOf(m_editingRowId);
        const qint64 now = att->rowVersion(row);
        if (m_editingRowId != 0 && row >= 0 && now != m_editingVersion) {
            m_editingVersion = now;
            m_ui->recipientGroup->setTitle(
                QStringLiteral("修改第 %1 行收件人（其他工作台刚改过它，再次保存将以此处为准）")
                    .arg(row + 1));
        }
        return;
    }
    if (m_editingRowId != 0)
        stopEditing();
    else
        clearBoxes(); // the region lists keep their choice for the next recipient
}

bool RecipientPage::boxesHoldText() const
{
    if (!typedText(m_ui->mobileEdit).isEmpty() || !typedText(m_ui->postCodeEdit).isEmpty())
        return true;
    for (const QLineEdit* e : {m_ui->nameEdit, m_ui->companyEdit, m_ui->addressEdit,
                               m_ui->phoneEdit, m_ui->destinationEdit})
        if (!e->text().isEmpty())
            return true;
    return false;
}

void RecipientPage::clearBoxes()
{
    for (QLineEdit* e : {m_ui->nameEdit, m_ui->companyEdit, m_ui->addressEdit, m_ui->mobileEdit,
                         m_ui->phoneEdit, m_ui->destinationEdit, m_ui->postCodeEdit})
        e->clear();
}

void RecipientPage::editRow(int datasetRow)
{
    if (!m_dm || datasetRow < 0 || datasetRow >= m_dm->recipients->recordCount())
        return;
    Dataset* att = m_dm->recipients;
    const qint64 id = att->rowId(datasetRow);
    if (id == m_editingRowId)
        return;
    if (boxesHoldText() &&
        prompt().question(QStringLiteral("输入框中的内容还没有保存，要放弃这些内容吗？"), QString(),
                          true, Prompt::Button::No) != Prompt::Button::Yes)
        return;
    const auto text = [att, datasetRow](const char* field) {
        return att->cellText(datasetRow, att->fieldIndex(QString::fromLatin1(field)));
    };
    m_editingRowId = id;
    m_editingVersion = att->rowVersion(datasetRow);
    m_ui->nameEdit->setText(text("Name"));
    m_ui->companyEdit->setText(text("Company"));
    m_ui->addressEdit->setText(text("Address"));
    m_ui->mobileEdit->setText(text("Mobile"));
    m_ui->phoneEdit->setText(text("Phone"));
    m_ui->postCodeEdit->setText(text("PostCode"));
    // The region lists as stored, even a name the region table lacks.
    const auto choose = [](QComboBox* list, const QString& name) {
        const int at = list->findText(name);
        if (at >= 0)
            list->setCurrentIndex(at);
        else
            list->setEditText(name);
    };
    choose(m_ui->provinceList, text("Prvince"));
    fillCities();
    choose(m_ui->cityList, text("City"));
    fillCounties();
    choose(m_ui->countyList, text("Country"));
    m_ui->destinationEdit->setText(text("Disrination"));
    m_ui->recipientGroup->setTitle(QStringLiteral("修改第 %1 行收件人").arg(datasetRow + 1));
    m_ui->saveButton->setText(QStringLiteral("保存修改"));
    m_ui->findButton->hide();
    m_ui->cancelEditButton->show();
    m_ui->nameEdit->setFocus();
}

const AddressParser* RecipientPage::regionParser()
{
    if (!m_parser && m_dm) {
        QString error;
        m_parser = AddressParser::fromDatabase(m_dm->database(), &error);
        if (!m_parser)
            prompt().error(QStringLiteral("无法读取地区表！\n") + error);
    }
    return m_parser.get();
}

void RecipientPage::smartFill()
{
    if (!m_dm)
        return;
    const QString text = m_ui->pasteEdit->toPlainText();
    if (text.trimmed().isEmpty())
        return;
    const AddressParser* parser = regionParser();
    if (!parser)
        return;
    const ParsedAddress a = parser->parse(text);
    const auto fill = [](QLineEdit* edit, const QString& value) {
        if (!value.isEmpty())
            edit->setText(value);
    };
    fill(m_ui->nameEdit, a.name);
    fill(m_ui->mobileEdit, a.mobile);
    fill(m_ui->phoneEdit, a.landline);
    fill(m_ui->postCodeEdit, a.postcode);
    fill(m_ui->addressEdit, a.detail);
    m_candidates = a.candidates;
    m_ui->candidateList->clear();
    m_ui->candidateList->setVisible(!m_candidates.isEmpty());
    QString note;
    switch (a.verdict) {
    case ParsedAddress::Verdict::Sure:
        chooseRegions({a.province, a.city, a.district});
        if (!a.formerName.isEmpty())
            note = QStringLiteral("“%1”已按现在的地名填写，请核对。").arg(a.formerName);
        break;
    case ParsedAddress::Verdict::Ambiguous:
        chooseRegions({a.province, a.city, a.district});
        for (const RegionChoice& c : m_candidates)
            m_ui->candidateList->addItem(
                QStringList{c.province, c.city, c.district}.join(QLatin1Char(' ')).trimmed());
        m_ui->candidateList->setCurrentIndex(-1);
        note = QStringLiteral("地区有多种可能，请在右边选择。");
        break;
    case ParsedAddress::Verdict::NotRecognised:
        note = QStringLiteral("没有认出省、市、区县，请自己选择。");
        break;
    }
    m_ui->smartFillNote->setText(note);
}

void RecipientPage::chooseRegions(const RegionChoice& choice)
{
    // Names the lists lack (only the shared part of a question) stay empty.
    const auto choose = [](QComboBox* list, const QString& name) {
        list->setCurrentIndex(name.isEmpty() ? -1 : list->findText(name));
    };
    if (m_ui->provinceList->count() == 0)
        fillProvinces();
    choose(m_ui->provinceList, choice.province);
    fillCities();
    choose(m_ui->cityList, choice.city);
    if (choice.city.isEmpty())
        return;
    fillCounties();
    choose(m_ui->countyList, choice.district);
}

void RecipientPage::chooseCandidate(int index)
{
    if (index < 0 || index >= m_candidates.size())
        return;
    chooseRegions(m_candidates.at(index));
    m_ui->smartFillNote->clear();
}

void RecipientPage::stopEditing()
{
    m_editingRowId = 0;
    m_editingVersion = 0;
    clearBoxes();
    m_ui->recipientGroup->setTitle(QStringLiteral("输入收件人信息"));
    m_ui->saveButton->setText(QStringLiteral("保存"));
    m_ui->cancelEditButton->hide();
    m_ui->findButton->show();
}

void RecipientPage::findTypedRecipient()
{
    const QString text = m_ui->searchEdit->text();
    findNext(text.trimmed().isEmpty() ? m_ui->nameEdit->text() : text);
}

void RecipientPage::findNext(const QString& text)
{
    if (!m_dm || !gridSortModel)
        return;
    const RecipientSearch search(m_dm->recipients, text);
    if (search.isEmpty())
        return;
    const QModelIndex current = m_ui->recipientGrid->currentIndex();
    int start = current.isValid() ? current.row() : 0;
    if (current.isValid() && text == m_lastSearch)
        ++start;
    m_lastSearch = text;
    const int found = search.findFrom(start, gridSortModel->rowCount(),
                                      [this](int row) { return gridSortModel->datasetRow(row); });
    if (found < 0) {
        prompt().message(QStringLiteral("没有找到“%1”。").arg(text));
        return;
    }
    guarded([&] {
        m_dm->recipients->moveTo(gridSortModel->datasetRow(found));
        selectCurrentRow();
    });
}

void RecipientPage::selectCurrentRow()
{
    const int row = gridSortModel ? gridSortModel->gridRow(m_dm->recipients->recNo()) : -1;
    if (row < 0)
        return;
    const QModelIndex idx = gridSortModel->index(row, 0);
    m_ui->recipientGrid->selectionModel()->setCurrentIndex(
        idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_ui->recipientGrid->scrollTo(idx);
}

void RecipientPage::selectDatasetRows(const QVector<int>& rows)
{
    QItemSelection selection;
    QModelIndex first;
    for (int row : rows) {
        const QModelIndex idx = gridSortModel->index(gridSortModel->gridRow(row), 0);
        if (!idx.isValid())
            continue;
        selection.select(idx, idx);
        if (!first.isValid())
            first = idx;
    }
    if (!first.isValid())
        return;
    QItemSelectionModel* model = m_ui->recipientGrid->selectionModel();
    model->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    model->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_ui->recipientGrid->scrollTo(first);
}

void RecipientPage::removeDuplicates()
{
    if (!m_dm || !gridSortModel)
        return;
    const QVector<int> rows = duplicateRecipientRows(m_dm->recipients);
    if (rows.isEmpty()) {
        prompt().message(QStringLiteral("没有重复的收件人。"));
        return;
    }
    // The user sees the rows in the grid before answering.
    selectDatasetRows(rows);
    const QString question =
        QStringLiteral("表格中共 %1 条重复的收件人（姓名和手机相同，或手机和地址相同），"
                       "每组保留第一条，是否删除？")
            .arg(rows.size());
    if (prompt().question(question, QStringLiteral("提示"), true, Prompt::Button::No) !=
        Prompt::Button::Yes)
        return;
    guarded([&] { m_dm->recipients->removeRows(rows); });
}

void RecipientPage::updateRowCount()
{
    m_ui->rowCountLabel->setText(QStringLiteral("共 %1 条收件人").arg(gridSortModel->rowCount()));
}

void RecipientPage::showGridTop()
{
    QTableView* grid = m_ui->recipientGrid;
    QItemSelectionModel* selection = grid->selectionModel();
    selection->clearSelection();
    if (gridSortModel->rowCount() > 0) {
        const QModelIndex current = selection->currentIndex();
        // The dataset's cursor follows the grid's current row.
        selection->setCurrentIndex(
            gridSortModel->index(0, current.isValid() ? current.column() : 0),
            QItemSelectionModel::NoUpdate);
    }
    grid->scrollToTop();
}

void RecipientPage::fitColumnsToContent()
{
    // The longest usual value of the number columns stays fully visible.
    const QFontMetrics metrics(m_ui->recipientGrid->font());
    const QFontMetrics headerMetrics(m_ui->recipientGrid->horizontalHeader()->font());
    const QVector<DatasetModel::Column>& columns = gridColumns();
    for (int i = 0; i < columns.size(); ++i) {
        const QString& field = columns.at(i).field;
        int digits = 0;
        if (field == QLatin1String("Mobile") || field == QLatin1String("Phone"))
            digits = 12;
        else if (field == QLatin1String("PostCode"))
            digits = 6;
        else if (field == QLatin1String("WayBillNo"))
            digits = 15;
        const int content = metrics.horizontalAdvance(QString(digits, QLatin1Char('0')));
        const int title = headerMetrics.horizontalAdvance(columns.at(i).title);
        const int wanted = std::max(content, title) + 16;
        if (m_ui->recipientGrid->columnWidth(i) < wanted)
            m_ui->recipientGrid->setColumnWidth(i, wanted);
    }
}

namespace
{

// The fields in the grid's first order: a state saved for another order
// (before "已打印" moved next to the name) is not restored.
QString gridFields()
{
    QStringList fields;
    for (const DatasetModel::Column& c : RecipientPage::gridColumns())
        fields << c.field;
    fields.move(fields.size() - 1, kPrintedVisualIndex);
    return fields.join(QLatin1Char(' '));
}

} // namespace

void RecipientPage::restoreGridState()
{
    const QString appDir = m_session ? m_session->appDir : QString();
    if (appDir.isEmpty())
        return;
    // A state saved for other columns would put titles over wrong data.
    if (ConfigIni::read(appDir, ConfigIni::GridColumns) != gridFields())
        return;
    const QByteArray state =
        QByteArray::fromBase64(ConfigIni::read(appDir, ConfigIni::GridState).toLatin1());
    if (!state.isEmpty())
        m_ui->recipientGrid->horizontalHeader()->restoreState(state);
}

void RecipientPage::saveGridState()
{
    const QString appDir = m_session ? m_session->appDir : QString();
    if (!m_gridStateChanged || appDir.isEmpty())
        return;
    m_gridStateChanged = false;
    const QByteArray state = m_ui->recipientGrid->horizontalHeader()->saveState().toBase64();
    ConfigIni::write(appDir, ConfigIni::GridColumns, gridFields());
    ConfigIni::write(appDir, ConfigIni::GridState, QString::fromLatin1(state));
}

void RecipientPage::deleteSelectedRows()
{
    if (!m_dm || !m_ui->recipientGrid->selectionModel())
        return;
    // Rows the filter hides are never taken along.
    const QVector<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    if (prompt().question(
            QStringLiteral("确定要删除选中的 %1 行收件人吗？删除后不能恢复。").arg(rows.size()),
            QString(), true, Prompt::Button::No) != Prompt::Button::Yes)
        return;
    guarded([&] { m_dm->recipients->removeRows(rows); });
}

void RecipientPage::unmarkSelectedRows()
{
    if (!m_dm)
        return;
    const QVector<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    if (prompt().question(QStringLiteral("确定把选中的 %1 行标记为未打印吗？").arg(rows.size()),
                          QString(), true, Prompt::Button::No) != Prompt::Button::Yes)
        return;
    Dataset* att = m_dm->recipients;
    const QVector<qint64> ids = att->rowIds(rows);
    // Read again in place: the grid keeps its current row and selection.
    guarded([&] {
        PrintMarks::clearMarks(m_dm->database(), ids);
        att->reread(ids);
    });
}

void RecipientPage::fillCities()
{
    if (!m_dm)
        return;
    m_ui->destinationEdit->clear();
    m_ui->cityList->clear();
    m_ui->countyList->clear();
    guarded([&] {
        const QVariant code = codeOf(m_dm->provinces, m_ui->provinceList->currentText());
        Dataset* city = m_dm->cities;
        city->close();
        city->setParam(QStringLiteral("provinceID"), code);
        city->open();
        fillList(m_ui->cityList, city);
    });
}

void RecipientPage::fillCounties()
{
    if (!m_dm)
        return;
    const QString cityName = m_ui->cityList->currentText();
    guarded([&] {
        const QVariant code = codeOf(m_dm->cities, cityName);
        Dataset* area = m_dm->areas;
        area->close();
        m_ui->destinationEdit->setText(cityName);
        m_ui->countyList->clear();
        area->setParam(QStringLiteral("cityID"), code);
        area->open();
        fillList(m_ui->countyList, area);
    });
}
