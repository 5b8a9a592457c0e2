// Recipients and the sender, driven through the main window's widgets.
#include "app/startup.h"
#include "book/recipientrows.h"
#include "book/recipientsortmodel.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "data/datasetmodel.h"
#include "findwidget.h"
#include "freshdatabase.h"
#include "gui/book/recipientpage.h"
#include "gui/book/senderpage.h"
#include "gui/mainwindow.h"
#include "gui/maskedtext.h"
#include "gui/templates/designpage.h"
#include "gui/templates/designsurface.h"
#include "gui/waybill/waybilldialog.h"
#include "render/recordrenderer.h"
#include "scriptedprompt.h"
#include "templates/fieldcatalogue.h"
#include "tempworkdir.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

namespace
{

const QString kIncomplete = QStringLiteral("录入信息不完整,姓名、地址、手机为必填字段！");

QStringList texts(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

} // namespace

class TestBook : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempWorkDir> m_tmp;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Startup> m_start;

    // The main window and the data module, through start-up that owns them.
    MainWindow* mainWindow() const { return m_start->mainWindow(); }
    DataModule* dataModule() const { return m_start->dataModule(); }
    RecipientPage* page() const { return findWidget<RecipientPage>("recipientPage"); }
    SenderPage* sender() const { return findWidget<SenderPage>("senderPage"); }
    Dataset* att() const { return dataModule()->recipients; }

    // The design surface's field control of a field key.
    QLineEdit* control(const char* key) const
    {
        const FieldInfo* f = FieldCatalogue::byKey(QString::fromLatin1(key));
        return f ? findWidget<DesignPage>("designPage")
                       ->findChild<QLineEdit*>(FieldControl::objectNameFor(f->key))
                 : nullptr;
    }

    // Starts the program; setup runs on the open database before the window
    // is first shown (and fills its lists).
    bool startProgram(const QStringList& setup = {})
    {
        m_start = std::make_unique<Startup>(m_tmp->path());
        if (!m_start->start())
            return false;
        for (const QString& sql : setup)
            if (!exec(sql))
                return false;
        for (Dataset* ds : dataModule()->datasets())
            ds->refresh();
        mainWindow()->show();
        QApplication::setActiveWindow(mainWindow());
        return QTest::qWaitForWindowActive(mainWindow());
    }

    bool exec(const QString& sql)
    {
        QSqlQuery q(dataModule()->database());
        if (!q.exec(sql)) {
            qWarning() << sql << q.lastError().text();
            return false;
        }
        return true;
    }

    // One column of a table, as the file holds it, in row order.
    QStringList column(const QString& table, const QString& col, const QString& where = {})
    {
        QSqlQuery q(dataModule()->database());
        q.exec(QStringLiteral("SELECT %1 FROM %2 %3 ORDER BY rowid").arg(col, table, where));
        QStringList out;
        while (q.next())
            out << q.value(0).toString();
        return out;
    }

    QStringList namesInFile()
    {
        return column(QStringLiteral("Exp_Att_Info"), QStringLiteral("Name"));
    }

    void addRecipients(const QStringList& names)
    {
        RecipientRows rows(att());
        for (const QString& n : names)
            rows.append({{QStringLiteral("Name"), n}});
    }

    // The user opens the list, moves to the item and presses Enter.
    void pick(QComboBox* box, int index)
    {
        box->showPopup();
        QAbstractItemView* view = box->view();
        view->setCurrentIndex(view->model()->index(index, 0));
        QTest::keyClick(view, Qt::Key_Return);
    }
    void pick(QComboBox* box, const QString& text)
    {
        const int i = box->findText(text, Qt::MatchExactly);
        QVERIFY2(i >= 0, qPrintable(text));
        pick(box, i);
    }

