#include "gui/templates/designpage.h"
#include "ui_designpage.h"

#include "templates/fieldcatalogue.h"
#include "templates/fieldfitstore.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "book/recipientrows.h"
#include "book/senderdraft.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "gui/maskedtext.h"
#include "gui/templates/designsurface.h"
#include "templates/fieldcatalogue.h"
#include "templates/labelstore.h"
#include "templates/plainlabel.h"
#include "templates/templatedocument.h"
#include "templates/templatemessages.h"
#include "templates/templaterows.h"
#include "templates/templatestore.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollArea>
#include <QToolButton>
#include <QUndoStack>
#include <cmath>

namespace
{

} // namespace

DesignPage::DesignPage(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::DesignPage>())
{
    m_ui->setupUi(this);
    DesignSurface* surface = m_ui->surface;
    // The scroll area draws the frame.
    surface->setFrameStyle(QFrame::NoFrame);
    m_document = new TemplateDocument(this);
    m_undoStack = m_document->undoStack();
    surface->setDocument(m_document);
    createUndoActions();
    connect(m_document, &TemplateDocument::editing, this, [this] {
        // Pushed below where "新建模板" found the history, it cuts off the
        // rest: leaving the new template goes back to what is left.
        if (m_newTemplateMode)
            m_beforeNew.undoIndex = qMin(m_beforeNew.undoIndex, m_undoStack->index());
    });
    // A fit switch is stored with the template in use at once.
    m_document->setFitStore([this](int index, bool fit) {
        return m_dm && guarded([&] {
                   TemplateRows(m_dm->templates)
                       .setFit(m_session->currentTemplate, FieldCatalogue::all().at(index).key,
                               fit);
               });
    });
    connect(surface, &DesignSurface::selectionChanged, this, [this, surface] {
        if (FieldControl* c = surface->selectedControl())
            m_ui->designScrollArea->ensureWidgetVisible(c, 0, 0);
        Q_EMIT selectedFieldPanel(selectedFieldText());
    });
    createTemplateMenu();

    // The user's pick only; refilling the list is no change of template.
    connect(m_ui->templateList, &QComboBox::activated, this, &DesignPage::chooseListedTemplate);
    connect(m_ui->newTemplateButton, &QToolButton::clicked, this,
            &DesignPage::toggleNewTemplateMode);
    connect(m_ui->pictureButton, &QToolButton::clicked, this, &DesignPage::choosePicture);
    // The label sizes and the plain label sit under "背景图": a label's
    // picture and its size are chosen together.
    auto* labels = new QMenu(m_ui->pictureButton);
    for (const QSize& mm : PlainLabel::labelSizes()) {
        QAction* a =
            labels->addAction(QStringLiteral("标签 %1×%2 mm").arg(mm.width()).arg(mm.height()));
        a->setObjectName(QStringLiteral("label%1x%2Action").arg(mm.width()).arg(mm.height()));
        connect(a, &QAction::triggered, this, [this, mm] { chooseLabelSize(mm); });
    }
    labels->addSeparator();
    QAction* plain = labels->addAction(QStringLiteral("空白标签"));
    plain->setObjectName(QStringLiteral("plainLabelAction"));
    connect(plain, &QAction::triggered, this, &DesignPage::drawPlainLabel);
    m_ui->pictureButton->setMenu(labels);
    m_ui->pictureButton->setPopupMode(QToolButton::MenuButtonPopup);
    connect(m_ui->saveTemplateButton, &QToolButton::clicked, this, &DesignPage::saveTemplate);
    connect(m_ui->makeDefaultButton, &QToolButton::clicked, this,
            &DesignPage::makeCurrentTemplateDefault);
    connect(m_ui->renameTemplateButton, &QToolButton::clicked, this, &DesignPage::renameTemplate);
    connect(m_ui->deleteTemplateButton, &QToolButton::clicked, this, &DesignPage::deleteTemplate);
    connect(m_ui->pageSetupButton, &QToolButton::clicked, this, &DesignPage::pageSetupRequested);
    connect(m_ui->fieldsButton, &QToolButton::clicked, this, &DesignPage::fieldSelectionRequested);
    connect(m_ui->previewButton, &QToolButton::clicked, this, &DesignPage::previewRequested);
}

