#include "waybilldialog.h"

#include "centre.h"
#include "datamodule.h"
#include "guarded.h"
#include "maskedtext.h"
#include "prompt.h"
#include "session.h"
#include "templatestore.h"
#include "waybillwriter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>

namespace
{

QLabel* label(QWidget* parent, const char* name, const char* text, int y)
{
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(40, y, 96, 24);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QLineEdit* edit(QWidget* parent, const char* name, int y)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(140, y, 216, 24);
    return e;
}

} // namespace

TFM_WayBill::TFM_WayBill(TDataModule1* dm, const Session* session, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_session(session)
{
    setObjectName(QStringLiteral("FM_WayBill"));
    setWindowTitle(QStringLiteral("运单号生成"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(392, 246);
    setModal(true);

    GroupBox1 = new QGroupBox(QStringLiteral("运单号参数设置"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 8, 376, 190);

    Label1 = label(GroupBox1, "Label1", "当前模板：", 24);
    Model_List = new QComboBox(GroupBox1);
    Model_List->setObjectName(QStringLiteral("Model_List"));
    Model_List->setGeometry(140, 24, 216, 24);
    Model_List->setEditable(false);

    // The program's masks write 9 for an optional digit; Qt writes 0.
    Label2 = label(GroupBox1, "Label2", "起始运单号：", 56);
    WayBillNo_st = edit(GroupBox1, "WayBillNo_st", 56);
    WayBillNo_st->setInputMask(QStringLiteral("000000000000000;_"));

    Label3 = label(GroupBox1, "Label3", "运单号增量：", 88);
    WayBillNo_cr = edit(GroupBox1, "WayBillNo_cr", 88);
    WayBillNo_cr->setInputMask(QStringLiteral("0;_"));
    WayBillNo_cr->setText(QStringLiteral("1"));

    CheckBox1 = new QCheckBox(GroupBox1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(16, 120, 20, 24);

    Label4 = label(GroupBox1, "Label4", "运单号前缀：", 120);
    Ed_Bill_st = edit(GroupBox1, "Ed_Bill_st", 120);
    Label5 = label(GroupBox1, "Label5", "运单号后缀：", 152);
    Ed_Bill_end = edit(GroupBox1, "Ed_Bill_end", 152);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton),
                              QStringLiteral("生成(&A)"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(208, 210, 84, 28);
    // No default button: Enter in a box must not number the whole table.
    BitBtn1->setAutoDefault(false);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                              QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(300, 210, 84, 28);
    BitBtn2->setAutoDefault(false);

    setTabOrder(Model_List, WayBillNo_st);
    setTabOrder(WayBillNo_st, WayBillNo_cr);
    setTabOrder(WayBillNo_cr, CheckBox1);
    setTabOrder(CheckBox1, Ed_Bill_st);
    setTabOrder(Ed_Bill_st, Ed_Bill_end);
    setTabOrder(Ed_Bill_end, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);

    connect(CheckBox1, &QCheckBox::clicked, this, &TFM_WayBill::CheckBox1Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TFM_WayBill::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject); // Esc as well

    applyCheckBox();
}

TFM_WayBill::~TFM_WayBill() = default;

void TFM_WayBill::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Not when the window system shows it again (after minimising).
    if (!event->spontaneous())
        FormActivate();
}

void TFM_WayBill::keyPressEvent(QKeyEvent* event)
{
    // Enter moves on to the next box, as Tab does.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        focusNextChild();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFM_WayBill::FormActivate()
{
    centreOnScreen(this);
    Model_List->clear();
    guarded([&] {
        Dataset* model = m_dm->TB_Model;
        if (!model->isActive())
            model->open();
        // The template cursor stays where the layout left it: printing
        // reads the current template's row.
        Model_List->addItems(TemplateStore::modelNames(model));
    });
    int chosen = -1;
    for (int i = 0; i < Model_List->count() && chosen < 0; ++i) {
        if (Model_List->itemText(i).compare(m_session->currentModel, Qt::CaseInsensitive) == 0)
            chosen = i;
    }
    Model_List->setCurrentIndex(chosen);
    applyCheckBox();
}

void TFM_WayBill::applyCheckBox()
{
    const bool on = CheckBox1->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(Ed_Bill_st), static_cast<QWidget*>(Ed_Bill_end),
                       static_cast<QWidget*>(Label4), static_cast<QWidget*>(Label5)})
        w->setEnabled(on);
    if (!on) {
        Ed_Bill_st->clear();
        Ed_Bill_end->clear();
    }
}

void TFM_WayBill::CheckBox1Click()
{
    applyCheckBox();
}

void TFM_WayBill::BitBtn1Click()
{
    const WaybillRequest request{Model_List->currentText(), maskedText(WayBillNo_st),
                                 maskedText(WayBillNo_cr),  CheckBox1->isChecked(),
                                 Ed_Bill_st->text(),        Ed_Bill_end->text()};
    WaybillPlan plan;
    if (!guarded([&] { plan = numberRecipients(m_dm->TB_Att, request); }))
        return;
    if (!plan.ok) {
        prompt().message(plan.message);
        return;
    }
    prompt().message(waybillDoneText());
    accept();
}
