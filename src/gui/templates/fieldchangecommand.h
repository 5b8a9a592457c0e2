#pragma once

#include <QRect>
#include <QUndoCommand>

class DesignSurface;

// A field's place, size and own visibility on the design surface, and
// whether it fits its text into its box (stored with the template at once).
struct FieldState {
    QRect geometry;
    bool visible = true;
    bool fit = false;
    bool operator==(const FieldState& other) const
    {
        return geometry == other.geometry && visible == other.visible && fit == other.fit;
    }
    bool operator!=(const FieldState& other) const { return !(*this == other); }
};

// One change of one field control (a drag, a resize, a nudge, hiding or
// showing, fitting into its box or not), already made when pushed: undo puts the state before back,
// redo the state after.
class FieldChangeCommand : public QUndoCommand
{
public:
    FieldChangeCommand(DesignSurface* surface, int fieldIndex, const FieldState& before,
                       const FieldState& after, const QString& text);
    void undo() override;
    void redo() override;

private:
    DesignSurface* m_surface;
    int m_fieldIndex;
    FieldState m_before;
    FieldState m_after;
};