    // Types text key by key into the focused edit, as a keyboard or an
    // input method would (QTest::keyClicks knows Latin-1 keys only).
    void typeInto(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        for (const QChar c : text) {
            if (c.unicode() < 0x80)
                QTest::keyClick(edit, c.toLatin1());
            else
                QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c),
                                    Qt::NoModifier);
        }
    }

    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTableView* grid = page()->findChild<QTableView*>("recipientGrid");
        const QRect r = grid->visualRect(grid->model()->index(row, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, r.center());
    }

    QList<int> selectedRows() const
    {
        QList<int> rows;
        for (const QModelIndex& i :
             page()->findChild<QTableView*>("recipientGrid")->selectionModel()->selectedRows())
            rows << i.row();
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    // Five recipients with every searched column filled in places.
    void addSearchableRecipients()
    {
        const QList<QStringList> rows = {
            {"李四", "13800001111", "01088887777", "北京市人民路1号", "SF1234567890"},
            {"王小二", "13900002222", "", "上海市南京路2号", "EA123456789CN"},
            {"Alice Smith", "13700003333", "02166665555", "广州市中山路3号", ""},
            {"王五", "13600004444", "", "杭州市人民路4号", "SF9876543210"},
            {"张三", "13500005555", "07555554444", "深圳市深南路5号", ""},
        };
        RecipientRows writer(att());
        for (const QStringList& r : rows)
            writer.append({{"Name", r.at(0)},
                           {"Mobile", r.at(1)},
                           {"Phone", r.at(2)},
                           {"Address", r.at(3)},
                           {"WayBillNo", r.at(4)}});
    }

private Q_SLOTS:
    void init()
    {
        m_tmp = std::make_unique<TempWorkDir>();
        QVERIFY(makeFreshAppDir(m_tmp->path()));
        m_prompt = std::make_unique<ScriptedPrompt>();
    }
    void cleanup()
    {
        if (m_start)
            m_start->shutdown();
        m_start.reset();
        m_prompt.reset();
        m_tmp.reset();
    }

    // --- Typed entry ------------------------------------------------------

    // "智能填写" fills the boxes; a district several cities hold is offered,
    // never chosen; the user's choice fills the lists and saving stores it.
    void smartFillFillsTheBoxes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("boxes"); // name, mobile, phone, address, postcode
        QTest::addColumn<QStringList>("regions");
        QTest::addColumn<QStringList>("candidates");
        QTest::addColumn<QString>("note");
        QTest::newRow("sure")
            << QStringLiteral("收货人：欧阳娜娜\n手机号码：+86 138-0013-8000\n"
                              "所在地区：浙江省 杭州市 西湖区\n详细地址：文三路100号\n邮编：310012")
            << QStringList{"欧阳娜娜", "13800138000", "", "文三路100号", "310012"}
            << QStringList{"浙江省", "杭州市", "西湖区"} << QStringList() << QString();
        QTest::newRow("former name")
            << QStringLiteral("李四 13600000000 0574-88886666转12 宁波江东区百丈路1号")
            << QStringList{"李四", "13600000000", "0574-88886666转12", "百丈路1号", ""}
            << QStringList{"浙江省", "宁波市", "鄞州区"} << QStringList()
            << QStringLiteral("“江东区”已按现在的地名填写，请核对。");
        QTest::newRow("ambiguous") << QStringLiteral("王先生，13912345678，江苏鼓楼区中山路1号")
                                   << QStringList{"王先生", "13912345678", "", "中山路1号", ""}
                                   << QStringList{"江苏省", "", ""}
                                   << QStringList{"江苏省 南京市 鼓楼区", "江苏省 徐州市 鼓楼区"}
                                   << QStringLiteral("地区有多种可能，请在右边选择。");
        QTest::newRow("not recognised")
            << QStringLiteral("赵六 13700000000 文三路100号")
            << QStringList{"赵六", "13700000000", "", "文三路100号", ""} << QStringList{"", "", ""}
            << QStringList() << QStringLiteral("没有认出省、市、区县，请自己选择。");
    }
    void smartFillFillsTheBoxes()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, regions);
        QFETCH(QStringList, candidates);
        QFETCH(QString, note);
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        RecipientPage* p = page();
        p->findChild<QPlainTextEdit*>("pasteEdit")->setPlainText(text);
        QTest::mouseClick(p->findChild<QPushButton*>("smartFillButton"), Qt::LeftButton);
        QVERIFY2(m_prompt->shown.isEmpty(), qPrintable(m_prompt->messages().join('\n')));
        const QStringList got{p->findChild<QLineEdit*>("nameEdit")->text(),
                              maskedText(p->findChild<QLineEdit*>("mobileEdit")).trimmed(),
                              p->findChild<QLineEdit*>("phoneEdit")->text(),
                              p->findChild<QLineEdit*>("addressEdit")->text(),
                              maskedText(p->findChild<QLineEdit*>("postCodeEdit")).trimmed()};
        QCOMPARE(got, boxes);
        QComboBox* province = p->findChild<QComboBox*>("provinceList");
        QComboBox* city = p->findChild<QComboBox*>("cityList");
        QComboBox* county = p->findChild<QComboBox*>("countyList");
        QCOMPARE((QStringList{province->currentText(), city->currentText(), county->currentText()}),
                 regions);
        QComboBox* offered = p->findChild<QComboBox*>("candidateList");
        QCOMPARE(texts(offered), candidates);
        QCOMPARE(offered->isVisibleTo(p), !candidates.isEmpty());
        QCOMPARE(p->findChild<QLabel*>("smartFillNote")->text(), note);
        if (regions.at(1).isEmpty() && candidates.isEmpty())
            return;
        if (!candidates.isEmpty()) {
            offered->setCurrentIndex(1);
            Q_EMIT offered->activated(1);
            QCOMPARE(county->currentText(), QStringLiteral("鼓楼区"));
            QCOMPARE(city->currentText(), QStringLiteral("徐州市"));
        }
        QTest::mouseClick(p->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        QVERIFY2(m_prompt->shown.isEmpty(), qPrintable(m_prompt->messages().join('\n')));
        QSqlQuery q(dataModule()->database());
        QVERIFY(q.exec("SELECT Prvince, City, Country, Disrination FROM Exp_Att_Info"));
        QVERIFY(q.next());
        QCOMPARE(q.value(1).toString(), city->currentText());
        QCOMPARE(q.value(3).toString(), city->currentText());
    }

    void saveIsRefusedWithoutNameAddressOrMobile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("mobile");
        QTest::newRow("mobile untouched") << "张三"
                                          << "人民路1号"
                                          << "";
        QTest::newRow("name only blanks") << "   "
                                          << "人民路1号"
                                          << "139";
        QTest::newRow("address missing") << "张三"
                                         << ""
                                         << "13900000000";
        QTest::newRow("nothing typed") << ""
                                       << ""
                                       << "";
    }
    void saveIsRefusedWithoutNameAddressOrMobile()
    {
        QFETCH(QString, name);
        QFETCH(QString, address);
        QFETCH(QString, mobile);
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        typeInto(page()->findChild<QLineEdit*>("nameEdit"), name);
        typeInto(page()->findChild<QLineEdit*>("mobileEdit"), mobile);
        typeInto(page()->findChild<QLineEdit*>("companyEdit"), QStringLiteral("某公司"));
        typeInto(page()->findChild<QLineEdit*>("addressEdit"), address);
        QVERIFY(page()->findChild<QLineEdit*>("addressEdit")->hasFocus());

        QTest::mouseClick(page()->findChild<QPushButton*>("saveButton"), Qt::LeftButton);

        QCOMPARE(m_prompt->messages(), QStringList{kIncomplete});
        QVERIFY(page()->findChild<QLineEdit*>("nameEdit")->hasFocus());
        QVERIFY(namesInFile().isEmpty());
        QCOMPARE(att()->recordCount(), 0);
        // What was typed stays for the user to complete.
        QCOMPARE(page()->findChild<QLineEdit*>("nameEdit")->text(), name);
        QCOMPARE(page()->findChild<QLineEdit*>("addressEdit")->text(), address);
        QCOMPARE(page()->findChild<QLineEdit*>("companyEdit")->text(), QStringLiteral("某公司"));
    }

    void savedRowKeepsTypedTextWithoutMaskBlanks_data()
    {
        QTest::addColumn<QString>("mobile");
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QString>("postcode");
        QTest::addColumn<QString>("storedMobile");
        QTest::addColumn<QString>("storedPhone");
        QTest::addColumn<QString>("storedPostcode");
        QTest::newRow("every position") << "13912345678"
                                        << "02088886666"
                                        << "510000"
                                        << "13912345678"
                                        << "02088886666"
                                        << "510000";
        QTest::newRow("phone and postcode untouched") << "13912345678"
                                                      << ""
                                                      << ""
                                                      << "13912345678"
                                                      << ""
                                                      << "";
        QTest::newRow("letters are not taken") << "1a3b9c12345678"
                                               << "x"
                                               << "51y0000"
                                               << "13912345678"
                                               << ""
                                               << "510000";
    }
    void savedRowKeepsTypedTextWithoutMaskBlanks()
    {
        QFETCH(QString, mobile);
        QFETCH(QString, phone);
        QFETCH(QString, postcode);
        QFETCH(QString, storedMobile);
        QFETCH(QString, storedPhone);
        QFETCH(QString, storedPostcode);
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        RecipientPage* p = page();
        pick(p->findChild<QComboBox*>("provinceList"), QStringLiteral("广东省"));
        pick(p->findChild<QComboBox*>("cityList"), QStringLiteral("广州市"));
        pick(p->findChild<QComboBox*>("countyList"), QStringLiteral("天河区"));
        typeInto(p->findChild<QLineEdit*>("nameEdit"), QStringLiteral("  王 五 "));
        typeInto(p->findChild<QLineEdit*>("mobileEdit"), mobile);
        typeInto(p->findChild<QLineEdit*>("companyEdit"), QStringLiteral(" 某公司"));
        typeInto(p->findChild<QLineEdit*>("phoneEdit"), phone);
        typeInto(p->findChild<QLineEdit*>("addressEdit"), QStringLiteral(" 天河路 1 号  "));
        typeInto(p->findChild<QLineEdit*>("postCodeEdit"), postcode);

        QTest::mouseClick(p->findChild<QPushButton*>("saveButton"), Qt::LeftButton);

        QVERIFY2(m_prompt->shown.isEmpty(), qPrintable(m_prompt->messages().join('\n')));
        QSqlQuery q(dataModule()->database());
        QVERIFY(q.exec("SELECT Name, Company, Address, Mobile, Phone, Disrination, Prvince, City,"
                       " Country, PostCode, Custom1, Custom2, Custom3, Custom4, Custom5, ExpName,"
                       " WayBillNo FROM Exp_Att_Info"));
        QVERIFY(q.next());
        const QStringList expected = {"  王 五 ",  " 某公司",     " 天河路 1 号  ", storedMobile,
                                      storedPhone, "广州市",      "广东省",         "广州市",
                                      "天河区",    storedPostcode};
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(q.value(i).toString(), expected.at(i));
        for (int i = expected.size(); i < 17; ++i)
            QVERIFY(q.value(i).toString().isEmpty());
        QVERIFY(!q.next());

        // The new row is the current recipient and the grid shows it.
        QCOMPARE(att()->recordCount(), 1);
        QCOMPARE(att()->fieldByName("Name").asString(), QStringLiteral("  王 五 "));
        QCOMPARE(p->findChild<QTableView*>("recipientGrid")->model()->index(0, 3).data().toString(),
                 storedMobile);

        // The edits are emptied; the region lists keep their choice.
        for (QLineEdit* e :
             {p->findChild<QLineEdit*>("nameEdit"), p->findChild<QLineEdit*>("companyEdit"),
              p->findChild<QLineEdit*>("addressEdit"), p->findChild<QLineEdit*>("destinationEdit")})
            QVERIFY2(e->text().isEmpty(), qPrintable(e->objectName()));
        QCOMPARE(maskedText(p->findChild<QLineEdit*>("mobileEdit")), QString(11, ' '));
        QVERIFY(p->findChild<QLineEdit*>("phoneEdit")->text().isEmpty());
        QCOMPARE(maskedText(p->findChild<QLineEdit*>("postCodeEdit")), QString(6, ' '));
        QCOMPARE(p->findChild<QComboBox*>("provinceList")->currentText(), QStringLiteral("广东省"));
        QCOMPARE(p->findChild<QComboBox*>("cityList")->currentText(), QStringLiteral("广州市"));
        QCOMPARE(p->findChild<QComboBox*>("countyList")->currentText(), QStringLiteral("天河区"));

        // The next recipient of the same district needs no new pick; the
        // destination is what the user left (now empty).
        typeInto(p->findChild<QLineEdit*>("nameEdit"), QStringLiteral("赵六"));
        typeInto(p->findChild<QLineEdit*>("addressEdit"), QStringLiteral("体育西路"));
        typeInto(p->findChild<QLineEdit*>("mobileEdit"), QStringLiteral("13800001111"));
        QTest::mouseClick(p->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        QCOMPARE(column("Exp_Att_Info", "Country || '|' || City || '|' || Disrination"),
                 QStringList({"天河区|广州市|广州市", "天河区|广州市|"}));
    }

    // A double click puts a row into the boxes; "保存修改" changes that row
    // in place, "取消修改" goes back to adding, and typed text not yet saved
    // is given up only when the user agrees.
    void doubleClickEditsTheRow()
    {
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        RecipientPage* p = page();
        RecipientRows(att()).append({{"Name", "甲"},
                                     {"Address", "北京市海淀区"},
                                     {"Mobile", "13900000001"},
                                     {"Prvince", "广东省"},
                                     {"City", "广州市"},
                                     {"Country", "天河区"},
                                     {"PostCode", "510000"},
                                     {"WayBillNo", "SF1"}});
        addRecipients({"乙"});
        QTableView* grid = p->findChild<QTableView*>("recipientGrid");
        auto doubleClickRow = [grid](int row) {
            const QRect r = grid->visualRect(grid->model()->index(row, 0));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
        };
        auto* name = p->findChild<QLineEdit*>("nameEdit");
        auto* save = p->findChild<QPushButton*>("saveButton");
        auto* cancel = p->findChild<QPushButton*>("cancelEditButton");

        doubleClickRow(0);
        QCOMPARE(name->text(), QString("甲"));
        QCOMPARE(p->findChild<QLineEdit*>("addressEdit")->text(), QString("北京市海淀区"));
        QCOMPARE(typedText(p->findChild<QLineEdit*>("mobileEdit")), QString("13900000001"));
        QCOMPARE(p->findChild<QComboBox*>("countyList")->currentText(), QString("天河区"));
        QCOMPARE(save->text(), QString("保存修改"));
        QVERIFY(cancel->isVisible());

        name->selectAll();
        typeInto(name, QStringLiteral("甲改"));
        QTest::mouseClick(save, Qt::LeftButton);
        QVERIFY2(m_prompt->shown.isEmpty(), qPrintable(m_prompt->messages().join('\n')));
        QCOMPARE(att()->recordCount(), 2);
        QCOMPARE(att()->cellText(0, att()->fieldIndex("Name")), QString("甲改"));
        // Columns without a box keep their values.
        QCOMPARE(att()->cellText(0, att()->fieldIndex("WayBillNo")), QString("SF1"));
        QCOMPARE(save->text(), QString("保存"));
        QVERIFY(!cancel->isVisible());
        QVERIFY(name->text().isEmpty());

        // Typed text for a new recipient: kept when the user says no.
        typeInto(name, QStringLiteral("丙"));
        m_prompt->answers.enqueue(Prompt::Button::No);
        doubleClickRow(1);
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.at(0).text,
                 QString("输入框中的内容还没有保存，要放弃这些内容吗？"));
        QCOMPARE(name->text(), QString("丙"));
        QCOMPARE(save->text(), QString("保存"));
        m_prompt->clear();
        doubleClickRow(1); // answered yes
        QCOMPARE(name->text(), QString("乙"));
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(name->text().isEmpty());
        QCOMPARE(att()->cellText(1, att()->fieldIndex("Name")), QString("乙"));
        QCOMPARE(att()->recordCount(), 2);
    }

    // The row in the boxes is saved by its ID: the grid's current row, its
    // selection and the rows around it stay as the user left them, even when
    // the user moved on to other rows meanwhile or the grid is sorted.
    void savingAnEditedRowLeavesTheGridAlone()
    {
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        RecipientPage* p = page();
        addRecipients({"甲", "乙", "丙", "丁"});
        QTableView* grid = p->findChild<QTableView*>("recipientGrid");
        const QRect r = grid->visualRect(grid->model()->index(0, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
        QCOMPARE(p->editingRowId(), att()->rowId(0));
        clickRow(3);
        clickRow(2, Qt::ShiftModifier);
        QCOMPARE(att()->recNo(), 2);
        QSignalSpy resets(grid->model(), &QAbstractItemModel::modelReset);
        QSignalSpy moves(att(), &Dataset::currentChanged);

        auto* name = p->findChild<QLineEdit*>("nameEdit");
        name->selectAll();
        typeInto(name, QStringLiteral("甲改"));
        typeInto(p->findChild<QLineEdit*>("addressEdit"), QStringLiteral("路"));
        typeInto(p->findChild<QLineEdit*>("mobileEdit"), QStringLiteral("13900000001"));
        QTest::mouseClick(p->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        QVERIFY2(m_prompt->shown.isEmpty(), qPrintable(m_prompt->messages().join('\n')));
        QCOMPARE(column("Exp_Att_Info", "Name"), QStringList({"甲改", "乙", "丙", "丁"}));
        QCOMPARE(grid->model()->index(0, 0).data().toString(), QString("甲改"));
        QCOMPARE(resets.size(), 0);
        QCOMPARE(moves.size(), 0);
        QCOMPARE(att()->recNo(), 2);
        QCOMPARE(grid->currentIndex().row(), 2);
        QCOMPARE(selectedRows(), QList<int>({2, 3}));

        // A row deleted before its save is not written anywhere else.
        const QRect second = grid->visualRect(grid->model()->index(1, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
        typeInto(p->findChild<QLineEdit*>("addressEdit"), QStringLiteral("路"));
        typeInto(p->findChild<QLineEdit*>("mobileEdit"), QStringLiteral("13900000002"));
        QVERIFY(exec("DELETE FROM Exp_Att_Info WHERE Name = '乙'"));
        att()->refresh();
        m_prompt->clear();
        QTest::mouseClick(p->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList{"要修改的收件人已被删除，请重新选择。"});
        QCOMPARE(column("Exp_Att_Info", "Name"), QStringList({"甲改", "丙", "丁"}));
    }

    // "删除选择行" asks first; "否" keeps every row.
    void deletingRowsAsksFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("yes") << int(Prompt::Button::Yes) << QStringList({"丙"});
        QTest::newRow("no") << int(Prompt::Button::No) << QStringList({"甲", "乙", "丙"});
    }
    void deletingRowsAsksFirst()
    {
        QFETCH(int, answer);
        QFETCH(QStringList, left);
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        addRecipients({"甲", "乙", "丙"});
        clickRow(0);
        clickRow(1, Qt::ShiftModifier);
        m_prompt->answers.enqueue(Prompt::Button(answer));
        page()->findChild<QAction*>("deleteRowsAction")->trigger();
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.at(0).text,
                 QString("确定要删除选中的 2 行收件人吗？删除后不能恢复。"));
        QCOMPARE(m_prompt->shown.at(0).defaultButton, Prompt::Button::No);
        QStringList names;
        for (int row = 0; row < att()->recordCount(); ++row)
            names << att()->cellText(row, att()->fieldIndex("Name"));
        QCOMPARE(names, left);
    }

    // After a jammed form: the chosen rows lose their marks and count as
    // "未打印" again; the others keep theirs.
    void unmarkingRowsMakesThemUnprinted()
    {
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        addRecipients({"甲", "乙", "丙"});
        QVERIFY(
            exec("UPDATE Exp_Att_Info SET Print_Count = 2, Printed_At = '2026-03-01 09:30:00'"));
        att()->refresh();
        clickRow(0);
        clickRow(1, Qt::ShiftModifier);
        page()->findChild<QAction*>("unmarkRowsAction")->trigger();
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.at(0).text, QString("确定把选中的 2 行标记为未打印吗？"));
        QSqlQuery q(dataModule()->database());
        QVERIFY(q.exec("SELECT Name, Printed_At, Print_Count FROM Exp_Att_Info ORDER BY ID"));
        QStringList rows;
        while (q.next())
            rows << QStringList(
                        {q.value(0).toString(), q.value(1).toString(), q.value(2).toString()})
                        .join('|');
        QCOMPARE(rows, QStringList({"甲||", "乙||", "丙|2026-03-01 09:30:00|2"}));
        // The grid shows it at once, and keeps the user's rows chosen.
        const int marked = page()->gridModel->columnCount() - 1;
        QCOMPARE(page()->gridModel->index(0, marked).data().toString(), QString());
        QCOMPARE(selectedRows(), QList<int>({0, 1}));
        QCOMPARE(att()->recNo(), 1);
    }

    void printedColumnStandsNextToTheName()
    {
        QVERIFY(startProgram());
        QHeaderView* header = page()->findChild<QTableView*>("recipientGrid")->horizontalHeader();
        const int printed = page()->gridModel->columnCount() - 1;
        QCOMPARE(page()->gridModel->headerData(printed, Qt::Horizontal).toString(),
                 QString("已打印"));
        QCOMPARE(header->logicalIndex(0), 0);
        QCOMPARE(header->visualIndex(printed), 1);
    }

    void badMobileOrPostcodeIsRefused_data()
    {
        QTest::addColumn<QString>("mobile");
        QTest::addColumn<QString>("postcode");
        QTest::addColumn<QString>("refusedBox");
        QTest::addColumn<QString>("told");
        const QString mobileTold =
            QStringLiteral("手机号码“%1”不正确：手机号码应为以1开头的11位数字。");
        QTest::newRow("mobile partly typed") << "139123"
                                             << "510000"
                                             << "mobileEdit" << mobileTold.arg("139123");
        QTest::newRow("mobile not beginning with 1")
            << "23912345678"
            << ""
            << "mobileEdit" << mobileTold.arg("23912345678");
        QTest::newRow("postcode partly typed")
            << "13912345678"
            << "51"
            << "postCodeEdit" << QStringLiteral("邮编“51”不正确：邮编应为6位数字。");
    }
    void badMobileOrPostcodeIsRefused()
    {
        QFETCH(QString, mobile);
        QFETCH(QString, postcode);
        QFETCH(QString, refusedBox);
        QFETCH(QString, told);
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        RecipientPage* p = page();
        typeInto(p->findChild<QLineEdit*>("nameEdit"), QStringLiteral("王五"));
        typeInto(p->findChild<QLineEdit*>("mobileEdit"), mobile);
        typeInto(p->findChild<QLineEdit*>("addressEdit"), QStringLiteral("天河路"));
        typeInto(p->findChild<QLineEdit*>("postCodeEdit"), postcode);

        QTest::mouseClick(p->findChild<QPushButton*>("saveButton"), Qt::LeftButton);

        QCOMPARE(m_prompt->messages(), QStringList{told});
        QVERIFY(p->findChild<QLineEdit*>(refusedBox)->hasFocus());
        QVERIFY(namesInFile().isEmpty());
        QCOMPARE(p->findChild<QLineEdit*>("nameEdit")->text(), QStringLiteral("王五"));
        QCOMPARE(maskedText(p->findChild<QLineEdit*>("mobileEdit")).trimmed(), mobile);
    }

    // A click into the blank part of a masked box, or the focus coming to
    // it, leaves the cursor after what is typed, never among the blanks.
    void maskedBoxTakesTheCursorAfterWhatIsTyped_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("digits");
        QTest::newRow("mobile") << "mobileEdit"
                                << "13912345678";
        QTest::newRow("postcode") << "postCodeEdit"
                                  << "510000";
        QTest::newRow("waybill start") << "startNumberEdit"
                                       << "100000000000001";
    }
    void maskedBoxTakesTheCursorAfterWhatIsTyped()
    {
        QFETCH(QString, box);
        QFETCH(QString, digits);
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        QWidget* window = page();
        if (box == QLatin1String("startNumberEdit")) {
            auto* dialog = mainWindow()->findChild<WaybillDialog*>();
            QVERIFY(dialog);
            dialog->show();
            QApplication::setActiveWindow(dialog);
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            window = dialog;
        }
        QLineEdit* edit = window->findChild<QLineEdit*>(box);
        QVERIFY(edit);
        const QPoint rightSide(edit->width() - 4, edit->height() / 2);

        // Empty: the click at the right side puts the cursor at the start.
        QTest::mouseClick(edit, Qt::LeftButton, Qt::NoModifier, rightSide);
        QVERIFY(edit->hasFocus());
        QTest::keyClicks(edit, digits);
        QCOMPARE(edit->text(), digits);

        // Partly typed: after the last digit.
        edit->clear();
        QTest::keyClicks(edit, digits.left(3));
        QTest::mouseClick(edit, Qt::LeftButton, Qt::NoModifier, rightSide);
        QTest::keyClicks(edit, digits.mid(3));
        QCOMPARE(edit->text(), digits);

        // The focus given by the program (a refused save) as well.
        edit->clear();
        edit->setCursorPosition(digits.size() - 1);
        window
            ->findChild<QLineEdit*>(box == QLatin1String("startNumberEdit") ? "stepEdit"
                                                                            : "nameEdit")
            ->setFocus();
        edit->setFocus();
        QTest::keyClicks(edit, digits);
        QCOMPARE(edit->text(), digits);
    }

    // The landline boxes of the recipient, the sender and the design surface.
    void landlineBoxesKeepWhatIsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        const QStringList asTyped = {"075588889999",       "0755-88889999",  "010-12345678-123",
                                     "0755-88889999转123", "(010)12345678",  "+86 10 12345678",
                                     "01012345678",        "0755-8888999912"};
        for (const QString& number : asTyped)
            QTest::newRow(qPrintable(number)) << number << number;
        QTest::newRow("letters are not taken") << "0755-8888x9999分机"
                                               << "0755-88889999";
        QTest::newRow("at most 20 characters") << "0755-88889999转123456789"
                                               << "0755-88889999转123456";
    }
    void landlineBoxesKeepWhatIsTyped()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QVERIFY(startProgram());

        // Recipient entry: stored as typed.
        mainWindow()->showRecipientsTab();
        RecipientPage* p = page();
        typeInto(p->findChild<QLineEdit*>("nameEdit"), QStringLiteral("王五"));
        typeInto(p->findChild<QLineEdit*>("mobileEdit"), QStringLiteral("13912345678"));
        typeInto(p->findChild<QLineEdit*>("phoneEdit"), typed);
        QCOMPARE(p->findChild<QLineEdit*>("phoneEdit")->text(), kept);
        typeInto(p->findChild<QLineEdit*>("addressEdit"), QStringLiteral("天河路"));
        QTest::mouseClick(p->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        QVERIFY2(m_prompt->shown.isEmpty(), qPrintable(m_prompt->messages().join('\n')));
        QCOMPARE(column("Exp_Att_Info", "Phone"), QStringList{kept});

        // Sender: stored as typed.
        mainWindow()->showSenderTab();
        SenderPage* s = sender();
        typeInto(s->findChild<QLineEdit*>("phoneEdit"), typed);
        s->findChild<QLineEdit*>("nameEdit")->setFocus();
        QTest::mouseClick(s->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        QCOMPARE(column("Exp_Send_info", "Phone"), QStringList{kept});

        // Design surface: the recipient's and the sender's landline fields.
        mainWindow()->showDesignTab();
        for (const char* key : {"A_Phone", "S_Phone"}) {
            QLineEdit* c = control(key);
            QVERIFY(c);
            c->setFocus();
            c->selectAll();
            QTest::keyClick(c, Qt::Key_Delete);
            typeInto(c, typed);
            QCOMPARE(c->text(), kept);
            control("A_Name")->setFocus(); // leaving writes it into the row
            Dataset* row = QByteArray(key).startsWith('S') ? dataModule()->sender : att();
            QCOMPARE(row->fieldByName("Phone").asString(), kept);
        }
        QCOMPARE(control("S_Phone")->text(), kept);
    }

    void storedLandlinesAreShownWhole()
    {
        // Imported or downloaded values of any length or form.
        const QString longNumber = QStringLiteral("0755-88889999转123 / 020-12345678-9");
        QVERIFY(startProgram(
            {QStringLiteral("INSERT INTO Exp_Att_Info (Name, Phone) VALUES ('甲', '%1')")
                 .arg(longNumber),
             QStringLiteral("INSERT INTO Exp_Send_info (Name, Phone) VALUES ('乙', '%1')")
                 .arg(longNumber),
             QStringLiteral("UPDATE Exp_Model SET A_Phone_isVis = '1', S_Phone_isVis = '1'")}));
        mainWindow()->showDesignTab();
        QLineEdit* a = control("A_Phone");
        QCOMPARE(a->text(), longNumber);
        QCOMPARE(control("S_Phone")->text(), longNumber);
        mainWindow()->showSenderTab();
        QCOMPARE(sender()->findChild<QLineEdit*>("phoneEdit")->text(), longNumber);

        // Printing takes them whole as well.
        QStringList printed;
        const RecordFields fields =
            RecordRenderer::collect(findWidget<DesignPage>("designPage")->surface()->layout(),
                                    dataModule()->sender, att(), 0);
        for (const RenderField& f : fields)
            if (f.field->column == QLatin1String("Phone"))
                printed << f.text;
        QCOMPARE(printed, QStringList({longNumber, longNumber}));

        // The user can still shorten such a value.
        mainWindow()->showDesignTab();
        a->setFocus();
        a->end(false);
        QTest::keyClick(a, Qt::Key_Backspace);
        QCOMPARE(a->text(), longNumber.chopped(1));
    }

    // --- Region cascade ---------------------------------------------------

    void cascadeFollowsThePicks()
    {
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        RecipientPage* p = page();
        QCOMPARE(texts(p->findChild<QComboBox*>("provinceList")), column("province", "name"));
        QCOMPARE(p->findChild<QComboBox*>("provinceList")->currentIndex(), -1);
        QVERIFY(texts(p->findChild<QComboBox*>("cityList")).isEmpty());

        typeInto(p->findChild<QLineEdit*>("destinationEdit"), QStringLiteral("手写目的地"));
        pick(p->findChild<QComboBox*>("provinceList"), QStringLiteral("广东省"));
        QVERIFY(p->findChild<QLineEdit*>("destinationEdit")->text().isEmpty());
        QCOMPARE(dataModule()->cities->param("provinceID").toString(), QStringLiteral("44"));
        QCOMPARE(texts(p->findChild<QComboBox*>("cityList")),
                 column("city", "name", "WHERE provinceID='44'"));
        QCOMPARE(p->findChild<QComboBox*>("cityList")->currentIndex(), -1);
        QVERIFY(texts(p->findChild<QComboBox*>("countyList")).isEmpty());

        pick(p->findChild<QComboBox*>("cityList"), QStringLiteral("深圳市"));
        QCOMPARE(p->findChild<QLineEdit*>("destinationEdit")->text(), QStringLiteral("深圳市"));
        QCOMPARE(dataModule()->areas->param("cityID").toString(), QStringLiteral("4403"));
        QCOMPARE(texts(p->findChild<QComboBox*>("countyList")),
                 column("area", "name", "WHERE cityID='4403'"));
        QCOMPARE(p->findChild<QComboBox*>("countyList")->currentIndex(), -1);

        // A district leaves the destination as the user made it.
        p->findChild<QLineEdit*>("destinationEdit")->clear();
        typeInto(p->findChild<QLineEdit*>("destinationEdit"), QStringLiteral("前海"));
        pick(p->findChild<QComboBox*>("countyList"), 0);
        QCOMPARE(p->findChild<QLineEdit*>("destinationEdit")->text(), QStringLiteral("前海"));

        // Another city replaces the destination and the districts.
        pick(p->findChild<QComboBox*>("cityList"), QStringLiteral("广州市"));
        QCOMPARE(p->findChild<QLineEdit*>("destinationEdit")->text(), QStringLiteral("广州市"));
        QCOMPARE(texts(p->findChild<QComboBox*>("countyList")),
                 column("area", "name", "WHERE cityID='4401'"));

        // Another province empties the destination and both lower lists.
        pick(p->findChild<QComboBox*>("provinceList"), QStringLiteral("北京市"));
        QVERIFY(p->findChild<QLineEdit*>("destinationEdit")->text().isEmpty());
        QCOMPARE(texts(p->findChild<QComboBox*>("cityList")),
                 column("city", "name", "WHERE provinceID='11'"));
        QVERIFY(texts(p->findChild<QComboBox*>("countyList")).isEmpty());
        QCOMPARE(p->findChild<QComboBox*>("countyList")->currentText(), QString());

        // Changes made by the program are not picks.
        p->findChild<QComboBox*>("provinceList")
            ->setCurrentIndex(p->findChild<QComboBox*>("provinceList")->findText("广东省"));
        QCOMPARE(texts(p->findChild<QComboBox*>("cityList")),
                 column("city", "name", "WHERE provinceID='11'"));
        QVERIFY(m_prompt->shown.isEmpty());
    }

    void repeatedRegionNamesResolveToTheFirstRow()
    {
        // A second "北京市" province and two cities of one name, each with
        // its own code and districts.
        QVERIFY(startProgram({
            "INSERT INTO province (code, name) VALUES ('98', '北京市')",
            "INSERT INTO city (code, name, provinceID) VALUES ('9801', '别处', '98')",
            "INSERT INTO province (code, name) VALUES ('99', '重名省')",
            "INSERT INTO city (code, name, provinceID) VALUES ('9901', '重名市', '99')",
            "INSERT INTO city (code, name, provinceID) VALUES ('9902', '重名市', '99')",
            "INSERT INTO area (code, name, cityID) VALUES ('990101', '甲区', '9901')",
            "INSERT INTO area (code, name, cityID) VALUES ('990201', '乙区', '9902')",
        }));
        mainWindow()->showRecipientsTab();
        RecipientPage* p = page();
        const int second =
            p->findChild<QComboBox*>("provinceList")->count() - 2; // the later "北京市"
        QCOMPARE(p->findChild<QComboBox*>("provinceList")->itemText(second),
                 QStringLiteral("北京市"));
        pick(p->findChild<QComboBox*>("provinceList"), second);
        QCOMPARE(texts(p->findChild<QComboBox*>("cityList")),
                 column("city", "name", "WHERE provinceID='11'"));

        pick(p->findChild<QComboBox*>("provinceList"), QStringLiteral("重名省"));
        QCOMPARE(texts(p->findChild<QComboBox*>("cityList")), QStringList({"重名市", "重名市"}));
        pick(p->findChild<QComboBox*>("cityList"), 1);
        QCOMPARE(texts(p->findChild<QComboBox*>("countyList")), QStringList{"甲区"});
    }

    // --- Search -----------------------------------------------------------

    void searchByStartOfName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("expectedRow"); // -1: none found, the row stays
        QTest::newRow("one-character surname") << "王" << 1;
        QTest::newRow("whole name") << "王小二" << 2;
        QTest::newRow("leading blank is part of the prefix") << " 王" << 3;
        QTest::newRow("no match") << "赵" << -1;
        QTest::newRow("blank box") << "   " << -1;
        QTest::newRow("empty box") << "" << -1;
    }
    void searchByStartOfName()
    {
        QFETCH(QString, typed);
        QFETCH(int, expectedRow);
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        addRecipients({"李四", "王五", "王小二", " 王六", "张三"});
        clickRow(4);
        QCOMPARE(att()->recNo(), 4);

        typeInto(page()->findChild<QLineEdit*>("nameEdit"), typed);
        QTest::mouseClick(page()->findChild<QPushButton*>("findButton"), Qt::LeftButton);

        const int row = expectedRow < 0 ? 4 : expectedRow;
        QCOMPARE(att()->recNo(), row);
        QCOMPARE(page()->findChild<QTableView*>("recipientGrid")->currentIndex().row(), row);
        QCOMPARE(selectedRows(), QList<int>{row});
        // The design surface shows the current recipient.
        QCOMPARE(control("A_Name")->text(), att()->cellText(row, att()->fieldIndex("Name")));
        // A text that finds nothing is told; a blank one is no search.
        const QStringList told = expectedRow < 0 && !typed.trimmed().isEmpty()
                                     ? QStringList{QStringLiteral("没有找到“%1”。").arg(typed)}
                                     : QStringList();
        QCOMPARE(m_prompt->messages(), told);
        // A search writes nothing.
        QCOMPARE(namesInFile(), QStringList({"李四", "王五", "王小二", " 王六", "张三"}));
        QCOMPARE(page()->findChild<QLineEdit*>("nameEdit")->text(), typed);
    }

    void searchFindsAnyPartAndEnterGoesOn_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("rowsAfterEachEnter");
        QTest::newRow("middle of a name") << "小二" << QList<int>{1, 1};
        QTest::newRow("part of a mobile") << "0003" << QList<int>{2};
        QTest::newRow("part of a phone") << "8887" << QList<int>{0};
        QTest::newRow("part of an address") << "中山路" << QList<int>{2};
        QTest::newRow("part of a waybill number") << "456789CN" << QList<int>{1};
        QTest::newRow("Latin letters in either case") << "alice" << QList<int>{2};
        QTest::newRow("waybill in lower case") << "sf98" << QList<int>{3};
        QTest::newRow("next match, then wrap") << "人民路" << QList<int>{0, 3, 0, 3};
        QTest::newRow("surname repeated") << "王" << QList<int>{1, 3, 1};
        QTest::newRow("the current row matches first") << "深南" << QList<int>{4, 4};
        QTest::newRow("no match") << "赵" << QList<int>{4, 4};
        QTest::newRow("blanks only") << "  " << QList<int>{4};
    }
    void searchFindsAnyPartAndEnterGoesOn()
    {
        QFETCH(QString, typed);
        QFETCH(QList<int>, rowsAfterEachEnter);
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        addSearchableRecipients();
        clickRow(4);
        QCOMPARE(att()->recNo(), 4);

        typeInto(page()->findChild<QLineEdit*>("searchEdit"), typed);
        for (int row : rowsAfterEachEnter) {
            QTest::keyClick(page()->findChild<QLineEdit*>("searchEdit"), Qt::Key_Return);
            QCOMPARE(att()->recNo(), row);
            QCOMPARE(page()->findChild<QTableView*>("recipientGrid")->currentIndex().row(), row);
            QCOMPARE(selectedRows(), QList<int>{row});
            QCOMPARE(control("A_Name")->text(), att()->cellText(row, att()->fieldIndex("Name")));
        }
        const QString notFound = QStringLiteral("没有找到“%1”。").arg(typed);
        QCOMPARE(m_prompt->messages(),
                 typed == QStringLiteral("赵") ? QStringList({notFound, notFound}) : QStringList());
        QCOMPARE(att()->recordCount(), 5);
    }

    void findButtonSearchesTheSearchBoxFirst()
    {
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        addSearchableRecipients();
        clickRow(0);
        typeInto(page()->findChild<QLineEdit*>("nameEdit"), QStringLiteral("张"));
        typeInto(page()->findChild<QLineEdit*>("searchEdit"), QStringLiteral("13600004444"));
        QTest::mouseClick(page()->findChild<QPushButton*>("findButton"), Qt::LeftButton);
        QCOMPARE(att()->recNo(), 3);
        // With the search box empty, "查询" takes the name box as before.
        page()->findChild<QLineEdit*>("searchEdit")->clear();
        QTest::mouseClick(page()->findChild<QPushButton*>("findButton"), Qt::LeftButton);
        QCOMPARE(att()->recNo(), 4);
    }

    // --- Duplicates ---------------------------------------------------------

    void removeDuplicatesKeepsTheFirstOfEachGroup_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("confirmed") << true;
        QTest::newRow("declined") << false;
    }
    void removeDuplicatesKeepsTheFirstOfEachGroup()
    {
        QFETCH(bool, confirm);
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        const QList<QStringList> rows = {
            {"张三", "13800001111", "人民路1号"},  // kept: first of its group
            {"张三", "13800001111", "解放路9号"},  // same name and mobile
            {"李四", "13800001111", "人民路1号"},  // same mobile and address
            {" 张三 ", "13800001111 ", " 其他路"}, // same once trimmed
            {"张三", "13900000000", "人民路1号"},  // another mobile: kept
            {"王五", "", "人民路1号"},             // no mobile: never a repeat
            {"王五", "", "人民路1号"},
            {"李四", "13800002222", "人民路1号"}, // kept
        };
        RecipientRows writer(att());
        for (const QStringList& r : rows)
            writer.append({{"Name", r.at(0)}, {"Mobile", r.at(1)}, {"Address", r.at(2)}});
        m_prompt->answers.enqueue(confirm ? Prompt::Button::Yes : Prompt::Button::No);

        page()->findChild<QAction*>("removeDuplicatesAction")->trigger();

        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.at(0).kind, QStringLiteral("question"));
        QVERIFY2(m_prompt->shown.at(0).text.contains(QStringLiteral("共 3 条重复的收件人")),
                 qPrintable(m_prompt->shown.at(0).text));
        QVERIFY(m_prompt->shown.at(0).text.endsWith(QStringLiteral("是否删除？")));
        if (confirm) {
            QCOMPARE(namesInFile(), QStringList({"张三", "张三", "王五", "王五", "李四"}));
            QCOMPARE(column("Exp_Att_Info", "Mobile"),
                     QStringList({"13800001111", "13900000000", "", "", "13800002222"}));
            QCOMPARE(page()->findChild<QTableView*>("recipientGrid")->model()->rowCount(), 5);
            // Nothing is left to remove.
            m_prompt->clear();
            page()->findChild<QAction*>("removeDuplicatesAction")->trigger();
            QCOMPARE(m_prompt->messages(), QStringList{QStringLiteral("没有重复的收件人。")});
        } else {
            QCOMPARE(namesInFile().size(), rows.size());
            // The repeats stay selected for the user to look at.
            QCOMPARE(selectedRows(), QList<int>({1, 2, 3}));
        }
    }

    void removeDuplicatesIsAllOrNothing()
    {
        QVERIFY(
            startProgram({"CREATE TRIGGER keep BEFORE DELETE ON Exp_Att_Info "
                          "WHEN old.Address = '乙' BEGIN SELECT RAISE(ABORT, '乙 is kept'); END"}));
        RecipientRows writer(att());
        for (const char* address : {"甲", "甲", "乙", "乙"})
            writer.append({{"Name", "张三"}, {"Mobile", "138"}, {"Address", address}});
        page()->findChild<QAction*>("removeDuplicatesAction")->trigger();
        QCOMPARE(m_prompt->shown.size(), 2);
        QCOMPARE(m_prompt->shown.at(1).kind, QStringLiteral("error"));
        QCOMPARE(att()->recordCount(), 4);
        QCOMPARE(column("Exp_Att_Info", "Address"), QStringList({"甲", "甲", "乙", "乙"}));
    }

    // --- Row count, column widths, sorting --------------------------------

    void rowCountFollowsEveryWriter()
    {
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        QLabel* label = page()->findChild<QLabel*>("rowCountLabel");
        QCOMPARE(label->text(), QStringLiteral("共 0 条收件人"));
        addRecipients({"甲", "乙", "丙"});
        QCOMPARE(label->text(), QStringLiteral("共 3 条收件人"));
        typeInto(page()->findChild<QLineEdit*>("nameEdit"), QStringLiteral("丁"));
        typeInto(page()->findChild<QLineEdit*>("mobileEdit"), QStringLiteral("13900000000"));
        typeInto(page()->findChild<QLineEdit*>("addressEdit"), QStringLiteral("路"));
        QTest::mouseClick(page()->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        QCOMPARE(label->text(), QStringLiteral("共 4 条收件人"));
        clickRow(0);
        page()->findChild<QAction*>("deleteRowsAction")->trigger();
        QCOMPARE(label->text(), QStringLiteral("共 3 条收件人"));
        RecipientRows writer(att());
        writer.inTransaction([&] {
            writer.empty();
            for (int i = 0; i < 7; ++i)
                writer.append({{"Name", QString::number(i)}});
        });
        QCOMPARE(label->text(), QStringLiteral("共 7 条收件人"));
        writer.empty();
        QCOMPARE(label->text(), QStringLiteral("共 0 条收件人"));
    }

    // The count and the grid's start follow the rows the filter shows.
    void filteredGridCountsAndStartsAtTheTop()
    {
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        QStringList names;
        for (int i = 0; i < 60; ++i)
            names << QStringLiteral("收件人%1").arg(i);
        addRecipients(names);
        // Every third row printed.
        QVERIFY(exec("UPDATE Exp_Att_Info SET Print_Count = 1 WHERE Name IN (" + [&] {
            QStringList printed;
            for (int i = 0; i < 60; i += 3)
                printed << "'" + names.at(i) + "'";
            return printed.join(',');
        }() + ")"));
        att()->refresh();
        QLabel* label = page()->findChild<QLabel*>("rowCountLabel");
        QTableView* grid = page()->findChild<QTableView*>("recipientGrid");
        QComboBox* filter = page()->findChild<QComboBox*>("printedFilterBox");
        QCOMPARE(label->text(), QStringLiteral("共 60 条收件人"));
        att()->moveTo(58);
        QCOMPARE(grid->currentIndex().row(), 58);
        QVERIFY(grid->verticalScrollBar()->value() > 0);

        const QList<std::pair<int, int>> shown = {{1, 40}, {2, 20}, {0, 60}};
        for (const auto& [choice, count] : shown) {
            filter->setCurrentIndex(choice);
            QCOMPARE(label->text(), QStringLiteral("共 %1 条收件人").arg(count));
            QCOMPARE(grid->model()->rowCount(), count);
            QCOMPARE(grid->currentIndex().row(), 0);
            QCOMPARE(grid->verticalScrollBar()->value(), 0);
            QCOMPARE(att()->recNo(), page()->gridSortModel->datasetRow(0));
            att()->moveTo(page()->gridSortModel->datasetRow(count - 1));
        }

        // Rows added under a filter count only when shown.
        filter->setCurrentIndex(2);
        addRecipients({QStringLiteral("新")});
        QCOMPARE(label->text(), QStringLiteral("共 20 条收件人"));
        filter->setCurrentIndex(1);
        QCOMPARE(label->text(), QStringLiteral("共 41 条收件人"));
    }

    void numberColumnsShowTheirWholeContent_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::newRow("mobile") << "Mobile"
                                << "13800001111";
        QTest::newRow("phone") << "Phone"
                               << "02088886666";
        QTest::newRow("post code") << "PostCode"
                                   << "510000";
        QTest::newRow("waybill number") << "WayBillNo"
                                        << "EA123456789CN";
    }
    void numberColumnsShowTheirWholeContent()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QVERIFY(startProgram());
        QTableView* grid = page()->findChild<QTableView*>("recipientGrid");
        int col = -1;
        const auto& columns = RecipientPage::gridColumns();
        for (int i = 0; i < columns.size(); ++i)
            if (columns.at(i).field == field)
                col = i;
        QVERIFY(col >= 0);
        // Text plus the cell's margins on both sides.
        QVERIFY2(grid->columnWidth(col) >= grid->fontMetrics().horizontalAdvance(value) + 8,
                 qPrintable(QString::number(grid->columnWidth(col))));
    }

    void columnWidthsAndOrderAreRemembered()
    {
        QVERIFY(startProgram());
        QHeaderView* header = page()->findChild<QTableView*>("recipientGrid")->horizontalHeader();
        header->resizeSection(1, 420);
        header->moveSection(header->visualIndex(3), 0); // 手机 first
        m_start->shutdown();
        m_start.reset();
        QVERIFY(ConfigIni::readString(m_tmp->path() + "/", "Grid", "State").size() > 0);

        QVERIFY(startProgram());
        header = page()->findChild<QTableView*>("recipientGrid")->horizontalHeader();
        QCOMPARE(header->sectionSize(1), 420);
        QCOMPARE(header->logicalIndex(0), 3);
        // Still unsorted: the table's own order.
        QCOMPARE(header->sortIndicatorSection(), -1);
    }

    void sortingByAHeaderChangesOnlyTheDisplay()
    {
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        addRecipients({"delta", "alpha", "charlie", "bravo"});
        QTableView* grid = page()->findChild<QTableView*>("recipientGrid");
        QHeaderView* header = grid->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(header->sectionViewportPosition(0) + 10, header->height() / 2));
        auto shown = [grid] {
            QStringList out;
            for (int r = 0; r < grid->model()->rowCount(); ++r)
                out << grid->model()->index(r, 0).data().toString();
            return out;
        };
        QCOMPARE(shown(), QStringList({"alpha", "bravo", "charlie", "delta"}));
        // The table keeps its order (printing walks it).
        QCOMPARE(namesInFile(), QStringList({"delta", "alpha", "charlie", "bravo"}));
        QCOMPARE(att()->cellText(0, att()->fieldIndex("Name")), QStringLiteral("delta"));

        // Grid row and cursor map through the sort, both ways.
        clickRow(1);
        QCOMPARE(att()->fieldByName("Name").asString(), QStringLiteral("bravo"));
        QCOMPARE(control("A_Name")->text(), QStringLiteral("bravo"));
        att()->moveTo(0);
        QCOMPARE(grid->currentIndex().row(), 3);

        // The search walks the display order.
        clickRow(2);
        typeInto(page()->findChild<QLineEdit*>("searchEdit"), QStringLiteral("a"));
        QStringList found;
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(page()->findChild<QLineEdit*>("searchEdit"), Qt::Key_Return);
            found << att()->fieldByName("Name").asString();
            QCOMPARE(selectedRows(), QList<int>{grid->currentIndex().row()});
        }
        QCOMPARE(found, QStringList({"charlie", "delta", "alpha", "bravo"}));

        // Deleting the selected rows deletes those shown.
        clickRow(0);
        clickRow(1, Qt::ShiftModifier);
        page()->findChild<QAction*>("deleteRowsAction")->trigger();
        QCOMPARE(namesInFile(), QStringList({"delta", "charlie"}));
        QCOMPARE(shown(), QStringList({"charlie", "delta"}));
    }

    // --- Deleting selected rows -------------------------------------------

    void deleteRemovesExactlyTheSelectedRows()
    {
        QVERIFY(startProgram());
        mainWindow()->showRecipientsTab();
        addRecipients({"甲", "乙", "丙", "丁", "戊", "己"});
        clickRow(1);
        clickRow(3, Qt::ControlModifier);
        clickRow(4, Qt::ShiftModifier);
        QCOMPARE(selectedRows(), QList<int>({1, 3, 4}));

        page()->findChild<QAction*>("deleteRowsAction")->trigger();

        QCOMPARE(namesInFile(), QStringList({"甲", "丙", "己"}));
        QCOMPARE(att()->recordCount(), 3);
        QCOMPARE(page()->findChild<QTableView*>("recipientGrid")->model()->rowCount(), 3);
        QCOMPARE(
            page()->findChild<QTableView*>("recipientGrid")->model()->index(1, 0).data().toString(),
            QStringLiteral("丙"));
        QCOMPARE(m_prompt->shown.size(), 1); // the question before deleting
        QCOMPARE(m_prompt->shown.at(0).kind, QStringLiteral("question"));

        // Nothing selected: nothing goes.
        page()->findChild<QTableView*>("recipientGrid")->clearSelection();
        page()->findChild<QAction*>("deleteRowsAction")->trigger();
        QCOMPARE(namesInFile(), QStringList({"甲", "丙", "己"}));
    }

    void deleteIsAllOrNothing()
    {
        QVERIFY(
            startProgram({"CREATE TRIGGER keep BEFORE DELETE ON Exp_Att_Info "
                          "WHEN old.Name = '丙' BEGIN SELECT RAISE(ABORT, '丙 is kept'); END"}));
        mainWindow()->showRecipientsTab();
        addRecipients({"甲", "乙", "丙", "丁"});
        clickRow(0);
        clickRow(2, Qt::ShiftModifier);
        QCOMPARE(selectedRows(), QList<int>({0, 1, 2}));

        page()->findChild<QAction*>("deleteRowsAction")->trigger();

        QCOMPARE(m_prompt->shown.size(), 2); // the question, then the error
        QCOMPARE(m_prompt->shown.at(1).kind, QStringLiteral("error"));
        QVERIFY(m_prompt->shown.at(1).text.contains("丙 is kept"));
        QCOMPARE(namesInFile(), QStringList({"甲", "乙", "丙", "丁"}));
        QCOMPARE(page()->findChild<QTableView*>("recipientGrid")->model()->rowCount(), 4);
    }

    // --- The shared row rules ---------------------------------------------

    void rowRulesAppendChangeAndEmpty()
    {
        QVERIFY(startProgram());
        RecipientRows rows(att());
        att()->close(); // the rule opens a closed table itself
        rows.append({{"Custom1", "c1"}, {"Name", " 甲 "}});
        rows.append({{"Name", "乙"}});
        QCOMPARE(att()->recNo(), 1);
        rows.change(att()->rowId(1), {{"ExpName", "顺丰速运"}, {"WayBillNo", "001"}});
        QCOMPARE(column("Exp_Att_Info",
                        "Name || '|' || ifnull(Custom1, '') || '|' || ifnull(WayBillNo, '')"),
                 QStringList({" 甲 |c1|", "乙||001"}));

        // A column the table lacks: the row is given up, not left to be
        // posted by the next move.
        QVERIFY_THROWS_EXCEPTION(DataError, rows.append({{"Name", "丙"}, {"Nope", "x"}}));
        QCOMPARE(att()->state(), Dataset::State::Browse);
        QCOMPARE(att()->recordCount(), 2);
        att()->first();
        att()->last();
        QCOMPARE(namesInFile(), QStringList({" 甲 ", "乙"}));
        QVERIFY_THROWS_EXCEPTION(DataError, rows.change(att()->rowId(1), {{"Nope", "x"}}));
        QCOMPARE(att()->state(), Dataset::State::Browse);

        rows.empty();
        QVERIFY(namesInFile().isEmpty());
        QCOMPARE(att()->recordCount(), 0);
        QCOMPARE(page()->findChild<QTableView*>("recipientGrid")->model()->rowCount(), 0);
        QVERIFY(att()->eof());
    }

    void batchIsAllOrNothing_data()
    {
        QTest::addColumn<bool>("fail");
        QTest::newRow("committed") << false;
        QTest::newRow("rolled back") << true;
    }
    void batchIsAllOrNothing()
    {
        QFETCH(bool, fail);
        QVERIFY(startProgram());
        addRecipients({"旧1", "旧2"});
        RecipientRows rows(att());
        auto work = [&] {
            rows.empty();
            for (int i = 0; i < 3; ++i)
                rows.append({{"Name", QStringLiteral("新%1").arg(i)}});
            att()->first();
            while (!att()->eof()) {
                rows.change(att()->rowId(att()->recNo()),
                            {{"WayBillNo", "N" + att()->fieldByName("Name").asString()}});
                att()->next();
            }
            if (fail)
                throw DataError(QStringLiteral("disk full"));
        };
        if (fail)
            QVERIFY_THROWS_EXCEPTION(DataError, rows.inTransaction(work));
        else
            rows.inTransaction(work);

        const QStringList expected = fail ? QStringList({"旧1|", "旧2|"})
                                          : QStringList({"新0|N新0", "新1|N新1", "新2|N新2"});
        QCOMPARE(column("Exp_Att_Info", "Name || '|' || ifnull(WayBillNo, '')"), expected);
        // The rows in memory and in the grid are the file's.
        QCOMPARE(att()->recordCount(), expected.size());
        QCOMPARE(page()->findChild<QTableView*>("recipientGrid")->model()->rowCount(),
                 expected.size());
        QCOMPARE(
            page()->findChild<QTableView*>("recipientGrid")->model()->index(0, 0).data().toString(),
            expected.at(0).section('|', 0, 0));
    }

    // --- The sender -------------------------------------------------------

    void senderSaveTakesTheFocusedEdit()
    {
        QVERIFY(startProgram());
        mainWindow()->showSenderTab();
        SenderPage* s = sender();
        QVERIFY(column("Exp_Send_info", "Name").isEmpty());

        // Nothing changed: nothing shown, nothing written.
        QTest::mouseClick(s->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        QVERIFY(m_prompt->shown.isEmpty());

        // Typed, the focus still in the edit: saved all the same; the empty
        // table gets its one row.
        typeInto(s->findChild<QLineEdit*>("companyEdit"), QStringLiteral("甲公司"));
        QTest::mouseClick(s->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        QVERIFY(s->findChild<QLineEdit*>("companyEdit")->hasFocus());
        QCOMPARE(m_prompt->messages(), QStringList{"发件人信息已保存！"});
        QCOMPARE(column("Exp_Send_info", "Company"), QStringList{"甲公司"});

        // Saved: nothing is pending any more.
        m_prompt->clear();
        QTest::mouseClick(s->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        QVERIFY(m_prompt->shown.isEmpty());

        // A second change goes to the same row; what is typed stays as typed.
        typeInto(s->findChild<QLineEdit*>("phoneEdit"), QStringLiteral(" 020-1234 "));
        QTest::mouseClick(s->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList{"发件人信息已保存！"});
        QCOMPARE(column("Exp_Send_info", "Company || '|' || Phone"),
                 QStringList{"甲公司| 020-1234 "});
    }

    void senderMobileIsChecked_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored"); // null: refused
        QTest::newRow("11 digits") << "13912345678"
                                   << "13912345678";
        QTest::newRow("blanks around are dropped") << " 13912345678 "
                                                   << "13912345678";
        QTest::newRow("none") << ""
                              << "";
        QTest::newRow("too short") << "1391234" << QString();
        QTest::newRow("not beginning with 1") << "23912345678" << QString();
        QTest::newRow("a landline") << "020-88886666" << QString();
    }
    void senderMobileIsChecked()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QVERIFY(startProgram());
        mainWindow()->showSenderTab();
        SenderPage* s = sender();
        typeInto(s->findChild<QLineEdit*>("nameEdit"), QStringLiteral("李雷"));
        typeInto(s->findChild<QLineEdit*>("mobileEdit"), typed);
        QTest::mouseClick(s->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        if (stored.isNull()) {
            QCOMPARE(
                m_prompt->messages(),
                QStringList{QStringLiteral("手机号码“%1”不正确：手机号码应为以1开头的11位数字。")
                                .arg(typed.trimmed())});
            QVERIFY(column("Exp_Send_info", "Name").isEmpty());
            QVERIFY(s->findChild<QLineEdit*>("mobileEdit")->hasFocus());
            QCOMPARE(s->findChild<QLineEdit*>("mobileEdit")->text(), typed);
            return;
        }
        QCOMPARE(m_prompt->messages(), QStringList{"发件人信息已保存！"});
        QCOMPARE(column("Exp_Send_info", "Name || '|' || ifnull(Mobile, '')"),
                 QStringList{"李雷|" + stored});
        QCOMPARE(s->findChild<QLineEdit*>("mobileEdit")->text(), stored);
    }

    // Leaving the sender tab, by another tab or by closing the window, with
    // a change not yet saved asks: save, throw away or stay.
    void leavingTheSenderTabAsks_data()
    {
        QTest::addColumn<bool>("byClosing");
        QTest::addColumn<int>("choice"); // Prompt::SaveChoice
        QTest::addColumn<QString>("mobile");
        QTest::addColumn<bool>("left");
        QTest::addColumn<QStringList>("stored");
        const int save = int(Prompt::SaveChoice::Save);
        const int discard = int(Prompt::SaveChoice::Discard);
        const int stay = int(Prompt::SaveChoice::Stay);
        const QString good = QStringLiteral("13912345678");
        const QStringList saved = {"韩梅梅"};
        QTest::newRow("tab, save") << false << save << good << true << saved;
        QTest::newRow("tab, discard") << false << discard << good << true << QStringList();
        QTest::newRow("tab, stay") << false << stay << good << false << QStringList();
        QTest::newRow("tab, save refused") << false << save << "139" << false << QStringList();
        QTest::newRow("close, save") << true << save << good << true << saved;
        QTest::newRow("close, discard") << true << discard << good << true << QStringList();
        QTest::newRow("close, stay") << true << stay << good << false << QStringList();
    }
    void leavingTheSenderTabAsks()
    {
        QFETCH(bool, byClosing);
        QFETCH(int, choice);
        QFETCH(QString, mobile);
        QFETCH(bool, left);
        QFETCH(QStringList, stored);
        QVERIFY(startProgram());
        auto* tabs = mainWindow()->findChild<QTabWidget*>("tabs");
        QTabBar* tabBar = tabs->findChild<QTabBar*>();
        mainWindow()->showSenderTab();
        SenderPage* s = sender();

        // Unchanged, the tab is left without a word.
        QTest::mouseClick(tabBar, Qt::LeftButton, Qt::NoModifier, tabBar->tabRect(1).center());
        QCOMPARE(tabs->currentIndex(), 1);
        mainWindow()->showSenderTab();
        QVERIFY(m_prompt->shown.isEmpty());

        // The focus stays in the edit, as when the user clicks away.
        typeInto(s->findChild<QLineEdit*>("mobileEdit"), mobile);
        typeInto(s->findChild<QLineEdit*>("nameEdit"), QStringLiteral("韩梅梅"));
        m_prompt->saveChoices.enqueue(Prompt::SaveChoice(choice));
        QStringList storedNames;
        if (byClosing) {
            mainWindow()->close();
            QCOMPARE(mainWindow()->isVisible(), !left);
            if (!left)
                storedNames = column("Exp_Send_info", "Name");
        } else {
            QTest::mouseClick(tabBar, Qt::LeftButton, Qt::NoModifier, tabBar->tabRect(0).center());
            QCOMPARE(tabs->currentIndex(), left ? 0 : 2);
            storedNames = column("Exp_Send_info", "Name");
        }

        QCOMPARE(m_prompt->shown.at(0).kind, QStringLiteral("saveDiscardCancel"));
        QCOMPARE(m_prompt->shown.at(0).text,
                 QStringLiteral("发件人信息的改动尚未保存，要保存吗？"));
        const bool saved = !stored.isEmpty();
        QCOMPARE(m_prompt->messages().contains(QStringLiteral("发件人信息已保存！")), saved);
        if (!byClosing || !left)
            QCOMPARE(storedNames, stored);
        // Thrown away: the edits show the row as it is stored.
        if (choice == int(Prompt::SaveChoice::Discard) && !byClosing)
            QVERIFY(s->findChild<QLineEdit*>("nameEdit")->text().isEmpty());
        // Staying keeps what was typed.
        if (!left)
            QCOMPARE(s->findChild<QLineEdit*>("nameEdit")->text(), QStringLiteral("韩梅梅"));
    }

    void senderFieldsOfBothSurfacesShareTheRow()
    {
        QVERIFY(startProgram());
        mainWindow()->showDesignTab();
        QLineEdit* departure = control("S_Departure");
        QLineEdit* surfaceName = control("S_Name");
        QVERIFY(departure && surfaceName);
        typeInto(departure, QStringLiteral("杭州"));
        surfaceName->setFocus();

        mainWindow()->showSenderTab();
        typeInto(sender()->findChild<QLineEdit*>("nameEdit"), QStringLiteral("李雷"));
        sender()->findChild<QLineEdit*>("companyEdit")->setFocus();
        QCOMPARE(surfaceName->text(), QStringLiteral("李雷"));
        QTest::mouseClick(sender()->findChild<QPushButton*>("saveButton"), Qt::LeftButton);

        QCOMPARE(m_prompt->messages(), QStringList{"发件人信息已保存！"});
        QCOMPARE(column("Exp_Send_info", "Name || '|' || Departure"), QStringList{"李雷|杭州"});
        QCOMPARE(departure->text(), QStringLiteral("杭州"));
    }

    void senderSaveFailureKeepsTheTypedRow()
    {
        QVERIFY(startProgram({"CREATE TRIGGER full BEFORE INSERT ON Exp_Send_info "
                              "BEGIN SELECT RAISE(ABORT, 'disk full'); END"}));
        mainWindow()->showSenderTab();
        SenderPage* s = sender();
        typeInto(s->findChild<QLineEdit*>("nameEdit"), QStringLiteral("韩梅梅"));
        s->findChild<QLineEdit*>("addressEdit")->setFocus();
        QTest::mouseClick(s->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        // The program's line, then the reason the database gave.
        QCOMPARE(m_prompt->messages().size(), 1);
        QCOMPARE(m_prompt->lastMessage().section('\n', 0, 0), QString("程序发生未知错误！"));
        QVERIFY(m_prompt->lastMessage().section('\n', 1).contains("disk full"));
        QVERIFY(column("Exp_Send_info", "Name").isEmpty());
        QCOMPARE(s->findChild<QLineEdit*>("nameEdit")->text(), QStringLiteral("韩梅梅"));

        // Once the cause is gone the same row saves.
        QVERIFY(exec("DROP TRIGGER full"));
        m_prompt->clear();
        QTest::mouseClick(s->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        QCOMPARE(m_prompt->messages(), QStringList{"发件人信息已保存！"});
        QCOMPARE(column("Exp_Send_info", "Name"), QStringList{"韩梅梅"});
    }
    // The grid filter leaves rows out by their printed mark; hidden rows keep
    // their numbers, are never taken by "删除选择行", and emptying the table
    // takes the marks with the rows.
    void printedFilter_data()
    {
        QTest::addColumn<int>("show"); // index of Printed_Filter_Box
        QTest::addColumn<QList<bool>>("hidden");
        QTest::newRow("全部") << 0 << QList<bool>({false, false, false, false});
        QTest::newRow("未打印") << 1 << QList<bool>({true, false, true, false});
        QTest::newRow("已打印") << 2 << QList<bool>({false, true, false, true});
    }
    void printedFilter()
    {
        QFETCH(int, show);
        QFETCH(QList<bool>, hidden);
        QVERIFY(startProgram());
        addRecipients({"甲", "乙", "丙", "丁"});
        QVERIFY(exec("UPDATE Exp_Att_Info SET Print_Count = 2, Printed_At = '2026-03-01 09:30:00' "
                     "WHERE Name IN ('甲', '丙')"));
        att()->refresh();
        QComboBox* box = page()->findChild<QComboBox*>("printedFilterBox");
        QCOMPARE(box->count(), 4);
        QCOMPARE(box->itemText(show), QString::fromUtf8(QTest::currentDataTag()));
        box->setCurrentIndex(show);
        QTableView* grid = page()->findChild<QTableView*>("recipientGrid");
        // A dataset row the grid does not show.
        const auto isRowHidden = [this](int row) {
            return page()->gridSortModel->gridRow(row) < 0;
        };
        QList<bool> isHidden;
        for (int row = 0; row < 4; ++row)
            isHidden << isRowHidden(row);
        QCOMPARE(isHidden, hidden);
        const int marked = page()->gridModel->columnCount() - 1;
        QCOMPARE(page()->gridModel->headerData(marked, Qt::Horizontal).toString(),
                 QString("已打印"));
        QCOMPARE(page()->gridModel->index(0, marked).data().toString(),
                 QString("2026-03-01 09:30:00"));
        QCOMPARE(page()->gridModel->index(1, marked).data().toString(), QString());
        // Rows keep their numbers: the fourth row is still row 4.
        QCOMPARE(page()->gridModel->headerData(3, Qt::Vertical).toString(), QString("4"));

        // A new row follows the filter too.
        addRecipients({"戊"});
        QCOMPARE(isRowHidden(4), show == 2);

        // Select everything with the filter on and delete: only shown rows go.
        grid->selectAll();
        page()->deleteSelectedRows();
        const QStringList names = {"甲", "乙", "丙", "丁", "戊"};
        QStringList left;
        for (int row = 0; row < names.size(); ++row)
            if (row < 4 ? hidden.at(row) : show == 2)
                left << names.at(row);
        QCOMPARE(namesInFile(), left);

        RecipientRows(att()).empty();
        addRecipients({"己"});
        QCOMPARE(column("Exp_Att_Info", "coalesce(Print_Count, 0)"), QStringList({"0"}));
        QCOMPARE(isRowHidden(0), show == 2);
    }
    // "地址待核对" shows the rows whose regions, mobile or post code need
    // checking; a row mended leaves the list, and a blank row is never in it.
    void addressCheckFilter()
    {
        QVERIFY(startProgram());
        const QString mobile = QStringLiteral("13800138000");
        RecipientRows rows(att());
        rows.append({{"Name", "甲"}, {"Mobile", mobile}});
        rows.append({{"Name", "乙"}, {"Mobile", "138"}});
        rows.append({{"Name", "丙"},
                     {"Mobile", mobile},
                     {"Prvince", "浙江省"},
                     {"City", "杭州市"},
                     {"Country", "鼓楼区"}});
        rows.append({{"Name", "丁"}, {"Phone", "0571-88886666"}});
        rows.append({{"Name", " "}, {"Mobile", "1"}});
        rows.append({{"Name", "戊"}, {"Mobile", mobile}, {"PostCode", "3100"}});
        QComboBox* box = page()->findChild<QComboBox*>("printedFilterBox");
        QCOMPARE(box->itemText(3), QString("地址待核对"));
        pick(box, 3);
        const auto shown = [this] {
            QList<int> shown;
            for (int row = 0; row < att()->recordCount(); ++row)
                if (page()->gridSortModel->gridRow(row) >= 0)
                    shown << row;
            return shown;
        };
        QCOMPARE(shown(), QList<int>({1, 2, 5}));
        QVERIFY2(m_prompt->shown.isEmpty(), qPrintable(m_prompt->messages().join('\n')));

        // The row mended leaves the list once it is written.
        att()->moveTo(1);
        RecipientRows(att()).change(att()->rowId(1), {{"Mobile", mobile}});
        QCOMPARE(shown(), QList<int>({2, 5}));
    }

    // Without readable region tables the check cannot run: the user is told
    // and the grid shows every row again.
    void addressCheckFilterWithoutRegions()
    {
        QVERIFY(startProgram());
        addRecipients({"甲"});
        QVERIFY(exec("DROP TABLE area"));
        QComboBox* box = page()->findChild<QComboBox*>("printedFilterBox");
        pick(box, 3);
        QCOMPARE(m_prompt->messages().size(), 1);
        QVERIFY(m_prompt->lastMessage().startsWith(QStringLiteral("无法读取地区表！\n")));
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(page()->gridSortModel->gridRow(0), 0);
    }
};

QTEST_MAIN(TestBook)
#include "test_bookwindow.moc"
