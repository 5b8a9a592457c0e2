#include "gui/excel/importmappingdialog.h"
#include "excel/excelmessages.h"

#include "ui_importmappingdialog.h"

#include "address/addressparser.h"
#include "base/prompt.h"
#include "base/session.h"
#include "data/datamodule.h"
#include "data/dataset.h"
#include "excel/importmapping.h"
#include "excel/importrows.h"
#include "excel/importtable.h"
#include "excel/workbookreader.h"
#include "gui/centre.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
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

// --- ImportMappingDialog ----------------------------------------------------------

ImportMappingDialog::ImportMappingDialog(DataModule* dm, const Session* session, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ImportMappingDialog>()), m_dm(dm),
      m_session(session)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    m_ui->setupUi(this);
    m_ui->mappingTable->setColumnWidth(0, 178);
    m_ui->mappingTable->setColumnWidth(1, 193);

    connect(m_ui->sheetList, &SheetList::sheetChosen, this, &ImportMappingDialog::chooseSheet);
    connect(m_ui->firstRowTitlesBox, &QCheckBox::clicked, this,
            &ImportMappingDialog::changeTitleRow);
    connect(m_ui->okButton, &QPushButton::clicked, this, &ImportMappingDialog::importRows);
    connect(m_ui->splitAddressBox, &QCheckBox::clicked, this, [this] { m_splitChosen = true; });
    // Esc and the close box reject too.
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

ImportMappingDialog::~ImportMappingDialog() = default;

void ImportMappingDialog::chooseFileAndOpen()
{
    // Nothing is asked yet: whether the table is replaced or appended to is
    // chosen in the dialog, and "确定" asks about exactly that.
    const QString fileName =
        prompt().openFile(QStringLiteral("打开"), WorkbookReader::fileFilter());
    if (fileName.isEmpty())
        return;
    setFileName(fileName);
    exec();
}

void ImportMappingDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Not when the window system shows it again (after minimising).
    if (!event->spontaneous())
        openWorkbook();
}

void ImportMappingDialog::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous())
        closeWorkbook();
    QDialog::hideEvent(event);
}

void ImportMappingDialog::openWorkbook()
{
    centreOnScreen(this);
    m_ui->sheetList->clear();
    m_ui->mappingTable->setRowCount(0);
    clearPreview();
    m_ui->appendBox->setChecked(false);
    m_ui->splitAddressBox->setChecked(false);
    m_splitChosen = false;
    QString error;
    m_reader = WorkbookReader::open(m_fileName, &error);
    if (!m_reader) {
        prompt().message(importReadErrorMessage(error));
        return;
    }
    m_ui->sheetList->addItems(m_reader->sheetNames());
}

void ImportMappingDialog::closeWorkbook()
{
    m_reader.reset();
}

bool ImportMappingDialog::sheetChosen() const
{
    return m_reader && m_reader->currentSheet() >= 0 && m_ui->mappingTable->rowCount() > 0;
}

void ImportMappingDialog::clearPreview()
{
    m_ui->sheetPreview->clear();
    m_ui->sheetPreview->setRowCount(0);
    m_ui->sheetPreview->setColumnCount(0);
}

void ImportMappingDialog::addMappingRows()
{
    m_ui->mappingTable->setRowCount(0);
    clearPreview();
    const QStringList captions = importCaptions();
    const QStringList columns = importColumns();
    m_ui->mappingTable->setRowCount(int(captions.size()));
    for (int row = 0; row < captions.size(); ++row) {
        auto* key = new QTableWidgetItem(captions.at(row));
        key->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        m_ui->mappingTable->setItem(row, 0, key);
        // The value is picked from the list, never typed.
        auto* value = new QComboBox;
        value->setObjectName(QStringLiteral("valueBox_") + columns.at(row));
        value->setEditable(false);
        // Splitting follows the mapping until the user ticks it themselves.
        connect(value, &QComboBox::currentIndexChanged, this,
                &ImportMappingDialog::proposeSplitting);
        m_ui->mappingTable->setCellWidget(row, 1, value);
    }
}

void ImportMappingDialog::proposeSplitting()
{
    if (!m_splitChosen)
        m_ui->splitAddressBox->setChecked(splitsAddressesByDefault(chosenTitles()));
}