DesignPage::~DesignPage() = default;

void DesignPage::createUndoActions()
{
    m_undoAction = m_undoStack->createUndoAction(this, QStringLiteral("撤销"));
    m_undoAction->setObjectName(QStringLiteral("undoAction"));
    m_undoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redoAction = m_undoStack->createRedoAction(this, QStringLiteral("重做"));
    m_redoAction->setObjectName(QStringLiteral("redoAction"));
    m_redoAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    for (QAction* a : {m_undoAction, m_redoAction}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(a);
    }
    QMenu* fieldMenu = m_ui->surface->fieldMenu;
    fieldMenu->addSeparator();
    fieldMenu->addAction(m_undoAction);
    fieldMenu->addAction(m_redoAction);
}

void DesignPage::createTemplateMenu()
{
    // Rename and delete beside the list and in its context menu.
    m_templateMenu = new QMenu(this);
    m_templateMenu->setObjectName(QStringLiteral("templateMenu"));
    QAction* rename = m_templateMenu->addAction(QStringLiteral("模板改名"));
    rename->setObjectName(QStringLiteral("renameTemplateAction"));
    QAction* remove = m_templateMenu->addAction(QStringLiteral("删除模板"));
    remove->setObjectName(QStringLiteral("deleteTemplateAction"));
    connect(rename, &QAction::triggered, this, &DesignPage::renameTemplate);
    connect(remove, &QAction::triggered, this, &DesignPage::deleteTemplate);
    QComboBox* list = m_ui->templateList;
    connect(list, &QWidget::customContextMenuRequested, this,
            [this, list](const QPoint& at) { m_templateMenu->popup(list->mapToGlobal(at)); });
}

DesignSurface* DesignPage::surface() const
{
    return m_ui->surface;
}

void DesignPage::bindData(DataModule* dm, Session* session, SenderDraft* senderDraft)
{
    m_dm = dm;
    m_session = session;
    m_senderDraft = senderDraft;
    DesignSurface* surface = m_ui->surface;
    surface->bindData(dm, session);
    connect(senderDraft, &SenderDraft::changed, this, &DesignPage::showRecordValues);
    Dataset* att = dm->recipients;
    connect(att, &Dataset::currentChanged, this, &DesignPage::showRecordValues);
    connect(att, &Dataset::rowChanged, this, [this, att](int row) {
        if (row == att->recNo())
            showRecordValues();
    });
    connect(att, &Dataset::rowsChanged, this, [this, att](int first, int last) {
        if (att->recNo() >= first && att->recNo() <= last)
            showRecordValues();
    });
    connect(att, &Dataset::resetDone, this, &DesignPage::showRecordValues);
    connect(surface, &DesignSurface::valueTyped, this, &DesignPage::writeTypedValue);
    showRecordValues();
}

void DesignPage::showRecordValues()
{
    QHash<QString, QString> values;
    Dataset* att = m_dm->recipients;
    for (const FieldInfo& f : FieldCatalogue::all()) {
        if (f.isSender()) {
            values.insert(f.key, m_senderDraft->value(f.column));
            continue;
        }
        const int column = att->fieldIndex(f.column);
        if (column < 0 || !att->isActive() || att->recNo() < 0)
            continue;
        const QVariant v = att->value(column);
        values.insert(f.key, v.isNull() ? QString() : v.toString());
    }
    m_ui->surface->showValues(values);
}

void DesignPage::writeTypedValue(const QString& key, const QString& text)
{
    const FieldInfo* f = FieldCatalogue::byKey(key);
    if (!f || !m_dm)
        return;
    // The sender's value waits in the draft for the sender page's save.
    if (f->isSender()) {
        m_senderDraft->setValue(f->column, text);
        return;
    }
    Dataset* att = m_dm->recipients;
    if (att->fieldIndex(f->column) < 0 || !att->isActive())
        return;
    const bool written = guarded([&] {
        RecipientRows rows(att);
        const RecipientRows::Values values{{f->column, text}};
        if (att->recNo() < 0)
            rows.append(values);
        else
            rows.change(att->rowId(att->recNo()), values, att->rowVersion(att->recNo()));
    });
    // Refused: the field shows the row as it is.
    if (!written)
        showRecordValues();
}

