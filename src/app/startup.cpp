#include "startup.h"

#include "cli.h"
#include "datamodule.h"
#include "designpage.h"
#include "fieldselect.h"
#include "guarded.h"
#include "headerguard.h"
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

#include <QApplication>
#include <QDir>
#include <QFont>

const char* const Startup::kAppTitle = "Qorda软件为您服务";

Startup::Startup(const QString& appDir)
    : m_appDir(appDir.endsWith(QLatin1Char('/')) ? appDir : appDir + QLatin1Char('/'))
{
}

Startup::~Startup()
{
    shutdown();
}

QString Startup::lockFileName()
{
    return QDir(QDir::tempPath()).filePath(QString::fromUtf8(kAppTitle) + QLatin1String(".lock"));
}

bool Startup::acquire()
{
    // 1. One instance at a time.
    m_lock = std::make_unique<QLockFile>(lockFileName());
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        prompt().message(QStringLiteral("程 序 已 经 运 行!"), QStringLiteral(" 警告"),
                         Prompt::Icon::Stop);
        return false;
    }
    // 2. The application directory.
    runState() = RunState();
    runState().appDir = m_appDir;

    // 3. The standard header back into the file.
    const QString dbName = QString::fromLatin1(TDataModule1::kDatabaseFileName);
    switch (DB_Header_Restore(dbName)) {
    case HeaderGuard::Result::Missing:
        prompt().message(QStringLiteral("数据库文件初始化失败！"));
        break;
    case HeaderGuard::Result::OpenFailed:
        prompt().message(QStringLiteral("数据库打开错误,WIN7系统请尝试以管理员身份重新运行！"));
        return false;
    case HeaderGuard::Result::Written:
        m_restored = true;
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
        // Leave the file as it was found: sealed.
        if (m_restored)
            DB_Header_Seal(dbName);
        m_restored = false;
        return false;
    }
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
        new TFM_PreView(m_dm.get(), main->TabModel->Model_Container, main,
                        [main](QPrinter* printer) { return main->Page_Setup(printer); });
        (new TFm_Page_Set(m_main->TabModel, m_main.get()))
            ->setPrinterSource(&PrinterStore::printer);
        new TFm_Field_Set(m_dm.get(), main);
        new TFM_Field_Sel(m_dm.get(), m_main->TabModel->Model_Container, m_main.get());
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

void Startup::shutdown()
{
    if (m_main) {
        m_main->closeDatabase(); // seals once; a no-op after either exit
        m_main.reset();
        m_restored = false;
    }
    if (m_dm) {
        m_dm->closeDatabase();
        m_dm.reset();
    }
    if (m_restored) {
        m_restored = false;
        if (DB_Header_Seal(QString::fromLatin1(TDataModule1::kDatabaseFileName)) ==
            HeaderGuard::Result::Missing)
            prompt().message(QStringLiteral("程序运行缺少数据库文件"));
    }
    m_lock.reset();
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
    if (!startup.start())
        return 0;
    startup.mainWindow()->show();
    app.exec();
    startup.shutdown();
    return 0;
}