void ImportMappingDialog::fillPickLists(bool leadingEmpty)
{
    m_titles = titleTexts(*m_reader, m_titleRow);
    QStringList picks = m_titles;
    if (leadingEmpty)
        picks.prepend(QString());
    const QStringList proposed = proposedMapping(m_session->appDir, m_titles);
    for (int row = 0; row < m_ui->mappingTable->rowCount(); ++row) {
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

void ImportMappingDialog::fillPreview()
{
    // A glance at what each column holds; a few rows and a bounded number
    // of columns, whatever the sheet declares.
    constexpr int kRows = 5;
    constexpr int kColumns = 100;
    const int columns = std::min(int(m_titles.size()), kColumns);
    const int lastRow = m_reader->usedRange().lastRow();
    const int rows = std::clamp(lastRow - m_titleRow, 0, kRows);
    m_ui->sheetPreview->clear();
    m_ui->sheetPreview->setColumnCount(columns);
    m_ui->sheetPreview->setRowCount(rows);
    m_ui->sheetPreview->setHorizontalHeaderLabels(m_titles.mid(0, columns));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            m_ui->sheetPreview->setItem(
                r, c, new QTableWidgetItem(m_reader->cellText(m_titleRow + 1 + r, c + 1)));
    }
}

QComboBox* ImportMappingDialog::valueBox(int row) const
{
    return qobject_cast<QComboBox*>(m_ui->mappingTable->cellWidget(row, 1));
}

QStringList ImportMappingDialog::chosenTitles() const
{
    QStringList titles;
    for (int row = 0; row < m_ui->mappingTable->rowCount(); ++row) {
        const QComboBox* box = valueBox(row);
        titles.append(box && box->currentIndex() >= 0 ? box->currentText() : QString());
    }
    return titles;
}

void ImportMappingDialog::chooseSheet()
{
    const QListWidgetItem* item = m_ui->sheetList->currentItem();
    if (!item || !m_reader)
        return;
    QString error;
    if (!m_reader->selectSheet(m_ui->sheetList->row(item), &error)) {
        // No mapping may stay behind for a sheet that is not there.
        m_ui->mappingTable->setRowCount(0);
        prompt().message(importReadErrorMessage(error));
        return;
    }
    addMappingRows();
    int row = 1;
    if (!m_ui->firstRowTitlesBox->isChecked() && !askTitleRow(&row)) {
        prompt().message(importReadErrorMessage(importBadTitleRowMessage()));
        return;
    }
    m_titleRow = row;
    fillPickLists(true);
}

void ImportMappingDialog::changeTitleRow()
{
    // Before a sheet is chosen there are no titles to read.
    if (!sheetChosen())
        return;
    int row = 1;
    if (!m_ui->firstRowTitlesBox->isChecked() && !askTitleRow(&row)) {
        // Only unticking asks; everything stays as before the click.
        m_ui->firstRowTitlesBox->setChecked(true);
        prompt().error(importBadTitleRowMessage());
        return;
    }
    m_titleRow = row;
    if (row == 1)
        m_ui->firstRowTitlesBox->setChecked(true);
    addMappingRows();
    fillPickLists(false);
}

void ImportMappingDialog::importRows()
{
    if (m_ui->mappingTable->rowCount() < 2 || !m_reader) {
        prompt().message(importNoSheetMessage());
        return;
    }
    ImportRows rows;
    QString error;
    const QStringList titles = chosenTitles();
    if (!rows.start(*m_reader, m_titleRow, titles, &error)) {
        prompt().message(error);
        return;
    }
    const QString missing = missingRequiredTitles(titles);
    if (!missing.isEmpty()) {
        prompt().message(importMissingTitlesMessage(missing));
        return;
    }
    const bool append = m_ui->appendBox->isChecked();
    std::unique_ptr<AddressParser> splitter;
    if (m_ui->splitAddressBox->isChecked()) {
        splitter = AddressParser::fromDatabase(m_dm->database(), &error);
        if (!splitter) {
            prompt().error(importFailedMessage(error));
            return;
        }
    }
    if (!confirmWriting(append))
        return;
    const ImportResult result = importWithProgress(m_dm->recipients, rows, append, splitter.get());
    switch (result.status) {
    case ImportResult::Status::Done:
        // The next import of the same kind of sheet starts from this
        // mapping; failing to remember it costs only clicks.
        rememberMapping(m_session->appDir, m_titles, chosenTitles());
        prompt().message(importDoneMessage(result));
        accept();
        break;
    case ImportResult::Status::Canceled:
        prompt().message(importCanceledMessage());
        break;
    case ImportResult::Status::NoRows:
        prompt().message(importNoRowsMessage(m_titleRow));
        break;
    case ImportResult::Status::Failed:
        prompt().error(importFailedMessage(result.error));
        break;
    }
}

bool ImportMappingDialog::confirmWriting(bool append) const
{
    // An empty table has nothing to lose.
    const int existing = m_dm->recipients->recordCount();
    if (existing == 0)
        return true;
    const QString sheet = m_reader->sheetNames().value(m_reader->currentSheet());
    const QString question =
        append ? importAppendQuestion(existing, sheet) : importReplaceQuestion(existing, sheet);
    return prompt().question(question, QStringLiteral("提示"), false, Prompt::Button::Cancel) ==
           Prompt::Button::Ok;
}
