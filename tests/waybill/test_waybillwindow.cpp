#include "base/prompt.h"
#include "base/session.h"
#include "book/recipientrows.h"
#include "cli/waybillcommand.h"
#include "data/datamodule.h"
#include "data/datasetmodel.h"
#include "data/headerguard.h"
#include "freshdatabase.h"
#include "gui/book/recipientpage.h"
#include "gui/maskedtext.h"
#include "gui/waybill/waybilldialog.h"
#include "scriptedprompt.h"
#include "tempworkdir.h"
#include "waybill/carrierstore.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>

namespace
{

const QString Sf = QStringLiteral("顺丰速运");
const QString Ems = QStringLiteral("邮政EMS");
const QString Generic = QStringLiteral("通用快递单"); // the delivered template

const QString Done = QStringLiteral("生成完毕并已增加到数据表中！");
const QString SfStartText = QStringLiteral("输入错误,顺丰单号为12位连续数字,请重新输入！");
const QString EmsStartText =
    QStringLiteral("输入错误,EMS单号为9位连续数字(不含前后缀),请重新输入！");
const QString CommonStartText = QStringLiteral("起始单号为空或中间含有空格，请连续输入数字！");
const QString EmptyStepText = QStringLiteral("运单号增量不能为空！");
const QString SfEndText = QStringLiteral("顺丰单号序列已到尽头，无法继续生成！");
const QString RangeText = QStringLiteral("运单号超出范围，无法为全部收件人生成！");
const QString NoTemplateText = QStringLiteral("当前模板不存在，请先保存模板！");

// Every recipient row in the file, in grid order, as "Name|Mobile|ExpName|WayBillNo".
const char RecipientSelect[] =
    "SELECT Name, Mobile, ExpName, WayBillNo FROM Exp_Att_Info ORDER BY ID";

// The three recipients every case starts with, two already numbered.
const QStringList Seeded = {"张三|13800000001|旧快递|OLD-1", "李四|13800000002||",
                            "王五|13800000003|圆通|OLD-3"};

// The seeded recipients with these carrier names and numbers.
QStringList numbered(const QString& expName, const QStringList& numbers)
{
    QStringList rows;
    for (int i = 0; i < Seeded.size(); ++i) {
        QStringList columns = Seeded.at(i).split('|');
        columns[2] = expName;
        columns[3] = numbers.value(i);
        rows << columns.join('|');
    }
    return rows;
}

// Types text into a line edit from its start. A masked box takes no
// blank: the user steps over a position with the arrow key instead.
void retype(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClick(edit, Qt::Key_Home);
    for (const QChar c : text) {
        if (c == QLatin1Char(' ') && !edit->inputMask().isEmpty())
            QTest::keyClick(edit, Qt::Key_Right);
        else
            QTest::keyClicks(edit, QString(c));
    }
}

void choose(QComboBox* list, const QString& text)
{
    const int index = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    QVERIFY2(index >= 0, qPrintable(text));
    list->setCurrentIndex(index);
}

// What run writes to standard output (the commands print their answers there).
QString standardOutputOf(const std::function<void()>& run)
{
    QTemporaryFile file;
    if (!file.open())
        qFatal("no temporary file");
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    dup2(file.handle(), STDOUT_FILENO);
    run();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    file.seek(0);
    return QString::fromUtf8(file.readAll());
}

const QString SfRule = QStringLiteral("编号规则：顺丰速运（末位为校验位）");
const QString EmsRule =
    QStringLiteral("编号规则：邮政EMS（9位数字，末位为校验位，加前后缀共13位）");
const QString PlainRule = QStringLiteral("编号规则：通用（按增量递增）");

// What one generation is given through the dialog or the command line.
struct Inputs {
    QString model;
    QString start;
    QString step;
    bool affix = false;
    QString prefix = QString();
    QString suffix = QString();
};

} // namespace

Q_DECLARE_METATYPE(Inputs)

class TestWaybillWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempWorkDir> m_tmp;
    std::unique_ptr<DataModule> m_dm;
    Session m_session;
    std::unique_ptr<ScriptedPrompt> m_prompt;

    QSqlDatabase db() const { return m_dm->database(); }

    QStringList recipientsInFile() const
    {
        QStringList rows;
        QSqlQuery q(db());
        if (!q.exec(QString::fromLatin1(RecipientSelect)))
            qFatal("%s", qPrintable(q.lastError().text()));
        while (q.next())
            rows << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                                q.value(3).toString()}
                        .join('|');
        return rows;
    }

    // The same rows as the recipient dataset holds them.
    QStringList recipientsInDataset() const
    {
        Dataset* att = m_dm->recipients;
        QStringList rows;
        const int columns[] = {att->fieldIndex("Name"), att->fieldIndex("Mobile"),
                               att->fieldIndex("ExpName"), att->fieldIndex("WayBillNo")};
        for (int row = 0; row < att->recordCount(); ++row) {
            QStringList values;
            for (int column : columns)
                values << att->cellText(row, column);
            rows << values.join('|');
        }
        return rows;
    }

    void addTemplate(const QString& name)
    {
        QSqlQuery q(db());
        q.prepare(QStringLiteral("INSERT INTO Exp_Model (Model_Name) VALUES (?)"));
        q.addBindValue(name);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        m_dm->templates->refresh();
    }

    void seedRecipients()
    {
        RecipientRows rows(m_dm->recipients);
        for (const QString& seeded : Seeded) {
            const QStringList c = seeded.split('|');
            rows.append({{"Name", c[0]}, {"Mobile", c[1]}, {"ExpName", c[2]}, {"WayBillNo", c[3]}});
        }
        m_dm->recipients->first();
        QCOMPARE(recipientsInFile(), Seeded);
    }

    void showDialog(WaybillDialog& dialog)
    {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    }

    // Fills the dialog's inputs the way a user does.
    void enter(WaybillDialog& dialog, const Inputs& in)
    {
        choose(dialog.findChild<QComboBox*>("templateCombo"), in.model);
        retype(dialog.findChild<QLineEdit*>("startNumberEdit"), in.start);
        retype(dialog.findChild<QLineEdit*>("stepEdit"), in.step);
        if (dialog.findChild<QCheckBox*>("affixCheck")->isChecked() != in.affix)
            QTest::mouseClick(dialog.findChild<QCheckBox*>("affixCheck"), Qt::LeftButton);
        if (in.affix) {
            retype(dialog.findChild<QLineEdit*>("prefixEdit"), in.prefix);
            retype(dialog.findChild<QLineEdit*>("suffixEdit"), in.suffix);
        }
    }

    static QStringList commandArgs(const Inputs& in)
    {
        QStringList args{"--model", in.model, "--start", in.start, "--step", in.step};
        if (in.affix)
            args << "--prefix" << in.prefix << "--suffix" << in.suffix;
        return args;
    }

