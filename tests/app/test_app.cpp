// Start-up, the main window's frame and both exits.
#include "app/startup.h"
#include "base/dataerror.h"
#include "base/guarded.h"
#include "base/prompt.h"
#include "base/qttranslations.h"
#include "base/session.h"
#include "cli/cliargs.h"
#include "cli/globaloptions.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "data/headerguard.h"
#include "data/instancelock.h"
#include "excel/workbookreader.h"
#include "fakegateway.h"
#include "findwidget.h"
#include "freshdatabase.h"
#include "gui/book/recipientpage.h"
#include "gui/centre.h"
#include "gui/mainwindow.h"
#include "gui/print/printactions.h"
#include "gui/qtprompt.h"
#include "gui/templates/designpage.h"
#include "gui/templates/designsurface.h"
#include "pgserver.h"
#include "render/recordrenderer.h"
#include "scriptedprompt.h"
#include "shop/orderdownload.h"
#include "shop/shopparams.h"
#include "shop/shopstore.h"
#include "templates/fieldcatalogue.h"
#include "tempworkdir.h"

#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

// The shop's limits and the range config.ini accepts for them agree.
static_assert(ConfigIni::ShopDownloadTimeoutRange.maximum == DownloadLimits::MaxDeadlineSeconds);
static_assert(ConfigIni::ShopMaxAnswerMBRange.maximum == DownloadLimits::MaxMaxAnswerMB);

namespace
{

const QString kDb = QStringLiteral("Waylark_main.db");

const QString kGenericModel = QStringLiteral("通用快递单"); // the delivered template

// Runs SQL on a sealed database file, which is sealed again afterwards.
bool onSealedDatabase(const QString& path, const QStringList& statements)
{
    if (restoreHeader(path) != HeaderGuard::Result::Written)
        return false;
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fixture");
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db);
        for (const QString& sql : statements)
            ok = ok && q.exec(sql);
        db.close();
    }
    QSqlDatabase::removeDatabase("fixture");
    return sealHeader(path) == HeaderGuard::Result::Written && ok;
}

// Remembers the font the font dialog opens at.
class FontRecordingPrompt : public ScriptedPrompt
{
public:
    std::optional<QFont> font(const QFont& initial) override
    {
        initials << initial;
        return ScriptedPrompt::font(initial);
    }
    QList<QFont> initials;
};

// Calls check with the modal dialog that action opens, then closes it.
template <typename Check> void onModalDialog(const std::function<void()>& action, Check check)
{
    bool seen = false;
    QTimer::singleShot(0, [&] {
        QWidget* w = nullptr;
        if (!QTest::qWaitFor([&] { return (w = QApplication::activeModalWidget()) != nullptr; }))
            return;
        if (auto* d = qobject_cast<QDialog*>(w)) {
            seen = true;
            check(d);
            d->reject();
        }
    });
    action();
    QVERIFY(seen);
}

// The commands a text shows a user: every line of a <code> block that starts
// with "waylark", without its "# ..." remark, split into arguments.
QList<QStringList> commandsShownIn(const QString& html)
{
    QList<QStringList> commands;
    const QRegularExpression code(QStringLiteral("<code>(.*?)</code>"),
                                  QRegularExpression::DotMatchesEverythingOption);
    for (auto it = code.globalMatch(html); it.hasNext();) {
        QString block = it.next().captured(1);
        block.replace("&lt;", "<").replace("&gt;", ">").replace("&amp;", "&");
        for (QString line : block.split('\n')) {
            line.remove(QRegularExpression(QStringLiteral("\\s+#.*$")));
            QStringList words = line.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
            if (words.size() > 1 && words.takeFirst() == QLatin1String("waylark"))
                commands << words;
        }
    }
    return commands;
}

// The test server's database for a usage line's URL: "db init" takes an
// empty one of its own, "db copy" and then "db check" the same other one.
QString& usageServerUrl()
{
    static QString url; // with %1 for the database's name
    return url;
}

// What a placeholder of `waylark --help` stands for in a run: the files and
// names of the command fixture.

QString placeholderValue(const QString& command, const QString& option, const QString& word)
{
    if (word == "URL" && !usageServerUrl().isEmpty())
        return usageServerUrl().arg(option == "init" ? "inited" : "copied");
    if (word == "FILE")
        return command == "print"     ? "运单.pdf"
               : command == "import"  ? "收件人.xlsx"
               : command == "address" ? "地址.txt"
               : command == "db"      ? "副本/"
                                      : "收件人.xls";
    if (word == "NAME")
        return option == "--sheet" ? "名单" : kGenericModel;
    if (word == "QUEUE")
        return "队列名";
    if (word == "N")
        return "1";
    if (word == "CAPTION=TITLE")
        return "收件人姓名=姓名";
    if (word == "NUMBER")
        return "1000";
    if (word == "CODE")
        return "ZTO";
    if (word == "TEXT")
        return "A";
    // The fixture's table has five rows; the second print takes rows the
    // first one left unprinted.
    if (word == "1-20,25")
        return "1-2,4";
    if (word == "…")
        return "3,5";
    if (word == "MM")
        return option == "--height" ? "10" : "1.5";
    if (word == "KEY")
        return "A_WayBillNo";
    if (word == "text|code128|qr")
        return "code128";
    if (word == "PCT")
        return "101";
    return word;
}

// The usage lines of `waylark --help` as runnable commands: every optional
// part included (a repeated one once), each alternative on its own, each
// placeholder filled in.
// A usage line once for each alternative of its first group that offers
// some ("(--pdf FILE | --printer QUEUE)", "[--printer QUEUE | --pdf]"),
// and so on for the groups after it.
QStringList expandAlternatives(const QString& line)
{
    static const QRegularExpression group(
        QStringLiteral("[(\\[]([^()\\[\\]]* \\| [^()\\[\\]]*)[)\\]]"));
    const QRegularExpressionMatch m = group.match(line);
    if (!m.hasMatch())
        return {line};
    QStringList lines;
    for (const QString& alternative : m.captured(1).split(QStringLiteral(" | ")))
        lines << expandAlternatives(line.left(m.capturedStart()) + alternative +
                                    line.mid(m.capturedEnd()));
    return lines;
}

QList<QStringList> commandsOfUsage(const QString& usage)
{
    QList<QStringList> commands;
    QStringList lines;
    for (const QString& line : usage.split('\n'))
        lines << expandAlternatives(line);
    for (const QString& line : lines) {
        if (!line.startsWith("  waylark ") || line.startsWith("  waylark  "))
            continue;
        const QStringList words = line.mid(10).split(' ', Qt::SkipEmptyParts);
        QStringList args;
        QStringList group;
        bool inGroup = false;
        for (int i = 0; i < words.size(); ++i) {
            QString w = words.at(i);
            // The description starts at the first plain word after the name.
            // A subcommand follows the name after one space ("db copy").
            const bool subcommand = i == 1 && line.mid(10).startsWith(words.at(0) + ' ' + w + ' ');
            const bool synopsisWord = i == 0 || subcommand || w.startsWith("--") ||
                                      w.startsWith("[") || w == "|" || w == w.toUpper() || inGroup;
            if (!synopsisWord)
                break;
            if (w.startsWith('[')) {
                inGroup = true;
                w.remove(0, 1);
            }
            const bool closes = w.endsWith(']');
            if (closes)
                w.chop(1);
            (inGroup ? group : args) << w;
            if (closes) {
                inGroup = false;
                if (!group.contains("..."))
                    args << group;
                group.clear();
            }
        }
        for (const QString& alternative : args.join(' ').split(" | ")) {
            const QStringList parts = alternative.split(' ', Qt::SkipEmptyParts);
            QStringList filled;
            for (int i = 0; i < parts.size(); ++i)
                filled << placeholderValue(parts.at(0), i > 0 ? parts.at(i - 1) : QString(),
                                           parts.at(i));
            commands << filled;
        }
    }
    return commands;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// n recipient rows in the sealed database of the working directory.
void addRecipients(int n)
{
    QCOMPARE(restoreHeader(kDb), HeaderGuard::Result::Written);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "rows");
        db.setDatabaseName(kDb);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                      "FROM c WHERE i < %1) INSERT INTO Exp_Att_Info (Name, "
                                      "Address) SELECT 'N' || i, 'Address ' || i FROM c")
                           .arg(n)));
        db.close();
    }
    QSqlDatabase::removeDatabase("rows");
    QCOMPARE(sealHeader(kDb), HeaderGuard::Result::Written);
}

