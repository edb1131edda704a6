// How each kind of document geometry is written into and read from a
// document file. Meshes and points are known to the host; other geometry
// kinds (curves, breps) add their record kind with RegisterGeometryRecord.
#pragma once

#include "platform/geometry/binary_archive.h"
#include "platform/geometry/object.h"
#include "platform/host/dezaz_object.h"

#include <memory>
#include <string>

namespace dezaz
{

struct GeometryRecord
{
    ON_UUID id;                // stored in the file before the record
    DezazObjectType type;      // the object type the record makes
    bool (*matches)(const ON_Geometry& geometry);
    bool (*write)(const ON_Geometry& geometry, ON_BinaryArchive& archive);
    // Reads exactly the record's bytes; null, with a message, when they are damaged.
    std::unique_ptr<ON_Geometry> (*read)(ON_BinaryArchive& archive, std::wstring& error);
};

// A later registration of the same id replaces the earlier one.
void RegisterGeometryRecord(const GeometryRecord& record);
const GeometryRecord* FindGeometryRecord(const ON_UUID& id);
const GeometryRecord* FindGeometryRecordFor(const ON_Geometry& geometry);

// The document object for geometry of a record kind.
std::unique_ptr<CDezazObject> MakeDocumentObject(DezazObjectType type, std::unique_ptr<ON_Geometry> geometry,
                                                 const ON_3dmObjectAttributes& attributes);

} // namespace dezaz
