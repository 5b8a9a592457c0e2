#include "recipientpage.h"

#include "configini.h"
#include "datamodule.h"
#include "datasetmodel.h"
#include "designpage.h"
#include "guarded.h"
#include "landlinevalidator.h"
#include "maskedtext.h"
#include "printedfilter.h"
#include "prompt.h"
#include "recipientrows.h"
#include "recipientsearch.h"
#include "recipientsortmodel.h"
#include "session.h"

#include <QAction>
#include <algorithm>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

namespace
{

QLineEdit* makeEdit(QWidget* parent, const QString& name, const QString& label, int x, int y,
                    int width, const QString& mask = QString())
{
    auto* l = new QLabel(label, parent);
    l->setGeometry(x, y, 80, 21);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setGeometry(x + 82, y, width, 21);
    if (!mask.isEmpty())
        e->setInputMask(mask);
    return e;
}

QComboBox* makeList(QWidget* parent, const QString& name, const QString& label, int x, int y,
                    int width, int lines)
{
    auto* l = new QLabel(label, parent);
    l->setGeometry(x, y, 80, 21);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(false);
    c->setMaxVisibleItems(lines);
    c->setGeometry(x + 82, y, width, 22);
    return c;
}

// Refills a region list from a region query, in the query's order, with
// nothing chosen.
void fillList(QComboBox* list, Dataset* region)
{
    list->clear();
    region->first();
    while (!region->eof()) {
        list->addItem(region->FieldByName(QStringLiteral("name")).AsString());
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
    return region->FieldByName(QStringLiteral("code")).AsString();
}

} // namespace

RecipientPage::RecipientPage(QWidget* parent) : QWidget(parent)
{
    GroupBox2 = new QGroupBox(QStringLiteral("输入收件人信息"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(8, 6, 600, 156);
    QWidget* g = GroupBox2;
    Att_Name_Ad =
        makeEdit(g, QStringLiteral("Att_Name_Ad"), QStringLiteral("收件人姓名："), 0, 22, 110);
    Att_Mobile_Ad = makeEdit(g, QStringLiteral("Att_Mobile_Ad"), QStringLiteral("手机："), 196, 22,
                             100, QStringLiteral("00000000000;_"));
    Att_Company_Ad =
        makeEdit(g, QStringLiteral("Att_Company_Ad"), QStringLiteral("单位："), 380, 22, 130);
    Att_Phone_Ad =
        makeEdit(g, QStringLiteral("Att_Phone_Ad"), QStringLiteral("固定电话："), 0, 52, 110);
    Att_Phone_Ad->setValidator(new LandlineValidator(Att_Phone_Ad));
    Att_Prvince_Ad =
        makeList(g, QStringLiteral("Att_Prvince_Ad"), QStringLiteral("省："), 196, 52, 100, 20);
    Att_City_Ad =
        makeList(g, QStringLiteral("Att_City_Ad"), QStringLiteral("市："), 380, 52, 130, 12);
    Att_Country_Ad =
        makeList(g, QStringLiteral("Att_Country_Ad"), QStringLiteral("区县："), 0, 82, 110, 15);
    Att_Disrination_Ad =
        makeEdit(g, QStringLiteral("Att_Disrination_Ad"), QStringLiteral("目的地："), 196, 82, 100);
    Att_PostCode_Ad = makeEdit(g, QStringLiteral("Att_PostCode_Ad"), QStringLiteral("邮编："), 380,
                               82, 70, QStringLiteral("000000;_"));
    Att_Add_Ad =
        makeEdit(g, QStringLiteral("Att_Add_Ad"), QStringLiteral("详细地址："), 0, 114, 330);
    Att_Find_Btn = new QPushButton(QStringLiteral("查询"), g);
    Att_Find_Btn->setObjectName(QStringLiteral("Att_Find_Btn"));
    Att_Find_Btn->setGeometry(440, 110, 70, 28);
    Att_Save_Btn = new QPushButton(QStringLiteral("保存"), g);
    Att_Save_Btn->setObjectName(QStringLiteral("Att_Save_Btn"));
    Att_Save_Btn->setGeometry(516, 110, 70, 28);
    // Entry order of the group.
    QWidget* order[] = {Att_Name_Ad,    Att_Mobile_Ad,  Att_Company_Ad, Att_Phone_Ad,
                        Att_Prvince_Ad, Att_City_Ad,    Att_Country_Ad, Att_Disrination_Ad,
                        Att_Add_Ad,     Att_PostCode_Ad};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    GroupBox4 = new QGroupBox(QStringLiteral("功能菜单"), this);
    GroupBox4->setObjectName(QStringLiteral("GroupBox4"));
    GroupBox4->setGeometry(616, 6, 281, 156);
    auto button = [&](const char* name, const char* caption, int col, int row) {
        return makeFlatButton(GroupBox4, QString::fromLatin1(name), QString::fromUtf8(caption),
                              QRect(10 + col * 134, 20 + row * 44, 126, 36));
    };
    Exl_In_Btn = button("Exl_In_Btn", "从Excel文件导入", 0, 0);
    Exl_Out_Btn = button("Exl_Out_Btn", "导出到Excel文件", 1, 0);
    All_Prt_Btn = button("All_Prt_Btn", "批量打印", 0, 1);
    Trade_Dn_Btn = button("Trade_Dn_Btn", "下载网店订单", 1, 1);
    Shop_Set_Btn = button("Shop_Set_Btn", "网店参数设置", 0, 2);
    Eps_No_Btn = button("Eps_No_Btn", "运单号生成", 1, 2);

    auto* searchLabel = new QLabel(QStringLiteral("查找："), this);
    searchLabel->setGeometry(8, 168, 42, 22);
    searchEdit = new QLineEdit(this);
    searchEdit->setObjectName(QStringLiteral("searchEdit"));
    searchEdit->setGeometry(50, 168, 240, 22);
    searchEdit->setPlaceholderText(QStringLiteral("姓名、手机、电话、地址或运单号，回车找下一个"));
    searchEdit->setClearButtonEnabled(true);
    Printed_Filter_Label = new QLabel(QStringLiteral("显示："), this);
    Printed_Filter_Label->setObjectName(QStringLiteral("Printed_Filter_Label"));
    Printed_Filter_Label->setGeometry(300, 168, 40, 22);
    Printed_Filter_Box = new QComboBox(this);
    Printed_Filter_Box->setObjectName(QStringLiteral("Printed_Filter_Box"));
    Printed_Filter_Box->setGeometry(342, 168, 100, 22);
    Print_Log_Btn = new QPushButton(QStringLiteral("打印记录"), this);
    Print_Log_Btn->setObjectName(QStringLiteral("Print_Log_Btn"));
    Print_Log_Btn->setGeometry(452, 167, 90, 24);
    rowCountLabel = new QLabel(this);
    rowCountLabel->setObjectName(QStringLiteral("rowCountLabel"));
    rowCountLabel->setGeometry(697, 168, 200, 22);
    rowCountLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(8, 194, 889, 400);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->verticalHeader()->setDefaultSectionSize(20);
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);

    PopMenu_Dgrd_Att = new QMenu(this);
    PopMenu_Dgrd_Att->setObjectName(QStringLiteral("PopMenu_Dgrd_Att"));
    Dgrd_Att_DelRow = PopMenu_Dgrd_Att->addAction(QStringLiteral("删除选择行"));
    Dgrd_Att_DelRow->setObjectName(QStringLiteral("Dgrd_Att_DelRow"));
    N2 = PopMenu_Dgrd_Att->addAction(QStringLiteral("打印当前行"));
    N2->setObjectName(QStringLiteral("N2"));
    PopMenu_Dgrd_Att->addSeparator();
    removeDuplicatesAction = PopMenu_Dgrd_Att->addAction(QStringLiteral("删除重复的收件人"));
    removeDuplicatesAction->setObjectName(QStringLiteral("removeDuplicatesAction"));
    connect(DBGrid1, &QTableView::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopMenu_Dgrd_Att->popup(DBGrid1->viewport()->mapToGlobal(pos));
    });

    connect(Att_Save_Btn, &QPushButton::clicked, this, &RecipientPage::Att_Save_BtnClick);
    connect(Att_Find_Btn, &QPushButton::clicked, this, &RecipientPage::Att_Find_BtnClick);
    connect(Dgrd_Att_DelRow, &QAction::triggered, this, &RecipientPage::Dgrd_Att_DelRowClick);
    connect(removeDuplicatesAction, &QAction::triggered, this, &RecipientPage::removeDuplicates);
    connect(searchEdit, &QLineEdit::returnPressed, this, [this] { findNext(searchEdit->text()); });
    // Only the user's picks run the cascade, not the lists being refilled.
    connect(Att_Prvince_Ad, &QComboBox::activated, this, &RecipientPage::Att_Prvince_AdChange);
    connect(Att_City_Ad, &QComboBox::activated, this, &RecipientPage::Att_City_AdChange);
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
        {QStringLiteral("Printed_At"), QStringLiteral("已打印"), 130},
    };
    return columns;
}

