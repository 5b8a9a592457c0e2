#include "designpage.h"

#include "configini.h"
#include "datamodule.h"
#include "designsurface.h"
#include "guarded.h"
#include "maskedtext.h"
#include "prompt.h"
#include "runstate.h"
#include "templatestore.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

namespace
{

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

    // The user's pick only; refilling the list is no change of template.
    connect(Model_List, &QComboBox::activated, this, &DesignPage::Model_ListChange);
    connect(Model_New_Btn, &QToolButton::clicked, this, &DesignPage::Model_New_BtnClick);
    connect(Model_Bmp_Btn, &QToolButton::clicked, this, &DesignPage::Model_Bmp_BtnClick);
    connect(Model_Save_Btn, &QToolButton::clicked, this, &DesignPage::Model_Save_BtnClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &DesignPage::SpeedButton1Click);
}

void DesignPage::bindData(TDataModule1* dm)
{
    m_dm = dm;
    Model_Container->bindData(dm);
}

bool DesignPage::newTemplateMode() const
{
    return runState().newTemplateMode;
}

void DesignPage::setNewTemplateMode(bool on)
{
    runState().newTemplateMode = on;
    Model_Bmp_Btn->setEnabled(on);
    Page_W->setEnabled(on);
    Page_H->setEnabled(on);
    Model_Page_Btn->setEnabled(!on);
}