bool DesignPage::newTemplateMode() const
{
    return m_newTemplateMode;
}

void DesignPage::setNewTemplateMode(bool on)
{
    m_newTemplateMode = on;
    m_document->setNew(on); // unsaved until saved or left
    m_ui->pictureButton->setEnabled(on);
    m_ui->paperWidthEdit->setEnabled(on);
    m_ui->paperHeightEdit->setEnabled(on);
    m_ui->pageSetupButton->setEnabled(!on);
    // A new template's size is typed; otherwise they show the template's.
    if (on) {
        m_ui->paperWidthEdit->clear();
        m_ui->paperHeightEdit->clear();
    } else {
        showPaperSize();
    }
}

void DesignPage::showPaperSize()
{
    // Stored in tenths of a millimetre; the boxes hold whole millimetres.
    const auto show = [](QLineEdit* box, int tenths) {
        const int mm = qRound(tenths / 10.0);
        box->setText(mm >= 1 && mm <= TemplateStore::kMaxPaperMm ? QString::number(mm) : QString());
    };
    show(m_ui->paperWidthEdit, m_paperTenths.width());
    show(m_ui->paperHeightEdit, m_paperTenths.height());
}

void DesignPage::fillTemplateList()
{
    m_ui->templateList->clear();
    if (!m_dm)
        return;
    guarded([&] {
        Dataset* tb = m_dm->templates;
        if (!tb->isActive())
            tb->open();
        const QStringList names = TemplateStore::modelNames(tb);
        const QVector<qint64> rows = TemplateStore::modelRows(tb);
        for (int i = 0; i < names.size() && i < rows.size(); ++i)
            m_ui->templateList->addItem(names.at(i), rows.at(i));
    });
}

void DesignPage::selectCurrentTemplate()
{
    int index = -1;
    if (m_dm && m_dm->templates->isActive())
        index = m_ui->templateList->findData(TemplateStore::resolveRow(
            m_dm->templates, m_session->currentTemplateRow, m_session->currentTemplate));
    m_ui->templateList->setCurrentIndex(index);
}

void DesignPage::followSavedTemplates()
{
    fillTemplateList();
    if (m_newTemplateMode) {
        clearTemplateSelection();
        return;
    }
    selectCurrentTemplate();
    if (!hasUnsavedChanges())
        layOutCurrentModel();
}

void DesignPage::clearTemplateSelection()
{
    m_ui->templateList->setCurrentIndex(-1);
}

qint64 DesignPage::selectedRow() const
{
    const int index = m_ui->templateList->currentIndex();
    return index < 0 ? -1 : m_ui->templateList->itemData(index).toLongLong();
}

void DesignPage::layOutCurrentRow()
{
    TemplateLayout t = TemplateRows(m_dm->templates).loadCurrent();
    // Nothing changes when the picture cannot be loaded.
    t.picture = TemplateStore::templatePicture(m_dm->database(), m_session->appDir, t.pictureName);
    m_document->reset(t); // another template: nothing of the last one to undo
    m_ui->surface->growSymbols(true);
    ++m_layouts;
    m_paperTenths = t.paper;
    if (!m_newTemplateMode)
        showPaperSize();
}

QString DesignPage::selectedFieldText() const
{
    const FieldControl* c = m_ui->surface->selectedControl();
    if (!c)
        return QString();
    // Paper millimetres from the picture's corner, as printing places them.
    const QPoint corner = m_ui->surface->backgroundImage()->pos();
    const auto mm = [](int px) { return QString::number(px * 25.4 / 96.0, 'f', 1); };
    return QStringLiteral("字段：%1  左 %2  上 %3  宽 %4  高 %5 mm")
        .arg(c->field().caption, mm(c->x() - corner.x()), mm(c->y() - corner.y()), mm(c->width()),
             mm(c->height()));
}

bool DesignPage::layOutTemplate(const QString& name)
{
    if (!m_dm)
        return false;
    return guarded([&] {
        Dataset* tb = m_dm->templates;
        if (!tb->isActive())
            tb->open();
        TemplateStore::findByName(tb, name);
        if (tb->recNo() < 0)
            throw DataError::refusal(QStringLiteral("没有可显示的模板：模板表是空的"));
        layOutCurrentRow();
    });
}

