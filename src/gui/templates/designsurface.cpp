#include "gui/templates/designsurface.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "data/datamodule.h"
#include "gui/landlinevalidator.h"
#include "render/barcodepainter.h"
#include "render/printfonts.h"
#include "render/printgeometry.h"
#include "render/recordrenderer.h"
#include "templates/fieldcatalogue.h"
#include "templates/fieldfitstore.h"
#include "templates/fieldfontstore.h"
#include "templates/newdatabase.h"
#include "templates/templaterows.h"

#include <QAction>
#include <QActionGroup>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

FieldControl::FieldControl(const FieldInfo& field, QWidget* parent)
    : QLineEdit(parent), m_field(&field)
{
    setObjectName(objectNameFor(field.key));
    setFrame(false);
    connect(this, &QLineEdit::textEdited, this, [this] { m_typed = true; });
    // It shows the sender's or the current recipient's value; typing into it
    // asks first, so that designing changes no one's data by accident.
    setReadOnly(true);
    setToolTip(field.hint);
    setCursor(Qt::ArrowCursor);
    setMouseTracking(true); // the cursor shows the sizing border
    setGeometry(field.defaultLeft, field.defaultTop, FieldCatalogue::kControlWidth,
                FieldCatalogue::kControlHeight);
}

int FieldControl::edgesAt(QPoint p) const
{
    int e = NoEdge;
    if (p.x() < kBorder)
        e |= LeftEdge;
    else if (p.x() >= width() - kBorder)
        e |= RightEdge;
    if (p.y() < kBorder)
        e |= TopEdge;
    else if (p.y() >= height() - kBorder)
        e |= BottomEdge;
    return e;
}

void FieldControl::showCursorFor(int edges)
{
    const bool horizontal = edges & (LeftEdge | RightEdge);
    const bool vertical = edges & (TopEdge | BottomEdge);
    if (horizontal && vertical) {
        const bool falling = (edges == (LeftEdge | TopEdge)) || (edges == (RightEdge | BottomEdge));
        setCursor(falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
    } else if (horizontal) {
        setCursor(Qt::SizeHorCursor);
    } else if (vertical) {
        setCursor(Qt::SizeVerCursor);
    } else {
        setCursor(Qt::ArrowCursor);
    }
}

void FieldControl::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        Q_EMIT menuRequested();
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        m_leftDown = true;
        m_moved = false;
        m_edges = edgesAt(p);
        m_pressInPanel = mapToParent(p);
        m_startGeometry = geometry();
    }
    QLineEdit::mousePressEvent(event);
}

void FieldControl::mouseMoveEvent(QMouseEvent* event)
{
    if (m_leftDown && (event->buttons() & Qt::LeftButton)) {
        dragTo(mapToParent(event->position().toPoint()));
        event->accept();
        return;
    }
    if (event->buttons() == Qt::NoButton)
        showCursorFor(edgesAt(event->position().toPoint()));
    QLineEdit::mouseMoveEvent(event);
}

void FieldControl::dragTo(QPoint pointerInPanel)
{
    // The pointer stays within the panel, as when the system drags a child
    // window: a control can go partly out of sight but never be lost.
    if (QWidget* panel = parentWidget()) {
        const QRect r = panel->rect();
        pointerInPanel.setX(qBound(r.left(), pointerInPanel.x(), r.right()));
        pointerInPanel.setY(qBound(r.top(), pointerInPanel.y(), r.bottom()));
    }
    const QPoint delta = pointerInPanel - m_pressInPanel;
    if (delta.isNull() && !m_moved)
        return;
    m_moved = true;
    if (m_edges == NoEdge) {
        move(m_startGeometry.topLeft() + delta);
        return;
    }
    QRect g = m_startGeometry;
    if (m_edges & LeftEdge)
        g.setLeft(qMin(g.left() + delta.x(), g.right() + 1 - kMinWidth));
    if (m_edges & RightEdge)
        g.setRight(qMax(g.right() + delta.x(), g.left() + kMinWidth - 1));
    if (m_edges & TopEdge)
        g.setTop(qMin(g.top() + delta.y(), g.bottom() + 1 - kMinHeight));
    if (m_edges & BottomEdge)
        g.setBottom(qMax(g.bottom() + delta.y(), g.top() + kMinHeight - 1));
    setGeometry(g);
}

void FieldControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        // The menu opens once the button is up, as the system's own does.
        if (m_menu)
            m_menu->popup(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        m_leftDown = false;
        if (m_moved && geometry() != m_startGeometry)
            Q_EMIT mouseEdited(m_startGeometry, geometry());
        m_moved = false;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void FieldControl::setFits(bool fit)
{
    if (m_fits == fit)
        return;
    m_fits = fit;
    update();
}

void FieldControl::setSymbol(const FieldFit& symbol)
{
    m_symbol = symbol;
    update();
}

void FieldControl::fitSymbol()
{
    const auto encoded = BarcodePainter::encode(m_symbol.symbol, text());
    if (!encoded)
        return;
    const QFont shown = testAttribute(Qt::WA_SetFont)
                            ? font()
                            : m_printFont.value_or(m_session ? m_session->printFont() : font());
    const QRectF r =
        BarcodePainter::symbolRect(*encoded, m_symbol.symbol, m_symbol, QPointF(0, 0), 0, shown,
                                   this, PrintGeometry::kDesignDpi, PrintGeometry::kDesignDpi);
    resize(qMax(width(), int(std::ceil(r.width()))), qMax(height(), int(std::ceil(r.height()))));
}

void FieldControl::setOutlined(bool on)
{
    if (m_outlined == on)
        return;
    m_outlined = on;
    update();
}

void FieldControl::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    Q_EMIT focused();
}

bool FieldControl::editsText(const QKeyEvent* event)
{
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete ||
        event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut))
        return true;
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint() &&
           !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

bool FieldControl::askToEdit()
{
    const QString whose =
        field().isSender() ? QStringLiteral("发件人") : QStringLiteral("当前收件人");
    return prompt().question(QStringLiteral("字段框显示的是%1的数据。\n要修改%1的“%2”吗？")
                                 .arg(whose, field().caption),
                             QStringLiteral("修改字段内容"), true,
                             Prompt::Button::No) == Prompt::Button::Yes;
}

void FieldControl::showValue(const QString& value)
{
    m_value = value;
    // What is being typed stays until it is handed on or given up.
    if (m_typed)
        return;
    setText(value);
    setCursorPosition(0);
}

void FieldControl::handOnTyping()
{
    if (!m_typed)
        return;
    m_typed = false;
    m_value = text();
    Q_EMIT valueTyped(text());
}

void FieldControl::focusOutEvent(QFocusEvent* event)
{
    handOnTyping();
    QLineEdit::focusOutEvent(event);
    setReadOnly(true); // the next typing asks again
}

void FieldControl::keyPressEvent(QKeyEvent* event)
{
    // Esc gives up what was typed.
    if (event->key() == Qt::Key_Escape && m_typed) {
        m_typed = false;
        showValue(m_value);
        event->accept();
        return;
    }
    if (isReadOnly() && editsText(event)) {
        event->accept();
        if (!askToEdit())
            return;
        setReadOnly(false);
        setFocus();
        QLineEdit::keyPressEvent(event);
        return;
    }
    // Arrows move the field while it is not being typed into: one pixel,
    // ten with Shift.
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (isReadOnly() && (mods == Qt::NoModifier || mods == Qt::ShiftModifier)) {
        const int step = mods == Qt::ShiftModifier ? 10 : 1;
        int dx = 0;
        int dy = 0;
        switch (event->key()) {
        case Qt::Key_Left:
            dx = -step;
            break;
        case Qt::Key_Right:
            dx = step;
            break;
        case Qt::Key_Up:
            dy = -step;
            break;
        case Qt::Key_Down:
            dy = step;
            break;
        default:
            break;
        }
        if (dx != 0 || dy != 0) {
            Q_EMIT nudgeRequested(dx, dy);
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void FieldControl::moveEvent(QMoveEvent* event)
{
    QLineEdit::moveEvent(event);
    Q_EMIT placeShown();
}

void FieldControl::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    Q_EMIT placeShown();
}

void FieldControl::contextMenuEvent(QContextMenuEvent* event)
{
    // A mouse-made request was served on the button's release; the menu key
    // selects this field and opens the same menu.
    if (event->reason() == QContextMenuEvent::Keyboard && m_menu) {
        Q_EMIT menuRequested();
        m_menu->popup(mapToGlobal(rect().center()));
    }
    event->accept();
}

bool FieldControl::showsAsPrinted() const
{
    return isReadOnly() && (m_fits || m_symbol.symbol != FieldSymbol::Text ||
                            height() != FieldCatalogue::kControlHeight);
}

void FieldControl::paintEvent(QPaintEvent* event)
{
    if (showsAsPrinted()) {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Base));
        p.setPen(palette().color(QPalette::Text));
        // Its own font, else the template's print font, else the run's.
        p.setFont(testAttribute(Qt::WA_SetFont)
                      ? font()
                      : m_printFont.value_or(m_session ? m_session->printFont() : font()));
        RenderField r;
        r.field = m_field;
        r.visible = true;
        r.text = text();
        r.width = width();
        // A box left at the control's own height holds one line, as stored.
        const int boxHeight = height() == FieldCatalogue::kControlHeight ? 0 : height();
        FieldFit fit = m_symbol;
        fit.fit = m_fits;
        fit.height = boxHeight;
        FieldFits fits;
        fits.insert(m_field->key, fit);
        RecordRenderer::drawField(p, r, QPointF(0, 0), PrintGeometry::kDesignDpi,
                                  PrintGeometry::kDesignDpi, fits);
    } else {
        QLineEdit::paintEvent(event);
    }
    // The sizing border, so that the user can find it.
    QPainter p(this);
    if (m_outlined) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.drawRect(rect().adjusted(1, 1, -1, -1));
        return;
    }
    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