void DesignPage::selectCurrentModel()
{
    Model_List->setCurrentIndex(
        Model_List->findText(runState().currentModel, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

bool DesignPage::Model_Screen_Paint(const QString& name)
{
    if (!m_dm)
        return false;
    return guarded([&] {
        Dataset* tb = m_dm->TB_Model;
        if (!tb->isActive())
            tb->open();
        TemplateStore::findByName(tb, name);
        if (tb->recNo() < 0)
            throw DataError(QStringLiteral("没有可显示的模板：模板表是空的"));
        const TemplateStore::StoredTemplate t = TemplateStore::readCurrent(tb);
        const QImage picture = TemplateStore::loadPicture(
            TemplateStore::pictureDir(runState().appDir) + t.pictureName);
        Model_Container->setBackground(QPixmap::fromImage(picture));
        Model_Container->applyFieldPlaces(
            TemplateStore::laidOut(t.fields, runState().screenOffsetX, runState().screenOffsetY));
    });
}

void DesignPage::Model_ListChange(int index)
{
    const QString name = Model_List->itemText(index);
    if (!Model_Screen_Paint(name)) {
        // The list goes on naming the template in use, so that a save
        // cannot write this layout into the template that failed to load.
        selectCurrentModel();
        return;
    }
    runState().currentModel = name;
    Q_EMIT currentModelPanel(name);
}

void DesignPage::Model_New_BtnClick()
{
    setNewTemplateMode(true);
    prompt().message(QStringLiteral(" 1、设置背景图;\n"
                                    " 2、选择并挪动各字段到合适位置位置;\n"
                                    " 3、定义实际纸宽纸高(单位为mm); \n"
                                    " 4、保存。\n"
                                    "\n"
                                    " 背景图制作请看帮助！"));
}

void DesignPage::Model_Bmp_BtnClick()
{
    const QString file = prompt().openFile(
        QStringLiteral("选择背景图"),
        QStringLiteral("位图文件(*.bmp *.png *.jpg *.jpeg);;位图文件(*.bmp);;所有文件(*)"));
    if (file.isEmpty())
        return;
    QImage picture;
    if (!guarded([&] { picture = TemplateStore::loadPicture(file); }))
        return;
    Model_Container->setBackground(QPixmap::fromImage(picture));
    runState().chosenBackground = TemplateStore::storedPictureName(file);
    m_pictureChosen = true;
}

std::optional<int> DesignPage::paperMm(QLineEdit* box, const QString& boxName)
{
    const std::optional<int> mm = TemplateStore::paperBoxNumber(maskedText(box));
    if (mm && *mm >= TemplateStore::kMinPaper && *mm <= TemplateStore::kMaxPaperMm)
        return mm;
    prompt().message(
        boxName +
        QStringLiteral("必须是1到%1之间的整数（单位为mm）！").arg(TemplateStore::kMaxPaperMm));
    return std::nullopt;
}

void DesignPage::Model_Save_BtnClick()
{
    if (!m_dm)
        return;
    if (runState().newTemplateMode)
        saveNewTemplate();
    else
        saveExistingTemplate();
}

bool DesignPage::saveNewTemplate()
{
    RunState& rs = runState();
    if (!m_pictureChosen || rs.chosenBackground.isEmpty()) {
        prompt().message(QStringLiteral("请先选择背景图！"));
        return false;
    }
    const std::optional<QString> name = prompt().input(
        QStringLiteral("模板命名"), QStringLiteral("请给要保存的模板起一个名字    ："), QString());
    if (!name || TemplateStore::isBlankName(*name)) {
        prompt().message(QStringLiteral("模板名不能为空"));
        return false;
    }
    if (!TemplateStore::paperBoxNumber(maskedText(Page_W)) ||
        !TemplateStore::paperBoxNumber(maskedText(Page_H))) {
        prompt().message(QStringLiteral("请设置纸宽纸高并注意单位为mm！"));
        return false;
    }
    const std::optional<int> widthMm = paperMm(Page_W, QStringLiteral("纸宽"));
    if (!widthMm)
        return false;
    const std::optional<int> heightMm = paperMm(Page_H, QStringLiteral("纸高"));
    if (!heightMm)
        return false;

    // The picture first: a row is only ever stored with its picture in place.
    const QString dir = TemplateStore::pictureDir(rs.appDir);
    QDir().mkpath(dir);
    const QImage picture = Model_Container->background().toImage();
    const QString pictureName = TemplateStore::freePictureName(dir, rs.chosenBackground, picture);
    const QString picturePath = dir + pictureName;
    bool wrote = false;
    if (!QFileInfo::exists(picturePath)) {
        QString error;
        if (!TemplateStore::writePicture(picturePath, picture, &error)) {
            prompt().error(error);
            return false;
        }
        wrote = true;
    }

    Dataset* tb = m_dm->TB_Model;
    try {
        tb->close();
        tb->setServerSideCursor(true);
        tb->open();
        tb->append();
        tb->FieldByName(QStringLiteral("Model_Name")).setAsString(*name);
        tb->FieldByName(QStringLiteral("Bk_Bmp_Name")).setAsString(pictureName);
        // Typed millimetres, stored in tenths as the printer takes them.
        tb->FieldByName(QStringLiteral("Page_Width")).setAsInteger(*widthMm * 10);
        tb->FieldByName(QStringLiteral("Page_Height")).setAsInteger(*heightMm * 10);
        TemplateStore::writeLayout(tb, Model_Container->backgroundImage()->pos(),
                                   Model_Container->fieldPlaces());
        tb->post();
    } catch (const std::exception&) {
        if (tb->isActive() && tb->state() != Dataset::State::Browse)
            tb->cancel();
        if (wrote)
            QFile::remove(picturePath);
        prompt().message(QStringLiteral("发生异常错误，模板保存失败！"));
        return false;
    }
    rs.currentModel = *name;
    m_pictureChosen = false;
    afterSave();
    return true;
}

bool DesignPage::saveExistingTemplate()
{
    Dataset* tb = m_dm->TB_Model;
    const QString listName =
        Model_List->currentIndex() >= 0 ? Model_List->currentText() : QString();
    bool found = false;
    if (!guarded([&] {
            if (!tb->isActive())
                tb->open();
            found = Model_List->currentIndex() >= 0 && TemplateStore::findByName(tb, listName);
        }))
        return false;
    if (!found) {
        prompt().message(QStringLiteral("请先在模板列表中选择要保存的模板！"));
        return false;
    }
    const Dataset::Bookmark mark = tb->bookmark();
    try {
        tb->close();
        tb->setServerSideCursor(true);
        tb->open();
        if (!tb->gotoBookmark(mark))
            throw DataError(QStringLiteral("模板“%1”已不在模板表中").arg(listName));
        tb->edit();
        TemplateStore::writeLayout(tb, Model_Container->backgroundImage()->pos(),
                                   Model_Container->fieldPlaces());
        tb->post();
    } catch (const std::exception&) {
        if (tb->isActive() && tb->state() != Dataset::State::Browse)
            tb->cancel();
        prompt().message(QStringLiteral("发生异常错误，模板保存失败！"));
        return false;
    }
    afterSave();
    return true;
}

void DesignPage::afterSave()
{
    RunState& rs = runState();
    prompt().message(QStringLiteral("模板保存成功！"));
    guarded([&] {
        Dataset* tb = m_dm->TB_Model;
        Model_List->clear();
        Model_List->addItems(TemplateStore::modelNames(tb));
        // A prefix match, so an earlier name that begins with this one wins.
        tb->locate(QStringLiteral("Model_Name"), rs.currentModel, Dataset::PartialKey);
    });
    setNewTemplateMode(false);
    selectCurrentModel();
    Q_EMIT currentModelPanel(rs.currentModel);
}

void DesignPage::SpeedButton1Click()
{
    const RunState& rs = runState();
    if (!ConfigIni::writeString(rs.appDir, QStringLiteral("DefaultModel"),
                                QStringLiteral("ModelName"), rs.currentModel)) {
        prompt().error(QStringLiteral("默认模板未能保存：无法写入 ") +
                       ConfigIni::fileName(rs.appDir));
        return;
    }
    prompt().message(QStringLiteral("默认模板已保存，接下来的打印都将基于此模板！"));
    Q_EMIT currentModelPanel(rs.currentModel);
}
