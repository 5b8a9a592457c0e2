#pragma once

#include "templates/templatelayout.h"

#include <QObject>
#include <QUndoCommand>
#include <functional>

class QUndoStack;

// The template being designed: a TemplateLayout, the undo history of its
// edits and whether it differs from what is stored. The design surface
// shows it and edits it through editField; the page setup dialog and a
// save change it as stored.
class TemplateDocument : public QObject
{
    Q_OBJECT
public:
    explicit TemplateDocument(QObject* parent = nullptr);

    const TemplateLayout& layout() const { return m_layout; }
    const TemplateLayout& stored() const { return m_stored; }

    // A template as stored (laid out, saved): no history, nothing changed.
    void reset(const TemplateLayout& layout);

    // One edit of the user's: the field is changed and the change goes on
    // the undo stack. No change (or a fit switch that could not be stored)
    // pushes nothing.
    void editField(int index, const TemplateField& after, const QString& what);
    // A change that is no edit of the user's (a symbol grown to its size, a
    // new template's fields set out): no undo, but modified unless asStored.
    void adjustField(int index, const TemplateField& field, bool asStored = false);
    // How a field is drawn, stored already: no undo, not modified.
    void setStoredFit(int index, const FieldFit& fit);
    // Paper, offsets and picture printing as the page setup stored them.
    void setStoredPage(const QSize& paper, const QPoint& offset, bool printsPicture);
    // A new template's picture: not stored until saved.
    void setPicture(const QString& name, const QImage& picture);
    // A field's own font (none: the template's print font again): stored
    // already, or for a new template kept until it is saved.
    void setFieldFont(const QString& key, const std::optional<QFont>& font);
    // The template's print font as stored.
    void setStoredPrintFont(const std::optional<QFont>& font);
    // The fonts as stored again (a new template given up).
    void revertFonts();

    // Used by the undo commands: sets the field; a changed fit switch is
    // stored at once through the fit store when one is set.
    void applyField(int index, const TemplateField& field);
    // Stores a field's fit switch at once; false leaves the switch as it was.
    using FitStore = std::function<bool(int index, bool fit)>;
    void setFitStore(FitStore store) { m_fitStore = std::move(store); }

    QUndoStack* undoStack() const { return m_undo; }
    // Places, widths, visibility, offsets or the picture differ from what
    // is stored, or it is a new template not yet saved.
    bool isModified() const;
    // A new template is unsaved work until it is saved or given up, whatever
    // is laid out meanwhile.
    void setNew(bool on) { m_new = on; }
    bool isNew() const { return m_new; }

Q_SIGNALS:
    void fieldChanged(int index);
    // An edit is about to go on the undo stack at its present index.
    void editing();
    // Everything may have changed (another template, paper, offsets, picture).
    void layoutReset();
    // The print font or a field's own font changed.
    void fontsChanged();

private:
    TemplateLayout m_layout;
    TemplateLayout m_stored;
    QUndoStack* m_undo;
    FitStore m_fitStore;
    bool m_new = false;
};

// One edit of one field (a drag, a resize, a nudge, hiding or showing,
// fitting into its box or not), already made when pushed.
class FieldEditCommand : public QUndoCommand
{
public:
    FieldEditCommand(TemplateDocument* document, int index, const TemplateField& before,
                     const TemplateField& after, const QString& text);
    void undo() override;
    void redo() override;

private:
    TemplateDocument* m_document;
    int m_index;
    TemplateField m_before;
    TemplateField m_after;
    bool m_made = true; // the first redo finds the change made
};
