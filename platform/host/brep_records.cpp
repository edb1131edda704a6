// Breps and bare surfaces in the document file. Their records are the
// geometry library's own; they join the host's record kinds when the host
// library loads.
#include "platform/geometry/brep.h"
#include "platform/geometry/surface.h"
#include "platform/host/geometry_records.h"

#include <memory>

namespace dezaz
{
namespace
{

// {5274BE39-8900-4135-87B3-1DE0954508F4}
constexpr ON_UUID kBrepRecordId = {0x5274BE39, 0x8900, 0x4135, {0x87, 0xB3, 0x1D, 0xE0, 0x95, 0x45, 0x08, 0xF4}};
// {88EC22EA-2B40-4B64-9C66-85BA20D5673C}
constexpr ON_UUID kSurfaceRecordId = {0x88EC22EA, 0x2B40, 0x4B64, {0x9C, 0x66, 0x85, 0xBA, 0x20, 0xD5, 0x67, 0x3C}};

bool BrepMatches(const ON_Geometry& g)
{
    return dynamic_cast<const ON_Brep*>(&g) != nullptr;
}

bool WriteBrep(const ON_Geometry& g, ON_BinaryArchive& archive)
{
    return static_cast<const ON_Brep&>(g).Write(archive);
}

std::unique_ptr<ON_Geometry> ReadBrep(ON_BinaryArchive& archive, std::wstring& error)
{
    auto brep = std::make_unique<ON_Brep>();
    if (!brep->Read(archive))
    {
        error = L"a brep record is damaged or cut short";
        return nullptr;
    }
    return brep;
}

bool SurfaceMatches(const ON_Geometry& g)
{
    return dynamic_cast<const ON_Surface*>(&g) != nullptr;
}

bool WriteSurface(const ON_Geometry& g, ON_BinaryArchive& archive)
{
    return ON_WriteSurface(archive, static_cast<const ON_Surface&>(g));
}

std::unique_ptr<ON_Geometry> ReadSurface(ON_BinaryArchive& archive, std::wstring& error)
{
    std::unique_ptr<ON_Geometry> surface(ON_ReadSurface(archive));
    if (!surface)
        error = L"a surface record is damaged or cut short";
    return surface;
}

const bool kRegistered = [] {
    RegisterGeometryRecord({kBrepRecordId, DezazObjectType::brep, BrepMatches, WriteBrep, ReadBrep});
    RegisterGeometryRecord({kSurfaceRecordId, DezazObjectType::surface, SurfaceMatches, WriteSurface, ReadSurface});
    return true;
}();

} // namespace
} // namespace dezaz