RecipientPage::~RecipientPage()
{
    saveGridState();
}

void RecipientPage::bindData(TDataModule1* dm, const Session* session)
{
    m_dm = dm;
    m_session = session;
    const QVector<DatasetModel::Column>& columns = gridColumns();
    gridModel = new DatasetModel(dm->TB_Att, columns, this);
    gridSortModel = new RecipientSortModel(this);
    gridSortModel->setSourceModel(gridModel);
    DBGrid1->setModel(gridSortModel);
    for (int i = 0; i < columns.size(); ++i)
        DBGrid1->setColumnWidth(i, columns.at(i).width);
    fitColumnsToContent();
    restoreGridState();
    QHeaderView* header = DBGrid1->horizontalHeader();
    header->setSectionsMovable(true);
    // Unsorted at start: the grid shows the table's own order until the
    // user clicks a header; a third click returns to it.
    header->setSortIndicatorClearable(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    DBGrid1->setSortingEnabled(true);
    connect(header, &QHeaderView::sectionResized, this, [this] { m_gridStateChanged = true; });
    connect(header, &QHeaderView::sectionMoved, this, [this] { m_gridStateChanged = true; });

    connect(gridModel, &QAbstractItemModel::rowsInserted, this, &RecipientPage::updateRowCount);
    connect(gridModel, &QAbstractItemModel::rowsRemoved, this, &RecipientPage::updateRowCount);
    connect(gridModel, &QAbstractItemModel::modelReset, this, &RecipientPage::updateRowCount);
    updateRowCount();

    // The grid's current row is the dataset's cursor, both ways, through
    // the sort order.
    Dataset* att = dm->TB_Att;
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this, att](const QModelIndex& current) {
                const int row = current.isValid() ? gridSortModel->datasetRow(current.row()) : -1;
                if (row >= 0 && row != att->recNo())
                    att->moveTo(row);
            });
    auto follow = [this, att] {
        const int row = gridSortModel->gridRow(att->recNo());
        const QModelIndex cur = DBGrid1->selectionModel()->currentIndex();
        if (row >= 0 && (!cur.isValid() || cur.row() != row)) {
            const QModelIndex idx = gridSortModel->index(row, cur.isValid() ? cur.column() : 0);
            DBGrid1->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::NoUpdate);
            DBGrid1->scrollTo(idx);
        }
    };
    connect(att, &Dataset::currentChanged, this, follow);
    follow();
    printedFilter = new PrintedFilter(gridSortModel, Printed_Filter_Box, att, this);
}

