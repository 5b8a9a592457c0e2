#include "designpage.h"

#include "designsurface.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

QToolButton* makeFlatButton(QWidget* parent, const QString& name, const QString& caption,
                            const QRect& geometry)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(caption);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setGeometry(geometry);
    return b;
}

namespace {

QLineEdit* makePaperBox(QWidget* parent, const QString& name, int left)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    // Four optional digits; the text keeps four positions (see maskedText).
    e->setInputMask(QStringLiteral("0000;_"));
    e->setGeometry(left, 18, 48, 21);
    e->setEnabled(false);
    return e;
}

} // namespace

DesignPage::DesignPage(QWidget* parent) : QWidget(parent)
{
    Model_Container = new DesignSurface(this);
    Model_Container->setGeometry(16, 16, 865, 513);

    GroupBox5 = new QGroupBox(this);
    GroupBox5->setObjectName(QStringLiteral("GroupBox5"));
    GroupBox5->setGeometry(16, 536, 337, 57);
    Model_List = new QComboBox(GroupBox5);
    Model_List->setObjectName(QStringLiteral("Model_List"));
    Model_List->setEditable(false);
    Model_List->setGeometry(8, 18, 105, 22);
    Model_Preview_Btn = makeFlatButton(GroupBox5, QStringLiteral("Model_Preview_Btn"),
                                       QStringLiteral("打印预览"), QRect(120, 12, 65, 33));
    Model_Page_Btn = makeFlatButton(GroupBox5, QStringLiteral("Model_Page_Btn"),
                                    QStringLiteral("页面设置"), QRect(192, 12, 65, 33));
    SpeedButton1 = makeFlatButton(GroupBox5, QStringLiteral("SpeedButton1"),
                                  QStringLiteral("设为默认"), QRect(264, 12, 65, 33));

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(360, 536, 523, 57);
    Model_New_Btn = makeFlatButton(GroupBox1, QStringLiteral("Model_New_Btn"),
                                   QStringLiteral("新建模板"), QRect(6, 12, 65, 33));
    Model_Bmp_Btn = makeFlatButton(GroupBox1, QStringLiteral("Model_Bmp_Btn"),
                                   QStringLiteral("背景图"), QRect(74, 12, 65, 33));
    Model_Bmp_Btn->setEnabled(false);
    Model_Field_Btn = makeFlatButton(GroupBox1, QStringLiteral("Model_Field_Btn"),
                                     QStringLiteral("字段选择"), QRect(142, 12, 65, 33));
    Label_Page_W = new QLabel(QStringLiteral("纸宽(mm)："), GroupBox1);
    Label_Page_W->setGeometry(212, 18, 66, 21);
    Page_W = makePaperBox(GroupBox1, QStringLiteral("Page_W"), 278);
    Label_Page_H = new QLabel(QStringLiteral("纸高(mm)："), GroupBox1);
    Label_Page_H->setGeometry(330, 18, 66, 21);
    Page_H = makePaperBox(GroupBox1, QStringLiteral("Page_H"), 396);
    Model_Save_Btn = makeFlatButton(GroupBox1, QStringLiteral("Model_Save_Btn"),
                                    QStringLiteral("保存模板"), QRect(452, 12, 65, 33));
}
