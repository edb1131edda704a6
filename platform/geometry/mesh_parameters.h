// How finely a surface is turned into a render mesh. The two presets are
// what a viewer uses while the user works (fast) and for a final image
// (quality); they differ only in density.
#pragma once

class ON_MeshParameters
{
public:
    // Largest angle (radians) between the normals at neighbouring mesh
    // vertices along either parameter direction.
    double m_max_angle_radians = 20.0 * 3.14159265358979323846 / 180.0;
    // Bounds on the quads per parameter direction.
    int m_grid_min_count = 1;
    int m_grid_max_count = 256;

    static const ON_MeshParameters FastRenderMesh;
    static const ON_MeshParameters QualityRenderMesh;

    // A positive angle and 1 <= min <= max.
    bool IsValid() const;
};
