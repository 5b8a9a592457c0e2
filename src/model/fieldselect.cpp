#include "fieldselect.h"
#include "centre.h"

#include "datamodule.h"
#include "designsurface.h"
#include "fieldcatalogue.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

namespace
{

QPushButton* button(QWidget* parent, const char* name, const char* text, const QRect& geometry)
{
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

QListWidget* list(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* l = new QListWidget(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(geometry);
    l->setSelectionMode(QAbstractItemView::ExtendedSelection);
    return l;
}

} // namespace

TFM_Field_Sel::TFM_Field_Sel(TDataModule1* dm, DesignSurface* surface, QWidget* parent)
    : QDialog(parent), m_surface(surface), m_collator(QLocale(QLocale::Chinese, QLocale::China))
{
    setObjectName(QStringLiteral("FM_Field_Sel"));
    setWindowTitle(QStringLiteral("请选择要打印的字段"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(462, 343);
    setModal(true);

    SrcLabel = new QLabel(QStringLiteral("数据库字段："), this);
    SrcLabel->setObjectName(QStringLiteral("SrcLabel"));
    SrcLabel->setGeometry(8, 8, 160, 16);
    SrcList = list(this, "SrcList", QRect(8, 24, 164, 264));
    DstLabel = new QLabel(QStringLiteral("要打印的字段："), this);
    DstLabel->setObjectName(QStringLiteral("DstLabel"));
    DstLabel->setGeometry(290, 8, 160, 16);
    DstList = list(this, "DstList", QRect(290, 24, 164, 264));

    IncludeBtn = button(this, "IncludeBtn", ">", QRect(199, 32, 64, 28));
    IncAllBtn = button(this, "IncAllBtn", ">>", QRect(199, 68, 64, 28));
    ExcludeBtn = button(this, "ExcludeBtn", "<", QRect(199, 112, 64, 28));
    ExAllBtn = button(this, "ExAllBtn", "<<", QRect(199, 148, 64, 28));
    ExcludeBtn->setEnabled(false);
    ExAllBtn->setEnabled(false);

    OKBtn = button(this, "OKBtn", "确定", QRect(214, 304, 75, 27));
    OKBtn->setDefault(true);
    CancelBtn = button(this, "CancelBtn", "取消", QRect(296, 304, 75, 27));
    HelpBtn = button(this, "HelpBtn", "帮助", QRect(379, 304, 75, 27));

    connect(IncludeBtn, &QPushButton::clicked, this, &TFM_Field_Sel::IncludeBtnClick);
    connect(IncAllBtn, &QPushButton::clicked, this, &TFM_Field_Sel::IncAllBtnClick);
    connect(ExcludeBtn, &QPushButton::clicked, this, &TFM_Field_Sel::ExcludeBtnClick);
    connect(ExAllBtn, &QPushButton::clicked, this, &TFM_Field_Sel::ExcAllBtnClick);
    connect(OKBtn, &QPushButton::clicked, this, &TFM_Field_Sel::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate(dm);
}

TFM_Field_Sel::~TFM_Field_Sel() = default;

void TFM_Field_Sel::FormCreate(TDataModule1* dm)
{
    // Only the column names are wanted: the id parameters stay unset.
    for (Dataset* q : {dm->qry_Send_Col, dm->qry_Att_Col}) {
        q->open();
        const QStringList names = q->fieldNames();
        for (const QString& name : names)
            addItem(SrcList, name);
    }
}

void TFM_Field_Sel::addItem(QListWidget* target, const QString& text)
{
    if (target != SrcList) {
        target->addItem(text);
        return;
    }
    // After any equal captions, so that the order is stable.
    int at = SrcList->count();
    for (int i = 0; i < SrcList->count(); ++i) {
        if (m_collator.compare(text, SrcList->item(i)->text()) < 0) {
            at = i;
            break;
        }
    }
    SrcList->insertItem(at, text);
}

void TFM_Field_Sel::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    centreOnScreen(this);
}

int TFM_Field_Sel::GetFirstSelection(QListWidget* l) const
{
    for (int i = 0; i < l->count(); ++i)
        if (l->item(i)->isSelected())
            return i;
    return -1;
}

void TFM_Field_Sel::MoveSelected(QListWidget* l, QListWidget* target)
{
    for (int i = l->count() - 1; i >= 0; --i) {
        if (l->item(i)->isSelected()) {
            addItem(target, l->item(i)->text());
            delete l->takeItem(i);
        }
    }
}

void TFM_Field_Sel::SetItem(QListWidget* l, int index)
{
    l->setFocus();
    if (index == -1)
        index = 0;
    else if (index > l->count() - 1)
        index = l->count() - 1;
    if (index >= 0 && index < l->count())
        l->item(index)->setSelected(true);
    SetButtons();
}

void TFM_Field_Sel::SetButtons()
{
    const bool srcEmpty = SrcList->count() == 0;
    const bool dstEmpty = DstList->count() == 0;
    IncludeBtn->setEnabled(!srcEmpty);
    IncAllBtn->setEnabled(!srcEmpty);
    ExcludeBtn->setEnabled(!dstEmpty);
    ExAllBtn->setEnabled(!dstEmpty);
}

void TFM_Field_Sel::IncludeBtnClick()
{
    const int first = GetFirstSelection(SrcList);
    MoveSelected(SrcList, DstList);
    SetItem(SrcList, first);
}

void TFM_Field_Sel::ExcludeBtnClick()
{
    const int first = GetFirstSelection(DstList);
    MoveSelected(DstList, SrcList);
    SetItem(DstList, first);
}

void TFM_Field_Sel::IncAllBtnClick()
{
    for (int i = 0; i < SrcList->count(); ++i)
        addItem(DstList, SrcList->item(i)->text());
    SrcList->clear();
    SetItem(SrcList, 0);
}

void TFM_Field_Sel::ExcAllBtnClick()
{
    for (int i = 0; i < DstList->count(); ++i)
        addItem(SrcList, DstList->item(i)->text());
    DstList->clear();
    SetItem(DstList, 0);
}

void TFM_Field_Sel::OKBtnClick()
{
    for (int i = 0; i < DstList->count(); ++i)
        if (const FieldInfo* f = FieldCatalogue::byCaption(DstList->item(i)->text()))
            m_surface->showField(f->key);
    accept();
}
