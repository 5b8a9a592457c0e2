// Start-up, the main window's frame and both exits.
#include "configini.h"
#include "datamodule.h"
#include "designpage.h"
#include "designsurface.h"
#include "fieldcatalogue.h"
#include "freshdatabase.h"
#include "headerguard.h"
#include "mainwindow.h"
#include "recipientpage.h"
#include "runstate.h"
#include "scriptedprompt.h"
#include "startup.h"
#include "tempworkdir.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QProcess>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>
#include <unistd.h>

namespace {

const QString kDb = QStringLiteral("Waylark_main.db");

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

class TestApp : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempWorkDir> m_tmp;

private Q_SLOTS:
    void init()
    {
        m_tmp = std::make_unique<TempWorkDir>();
        QVERIFY(makeFreshAppDir(m_tmp->path()));
    }
    void cleanup() { m_tmp.reset(); }

    void sealedFileIsSealedAgainAfterEitherExit_data()
    {
        QTest::addColumn<bool>("byButton");
        QTest::newRow("退出") << true;
        QTest::newRow("close box") << false;
    }
    void sealedFileIsSealedAgainAfterEitherExit()
    {
        QFETCH(bool, byButton);
        const QByteArray before = fileBytes(kDb);
        QCOMPARE(before.left(16), HeaderGuard::sealedHeader());

        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(s.start());
        FM_Main->show();
        // Running: the standard header is in place.
        QCOMPARE(fileBytes(kDb).left(16), HeaderGuard::standardHeader());
        if (byButton)
            QTest::mouseClick(FM_Main->App_Exit, Qt::LeftButton);
        else
            FM_Main->close();
        QVERIFY(!DataModule1->isConnected());
        QCOMPARE(fileBytes(kDb), before);
        s.shutdown(); // the end of main(): must not seal or say anything again
        QCOMPARE(fileBytes(kDb), before);
        QVERIFY2(p.messages().isEmpty(), qPrintable(p.messages().join('\n')));
    }

    void secondInstanceIsRefusedAndTouchesNothing()
    {
        ScriptedPrompt p;
        Startup first(m_tmp->path());
        QVERIFY(first.start());
        const QByteArray running = fileBytes(kDb);

        Startup second(m_tmp->path());
        QVERIFY(!second.start());
        QCOMPARE(p.shown.size(), 1);
        QCOMPARE(p.shown.at(0).text, QString("程 序 已 经 运 行!"));
        QCOMPARE(p.shown.at(0).caption, QString(" 警告"));
        QVERIFY(p.shown.at(0).icon == Prompt::Icon::Stop);
        second.shutdown();
        QCOMPARE(fileBytes(kDb), running);
        QVERIFY(DataModule1 && DataModule1->isConnected());
    }

    void missingDatabase()
    {
        QVERIFY(QFile::remove(kDb));
        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(!s.start());
        QCOMPARE(p.messages().value(0), QString("数据库文件初始化失败！"));
        QCOMPARE(p.shown.value(1).kind, QString("error")); // the connection's own error
        QVERIFY(!QFile::exists(kDb));
    }

    void databaseThatCannotBeWritten_data()
    {
        QTest::addColumn<bool>("directory");
        QTest::newRow("read-only file") << false;
        QTest::newRow("a directory in its place") << true;
    }
    void databaseThatCannotBeWritten()
    {
        QFETCH(bool, directory);
        if (directory) {
            QVERIFY(QFile::remove(kDb));
            QVERIFY(QDir().mkdir(kDb));
        } else {
            if (geteuid() == 0)
                QSKIP("root may write a read-only file; the directory case covers this path");
            QVERIFY(QFile::setPermissions(kDb, QFile::ReadOwner));
        }
        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(!s.start());
        QCOMPARE(p.messages(),
                 QStringList({"数据库打开错误,WIN7系统请尝试以管理员身份重新运行！"}));
    }