bool DesignPage::layOutCurrentModel()
{
    if (!m_dm)
        return false;
    bool found = false;
    const bool ok = guarded([&] {
        Dataset* tb = m_dm->templates;
        if (!tb->isActive())
            tb->open();
        const qint64 row = TemplateStore::resolveRow(tb, m_session->currentTemplateRow,
                                                     m_session->currentTemplate);
        found = row >= 0 && tb->gotoBookmark(row);
        if (found)
            layOutCurrentRow();
    });
    return ok && found;
}

void DesignPage::chooseListedTemplate(int index)
{
    const QString name = m_ui->templateList->itemText(index);
    const qint64 row = m_ui->templateList->itemData(index).toLongLong();
    if (!m_dm)
        return;
    const bool ok = guarded([&] {
        Dataset* tb = m_dm->templates;
        if (!tb->isActive())
            tb->open();
        if (!tb->gotoBookmark(row))
            throw DataError::refusal(TemplateMessages::templateGone(name));
        layOutCurrentRow();
    });
    if (!ok) {
        // The list goes on naming the template in use, so that a save
        // cannot write this layout into the template that failed to load.
        selectCurrentTemplate();
        return;
    }
    m_session->currentTemplate = name;
    m_session->currentTemplateRow = row;
    Q_EMIT currentTemplatePanel(name);
}

bool DesignPage::hasUnsavedChanges() const
{
    return m_document->isModified();
}

bool DesignPage::leaveNewTemplateMode()
{
    if (!newTemplateMode())
        return true;
    if (m_pictureChosen && prompt().question(QStringLiteral("新模板尚未保存，放弃新建模板吗？"),
                                             QStringLiteral("新建模板"), true,
                                             Prompt::Button::No) != Prompt::Button::Yes)
        return false;
    setNewTemplateMode(false);
    m_pictureChosen = false;
    if (m_layouts == m_beforeNew.layouts) {
        // The surface as "新建模板" found it: what was changed before stays,
        // unsaved and undoable; what was done for the new template goes.
        m_document->setPicture(m_beforeNew.pictureName, m_beforeNew.picture);
        m_document->revertFonts();
        m_undoStack->setIndex(m_beforeNew.undoIndex);
        // An obsolete command is dropped on its push, and with it the redo
        // of the abandoned changes.
        auto* dropRedo = new QUndoCommand;
        dropRedo->setObsolete(true);
        m_undoStack->push(dropRedo);
    } else {
        layOutCurrentModel(); // another template was chosen meanwhile
    }
    selectCurrentTemplate();
    return true;
}

