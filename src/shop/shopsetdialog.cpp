#include "shopsetdialog.h"

#include "datamodule.h"
#include "guarded.h"
#include "prompt.h"
#include "shopparams.h"
#include "shopstore.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QUrl>

namespace
{

QLabel* label(QWidget* parent, const char* name, const char* text, const QRect& geometry)
{
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(geometry);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QLineEdit* edit(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(geometry);
    return e;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* c = new QCheckBox(QStringLiteral("设为当前店铺"), parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setGeometry(geometry);
    return c;
}

QGroupBox* group(QWidget* parent, const char* name, const char* title, const QRect& geometry)
{
    auto* g = new QGroupBox(QString::fromUtf8(title), parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setGeometry(geometry);
    return g;
}

// Label column and box column of both groups.
QRect labelAt(int y)
{
    return QRect(8, y, 120, 24);
}

QRect boxAt(int y)
{
    return QRect(132, y, 328, 24);
}

} // namespace

TFm_Shop_Set::TFm_Shop_Set(TDataModule1* dm, QWidget* parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("Fm_Shop_Set"));
    setWindowTitle(QStringLiteral("友情提示：请妥善保存店铺参数！"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(496, 380);
    setModal(true);

    GroupBox1 = group(this, "GroupBox1", "设置淘宝店铺参数", QRect(8, 8, 480, 172));
    Label1 = label(GroupBox1, "Label1", "淘宝账户名：", labelAt(24));
    Ed_Nick = edit(GroupBox1, "Ed_Nick", boxAt(24));
    Label2 = label(GroupBox1, "Label2", "APP_KEY：", labelAt(54));
    Ed_Appkey = edit(GroupBox1, "Ed_Appkey", boxAt(54));
    Label3 = label(GroupBox1, "Label3", "SECRET：", labelAt(84));
    Ed_Secret = edit(GroupBox1, "Ed_Secret", boxAt(84));
    Label4 = label(GroupBox1, "Label4", "SESSTION_KEY：", labelAt(114));
    Ed_Sesstion = edit(GroupBox1, "Ed_Sesstion", boxAt(114));
    CheckBox1 = checkBox(GroupBox1, "CheckBox1", QRect(132, 142, 160, 24));
    Btn_GetSesstion = new QPushButton(QStringLiteral("获取Sesstion"), GroupBox1);
    Btn_GetSesstion->setObjectName(QStringLiteral("Btn_GetSesstion"));
    Btn_GetSesstion->setGeometry(360, 142, 100, 24);
    Btn_GetSesstion->setFlat(true);
    Btn_GetSesstion->setAutoDefault(false);

    GroupBox2 = group(this, "GroupBox2", "拍拍API测试中，稍后奉上", QRect(8, 186, 480, 150));
    Label5 = label(GroupBox2, "Label5", "UIN(QQ)：", labelAt(20));
    Edit1 = edit(GroupBox2, "Edit1", boxAt(20));
    Label6 = label(GroupBox2, "Label6", "TOKEN：", labelAt(46));
    Edit2 = edit(GroupBox2, "Edit2", boxAt(46));
    Label7 = label(GroupBox2, "Label7", "SPID：", labelAt(72));
    Edit3 = edit(GroupBox2, "Edit3", boxAt(72));
    Label8 = label(GroupBox2, "Label8", "SECKEY：", labelAt(98));
    Edit4 = edit(GroupBox2, "Edit4", boxAt(98));
    CheckBox2 = checkBox(GroupBox2, "CheckBox2", QRect(132, 122, 160, 24));
    for (QWidget* w : {static_cast<QWidget*>(GroupBox2), static_cast<QWidget*>(Edit1),
                       static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Edit3),
                       static_cast<QWidget*>(Edit4), static_cast<QWidget*>(CheckBox2)})
        w->setEnabled(false);

    Btn_Ok = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                             QStringLiteral("确定(&O)"), this);
    Btn_Ok->setObjectName(QStringLiteral("Btn_Ok"));
    Btn_Ok->setGeometry(312, 344, 84, 28);
    Btn_Ok->setDefault(true);
    Btn_Cancle = new QPushButton(QStringLiteral("Cancel"), this);
    Btn_Cancle->setObjectName(QStringLiteral("Btn_Cancle"));
    Btn_Cancle->setGeometry(404, 344, 84, 28);
    Btn_Cancle->setAutoDefault(false);

    setTabOrder(Ed_Nick, Ed_Appkey);
    setTabOrder(Ed_Appkey, Ed_Secret);
    setTabOrder(Ed_Secret, Ed_Sesstion);
    setTabOrder(Ed_Sesstion, CheckBox1);
    setTabOrder(CheckBox1, Btn_GetSesstion);
    setTabOrder(Btn_GetSesstion, Btn_Ok);
    setTabOrder(Btn_Ok, Btn_Cancle);

    connect(Btn_Ok, &QPushButton::clicked, this, &TFm_Shop_Set::Btn_OkClick);
    connect(Btn_Cancle, &QPushButton::clicked, this, &QDialog::reject); // Esc as well
    connect(Btn_GetSesstion, &QPushButton::clicked, this, &TFm_Shop_Set::Btn_GetSesstionClick);
}

TFm_Shop_Set::~TFm_Shop_Set() = default;

void TFm_Shop_Set::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Not when the window system shows it again (after minimising): what
    // the user typed stays.
    if (!event->spontaneous())
        FormActivate();
}

void TFm_Shop_Set::FormActivate()
{
    if (const QScreen* s = screen()) {
        const QRect area = s->geometry();
        move(area.x() + (area.width() - frameGeometry().width()) / 2,
             area.y() + (area.height() - frameGeometry().height()) / 2);
    }
    ShopParams stored;
    guarded([&] { stored = storedShopParams(m_dm->TB_Shop); });
    Ed_Nick->setText(stored.nick);
    Ed_Appkey->setText(stored.appKey);
    Ed_Secret->setText(stored.secret);
    Ed_Sesstion->setText(stored.session);
    Ed_Nick->setFocus();
}

void TFm_Shop_Set::Btn_OkClick()
{
    const ShopParamsCheck check = checkShopParams(
        {Ed_Nick->text(), Ed_Appkey->text(), Ed_Secret->text(), Ed_Sesstion->text()});
    if (!check.ok) {
        prompt().message(check.message);
        // The typed values stay for correction, starting with the empty one.
        switch (check.firstEmpty) {
        case ShopField::Nick:
            Ed_Nick->setFocus();
            break;
        case ShopField::AppKey:
            Ed_Appkey->setFocus();
            break;
        case ShopField::Secret:
            Ed_Secret->setFocus();
            break;
        case ShopField::Session:
            Ed_Sesstion->setFocus();
            break;
        case ShopField::None:
            break;
        }
        return;
    }
    if (!guarded([&] { replaceShopParams(m_dm->TB_Shop, check.values); }))
        return;
    prompt().message(QString::fromUtf8(ShopText::ParamsSaved));
    accept();
}

void TFm_Shop_Set::Btn_GetSesstionClick()
{
    prompt().openUrl(QUrl(QString::fromLatin1(SessionKeyPageUrl)));
}