bool waitForHeader(const QString& path, const QByteArray& header, int ms = 30000)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (fileBytes(path).left(16) == header)
            return true;
        QThread::msleep(5);
    }
    return false;
}

// The lock of the database in dir is free when another taker gets it.
bool lockIsFree(const QString& dir)
{
    InstanceLock probe;
    return probe.acquire(QDir(dir).filePath(kDb)) == InstanceLock::Status::Locked;
}

} // namespace

class TestApp : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempWorkDir> m_tmp;

    struct Run {
        int status = -1;
        QString errors;
    };

    // The program in a fresh application directory of its own (config.ini
    // names the fake gateway), a stored shop, the template "顺丰速运", five
    // recipients and the workbook "收件人.xlsx" in the working directory.
    void prepareCommandDirectory(FakeGateway& gateway)
    {
        const QString exe = m_tmp->filePath("waylark");
        QVERIFY(QFile::copy(QStringLiteral(WAYLARK_EXE), exe));
        QVERIFY(QFile::copy(QStringLiteral(WAYLARK_TEST_DATA "/excel/recipients.xlsx"),
                            m_tmp->filePath("收件人.xlsx")));
        writeBytes(m_tmp->filePath("地址.txt"), "张三 13800138000 浙江省杭州市西湖区文三路100号\n");
        QFile orders(QStringLiteral(WAYLARK_TEST_DATA "/shop/orders.xml"));
        QVERIFY(orders.open(QIODevice::ReadOnly));
        gateway.answer(orders.readAll());
        QVERIFY(ConfigIni::writeString(m_tmp->appDir(), "Shop", "GatewayUrl",
                                       gateway.url().toString()));
        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(s.startHeadless());
        replaceShopParams(s.dataModule()->shop, {"shopnick", "12345678", "s3cr3t", "6100a20b"});
        QSqlQuery q(s.dataModule()->database());
        for (const char* sql :
             {"CREATE TEMP TABLE copied AS SELECT * FROM Exp_Model WHERE Model_Name = '通用快递单'",
              "UPDATE copied SET Model_Name = '顺丰速运'",
              "INSERT INTO Exp_Model SELECT * FROM copied", "DROP TABLE copied",
              "INSERT INTO Exp_Att_Info (Name) VALUES ('甲'), ('乙'), ('丙'), ('丁'), ('戊')"})
            QVERIFY2(q.exec(QString::fromUtf8(sql)), qPrintable(q.lastError().text()));
        s.shutdown();
        QVERIFY(p.shown.isEmpty());
    }

    // Runs the copied program in the working directory; the test's event
    // loop keeps serving the fake gateway meanwhile.
    Run runCommand(const QStringList& args)
    {
        QProcess exe;
        exe.setWorkingDirectory(m_tmp->path());
        exe.start(m_tmp->filePath("waylark"), args);
        Run run;
        if (!exe.waitForStarted(30000))
            return run;
        exe.closeWriteChannel();
        if (!QTest::qWaitFor([&] { return exe.state() == QProcess::NotRunning; }, 120000))
            exe.kill();
        run.status = exe.exitStatus() == QProcess::NormalExit ? exe.exitCode() : -1;
        run.errors = QString::fromLocal8Bit(exe.readAllStandardError());
        return run;
    }

    // A command needs the printer queue it names: none exists here, so it
    // must be refused as such, never as wrong usage.
    static void checkRun(const QStringList& args, const Run& run)
    {
        const QString what =
            args.join(' ') + " → " + QString::number(run.status) + "\n" + run.errors;
        // Calibration is kept per queue name and needs no queue to exist.
        if (args.contains("--printer") && args.value(0) != "calibrate") {
            QVERIFY2(run.status == 1 && run.errors.contains("打印机没准备好！"), qPrintable(what));
            return;
        }
        QVERIFY2(run.status == 0, qPrintable(what));
    }

