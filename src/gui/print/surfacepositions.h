#pragma once

#include "render/recordrenderer.h"

class DesignSurface;

// The live design surface: field control minus Model_BKimg.
class SurfacePositions : public FieldPositions
{
public:
    explicit SurfacePositions(const DesignSurface* surface) : m_surface(surface) {}
    QPoint designOffset(const FieldInfo& field) const override;
    int designWidth(const FieldInfo& field) const override;

private:
    const DesignSurface* m_surface;
};