DesignSurface::DesignSurface(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("surface"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xFF, 0xFF, 0xE1)); // tooltip yellow
    setPalette(pal);

    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("pictureLabel"));
    m_image->setScaledContents(true);
    setBackground(QPixmap::fromImage(NewDatabase::deliveredPicture()));
    m_image->move(kImageLeft, kImageTop);
    fitToPicture();

    fieldMenu = new QMenu(this);
    fieldMenu->setObjectName(QStringLiteral("fieldMenu"));
    hideFieldAction = fieldMenu->addAction(QStringLiteral("删除此字段"));
    hideFieldAction->setObjectName(QStringLiteral("hideFieldAction"));
    connect(hideFieldAction, &QAction::triggered, this, &DesignSurface::hideSelectedField);
    fitToBoxAction = fieldMenu->addAction(QStringLiteral("适应框内"));
    fitToBoxAction->setObjectName(QStringLiteral("fitToBoxAction"));
    fitToBoxAction->setCheckable(true);
    connect(fitToBoxAction, &QAction::triggered, this, &DesignSurface::setSelectedFieldFits);
    connect(fieldMenu, &QMenu::aboutToShow, this, &DesignSurface::showSelectedFieldFit);
    fieldFontAction = fieldMenu->addAction(QStringLiteral("字段字体…"));
    fieldFontAction->setObjectName(QStringLiteral("fieldFontAction"));
    connect(fieldFontAction, &QAction::triggered, this, &DesignSurface::chooseSelectedFieldFont);
    defaultFontAction = fieldMenu->addAction(QStringLiteral("恢复默认字体"));
    defaultFontAction->setObjectName(QStringLiteral("defaultFontAction"));
    connect(defaultFontAction, &QAction::triggered, this, &DesignSurface::clearSelectedFieldFont);
    connect(fieldMenu, &QMenu::aboutToShow, this, &DesignSurface::showSelectedFieldFont);
    auto* symbols = new QActionGroup(this);
    const struct {
        QAction** action;
        const char *text, *name;
        FieldSymbol symbol;
    } symbolActions[] = {
        {&code128Action, "显示为条码", "code128Action", FieldSymbol::Code128},
        {&qrAction, "显示为二维码", "qrAction", FieldSymbol::Qr},
        {&textAction, "显示为文字", "textAction", FieldSymbol::Text},
    };
    fieldMenu->addSeparator();
    for (const auto& a : symbolActions) {
        QAction* action = fieldMenu->addAction(QString::fromUtf8(a.text));
        action->setObjectName(QString::fromLatin1(a.name));
        action->setCheckable(true);
        symbols->addAction(action);
        const FieldSymbol symbol = a.symbol;
        connect(action, &QAction::triggered, this,
                [this, symbol] { setSelectedFieldSymbol(symbol); });
        *a.action = action;
    }
    symbolSizeAction = fieldMenu->addAction(QStringLiteral("条码尺寸…"));
    symbolSizeAction->setObjectName(QStringLiteral("symbolSizeAction"));
    connect(symbolSizeAction, &QAction::triggered, this, &DesignSurface::askSelectedSymbolSize);
    connect(fieldMenu, &QMenu::aboutToShow, this, &DesignSurface::showSelectedFieldSymbol);

    for (const FieldInfo& f : FieldCatalogue::all()) {
        auto* edit = new FieldControl(f, this);
        if (f.column == QLatin1String("Phone"))
            edit->setValidator(new LandlineValidator(edit));
        edit->setPopupMenu(fieldMenu);
        edit->raise();
        m_fields.push_back(edit);
        connect(edit, &FieldControl::mouseEdited, this,
                [this, edit](const QRect& before, const QRect& after) {
                    const bool sized = before.size() != after.size();
                    if (m_doc)
                        m_doc->editField(m_fields.indexOf(edit), fieldAt(edit, after),
                                         sized ? QStringLiteral("调整字段大小")
                                               : QStringLiteral("移动字段"));
                });
        connect(edit, &FieldControl::nudgeRequested, this, [this, edit](int dx, int dy) {
            select(edit);
            nudgeSelected(dx, dy);
        });
        connect(edit, &FieldControl::focused, this, [this, edit] { select(edit); });
        connect(edit, &FieldControl::menuRequested, this, [this, edit] { m_menuField = edit; });
        connect(edit, &FieldControl::valueTyped, this,
                [this, edit](const QString& text) { Q_EMIT valueTyped(edit->field().key, text); });
        connect(edit, &FieldControl::placeShown, this, [this, edit] {
            if (edit == m_selected)
                Q_EMIT selectionChanged();
        });
    }
}