private Q_SLOTS:
    void windowsOpenCentredOnTheAvailableArea_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("smaller than the screen") << QSize(300, 200);
        QTest::newRow("larger than the screen") << QSize(5000, 4000);
    }

    // A window opens in the middle of the available area; one too large for
    // it starts at its corner, title bar on the screen.
    void windowsOpenCentredOnTheAvailableArea()
    {
        QFETCH(QSize, size);
        QDialog window;
        window.resize(size);
        window.show();
        centreOnScreen(&window);
        const QRect area = window.screen()->availableGeometry();
        const QRect frame = window.frameGeometry();
        const QString where = QStringLiteral("%1,%2 %3x%4")
                                  .arg(frame.x())
                                  .arg(frame.y())
                                  .arg(frame.width())
                                  .arg(frame.height());
        QVERIFY2(area.contains(frame.topLeft()), qPrintable(where));
        if (area.width() >= frame.width() && area.height() >= frame.height()) {
            QVERIFY2(area.contains(frame), qPrintable(where));
            QVERIFY(qAbs(frame.center().x() - area.center().x()) <= 1);
            QVERIFY(qAbs(frame.center().y() - area.center().y()) <= 1);
        } else {
            QCOMPARE(frame.topLeft(), area.topLeft());
        }
    }

    void init()
    {
        m_tmp = std::make_unique<TempWorkDir>();
        QVERIFY(makeFreshAppDir(m_tmp->path()));
        // The user's private runtime folder, for this test and its children.
        QVERIFY(QDir().mkdir(m_tmp->filePath("run")));
        QVERIFY(QFile::setPermissions(m_tmp->filePath("run"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_tmp->filePath("run")));
    }
    void cleanup()
    {
        qunsetenv("XDG_RUNTIME_DIR");
        m_tmp.reset();
    }

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
        s.mainWindow()->show();
        // Running: the standard header is in place.
        QCOMPARE(fileBytes(kDb).left(16), HeaderGuard::standardHeader());
        if (byButton)
            QTest::mouseClick(findWidget<QToolButton>("exitButton"), Qt::LeftButton);
        else
            s.mainWindow()->close();
        QVERIFY(!s.dataModule()->isConnected());
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
        QVERIFY(first.dataModule() && first.dataModule()->isConnected());
    }

    // A file the program never sealed is refused and left byte-for-byte.
    void startLeavesFilesItDidNotSealAlone_data()
    {
        QTest::addColumn<QByteArray>("content"); // "sqlite" for another program's database
        QTest::addColumn<QString>("message");    // the first message's first line
        QByteArray random(8192, '\0');
        for (int i = 0; i < random.size(); ++i)
            random[i] = char((i * 131 + 17) % 251);
        const QString foreign =
            QStringLiteral("数据库文件不是本程序的数据库或已损坏，程序没有改动它：");
        QTest::newRow("zero bytes") << QByteArray() << foreign;
        QTest::newRow("random bytes") << random << foreign;
        QTest::newRow("another program's SQLite database") << QByteArray("sqlite") << QString();
    }
    void startLeavesFilesItDidNotSealAlone()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QVERIFY(QFile::remove(kDb));
        if (content == "sqlite") {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "other");
                db.setDatabaseName(kDb);
                QVERIFY(db.open());
                QSqlQuery q(db);
                QVERIFY(q.exec("CREATE TABLE notes (id INTEGER PRIMARY KEY, text TEXT)"));
                QVERIFY(q.exec("INSERT INTO notes (text) VALUES ('keep me')"));
                db.close();
            }
            QSqlDatabase::removeDatabase("other");
        } else {
            writeBytes(kDb, content);
        }
        const QByteArray before = fileBytes(kDb);

        ScriptedPrompt p;
        {
            Startup s(m_tmp->path());
            QVERIFY(!s.start());
            s.shutdown();
        }
        QCOMPARE(fileBytes(kDb), before);
        QVERIFY(!p.shown.isEmpty());
        if (!message.isEmpty())
            QCOMPARE(p.shown.at(0).text.section('\n', 0, 0), message);
        QVERIFY(lockIsFree(m_tmp->path()));
    }

    // A database in another process's write transaction: refused, unwritten.
    void startLeavesAFileInUseAlone()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
            QSKIP("the sqlite3 program is not installed");
        QCOMPARE(restoreHeader(kDb), HeaderGuard::Result::Written); // as after kill -9
        QProcess holder;
        holder.start(QStringLiteral("sqlite3"), {kDb});
        QVERIFY(holder.waitForStarted());
        holder.write("BEGIN IMMEDIATE;\nUPDATE Exp_Send_info SET Name = Name;\n.print held\n");
        QVERIFY(holder.waitForReadyRead(10000));
        const QByteArray before = fileBytes(kDb);

        ScriptedPrompt p;
        {
            Startup s(m_tmp->path());
            QVERIFY(!s.start());
        }
        QCOMPARE(fileBytes(kDb), before);
        QCOMPARE(p.messages().value(0).section('\n', 0, 0),
                 QString("数据库文件正被其他程序使用，请关闭该程序后再试："));
        holder.write("ROLLBACK;\n.quit\n");
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
    }

    // kill -9 leaves the standard header: the next run opens the file and
    // seals it again at its end.
    void fileLeftOpenByAKilledRunStillStarts()
    {
        QCOMPARE(restoreHeader(kDb), HeaderGuard::Result::Written);
        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(s.start());
        s.shutdown();
        QCOMPARE(fileBytes(kDb).left(16), HeaderGuard::sealedHeader());
        QVERIFY2(p.messages().isEmpty(), qPrintable(p.messages().join('\n')));
    }

    // The lock belongs to the database file: a second copy that reaches
    // the same file by another name or with another environment is refused
    // and touches nothing; a copy on another database runs beside the first.
    void secondCopyOnTheSameDatabaseOnly_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("sameDatabase");
        QTest::newRow("same database, another TMPDIR") << "tmpdir" << true;
        QTest::newRow("same database, another XDG_RUNTIME_DIR") << "runtime" << true;
        QTest::newRow("same database through a hard link") << "hardlink" << true;
        QTest::newRow("another database, the same TMPDIR") << "other" << false;
    }
    void secondCopyOnTheSameDatabaseOnly()
    {
        QFETCH(QString, way);
        QFETCH(bool, sameDatabase);
        ScriptedPrompt p;
        Startup first(m_tmp->path());
        QVERIFY(first.start());
        const QByteArray running = fileBytes(kDb);

        QTemporaryDir other;
        QVERIFY(makeFreshAppDir(other.path()));
        QProcess exe;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        exe.setWorkingDirectory(m_tmp->path());
        if (way == "tmpdir") {
            env.insert("TMPDIR", other.path());
        } else if (way == "runtime") {
            const QString run = other.filePath("run");
            QVERIFY(QDir().mkdir(run));
            QVERIFY(
                QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            env.insert("XDG_RUNTIME_DIR", run);
        } else {
            exe.setWorkingDirectory(other.path());
            if (way == "hardlink") {
                QVERIFY(QFile::remove(other.filePath(kDb)));
                QCOMPARE(::link(QFile::encodeName(m_tmp->filePath(kDb)).constData(),
                                QFile::encodeName(other.filePath(kDb)).constData()),
                         0);
            }
        }
        exe.setProcessEnvironment(env);
        exe.start(QStringLiteral(WAYLARK_EXE), {"export", other.filePath("out.xls")});
        QVERIFY(exe.waitForFinished(60000));
        const QString err = QString::fromUtf8(exe.readAllStandardError());
        if (sameDatabase) {
            QCOMPARE(exe.exitCode(), 1);
            QVERIFY2(err.contains("程 序 已 经 运 行!"), qPrintable(err));
            QVERIFY(!QFile::exists(other.filePath("out.xls")));
        } else {
            QVERIFY2(exe.exitCode() == 0, qPrintable(err));
            QVERIFY(QFile::exists(other.filePath("out.xls")));
            QCOMPARE(fileBytes(other.filePath(kDb)).left(16), HeaderGuard::sealedHeader());
        }
        QCOMPARE(fileBytes(kDb), running);
        QVERIFY(first.dataModule() && first.dataModule()->isConnected());
        QVERIFY(p.messages().isEmpty());
    }

    // The lock on the file and SQLite's own locks leave each other alone:
    // while the program runs, another SQLite program cannot read the file;
    // a refused second start in the same process does not free it; and the
    // lock outlives SQLite's close of the file until the program ends.
    void lockAndSqliteLocksStandTogether()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
            QSKIP("the sqlite3 program is not installed");
        auto sqliteCanRead = [] {
            QProcess reader;
            reader.start(QStringLiteral("sqlite3"), {kDb, "SELECT count(*) FROM Exp_Model;"});
            reader.waitForFinished(30000);
            return reader.exitCode() == 0;
        };
        auto secondCopyIsRefused = [this] {
            QProcess exe;
            exe.setWorkingDirectory(m_tmp->path());
            exe.start(QStringLiteral(WAYLARK_EXE), {"export", m_tmp->filePath("out.xls")});
            exe.waitForFinished(60000);
            return exe.exitCode() == 1 &&
                   QString::fromUtf8(exe.readAllStandardError()).contains("程 序 已 经 运 行!");
        };
        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(s.start());
        QVERIFY(!sqliteCanRead());
        {
            Startup second(m_tmp->path());
            QVERIFY(!second.start());
        }
        QVERIFY(!sqliteCanRead());
        QVERIFY(!lockIsFree(m_tmp->path()));
        QVERIFY(!sqliteCanRead());

        s.dataModule()->closeDatabase();
        QVERIFY(secondCopyIsRefused());
        s.shutdown();
        QVERIFY(lockIsFree(m_tmp->path()));
        QCOMPARE(p.messages(), QStringList({"程 序 已 经 运 行!"}));
    }

    // The lock needs no folder of its own: with no runtime folder, no usable
    // cache folder and no temporary folder the program still starts.
    void lockNeedsNoFolder()
    {
        writeBytes(m_tmp->filePath("cache"), "a file, not a folder");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_tmp->filePath("cache/deeper")));
        const QByteArray tmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(m_tmp->filePath("missing")));
        ScriptedPrompt p;
        bool started = false;
        {
            Startup s(m_tmp->path());
            started = s.start();
        }
        qunsetenv("XDG_CACHE_HOME");
        qputenv("TMPDIR", tmp);
        QVERIFY(started);
        QVERIFY2(p.messages().isEmpty(), qPrintable(p.messages().join('\n')));
        QCOMPARE(fileBytes(kDb).left(16), HeaderGuard::sealedHeader());
    }

    // SIGTERM, SIGINT and SIGHUP end a command as the window's exit does:
    // the file sealed, the lock free, no output file, status 1.
    void signalEndsACommandCleanly_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void signalEndsACommandCleanly()
    {
        QFETCH(int, signal);
        addRecipients(3000);
        QProcess exe;
        exe.setWorkingDirectory(m_tmp->path());
        exe.start(QStringLiteral(WAYLARK_EXE), {"print", "--pdf", m_tmp->filePath("out.pdf")});
        // The handlers are in place before the header is restored.
        QVERIFY(waitForHeader(m_tmp->filePath(kDb), HeaderGuard::standardHeader()));
        QCOMPARE(::kill(pid_t(exe.processId()), signal), 0);
        QVERIFY(exe.waitForFinished(60000));
        QCOMPARE(exe.exitStatus(), QProcess::NormalExit);
        QCOMPARE(exe.exitCode(), 1);
        QCOMPARE(fileBytes(kDb).left(16), HeaderGuard::sealedHeader());
        QVERIFY(lockIsFree(m_tmp->path()));
        QCOMPARE(QDir(m_tmp->path()).entryList({"out.pdf*"}, QDir::Files), QStringList());
    }

    void signalEndsTheWindowsCleanly()
    {
        QProcess exe;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        exe.setProcessEnvironment(env);
        exe.setWorkingDirectory(m_tmp->path());
        exe.start(QStringLiteral(WAYLARK_EXE), QStringList());
        QVERIFY(waitForHeader(m_tmp->filePath(kDb), HeaderGuard::standardHeader()));
        QCOMPARE(::kill(pid_t(exe.processId()), SIGTERM), 0);
        QVERIFY(exe.waitForFinished(60000));
        QCOMPARE(exe.exitStatus(), QProcess::NormalExit);
        QCOMPARE(fileBytes(kDb).left(16), HeaderGuard::sealedHeader());
        QVERIFY(lockIsFree(m_tmp->path()));
    }

    // kill -9 cannot be handled: the next start goes on as usual.
    void nextStartAfterKill9()
    {
        QProcess exe;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        exe.setProcessEnvironment(env);
        exe.setWorkingDirectory(m_tmp->path());
        exe.start(QStringLiteral(WAYLARK_EXE), QStringList());
        QVERIFY(waitForHeader(m_tmp->filePath(kDb), HeaderGuard::standardHeader()));
        exe.kill();
        QVERIFY(exe.waitForFinished(60000));
        QVERIFY(lockIsFree(m_tmp->path()));
        QProcess next;
        next.setWorkingDirectory(m_tmp->path());
        next.start(QStringLiteral(WAYLARK_EXE), {"export", m_tmp->filePath("out.xls")});
        QVERIFY(next.waitForFinished(60000));
        QCOMPARE(next.exitCode(), 0);
        QCOMPARE(fileBytes(kDb).left(16), HeaderGuard::sealedHeader());
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
        // The program's line, then the system's reason.
        QCOMPARE(p.messages().size(), 1);
        const QString shown = p.messages().at(0);
        QCOMPARE(shown.section('\n', 0, 0),
                 QString("数据库文件不能写入：") + QFileInfo(kDb).absoluteFilePath());
        QCOMPARE(shown.section('\n', 1), directory ? QString::fromLocal8Bit(strerror(EISDIR))
                                                   : QString::fromLocal8Bit(strerror(EACCES)));
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
        s.mainWindow()->show();
        QCOMPARE(s.session().currentTemplate, model);
        QCOMPARE(s.mainWindow()->statusPanelText(2), QStringLiteral("当前模板：") + model);
        QComboBox* list = s.mainWindow()->findChild<QComboBox*>("templateList");
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->itemText(0), QStringLiteral("通用快递单"));
        QCOMPARE(list->currentIndex(), selected);
    }

    // A config.ini that cannot be read, or a value that cannot be used, is
    // said once at start, naming the file and the key; the program starts
    // on the defaults for what it names, and never rewrites such a file.
    void configProblemsAreSaidAndDefaultsUsed_data()
    {
        QTest::addColumn<QByteArray>("ini"); // also "dir": a directory in its place
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("model"); // the current template afterwards
        QTest::newRow("a directory") << QByteArray("dir") << "Is a directory" << QString();
        QTest::newRow("no read permission")
            << QByteArray("unreadable") << "Permission denied" << QString();
        QTest::newRow("not an INI file")
            << QByteArray("[DefaultModel\nModelName=通用快递单\n") << "INI" << QString();
        QTest::newRow("not UTF-8")
            << QByteArray("[DefaultModel]\nModelName=\xcd\xa8\xd3\xc3\n") << "UTF-8" << QString();
        QTest::newRow("a timeout that is no number")
            << QByteArray("[DefaultModel]\nModelName=通用快递单\n[Shop]\nDownloadTimeout=两分钟\n")
            << "[Shop] DownloadTimeout = 两分钟"
            << "通用快递单";
        QTest::newRow("an answer limit out of range")
            << QByteArray("[DefaultModel]\nModelName=通用快递单\n[Shop]\nMaxAnswerMB=0\n")
            << "[Shop] MaxAnswerMB = 0"
            << "通用快递单";
        QTest::newRow("a grid state that is no Base64")
            << QByteArray("[DefaultModel]\nModelName=通用快递单\n[Grid]\nState=**\n")
            << "[Grid] State"
            << "通用快递单";
    }
    void configProblemsAreSaidAndDefaultsUsed()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, detail);
        QFETCH(QString, model);
        const QString path = m_tmp->filePath("config.ini");
        QVERIFY(QFile::remove(path));
        if (ini == "dir") {
            QVERIFY(QDir().mkdir(path));
        } else {
            writeBytes(path, ini);
            if (ini == "unreadable") {
                if (geteuid() == 0)
                    QSKIP("root reads any file; the other rows fail for root too");
                QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
            }
        }

        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(s.start());
        s.mainWindow()->show();
        QVERIFY2(p.shown.isEmpty(), qPrintable(p.messages().join('\n')));
        const QStringList problems = s.session().configProblems;
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems.at(0).section('\n', 0, 0).endsWith(path), qPrintable(problems.at(0)));
        QVERIFY2(problems.at(0).section('\n', 1).contains(detail), qPrintable(problems.at(0)));
        auto* panel = findWidget<QLabel>("configProblemPanel");
        QVERIFY(panel->text().contains(path) && panel->text().contains(detail));
        QCOMPARE(s.session().currentTemplate, model);
        const DownloadLimits limits = downloadLimitsFromConfig(m_tmp->appDir());
        QCOMPARE(limits.deadlineSeconds, int(DownloadLimits::DefaultDeadlineSeconds));
        QCOMPARE(limits.maxAnswerMB, int(DownloadLimits::DefaultMaxAnswerMB));
        // A file that was not read is not rewritten: what it holds stays.
        if (model.isEmpty() && ini != "dir" && ini != "unreadable") {
            QString why;
            QVERIFY(!ConfigIni::write(m_tmp->appDir(), ConfigIni::DefaultModel, "新", &why));
            QVERIFY2(why.contains(detail), qPrintable(why));
            QCOMPARE(fileBytes(path), ini);
        }
    }

    // The command line says a config.ini problem once, on standard error,
    // and goes on; a config.ini that is a FIFO is never opened (opening it
    // would wait for a writer forever).
    void configProblemsOnTheCommandLine_data()
    {
        QTest::addColumn<bool>("fifo");
        QTest::addColumn<QString>("detail");
        QTest::newRow("a value out of range") << false << "[Shop] DownloadTimeout = 0";
        QTest::newRow("a FIFO") << true << "FIFO";
    }
    void configProblemsOnTheCommandLine()
    {
        QFETCH(bool, fifo);
        QFETCH(QString, detail);
        const QString exe = m_tmp->filePath("waylark");
        QVERIFY(QFile::copy(QStringLiteral(WAYLARK_EXE), exe));
        const QString path = m_tmp->filePath("config.ini");
        QVERIFY(QFile::remove(path));
        if (fifo)
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            writeBytes(path, "[Shop]\nDownloadTimeout=0\n");
        QProcess run;
        run.setWorkingDirectory(m_tmp->path());
        run.start(exe, {"export", m_tmp->filePath("out.xls")});
        const bool finished = run.waitForFinished(60000);
        if (!finished)
            run.kill();
        QVERIFY(finished);
        const QString err = QString::fromLocal8Bit(run.readAllStandardError());
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(err.count(path), 1);
        QVERIFY2(err.contains(detail), qPrintable(err));
        QVERIFY(QFile::exists(m_tmp->filePath("out.xls")));
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
        s.mainWindow()->show();
        s.mainWindow()->hide();
        s.mainWindow()->show(); // activation runs once
        QComboBox* prov = s.mainWindow()->findChild<QComboBox*>("provinceList");
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
        s.mainWindow()->show();
        // The title names the database open.
        QCOMPARE(s.mainWindow()->windowTitle(),
                 QString("Waylark - " + QFileInfo(kDb).absoluteFilePath()));
        QCOMPARE(s.mainWindow()->size(), QSize(935, 705));

        const QStringList names = {"designTabButton",   "recipientsTabButton", "senderTabButton",
                                   "singlePrintButton", "batchPrintButton",    "fontButton",
                                   "printerButton",     "helpButton",          "exitButton"};
        const QStringList captions = {"模板设置",   "收件人管理", "发件人设置",
                                      "单页打印",   "批量打印",   "字体设置",
                                      "打印机设置", "帮助",       "退出"};
        int lastX = -1;
        for (int i = 0; i < names.size(); ++i) {
            auto* b = s.mainWindow()->findChild<QToolButton*>(names.at(i));
            QVERIFY2(b, qPrintable(names.at(i)));
            QCOMPARE(b->text(), captions.at(i));
            QCOMPARE(b->width(), 81);
            QVERIFY(b->x() > lastX);
            lastX = b->x();
        }
        QTabWidget* tabs = s.mainWindow()->findChild<QTabWidget*>("tabs");
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QString("模板设计"));
        QCOMPARE(tabs->tabText(1), QString("收件人管理"));
        QCOMPARE(tabs->tabText(2), QString("发件人信息"));
        QCOMPARE(tabs->currentIndex(), 0);
        QTest::mouseClick(findWidget<QToolButton>("senderTabButton"), Qt::LeftButton);
        QCOMPARE(tabs->currentIndex(), 2);
        QTest::mouseClick(findWidget<QToolButton>("recipientsTabButton"), Qt::LeftButton);
        QCOMPARE(tabs->currentIndex(), 1);
        QTest::mouseClick(findWidget<QToolButton>("designTabButton"), Qt::LeftButton);
        QCOMPARE(tabs->currentIndex(), 0);

        QCOMPARE(s.mainWindow()->statusPanelText(0),
                 QString("Qorda邮单打印软件Waylark " WAYLARK_VERSION));
        QCOMPARE(s.mainWindow()->statusPanelText(1), QString());
        const int widths[4] = {260, 80, 230, 50};
        const char* panels[4] = {"versionPanel", "printerPanel", "templatePanel", "supportPanel"};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(findWidget<QLabel>(panels[i])->width(), widths[i]);
    }

    void fieldControlsAtTheirDefaultPlaces()
    {
        // A layout would move them; without a template row they stay put.
        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(s.start());
        auto* panel = s.mainWindow()->findChild<QWidget*>("surface");
        QVERIFY(panel);
        QLabel* image = panel->findChild<QLabel*>("pictureLabel");
        QCOMPARE(image->pos(), QPoint(24, 16));
        QCOMPARE(image->size(), QSize(800, 442));
        for (const FieldInfo& f : FieldCatalogue::all()) {
            auto* c = panel->findChild<QLineEdit*>(FieldControl::objectNameFor(f.key));
            QVERIFY2(c, qPrintable(f.key));
            QCOMPARE(c->parentWidget(), panel);
            QCOMPARE(c->geometry(), QRect(f.defaultLeft, f.defaultTop, 40, 22));
            QCOMPARE(c->toolTip(), f.hint);
        }
        // Named by field, not by place.
        QCOMPARE(panel->findChild<QLineEdit*>("field_A_Disrination")->x(), 519);
        QCOMPARE(panel->findChild<QLineEdit*>("field_A_Company")->x(), 339);
        QCOMPARE(panel->findChild<QLineEdit*>("field_A_Country")->toolTip(), QString("收件区(县)"));
    }

    void functionButtonsAreWired()
    {
        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(s.start());
        s.mainWindow()->show();
        QVERIFY(s.mainWindow()->findChild<QDialog*>("ImportMappingDialog"));
        QVERIFY(s.mainWindow()->findChild<QDialog*>("ShopSettingsDialog"));
        QVERIFY(s.mainWindow()->findChild<QDialog*>("PreviewWindow"));
        QVERIFY(s.mainWindow()->findChild<QDialog*>("WaybillDialog"));
        // The open dialog first; the question comes with "确定".
        QTest::mouseClick(findWidget<QToolButton>("importButton"), Qt::LeftButton);
        QCOMPARE(p.shown.value(0).kind, QString("open"));
        QCOMPARE(p.shown.size(), 1); // cancelled: no dialog
        p.clear();
        QTest::mouseClick(findWidget<QToolButton>("exportButton"), Qt::LeftButton);
        QCOMPARE(p.shown.value(0).kind, QString("save"));
        QCOMPARE(p.shown.size(), 1); // cancelled: nothing written, nothing said
    }

    void help()
    {
        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(s.start());
        QTest::mouseClick(findWidget<QToolButton>("helpButton"), Qt::LeftButton);
        QCOMPARE(p.messages(), QStringList({"帮助文件不存在，请确认您下载到了完整安装包！"}));
        QVERIFY(p.urls.isEmpty());

        QFile help(QStringLiteral("help.html"));
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.write("<html></html>");
        help.close();
        p.clear();
        QTest::mouseClick(findWidget<QToolButton>("helpButton"), Qt::LeftButton);
        QVERIFY(p.messages().isEmpty());
        QCOMPARE(p.urls.size(), 1);
        QCOMPARE(p.urls.at(0).toLocalFile(),
                 QFileInfo(QStringLiteral("help.html")).absoluteFilePath());
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

    // --- Texts ------------------------------------------------------------

    void databaseRefusalsSpeakChinese_data()
    {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QString>("firstLine");
        QTest::addColumn<QString>("detail");
        const QString unknownVersion =
            QStringLiteral("数据库文件的结构版本不是本程序能打开的版本，程序没有改动它！");
        QTest::newRow("newer program")
            << QStringList{"PRAGMA user_version = 99"} << unknownVersion << "99";
        QTest::newRow("negative version")
            << QStringList{"PRAGMA user_version = -2"} << unknownVersion << "-2";
        QTest::newRow("version 1 with the print marks")
            << QStringList{"PRAGMA user_version = 1"} << unknownVersion << "Printed_At";
        QTest::newRow("not made by the program")
            << QStringList{"PRAGMA user_version = 0"} << "数据库文件不是Waylark建立的，无法打开！"
            << "结构版本号";
        // SQLite's own reason follows on the second line.
        QTest::newRow("SQLite error")
            << QStringList{"DROP TABLE Shop_Info"} << "数据库操作失败，本次操作没有完成！"
            << "Shop_Info";
    }
    void databaseRefusalsSpeakChinese()
    {
        QFETCH(QStringList, statements);
        QFETCH(QString, firstLine);
        QFETCH(QString, detail);
        QVERIFY(onSealedDatabase(kDb, statements));
        const QByteArray before = fileBytes(kDb);
        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(!s.start());
        QCOMPARE(p.shown.size(), 1);
        QCOMPARE(p.shown.at(0).kind, QString("error"));
        const QStringList lines = p.shown.at(0).text.split('\n');
        QCOMPARE(lines.value(0), firstLine);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(1).contains(detail), qPrintable(lines.at(1)));
        QCOMPARE(fileBytes(kDb), before);
    }

    void errorsGetAChineseFirstLine_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("shown");
        const int failure = int(DataError::Kind::Failure);
        QTest::newRow("system reason")
            << failure << "disk I/O error Unable to fetch row"
            << "数据库操作失败，本次操作没有完成！\ndisk I/O error Unable to fetch row";
        // The kind decides, not the words: a failure's reason in Chinese
        // still gets the first line.
        QTest::newRow("failure in Chinese") << failure << "磁盘已满"
                                            << "数据库操作失败，本次操作没有完成！\n磁盘已满";
        QTest::newRow("the program's own refusal")
            << int(DataError::Kind::Refusal) << "背景图无法载入：a.bmp（bad）"
            << "背景图无法载入：a.bmp（bad）";
        QTest::newRow("stopped by a signal")
            << int(DataError::Kind::Stopped) << "程序收到结束信号，操作已中止，没有保存任何改动。"
            << "程序收到结束信号，操作已中止，没有保存任何改动。";
        QTest::newRow("no reason") << failure << ""
                                   << "数据库操作失败，本次操作没有完成！";
    }
    void errorsGetAChineseFirstLine()
    {
        QFETCH(int, kind);
        QFETCH(QString, reason);
        QFETCH(QString, shown);
        ScriptedPrompt p;
        QVERIFY(!guarded([&] { throw DataError(reason, DataError::Kind(kind)); }));
        QVERIFY(!guarded([&] { throw std::runtime_error(reason.toStdString()); }));
        QCOMPARE(p.messages().value(0), shown);
        QCOMPARE(p.messages().value(1).section('\n', 0, 0),
                 QStringLiteral("程序发生错误，本次操作没有完成！"));

        // The windows show an error's whole text as it was given.
        QtPrompt real;
        onModalDialog(
            [&] { real.error(shown); },
            [&](QDialog* box) { QCOMPARE(qobject_cast<QMessageBox*>(box)->text(), shown); });
    }

    void optionForms_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("model"); // the value read back for --model
        QTest::addColumn<QStringList>("positional");
        QTest::addColumn<QString>("error");
        QTest::newRow("--name value")
            << QStringList({"--model", "甲"}) << "甲" << QStringList() << "";
        QTest::newRow("--name=value")
            << QStringList({"--model=甲=乙"}) << "甲=乙" << QStringList() << "";
        QTest::newRow("--template")
            << QStringList({"--template", "甲"}) << "甲" << QStringList() << "";
        QTest::newRow("-- ends the options") << QStringList({"--model", "甲", "--", "--model"})
                                             << "甲" << QStringList({"--model"}) << "";
        // Qt's parser words these; the option is named.
        QTest::newRow("a flag with a value")
            << QStringList({"--append=1"}) << "" << QStringList() << "--append";
        QTest::newRow("unknown") << QStringList({"--modle=甲"}) << "" << QStringList()
                                 << "unknown option --modle";
        QTest::newRow("no value") << QStringList({"--model"}) << "" << QStringList() << "--model";
        QTest::newRow("a negative number as a value")
            << QStringList({"--model", "-1.5"}) << "-1.5" << QStringList() << "";
    }
    void optionForms()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, model);
        QFETCH(QStringList, positional);
        QFETCH(QString, error);
        const CliArgs::Options o = CliArgs::parse(args, {"--model"}, {"--append"});
        QVERIFY2(error.isEmpty() ? o.error.isEmpty() : o.error.contains(error),
                 qPrintable(o.error));
        if (!error.isEmpty())
            return;
        QCOMPARE(o.value("--model"), model);
        QCOMPARE(o.positional, positional);
    }

    void qtOptionsStartTheWindows_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("windows");
        QTest::newRow("none") << QStringList() << true;
        QTest::newRow("-platform") << QStringList({"-platform", "offscreen"}) << true;
        QTest::newRow("-style=") << QStringList({"-style=fusion"}) << true;
        QTest::newRow("--geometry") << QStringList({"--geometry", "800x600"}) << true;
        QTest::newRow("a command") << QStringList({"print", "--pdf", "a.pdf"}) << false;
        QTest::newRow("--help") << QStringList({"--help"}) << false;
        QTest::newRow("an unknown option") << QStringList({"-platforms"}) << false;
    }
    void qtOptionsStartTheWindows()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, windows);
        QCOMPARE(argumentsStartWindows(arguments), windows);
    }

    void globalOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QStringList>("rest");
        QTest::addColumn<bool>("wrong");
        QTest::newRow("none") << QStringList() << QString() << QStringList() << false;
        QTest::newRow("before a command")
            << QStringList({"--database", "a.db", "print", "--pdf", "x.pdf"}) << "a.db"
            << QStringList({"print", "--pdf", "x.pdf"}) << false;
        QTest::newRow("with =, before Qt's options")
            << QStringList({"--database=/d/a b.db", "-platform", "offscreen"}) << "/d/a b.db"
            << QStringList({"-platform", "offscreen"}) << false;
        QTest::newRow("after the command it is the command's")
            << QStringList({"export", "--database", "a.db"}) << QString()
            << QStringList({"export", "--database", "a.db"}) << false;
        QTest::newRow("no value") << QStringList({"--database"}) << QString() << QStringList()
                                  << true;
        QTest::newRow("empty value")
            << QStringList({"--database=", "log"}) << QString() << QStringList() << true;
        QTest::newRow("twice") << QStringList({"--database", "a", "--database", "b"}) << QString()
                               << QStringList() << true;
    }
    void globalOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, database);
        QFETCH(QStringList, rest);
        QFETCH(bool, wrong);
        const GlobalOptions o = GlobalOptions::parse(args);
        QCOMPARE(!o.error.isEmpty(), wrong);
        if (wrong)
            return;
        QCOMPARE(o.database, database);
        QCOMPARE(o.rest, rest);
    }

    // The windows on another database than the folder's: that file is the
    // one opened, named in the title and sealed at the end; the folder's own
    // is not touched.
    void windowsOnAnotherDatabase()
    {
        QTemporaryDir other;
        QVERIFY(makeFreshAppDir(other.path()));
        const QString otherDb = other.filePath(kDb);
        const QByteArray ownBefore = fileBytes(kDb);
        ScriptedPrompt p;
        Startup s(m_tmp->path(), otherDb);
        QVERIFY(s.start());
        QCOMPARE(s.session().databaseFile, otherDb);
        QCOMPARE(s.session().appDir, m_tmp->appDir());
        QVERIFY(s.mainWindow()->windowTitle().endsWith(otherDb));
        QCOMPARE(fileBytes(otherDb).left(16), HeaderGuard::standardHeader());
        s.shutdown();
        QCOMPARE(fileBytes(otherDb).left(16), HeaderGuard::sealedHeader());
        QCOMPARE(fileBytes(kDb), ownBefore);
        QVERIFY2(p.messages().isEmpty(), qPrintable(p.messages().join('\n')));
    }

    void qtDialogsSpeakChineseAndTitlesStandAlone()
    {
        setUpWindowsApplication();
        // No display name for the desktop to append to every title.
        QCOMPARE(QGuiApplication::applicationDisplayName(), QString("Waylark"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("取消"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QString("查找范围："));
        // The file kinds, which Qt's own catalogue lacks.
        QFileSystemModel files;
        QCOMPARE(files.type(files.index(QDir::currentPath())), QString("文件夹"));
        useChineseLocale();
        QCOMPARE(QLocale().name(), QString("zh_CN"));
        QCOMPARE(QLocale().toString(QDate(2026, 12, 10), QLocale::ShortFormat),
                 QString("2026/12/10"));

        // Message boxes: the caption alone, wide enough to show it whole.
        QtPrompt real;
        const QStringList captions = {"批量打印提示", " 警告", ""};
        for (const QString& caption : captions) {
            onModalDialog([&] { real.message(QStringLiteral("好"), caption, Prompt::Icon::None); },
                          [&](QDialog* box) {
                              const QString title =
                                  caption.isEmpty() ? QString("Qorda软件为您服务") : caption;
                              QCOMPARE(box->windowTitle(), title);
                              const QFontMetrics fm(box->font());
                              QVERIFY2(box->width() >= fm.horizontalAdvance(title) + 120,
                                       qPrintable(QString::number(box->width())));
                              auto* mb = qobject_cast<QMessageBox*>(box);
                              QVERIFY(mb);
                              QCOMPARE(mb->buttons().value(0)->text(), QString("确定"));
                          });
        }
    }

    void fileDialogFiltersAreReadableAndTakeAnyCase()
    {
        for (const char* name : {"甲.XLS", "乙.xlsx", "丙.Csv", "丁.txt", "戊.xlsm"}) {
            QFile f(QString::fromUtf8(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QtPrompt real;
        onModalDialog([&] { real.openFile(QStringLiteral("打开"), WorkbookReader::fileFilter()); },
                      [&](QDialog* d) {
                          auto* dialog = qobject_cast<QFileDialog*>(d);
                          QVERIFY(dialog);
                          QCOMPARE(dialog->nameFilters().value(0),
                                   QString("Excel 文件 (*.xls *.xlsx *.csv)"));
                          for (const QString& f : dialog->nameFilters())
                              QVERIFY2(!f.contains('['), qPrintable(f));
                          auto* view = dialog->findChild<QListView*>("listView");
                          QVERIFY(view);
                          QStringList shown;
                          (void)QTest::qWaitFor([&] { // the folder is listed in the background
                              shown.clear();
                              QAbstractItemModel* m = view->model();
                              for (int i = 0; i < m->rowCount(view->rootIndex()); ++i)
                                  shown << m->index(i, 0, view->rootIndex()).data().toString();
                              return shown.size() >= 4; // with the folder bkbmp
                          });
                          QTest::qWait(100);
                          shown.clear();
                          QAbstractItemModel* m = view->model();
                          for (int i = 0; i < m->rowCount(view->rootIndex()); ++i)
                              shown << m->index(i, 0, view->rootIndex()).data().toString();
                          shown.sort();
                          // Folders are always listed, whatever the filter.
                          QStringList expected =
                              QDir::current().entryList(QDir::Dirs | QDir::NoDotAndDotDot);
                          expected << "丙.Csv"
                                   << "乙.xlsx"
                                   << "甲.XLS";
                          expected.sort();
                          QCOMPARE(shown, expected);
                      });
    }

    // --- The print font and its colour -------------------------------------

    void fontDialogOpensAtThePrintFont()
    {
        Session session;
        FontRecordingPrompt p;
        const QFont printing = session.printFont();

        // Cancelled: nothing changes, no colour is asked.
        PrintActions::choosePrintFont(session);
        QCOMPARE(p.initials.size(), 1);
        QCOMPARE(p.initials.at(0), printing);
        QCOMPARE(p.initials.at(0).pointSize(), 10);
        QVERIFY(!session.chosenPrintFont);
        QCOMPARE(p.shown.size(), 1);

        // OK without a change: the same font; the colour dialog opens at black
        // and its cancel keeps black.
        p.fonts.enqueue(p.initials.at(0));
        PrintActions::choosePrintFont(session);
        QCOMPARE(session.printFont(), printing);
        QCOMPARE(p.shown.last().kind, QString("colour"));
        QCOMPARE(p.shown.last().text, QColor(Qt::black).name());
        QCOMPARE(session.printColour(), QColor(Qt::black));

        // A chosen font and colour; the next opening starts at both.
        QFont big = printing;
        big.setPointSize(14);
        p.fonts.enqueue(big);
        p.colours.enqueue(QColor(Qt::red));
        PrintActions::choosePrintFont(session);
        QCOMPARE(session.printFont().pointSize(), 14);
        QCOMPARE(session.printColour(), QColor(Qt::red));
        PrintActions::choosePrintFont(session);
        QCOMPARE(p.initials.last().pointSize(), 14);
        QCOMPARE(session.printColour(), QColor(Qt::red));
    }

    void printedTextUsesThePrintColour_data()
    {
        QTest::addColumn<QColor>("chosen");
        QTest::addColumn<int>("channel"); // the ink's own channel; -1: grey
        QTest::newRow("default black") << QColor() << -1;
        QTest::newRow("blue") << QColor(Qt::blue) << 2;
    }
    void printedTextUsesThePrintColour()
    {
        QFETCH(QColor, chosen);
        QFETCH(int, channel);
        Session session;
        if (chosen.isValid())
            session.chosenPrintColour = chosen;

        RenderField field;
        field.field = FieldCatalogue::byKey("A_Name");
        field.visible = true;
        field.offset = QPoint(4, 4);
        field.text = QStringLiteral("张三丰");
        QImage image(120, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setPen(Qt::green); // what a caller may have left
            painter.setFont(session.printFont());
            RecordRenderer::drawRecord(painter, {field}, session.printColour(), 96, 96);
        }
        int inked = 0;
        int otherInk = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c == QColor(Qt::white))
                    continue;
                // Antialiased edges blend toward white; the ink's hue decides.
                const int v[3] = {c.red(), c.green(), c.blue()};
                const bool grey = std::max({v[0], v[1], v[2]}) - std::min({v[0], v[1], v[2]}) < 30;
                const bool own = channel < 0 ? grey && v[0] < 160
                                             : v[channel] > v[(channel + 1) % 3] + 60 &&
                                                   v[channel] > v[(channel + 2) % 3] + 60;
                if (own)
                    ++inked;
                else if (v[1] > v[0] + 30 && v[1] > v[2] + 30) // the caller's green pen
                    ++otherInk;
            }
        QVERIFY2(inked > 20, qPrintable(QString::number(inked)));
        QCOMPARE(otherInk, 0);
    }

    void helpPageCommandsRun()
    {
        QFile help(QStringLiteral(WAYLARK_HELP_PAGE));
        QVERIFY(help.open(QIODevice::ReadOnly));
        const QList<QStringList> commands = commandsShownIn(QString::fromUtf8(help.readAll()));
        QVERIFY(commands.size() >= 6);
        FakeGateway gateway("s3cr3t");
        prepareCommandDirectory(gateway);
        for (const QStringList& args : commands)
            checkRun(args, runCommand(args));
        QVERIFY2(gateway.problems.isEmpty(), qPrintable(gateway.problems.join('\n')));
        QVERIFY(gateway.targets.size() >= 1);
        QVERIFY(QFileInfo(m_tmp->filePath("运单.pdf")).size() > 0);
        QVERIFY(QFileInfo(m_tmp->filePath("收件人.xls")).size() > 0);
    }

    void usageCommandsRun()
    {
        // Without PostgreSQL (scripts/install-deps.sh test installs it) the
        // lines about a server are left out, said as a warning.
        PgServer server;
        QString error;
        if (PgServer::binDir().isEmpty()) {
            qWarning("PostgreSQL is not installed: the usage lines with a URL are not run");
        } else {
            QVERIFY2(server.start(&error), qPrintable(error));
            for (const char* name : {"inited", "copied"})
                QVERIFY2(server.createDatabase(name, &error), qPrintable(error));
            usageServerUrl() = server.url("%1");
        }
        FakeGateway gateway("s3cr3t");
        prepareCommandDirectory(gateway);
        QProcess exe;
        exe.start(m_tmp->filePath("waylark"), {"--help"});
        QVERIFY(exe.waitForFinished(60000));
        const QList<QStringList> commands =
            commandsOfUsage(QString::fromLocal8Bit(exe.readAllStandardOutput()));
        QStringList names;
        for (const QStringList& args : commands) {
            if (args.contains("URL"))
                continue;
            names << args.value(0);
            checkRun(args, runCommand(args));
        }
        for (const char* name :
             {"print", "import", "export", "download", "number", "carrier", "--help", "--version"})
            QVERIFY2(names.contains(name), qPrintable(names.join(' ')));
        QVERIFY2(gateway.problems.isEmpty(), qPrintable(gateway.problems.join('\n')));
    }

    void stationsPrintTheUnprintedRowsOnce_data()
    {
        QTest::addColumn<int>("stations");
        QTest::newRow("two stations") << 2;
        QTest::newRow("four stations") << 4;
    }

    // Stations on one server printing the unprinted rows at the same time,
    // a few rows claimed at a time: every row is printed exactly once, the
    // marks equal the pages of the print log, and the rows are shared.
    void stationsPrintTheUnprintedRowsOnce()
    {
        QFETCH(int, stations);
        if (PgServer::binDir().isEmpty())
            QSKIP("PostgreSQL is not installed: scripts/install-deps.sh test installs it");
        PgServer server;
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));
        QVERIFY2(server.createDatabase("shared", &error), qPrintable(error));
        const QString url = server.url("shared");
        FakeGateway gateway("s3cr3t");
        prepareCommandDirectory(gateway);
        const Run copied = runCommand({"db", "copy", "--to", url});
        QVERIFY2(copied.status == 0, qPrintable(copied.errors));
        const QString conn = QStringLiteral("shared");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", conn);
            db.setHostName(server.socketDir());
            db.setUserName("postgres");
            db.setDatabaseName("shared");
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            QSqlQuery q(db);
            QVERIFY(q.exec("INSERT INTO Exp_Att_Info (Name, Address) SELECT '收件人' || i, "
                           "'地址' || i FROM generate_series(1, 120) AS i"));
            QString written;
            QVERIFY2(
                ConfigIni::write(m_tmp->path() + '/', ConfigIni::DatabaseClaimRows, "5", &written),
                qPrintable(written));
            // No station claims a row before all are up: none finishes the
            // pool before the others start.
            QVERIFY(db.transaction());
            QVERIFY(q.exec("LOCK TABLE Exp_Att_Info IN SHARE MODE"));
            std::vector<std::unique_ptr<QProcess>> runs;
            for (int n = 1; n <= stations; ++n) {
                runs.push_back(std::make_unique<QProcess>());
                runs.back()->setWorkingDirectory(m_tmp->path());
                runs.back()->start(m_tmp->filePath("waylark"),
                                   {"--database", url, "print", "--pdf",
                                    QStringLiteral("站%1.pdf").arg(n), "--unprinted"});
            }
            const auto waiting = [&] {
                QSqlQuery w(db);
                return w.exec("SELECT count(*) FROM pg_locks WHERE relation = "
                              "'exp_att_info'::regclass AND NOT granted") &&
                               w.next()
                           ? w.value(0).toInt()
                           : -1;
            };
            QTRY_COMPARE_WITH_TIMEOUT(waiting(), stations, 120000);
            QVERIFY(db.commit());
            for (auto& run : runs) {
                QVERIFY(run->waitForFinished(120000));
                const QString errors = QString::fromLocal8Bit(run->readAllStandardError());
                // One that comes after the others have taken every row prints nothing.
                QVERIFY2(run->exitCode() == 0 ||
                             (run->exitCode() == 1 && errors.contains("没有要打印的收件人")),
                         qPrintable(errors));
            }
            QVERIFY(q.exec("SELECT count(*), count(*) FILTER (WHERE Print_Count = 1), "
                           "count(*) FILTER (WHERE Claimed_By IS NOT NULL), (SELECT "
                           "sum(Pages) FROM Print_Log) FROM Exp_Att_Info"));
            QVERIFY(q.next());
            const int rows = q.value(0).toInt();
            QVERIFY(rows >= 120);
            QCOMPARE(q.value(1).toInt(), rows);
            QCOMPARE(q.value(2).toInt(), 0); // every claim given back
            QCOMPARE(q.value(3).toInt(), rows);
            QVERIFY(q.exec("SELECT count(DISTINCT Target) FROM Print_Log"));
            QVERIFY(q.next());
            QVERIFY2(q.value(0).toInt() > 1, "one station printed every row");
            db.close();
        }
        QSqlDatabase::removeDatabase(conn);
    }

    // `waylark ship` killed while the platform has shipped an order but not
    // yet answered: the next run settles that order by the platform's
    // "already shipped", sends the rest, and no order is shipped twice.
    void shipKilledWhileSendingResumes()
    {
        FakeGateway gateway("s3cr3t");
        prepareCommandDirectory(gateway);
        QList<FakeOrder> orders;
        for (int n = 1; n <= 3; ++n)
            orders << FakeOrder{"T" + QByteArray::number(n), "WAIT_SELLER_SEND_GOODS",
                                QStringLiteral("买家%1").arg(n), QString()};
        gateway.holdOrders(orders);
        {
            ScriptedPrompt p;
            Startup s(m_tmp->path());
            QVERIFY(s.startHeadless());
            QSqlQuery q(s.dataModule()->database());
            QVERIFY(q.exec("DELETE FROM Exp_Att_Info"));
            for (int n = 1; n <= 3; ++n)
                QVERIFY2(q.exec(QStringLiteral("INSERT INTO Exp_Att_Info (Name, Order_No, "
                                               "WayBillNo, Print_Count, Printed_At) VALUES "
                                               "('买家%1', 'T%1', 'SF%1', 1, "
                                               "'2026-12-11 04:00:00')")
                                    .arg(n)),
                         qPrintable(q.lastError().text()));
            s.shutdown();
        }
        const QStringList args{"ship", "--model", "顺丰速运"};
        gateway.answerSlowly("T2", 600000);

        QProcess killed;
        killed.setWorkingDirectory(m_tmp->path());
        killed.start(m_tmp->filePath("waylark"), args);
        QVERIFY(killed.waitForStarted(30000));
        QVERIFY(QTest::qWaitFor([&] { return gateway.sends.size() == 2; }, 60000));
        QCOMPARE(gateway.sends.last().tid, QByteArray("T2"));
        killed.kill();
        QVERIFY(killed.waitForFinished(30000));
        QCOMPARE(killed.exitStatus(), QProcess::CrashExit);
        QCOMPARE(gateway.timesShipped("T2"), 1);
        QCOMPARE(gateway.statusOf("T3"), QByteArray("WAIT_SELLER_SEND_GOODS"));

        gateway.answerSlowly("T2", 0);
        QProcess again;
        again.setWorkingDirectory(m_tmp->path());
        again.start(m_tmp->filePath("waylark"), args);
        QVERIFY(again.waitForStarted(30000));
        QVERIFY(QTest::qWaitFor([&] { return again.state() == QProcess::NotRunning; }, 120000));
        const QString errors = QString::fromUtf8(again.readAllStandardError());
        QCOMPARE(again.exitStatus(), QProcess::NormalExit);
        QVERIFY2(again.exitCode() == 0, qPrintable(errors));
        // The order left half-sent comes first.
        QCOMPARE(QString::fromUtf8(again.readAllStandardOutput()),
                 QStringLiteral("T2\tSF2\tSF\t已回传\nT3\tSF3\tSF\t已回传\n"));
        QCOMPARE(gateway.sends.size(), 4);
        for (const QByteArray tid : {"T1", "T2", "T3"}) {
            QCOMPARE(gateway.timesShipped(tid), 1);
            QCOMPARE(gateway.statusOf(tid), QByteArray("WAIT_BUYER_CONFIRM_GOODS"));
        }
        QVERIFY2(gateway.problems.isEmpty(), qPrintable(gateway.problems.join('\n')));
    }

    // One output line per input line, in order, the database untouched;
    // input that is no UTF-8 is refused.
    void addressCommand()
    {
        QVERIFY(QFile::copy(QStringLiteral(WAYLARK_EXE), m_tmp->filePath("waylark")));
        auto run = [&](const QStringList& args, const QByteArray& input, QByteArray* out) {
            QProcess exe;
            exe.setWorkingDirectory(m_tmp->path());
            exe.start(m_tmp->filePath("waylark"), args);
            if (!exe.waitForStarted(30000))
                return -1;
            exe.write(input);
            exe.closeWriteChannel();
            if (!exe.waitForFinished(60000))
                return -1;
            *out = exe.readAllStandardOutput() + exe.readAllStandardError();
            return exe.exitStatus() == QProcess::NormalExit ? exe.exitCode() : -1;
        };
        QByteArray out;
        const QByteArray input = "收货人：王先生，手机号码：0086 139-1234-5678\r\n"
                                 "\n"
                                 "鼓楼区中山路1号\n"
                                 "所在地区：北京 朝阳区 详细地址：建国路88号 邮编 100020";
        QCOMPARE(run({"address"}, input, &out), 0);
        const QStringList lines = QString::fromUtf8(out).split('\n');
        QCOMPARE(lines.size(), 6); // header, four lines, the final newline
        QCOMPARE(lines.at(0), QString("姓名\t手机\t电话\t省\t市\t区县\t详细地址\t邮编\t结果"));
        QCOMPARE(lines.at(1), QString("王先生\t13912345678\t\t\t\t\t\t\t未识别"));
        QCOMPARE(lines.at(2), QString("\t\t\t\t\t\t\t\t未识别"));
        QVERIFY2(lines.at(3).endsWith("\t鼓楼区\t中山路1号\t\t待确认"), qPrintable(lines.at(3)));
        QCOMPARE(lines.at(4), QString("\t\t\t北京市\t北京市\t朝阳区\t建国路88号\t100020\t确定"));

        QCOMPARE(run({"address", "missing.txt"}, {}, &out), 1);
        QVERIFY(QString::fromUtf8(out).contains("无法读取地址文件"));
        QCOMPARE(run({"address"}, "\xd5\xc5\xc8\xfd", &out), 1); // GBK
        QVERIFY(QString::fromUtf8(out).contains("不是 UTF-8"));
        QCOMPARE(run({"address", "a", "b"}, {}, &out), 2);

        ScriptedPrompt p;
        Startup s(m_tmp->path());
        QVERIFY(s.startHeadless());
        QCOMPARE(s.dataModule()->recipients->recordCount(), 0);
        s.shutdown();
    }

    void commandLineUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::newRow("--version") << QStringList({"--version"}) << 0;
        QTest::newRow("--help") << QStringList({"--help"}) << 0;
        QTest::newRow("unknown command") << QStringList({"frobnicate"}) << 2;
        QTest::newRow("a command's help") << QStringList({"print", "--help"}) << 0;
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
        // A command's help is its own synopsis, and nothing is opened for it.
        if (args.value(1) == "--help") {
            const QString out = QString::fromLocal8Bit(exe.readAllStandardOutput());
            QVERIFY2(out.startsWith("Usage:\n  waylark " + args.value(0) + " "), qPrintable(out));
            QVERIFY2(!out.contains("waylark import"), qPrintable(out));
        }
    }
};

QTEST_MAIN(TestApp)
#include "test_app.moc"
