// The import dialog, the two window commands and the two command-line
// commands, on a real database and real workbooks, driven through the
// widgets offscreen with a scripted prompt.
#include "base/session.h"
#include "book/recipientrows.h"
#include "cli/excelcommand.h"
#include "data/datamodule.h"
#include "data/headerguard.h"
#include "excel/exportwriter.h"
#include "excel/importmapping.h"
#include "excel/importrows.h"
#include "excel/importtable.h"
#include "excel/tableexport.h"
#include "excel/workbookreader.h"
#include "freshdatabase.h"
#include "gui/book/recipientpage.h"
#include "gui/excel/excelactions.h"
#include "gui/excel/importmappingdialog.h"
#include "scriptedprompt.h"
#include "tempworkdir.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <optional>

Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(Prompt::Button)

namespace
{

using Picks = QList<QPair<QString, QString>>; // caption, title
using Rows = QList<QStringList>;

QString fixture(const QString& name)
{
    return QStringLiteral(WAYLARK_TEST_DATA "/excel/") + name;
}

QByteArray gb(const QString& text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

const QString kNoTitles =
    QStringLiteral("右边字段全为空！\n请正确设置字段对应关系并再次确认Excel文件的标题行号！");
const QString kBadRow = QStringLiteral("标题行号必须是大于0的整数！");
const QString kDone = QStringLiteral("数据导入成功！");
// The done message after N rows came in.
QString done(int rows)
{
    return kDone + QStringLiteral("\n成功导入 %1 条收件人记录。").arg(rows);
}
const QStringList kOld = {QStringLiteral("老客户甲"), QStringLiteral("老客户乙")};

// The recipient columns in the order the table defines them.
const QStringList kTableColumns = {"ID",      "Name",    "Company",   "Address",     "Mobile",
                                   "Phone",   "ExpName", "WayBillNo", "Disrination", "PostCode",
                                   "Prvince", "City",    "Country",   "Custom1",     "Custom2",
                                   "Custom3", "Custom4", "Custom5",   "Order_No"};

// A CSV of 100 customers under titles in row 1; the name is column B.
QByteArray hundredCustomers()
{
    QByteArray csv = "编号,名字,手机,住址\r\n";
    for (int i = 1; i <= 100; ++i)
        csv += QStringLiteral("%1,客户%1,1380000%2,地址%1\r\n")
                   .arg(i)
                   .arg(i, 4, 10, QLatin1Char('0'))
                   .toUtf8();
    return csv;
}

// The picks that give a recipient what it needs, from the sheet "名单".
const Picks kNeeded = {{"收件人姓名", "姓名"}, {"手机", "手机"}, {"详细地址", "地址"}};
// Its names in sheet order, the empty row left out.
const QStringList kListNames = {"张三", "李四", "王五", "赵六"};

} // namespace

class TestExcelWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempWorkDir> m_tmp;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<DataModule> m_dm;
    Session m_session;
    std::unique_ptr<RecipientPage> m_page;
    ImportMappingDialog* m_dialog = nullptr;

    Dataset* att() const { return m_dm->recipients; }

    bool exec(const QString& sql)
    {
        QSqlQuery q(m_dm->database());
        if (!q.exec(sql)) {
            qWarning() << sql << q.lastError().text();
            return false;
        }
        return true;
    }

    // Columns of every recipient row as the file holds them, in row order;
    // null reads as empty.
    Rows table(const QStringList& columns)
    {
        QSqlQuery q(m_dm->database());
        q.exec(QStringLiteral("SELECT %1 FROM Exp_Att_Info ORDER BY rowid")
                   .arg(columns.join(QLatin1Char(','))));
        Rows rows;
        while (q.next()) {
            QStringList row;
            for (int i = 0; i < columns.size(); ++i)
                row << q.value(i).toString();
            rows << row;
        }
        return rows;
    }
    QStringList names()
    {
        QStringList out;
        for (const QStringList& row : table({QStringLiteral("Name")}))
            out << row.first();
        return out;
    }

    void addRecipients(const QStringList& names)
    {
        RecipientRows rows(att());
        for (const QString& n : names)
            rows.append({{QStringLiteral("Name"), n}});
    }

    // Runs INSIDE while the next modal dialog is up, then closes whatever
    // modal dialog is still open so that a failing check cannot hang.
    static void whileModal(const std::function<void()>& inside)
    {
        QTimer::singleShot(0, [inside] {
            inside();
            if (QWidget* w = QApplication::activeModalWidget())
                w->close();
        });
    }

    // Shows the dialog for FILE as "从Excel文件导入" would after the open
    // dialog.
    bool openDialog(const QString& file)
    {
        m_dialog->setFileName(file);
        m_dialog->show();
        return QTest::qWaitForWindowExposed(m_dialog);
    }

    void chooseSheet(const QString& name)
    {
        QListWidget* list = m_dialog->findChild<QListWidget*>("sheetList");
        const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(name));
        const QRect r = list->visualItemRect(found.first());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    }

    // The user opens the value's pick list, moves to TITLE and presses Enter.
    void pickTitle(const QString& caption, const QString& title)
    {
        const int row = importFieldIndex(caption);
        QVERIFY2(row >= 0, qPrintable(caption));
        QComboBox* box = m_dialog->valueBox(row);
        QVERIFY(box);
        const int index = box->findText(title, Qt::MatchExactly);
        QVERIFY2(index >= 0, qPrintable(title));
        box->showPopup();
        QAbstractItemView* view = box->view();
        view->setCurrentIndex(view->model()->index(index, 0));
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(box->currentText(), title);
    }
    // Every mapping row back to its empty entry, undoing the proposal, so
    // that only what a test picks is imported.
    void clearMapping()
    {
        for (int row = 0; row < m_dialog->findChild<QTableWidget*>("mappingTable")->rowCount();
             ++row)
            m_dialog->valueBox(row)->setCurrentIndex(0);
    }
    void pickTitles(const Picks& picks)
    {
        clearMapping();
        for (const auto& [caption, title] : picks) {
            pickTitle(caption, title);
            if (QTest::currentTestFailed())
                return;
        }
    }

    QStringList pickList(int row) const
    {
        QStringList items;
        const QComboBox* box = m_dialog->valueBox(row);
        for (int i = 0; box && i < box->count(); ++i)
            items << box->itemText(i);
        return items;
    }

    // "确定"; SPLIT leaves "拆分完整地址" as the mapping proposed it, else it is
    // unticked first, so that tests of other things import the sheet as it is.
    void clickOk(bool split = false)
    {
        auto* box = m_dialog->findChild<QCheckBox*>("splitAddressBox");
        if (!split && box->isChecked())
            QTest::mouseClick(box, Qt::LeftButton);
        QTest::mouseClick(m_dialog->findChild<QPushButton*>("okButton"), Qt::LeftButton);
    }

    QList<ScriptedPrompt::Shown> shownOf(const QString& kind) const
    {
        QList<ScriptedPrompt::Shown> out;
        for (const ScriptedPrompt::Shown& s : m_prompt->shown)
            if (s.kind == kind)
                out << s;
        return out;
    }

    // The old recipients are still there, in the file and in the grid.
    void checkOldRowsKept()
    {
        QCOMPARE(names(), kOld);
        QCOMPARE(att()->recordCount(), kOld.size());
        QCOMPARE(m_page->findChild<QTableView*>("recipientGrid")->model()->rowCount(), kOld.size());
        QVERIFY(!att()->controlsDisabled());
    }