void DesignPage::keyPressEvent(QKeyEvent* event)
{
    // Esc that no field control used leaves new-template mode.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
        newTemplateMode()) {
        leaveNewTemplateMode();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void DesignPage::toggleNewTemplateMode()
{
    if (newTemplateMode()) {
        leaveNewTemplateMode();
        return;
    }
    m_beforeNew = {m_document->layout().picture, m_document->layout().pictureName,
                   m_undoStack->index(), m_layouts};
    setNewTemplateMode(true);
    prompt().message(QStringLiteral(" 1、设置背景图;\n"
                                    " 2、选择并挪动各字段到合适位置位置;\n"
                                    " 3、定义实际纸宽纸高(单位为mm); \n"
                                    " 4、保存。\n"
                                    "\n"
                                    " 背景图制作请看帮助！"));
}

void DesignPage::choosePicture()
{
    const QString file = prompt().openFile(
        QStringLiteral("选择背景图"),
        QStringLiteral("位图文件(*.bmp *.png *.jpg *.jpeg);;位图文件(*.bmp);;所有文件(*)"));
    if (file.isEmpty())
        return;
    QImage picture;
    if (!guarded([&] { picture = TemplateStore::loadPicture(file); }))
        return;
    picture = offerPaperScale(picture);
    m_chosenBackground = TemplateStore::storedPictureName(file);
    m_document->setPicture(m_chosenBackground, picture);
    m_pictureChosen = true;
    m_plainLabel = false;
}

void DesignPage::chooseLabelSize(const QSize& mm)
{
    m_ui->paperWidthEdit->setText(QString::number(mm.width()));
    m_ui->paperHeightEdit->setText(QString::number(mm.height()));
}

void DesignPage::drawPlainLabel()
{
    if (!m_newTemplateMode)
        return;
    const std::optional<int> w = TemplateStore::paperBoxNumber(maskedText(m_ui->paperWidthEdit));
    const std::optional<int> h = TemplateStore::paperBoxNumber(maskedText(m_ui->paperHeightEdit));
    if (!w || !h || *w < PlainLabel::kMinSideMm || *h < PlainLabel::kMinSideMm ||
        *w > PlainLabel::kMaxSideMm || *h > PlainLabel::kMaxSideMm) {
        prompt().message(QStringLiteral("请先选择标签尺寸，或填入%1到%2之间的纸宽纸高（单位mm）！")
                             .arg(PlainLabel::kMinSideMm)
                             .arg(PlainLabel::kMaxSideMm));
        return;
    }
    const QSize mm(*w, *h);
    m_chosenBackground = QStringLiteral("label_%1x%2.png").arg(mm.width()).arg(mm.height());
    m_document->setPicture(m_chosenBackground, PlainLabel::draw(mm));
    const QPoint corner(FieldCatalogue::kImageLeft, FieldCatalogue::kImageTop);
    const QHash<QString, QRect> places = PlainLabel::fieldPlaces(mm);
    QStringList shown;
    for (auto place = places.cbegin(); place != places.cend(); ++place) {
        const int index = TemplateLayout::indexOf(place.key());
        if (index < 0)
            continue;
        TemplateField f = m_document->layout().field(index);
        f.place = place->topLeft() + corner - m_document->layout().offset;
        f.width = place->width();
        f.fit.height = place->height() == FieldCatalogue::kControlHeight ? 0 : place->height();
        m_document->adjustField(index, f);
        shown << place.key();
    }
    m_ui->surface->showOnlyFields(shown);
    m_pictureChosen = true;
    m_plainLabel = true;
}

QImage DesignPage::offerPaperScale(const QImage& picture)
{
    constexpr double kInchMm = 25.4;
    constexpr double kDpi = 96.0;
    const double taggedDpi = picture.dotsPerMeterX() * kInchMm / 1000.0;
    // No tag reads as 96; a tag within a dot of 96 is 96 (3780 dots per metre).
    const bool otherDpi = picture.dotsPerMeterX() > 0 && std::abs(taggedDpi - kDpi) >= 1.0;
    const double dpi = otherDpi ? taggedDpi : kDpi;
    const double pictureWmm = picture.width() * kInchMm / dpi;
    const double pictureHmm = picture.height() * kInchMm / dpi;
    const std::optional<int> paperW =
        TemplateStore::paperBoxNumber(maskedText(m_ui->paperWidthEdit));
    const std::optional<int> paperH =
        TemplateStore::paperBoxNumber(maskedText(m_ui->paperHeightEdit));
    const bool paperTyped = paperW && paperH && *paperW >= 1 && *paperH >= 1 &&
                            *paperW <= TemplateStore::kMaxPaperMm &&
                            *paperH <= TemplateStore::kMaxPaperMm;
    const auto off = [](double have, double want) { return std::abs(have - want) > want * 0.02; };
    const bool otherSize = paperTyped && (off(pictureWmm, *paperW) || off(pictureHmm, *paperH));
    if (!otherDpi && !otherSize)
        return picture;
    const double targetWmm = paperTyped ? *paperW : pictureWmm;
    const double targetHmm = paperTyped ? *paperH : pictureHmm;
    const QSize target(qRound(targetWmm * kDpi / kInchMm), qRound(targetHmm * kDpi / kInchMm));
    // A picture of a sane size only (at most about 2 m on a side).
    constexpr int kMaxSide = 8000;
    if (target.isEmpty() || target.width() > kMaxSide || target.height() > kMaxSide)
        return picture;
    const QString have = QStringLiteral("背景图为 %1 dpi，%2×%3 mm。")
                             .arg(qRound(dpi))
                             .arg(qRound(pictureWmm))
                             .arg(qRound(pictureHmm));
    const QString want =
        paperTyped ? QStringLiteral("要把它缩放到纸张大小 %1×%2 mm（每英寸 96 点，%3×%4 像素）吗？")
                         .arg(*paperW)
                         .arg(*paperH)
                         .arg(target.width())
                         .arg(target.height())
                   : QStringLiteral("要把它缩放为每英寸 96 点（%1×%2 像素）吗？")
                         .arg(target.width())
                         .arg(target.height());
    if (prompt().question(have + QLatin1Char('\n') + want, QStringLiteral("背景图"), true,
                          Prompt::Button::Yes) != Prompt::Button::Yes)
        return picture;
    QImage scaled = picture.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const int dotsPerMeter = qRound(kDpi * 1000.0 / kInchMm);
    scaled.setDotsPerMeterX(dotsPerMeter);
    scaled.setDotsPerMeterY(dotsPerMeter);
    return scaled;
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

bool DesignPage::saveTemplate()
{
    if (!m_dm)
        return false;
    if (m_newTemplateMode)
        return saveNewTemplate();
    return saveExistingTemplate();
}

bool DesignPage::saveNewTemplate()
{
    if (!m_pictureChosen || m_chosenBackground.isEmpty()) {
        prompt().message(QStringLiteral("请先选择背景图！"));
        return false;
    }
    const std::optional<QString> name =
        prompt().input(TemplateMessages::namingCaption(),
                       QStringLiteral("请给要保存的模板起一个名字    ："), QString());
    if (!name || TemplateStore::isBlankName(*name)) {
        prompt().message(TemplateMessages::blankName());
        return false;
    }
    if (!TemplateStore::paperBoxNumber(maskedText(m_ui->paperWidthEdit)) ||
        !TemplateStore::paperBoxNumber(maskedText(m_ui->paperHeightEdit))) {
        prompt().message(QStringLiteral("请设置纸宽纸高并注意单位为mm！"));
        return false;
    }
    const std::optional<int> widthMm =
        paperMm(m_ui->paperWidthEdit, TemplateMessages::paperWidth());
    if (!widthMm)
        return false;
    const std::optional<int> heightMm =
        paperMm(m_ui->paperHeightEdit, TemplateMessages::paperHeight());
    if (!heightMm)
        return false;

    // A name is one template's: the same name replaces that template, if wanted.
    Dataset* tb = m_dm->templates;
    qint64 replaced = -1;
    if (!guarded([&] {
            if (!tb->isActive())
                tb->open();
            replaced = TemplateStore::rowWithSameName(tb, *name);
        }))
        return false;
    if (replaced >= 0 &&
        prompt().question(QStringLiteral("模板“%1”已经存在，要用现在的背景图和字段位置替换它吗？")
                              .arg(TemplateStore::trimmedName(*name)),
                          TemplateMessages::namingCaption(), true,
                          Prompt::Button::No) != Prompt::Button::Yes)
        return false;

    // The picture first: a row is only ever stored with its picture in place
    // (on a server TemplateRows stores it with the row).
    const QString dir = TemplateStore::pictureDir(m_session->appDir);
    const bool onServer = m_dm->onServer();
    if (!onServer)
        QDir().mkpath(dir);
    const QImage picture = m_document->layout().picture;
    QString pictureName;
    if (!guarded([&] {
            pictureName =
                TemplateStore::freePictureName(m_dm->database(), dir, m_chosenBackground, picture);
        }))
        return false;
    const QString picturePath = dir + pictureName;
    bool wrote = false;
    if (!onServer && !QFileInfo::exists(picturePath)) {
        QString error;
        if (!TemplateStore::writePicture(picturePath, picture, &error)) {
            prompt().error(error);
            return false;
        }
        wrote = true;
    }

    // The places on screen are stored, the offsets baked into them.
    TemplateLayout t = m_document->layout().withOffsetsInPlaces();
    t.name = *name;
    t.pictureName = pictureName;
    t.picturePlace = QPoint(FieldCatalogue::kImageLeft, FieldCatalogue::kImageTop);
    // Typed millimetres, stored in tenths as the printer takes them.
    t.paper = QSize(*widthMm * 10, *heightMm * 10);
    // A plain label prints whole, its waybill number as a barcode.
    if (m_plainLabel) {
        t.printsPicture = true;
        const int barcode = TemplateLayout::indexOf(PlainLabel::barcodeKey());
        TemplateField f = t.field(barcode);
        f.fit.symbol = FieldSymbol::Code128;
        t.setField(barcode, f);
    }
    QString oldPicture;
    try {
        tb->close();
        tb->open();
        TemplateRows rows(tb);
        if (replaced >= 0) {
            if (!tb->gotoBookmark(replaced))
                throw DataError::refusal(TemplateMessages::templateGone(*name));
            t.name = tb->fieldByName(TemplateStore::Column::Name).asString();
            oldPicture = tb->fieldByName(TemplateStore::Column::PictureName).asString();
            rows.save(replaced, t);
            t.row = replaced;
        } else {
            t.row = rows.create(t);
        }
    } catch (const std::exception& e) {
        if (wrote)
            QFile::remove(picturePath);
        prompt().message(withReason(TemplateMessages::saveFailed(), reasonOf(e)));
        return false;
    }
    m_session->currentTemplate = t.name;
    m_session->currentTemplateRow = t.row;
    m_paperTenths = t.paper;
    m_plainLabel = false;
    if (replaced >= 0 && oldPicture != pictureName)
        removeUnusedPicture(oldPicture);
    m_pictureChosen = false;
    afterSave(t);
    return true;
}

bool DesignPage::saveExistingTemplate()
{
    Dataset* tb = m_dm->templates;
    const QString listName = m_ui->templateList->currentText();
    // The row the list entry stands for, not the first of its name.
    const Dataset::Bookmark mark = selectedRow();
    if (mark < 0) {
        prompt().message(QStringLiteral("请先在模板列表中选择要保存的模板！"));
        return false;
    }
    // The places on screen are stored, the offsets baked into them; paper,
    // picture and its printing stay the row's (the page setup stores them).
    TemplateLayout t = m_document->layout().withOffsetsInPlaces();
    try {
        tb->close();
        tb->open();
        if (!tb->gotoBookmark(mark))
            throw DataError::refusal(TemplateMessages::templateGone(listName));
        TemplateRows rows(tb);
        const TemplateLayout stored = rows.loadCurrent();
        t.name = stored.name;
        t.row = mark;
        t.paper = stored.paper;
        t.pictureName = stored.pictureName;
        t.picture = QImage(); // the stored one stays
        t.printsPicture = stored.printsPicture;
        t.picturePlace = QPoint(FieldCatalogue::kImageLeft, FieldCatalogue::kImageTop);
        rows.save(mark, t);
    } catch (const std::exception& e) {
        prompt().message(withReason(TemplateMessages::saveFailed(), reasonOf(e)));
        return false;
    }
    m_session->currentTemplate = listName;
    m_session->currentTemplateRow = mark;
    afterSave(t);
    return true;
}

void DesignPage::afterSave(const TemplateLayout& saved)
{
    prompt().message(QStringLiteral("模板保存成功！"));
    fillTemplateList();
    guarded([&] {
        // A prefix match, so an earlier name that begins with this one wins.
        m_dm->templates->locate(TemplateStore::Column::Name, m_session->currentTemplate,
                                Dataset::PartialKey);
    });
    setNewTemplateMode(false);
    selectCurrentTemplate();
    // Undo goes back to the last save, no further.
    TemplateLayout shown = saved;
    shown.picture = m_document->layout().picture;
    m_document->reset(shown);
    Q_EMIT currentTemplatePanel(m_session->currentTemplate);
}

bool DesignPage::writeDefaultModel(const QString& name)
{
    QString reason;
    if (ConfigIni::write(m_session->appDir, ConfigIni::DefaultModel, name, &reason))
        return true;
    prompt().error(withReason(QStringLiteral("默认模板未能保存：无法写入 ") +
                                  ConfigIni::fileName(m_session->appDir),
                              reason));
    return false;
}

void DesignPage::removeUnusedPicture(const QString& pictureName)
{
    // Only a plain file name of bkbmp/, and only when no template shows it;
    // a server's pictures are TemplateRows'.
    if (m_dm->onServer() || pictureName.isEmpty() ||
        QFileInfo(pictureName).fileName() != pictureName || pictureName == QLatin1String(".") ||
        pictureName == QLatin1String("..") ||
        TemplateStore::pictureInUse(m_dm->templates, pictureName))
        return;
    QFile::remove(TemplateStore::pictureDir(m_session->appDir) + pictureName);
}

void DesignPage::renameTemplate()
{
    if (!m_dm)
        return;
    const qint64 row = selectedRow();
    if (row < 0) {
        prompt().message(TemplateMessages::chooseTemplateFirst());
        return;
    }
    Dataset* tb = m_dm->templates;
    const QString oldName = m_ui->templateList->currentText();
    const std::optional<QString> name =
        prompt().input(QStringLiteral("模板改名"), QStringLiteral("请输入模板的新名字："), oldName);
    if (!name || *name == oldName)
        return;
    if (TemplateStore::isBlankName(*name)) {
        prompt().message(TemplateMessages::blankName());
        return;
    }
    if (TemplateStore::rowWithSameName(tb, *name, row) >= 0) {
        prompt().message(QStringLiteral("已有名为“%1”的模板，请换一个名字！")
                             .arg(TemplateStore::trimmedName(*name)));
        return;
    }
    const QString defaultName = ConfigIni::read(m_session->appDir, ConfigIni::DefaultModel);
    // The default names the first row of its name; it follows that row.
    const bool renamesDefault = TemplateStore::resolveRow(tb, -1, defaultName) == row;
    const bool renamesCurrent = TemplateStore::resolveRow(tb, m_session->currentTemplateRow,
                                                          m_session->currentTemplate) == row;
    if (!guarded([&] { TemplateRows(tb).rename(row, *name); }))
        return;
    if (renamesDefault)
        writeDefaultModel(*name);
    if (renamesCurrent) {
        m_session->currentTemplate = *name;
        m_session->currentTemplateRow = row;
        Q_EMIT currentTemplatePanel(*name);
    }
    fillTemplateList();
    selectCurrentTemplate();
}

void DesignPage::deleteTemplate()
{
    if (!m_dm)
        return;
    const qint64 row = selectedRow();
    if (row < 0) {
        prompt().message(TemplateMessages::chooseTemplateFirst());
        return;
    }
    Dataset* tb = m_dm->templates;
    const QString name = m_ui->templateList->currentText();
    if (tb->recordCount() <= 1) {
        prompt().message(QStringLiteral("这是仅有的一个模板，不能删除！"));
        return;
    }
    if (prompt().question(QStringLiteral("确定要删除模板“%1”吗？").arg(name),
                          QStringLiteral("删除模板"), true,
                          Prompt::Button::No) != Prompt::Button::Yes)
        return;
    const QString picture = TemplateStore::columnOfRow(tb, row, TemplateStore::Column::PictureName);
    const bool deletesCurrent = TemplateStore::resolveRow(tb, m_session->currentTemplateRow,
                                                          m_session->currentTemplate) == row;
    QString defaultName = ConfigIni::read(m_session->appDir, ConfigIni::DefaultModel);
    const bool deletesDefault = TemplateStore::resolveRow(tb, -1, defaultName) == row;
    if (!guarded([&] { TemplateRows(tb).remove(row); }))
        return;
    removeUnusedPicture(picture);

    // The default moves to the first template once no row bears its name.
    const QString firstName = tb->cellText(0, tb->fieldIndex(TemplateStore::Column::Name));
    if (deletesDefault && TemplateStore::resolveRow(tb, -1, defaultName) < 0) {
        defaultName = firstName;
        writeDefaultModel(defaultName);
    }
    if (deletesCurrent) {
        // The default, else the first template, takes its place on the surface.
        const qint64 defaultRow = TemplateStore::resolveRow(tb, -1, defaultName);
        m_session->currentTemplate = defaultRow >= 0 ? defaultName : firstName;
        m_session->currentTemplateRow = defaultRow >= 0 ? defaultRow : tb->rowId(0);
        if (!newTemplateMode())
            layOutCurrentModel();
        Q_EMIT currentTemplatePanel(m_session->currentTemplate);
    }
    fillTemplateList();
    selectCurrentTemplate();
}

void DesignPage::makeCurrentTemplateDefault()
{
    if (!writeDefaultModel(m_session->currentTemplate))
        return;
    prompt().message(QStringLiteral("默认模板已保存，接下来的打印都将基于此模板！"));
    Q_EMIT currentTemplatePanel(m_session->currentTemplate);
}