QVector<int> RecipientPage::selectedRows() const
{
    QVector<int> rows;
    if (!DBGrid1->selectionModel())
        return rows;
    // Rows the filter hides are not in the grid, so never selected.
    for (const QModelIndex& idx : DBGrid1->selectionModel()->selectedRows())
        rows << gridSortModel->datasetRow(idx.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void RecipientPage::Att_Save_BtnClick()
{
    const QString name = Att_Name_Ad->text();
    const QString address = Att_Add_Ad->text();
    const QString mobile = maskedText(Att_Mobile_Ad);
    if (name.trimmed().isEmpty() || address.trimmed().isEmpty() || mobile.trimmed().isEmpty()) {
        prompt().message(QStringLiteral("录入信息不完整,姓名、地址、手机为必填字段！"));
        Att_Name_Ad->setFocus();
        return;
    }
    if (!m_dm)
        return;
    const bool saved = guarded([&] {
        RecipientRows(m_dm->TB_Att)
            .append({
                {QStringLiteral("Name"), name},
                {QStringLiteral("Company"), Att_Company_Ad->text()},
                {QStringLiteral("Address"), address},
                {QStringLiteral("Mobile"), mobile},
                {QStringLiteral("Phone"), Att_Phone_Ad->text()}, // as typed, any form
                {QStringLiteral("Disrination"), Att_Disrination_Ad->text()},
                {QStringLiteral("Prvince"), Att_Prvince_Ad->currentText()},
                {QStringLiteral("City"), Att_City_Ad->currentText()},
                {QStringLiteral("Country"), Att_Country_Ad->currentText()},
                {QStringLiteral("PostCode"), maskedText(Att_PostCode_Ad)},
            });
    });
    if (!saved)
        return;
    // The region lists keep their choice for the next recipient.
    for (QLineEdit* e : {Att_Name_Ad, Att_Company_Ad, Att_Add_Ad, Att_Mobile_Ad, Att_Phone_Ad,
                         Att_Disrination_Ad, Att_PostCode_Ad})
        e->clear();
}

void RecipientPage::Att_Find_BtnClick()
{
    const QString text = searchEdit->text();
    findNext(text.trimmed().isEmpty() ? Att_Name_Ad->text() : text);
}

void RecipientPage::findNext(const QString& text)
{
    if (!m_dm || !gridSortModel)
        return;
    const RecipientSearch search(m_dm->TB_Att, text);
    if (search.isEmpty())
        return;
    const QModelIndex current = DBGrid1->currentIndex();
    int start = current.isValid() ? current.row() : 0;
    if (current.isValid() && text == m_lastSearch)
        ++start;
    m_lastSearch = text;
    const int found = search.findFrom(start, gridSortModel->rowCount(),
                                      [this](int row) { return gridSortModel->datasetRow(row); });
    if (found < 0)
        return;
    guarded([&] {
        m_dm->TB_Att->moveTo(gridSortModel->datasetRow(found));
        selectCurrentRow();
    });
}

void RecipientPage::selectCurrentRow()
{
    const int row = gridSortModel ? gridSortModel->gridRow(m_dm->TB_Att->recNo()) : -1;
    if (row < 0)
        return;
    const QModelIndex idx = gridSortModel->index(row, 0);
    DBGrid1->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
    DBGrid1->scrollTo(idx);
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
    QItemSelectionModel* model = DBGrid1->selectionModel();
    model->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    model->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    DBGrid1->scrollTo(first);
}

void RecipientPage::removeDuplicates()
{
    if (!m_dm || !gridSortModel)
        return;
    const QVector<int> rows = duplicateRecipientRows(m_dm->TB_Att);
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
    guarded([&] { m_dm->TB_Att->removeRows(rows); });
}

void RecipientPage::updateRowCount()
{
    rowCountLabel->setText(QStringLiteral("共 %1 条收件人").arg(gridModel->rowCount()));
}

void RecipientPage::fitColumnsToContent()
{
    // The longest usual value of the number columns stays fully visible.
    const QFontMetrics metrics(DBGrid1->font());
    const QFontMetrics headerMetrics(DBGrid1->horizontalHeader()->font());
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
        if (DBGrid1->columnWidth(i) < wanted)
            DBGrid1->setColumnWidth(i, wanted);
    }
}

namespace
{

QString gridFields()
{
    QStringList fields;
    for (const DatasetModel::Column& c : RecipientPage::gridColumns())
        fields << c.field;
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
        DBGrid1->horizontalHeader()->restoreState(state);
}

void RecipientPage::saveGridState()
{
    const QString appDir = m_session ? m_session->appDir : QString();
    if (!m_gridStateChanged || appDir.isEmpty())
        return;
    m_gridStateChanged = false;
    const QByteArray state = DBGrid1->horizontalHeader()->saveState().toBase64();
    ConfigIni::write(appDir, ConfigIni::GridColumns, gridFields());
    ConfigIni::write(appDir, ConfigIni::GridState, QString::fromLatin1(state));
}

void RecipientPage::Dgrd_Att_DelRowClick()
{
    if (!m_dm || !DBGrid1->selectionModel())
        return;
    // Rows the filter hides are never taken along.
    const QVector<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    guarded([&] { m_dm->TB_Att->removeRows(rows); });
}

void RecipientPage::Att_Prvince_AdChange()
{
    if (!m_dm)
        return;
    Att_Disrination_Ad->clear();
    Att_City_Ad->clear();
    Att_Country_Ad->clear();
    guarded([&] {
        const QVariant code = codeOf(m_dm->region_Province, Att_Prvince_Ad->currentText());
        Dataset* city = m_dm->region_city;
        city->close();
        city->setParam(QStringLiteral("provinceID"), code);
        city->open();
        fillList(Att_City_Ad, city);
    });
}

void RecipientPage::Att_City_AdChange()
{
    if (!m_dm)
        return;
    const QString cityName = Att_City_Ad->currentText();
    guarded([&] {
        const QVariant code = codeOf(m_dm->region_city, cityName);
        Dataset* area = m_dm->region_area;
        area->close();
        Att_Disrination_Ad->setText(cityName);
        Att_Country_Ad->clear();
        area->setParam(QStringLiteral("cityID"), code);
        area->open();
        fillList(Att_Country_Ad, area);
    });
}
