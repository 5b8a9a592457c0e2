#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

class TDataModule1;
class TFM_Main;

// The entry sequence: refuses a second instance, restores the database
// header, opens the data module and every dataset, and creates the windows.
class Startup
{
public:
    // appDir: the application directory, with or without a trailing '/'.
    explicit Startup(const QString& appDir);
    ~Startup();

    // Steps 1 to 7. Shows its own messages through the prompt seam; false
    // means the program ends (its exit status is still 0).
    bool start();
    // For the command line: the same checks and database, no windows.
    bool startHeadless();

    TDataModule1* dataModule() const { return m_dm.get(); }
    TFM_Main* mainWindow() const { return m_main.get(); }

    // Closes the database and seals it, if a window has not done so already.
    void shutdown();

    static QString lockFileName();
    static const char* const kAppTitle; // "Qorda软件为您服务"

private:
    bool acquire(); // steps 1 to 6

    QString m_appDir;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<TDataModule1> m_dm;
    std::unique_ptr<TFM_Main> m_main;
    bool m_restored = false;
};

// The windows' application settings: name, version, Qt's Chinese texts and
// the screen font. No display name: the desktop would add it to every
// window's and message box's title.
void setUpWindowsApplication();

// main(): the windows without arguments, else the command line.
int waylarkMain(int argc, char** argv);
