#include "templates/templatedocument.h"

#include <QUndoStack>

TemplateDocument::TemplateDocument(QObject* parent) : QObject(parent), m_undo(new QUndoStack(this))
{
}

void TemplateDocument::reset(const TemplateLayout& layout)
{
    m_layout = layout;
    m_stored = layout;
    m_undo->clear();
    Q_EMIT layoutReset();
}

void TemplateDocument::applyField(int index, const TemplateField& field)
{
    if (index < 0 || index >= m_layout.fieldCount())
        return;
    TemplateField made = field;
    const TemplateField& now = m_layout.field(index);
    if (made.fit.fit != now.fit.fit) {
        if (m_fitStore && !m_fitStore(index, made.fit.fit))
            made.fit.fit = now.fit.fit;
        else {
            FieldFit storedFit = m_stored.field(index).fit;
            storedFit.fit = made.fit.fit;
            TemplateField s = m_stored.field(index);
            s.fit = storedFit;
            m_stored.setField(index, s);
        }
    }
    if (made == now)
        return;
    m_layout.setField(index, made);
    Q_EMIT fieldChanged(index);
}

void TemplateDocument::editField(int index, const TemplateField& after, const QString& what)
{
    if (index < 0 || index >= m_layout.fieldCount())
        return;
    const TemplateField before = m_layout.field(index);
    applyField(index, after);
    const TemplateField made = m_layout.field(index);
    if (made == before)
        return;
    Q_EMIT editing();
    m_undo->push(new FieldEditCommand(this, index, before, made, what));
}

void TemplateDocument::adjustField(int index, const TemplateField& field, bool asStored)
{
    if (index < 0 || index >= m_layout.fieldCount() || m_layout.field(index) == field)
        return;
    m_layout.setField(index, field);
    if (asStored)
        m_stored.setField(index, field);
    Q_EMIT fieldChanged(index);
}

void TemplateDocument::setStoredFit(int index, const FieldFit& fit)
{
    if (index < 0 || index >= m_layout.fieldCount())
        return;
    // The box height is the field's size: it stays an edit of its own.
    TemplateField f = m_layout.field(index);
    const int height = f.fit.height;
    f.fit = fit;
    f.fit.height = height;
    m_layout.setField(index, f);
    TemplateField s = m_stored.field(index);
    const int storedHeight = s.fit.height;
    s.fit = fit;
    s.fit.height = storedHeight;
    m_stored.setField(index, s);
    Q_EMIT fieldChanged(index);
}

void TemplateDocument::setStoredPage(const QSize& paper, const QPoint& offset, bool printsPicture)
{
    for (TemplateLayout* l : {&m_layout, &m_stored}) {
        l->paper = paper;
        l->offset = offset;
        l->printsPicture = printsPicture;
    }
    Q_EMIT layoutReset();
}

void TemplateDocument::setPicture(const QString& name, const QImage& picture)
{
    m_layout.pictureName = name;
    m_layout.picture = picture;
    Q_EMIT layoutReset();
}

void TemplateDocument::setFieldFont(const QString& key, const std::optional<QFont>& font)
{
    if (TemplateLayout::indexOf(key) < 0)
        return;
    for (TemplateLayout* l : {&m_layout, &m_stored}) {
        if (font)
            l->fonts.insert(key, FieldFontStore::kept(*font));
        else
            l->fonts.remove(key);
        if (m_new)
            break; // the stored template keeps its own
    }
    Q_EMIT fontsChanged();
}

void TemplateDocument::setStoredPrintFont(const std::optional<QFont>& font)
{
    m_layout.printFont = font;
    m_stored.printFont = font;
    Q_EMIT fontsChanged();
}

void TemplateDocument::revertFonts()
{
    m_layout.printFont = m_stored.printFont;
    m_layout.fonts = m_stored.fonts;
    Q_EMIT fontsChanged();
}

bool TemplateDocument::isModified() const
{
    if (m_new)
        return true;
    if (m_layout.pictureName != m_stored.pictureName || m_layout.offset != m_stored.offset)
        return true;
    for (int i = 0; i < m_layout.fieldCount(); ++i) {
        const TemplateField& a = m_layout.field(i);
        const TemplateField& b = m_stored.field(i);
        // A box's height alone is no unsaved work: it is kept with the
        // template on its next save.
        if (a.place != b.place || a.width != b.width || a.visible != b.visible)
            return true;
    }
    return false;
}

FieldEditCommand::FieldEditCommand(TemplateDocument* document, int index,
                                   const TemplateField& before, const TemplateField& after,
                                   const QString& text)
    : QUndoCommand(text), m_document(document), m_index(index), m_before(before), m_after(after)
{
}

void FieldEditCommand::undo()
{
    m_document->applyField(m_index, m_before);
}

void FieldEditCommand::redo()
{
    if (m_made) {
        m_made = false;
        return;
    }
    m_document->applyField(m_index, m_after);
}
