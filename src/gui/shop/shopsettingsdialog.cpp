#include "gui/shop/shopsettingsdialog.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "gui/centre.h"
#include "shop/shopparams.h"
#include "shop/shopstore.h"
#include "ui_shopsettingsdialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QUrl>

ShopSettingsDialog::ShopSettingsDialog(DataModule* dm, QWidget* parent, const QString& appDir)
    : QDialog(parent), m_ui(std::make_unique<Ui::ShopSettingsDialog>()), m_dm(dm), m_appDir(appDir)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    // The form lays out the second platform's group disabled: out of service.
    m_ui->setupUi(this);
    m_ui->okButton->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));

    connect(m_ui->okButton, &QPushButton::clicked, this, &ShopSettingsDialog::saveParams);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject); // Esc as well
    connect(m_ui->getSessionKeyButton, &QPushButton::clicked, this,
            &ShopSettingsDialog::openSessionKeyPage);
}

ShopSettingsDialog::~ShopSettingsDialog() = default;

void ShopSettingsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Not when the window system shows it again (after minimising): what
    // the user typed stays.
    if (!event->spontaneous())
        loadStoredParams();
}

void ShopSettingsDialog::loadStoredParams()
{
    centreOnScreen(this);
    ShopParams stored;
    guarded([&] { stored = storedShopParams(m_dm->shop); });
    m_ui->nickEdit->setText(stored.nick);
    m_ui->appKeyEdit->setText(stored.appKey);
    m_ui->secretEdit->setText(stored.secret);
    m_ui->sessionKeyEdit->setText(stored.session);
    m_ui->mergeOrdersCheck->setEnabled(!m_appDir.isEmpty());
    m_ui->mergeOrdersCheck->setChecked(
        !m_appDir.isEmpty() &&
        ConfigIni::read(m_appDir, ConfigIni::ShopMergeOrders).trimmed() == QLatin1String("1"));
    m_ui->nickEdit->setFocus();
}

void ShopSettingsDialog::saveParams()
{
    const ShopParamsCheck check =
        checkShopParams({m_ui->nickEdit->text(), m_ui->appKeyEdit->text(), m_ui->secretEdit->text(),
                         m_ui->sessionKeyEdit->text()});
    if (!check.ok) {
        prompt().message(check.message);
        // The typed values stay for correction, starting with the empty one.
        switch (check.firstEmpty) {
        case ShopField::Nick:
            m_ui->nickEdit->setFocus();
            break;
        case ShopField::AppKey:
            m_ui->appKeyEdit->setFocus();
            break;
        case ShopField::Secret:
            m_ui->secretEdit->setFocus();
            break;
        case ShopField::Session:
            m_ui->sessionKeyEdit->setFocus();
            break;
        case ShopField::None:
            break;
        }
        return;
    }
    if (!guarded([&] { replaceShopParams(m_dm->shop, check.values); }))
        return;
    if (!m_appDir.isEmpty()) {
        QString reason;
        if (!ConfigIni::write(m_appDir, ConfigIni::ShopMergeOrders,
                              m_ui->mergeOrdersCheck->isChecked() ? QStringLiteral("1")
                                                                  : QStringLiteral("0"),
                              &reason)) {
            prompt().error(withReason(QStringLiteral("订单合并的设置未能保存："), reason));
            return;
        }
    }
    prompt().message(QString::fromUtf8(ShopText::ParamsSaved));
    accept();
}

void ShopSettingsDialog::openSessionKeyPage()
{
    prompt().openUrl(QUrl(QString::fromLatin1(SessionKeyPageUrl)));
}
