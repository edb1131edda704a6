// The turned part of the big-scan road as a kind change of its whole mesh
// sees it: imported once by the host's reader and copied as the shapes
// dialog copies it, every vertex a fit point with its normal.
#pragma once

#include "bench/big_scan_inputs.h"
#include "bench/shared_bench_pool.h"
#include "core/host_mesh_import.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "dezaz/mesh_import.h"
#include "fitting/fit_container.h"

#include <memory>

struct stTurnedPartScan
{
    cMeshObject object;
    std::unique_ptr<cFitContainer> points;

    cMesh& Mesh() { return *object.GetMesh(); }
};

inline stTurnedPartScan& TurnedPartScan()
{
    static stTurnedPartScan scan;
    static const bool read = []
    {
        std::uint64_t triangles = 0;
        ON_Mesh host;
        std::wstring error;
        dezaz::ImportMeshFile(bigscan::TurnedPartStl(&triangles).string(), host, error);
        AddHostMeshFaces(scan.object, host, &SharedBenchPool());
        const cMesh& mesh = scan.Mesh();
        tFitPointQueue records;
        for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        {
            const cVertex* v = mesh.GetVertex(i);
            stFitPoint p;
            p.position[0] = v->x, p.position[1] = v->y, p.position[2] = v->z;
            p.normal[0] = v->nx, p.normal[1] = v->ny, p.normal[2] = v->nz;
            p.active = 1;
            records.push_back(p);
        }
        scan.points = std::make_unique<cFitContainer>(records);
        return true;
    }();
    (void)read;
    return scan;
}
