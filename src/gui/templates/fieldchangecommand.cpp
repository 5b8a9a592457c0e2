#include "gui/templates/fieldchangecommand.h"

#include "gui/templates/designsurface.h"

FieldChangeCommand::FieldChangeCommand(DesignSurface* surface, int fieldIndex,
                                       const FieldState& before, const FieldState& after,
                                       const QString& text)
    : QUndoCommand(text), m_surface(surface), m_fieldIndex(fieldIndex), m_before(before),
      m_after(after)
{
}

void FieldChangeCommand::undo()
{
    m_surface->setFieldState(m_fieldIndex, m_before);
}

void FieldChangeCommand::redo()
{
    m_surface->setFieldState(m_fieldIndex, m_after);
}
