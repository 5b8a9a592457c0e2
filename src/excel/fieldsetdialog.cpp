#include "fieldsetdialog.h"

#include "datamodule.h"
#include "importmapping.h"
#include "importrows.h"
#include "importtable.h"
#include "prompt.h"
#include "session.h"
#include "workbookreader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>

#include <algorithm>

namespace
{

const QString kTitleRowCaption = QStringLiteral("请指定要导入的Excel文件标题行号");
const QString kTitleRowLabel = QStringLiteral("系统提示     ");

// The title row from the input box; a cancelled box gives its preset "1".
bool askTitleRow(int* row)
{
    const std::optional<QString> answer =
        prompt().input(kTitleRowCaption, kTitleRowLabel, QStringLiteral("1"));
    return parseTitleRow(answer.value_or(QStringLiteral("1")), row);
}

} // namespace

// --- SheetList --------------------------------------------------------------

SheetList::SheetList(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemClicked, this, [this] {
        // The release that ends a double click is no second choice.
        if (m_doubleClicked) {
            m_doubleClicked = false;
            return;
        }
        Q_EMIT sheetChosen();
    });
}

void SheetList::keyPressEvent(QKeyEvent* event)
{
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    const bool confirm = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                         event->key() == Qt::Key_Space;
    if (currentRow() >= 0 && (currentRow() != before || confirm))
        Q_EMIT sheetChosen();
}

void SheetList::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_doubleClicked = true;
    QListWidget::mouseDoubleClickEvent(event);
}

// --- TFm_Field_Set ----------------------------------------------------------