TemplateField DesignSurface::fieldAt(FieldControl* control, const QRect& g) const
{
    TemplateField f = m_doc->layout().field(m_fields.indexOf(control));
    f.place = g.topLeft() - m_doc->layout().offset;
    f.width = g.width();
    // A box left at the control's own height holds one line.
    f.fit.height = g.height() == FieldCatalogue::kControlHeight ? 0 : g.height();
    return f;
}

void DesignSurface::setDocument(TemplateDocument* document)
{
    m_doc = document;
    connect(document, &TemplateDocument::fieldChanged, this, [this](int index) {
        showDocumentField(index);
        if (m_fields.value(index) == m_selected)
            Q_EMIT selectionChanged();
    });
    connect(document, &TemplateDocument::layoutReset, this, &DesignSurface::showDocument);
    connect(document, &TemplateDocument::fontsChanged, this, &DesignSurface::showFonts);
    showDocument();
}

void DesignSurface::showDocument()
{
    const QImage& picture = m_doc->layout().picture;
    if (!picture.isNull() && picture.cacheKey() != m_shownPicture) {
        m_shownPicture = picture.cacheKey();
        setBackground(QPixmap::fromImage(picture));
    }
    showFonts();
    for (int i = 0; i < m_fields.size(); ++i)
        showDocumentField(i);
    Q_EMIT selectionChanged();
}

void DesignSurface::showDocumentField(int index)
{
    FieldControl* c = m_fields.value(index);
    if (!c || index >= m_doc->layout().fieldCount())
        return;
    const TemplateField& f = m_doc->layout().field(index);
    const int height = f.fit.height > 0 ? f.fit.height : FieldCatalogue::kControlHeight;
    c->setGeometry(QRect(m_doc->layout().laidOutPlace(index), QSize(f.width, height)));
    c->setVisible(f.visible);
    c->setFits(f.fit.fit);
    c->setSymbol(f.fit);
}

void DesignSurface::growSymbol(int index, bool asStored)
{
    FieldControl* c = m_fields.value(index);
    if (!c || c->symbol().symbol == FieldSymbol::Text)
        return;
    c->fitSymbol();
    m_doc->adjustField(index, fieldAt(c, c->geometry()), asStored);
}

void DesignSurface::growSymbols(bool asStored)
{
    for (int i = 0; i < m_fields.size(); ++i)
        growSymbol(i, asStored);
}

void DesignSurface::select(FieldControl* control)
{
    if (m_selected == control)
        return;
    if (m_selected)
        m_selected->setOutlined(false);
    m_selected = control;
    if (control)
        control->setOutlined(true);
    Q_EMIT selectionChanged();
}

FieldControl* DesignSurface::selectedControl() const
{
    return m_selected && !m_selected->isHidden() ? m_selected.data() : nullptr;
}

void DesignSurface::nudgeSelected(int dx, int dy)
{
    FieldControl* c = selectedControl();
    if (!c || !m_doc)
        return;
    m_doc->editField(m_fields.indexOf(c), fieldAt(c, c->geometry().translated(dx, dy)),
                     QStringLiteral("移动字段"));
}