private Q_SLOTS:
    void init()
    {
        m_tmp = std::make_unique<TempWorkDir>();
        QString error;
        m_dm = openFreshDataModule(m_tmp->path(), &m_session, &error);
        QVERIFY2(m_dm, qPrintable(error));
        m_session.currentTemplate = Generic;
        m_prompt = std::make_unique<ScriptedPrompt>();
        addTemplate(Sf);
        addTemplate(Ems);
        seedRecipients();
    }

    void cleanup()
    {
        m_prompt.reset();
        m_dm.reset();
        m_tmp.reset();
    }

    // --- The dialog ---------------------------------------------------------

    void activationListsTheTemplates_data()
    {
        QTest::addColumn<QString>("currentTemplate");
        QTest::addColumn<int>("selected");

        QTest::newRow("the current one") << Sf << 1;
        QTest::newRow("letter case ignored") << QStringLiteral("邮政ems") << 2;
        QTest::newRow("no such template") << QStringLiteral("中通快递") << -1;
        QTest::newRow("no current template") << QString() << -1;
    }
    void activationListsTheTemplates()
    {
        QFETCH(QString, currentTemplate);
        QFETCH(int, selected);
        m_dm->templates->moveTo(1);
        m_session.currentTemplate = currentTemplate;

        WaybillDialog dialog(m_dm.get(), &m_session);
        showDialog(dialog);

        QCOMPARE(dialog.windowTitle(), QStringLiteral("运单号生成"));
        QCOMPARE(dialog.size(), QSize(392, 246));
        QCOMPARE(dialog.findChild<QGroupBox*>("parametersGroup")->title(),
                 QStringLiteral("运单号参数设置"));
        QCOMPARE(dialog.findChild<QPushButton*>("generateButton")->text(),
                 QStringLiteral("生成(&A)"));
        for (const char* name :
             {"templateLabel", "templateCombo", "startNumberLabel", "startNumberEdit", "stepLabel",
              "stepEdit", "affixCheck", "prefixLabel", "prefixEdit", "suffixLabel", "suffixEdit",
              "generateButton", "cancelButton"})
            QVERIFY2(dialog.findChild<QWidget*>(name), name);
        QCOMPARE(dialog.findChild<QLabel*>("startNumberLabel")->text(),
                 QStringLiteral("起始运单号："));
        QVERIFY(dialog.findChild<QCheckBox*>("affixCheck")->text().isEmpty());
        QStringList listed;
        for (int i = 0; i < dialog.findChild<QComboBox*>("templateCombo")->count(); ++i)
            listed << dialog.findChild<QComboBox*>("templateCombo")->itemText(i);
        QCOMPARE(listed, (QStringList{Generic, Sf, Ems}));
        QCOMPARE(dialog.findChild<QComboBox*>("templateCombo")->currentIndex(), selected);
        if (selected < 0)
            QVERIFY(dialog.findChild<QComboBox*>("templateCombo")->currentText().isEmpty());
        // Printing reads the current template's row: listing leaves it.
        QCOMPARE(m_dm->templates->recNo(), 1);

        QVERIFY(maskedText(dialog.findChild<QLineEdit*>("startNumberEdit")).trimmed().isEmpty());
        QCOMPARE(maskedText(dialog.findChild<QLineEdit*>("stepEdit")), QStringLiteral("1"));
        QVERIFY(!dialog.findChild<QCheckBox*>("affixCheck")->isChecked());
        for (QWidget* w : {static_cast<QWidget*>(dialog.findChild<QLineEdit*>("prefixEdit")),
                           static_cast<QWidget*>(dialog.findChild<QLineEdit*>("suffixEdit")),
                           static_cast<QWidget*>(dialog.findChild<QLabel*>("prefixLabel")),
                           static_cast<QWidget*>(dialog.findChild<QLabel*>("suffixLabel"))})
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    }

    void checkBoxSwitchesPrefixAndSuffix()
    {
        WaybillDialog dialog(m_dm.get(), &m_session);
        showDialog(dialog);

        QTest::mouseClick(dialog.findChild<QCheckBox*>("affixCheck"), Qt::LeftButton);
        QVERIFY(dialog.findChild<QLineEdit*>("prefixEdit")->isEnabled() &&
                dialog.findChild<QLineEdit*>("suffixEdit")->isEnabled());
        QVERIFY(dialog.findChild<QLabel*>("prefixLabel")->isEnabled() &&
                dialog.findChild<QLabel*>("suffixLabel")->isEnabled());
        retype(dialog.findChild<QLineEdit*>("prefixEdit"), QStringLiteral("EA"));
        retype(dialog.findChild<QLineEdit*>("suffixEdit"), QStringLiteral("CN"));
        retype(dialog.findChild<QLineEdit*>("startNumberEdit"), QStringLiteral("1000"));

        // Shown again, the dialog keeps what was typed and a new template list.
        dialog.hide();
        addTemplate(QStringLiteral("中通快递"));
        showDialog(dialog);
        QCOMPARE(dialog.findChild<QComboBox*>("templateCombo")->count(), 4);
        QCOMPARE(dialog.findChild<QComboBox*>("templateCombo")->currentText(), Generic);
        QVERIFY(dialog.findChild<QCheckBox*>("affixCheck")->isChecked());
        QCOMPARE(dialog.findChild<QLineEdit*>("prefixEdit")->text(), QStringLiteral("EA"));
        QCOMPARE(dialog.findChild<QLineEdit*>("suffixEdit")->text(), QStringLiteral("CN"));
        QCOMPARE(maskedText(dialog.findChild<QLineEdit*>("startNumberEdit")).trimmed(),
                 QStringLiteral("1000"));

        QTest::mouseClick(dialog.findChild<QCheckBox*>("affixCheck"), Qt::LeftButton);
        QVERIFY(!dialog.findChild<QLineEdit*>("prefixEdit")->isEnabled() &&
                !dialog.findChild<QLineEdit*>("suffixEdit")->isEnabled());
        QVERIFY(!dialog.findChild<QLabel*>("prefixLabel")->isEnabled() &&
                !dialog.findChild<QLabel*>("suffixLabel")->isEnabled());
        QVERIFY(dialog.findChild<QLineEdit*>("prefixEdit")->text().isEmpty());
        QVERIFY(dialog.findChild<QLineEdit*>("suffixEdit")->text().isEmpty());

        QTest::mouseClick(dialog.findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(m_prompt->shown.isEmpty());
        QCOMPARE(recipientsInFile(), Seeded);
    }

    void generateNumbersEveryRow_data()
    {
        QTest::addColumn<Inputs>("inputs");
        QTest::addColumn<QStringList>("numbers");

        QTest::newRow("SF across a carry")
            << Inputs{Sf, "123456789082", "1"}
            << QStringList{"123456789082", "123456789091", "123456789107"};
        QTest::newRow("EMS with prefix and suffix")
            << Inputs{Ems, "123456785", "1", true, "EA", "CN"}
            << QStringList{"EA123456785CN", "EA123456799CN", "EA123456808CN"};
        QTest::newRow("EMS leading zero")
            << Inputs{Ems, "012345676", "1"} << QStringList{"012345676", "012345689", "012345692"};
        QTest::newRow("generic step 5")
            << Inputs{Generic, "1000", "5"} << QStringList{"1000", "1005", "1010"};
        QTest::newRow("generic leading zeros of the start")
            << Inputs{Generic, "0007", "1", true, "", "-A"} << QStringList{"0007-A", "8-A", "9-A"};
        QTest::newRow("generic step 0")
            << Inputs{Generic, "42", "0"} << QStringList{"42", "42", "42"};
    }
    void generateNumbersEveryRow()
    {
        QFETCH(Inputs, inputs);
        QFETCH(QStringList, numbers);
        RecipientPage page;
        page.bindData(m_dm.get(), &m_session);
        const DatasetModel* grid = page.gridModel;

        WaybillDialog dialog(m_dm.get(), &m_session);
        showDialog(dialog);
        enter(dialog, inputs);
        QTest::mouseClick(dialog.findChild<QPushButton*>("generateButton"), Qt::LeftButton);

        QCOMPARE(m_prompt->messages(), QStringList{Done});
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const QStringList expected = numbered(inputs.model, numbers);
        QCOMPARE(recipientsInFile(), expected);
        QCOMPARE(recipientsInDataset(), expected);
        // The grid shows them under "寄送方式" and "运单号"; the cursor stays
        // on the row it was on.
        QCOMPARE(grid->headerData(5, Qt::Horizontal).toString(), QStringLiteral("寄送方式"));
        QCOMPARE(grid->headerData(6, Qt::Horizontal).toString(), QStringLiteral("运单号"));
        for (int row = 0; row < numbers.size(); ++row) {
            QCOMPARE(grid->data(grid->index(row, 5)).toString(), inputs.model);
            QCOMPARE(grid->data(grid->index(row, 6)).toString(), numbers.at(row));
        }
        QCOMPARE(m_dm->recipients->recNo(), 0);
        QCOMPARE(m_dm->recipients->state(), Dataset::State::Browse);
    }

    // Refused inputs and series: a message, every row as it was, the dialog
    // open with the inputs as typed.
    void refusalsWriteNothing_data()
    {
        QTest::addColumn<Inputs>("inputs");
        QTest::addColumn<QString>("message");

        QTest::newRow("SF 11 digits with a blank")
            << Inputs{Sf, "12345 678901", "1"} << SfStartText;
        QTest::newRow("SF 9 digits") << Inputs{Sf, "123456785", "1"} << SfStartText;
        QTest::newRow("EMS 12 digits") << Inputs{Ems, "123456789012", "1"} << EmsStartText;
        QTest::newRow("EMS with a blank")
            << Inputs{Ems, "1234 5678", "1", true, "EA", "CN"} << EmsStartText;
        QTest::newRow("generic empty start") << Inputs{Generic, "", "1"} << CommonStartText;
        QTest::newRow("generic inner blank") << Inputs{Generic, "10 00", "1"} << CommonStartText;
        QTest::newRow("empty increment") << Inputs{Generic, "1000", ""} << EmptyStepText;
        // The third row would need the successor of serial 12399999999.
        QTest::newRow("SF end of series") << Inputs{Sf, "123999999985", "1"} << SfEndText;
        QTest::newRow("SF serial overflow") << Inputs{Sf, "999999999985", "1"} << RangeText;
        QTest::newRow("EMS serial overflow")
            << Inputs{Ems, "999999985", "1", true, "EA", "CN"} << RangeText;
    }
    void refusalsWriteNothing()
    {
        QFETCH(Inputs, inputs);
        QFETCH(QString, message);

        WaybillDialog dialog(m_dm.get(), &m_session);
        showDialog(dialog);
        enter(dialog, inputs);
        const QString typedStart = maskedText(dialog.findChild<QLineEdit*>("startNumberEdit"));
        QVERIFY2(typedStart.trimmed() == inputs.start, qPrintable(typedStart));
        QTest::mouseClick(dialog.findChild<QPushButton*>("generateButton"), Qt::LeftButton);

        QCOMPARE(m_prompt->messages(), QStringList{message});
        QVERIFY(dialog.isVisible());
        QCOMPARE(recipientsInFile(), Seeded);
        QCOMPARE(recipientsInDataset(), Seeded);
        QCOMPARE(m_dm->recipients->state(), Dataset::State::Browse);

        QCOMPARE(dialog.findChild<QComboBox*>("templateCombo")->currentText(), inputs.model);
        QCOMPARE(maskedText(dialog.findChild<QLineEdit*>("startNumberEdit")), typedStart);
        QCOMPARE(maskedText(dialog.findChild<QLineEdit*>("stepEdit")).trimmed(), inputs.step);
        QCOMPARE(dialog.findChild<QCheckBox*>("affixCheck")->isChecked(), inputs.affix);
        QCOMPARE(dialog.findChild<QLineEdit*>("prefixEdit")->text(), inputs.prefix);
        QCOMPARE(dialog.findChild<QLineEdit*>("suffixEdit")->text(), inputs.suffix);

        // Corrected, the same dialog numbers the rows.
        m_prompt->clear();
        retype(dialog.findChild<QLineEdit*>("startNumberEdit"),
               inputs.model == Sf ? "123456789012" : "123456785");
        retype(dialog.findChild<QLineEdit*>("stepEdit"), "1");
        QTest::mouseClick(dialog.findChild<QPushButton*>("generateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList{Done});
        QVERIFY(!dialog.isVisible());
        QCOMPARE(recipientsInFile().size(), 3);
        QVERIFY(recipientsInFile() != Seeded);
    }

    // The numbers are written by row: the user's current row, selection and
    // scroll position stay, and the grid sees the rows change, not a reset.
    void numberingKeepsTheGridWhereItWas()
    {
        RecipientPage page;
        page.bindData(m_dm.get(), &m_session);
        page.resize(900, 600);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        auto* grid = page.findChild<QTableView*>("recipientGrid");
        QVERIFY(grid);
        QItemSelectionModel* selection = grid->selectionModel();
        const QModelIndex current = grid->model()->index(1, 0);
        grid->setCurrentIndex(current);
        selection->select(grid->model()->index(0, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(m_dm->recipients->recNo(), 1);
        const QVector<int> selected = page.selectedRows();
        QCOMPARE(selected, (QVector<int>{0, 1}));
        QSignalSpy resets(grid->model(), &QAbstractItemModel::modelReset);
        QSignalSpy moves(m_dm->recipients, &Dataset::currentChanged);

        WaybillDialog dialog(m_dm.get(), &m_session);
        showDialog(dialog);
        enter(dialog, Inputs{Generic, "1000", "5"});
        QTest::mouseClick(dialog.findChild<QPushButton*>("generateButton"), Qt::LeftButton);

        QCOMPARE(m_prompt->messages(), QStringList{Done});
        QCOMPARE(recipientsInFile(), numbered(Generic, {"1000", "1005", "1010"}));
        QCOMPARE(recipientsInDataset(), numbered(Generic, {"1000", "1005", "1010"}));
        QCOMPARE(m_dm->recipients->recNo(), 1);
        QCOMPARE(moves.count(), 0);
        QCOMPARE(resets.count(), 0);
        QCOMPARE(grid->currentIndex().row(), current.row());
        QCOMPARE(page.selectedRows(), selected);
        for (int row = 0; row < 3; ++row)
            QCOMPARE(grid->model()->index(row, 6).data().toString(),
                     QStringList({"1000", "1005", "1010"}).at(row));
    }

    // The file refuses the last row: the rows written before it go too.
    void failedWriteLeavesEveryRow()
    {
        QSqlQuery q(db());
        QVERIFY(q.exec("CREATE TRIGGER refuse BEFORE UPDATE OF WayBillNo ON Exp_Att_Info "
                       "WHEN NEW.Name = '王五' BEGIN SELECT RAISE(ABORT, 'disk is full'); END"));
        WaybillDialog dialog(m_dm.get(), &m_session);
        showDialog(dialog);
        enter(dialog, Inputs{Generic, "1000", "1"});
        QTest::mouseClick(dialog.findChild<QPushButton*>("generateButton"), Qt::LeftButton);

        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown[0].kind, QStringLiteral("error"));
        QVERIFY2(m_prompt->lastMessage().contains("disk is full"),
                 qPrintable(m_prompt->lastMessage()));
        QVERIFY(dialog.isVisible());
        QCOMPARE(recipientsInFile(), Seeded);
        QCOMPARE(recipientsInDataset(), Seeded);
    }

    void emptyTableIsNoError()
    {
        RecipientRows(m_dm->recipients).empty();
        WaybillDialog dialog(m_dm.get(), &m_session);
        showDialog(dialog);
        enter(dialog, Inputs{Sf, "123456789012", "1"});
        QTest::mouseClick(dialog.findChild<QPushButton*>("generateButton"), Qt::LeftButton);

        QCOMPARE(m_prompt->messages(), QStringList{Done});
        QVERIFY(!dialog.isVisible());
        QVERIFY(recipientsInFile().isEmpty());
        QCOMPARE(m_dm->recipients->recordCount(), 0);
    }

    void enterMovesOnAndNeverGenerates()
    {
        WaybillDialog dialog(m_dm.get(), &m_session);
        showDialog(dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QVERIFY(!dialog.findChild<QPushButton*>("generateButton")->isDefault());
        QTest::mouseClick(dialog.findChild<QCheckBox*>("affixCheck"), Qt::LeftButton);

        // Enter in every box, the start box first, only moves to the next box.
        retype(dialog.findChild<QLineEdit*>("startNumberEdit"), QStringLiteral("1000"));
        const QList<QWidget*> order = {dialog.findChild<QLineEdit*>("startNumberEdit"),
                                       dialog.findChild<QLineEdit*>("stepEdit"),
                                       dialog.findChild<QCheckBox*>("affixCheck"),
                                       dialog.findChild<QLineEdit*>("prefixEdit"),
                                       dialog.findChild<QLineEdit*>("suffixEdit"),
                                       dialog.findChild<QPushButton*>("generateButton")};
        for (int i = 0; i + 1 < order.size(); ++i) {
            QCOMPARE(QApplication::focusWidget(), order.at(i));
            QTest::keyClick(order.at(i), i % 2 ? Qt::Key_Enter : Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), order.at(i + 1));
        }
        // Not even on the button itself: only its click or Alt+A.
        QTest::keyClick(dialog.findChild<QPushButton*>("generateButton"), Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QVERIFY(m_prompt->shown.isEmpty());
        QCOMPARE(recipientsInFile(), Seeded);

        // Alt+A clicks it (the click follows a moment later).
        QTest::keyClick(dialog.findChild<QLineEdit*>("suffixEdit"), Qt::Key_A, Qt::AltModifier);
        QTRY_COMPARE(m_prompt->messages(), QStringList{Done});
        QCOMPARE(recipientsInFile(), numbered(Generic, {"1000", "1001", "1002"}));
    }

    void buttonShowsTheDialogModally()
    {
        QWidget window;
        // The dialog its window owns, found by its object name.
        const auto waybillDialog = [&window] {
            return window.findChild<WaybillDialog*>("WaybillDialog");
        };
        QVERIFY(!waybillDialog());
        new WaybillDialog(m_dm.get(), &m_session, &window);
        window.show();
        bool wasModal = false;
        QTimer::singleShot(0, this, [&] {
            QVERIFY(waybillDialog());
            wasModal = QApplication::activeModalWidget() == waybillDialog();
            QVERIFY(QTest::qWaitForWindowActive(waybillDialog()));
            choose(waybillDialog()->findChild<QComboBox*>("templateCombo"), Ems);
            retype(waybillDialog()->findChild<QLineEdit*>("startNumberEdit"),
                   QStringLiteral("123456785"));
            QTest::keyClick(waybillDialog()->findChild<QLineEdit*>("startNumberEdit"), Qt::Key_A,
                            Qt::AltModifier);
        });
        // Should the keys go astray, the dialog must not hold the run forever.
        QTimer::singleShot(20000, this, [dialog = QPointer<WaybillDialog>(waybillDialog())] {
            if (dialog)
                dialog->reject();
        });
        waybillDialog()->exec();

        QVERIFY(wasModal);
        QCOMPARE(waybillDialog()->parentWidget(), &window);
        QCOMPARE(m_prompt->messages(), QStringList{Done});
        QCOMPARE(recipientsInFile(), numbered(Ems, {"123456785", "123456799", "123456808"}));
        delete waybillDialog();
        QVERIFY(!waybillDialog());
    }

    // A row with neither name nor address gets no number, in the window and
    // from the command alike; the done message says how many were skipped.
    void blankRowsGetNoNumber_data()
    {
        QTest::addColumn<bool>("window");
        QTest::newRow("window") << true;
        QTest::newRow("command") << false;
    }
    void blankRowsGetNoNumber()
    {
        QFETCH(bool, window);
        {
            RecipientRows rows(m_dm->recipients);
            rows.append({{"Name", " \u3000"}, {"Address", "  "}, {"Mobile", "13900000001"}});
            rows.append({{"Name", ""}, {"Address", "北京"}, {"Mobile", "13900000002"}});
            rows.append({{"Mobile", "13900000003"}});
            rows.append({{"Name", "赵六"}, {"Mobile", "13900000004"}});
        }
        m_dm->recipients->first();
        if (window) {
            WaybillDialog dialog(m_dm.get(), &m_session);
            showDialog(dialog);
            enter(dialog, {Generic, "1000", "1"});
            QTest::mouseClick(dialog.findChild<QPushButton*>("generateButton"), Qt::LeftButton);
        } else {
            QCOMPARE(WaybillCommand::runCommand({"--model", Generic, "--start", "1000"}, m_dm.get(),
                                                m_session),
                     0);
        }
        QCOMPARE(m_prompt->messages(),
                 QStringList{Done + "\n已跳过 2 行既无姓名也无地址的收件人。"});
        QCOMPARE(recipientsInFile(),
                 numbered(Generic, {"1000", "1001", "1002"}) +
                     QStringList({" \u3000|13900000001||", "|13900000002|" + Generic + "|1003",
                                  "|13900000003||", "赵六|13900000004|" + Generic + "|1004"}));
    }

    // --- Carriers -------------------------------------------------------------

    // The rule line and the increment box follow the chosen template's
    // carrier, and so do the numbers: an increment the rule does not read
    // may even be left empty.
    void ruleLineFollowsTheCarrier_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("code"); // Carrier_Code stored first; empty for none
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("numbers");

        const QStringList sf{"123456789082", "123456789091", "123456789107"};
        const QStringList ems{"123456785", "123456799", "123456808"};
        const QStringList plain{"1000", "1005", "1010"};
        QTest::newRow("SF by its name") << Sf << "" << SfRule << sf.first() << sf;
        QTest::newRow("EMS by its name") << Ems << "" << EmsRule << ems.first() << ems;
        QTest::newRow("plain by any other name") << Generic << "" << PlainRule << "1000" << plain;
        QTest::newRow("SF chosen for the generic template")
            << Generic << "SF" << SfRule << sf.first() << sf;
        QTest::newRow("EMS chosen for the generic template")
            << Generic << "EMS" << EmsRule << ems.first() << ems;
        QTest::newRow("a plain carrier chosen for the SF name")
            << Sf << "YUNDA" << QStringLiteral("编号规则：韵达快递（按增量递增）") << "1000"
            << plain;
    }
    void ruleLineFollowsTheCarrier()
    {
        QFETCH(QString, model);
        QFETCH(QString, code);
        QFETCH(QString, rule);
        QFETCH(QString, start);
        QFETCH(QStringList, numbers);
        if (!code.isEmpty())
            CarrierStore::setCode(db(), model, code);
        const bool readsStep = numbers == QStringList{"1000", "1005", "1010"};

        const QString plainName = QStringLiteral("中通快递");
        addTemplate(plainName);

        WaybillDialog dialog(m_dm.get(), &m_session);
        showDialog(dialog);
        choose(dialog.findChild<QComboBox*>("templateCombo"), plainName);
        QCOMPARE(dialog.findChild<QLabel*>("ruleLabel")->text(), PlainRule);
        QVERIFY(dialog.findChild<QLineEdit*>("stepEdit")->isEnabled());
        retype(dialog.findChild<QLineEdit*>("stepEdit"), readsStep ? "5" : "");
        choose(dialog.findChild<QComboBox*>("templateCombo"), model);
        QCOMPARE(dialog.findChild<QLabel*>("ruleLabel")->text(), rule);
        QCOMPARE(dialog.findChild<QLineEdit*>("stepEdit")->isEnabled(), readsStep);
        QCOMPARE(dialog.findChild<QLabel*>("stepLabel")->isEnabled(), readsStep);

        retype(dialog.findChild<QLineEdit*>("startNumberEdit"), start);
        QTest::mouseClick(dialog.findChild<QPushButton*>("generateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList{Done});
        QCOMPARE(recipientsInFile(), numbered(model, numbers));
        QCOMPARE(CarrierStore::load(db(), model).lastNumber, numbers.last());
        QCOMPARE(CarrierStore::load(db(), model).code, code);
    }

    // The start box proposes the number after the last series written for
    // the chosen template, by the dialog or the command; a number the user
    // typed stays.
    void startProposedAfterTheLastSeries()
    {
        WaybillDialog dialog(m_dm.get(), &m_session);
        QLineEdit* start = dialog.findChild<QLineEdit*>("startNumberEdit");
        QComboBox* list = dialog.findChild<QComboBox*>("templateCombo");
        showDialog(dialog);
        enter(dialog, Inputs{Sf, "123456789082", "1"});
        QTest::mouseClick(dialog.findChild<QPushButton*>("generateButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList{Done});

        // Shown again on the generic template, which has no series yet.
        showDialog(dialog);
        QCOMPARE(list->currentText(), Generic);
        QCOMPARE(typedText(start), QString());
        choose(list, Sf);
        QCOMPARE(typedText(start), QStringLiteral("123456789116"));
        choose(list, Ems);
        QCOMPARE(typedText(start), QString());

        // Typed, the number stays whatever template is chosen.
        retype(start, QStringLiteral("777"));
        choose(list, Sf);
        QCOMPARE(typedText(start), QStringLiteral("777"));
        dialog.hide();
        showDialog(dialog);
        QCOMPARE(typedText(start), QStringLiteral("777"));
        dialog.reject();

        // The command records its series as well; the plain rule proposes
        // with the increment in the box.
        m_prompt->clear();
        QCOMPARE(WaybillCommand::runCommand({"--model", Ems, "--start", "123456785"}, m_dm.get(),
                                            m_session),
                 0);
        QCOMPARE(WaybillCommand::runCommand({"--model", Generic, "--start", "1000", "--step", "5"},
                                            m_dm.get(), m_session),
                 0);
        m_session.currentTemplate = Ems;
        WaybillDialog fresh(m_dm.get(), &m_session);
        showDialog(fresh);
        QLineEdit* freshStart = fresh.findChild<QLineEdit*>("startNumberEdit");
        QCOMPARE(typedText(freshStart), QStringLiteral("123456811"));
        choose(fresh.findChild<QComboBox*>("templateCombo"), Generic);
        QCOMPARE(typedText(freshStart), QStringLiteral("1011"));
        retype(fresh.findChild<QLineEdit*>("stepEdit"), "5");
        QCOMPARE(typedText(freshStart), QStringLiteral("1015"));
    }

    // waylark carrier: prints "CODE<tab>name", setting the code first when
    // --code is given.
    void carrierCommand_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("message"); // the first message shown
        QTest::addColumn<QString>("stored");  // Carrier_Code of the SF and generic templates

        QTest::newRow("SF by its name") << QStringList{"--model", Sf} << 0 << "SF\t顺丰速运\n"
                                        << QString() << "|";
        QTest::newRow("generic") << QStringList{"--model", Generic} << 0 << "NONE\t通用\n"
                                 << QString() << "|";
        QTest::newRow("set, code in small letters")
            << QStringList{"--model", Generic, "--code", "zto"} << 0 << "ZTO\t中通快递\n"
            << QString() << "|ZTO";
        QTest::newRow("set, name in another letter case")
            << QStringList{"--code", "JTSD", "--model", "顺丰速运"} << 0 << "JTSD\t极兔速递\n"
            << QString() << "JTSD|";
        QTest::newRow("unknown code")
            << QStringList{"--model", Sf, "--code", "DHL"} << 2 << QString()
            << QStringLiteral("--code 的值不正确：DHL\n"
                              "承运商代码须为SF、EMS、YTO、ZTO、STO、YUNDA、JTSD、NONE之一。")
            << "|";
        QTest::newRow("empty code") << QStringList{"--model", Sf, "--code", ""} << 2 << QString()
                                    << QStringLiteral("--code 的值不正确：\n"
                                                      "承运商代码须为SF、EMS、YTO、ZTO、STO、"
                                                      "YUNDA、JTSD、NONE之一。")
                                    << "|";
        QTest::newRow("unknown template")
            << QStringList{"--model", "中通", "--code", "ZTO"} << 1 << QString()
            << QStringLiteral("没有名为“中通”的模板！") << "|";
        QTest::newRow("no template named") << QStringList{"--code", "SF"} << 2 << QString()
                                           << QStringLiteral("缺少选项 --model") << "|";
        const QString usage = QStringLiteral("usage: waylark carrier --model NAME [--code CODE]");
        QTest::newRow("nothing") << QStringList() << 2 << QString()
                                 << QStringLiteral("缺少选项 --model") << "|";
        QTest::newRow("a stray word")
            << QStringList{"--model", Sf, "SF"} << 2 << QString() << usage << "|";
        QTest::newRow("unknown option")
            << QStringList{"--model", Sf, "--rule", "SF"} << 2 << QString()
            << QStringLiteral("unknown option --rule") << "|";
    }
    void carrierCommand()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, output);
        QFETCH(QString, message);
        QFETCH(QString, stored);

        int result = -1;
        const QString printed = standardOutputOf(
            [&] { result = WaybillCommand::runCarrierCommand(args, m_dm.get(), m_session); });
        QCOMPARE(result, status);
        QCOMPARE(printed, output);
        QCOMPARE(m_prompt->messages().value(0), message);
        if (status == 2)
            QCOMPARE(m_prompt->messages().constLast(),
                     QStringLiteral("usage: waylark carrier --model NAME [--code CODE]"));
        QCOMPARE(CarrierStore::load(db(), Sf).code + '|' + CarrierStore::load(db(), Generic).code,
                 stored);
        QCOMPARE(recipientsInFile(), Seeded);
    }

    // A carrier set from the command line numbers the next series.
    void commandNumbersWithTheChosenCarrier()
    {
        standardOutputOf([&] {
            QCOMPARE(WaybillCommand::runCarrierCommand({"--model", Generic, "--code", "SF"},
                                                       m_dm.get(), m_session),
                     0);
        });
        QCOMPARE(WaybillCommand::runCommand({"--model", Generic, "--start", "123456789082"},
                                            m_dm.get(), m_session),
                 0);
        QCOMPARE(recipientsInFile(),
                 numbered(Generic, {"123456789082", "123456789091", "123456789107"}));
        // The generic start is now too short for the chosen rule.
        QCOMPARE(WaybillCommand::runCommand({"--model", Generic, "--start", "1000"}, m_dm.get(),
                                            m_session),
                 2);
        QVERIFY(m_prompt->messages().contains("--start 的值不正确：1000\n" + SfStartText));
    }

    // --- waylark number ------------------------------------------------------

    void commandNumbersEveryRow_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("SF") << QStringList{"--model", Sf, "--start", "123456789082"}
                            << numbered(Sf, {"123456789082", "123456789091", "123456789107"});
        QTest::newRow("EMS named in another letter case, prefix and suffix")
            << QStringList{"--model",  "邮政ems", "--start",  " 123456785 ",
                           "--prefix", "EA",      "--suffix", "CN"}
            << numbered(Ems, {"EA123456785CN", "EA123456799CN", "EA123456808CN"});
        QTest::newRow("step 5") << QStringList{"--model", Generic, "--start", "1000", "--step", "5"}
                                << numbered(Generic, {"1000", "1005", "1010"});
        QTest::newRow("suffix alone")
            << QStringList{"--model", Generic, "--start", "0007", "--suffix", "-A"}
            << numbered(Generic, {"0007-A", "8-A", "9-A"});
    }
    void commandNumbersEveryRow()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, expected);

        QCOMPARE(WaybillCommand::runCommand(args, m_dm.get(), m_session), 0);
        QCOMPARE(m_prompt->messages(), QStringList{Done});
        QCOMPARE(recipientsInFile(), expected);
    }

    // Refused (1) with the dialog's message, or wrong usage (2) naming the
    // option; either way
    // every row stays as it was.
    void commandRefusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message"); // the last message shown

        // A value the rule refuses is wrong usage, named with the rule's text.
        const Inputs sfShort{Sf, "12345678901", "1"};
        QTest::newRow("SF 11 digits")
            << commandArgs(sfShort) << 2 << "--start 的值不正确：12345678901\n" + SfStartText;
        QTest::newRow("EMS 12 digits") << commandArgs({Ems, "123456789012", "1"}) << 2
                                       << "--start 的值不正确：123456789012\n" + EmsStartText;
        QTest::newRow("generic with a letter") << commandArgs({Generic, "12A", "1"}) << 2
                                               << "--start 的值不正确：12A\n" + CommonStartText;
        QTest::newRow("empty increment")
            << commandArgs({Generic, "1000", ""}) << 2 << "--step 的值不正确：\n" + EmptyStepText;
        QTest::newRow("two-digit increment")
            << commandArgs({Generic, "1000", "12"}) << 2
            << QStringLiteral("--step 的值不正确：12\n运单号增量须为0到9之间的一位数字！");
        QTest::newRow("SF end of series")
            << commandArgs({Sf, "123999999985", "1"}) << 1 << SfEndText;
        QTest::newRow("EMS overflow")
            << commandArgs({Ems, "999999985", "1", true, "EA", "CN"}) << 1 << RangeText;
        QTest::newRow("no such template")
            << commandArgs({"中通快递", "1000", "1"}) << 1 << NoTemplateText;

        const QString usage = QStringLiteral("usage: waylark number --model NAME --start NUMBER "
                                             "[--step N] [--prefix TEXT] [--suffix TEXT]");
        QTest::newRow("no start") << QStringList{"--model", Sf} << 2 << usage;
        QTest::newRow("no start, named")
            << QStringList{"--model", Sf} << 2 << QStringLiteral("缺少选项 --start");
        // The default template is not numbered unasked.
        QTest::newRow("no model") << QStringList{"--start", "1000"} << 2 << usage;
        QTest::newRow("no model, named")
            << QStringList{"--start", "1000"} << 2 << QStringLiteral("缺少选项 --model");
        QTest::newRow("SF with an increment that is no digit")
            << commandArgs({Sf, "123456789082", "x"}) << 2
            << QStringLiteral("--step 的值不正确：x\n运单号增量须为0到9之间的一位数字！");
        QTest::newRow("start without its value") << QStringList{"--start"} << 2 << usage;
        QTest::newRow("unknown option")
            << QStringList{"--start", "1", "--count", "3"} << 2 << usage;
        QTest::newRow("a stray word") << QStringList{"--start", "1", "extra"} << 2 << usage;
    }
    void commandRefusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);

        QCOMPARE(WaybillCommand::runCommand(args, m_dm.get(), m_session), status);
        QVERIFY2(m_prompt->messages().contains(message),
                 qPrintable(m_prompt->messages().join('\n')));
        QCOMPARE(recipientsInFile(), Seeded);
    }
};

// The waybill number dialog, the button of the recipient tab and `waylark
// number`, against a database in a fresh application directory.
QTEST_MAIN(TestWaybillWindow)
#include "test_waybillwindow.moc"