private Q_SLOTS:
    void init()
    {
        m_tmp = std::make_unique<TempWorkDir>();
        QVERIFY(makeFreshAppDir(m_tmp->path()));
        QCOMPARE(restoreHeader(QString::fromLatin1(DataModule::kDatabaseFileName)),
                 HeaderGuard::Result::Written);
        m_dm = std::make_unique<DataModule>();
        m_dm->connectDatabase();
        m_dm->openAll();
        m_session = Session::forAppDir(m_tmp->appDir());
        m_prompt = std::make_unique<ScriptedPrompt>();

        // The recipient tab with its two buttons wired as the main window
        // wires them, and the one import dialog made at start-up.
        m_page = std::make_unique<RecipientPage>();
        m_page->bindData(m_dm.get(), &m_session);
        m_dialog = new ImportMappingDialog(m_dm.get(), &m_session, m_page.get());
        DataModule* dm = m_dm.get();
        RecipientPage* page = m_page.get();
        ImportMappingDialog* dialog = m_dialog;
        connect(page, &RecipientPage::importRequested, page,
                [dialog] { dialog->chooseFileAndOpen(); });
        connect(page, &RecipientPage::exportRequested, page,
                [dm] { ExcelActions::exportRecipients(dm); });
        m_page->resize(1000, 700);
        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
        addRecipients(kOld);
    }
    void cleanup()
    {
        m_page.reset();
        m_dialog = nullptr;
        m_dm.reset();
        m_prompt.reset();
        m_tmp.reset();
    }

    // --- Import through the window -----------------------------------------

    void importFromTheButton()
    {
        const QString file = fixture(QStringLiteral("recipients.xls"));
        m_prompt->files.enqueue(file);
        bool visible = false;
        QStringList sheets;
        whileModal([&] {
            visible = m_dialog->isVisible();
            for (int i = 0; i < m_dialog->findChild<QListWidget*>("sheetList")->count(); ++i)
                sheets << m_dialog->findChild<QListWidget*>("sheetList")->item(i)->text();
            chooseSheet(QStringLiteral("名单"));
            pickTitles(kNeeded);
            clickOk();
        });
        QTest::mouseClick(m_page->findChild<QToolButton*>("importButton"), Qt::LeftButton);

        QVERIFY(visible);
        QCOMPARE(m_dialog->windowTitle(), QStringLiteral("字段对应设置"));
        QCOMPARE(sheets, (QStringList{QStringLiteral("名单"), QStringLiteral("标题在第三行"),
                                      QStringLiteral("重名"), QStringLiteral("偏移")}));
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->fileName(), file);

        // One question, after replacing was chosen, saying so.
        const auto questions = shownOf(QStringLiteral("question"));
        QCOMPARE(questions.size(), 1);
        QCOMPARE(questions.first().text,
                 QStringLiteral("将清空现有的 2 条收件人并导入“名单”中的记录，继续？"));
        QCOMPARE(questions.first().caption, QStringLiteral("提示"));
        QCOMPARE(questions.first().defaultButton, Prompt::Button::Cancel);
        QCOMPARE(shownOf(QStringLiteral("open")).size(), 1);
        QCOMPARE(shownOf(QStringLiteral("progress")).size(), 1);
        QCOMPARE(m_prompt->messages(), QStringList{done(4)});

        // The empty sheet row is no recipient.
        const Rows rows =
            table({QStringLiteral("Name"), QStringLiteral("Mobile"), QStringLiteral("Company")});
        QCOMPARE(rows, (Rows{{"张三", "13812345678", ""},
                             {"李四", "13900001111", ""},
                             {"王五", "", ""},
                             {"赵六", "15000000000", ""}}));
        QCOMPARE(att()->recordCount(), 4);
        QCOMPARE(m_page->findChild<QTableView*>("recipientGrid")->model()->rowCount(), 4);
    }

    void nothingWithoutFile()
    {
        QTest::mouseClick(m_page->findChild<QToolButton*>("importButton"), Qt::LeftButton);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(shownOf(QStringLiteral("open")).size(), 1);
        QCOMPARE(shownOf(QStringLiteral("question")).size(), 0);
        QVERIFY(m_dialog->fileName().isEmpty());
        checkOldRowsKept();
    }

    // "确定" asks once, saying whether the recipients go or stay; only OK
    // writes. An empty table has nothing to lose and is not asked about.
    void confirmationSaysReplaceOrAppend_data()
    {
        QTest::addColumn<bool>("append");
        QTest::addColumn<bool>("emptyTable");
        QTest::addColumn<Prompt::Button>("answer");
        QTest::addColumn<QString>("question"); // empty: none
        QTest::addColumn<QStringList>("names");
        const QString replace =
            QStringLiteral("将清空现有的 2 条收件人并导入“名单”中的记录，继续？");
        const QString append =
            QStringLiteral("将把“名单”中的记录追加到现有的 2 条收件人之后，继续？");
        QTest::newRow("replace") << false << false << Prompt::Button::Ok << replace << kListNames;
        QTest::newRow("replace cancelled")
            << false << false << Prompt::Button::Cancel << replace << kOld;
        QTest::newRow("append") << true << false << Prompt::Button::Ok << append
                                << kOld + kListNames;
        QTest::newRow("append cancelled")
            << true << false << Prompt::Button::Cancel << append << kOld;
        QTest::newRow("empty table") << false << true << Prompt::Button::Cancel << "" << kListNames;
    }
    void confirmationSaysReplaceOrAppend()
    {
        QFETCH(bool, append);
        QFETCH(bool, emptyTable);
        QFETCH(Prompt::Button, answer);
        QFETCH(QString, question);
        QFETCH(QStringList, names);
        if (emptyTable)
            RecipientRows(att()).empty();
        m_prompt->answers.enqueue(answer);
        QVERIFY(openDialog(fixture(QStringLiteral("recipients.xls"))));
        chooseSheet(QStringLiteral("名单"));
        pickTitles(kNeeded);
        if (append)
            QTest::mouseClick(m_dialog->findChild<QCheckBox*>("appendBox"), Qt::LeftButton);
        clickOk();
        const auto questions = shownOf(QStringLiteral("question"));
        QCOMPARE(questions.size(), question.isEmpty() ? 0 : 1);
        if (!question.isEmpty())
            QCOMPARE(questions.first().text, question);
        QCOMPARE(this->names(), names);
        const bool written = question.isEmpty() || answer == Prompt::Button::Ok;
        QCOMPARE(m_prompt->messages(), written ? QStringList{done(4)} : QStringList());
        QCOMPARE(shownOf(QStringLiteral("progress")).size(), written ? 1 : 0);
        QCOMPARE(m_dialog->isVisible(), !written);
        m_dialog->reject();
    }

    void openDialogOffersEveryKindInAnyCase_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("offered");
        QTest::newRow("xls") << "a.xls" << true;
        QTest::newRow("XLS") << "A.XLS" << true;
        QTest::newRow("Xlsx") << "b.Xlsx" << true;
        QTest::newRow("CSV") << "c.CSV" << true;
        QTest::newRow("csv") << "d.csv" << true;
        QTest::newRow("txt") << "e.txt" << false;
        QTest::newRow("xlsm") << "f.xlsm" << false;
    }
    void openDialogOffersEveryKindInAnyCase()
    {
        // The first filter, which the dialog starts with, takes every
        // readable kind.
        QFETCH(QString, name);
        QFETCH(bool, offered);
        const QString first = WorkbookReader::fileFilter().section(QLatin1String(";;"), 0, 0);
        const QString patterns = first.section(QLatin1Char('('), 1).chopped(1);
        bool matched = false;
        for (const QString& pattern : patterns.split(QLatin1Char(' '))) {
            // The program's file dialog matches without regard to letter case.
            const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(pattern),
                                        QRegularExpression::CaseInsensitiveOption);
            matched = matched || re.match(name).hasMatch();
        }
        QCOMPARE(matched, offered);
    }

    void importReplacesTheTable_data()
    {
        QTest::addColumn<QString>("file"); // a fixture, or "客户.csv" made here
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<Picks>("picks");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<Rows>("rows");

        QTest::newRow("xls: numbers, dates, formulas, empty cells and an empty row")
            << "recipients.xls"
            << "名单"
            << Picks{{"收件人姓名", "姓名"}, {"手机", "手机"},        {"固定电话", "固定电话"},
                     {"详细地址", "地址"},   {"自定义字段1", "称呼"}, {"自定义字段2", "下单日期"},
                     {"自定义字段5", "检查"}}
            << QStringList{"Name",    "Mobile",  "Phone",   "Address", "Custom1",
                           "Custom2", "Custom5", "Company", "ExpName"}
            << Rows{{"张三", "13812345678", "", "北京市海淀区中关村大街1号", "张三先生",
                     "2024-03-05", "#N/A", "", ""},
                    {"李四", "13900001111", "010-62345678", "上海市, 浦东新区 \"世纪\"大道",
                     "李四女士", "2023-12-31", "#DIV/0!", "", ""},
                    {"王五", "", "02012345678", "广州", "王五", "", "TRUE", "", ""},
                    {"赵六", "15000000000", "", "", "赵", "1999-01-01", "1.23456789012346E+17", "",
                     ""}};
        QTest::newRow("xlsx: two columns titled alike, the rightmost counts")
            << "recipients.xlsx"
            << "重名" << Picks{{"收件人姓名", "姓名"}, {"固定电话", "电话"}, {"详细地址", "地址"}}
            << QStringList{"Name", "Phone", "Mobile"} << Rows{{"甲", "右1", ""}, {"乙", "右2", ""}};
        QTest::newRow("gbk csv: quoted commas, quotes and line breaks")
            << "gbk.csv"
            << "gbk"
            << Picks{{"收件人姓名", "姓名"},
                     {"手机", "手机"},
                     {"详细地址", "地址"},
                     {"自定义字段3", "备注"}}
            << QStringList{"Name", "Mobile", "Address", "Custom3"}
            << Rows{{"张三", "13812345678", "北京市,海淀区", "他说\"你好\""},
                    {"李四", "013900001111", "上海市\n浦东新区", "  前后空格  "},
                    {"王五", "", "广州", ""}};
        Rows hundred;
        for (int i = 1; i <= 100; ++i)
            hundred << QStringList{QStringLiteral("客户%1").arg(i), QStringLiteral("地址%1").arg(i),
                                   QStringLiteral("1380000%1").arg(i, 4, 10, QLatin1Char('0')),
                                   QString()};
        QTest::newRow("csv: 100 rows, the name from column B")
            << "客户.csv"
            << "客户" << Picks{{"收件人姓名", "名字"}, {"手机", "手机"}, {"详细地址", "住址"}}
            << QStringList{"Name", "Address", "Mobile", "Phone"} << hundred;
    }
    void importReplacesTheTable()
    {
        QFETCH(QString, file);
        QFETCH(QString, sheet);
        QFETCH(Picks, picks);
        QFETCH(QStringList, columns);
        QFETCH(Rows, rows);
        QString path = fixture(file);
        if (!QFile::exists(path)) {
            path = m_tmp->filePath(file);
            QVERIFY(writeFile(path, hundredCustomers()));
        }
        QVERIFY(openDialog(path));
        chooseSheet(sheet);
        pickTitles(picks);
        clickOk();
        QCOMPARE(m_prompt->messages(), QStringList{done(int(rows.size()))});
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(table(columns), rows);
        QCOMPARE(att()->recordCount(), rows.size());
    }

    void mappingEditorIsFixed()
    {
        QVERIFY(openDialog(fixture(QStringLiteral("recipients.xlsx"))));
        QTableWidget* editor = m_dialog->findChild<QTableWidget*>("mappingTable");
        QCOMPARE(editor->rowCount(), 0);
        chooseSheet(QStringLiteral("名单"));
        QCOMPARE(editor->rowCount(), 16);
        QCOMPARE(editor->horizontalHeaderItem(0)->text(), QStringLiteral("打印字段"));
        QCOMPARE(editor->horizontalHeaderItem(1)->text(), QStringLiteral("Excel文件中提供字段"));
        QStringList captions;
        for (int row = 0; row < editor->rowCount(); ++row) {
            captions << editor->item(row, 0)->text();
            QVERIFY(!(editor->item(row, 0)->flags() & Qt::ItemIsEditable));
            QVERIFY(!m_dialog->valueBox(row)->isEditable()); // picked, never typed
        }
        QCOMPARE(captions, importCaptions());
        // Titles named like a caption, or as shops name it, come proposed.
        QStringList proposed(16);
        proposed[0] = QStringLiteral("姓名");
        proposed[2] = QStringLiteral("地址");
        proposed[3] = QStringLiteral("手机");
        proposed[4] = QStringLiteral("固定电话");
        QCOMPARE(m_dialog->chosenTitles(), proposed);
        // The pick list: one empty entry, then the title row's texts.
        QCOMPARE(pickList(0), (QStringList{"", "姓名", "手机", "固定电话", "地址", "下单日期",
                                           "发货时间", "已付款", "金额", "合计", "称呼", "检查"}));

        // No key deletes a row.
        editor->setFocus();
        editor->selectRow(3);
        QTest::keyClick(editor, Qt::Key_Delete);
        QTest::keyClick(editor, Qt::Key_Backspace);
        QCOMPARE(editor->rowCount(), 16);
        QCOMPARE(editor->item(3, 0)->text(), QStringLiteral("手机"));
    }

    void okRefusals_data()
    {
        QTest::addColumn<bool>("chooseFirst");
        QTest::addColumn<QString>("message");
        QTest::newRow("no sheet chosen") << false << "请点选左边框内要打印的工作表！";
        QTest::newRow("every title empty") << true << kNoTitles;
    }
    void okRefusals()
    {
        QFETCH(bool, chooseFirst);
        QFETCH(QString, message);
        QVERIFY(openDialog(fixture(QStringLiteral("recipients.xls"))));
        if (chooseFirst) {
            chooseSheet(QStringLiteral("名单"));
            clearMapping();
        }
        clickOk();
        QCOMPARE(m_prompt->messages(), QStringList{message});
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(shownOf(QStringLiteral("progress")).size(), 0);
        checkOldRowsKept();
    }

    void cancelKeepsTableAndNextShowingStartsAfresh()
    {
        QVERIFY(openDialog(fixture(QStringLiteral("recipients.xls"))));
        QTest::mouseClick(m_dialog->findChild<QCheckBox*>("firstRowTitlesBox"),
                          Qt::LeftButton); // before a sheet: nothing
        QVERIFY(m_prompt->shown.isEmpty());
        QVERIFY(!m_dialog->findChild<QCheckBox*>("firstRowTitlesBox")->isChecked());
        m_prompt->inputs.enqueue(QStringLiteral("1"));
        chooseSheet(QStringLiteral("名单"));
        pickTitle(QStringLiteral("收件人姓名"), QStringLiteral("姓名"));
        QTest::mouseClick(m_dialog->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
        QVERIFY(!m_dialog->isVisible());
        checkOldRowsKept();

        QVERIFY(openDialog(fixture(QStringLiteral("recipients.xlsx"))));
        QCOMPARE(m_dialog->findChild<QListWidget*>("sheetList")->count(), 4);
        QCOMPARE(m_dialog->findChild<QTableWidget*>("mappingTable")->rowCount(), 0);
        QVERIFY(!m_dialog->findChild<QCheckBox*>("firstRowTitlesBox")
                     ->isChecked()); // the box outlives the showing
        m_dialog->reject();
    }

    // Titles in row 3 under a heading (used range rows 1 to 12): with the box
    // unticked the input box gives the title row, and sheet rows 4 to 12 are
    // read, none past the last.
    void titleRowFromTheInputBox()
    {
        QVERIFY(openDialog(fixture(QStringLiteral("recipients.xls"))));
        QTest::mouseClick(m_dialog->findChild<QCheckBox*>("firstRowTitlesBox"), Qt::LeftButton);
        m_prompt->inputs.enqueue(QStringLiteral("3"));
        chooseSheet(QStringLiteral("标题在第三行"));
        const auto inputs = shownOf(QStringLiteral("input"));
        QCOMPARE(inputs.size(), 1);
        QCOMPARE(inputs.first().caption, QStringLiteral("请指定要导入的Excel文件标题行号"));
        QCOMPARE(inputs.first().text, QStringLiteral("系统提示     "));
        QCOMPARE(m_dialog->titleRow(), 3);
        QCOMPARE(pickList(0), (QStringList{"", "序号", "收件人", "电话", "地址"}));
        pickTitles({{QStringLiteral("收件人姓名"), QStringLiteral("收件人")},
                    {QStringLiteral("手机"), QStringLiteral("电话")},
                    {QStringLiteral("详细地址"), QStringLiteral("地址")}});
        clickOk();
        QCOMPARE(m_prompt->messages(), QStringList{done(9)});
        Rows expected;
        for (int i = 1; i <= 9; ++i)
            expected << QStringList{QStringLiteral("收件人%1").arg(i),
                                    QStringLiteral("1380000000%1").arg(i)};
        QCOMPARE(table({QStringLiteral("Name"), QStringLiteral("Mobile")}), expected);
    }

    void checkBoxRebuildsTheMapping_data()
    {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<int>("titleRow");
        QTest::addColumn<QStringList>("picks"); // of the first mapping row afterwards
        QTest::addColumn<QString>("error");
        const QStringList row1 = {"2024年3月订单", "", "", ""};
        const QStringList row3 = {"序号", "收件人", "电话", "地址"};
        const QStringList before = QStringList{""} + row1;
        QTest::newRow("3") << std::optional<QString>("3") << false << 3 << row3 << "";
        QTest::newRow("1 ticks the box again")
            << std::optional<QString>("1") << true << 1 << row1 << "";
        QTest::newRow("cancelled gives 1") << std::optional<QString>() << true << 1 << row1 << "";
        QTest::newRow("0") << std::optional<QString>("0") << true << 1 << before << kBadRow;
        QTest::newRow("not a number")
            << std::optional<QString>("三") << true << 1 << before << kBadRow;
        QTest::newRow("fraction") << std::optional<QString>("2.5") << true << 1 << before
                                  << kBadRow;
    }
    void checkBoxRebuildsTheMapping()
    {
        QFETCH(std::optional<QString>, answer);
        QFETCH(bool, ticked);
        QFETCH(int, titleRow);
        QFETCH(QStringList, picks);
        QFETCH(QString, error);
        QVERIFY(openDialog(fixture(QStringLiteral("recipients.xlsx"))));
        chooseSheet(QStringLiteral("标题在第三行"));
        QVERIFY(shownOf(QStringLiteral("input")).isEmpty()); // ticked: row 1, no question
        pickTitle(QStringLiteral("收件人姓名"), QStringLiteral("2024年3月订单"));

        m_prompt->inputs.enqueue(answer);
        QTest::mouseClick(m_dialog->findChild<QCheckBox*>("firstRowTitlesBox"), Qt::LeftButton);
        QCOMPARE(shownOf(QStringLiteral("input")).size(), 1);
        QCOMPARE(m_dialog->findChild<QCheckBox*>("firstRowTitlesBox")->isChecked(), ticked);
        QCOMPARE(m_dialog->titleRow(), titleRow);
        QCOMPARE(m_dialog->findChild<QTableWidget*>("mappingTable")->rowCount(), 16);
        QCOMPARE(pickList(0), picks);
        QCOMPARE(pickList(14), picks);
        if (error.isEmpty()) {
            // Rebuilt: the earlier choice is gone, and no empty entry
            // offered; what the new title row names alike is proposed.
            QVERIFY(m_prompt->messages().isEmpty());
            QStringList proposed(16);
            if (titleRow == 3) {
                proposed[0] = QStringLiteral("收件人");
                proposed[2] = QStringLiteral("地址");
                proposed[4] = QStringLiteral("电话");
            }
            QCOMPARE(m_dialog->chosenTitles(), proposed);
        } else {
            QCOMPARE(m_prompt->messages(), QStringList{error});
            QCOMPARE(m_dialog->chosenTitles().first(), QStringLiteral("2024年3月订单"));
        }
        m_dialog->reject();
    }

    void badTitleRowOnSheetChoice()
    {
        QVERIFY(openDialog(fixture(QStringLiteral("recipients.xls"))));
        QTest::mouseClick(m_dialog->findChild<QCheckBox*>("firstRowTitlesBox"), Qt::LeftButton);
        m_prompt->inputs.enqueue(QStringLiteral("-1"));
        chooseSheet(QStringLiteral("名单"));
        QCOMPARE(m_prompt->messages(), QStringList{kBadRow});
        // The rows were made before the answer; nothing can be picked.
        QCOMPARE(m_dialog->findChild<QTableWidget*>("mappingTable")->rowCount(), 16);
        QCOMPARE(pickList(0), QStringList());
        clickOk();
        QCOMPARE(m_prompt->lastMessage(), kNoTitles);
        checkOldRowsKept();
        m_dialog->reject();
    }

    void unreadableWorkbookIsNamed_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "gone.xls" << QByteArray() << "文件不存在";
        QTest::newRow("not a workbook") << "junk.xlsx" << QByteArray("a,b\n") << "不是Excel工作簿";
        QTest::newRow("cut short")
            << "cut.xls" << readAll(fixture(QStringLiteral("recipients.xls"))).left(3000) << "损坏";
    }
    void unreadableWorkbookIsNamed()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        const QString path = m_tmp->filePath(name);
        if (!content.isNull())
            QVERIFY(writeFile(path, content));
        QVERIFY(openDialog(path));
        // What happened, with the file named; no word of components this
        // system does not have.
        const QStringList lines = m_prompt->lastMessage().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.at(0).startsWith(QStringLiteral("无法读取文件“")) &&
                     lines.at(0).contains(path) && lines.at(0).contains(reason),
                 qPrintable(lines.at(0)));
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(m_dialog->findChild<QListWidget*>("sheetList")->count(), 0);
        clickOk();
        QCOMPARE(m_prompt->lastMessage(), QStringLiteral("请点选左边框内要打印的工作表！"));
        checkOldRowsKept();
        m_dialog->reject();
    }

    // A failure half-way and a cancel of the progress both leave the old
    // recipients; the dialog stays open and a second try can succeed.
    void rollback_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("the table refuses the fourth row") << false;
        QTest::newRow("progress cancelled at row 2") << true;
    }
    void rollback()
    {
        QFETCH(bool, cancel);
        if (cancel)
            m_prompt->cancelProgressAt = 2;
        else
            QVERIFY(exec(QStringLiteral(
                "CREATE TRIGGER full BEFORE INSERT ON Exp_Att_Info WHEN NEW.Name = '王五' "
                "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END")));
        QVERIFY(openDialog(fixture(QStringLiteral("recipients.xls"))));
        chooseSheet(QStringLiteral("名单"));
        pickTitles(kNeeded);
        clickOk();
        if (cancel) {
            QCOMPARE(m_prompt->messages(), QStringList{importCanceledMessage()});
        } else {
            QCOMPARE(m_prompt->messages().size(), 1);
            const QStringList lines = m_prompt->lastMessage().split(QLatin1Char('\n'));
            QCOMPARE(lines.first(), QStringLiteral("数据导入失败，原有的收件人记录保持不变。"));
            QVERIFY2(lines.last().contains(QLatin1String("database or disk is full")),
                     qPrintable(lines.last()));
        }
        QVERIFY(m_dialog->isVisible());
        checkOldRowsKept();

        m_prompt->cancelProgressAt = -1;
        QVERIFY(exec(QStringLiteral("DROP TRIGGER IF EXISTS full")));
        m_prompt->clear();
        clickOk();
        QCOMPARE(m_prompt->messages(), QStringList{done(4)});
        QCOMPARE(names(), kListNames);
        QCOMPARE(m_page->findChild<QTableView*>("recipientGrid")->model()->rowCount(), 4);
    }

    // --- Proposed mapping, appending, preview -------------------------------

    void automaticMappingFindsUsualTitles_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("lines"); // CAPTION=TITLE proposed
        QTest::newRow("the captions themselves")
            << QStringList{"收件人姓名", "单位",   "详细地址",   "手机", "固定电话",   "目的地",
                           "收件省",     "收件市", "收件区(县)", "邮编", "自定义字段3"}
            << QStringList{"收件人姓名=收件人姓名",  "单位=单位",
                           "详细地址=详细地址",      "手机=手机",
                           "固定电话=固定电话",      "目的地=目的地",
                           "收件省=收件省",          "收件市=收件市",
                           "收件区(县)=收件区(县)",  "邮编=邮编",
                           "自定义字段3=自定义字段3"};
        QTest::newRow("a shop's export")
            << QStringList{"订单号", "收货人", "手机号码", "固话",     "省份",
                           "城市",   "区县",   "收货地址", "邮政编码", "公司"}
            << QStringList{"收件人姓名=收货人", "单位=公司",       "详细地址=收货地址",
                           "手机=手机号码",     "固定电话=固话",   "收件省=省份",
                           "收件市=城市",       "收件区(县)=区县", "邮编=邮政编码",
                           "订单编号=订单号"};
        QTest::newRow("short names")
            << QStringList{"姓名", "手机号", "电话", "地址", "省", "市", "县"}
            << QStringList{"收件人姓名=姓名", "详细地址=地址", "手机=手机号",  "固定电话=电话",
                           "收件省=省",       "收件市=市",     "收件区(县)=县"};
        QTest::newRow("the caption wins over a usual name")
            << QStringList{"姓名", "收件人姓名", "地址", "详细地址"}
            << QStringList{"收件人姓名=收件人姓名", "详细地址=详细地址"};
        QTest::newRow("blanks around a title, full-width too")
            << QStringList{" 姓名 ", "\u3000手机\u3000"}
            << QStringList{"收件人姓名= 姓名 ", "手机=\u3000手机\u3000"};
        QTest::newRow("only the order number alike")
            << QStringList{"编号", "订单号", "商品名称"} << QStringList{"订单编号=订单号"};
        QTest::newRow("nothing alike") << QStringList{"编号", "商品名称"} << QStringList{};
        QTest::newRow("order numbers, plural")
            << QStringList{"订单编号（s）"} << QStringList{"订单编号=订单编号（s）"};
        QTest::newRow("our own export")
            << QStringList{"ID", "Name", "Order_No"} << QStringList{"订单编号=Order_No"};
        QTest::newRow("taobao") << QStringList{"订单编号", "买家会员名", "收货人姓名",
                                               "收货地址", "运送方式",   "联系电话",
                                               "联系手机", "买家留言",   "修改后的收货地址"}
                                << QStringList{"收件人姓名=收货人姓名", "详细地址=收货地址",
                                               "手机=联系手机",         "固定电话=联系电话",
                                               "自定义字段1=买家留言",  "订单编号=订单编号"};
        QTest::newRow("jd") << QStringList{"订单号", "客户姓名", "客户地址", "联系电话", "订单备注"}
                            << QStringList{"收件人姓名=客户姓名", "详细地址=客户地址",
                                           "固定电话=联系电话", "订单编号=订单号"};
        QTest::newRow("douyin") << QStringList{"收件人", "收件人手机号", "省",       "市",
                                               "区",     "街道",         "详细地址", "买家留言"}
                                << QStringList{"收件人姓名=收件人",   "详细地址=详细地址",
                                               "手机=收件人手机号",   "收件省=省",
                                               "收件市=市",           "收件区(县)=区",
                                               "自定义字段1=买家留言"};
        QTest::newRow("youzan") << QStringList{"收货人/提货人", "收货人手机号/提货人手机号",
                                               "收货人省份",    "收货人城市",
                                               "收货人地区",    "详细收货地址/提货地址",
                                               "收货人邮编"}
                                << QStringList{"收件人姓名=收货人/提货人",
                                               "详细地址=详细收货地址/提货地址",
                                               "手机=收货人手机号/提货人手机号",
                                               "收件省=收货人省份",
                                               "收件市=收货人城市",
                                               "邮编=收货人邮编"};
        QTest::newRow("blanks, punctuation, brackets, 的")
            << QStringList{"收货人 姓名", "收件人（手机）",   "收件人电话：",
                           "区/县",       "收\u3000货 地 址", "收件人的邮政编码"}
            << QStringList{"收件人姓名=收货人 姓名", "详细地址=收\u3000货 地 址",
                           "手机=收件人（手机）",    "固定电话=收件人电话：",
                           "收件区(县)=区/县",       "邮编=收件人的邮政编码"};
        QTest::newRow("an exact match wins over a loose one")
            << QStringList{"收货人手机", "手机", "收货人姓名", "姓名", "收货人地址", "详细地址"}
            << QStringList{"收件人姓名=姓名", "详细地址=详细地址", "手机=手机"};
    }
    void automaticMappingFindsUsualTitles()
    {
        QFETCH(QStringList, titles);
        QFETCH(QStringList, lines);
        QCOMPARE(mappingLines(automaticMapping(titles)), lines);
    }

    // A shop's export as it comes: its own titles, numbers behind guards, an
    // empty row and a totals row that are no recipients.
    void shopExportImports_data()
    {
        QTest::addColumn<bool>("commandLine");
        QTest::newRow("dialog") << false;
        QTest::newRow("command line") << true;
    }
    void shopExportImports()
    {
        QFETCH(bool, commandLine);
        const QString kTwoOrders = QStringLiteral("\n新订单 2 条，已有 0 条未重复导入。");
        ListExportRows sheet(
            {"订单编号", "收货人姓名", "联系电话", "联系手机", "收货地址", "买家留言"},
            {{"'202403050001", "张三", "=\"01062345678\"", "'13800138000", "北京市海淀区",
              "请尽快发货"},
             {"", "", "", "", "", ""},
             {"\t202403050002", "李四", "", "\t13900139000", "上海市", ""},
             {"", " ", "\u3000", "", "", ""},
             {"合计", "", "", "", "", ""}});
        const QString path = m_tmp->filePath(QStringLiteral("订单.xlsx"));
        QString error;
        QVERIFY2(writeXlsx(path, sheet, &error), qPrintable(error));
        if (commandLine) {
            QCOMPARE(ExcelCommand::runImportCommand({path}, m_dm.get(), m_session), 0);
            QCOMPARE(m_prompt->messages(),
                     (QStringList{"导入字段对应：\n收件人姓名=收货人姓名\n详细地址=收货地址\n"
                                  "手机=联系手机\n固定电话=联系电话\n自定义字段1=买家留言\n"
                                  "订单编号=订单编号",
                                  done(2) + kTwoOrders + "\n拆分整段地址 2 条。"}));
        } else {
            QVERIFY(openDialog(path));
            chooseSheet(m_dialog->findChild<QListWidget*>("sheetList")->item(0)->text());
            clickOk(); // the proposal as it stands
            QCOMPARE(m_prompt->messages(), QStringList{done(2) + kTwoOrders});
        }
        // The totals row's "合计" is no order number of a recipient.
        QCOMPARE(table({"Name", "Mobile", "Phone", "Address", "Custom1", "Order_No"}),
                 (Rows{{"张三", "13800138000", "01062345678", "北京市海淀区", "请尽快发货",
                        "202403050001"},
                       {"李四", "13900139000", "", "上海市", "", "202403050002"}}));
    }

    // Nothing to import is refused: the old recipients stay.
    void emptyImportIsRefused_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("commandLine");
        for (const bool commandLine : {false, true}) {
            const char* face = commandLine ? "command line" : "dialog";
            QTest::addRow("%s: the title row only", face) << "titles.csv" << commandLine;
            QTest::addRow("%s: empty strings", face) << "blank.xlsx" << commandLine;
        }
    }
    void emptyImportIsRefused()
    {
        QFETCH(QString, file);
        QFETCH(bool, commandLine);
        const QString path = m_tmp->filePath(file);
        if (file.endsWith(QLatin1String(".csv"))) {
            QVERIFY(writeFile(path, "姓名,手机,地址\r\n"));
        } else {
            ListExportRows sheet({"姓名", "手机", "地址"}, {{"", "", ""}, {" ", "", "\u3000"}});
            QString error;
            QVERIFY2(writeXlsx(path, sheet, &error), qPrintable(error));
        }
        if (commandLine) {
            QCOMPARE(ExcelCommand::runImportCommand({path}, m_dm.get(), m_session), 1);
            QCOMPARE(m_prompt->lastMessage(), importNoRowsMessage(1));
            QCOMPARE(m_prompt->shown.last().kind, QStringLiteral("error"));
        } else {
            QVERIFY(openDialog(path));
            chooseSheet(m_dialog->findChild<QListWidget*>("sheetList")->item(0)->text());
            clickOk();
            QCOMPARE(m_prompt->messages(), QStringList{importNoRowsMessage(1)});
            QVERIFY(m_dialog->isVisible());
            m_dialog->reject();
        }
        checkOldRowsKept();
    }

    // No name, no phone or no address: nothing is asked or written.
    void missingColumnsAreRefused_data()
    {
        QTest::addColumn<QStringList>("args"); // empty: the dialog, name picked only
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("dialog") << QStringList{} << 0
                                << importMissingTitlesMessage(
                                       QStringLiteral("手机或固定电话、详细地址"));
        QTest::newRow("command line, proposed mapping")
            << QStringList{"@orders.csv"} << 1
            << importMissingMapMessage(QStringLiteral("收件人姓名、详细地址"));
        QTest::newRow("command line, nothing maps")
            << QStringList{"@goods.csv"} << 1
            << importMissingMapMessage(QStringLiteral("收件人姓名、手机或固定电话、详细地址"));
    }
    void missingColumnsAreRefused()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        QVERIFY(writeFile(m_tmp->filePath("orders.csv"),
                          "订单号,手机号码,备注\r\n1,13800000000,x\r\n"));
        QVERIFY(writeFile(m_tmp->filePath("goods.csv"), "编号,品名,数量\r\n1,苹果,3\r\n"));
        if (args.isEmpty()) {
            QVERIFY(openDialog(fixture(QStringLiteral("recipients.xls"))));
            chooseSheet(QStringLiteral("名单"));
            pickTitles({{QStringLiteral("收件人姓名"), QStringLiteral("姓名")}});
            clickOk();
            QCOMPARE(m_prompt->messages(), QStringList{message});
            QVERIFY(m_dialog->isVisible());
            m_dialog->reject();
        } else {
            for (QString& arg : args)
                if (arg.startsWith(QLatin1Char('@')))
                    arg = m_tmp->filePath(arg.mid(1));
            QCOMPARE(ExcelCommand::runImportCommand(args, m_dm.get(), m_session), status);
            QCOMPARE(m_prompt->lastMessage(), message);
        }
        QCOMPARE(shownOf(QStringLiteral("question")).size(), 0);
        QCOMPARE(shownOf(QStringLiteral("progress")).size(), 0);
        checkOldRowsKept();
    }

    // A mapping the user made comes back for the same title row, in the
    // dialog and on the command line; another title row gets the proposal.
    void lastMappingIsRemembered()
    {
        const QString file = fixture(QStringLiteral("recipients.xls"));
        QVERIFY(openDialog(file));
        chooseSheet(QStringLiteral("名单"));
        pickTitles({{QStringLiteral("收件人姓名"), QStringLiteral("称呼")},
                    {QStringLiteral("手机"), QStringLiteral("手机")},
                    {QStringLiteral("详细地址"), QStringLiteral("地址")},
                    {QStringLiteral("自定义字段1"), QStringLiteral("金额")}});
        const QStringList picked = m_dialog->chosenTitles();
        clickOk();
        QCOMPARE(m_prompt->messages(), QStringList{done(4)});

        QVERIFY(openDialog(file));
        chooseSheet(QStringLiteral("名单"));
        QCOMPARE(m_dialog->chosenTitles(), picked);
        chooseSheet(QStringLiteral("标题在第三行"));
        QCOMPARE(m_dialog->chosenTitles(),
                 automaticMapping(QStringList{"2024年3月订单", "", "", ""}));
        m_dialog->reject();

        m_prompt->clear();
        QCOMPARE(ExcelCommand::runImportCommand({file}, m_dm.get(), m_session), 0);
        QCOMPARE(m_prompt->messages().first(),
                 QStringLiteral("导入字段对应：\n收件人姓名=称呼\n详细地址=地址\n手机=手机\n"
                                "自定义字段1=金额"));
        QCOMPARE(table({QStringLiteral("Name"), QStringLiteral("Custom1")}).first(),
                 (QStringList{"张三先生", "12.5"}));
    }

    // A mapping remembered before the order numbers had a row of their own
    // still comes back, without them; one longer than the rows is no mapping.
    void olderRememberedMappingIsKept()
    {
        const QStringList titles{"姓名", "手机", "地址", "订单号"};
        QStringList older(15);
        older[0] = "姓名";
        older[2] = "地址";
        QVERIFY(rememberMapping(m_tmp->appDir(), titles, older));
        QStringList expected = older;
        expected.append(QString());
        QCOMPARE(rememberedMapping(m_tmp->appDir(), titles), expected);

        QVERIFY(rememberMapping(m_tmp->appDir(), titles, QStringList(17)));
        QCOMPARE(rememberedMapping(m_tmp->appDir(), titles), QStringList());
        QCOMPARE(proposedMapping(m_tmp->appDir(), titles), automaticMapping(titles));
    }

    // A sheet with whole addresses and no region columns: each address is
    // split, and a row the regions of which are not sure keeps its address
    // whole and is listed; --no-split-address, or unticking "拆分完整地址"
    // in the dialog, takes the sheet as it is.
    void importSplitsWholeAddresses_data()
    {
        QTest::addColumn<bool>("split");
        QTest::addColumn<bool>("dialog");
        QTest::newRow("by default") << true << false;
        QTest::newRow("--no-split-address") << false << false;
        QTest::newRow("dialog, ticked by the mapping") << true << true;
        QTest::newRow("dialog, unticked") << false << true;
    }
    void importSplitsWholeAddresses()
    {
        QFETCH(bool, split);
        QFETCH(bool, dialog);
        const QString path = m_tmp->filePath(QStringLiteral("整段地址.csv"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("姓名,手机,地址\n"
                "张三,13800138000,浙江省杭州市西湖区文三路100号\n"
                "李四,13900000000,鼓楼区中山路1号\n"
                "王五,13700000000,文三路1号\n");
        f.close();
        if (dialog) {
            QVERIFY(openDialog(path));
            chooseSheet(QStringLiteral("整段地址"));
            pickTitles(kNeeded);
            auto* box = m_dialog->findChild<QCheckBox*>("splitAddressBox");
            QVERIFY(box->isChecked()); // the address is mapped, the regions are not
            clickOk(split);
        } else {
            QStringList args{path,        "--map", "收件人姓名=姓名", "--map",
                             "手机=手机", "--map", "详细地址=地址"};
            if (!split)
                args << "--no-split-address";
            QCOMPARE(ExcelCommand::runImportCommand(args, m_dm.get(), m_session), 0);
        }
        const QString summary = "\n拆分整段地址 1 条。\n地区待确认 1 条（第 3 行）。\n"
                                "未识别 1 条（第 4 行）。\n"
                                "这些行的完整地址保留在详细地址中，请选择省、市、区县。";
        QCOMPARE(m_prompt->lastMessage(), split ? done(3) + summary : done(3));
        const QList<QStringList> rows =
            table({"Prvince", "City", "Country", "Disrination", "Address"});
        QCOMPARE(rows.at(0),
                 split ? QStringList({"浙江省", "杭州市", "西湖区", "杭州市", "文三路100号"})
                       : QStringList({"", "", "", "", "浙江省杭州市西湖区文三路100号"}));
        QCOMPARE(rows.at(1), QStringList({"", "", "", "", "鼓楼区中山路1号"}));
        QCOMPARE(rows.at(2), QStringList({"", "", "", "", "文三路1号"}));
    }

    void appendKeepsTheRecipients_data()
    {
        QTest::addColumn<bool>("commandLine");
        QTest::newRow("dialog") << false;
        QTest::newRow("command line") << true;
    }
    void appendKeepsTheRecipients()
    {
        QFETCH(bool, commandLine);
        const QString file = fixture(QStringLiteral("recipients.xls"));
        if (commandLine) {
            QCOMPARE(ExcelCommand::runImportCommand(
                         {file, QStringLiteral("--append"), QStringLiteral("--map"),
                          QStringLiteral("收件人姓名=姓名"), QStringLiteral("--map"),
                          QStringLiteral("固定电话=固定电话"), QStringLiteral("--map"),
                          QStringLiteral("详细地址=地址")},
                         m_dm.get(), m_session),
                     0);
        } else {
            QVERIFY(openDialog(file));
            QVERIFY(!m_dialog->findChild<QCheckBox*>("appendBox")
                         ->isChecked()); // replacing is the default
            chooseSheet(QStringLiteral("名单"));
            pickTitles(kNeeded);
            QTest::mouseClick(m_dialog->findChild<QCheckBox*>("appendBox"), Qt::LeftButton);
            clickOk();
        }
        // The command line splits whole addresses by default; the dialog was
        // told not to.
        QCOMPARE(m_prompt->lastMessage(),
                 commandLine ? done(4) + "\n拆分整段地址 3 条。" : done(4));
        QCOMPARE(names(), kOld + kListNames);
        QCOMPARE(m_page->findChild<QTableView*>("recipientGrid")->model()->rowCount(), 6);
        if (!commandLine) {
            // The next import starts from replacing again.
            QVERIFY(openDialog(file));
            QVERIFY(!m_dialog->findChild<QCheckBox*>("appendBox")->isChecked());
            m_dialog->reject();
        }
    }

    // The order numbers go out with the export and come back with its
    // import, under the export's own title.
    void orderNumbersSurviveExportAndImport_data()
    {
        QTest::addColumn<bool>("workbook");
        QTest::addColumn<bool>("dialog"); // picked by hand there
        QTest::newRow("xlsx") << true << false;
        QTest::newRow("tab text under .xls") << false << false;
        QTest::newRow("xlsx, dialog") << true << true;
        QTest::newRow("tab text under .xls, dialog") << false << true;
    }
    void orderNumbersSurviveExportAndImport()
    {
        QFETCH(bool, workbook);
        QFETCH(bool, dialog);
        RecipientRows rows(att());
        rows.append({{"Name", "张三"},
                     {"Mobile", "13800138000"},
                     {"Address", "人民路1号"},
                     {"Order_No", "202403050001"}});
        rows.append({{"Name", "李四"},
                     {"Mobile", "13900139000"},
                     {"Address", "中山路2号"},
                     {"Order_No", "202403050002,202403050003"}});
        const Rows before = table({"Name", "Order_No"});
        const QString path = m_tmp->filePath(workbook ? "导出.xlsx" : "导出.xls");
        exportTable(att(), path, workbook ? ExportFormat::Xlsx : ExportFormat::TabText);

        if (dialog) {
            QVERIFY(openDialog(path));
            chooseSheet(m_dialog->findChild<QListWidget*>("sheetList")->item(0)->text());
            pickTitles({{"收件人姓名", "Name"},
                        {"手机", "Mobile"},
                        {"详细地址", "Address"},
                        {"订单编号", "Order_No"}});
            clickOk();
        } else {
            QCOMPARE(ExcelCommand::runImportCommand(
                         {path, "--no-split-address", "--map", "收件人姓名=Name", "--map",
                          "手机=Mobile", "--map", "详细地址=Address", "--map", "订单编号=Order_No"},
                         m_dm.get(), m_session),
                     0);
        }
        // The two old rows have no numbers and count one order each.
        QCOMPARE(m_prompt->lastMessage(), done(4) + "\n新订单 5 条，已有 0 条未重复导入。");
        QCOMPARE(table({"Name", "Order_No"}), before);
    }

    // Appending the same orders again adds none of them, nor an order met
    // twice in one sheet; a row without numbers comes in each time.
    void secondImportAddsNothing_data()
    {
        QTest::addColumn<bool>("commandLine");
        QTest::newRow("dialog") << false;
        QTest::newRow("command line") << true;
    }
    void secondImportAddsNothing()
    {
        QFETCH(bool, commandLine);
        const QString path = m_tmp->filePath(QStringLiteral("订单.csv"));
        QVERIFY(writeFile(path, QStringLiteral("姓名,手机,地址,订单号\r\n"
                                               "张三,13800138000,人民路1号,'T1\r\n"
                                               "李四,13900139000,中山路2号,T2，T3\r\n"
                                               "张三,13800138000,人民路1号,T1\r\n"
                                               "王五,13700137000,解放路3号,\r\n")
                                    .toUtf8()));
        const auto importAgain = [&] {
            m_prompt->clear();
            if (commandLine) {
                QCOMPARE(ExcelCommand::runImportCommand({path, "--append", "--no-split-address"},
                                                        m_dm.get(), m_session),
                         0);
                QVERIFY(m_prompt->messages().first().endsWith("\n订单编号=订单号"));
            } else {
                QVERIFY(openDialog(path));
                chooseSheet(m_dialog->findChild<QListWidget*>("sheetList")->item(0)->text());
                QTest::mouseClick(m_dialog->findChild<QCheckBox*>("appendBox"), Qt::LeftButton);
                clickOk(); // the proposal, order numbers included
                QVERIFY(!m_dialog->isVisible());
            }
        };
        importAgain();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(m_prompt->lastMessage(), done(3) + "\n新订单 4 条，已有 1 条未重复导入。");
        importAgain();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(m_prompt->lastMessage(), done(1) + "\n新订单 1 条，已有 4 条未重复导入。");
        QCOMPARE(table({"Name", "Order_No"}), (Rows{{kOld.at(0), ""},
                                                    {kOld.at(1), ""},
                                                    {"张三", "T1"},
                                                    {"李四", "T2,T3"},
                                                    {"王五", ""},
                                                    {"王五", ""}}));
        QCOMPARE(m_page->findChild<QTableView*>("recipientGrid")->model()->rowCount(), 6);
    }

    void previewShowsTheFirstRows()
    {
        QVERIFY(openDialog(fixture(QStringLiteral("recipients.xls"))));
        QTableWidget* preview = m_dialog->findChild<QTableWidget*>(QStringLiteral("sheetPreview"));
        QVERIFY(preview);
        QCOMPARE(preview->rowCount(), 0);
        chooseSheet(QStringLiteral("名单"));
        QCOMPARE(preview->columnCount(), 11);
        QCOMPARE(preview->horizontalHeaderItem(0)->text(), QStringLiteral("姓名"));
        QCOMPARE(preview->horizontalHeaderItem(1)->text(), QStringLiteral("手机"));
        QCOMPARE(preview->rowCount(), 5);
        QCOMPARE(preview->item(0, 0)->text(), QStringLiteral("张三"));
        QCOMPARE(preview->item(0, 1)->text(), QStringLiteral("13812345678"));
        QCOMPARE(preview->item(4, 0)->text(), QStringLiteral("赵六"));

        // Another sheet, titles in row 3: the rows below them.
        // (Unticking asks for the title row at once, choosing the sheet again.)
        m_prompt->inputs.enqueue(QStringLiteral("3"));
        m_prompt->inputs.enqueue(QStringLiteral("3"));
        QTest::mouseClick(m_dialog->findChild<QCheckBox*>("firstRowTitlesBox"), Qt::LeftButton);
        chooseSheet(QStringLiteral("标题在第三行"));
        QCOMPARE(preview->horizontalHeaderItem(1)->text(), QStringLiteral("收件人"));
        QCOMPARE(preview->item(0, 1)->text(), QStringLiteral("收件人1"));
        QCOMPARE(preview->rowCount(), 5);
        m_dialog->reject();
    }

    // --- Export ------------------------------------------------------------

    void exportWritesTheTable()
    {
        // Typed on the recipient tab: the landline (kept as typed: empty) and
        // the postcode (a masked box: empty, never the mask's blanks)
        // untouched.
        m_page->findChild<QLineEdit*>("nameEdit")->setText(QStringLiteral("张三"));
        m_page->findChild<QLineEdit*>("addressEdit")->setText(QStringLiteral("人民路1号"));
        m_page->findChild<QLineEdit*>("mobileEdit")->setText(QStringLiteral("13812345678"));
        QTest::mouseClick(m_page->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        QVERIFY(m_prompt->messages().isEmpty());
        RecipientRows rows(att());
        rows.append({{QStringLiteral("Name"), QStringLiteral("\"老\"李")},
                     {QStringLiteral("Address"), QStringLiteral("一楼\t二楼")},
                     {QStringLiteral("Custom1"), QStringLiteral("5\"屏")}});
        rows.append({{QStringLiteral("Name"), QStringLiteral("王五")}});
        rows.append({{QStringLiteral("Name"), QStringLiteral("赵六")}});
        QCOMPARE(att()->recordCount(), 6);
        // The grid on the fifth row.
        QTableView* grid = m_page->findChild<QTableView*>("recipientGrid");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(4, 0)).center());
        QCOMPARE(att()->recNo(), 4);

        const QString chosen = m_tmp->filePath(QStringLiteral("名单.txt"));
        const QString path = m_tmp->filePath(QStringLiteral("名单.xls"));
        QVERIFY(writeFile(path, QByteArray(5000, 'x'))); // replaced without a question
        m_prompt->files.enqueue(chosen);
        QTest::mouseClick(m_page->findChild<QToolButton*>("exportButton"), Qt::LeftButton);

        QCOMPARE(m_prompt->messages(),
                 QStringList{QStringLiteral("文件") + path + QStringLiteral("导出成功！")});
        QCOMPARE(shownOf(QStringLiteral("question")).size(), 0);
        const auto saves = shownOf(QStringLiteral("save"));
        QCOMPARE(saves.size(), 1);
        QVERIFY(saves.first().text.startsWith(QStringLiteral("Excel表格文件(*.xls)")));
        QVERIFY(!QFile::exists(chosen));
        QCOMPARE(att()->recNo(), 4);
        QCOMPARE(grid->currentIndex().row(), 4);
        QVERIFY(!att()->controlsDisabled());

        // Header: every column in table order, quoted; TAB before CR LF.
        QByteArray expected;
        for (const QString& column : kTableColumns)
            expected += "\"" + column.toLatin1() + "\"\t";
        expected += "\r\n";
        const Rows ids = table({QStringLiteral("ID")});
        // One line: the row's ID, then every other column, TAB after each.
        auto line = [&](int row, const QHash<QString, QString>& values) -> QByteArray {
            QByteArray out = ids.at(row).first().toLatin1() + "\t";
            for (const QString& column : kTableColumns.mid(1))
                out += gb(values.value(column)) + "\t";
            return out + "\r\n";
        };
        expected += line(0, {{"Name", kOld.at(0)}});
        expected += line(1, {{"Name", kOld.at(1)}});
        expected +=
            line(2, {{"Name", "张三"}, {"Address", "人民路1号"}, {"Mobile", "13812345678"}});
        expected += line(
            3, {{"Name", "\"\"\"老\"\"李\""}, {"Address", "\"一楼\t二楼\""}, {"Custom1", "5\"屏"}});
        expected += line(4, {{"Name", "王五"}});
        expected += line(5, {{"Name", "赵六"}});
        const QByteArray bytes = readAll(path);
        QCOMPARE(bytes, expected);
    }

    void exportNameAndKind_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("filter"); // empty: the default
        QTest::addColumn<QString>("written");
        QTest::addColumn<bool>("workbook");
        QTest::newRow("no extension") << "list"
                                      << ""
                                      << "list.xls" << false;
        QTest::newRow("XLS kept") << "LIST.XLS"
                                  << ""
                                  << "LIST.XLS" << false;
        QTest::newRow("workbook filter") << "list.txt" << exportXlsxFilter() << "list.xlsx" << true;
        QTest::newRow("typed .xlsx") << "list.xlsx"
                                     << ""
                                     << "list.xlsx" << true;
    }
    void exportNameAndKind()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, filter);
        QFETCH(QString, written);
        QFETCH(bool, workbook);
        m_prompt->files.enqueue(m_tmp->filePath(chosen));
        if (!filter.isEmpty())
            m_prompt->selectedFilters.enqueue(filter);
        QTest::mouseClick(m_page->findChild<QToolButton*>("exportButton"), Qt::LeftButton);
        const QString path = m_tmp->filePath(written);
        QCOMPARE(m_prompt->messages(),
                 QStringList{QStringLiteral("文件") + path + QStringLiteral("导出成功！")});
        const QByteArray bytes = readAll(path);
        QCOMPARE(bytes.startsWith("PK\x03\x04"), workbook);
        // Either way it imports back with the same columns and rows.
        QString error;
        const auto reader = WorkbookReader::open(path, &error);
        QVERIFY2(reader, qPrintable(error));
        QVERIFY(reader->selectSheet(0, &error));
        QCOMPARE(reader->usedRange().rowCount, 3);
        QCOMPARE(reader->usedRange().columnCount, kTableColumns.size());
        QCOMPARE(reader->cellText(1, 1), QStringLiteral("ID"));
        QCOMPARE(reader->cellText(1, 18), QStringLiteral("Custom5"));
        QCOMPARE(reader->cellText(3, 2), kOld.at(1));
    }

    void exportFailureIsNoSuccess()
    {
        const QString path = m_tmp->filePath(QStringLiteral("no such folder/list.xls"));
        m_prompt->files.enqueue(path);
        att()->moveTo(1);
        QTest::mouseClick(m_page->findChild<QToolButton*>("exportButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages().size(), 1);
        QCOMPARE(m_prompt->shown.last().kind, QStringLiteral("error"));
        QVERIFY2(m_prompt->lastMessage().contains(path), qPrintable(m_prompt->lastMessage()));
        QVERIFY(!QFile::exists(path));
        QCOMPARE(att()->recNo(), 1);
        QVERIFY(!att()->controlsDisabled());
    }

    // --- The command line --------------------------------------------------

    void importCommand_data()
    {
        QTest::addColumn<QStringList>("args"); // "@name" stands for a fixture's path
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("names"); // afterwards
        QTest::addColumn<QString>("message");   // the first one shown
        const QStringList first = kListNames;
        QStringList third;
        for (int i = 1; i <= 9; ++i)
            third << QStringLiteral("收件人%1").arg(i);

        QTest::newRow("first sheet by default")
            << QStringList{"@recipients.xls", "--map", "收件人姓名=姓名", "--map",
                           "手机=手机",       "--map", "详细地址=地址"}
            << 0 << first << done(4) + "\n拆分整段地址 3 条。";
        QTest::newRow("sheet and title row")
            << QStringList{"@recipients.xlsx",
                           "--sheet",
                           "标题在第三行",
                           "--title-row",
                           "3",
                           "--map",
                           "收件人姓名=收件人",
                           "--map",
                           "手机=电话",
                           "--map",
                           "详细地址=地址"}
            << 0 << third
            << done(9) + "\n拆分整段地址 0 条。\n未识别 9 条（第 "
                         "4、5、6、7、8、9、10、11、12 行）。\n"
                         "这些行的完整地址保留在详细地址中，请选择省、"
                         "市、区县。";
        QTest::newRow("csv") << QStringList{"@utf8_bom.csv", "--map", "收件人姓名=姓名", "--map",
                                            "手机=手机",     "--map", "详细地址=地址"}
                             << 0 << QStringList{"张三", "李四", "王五"}
                             << done(3) + "\n拆分整段地址 3 条。";

        QTest::newRow("no file") << QStringList{"--map", "收件人姓名=姓名"} << 2 << kOld
                                 << QString("usage: waylark " + ExcelCommand::importSynopsis());
        QTest::newRow("no mapping: the proposed one, told")
            << QStringList{"@recipients.xls"} << 0 << first
            << "导入字段对应：\n收件人姓名=姓名\n详细地址=地址\n手机=手机\n固定电话=固定电话";
        QTest::newRow("--map without a phone or an address")
            << QStringList{"@recipients.xls", "--map", "收件人姓名=姓名"} << 2 << kOld
            << importMissingMapMessage(QStringLiteral("手机或固定电话、详细地址"));
        QTest::newRow("--map without a name")
            << QStringList{"@recipients.xls", "--map", "固定电话=固定电话", "--map",
                           "详细地址=地址"}
            << 2 << kOld << importMissingMapMessage(QStringLiteral("收件人姓名"));
        QTest::newRow("unknown caption")
            << QStringList{"@recipients.xls", "--map", "收件人=姓名"} << 2 << kOld
            << QString("“收件人”不是“打印字段”之一：" + importCaptions().join("、"));
        QTest::newRow("caption twice")
            << QStringList{"@recipients.xls", "--map", "手机=手机", "--map", "手机=姓名"} << 2
            << kOld << "“手机”只能对应一个字段。";
        QTest::newRow("title row 0")
            << QStringList{"@recipients.xls", "--title-row", "0", "--map", "手机=手机"} << 2 << kOld
            << kBadRow;
        QTest::newRow("unknown option")
            << QStringList{"@recipients.xls", "--sheets", "名单", "--map", "手机=手机"} << 2 << kOld
            << "unknown option --sheets";

        QTest::newRow("missing file") << QStringList{"gone.xls", "--map", "手机=手机"} << 1 << kOld
                                      << QStringLiteral("无法读取文件“gone.xls”：文件不存在。");
        QTest::newRow("unknown sheet")
            << QStringList{"@recipients.xls", "--sheet", "无此表", "--map", "手机=手机"} << 1
            << kOld
            << QString("无法读取文件“" + fixture("recipients.xls") +
                       "”：工作簿中没有名为“无此表”的工作表。");
        QTest::newRow("title not in the title row")
            << QStringList{"@recipients.xls", "--map", "手机=电话"} << 1 << kOld
            << "第1行（标题行）中没有标题为“电话”的列！";
        QTest::newRow("every title empty")
            << QStringList{"@recipients.xls", "--map", "手机="} << 1 << kOld << kNoTitles;
    }
    void importCommand()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QStringList, names);
        QFETCH(QString, message);
        for (QString& arg : args)
            if (arg.startsWith(QLatin1Char('@')))
                arg = fixture(arg.mid(1));
        QCOMPARE(ExcelCommand::runImportCommand(args, m_dm.get(), m_session), status);
        QVERIFY(!m_prompt->messages().isEmpty());
        QCOMPARE(m_prompt->messages().first(), message);
        QCOMPARE(this->names(), names);
        QCOMPARE(att()->recordCount(), names.size());
        QVERIFY(shownOf(QStringLiteral("question")).isEmpty());
    }

    void importCommandRollsBack()
    {
        QVERIFY(exec(QStringLiteral(
            "CREATE TRIGGER full BEFORE INSERT ON Exp_Att_Info WHEN NEW.Name = '赵六' "
            "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END")));
        QCOMPARE(ExcelCommand::runImportCommand({fixture(QStringLiteral("recipients.xls"))},
                                                m_dm.get(), m_session),
                 1);
        QCOMPARE(m_prompt->messages().size(), 2); // the mapping, then the failure
        QVERIFY(m_prompt->lastMessage().contains(QLatin1String("database or disk is full")));
        checkOldRowsKept();
    }

    void exportCommand_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("written"); // in the working directory; empty: none
        QTest::addColumn<bool>("workbook");
        QTest::newRow(".txt becomes .xls") << QStringList{"out.txt"} << 0 << "out.xls" << false;
        QTest::newRow("workbook") << QStringList{"out.XLSX"} << 0 << "out.XLSX" << true;
        QTest::newRow("no file") << QStringList{} << 2 << "" << false;
        QTest::newRow("two files") << QStringList{"a.xls", "b.xls"} << 2 << "" << false;
        QTest::newRow("an option") << QStringList{"--model", "x", "a.xls"} << 2 << "" << false;
        QTest::newRow("folder missing") << QStringList{"none/out.xls"} << 1 << "" << false;
    }
    void exportCommand()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, written);
        QFETCH(bool, workbook);
        QCOMPARE(ExcelCommand::runExportCommand(args, m_dm.get(), m_session), status);
        QVERIFY(!m_prompt->messages().isEmpty());
        if (written.isEmpty()) {
            QVERIFY(!m_prompt->lastMessage().contains(QStringLiteral("导出成功")));
            for (const QString& arg : args)
                QVERIFY(!QFile::exists(arg));
            return;
        }
        const QString path = m_tmp->filePath(written);
        QCOMPARE(m_prompt->messages(),
                 QStringList{QStringLiteral("文件") + path + QStringLiteral("导出成功！")});
        const QByteArray bytes = readAll(path);
        QCOMPARE(bytes.startsWith("PK\x03\x04"), workbook);
        if (!workbook)
            QVERIFY(bytes.startsWith("\"ID\"\t\"Name\"\t"));
    }
};

QTEST_MAIN(TestExcelWindow)
#include "test_excelwindow.moc"