void DesignSurface::bindData(DataModule* dm, const Session* session)
{
    m_dm = dm;
    m_session = session;
    for (FieldControl* c : m_fields)
        c->setSession(session);
}

void DesignSurface::showValues(const QHash<QString, QString>& values)
{
    for (FieldControl* c : std::as_const(m_fields))
        c->showValue(values.value(c->field().key));
}

void DesignSurface::handOnTyping()
{
    for (FieldControl* c : std::as_const(m_fields))
        c->handOnTyping();
}

void DesignSurface::setBackground(const QPixmap& picture)
{
    m_picture = picture;
    m_image->setPixmap(picture);
    m_image->resize(picture.size());
    fitToPicture();
}

void DesignSurface::fitToPicture()
{
    // The same margin right and below as left and above.
    setMinimumSize(m_image->x() + m_image->width() + kImageLeft,
                   m_image->y() + m_image->height() + kImageTop);
}

FieldControl* DesignSurface::fieldControl(const QString& key) const
{
    for (FieldControl* c : m_fields)
        if (c->field().key == key)
            return c;
    return nullptr;
}

QVector<TemplateStore::FieldPlace> DesignSurface::fieldPlaces() const
{
    QVector<TemplateStore::FieldPlace> places;
    for (const FieldControl* c : m_fields)
        // The control's own flag: a hidden tab or window must not read as hidden.
        places.push_back({c->x(), c->y(), c->width(), !c->isHidden()});
    return places;
}

void DesignSurface::showField(const QString& key)
{
    const int index = TemplateLayout::indexOf(key);
    if (index < 0 || !m_doc)
        return;
    TemplateField after = m_doc->layout().field(index);
    after.visible = true;
    m_doc->editField(index, after, QStringLiteral("显示字段"));
}

void DesignSurface::showOnlyFields(const QStringList& keys)
{
    QVector<FieldControl*> changed;
    for (FieldControl* c : m_fields)
        if (c->isHidden() == keys.contains(c->field().key))
            changed << c;
    if (changed.isEmpty() || !m_doc)
        return;
    const QString what = QStringLiteral("字段选择");
    m_doc->undoStack()->beginMacro(what);
    for (FieldControl* c : changed) {
        const int index = m_fields.indexOf(c);
        TemplateField after = m_doc->layout().field(index);
        after.visible = !after.visible;
        m_doc->editField(index, after, what);
    }
    m_doc->undoStack()->endMacro();
}

FieldControl* DesignSurface::popupTarget() const
{
    return m_menuField;
}

void DesignSurface::showSelectedFieldFit()
{
    FieldControl* c = popupTarget();
    fitToBoxAction->setEnabled(c && m_dm);
    fitToBoxAction->setChecked(c && c->fits());
}

void DesignSurface::setSelectedFieldFits(bool fit)
{
    FieldControl* c = popupTarget();
    if (!c || !m_dm || !m_doc)
        return;
    const int index = m_fields.indexOf(c);
    TemplateField after = m_doc->layout().field(index);
    after.fit.fit = fit;
    m_doc->editField(index, after, QStringLiteral("适应框内"));
}

void DesignSurface::showSelectedFieldSymbol()
{
    FieldControl* c = popupTarget();
    for (QAction* a : {code128Action, qrAction, textAction})
        a->setEnabled(c && m_dm);
    const FieldSymbol symbol = c ? c->symbol().symbol : FieldSymbol::Text;
    code128Action->setChecked(symbol == FieldSymbol::Code128);
    qrAction->setChecked(symbol == FieldSymbol::Qr);
    textAction->setChecked(symbol == FieldSymbol::Text);
    symbolSizeAction->setEnabled(c && m_dm && symbol != FieldSymbol::Text);
}

