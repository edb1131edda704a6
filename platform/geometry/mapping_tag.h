// Which mapping produced a mesh's per-vertex data (colours, texture
// coordinates). Whoever fills the data stamps the mesh with its tag; a later
// pass that finds its own tag on the mesh knows the data is still its own and
// need not be computed again.
#pragma once

#include "platform/geometry/uuid.h"
#include "platform/geometry/xform.h"

#include <cstdint>

class ON_MappingTag
{
public:
    // Kinds of mapping; the tag's id says whose, the kind only how.
    enum class mapping_type : int
    {
        no_mapping = 0,
        srfp_mapping = 1,
        plane_mapping = 2,
    };

    ON_UUID m_mapping_id = ON_nil_uuid;
    mapping_type m_mapping_type = mapping_type::no_mapping;
    // Checksum of the mapping's parameters, so that a changed mapping with
    // the same id does not pass for the old one.
    std::uint32_t m_mapping_crc = 0;
    // Transform applied to the mesh before the mapping.
    ON_Xform m_meshdata_xform = ON_Xform::IdentityTransformation();

    // Back to "no mapping": nil id, zero fields, identity transform.
    void Default();
    // Set by some mapping (a non-nil id).
    bool IsSet() const;

    // 0 when equal in the compared parts, else -1 or +1 (a total order, id
    // first, then kind and checksum, then the transform's entries). Each
    // flag includes one part in the comparison.
    static int Compare(const ON_MappingTag& a, const ON_MappingTag& b, bool compare_id = true,
                       bool compare_crc = true, bool compare_xform = true);
};
