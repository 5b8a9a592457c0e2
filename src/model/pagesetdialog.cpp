#include "pagesetdialog.h"
#include "centre.h"

#include "datamodule.h"
#include "designpage.h"
#include "guarded.h"
#include "pagesize.h"
#include "prompt.h"
#include "runstate.h"
#include "spinedit.h"
#include "templatemessages.h"
#include "templatestore.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TFm_Page_Set* Fm_Page_Set = nullptr;

namespace
{

SpinEdit* spin(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* s = new SpinEdit(parent);
    s->setObjectName(QString::fromLatin1(name));
    s->setGeometry(geometry);
    return s;
}

QLabel* label(QWidget* parent, const char* name, const char* text, const QRect& geometry)
{
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(geometry);
    return l;
}

} // namespace

TFm_Page_Set::TFm_Page_Set(DesignPage* page, QWidget* parent) : QDialog(parent), m_page(page)
{
    setObjectName(QStringLiteral("Fm_Page_Set"));
    setWindowTitle(QStringLiteral("页面设置"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(425, 295);
    setModal(true);

    GroupBox1 = new QGroupBox(QStringLiteral("纸张大小"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(16, 12, 393, 90);
    Label1 = label(GroupBox1, "Label1", "纸宽：", QRect(16, 24, 48, 22));
    ed_Page_Width = spin(GroupBox1, "ed_Page_Width", QRect(64, 24, 96, 22));
    StaticText1 = label(GroupBox1, "StaticText1", "(单位：0.1MM)", QRect(168, 24, 120, 22));
    Label2 = label(GroupBox1, "Label2", "纸高：", QRect(16, 56, 48, 22));
    ed_Page_Height = spin(GroupBox1, "ed_Page_Height", QRect(64, 56, 96, 22));

    GroupBox2 = new QGroupBox(QStringLiteral("进纸方向"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(16, 110, 393, 90);
    Label3 = label(GroupBox2, "Label3", "左偏移：", QRect(16, 24, 60, 22));
    ed_Page_LeftX = spin(GroupBox2, "ed_Page_LeftX", QRect(76, 24, 84, 22));
    StaticText2 = label(GroupBox2, "StaticText2", "左移为负，右移为正", QRect(168, 24, 200, 22));
    Label4 = label(GroupBox2, "Label4", "上偏移：", QRect(16, 56, 60, 22));
    ed_Page_TopY = spin(GroupBox2, "ed_Page_TopY", QRect(76, 56, 84, 22));
    StaticText3 = label(GroupBox2, "StaticText3", "上移为负，下移为正", QRect(168, 56, 200, 22));

    StaticText4 = label(this, "StaticText4",
                        "偏移量为屏幕偏移，单位为像素，请调整后预览，看到的效果就是打印的效果。",
                        QRect(16, 206, 393, 40));
    StaticText4->setWordWrap(true);

    OkBtn = new QPushButton(QStringLiteral("确定"), this);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    OkBtn->setGeometry(246, 254, 75, 27);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("取消"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(334, 254, 75, 27);

    setTabOrder(OkBtn, CancelBtn);
    setTabOrder(CancelBtn, ed_Page_Width);
    setTabOrder(ed_Page_Width, ed_Page_Height);
    setTabOrder(ed_Page_Height, ed_Page_TopY);
    setTabOrder(ed_Page_TopY, ed_Page_LeftX);

    connect(OkBtn, &QPushButton::clicked, this, &TFm_Page_Set::OkBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject); // Esc as well
    Calibrate_Btn = new QPushButton(QStringLiteral("打印机校准"), this);
    Calibrate_Btn->setObjectName(QStringLiteral("Calibrate_Btn"));
    Calibrate_Btn->setGeometry(16, 254, 100, 27);
    Calibrate_Btn->setAutoDefault(false);
    Calibrate_Btn->hide();

    Fm_Page_Set = this;
}

TFm_Page_Set::~TFm_Page_Set()
{
    if (Fm_Page_Set == this)
        Fm_Page_Set = nullptr;
}

bool TFm_Page_Set::findCurrentModel()
{
    bool found = false;
    guarded([&] {
        Dataset* tb = m_page->dataModule()->TB_Model;
        if (!tb->isActive())
            tb->open();
        found = TemplateStore::findRow(tb, runState().currentModelRow, runState().currentModel);
    });
    return found;
}

int TFm_Page_Set::Execute()
{
    if (!findCurrentModel()) {
        prompt().message(TemplateMessages::noCurrentTemplate());
        return QDialog::Rejected;
    }
    return exec();
}

void TFm_Page_Set::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormActivate();
}

bool TFm_Page_Set::FormActivate()
{
    centreOnScreen(this);
    for (SpinEdit* e : {ed_Page_Width, ed_Page_Height, ed_Page_LeftX, ed_Page_TopY})
        e->setText(QString());
    if (!findCurrentModel())
        return false;
    return guarded([&] {
        Dataset* tb = m_page->dataModule()->TB_Model;
        ed_Page_Width->setText(tb->FieldByName(TemplateStore::Column::PaperWidth).AsString());
        ed_Page_Height->setText(tb->FieldByName(TemplateStore::Column::PaperHeight).AsString());
        ed_Page_LeftX->setValue(tb->FieldByName(TemplateStore::Column::OffsetX).AsInteger());
        ed_Page_TopY->setValue(tb->FieldByName(TemplateStore::Column::OffsetY).AsInteger());
    });
}

void TFm_Page_Set::OkBtnClick()
{
    if (!findCurrentModel()) {
        prompt().message(TemplateMessages::noCurrentTemplate());
        return;
    }
    QString problem;
    const std::optional<PageValues> v =
        parsePageValues(ed_Page_Width->text(), ed_Page_Height->text(), ed_Page_LeftX->text(),
                        ed_Page_TopY->text(), &problem);
    if (!v) {
        // The dialog stays open on the box to put right.
        prompt().message(problem);
        return;
    }
    const bool stored = guarded([&] {
        Dataset* tb = m_page->dataModule()->TB_Model;
        tb->edit();
        try {
            tb->FieldByName(TemplateStore::Column::PaperWidth).setAsInteger(v->width);
            tb->FieldByName(TemplateStore::Column::PaperHeight).setAsInteger(v->height);
            tb->FieldByName(TemplateStore::Column::OffsetX).setAsInteger(v->leftX);
            tb->FieldByName(TemplateStore::Column::OffsetY).setAsInteger(v->topY);
            tb->post();
        } catch (...) {
            tb->cancel();
            throw;
        }
    });
    if (!stored)
        return;
    // Only confirmed, stored values take effect.
    RunState& rs = runState();
    rs.screenOffsetX = v->leftX;
    rs.screenOffsetY = v->topY;
    m_page->layOutCurrentModel();
    Q_EMIT m_page->currentModelPanel(rs.currentModel);
    if (m_printerSource)
        applyPaperSize(m_printerSource(), v->width, v->height);
    accept();
}

void TFm_Page_Set::setCalibrationAction(std::function<void()> action)
{
    disconnect(Calibrate_Btn, &QPushButton::clicked, nullptr, nullptr);
    const bool on = bool(action);
    if (on)
        connect(Calibrate_Btn, &QPushButton::clicked, this, std::move(action));
    Calibrate_Btn->setVisible(on);
}
