#include "startup.h"

#include "cli.h"
#include "datamodule.h"
#include "designpage.h"
#include "fieldselect.h"
#include "guarded.h"
#include "headerguard.h"
#include "instancelock.h"
#include "mainwindow.h"
#include "pagesetdialog.h"
#include "printerstore.h"
#include "fieldsetdialog.h"
#include "preview.h"
#include "shopsetdialog.h"
#include "waybilldialog.h"
#include "prompt.h"
#include "qttranslations.h"
#include "runstate.h"
#include "safefile.h"
#include "termination.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>

#include <cstdio>
#include <unistd.h>

const char* const Startup::kAppTitle = "Qorda软件为您服务";

Startup::Startup(const QString& appDir)
    : m_appDir(appDir.endsWith(QLatin1Char('/')) ? appDir : appDir + QLatin1Char('/'))
{
}

Startup::~Startup()
{
    shutdown();
}

bool Startup::acquire()
{
    const QString dbName = QString::fromLatin1(TDataModule1::kDatabaseFileName);
    // 1. One instance per database, taken before the file is touched.
    switch (m_lock.acquire(dbName)) {
    case InstanceLock::Status::Locked:
        break;
    case InstanceLock::Status::Running:
        prompt().message(QStringLiteral("程 序 已 经 运 行!"), QStringLiteral(" 警告"),
                         Prompt::Icon::Stop);
        return false;
    case InstanceLock::Status::Failed:
        prompt().message(QStringLiteral("无法建立程序运行锁，程序没有启动。\n") + m_lock.error(),
                         QStringLiteral(" 警告"), Prompt::Icon::Stop);
        return false;
    }
    // 2. The application directory.
    runState() = RunState();
    runState().appDir = m_appDir;

    // 3. The standard header back into a sealed file, and into no other.
    QString error;
    const QString shownName = QFileInfo(dbName).absoluteFilePath();
    switch (DB_Header_Restore(dbName, &error)) {
    case HeaderGuard::Result::Missing:
        prompt().message(QStringLiteral("数据库文件初始化失败！"));
        break;
    case HeaderGuard::Result::OpenFailed:
        prompt().message(QStringLiteral("数据库打开错误,WIN7系统请尝试以管理员身份重新运行！"));
        m_lock.release();
        return false;
    case HeaderGuard::Result::Foreign:
        prompt().message(
            QStringLiteral("数据库文件不是本程序的数据库或已损坏，程序没有改动它：\n") + shownName);
        m_lock.release();
        return false;
    case HeaderGuard::Result::InUse:
        prompt().message(QStringLiteral("数据库文件正被其他程序使用，请关闭该程序后再试：\n") +
                         shownName);
        m_lock.release();
        return false;
    case HeaderGuard::Result::Written:
        m_restored = true;
        break;
    case HeaderGuard::Result::AlreadyInPlace: // left open by a run that was killed
        break;
    }

    // 4 to 6. The data module, the connection and every dataset.
    m_dm = std::make_unique<TDataModule1>();
    DataModule1 = m_dm.get();
    const bool ok = guarded([&] {
        m_dm->connectDatabase(dbName);
        m_dm->openAll();
    });
    if (!ok) {
        m_dm.reset();
        // Leave the file as it was found: sealed only when it was sealed.
        if (m_restored)
            DB_Header_Seal(dbName);
        m_restored = false;
        m_lock.release();
        return false;
    }
    // A database of ours is sealed at the end, also one a killed run left open.
    m_sealAtExit = true;
    return true;
}

bool Startup::start()
{
    if (!acquire())
        return false;
    // 7. The windows, each once for the run.
    // The dialogs belong to the main window and go with it.
    const bool ok = guarded([&] {
        m_main = std::make_unique<TFM_Main>(m_dm.get());
        TFM_Main* main = m_main.get();
        new TFM_PreView(m_dm.get(), main->designPage()->surface(), main,
                        [main](QPrinter* printer) { return main->preparePrinter(printer); });
        (new TFm_Page_Set(m_main->designPage(), m_main.get()))
            ->setPrinterSource(&PrinterStore::printer);
        new TFm_Field_Set(m_dm.get(), main);
        new TFM_Field_Sel(m_dm.get(), m_main->designPage()->surface(), m_main.get());
        new TFM_WayBill(m_dm.get(), main);
        new TFm_Shop_Set(m_dm.get(), main);
    });
    if (!ok) {
        shutdown();
        return false;
    }
    return true;
}

bool Startup::startHeadless()
{
    return acquire();
}

void Startup::closeAndSeal()
{
    if (m_main) {
        m_main->closeDatabase(); // seals once; a no-op after either exit
        m_sealAtExit = false;
    }
    if (m_dm)
        m_dm->closeDatabase();
    m_restored = false;
    if (m_sealAtExit) {
        m_sealAtExit = false;
        if (DB_Header_Seal(QString::fromLatin1(TDataModule1::kDatabaseFileName)) ==
            HeaderGuard::Result::Missing)
            prompt().message(QStringLiteral("程序运行缺少数据库文件"));
    }
}

void Startup::shutdown()
{
    closeAndSeal();
    m_main.reset();
    m_dm.reset();
    m_lock.release();
}

void Startup::terminate()
{
    // Output files in the making go first: nothing half-written stays. The
    // windows stay as they are: the process ends right after this.
    SafeFile::removeAllPending();
    closeAndSeal();
    m_lock.release();
}

void Startup::endOnSignals(int exitStatus)
{
    Termination::install([this, exitStatus](int) {
        terminate();
        if (exitStatus != 0) {
            const QByteArray text = QByteArray("程序收到结束信号，数据库已关闭，程序退出。\n");
            [[maybe_unused]] const ssize_t n =
                ::write(STDERR_FILENO, text.constData(), size_t(text.size()));
        }
        std::fflush(nullptr);
        ::_exit(exitStatus);
    });
}

void setUpWindowsApplication()
{
    QApplication::setApplicationName(QStringLiteral("Waylark"));
    QApplication::setApplicationVersion(QStringLiteral(WAYLARK_VERSION));
    installQtChineseTranslations();
    QFont font(QStringLiteral("WenQuanYi Zen Hei"));
    font.setPixelSize(12);
    QApplication::setFont(font);
}

int waylarkMain(int argc, char** argv)
{
    if (argc > 1)
        return runCommandLine(argc, argv);

    QApplication app(argc, argv);
    setUpWindowsApplication();

    Startup startup(QCoreApplication::applicationDirPath());
    startup.endOnSignals(1);
    if (!startup.start()) {
        Termination::uninstall();
        return 0;
    }
    startup.mainWindow()->show();
    app.exec();
    startup.shutdown();
    Termination::uninstall();
    return 0;
}