void DesignSurface::askSelectedSymbolSize()
{
    FieldControl* c = popupTarget();
    if (!c || !m_dm || !m_session || c->symbol().symbol == FieldSymbol::Text)
        return;
    const FieldFit& now = c->symbol();
    const QString shown = QStringLiteral("%1 %2")
                              .arg(BarcodePainter::moduleMm(now), 0, 'f', 2)
                              .arg(BarcodePainter::barHeightMm(now), 0, 'f', 1);
    const std::optional<QString> typed = prompt().input(
        QStringLiteral("条码尺寸"),
        QStringLiteral("最窄条宽和条高（毫米，以空格分开；热敏打印机的条宽不小于 0.25）："), shown);
    if (!typed)
        return;
    const QStringList parts = typed->simplified().split(QLatin1Char(' '));
    bool moduleOk = false;
    bool heightOk = parts.size() == 2;
    const double module = parts.value(0).toDouble(&moduleOk);
    const double height = heightOk ? parts.value(1).toDouble(&heightOk) : 0;
    if (parts.size() > 2 || !moduleOk || !heightOk || module < BarcodePainter::kMinModuleMm ||
        module > BarcodePainter::kMaxModuleMm || height < BarcodePainter::kMinBarHeightMm ||
        height > BarcodePainter::kMaxBarHeightMm) {
        prompt().message(
            QStringLiteral("条宽应在 %1 到 %2 毫米之间，条高在 %3 到 %4 毫米之间！\n%5")
                .arg(BarcodePainter::kMinModuleMm)
                .arg(BarcodePainter::kMaxModuleMm)
                .arg(BarcodePainter::kMinBarHeightMm)
                .arg(BarcodePainter::kMaxBarHeightMm)
                .arg(*typed));
        return;
    }
    guarded([&] {
        const int index = m_fields.indexOf(c);
        m_doc->setStoredFit(
            index, TemplateRows(m_dm->templates)
                       .setSymbolSize(m_session->currentTemplate, c->field().key, module, height));
        growSymbol(index, false);
    });
}

void DesignSurface::setSelectedFieldSymbol(FieldSymbol symbol)
{
    FieldControl* c = popupTarget();
    if (!c || !m_dm || !m_session)
        return;
    guarded([&] {
        const int index = m_fields.indexOf(c);
        m_doc->setStoredFit(index,
                            TemplateRows(m_dm->templates)
                                .setSymbol(m_session->currentTemplate, c->field().key, symbol));
        growSymbol(index, false);
    });
}

void DesignSurface::hideSelectedField()
{
    FieldControl* c = popupTarget();
    if (!c || !m_doc)
        return;
    const int index = m_fields.indexOf(c);
    TemplateField after = m_doc->layout().field(index);
    after.visible = false;
    m_doc->editField(index, after, QStringLiteral("隐藏字段"));
}

void DesignSurface::showSelectedFieldFont()
{
    FieldControl* c = popupTarget();
    fieldFontAction->setEnabled(c && m_dm && m_doc);
    defaultFontAction->setEnabled(c && m_dm && m_doc &&
                                  m_doc->layout().fonts.contains(c->field().key));
}

void DesignSurface::chooseSelectedFieldFont()
{
    FieldControl* c = popupTarget();
    if (!c || !m_dm || !m_doc || !m_session)
        return;
    // The dialog opens at the font the field prints in now.
    const QString key = c->field().key;
    const std::optional<QFont> font = prompt().font(
        m_doc->layout().fonts.value(key, PrintFonts::of(m_doc->layout(), *m_session).print));
    if (!font)
        return;
    if (!m_doc->isNew() && !guarded([&] {
            TemplateRows(m_dm->templates).setFieldFont(m_session->currentTemplate, key, *font);
        }))
        return;
    m_doc->setFieldFont(key, *font);
}

void DesignSurface::clearSelectedFieldFont()
{
    FieldControl* c = popupTarget();
    if (!c || !m_dm || !m_doc || !m_session)
        return;
    const QString key = c->field().key;
    if (!m_doc->isNew() && !guarded([&] {
            TemplateRows(m_dm->templates)
                .setFieldFont(m_session->currentTemplate, key, std::nullopt);
        }))
        return;
    m_doc->setFieldFont(key, std::nullopt);
}

void DesignSurface::showFonts()
{
    const TemplateLayout& layout = m_doc->layout();
    const std::optional<QFont> print =
        m_session ? std::optional<QFont>(PrintFonts::of(layout, *m_session).print) : std::nullopt;
    for (FieldControl* c : std::as_const(m_fields)) {
        c->setFont(layout.fonts.value(c->field().key, QFont()));
        if (print)
            c->setPrintFont(*print);
    }
}

void DesignSurface::showTemplatePrintFont()
{
    if (!m_dm || !m_session || !m_doc)
        return;
    std::optional<QFont> print;
    if (guarded([&] {
            print = FieldFontStore::printFont(m_dm->database(), m_session->currentTemplate);
        }))
        m_doc->setStoredPrintFont(print);
}
