#pragma once

#include <QDialog>

#include <memory>

class DataModule;

namespace Ui
{
class ShopSettingsDialog;
}

// "友情提示：请妥善保存店铺参数！": the credentials of the one shop the order
// download signs its requests with. Created once by the main window; the boxes are
// reloaded from the table each time it is opened anew (not when it comes
// back from being minimised).
class ShopSettingsDialog : public QDialog
{
    Q_OBJECT
public:
    // appDir: where config.ini keeps whether orders are merged; without it
    // the setting is left alone.
    explicit ShopSettingsDialog(DataModule* dm, QWidget* parent = nullptr,
                                const QString& appDir = QString());
    ~ShopSettingsDialog() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Centres the dialog and loads the four boxes from the stored row
    // (empty without one).
    void loadStoredParams();
    // Checks the four values, stores them trimmed in place of the stored row,
    // confirms and closes. The first empty value ends the check with a
    // message; nothing is stored and the dialog stays open.
    void saveParams();
    // Opens the page where a seller gets a session key.
    void openSessionKeyPage();

    std::unique_ptr<Ui::ShopSettingsDialog> m_ui;
    DataModule* m_dm;
    QString m_appDir;
};
