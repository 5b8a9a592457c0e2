#include "gui/print/surfacepositions.h"

#include "gui/templates/designsurface.h"

QPoint SurfacePositions::designOffset(const FieldInfo& field) const
{
    const FieldControl* c = m_surface->fieldControl(field.key);
    return c->pos() - m_surface->backgroundImage()->pos();
}

int SurfacePositions::designWidth(const FieldInfo& field) const
{
    return m_surface->fieldControl(field.key)->width();
}