TFm_Field_Set::TFm_Field_Set(TDataModule1* dm, const Session* session, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_session(session)
{
    setObjectName(QStringLiteral("Fm_Field_Set"));
    setWindowTitle(QStringLiteral("字段对应设置"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(592, 540);
    setModal(true);

    GroupBox2 = new QGroupBox(QStringLiteral("选择文件中的工作表"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(8, 8, 176, 296);
    Exl_Wb_List = new SheetList(GroupBox2);
    Exl_Wb_List->setObjectName(QStringLiteral("Exl_Wb_List"));
    Exl_Wb_List->setGeometry(8, 22, 160, 266);

    CheckBox1 = new QCheckBox(QStringLiteral("Excel文件第一行为标题行"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(8, 312, 180, 22);
    CheckBox1->setChecked(true);

    GroupBox1 = new QGroupBox(QStringLiteral("设置字段对应关系"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(192, 8, 392, 316);
    Field_Edit_List = new QTableWidget(0, 2, GroupBox1);
    Field_Edit_List->setObjectName(QStringLiteral("Field_Edit_List"));
    Field_Edit_List->setGeometry(8, 22, 376, 286);
    Field_Edit_List->setHorizontalHeaderLabels(
        {QStringLiteral("打印字段"), QStringLiteral("Excel文件中提供字段")});
    Field_Edit_List->setColumnWidth(0, 178);
    Field_Edit_List->setColumnWidth(1, 193);
    Field_Edit_List->verticalHeader()->hide();
    Field_Edit_List->setSelectionBehavior(QAbstractItemView::SelectRows);
    Field_Edit_List->setSelectionMode(QAbstractItemView::SingleSelection);
    Field_Edit_List->setEditTriggers(QAbstractItemView::NoEditTriggers);

    appendBox = new QCheckBox(QStringLiteral("追加到原有收件人之后"), this);
    appendBox->setObjectName(QStringLiteral("Append_Box"));
    appendBox->setGeometry(8, 338, 180, 22);

    auto* previewGroup = new QGroupBox(QStringLiteral("工作表内容预览"), this);
    previewGroup->setObjectName(QStringLiteral("Preview_Group"));
    previewGroup->setGeometry(8, 366, 576, 130);
    sheetPreview = new QTableWidget(0, 0, previewGroup);
    sheetPreview->setObjectName(QStringLiteral("Sheet_Preview"));
    sheetPreview->setGeometry(8, 20, 560, 102);
    sheetPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sheetPreview->verticalHeader()->setDefaultSectionSize(20);

    OKBtn = new QPushButton(QStringLiteral("确定"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(412, 504, 80, 27);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("取消"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(500, 504, 80, 27);

    connect(Exl_Wb_List, &SheetList::sheetChosen, this, &TFm_Field_Set::Exl_Wb_ListClick);
    connect(CheckBox1, &QCheckBox::clicked, this, &TFm_Field_Set::CheckBox1Click);
    connect(OKBtn, &QPushButton::clicked, this, &TFm_Field_Set::OKBtnClick);
    // Esc and the close box reject too.
    connect(CancelBtn, &QPushButton::clicked, this, &TFm_Field_Set::CancelBtnClick);
}

TFm_Field_Set::~TFm_Field_Set() = default;

void TFm_Field_Set::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Not when the window system shows it again (after minimising).
    if (!event->spontaneous())
        FormActivate();
}

void TFm_Field_Set::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous())
        FormClose();
    QDialog::hideEvent(event);
}

void TFm_Field_Set::FormActivate()
{
    if (const QScreen* s = screen()) {
        const QSize size = s->size();
        move((size.width() - width()) / 2, (size.height() - height()) / 2);
    }
    Exl_Wb_List->clear();
    Field_Edit_List->setRowCount(0);
    sheetPreview->clear();
    sheetPreview->setRowCount(0);
    sheetPreview->setColumnCount(0);
    appendBox->setChecked(false);
    QString error;
    m_reader = WorkbookReader::open(m_fileName, &error);
    if (!m_reader) {
        prompt().message(importOleMessage(error));
        return;
    }
    Exl_Wb_List->addItems(m_reader->sheetNames());
}

void TFm_Field_Set::FormClose()
{
    m_reader.reset();
}

bool TFm_Field_Set::sheetChosen() const
{
    return m_reader && m_reader->currentSheet() >= 0 && Field_Edit_List->rowCount() > 0;
}

void TFm_Field_Set::addMappingRows()
{
    Field_Edit_List->setRowCount(0);
    sheetPreview->clear();
    sheetPreview->setRowCount(0);
    sheetPreview->setColumnCount(0);
    const QStringList captions = importCaptions();
    Field_Edit_List->setRowCount(int(captions.size()));
    for (int row = 0; row < captions.size(); ++row) {
        auto* key = new QTableWidgetItem(captions.at(row));
        key->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        Field_Edit_List->setItem(row, 0, key);
        // The value is picked from the list, never typed.
        auto* value = new QComboBox;
        value->setObjectName(QStringLiteral("Field_Value%1").arg(row + 1));
        value->setEditable(false);
        Field_Edit_List->setCellWidget(row, 1, value);
    }
}

void TFm_Field_Set::fillPickLists(bool leadingEmpty)
{
    m_titles = titleTexts(*m_reader, m_titleRow);
    QStringList picks = m_titles;
    if (leadingEmpty)
        picks.prepend(QString());
    const QStringList proposed = proposedMapping(m_session->appDir, m_titles);
    for (int row = 0; row < Field_Edit_List->rowCount(); ++row) {
        QComboBox* box = valueBox(row);
        box->clear();
        box->addItems(picks);
        // Without a proposal the value starts empty; without the leading
        // empty entry nothing in the list is chosen yet.
        const QString title = proposed.value(row);
        const int index = title.isEmpty() ? -1 : int(picks.indexOf(title));
        box->setCurrentIndex(index >= 0 ? index : (leadingEmpty ? 0 : -1));
    }
    fillPreview();
}

void TFm_Field_Set::fillPreview()
{
    // A glance at what each column holds; a few rows and a bounded number
    // of columns, whatever the sheet declares.
    constexpr int kRows = 5;
    constexpr int kColumns = 100;
    const int columns = std::min(int(m_titles.size()), kColumns);
    const int lastRow = m_reader->usedRange().lastRow();
    const int rows = std::clamp(lastRow - m_titleRow, 0, kRows);
    sheetPreview->clear();
    sheetPreview->setColumnCount(columns);
    sheetPreview->setRowCount(rows);
    sheetPreview->setHorizontalHeaderLabels(m_titles.mid(0, columns));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            sheetPreview->setItem(
                r, c, new QTableWidgetItem(m_reader->cellText(m_titleRow + 1 + r, c + 1)));
    }
}

QComboBox* TFm_Field_Set::valueBox(int row) const
{
    return qobject_cast<QComboBox*>(Field_Edit_List->cellWidget(row, 1));
}

QStringList TFm_Field_Set::chosenTitles() const
{
    QStringList titles;
    for (int row = 0; row < Field_Edit_List->rowCount(); ++row) {
        const QComboBox* box = valueBox(row);
        titles.append(box && box->currentIndex() >= 0 ? box->currentText() : QString());
    }
    return titles;
}

void TFm_Field_Set::Exl_Wb_ListClick()
{
    const QListWidgetItem* item = Exl_Wb_List->currentItem();
    if (!item || !m_reader)
        return;
    QString error;
    if (!m_reader->selectSheet(Exl_Wb_List->row(item), &error)) {
        // No mapping may stay behind for a sheet that is not there.
        Field_Edit_List->setRowCount(0);
        prompt().message(importOleMessage(error));
        return;
    }
    addMappingRows();
    int row = 1;
    if (!CheckBox1->isChecked() && !askTitleRow(&row)) {
        prompt().message(importOleMessage(importBadTitleRowMessage()));
        return;
    }
    m_titleRow = row;
    fillPickLists(true);
}

void TFm_Field_Set::CheckBox1Click()
{
    // Before a sheet is chosen there are no titles to read.
    if (!sheetChosen())
        return;
    int row = 1;
    if (!CheckBox1->isChecked() && !askTitleRow(&row)) {
        // Only unticking asks; everything stays as before the click.
        CheckBox1->setChecked(true);
        prompt().error(importBadTitleRowMessage());
        return;
    }
    m_titleRow = row;
    if (row == 1)
        CheckBox1->setChecked(true);
    addMappingRows();
    fillPickLists(false);
}

void TFm_Field_Set::OKBtnClick()
{
    if (Field_Edit_List->rowCount() < 2 || !m_reader) {
        prompt().message(importNoSheetMessage());
        return;
    }
    ImportRows rows;
    QString error;
    if (!rows.start(*m_reader, m_titleRow, chosenTitles(), &error)) {
        prompt().message(error);
        return;
    }
    ImportResult result;
    {
        const int total = rows.count();
        std::unique_ptr<Prompt::Progress> progress =
            prompt().progress(importProgressText(0, total), std::max(1, total));
        const ImportProgress told = [&](int done, int all) {
            progress->setLabelText(importProgressText(done, all));
            return progress->setValue(done);
        };
        result = appendBox->isChecked() ? appendRecipients(m_dm->TB_Att, rows, told)
                                        : replaceRecipients(m_dm->TB_Att, rows, told);
    }
    switch (result.status) {
    case ImportResult::Status::Done:
        // The next import of the same kind of sheet starts from this
        // mapping; failing to remember it costs only clicks.
        rememberMapping(m_session->appDir, m_titles, chosenTitles());
        prompt().message(importCountMessage(result.rows));
        accept();
        break;
    case ImportResult::Status::Canceled:
        prompt().message(importCanceledMessage());
        break;
    case ImportResult::Status::Failed:
        prompt().error(importFailedMessage(result.error));
        break;
    }
}

void TFm_Field_Set::CancelBtnClick()
{
    reject();
}