    void firstActivation_data()
    {
        QTest::addColumn<QString>("ini");   // config.ini text, or "-" for none
        QTest::addColumn<QString>("model"); // current model afterwards
        QTest::addColumn<int>("selected");  // Model_List index
        QTest::newRow("delivered") << QString() << QStringLiteral("通用快递单") << 0;
        QTest::newRow("no config.ini") << "-" << QString() << -1;
        QTest::newRow("no key") << "[Other]\nA=1\n" << QString() << -1;
        QTest::newRow("unknown name") << "[DefaultModel]\nModelName=不存在\n"
                                      << QStringLiteral("不存在") << -1;
    }
    void firstActivation()
    {
        QFETCH(QString, ini);
        QFETCH(QString, model);
        QFETCH(int, selected);
        if (ini == QLatin1String("-")) {
            QFile::remove(QStringLiteral("config.ini"));
        } else if (!ini.isEmpty()) {
            QFile f(QStringLiteral("config.ini"));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(ini.toUtf8());
        }
        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(s.start());
        FM_Main->show();
        QCOMPARE(runState().currentModel, model);
        QCOMPARE(FM_Main->statusPanelText(2), QStringLiteral("当前模板：") + model);
        QComboBox* list = FM_Main->findChild<QComboBox*>("Model_List");
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->itemText(0), QStringLiteral("通用快递单"));
        QCOMPARE(list->currentIndex(), selected);
    }

    void provincesOnceInTableOrder()
    {
        QFile csv(QStringLiteral(WAYLARK_SOURCE_DIR "/resources/regions/province.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QStringList expected;
        csv.readLine();
        while (!csv.atEnd())
            expected << QString::fromUtf8(csv.readLine()).trimmed().section(',', 1);

        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(s.start());
        FM_Main->show();
        FM_Main->hide();
        FM_Main->show(); // activation runs once
        QComboBox* prov = FM_Main->findChild<QComboBox*>("Att_Prvince_Ad");
        QStringList items;
        for (int i = 0; i < prov->count(); ++i)
            items << prov->itemText(i);
        QCOMPARE(items, expected);
        QCOMPARE(items.size(), 31);
        QCOMPARE(prov->currentIndex(), -1);
    }

    void frame()
    {
        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(s.start());
        FM_Main->show();
        QCOMPARE(FM_Main->windowTitle(), QString("Waylark"));
        QCOMPARE(FM_Main->size(), QSize(935, 705));

        const QStringList names = {"Model_Set_Btn", "Att_Set_Btn",     "Send_Set_Btn",
                                   "Sig_Prt_Btn",   "Multi_Prt_Btn",   "Font_Set_Btn",
                                   "Printer_Set_Btn", "Help_Btn",      "App_Exit"};
        const QStringList captions = {"模板设置", "收件人管理", "发件人设置", "单页打印", "批量打印",
                                      "字体设置", "打印机设置", "帮助", "退出"};
        int lastX = -1;
        for (int i = 0; i < names.size(); ++i) {
            auto* b = FM_Main->findChild<QToolButton*>(names.at(i));
            QVERIFY2(b, qPrintable(names.at(i)));
            QCOMPARE(b->text(), captions.at(i));
            QCOMPARE(b->width(), 81);
            QVERIFY(b->x() > lastX);
            lastX = b->x();
        }
        QTabWidget* tabs = FM_Main->findChild<QTabWidget*>("TabMain");
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QString("模板设计"));
        QCOMPARE(tabs->tabText(1), QString("收件人管理"));
        QCOMPARE(tabs->tabText(2), QString("发件人信息"));
        QCOMPARE(tabs->currentIndex(), 0);
        QTest::mouseClick(FM_Main->Send_Set_Btn, Qt::LeftButton);
        QCOMPARE(tabs->currentIndex(), 2);
        QTest::mouseClick(FM_Main->Att_Set_Btn, Qt::LeftButton);
        QCOMPARE(tabs->currentIndex(), 1);
        QTest::mouseClick(FM_Main->Model_Set_Btn, Qt::LeftButton);
        QCOMPARE(tabs->currentIndex(), 0);

        QCOMPARE(FM_Main->statusPanelText(0), QString("Qorda邮单打印软件Waylark V2.0Beta"));
        QCOMPARE(FM_Main->statusPanelText(1), QString());
        const int widths[4] = {260, 80, 230, 50};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(FM_Main->StatusPanels[i]->width(), widths[i]);
    }

    void fieldControlsAtTheirDefaultPlaces()
    {
        // A layout would move them; without a template row they stay put.
        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(s.start());
        auto* panel = FM_Main->findChild<QWidget*>("Model_Container");
        QVERIFY(panel);
        QLabel* image = panel->findChild<QLabel*>("Model_BKimg");
        QCOMPARE(image->pos(), QPoint(24, 16));
        QCOMPARE(image->size(), QSize(800, 442));
        for (const FieldInfo& f : FieldCatalogue::all()) {
            auto* c = panel->findChild<QLineEdit*>(QStringLiteral("DBEdit%1").arg(f.number));
            QVERIFY2(c, qPrintable(f.control));
            QCOMPARE(c->parentWidget(), panel);
            QCOMPARE(c->geometry(), QRect(f.defaultLeft, f.defaultTop, 40, 22));
            QCOMPARE(c->toolTip(), f.hint);
        }
        // Numbered by field, not by place.
        QCOMPARE(panel->findChild<QLineEdit*>("DBEdit12")->x(), 519);
        QCOMPARE(panel->findChild<QLineEdit*>("DBEdit8")->x(), 339);
        QCOMPARE(panel->findChild<QLineEdit*>("DBEdit16")->toolTip(), QString("收件区(县)"));
    }

    void functionButtonsAreWired()
    {
        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(s.start());
        FM_Main->show();
        QVERIFY(FM_Main->findChild<QDialog*>("Fm_Field_Set"));
        QVERIFY(FM_Main->findChild<QDialog*>("Fm_Shop_Set"));
        QVERIFY(FM_Main->findChild<QDialog*>("FM_PreView"));
        QVERIFY(FM_Main->findChild<QDialog*>("FM_WayBill"));
        p.answers.enqueue(Prompt::Button::Cancel);
        QTest::mouseClick(FM_Main->TabSheet2->Exl_In_Btn, Qt::LeftButton);
        QCOMPARE(p.shown.value(0).kind, QString("question"));
        QCOMPARE(p.shown.value(0).caption, QString("提示"));
        p.clear();
        QTest::mouseClick(FM_Main->TabSheet2->Exl_Out_Btn, Qt::LeftButton);
        QCOMPARE(p.shown.value(0).kind, QString("save"));
        QCOMPARE(p.shown.size(), 1); // cancelled: nothing written, nothing said
    }

    void help()
    {
        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(s.start());
        QTest::mouseClick(FM_Main->Help_Btn, Qt::LeftButton);
        QCOMPARE(p.messages(), QStringList({"帮助文件不存在，请确认您下载到了完整安装包！"}));
        QVERIFY(p.urls.isEmpty());

        QFile help(QStringLiteral("help.html"));
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.write("<html></html>");
        help.close();
        p.clear();
        QTest::mouseClick(FM_Main->Help_Btn, Qt::LeftButton);
        QVERIFY(p.messages().isEmpty());
        QCOMPARE(p.urls.size(), 1);
        QCOMPARE(p.urls.at(0).toLocalFile(), QFileInfo(QStringLiteral("help.html")).absoluteFilePath());
    }

    void rebuildKeepsAnExistingDatabase()
    {
        QTemporaryDir dir;
        QProcess tool;
        tool.start(QStringLiteral(WAYLARK_MAKEAPPDIR), {dir.path()});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        const QString db = dir.filePath(kDb);
        QCOMPARE(fileBytes(db).left(16), HeaderGuard::sealedHeader());
        QVERIFY(QFile::exists(dir.filePath("bkbmp/generic.bmp")));
        QCOMPARE(ConfigIni::readString(dir.path() + '/', "DefaultModel", "ModelName"),
                 QString("通用快递单"));

        // A user's database (here just recognisable bytes) survives a rebuild.
        QFile f(db);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("the user's data");
        f.close();
        tool.start(QStringLiteral(WAYLARK_MAKEAPPDIR), {dir.path()});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(fileBytes(db), QByteArray("the user's data"));
    }

    void commandLineUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::newRow("--version") << QStringList({"--version"}) << 0;
        QTest::newRow("--help") << QStringList({"--help"}) << 0;
        QTest::newRow("unknown command") << QStringList({"frobnicate"}) << 2;
    }
    void commandLineUsage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QProcess exe;
        exe.start(QStringLiteral(WAYLARK_EXE), args);
        QVERIFY(exe.waitForFinished(60000));
        QCOMPARE(exe.exitStatus(), QProcess::NormalExit);
        QCOMPARE(exe.exitCode(), status);
        if (status == 2)
            QVERIFY(exe.readAllStandardError().contains("Usage:"));
    }
};

QTEST_MAIN(TestApp)
#include "test_app.moc"
