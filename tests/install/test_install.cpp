// The installed program: `cmake --install` into a temporary DESTDIR, then
// the program run from there with an empty home folder.
#include "data/headerguard.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace
{

const QString kAppId = QStringLiteral("org.waylark.Waylark");

struct Run {
    int status = -1;
    QString out;
    QString err;
    QString what; // the arguments, the status and the output, for a failure
};

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root; // DESTDIR
    QString m_prefix;     // the prefix inside it
    QStringList m_installed;

    // Every file under the prefix with its size and time: what must not change.
    QStringList prefixState() const
    {
        QStringList state;
        QDirIterator it(m_prefix, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            state << QStringLiteral("%1 %2 %3")
                         .arg(info.filePath())
                         .arg(info.size())
                         .arg(info.lastModified().toMSecsSinceEpoch());
        }
        state.sort();
        return state;
    }

    // A user who has never run the program: an empty home, nothing of the
    // desktop's folders set, the windows offscreen.
    static QProcessEnvironment freshUser(const QString& home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME",
                                 "XDG_RUNTIME_DIR", "XDG_DATA_DIRS"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("TMPDIR"), home);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    static QString dataFolder(const QString& home)
    {
        return home + QStringLiteral("/.local/share/Waylark/");
    }

    QString program() const { return m_prefix + QStringLiteral("/bin/waylark"); }

    Run waylark(const QString& home, const QStringList& args) const
    {
        QProcess exe;
        exe.setProcessEnvironment(freshUser(home));
        exe.setWorkingDirectory(home);
        exe.start(program(), args);
        Run run;
        if (!exe.waitForStarted(30000) || !exe.waitForFinished(120000)) {
            exe.kill();
            exe.waitForFinished();
            return run;
        }
        run.status = exe.exitStatus() == QProcess::NormalExit ? exe.exitCode() : -1;
        run.out = QString::fromUtf8(exe.readAllStandardOutput());
        run.err = QString::fromUtf8(exe.readAllStandardError());
        return run;
    }

    static QString describe(const QStringList& args, const Run& run)
    {
        return args.join(QLatin1Char(' ')) + QStringLiteral(" → %1\n").arg(run.status) + run.out +
               run.err;
    }

    // How many recipients a database holds, by the export's lines (GBK,
    // CR LF, a header first).
    int exportedRows(const QString& home, const QStringList& global) const
    {
        const QString out = home + QStringLiteral("/导出.xls");
        QFile::remove(out);
        const Run run = waylark(home, global + QStringList{QStringLiteral("export"), out});
        if (run.status != 0) {
            qWarning("%s", qPrintable(describe(global, run)));
            return -1;
        }
        return int(fileBytes(out).trimmed().split('\n').size()) - 1;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        m_prefix = m_root.filePath(QStringLiteral("usr"));
        QProcess install;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), m_root.path());
        install.setProcessEnvironment(env);
        install.start(QStringLiteral(WAYLARK_CMAKE),
                      {QStringLiteral("--install"), QStringLiteral(WAYLARK_BINARY_DIR),
                       QStringLiteral("--prefix"), QStringLiteral("/usr")});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
        QVERIFY(QFileInfo::exists(program()));
    }

    void installedFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("iconSize"); // 0: no picture
        QTest::newRow("program") << "bin/waylark" << 0;
        QTest::newRow("help") << "share/waylark/help.html" << 0;
        QTest::newRow("desktop entry") << "share/applications/" + kAppId + ".desktop" << 0;
        QTest::newRow("metainfo") << "share/metainfo/" + kAppId + ".metainfo.xml" << 0;
        QTest::newRow("svg icon") << "share/icons/hicolor/scalable/apps/" + kAppId + ".svg" << 0;
        for (int size : {16, 24, 32, 48, 64, 128, 256})
            QTest::newRow(qPrintable(QStringLiteral("icon %1").arg(size)))
                << QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId)
                << size;
        QTest::newRow("copyright") << "share/doc/waylark/copyright" << 0;
        QTest::newRow("changelog") << "share/doc/waylark/changelog.gz" << 0;
        QTest::newRow("manual page") << "share/man/man1/waylark.1.gz" << 0;
    }
    void installedFiles()
    {
        QFETCH(QString, path);
        QFETCH(int, iconSize);
        const QFileInfo info(m_prefix + QLatin1Char('/') + path);
        QVERIFY2(info.isFile() && info.size() > 0, qPrintable(info.filePath()));
        if (iconSize > 0) {
            const QImage icon(info.filePath());
            QCOMPARE(icon.size(), QSize(iconSize, iconSize));
            QVERIFY(icon.hasAlphaChannel());
        }
    }

    void validators_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("desktop entry")
            << "desktop-file-validate" << QStringList{"share/applications/" + kAppId + ".desktop"};
        QTest::newRow("metainfo") << "appstreamcli"
                                  << QStringList{"validate", "--no-net",
                                                 "share/metainfo/" + kAppId + ".metainfo.xml"};
    }
    void validators()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, args);
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP(qPrintable(tool + " is not installed"));
        QProcess check;
        check.setWorkingDirectory(m_prefix);
        check.start(tool, args);
        QVERIFY(check.waitForFinished(60000));
        QVERIFY2(
            check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0,
            QByteArray(check.readAllStandardOutput() + check.readAllStandardError()).constData());
    }

    // The menu finds the program by its name, shows Chinese to a Chinese
    // desktop, and its icon is one that is installed.
    void desktopEntry()
    {
        const QString entry =
            QString::fromUtf8(fileBytes(m_prefix + "/share/applications/" + kAppId + ".desktop"));
        for (const QString& line : {QStringLiteral("Exec=waylark"), QString("Icon=" + kAppId),
                                    QStringLiteral("Type=Application")})
            QVERIFY2(entry.split(QLatin1Char('\n')).contains(line), qPrintable(line));
        QVERIFY(entry.contains(QStringLiteral("\nName[zh_CN]=")));
        QVERIFY(entry.contains(QStringLiteral("\nComment[zh_CN]=")));
        const QString metainfo =
            QString::fromUtf8(fileBytes(m_prefix + "/share/metainfo/" + kAppId + ".metainfo.xml"));
        QVERIFY(metainfo.contains(
            QStringLiteral("<release version=\"%1\"").arg(QStringLiteral(WAYLARK_VERSION))));
        QVERIFY(metainfo.contains("<launchable type=\"desktop-id\">" + kAppId + ".desktop<"));
    }

    // The windows' first start makes the data folder, with the delivered
    // template, and leaves the prefix and the current directory alone.
    void firstStartMakesTheDataFolder()
    {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QStringList before = prefixState();
        const QString data = dataFolder(home.path());
        const QString db = data + QStringLiteral("Waylark_main.db");

        QProcess windows;
        windows.setProcessEnvironment(freshUser(home.path()));
        windows.setWorkingDirectory(home.path());
        windows.start(program(), {});
        QVERIFY(windows.waitForStarted(30000));
        // Open: the header restored. The windows come after it.
        QTRY_VERIFY_WITH_TIMEOUT(fileBytes(db).left(16) == HeaderGuard::standardHeader(), 60000);
        QCOMPARE(windows.state(), QProcess::Running);
        windows.terminate(); // ends as the window's exit does
        QVERIFY(windows.waitForFinished(60000));
        QCOMPARE(windows.exitStatus(), QProcess::NormalExit);

        QCOMPARE(fileBytes(db).left(16), HeaderGuard::sealedHeader());
        QVERIFY(fileBytes(data + QStringLiteral("config.ini")).contains("[DefaultModel]"));
        QCOMPARE(QDir(data + QStringLiteral("bkbmp")).entryList(QDir::Files).size(), 1);
        QCOMPARE(prefixState(), before);
        QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("Waylark_main.db"))));
        QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("config.ini"))));
    }

    void copyUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no subcommand") << QStringList{"db"};
        QTest::newRow("another subcommand") << QStringList{"db", "move", "--to", "x/"};
        QTest::newRow("no --to") << QStringList{"db", "copy"};
        QTest::newRow("empty --to") << QStringList{"db", "copy", "--to="};
        QTest::newRow("an unknown option") << QStringList{"db", "copy", "--into", "x/"};
    }
    // Wrong usage copies nothing.
    void copyUsage()
    {
        QFETCH(QStringList, args);
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const Run run = waylark(home.path(), args);
        QVERIFY2(run.status == 2 && run.err.contains(QStringLiteral("usage: waylark db copy")),
                 qPrintable(describe(args, run)));
        QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("x"))));
    }

    // A data folder that cannot be made is said so, in the program's
    // words with the folder's name, and nothing is written elsewhere.
    void dataFolderThatCannotBeMade()
    {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        QFile blocker(home.filePath(QStringLiteral(".local")));
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder goes
        blocker.close();
        const QStringList before = prefixState();
        const QStringList args{QStringLiteral("export"), home.filePath(QStringLiteral("x.xls"))};
        const Run run = waylark(home.path(), args);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(QStringLiteral("无法建立数据文件夹：") + dataFolder(home.path())),
                 qPrintable(describe(args, run)));
        QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("x.xls"))));
        QVERIFY(QFileInfo(blocker.fileName()).isFile());
        QDirIterator left(home.path(), {QStringLiteral("*.db"), QStringLiteral("config.ini")},
                          QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        QVERIFY2(!left.hasNext(), qPrintable(left.next()));
        QCOMPARE(prefixState(), before);
    }

    // The commands work on the same data folder: an import, a PDF read back,
    // a copy of the data, and the database chosen by --database and by
    // config.ini.
    void commandsUseTheDataFolder()
    {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QStringList before = prefixState();
        const QString csv = home.filePath(QStringLiteral("收件人.csv"));
        QFile sheet(csv);
        QVERIFY(sheet.open(QIODevice::WriteOnly));
        sheet.write("姓名,手机,地址\n王小明,13800138000,浙江省杭州市西湖区文三路100号\n");
        sheet.close();

        Run r;
        // The installed program with args ended with status.
        auto ran = [&](int status, const QStringList& args) {
            r = waylark(home.path(), args);
            r.what = describe(args, r);
            return r.status == status;
        };
        QVERIFY2(ran(0, {QStringLiteral("import"), csv}), qPrintable(r.what));
        QVERIFY(QFileInfo::exists(dataFolder(home.path()) + QStringLiteral("Waylark_main.db")));
        const QString pdf = home.filePath(QStringLiteral("运单.pdf"));
        QVERIFY2(ran(0, {QStringLiteral("print"), QStringLiteral("--pdf"), pdf}),
                 qPrintable(r.what));
        if (!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
            QProcess text;
            text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
            QVERIFY(text.waitForFinished(60000));
            const QString page = QString::fromUtf8(text.readAllStandardOutput());
            QVERIFY2(page.contains(QStringLiteral("王小明")), qPrintable(page));
        }

        // A copy, which is never written over.
        const QString copyDir = home.filePath(QStringLiteral("副本"));
        const QString copy = copyDir + QStringLiteral("/Waylark_main.db");
        QVERIFY2(ran(0, {"db", "copy", "--to", copyDir + QLatin1Char('/')}), qPrintable(r.what));
        QVERIFY2(r.out.contains(copy), qPrintable(r.out));
        QCOMPARE(fileBytes(copy).left(16), HeaderGuard::sealedHeader());
        QCOMPARE(QDir(copyDir + QStringLiteral("/bkbmp")).entryList(QDir::Files).size(), 1);
        QVERIFY(QFileInfo::exists(copyDir + QStringLiteral("/config.ini")));
        const QByteArray copyBytes = fileBytes(copy);
        QVERIFY2(ran(1, {"db", "copy", "--to", copy}), qPrintable(r.what));
        QVERIFY2(r.err.contains(QStringLiteral("没有覆盖")), qPrintable(r.err));
        QCOMPARE(fileBytes(copy), copyBytes);

        // The usual database gets a second row; the copy keeps one.
        QVERIFY2(ran(0, {QStringLiteral("import"), QStringLiteral("--append"), csv}),
                 qPrintable(r.what));
        QCOMPARE(exportedRows(home.path(), {}), 2);
        QCOMPARE(exportedRows(home.path(), {QStringLiteral("--database"), copy}), 1);
        QCOMPARE(exportedRows(home.path(), {QStringLiteral("--database=") + copy}), 1);
        const QString ini = dataFolder(home.path()) + QStringLiteral("config.ini");
        QFile config(ini);
        QVERIFY(config.open(QIODevice::Append));
        config.write("\n[Database]\nFile=" + copy.toUtf8() + "\n");
        config.close();
        QCOMPARE(exportedRows(home.path(), {}), 1);

        // A database that is not there is said so, and not made.
        const QString missing = home.filePath(QStringLiteral("没有.db"));
        QVERIFY2(ran(1, {"--database", missing, "export", home.filePath("x.xls")}),
                 qPrintable(r.what));
        QVERIFY2(r.err.contains(QStringLiteral("数据库文件初始化失败")), qPrintable(r.err));
        QVERIFY(r.err.contains(missing));
        QVERIFY(!QFileInfo::exists(missing));
        QVERIFY2(ran(2, {QStringLiteral("--database")}), qPrintable(r.what));
        QCOMPARE(prefixState(), before);
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
