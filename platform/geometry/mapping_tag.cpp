#include "platform/geometry/mapping_tag.h"

void ON_MappingTag::Default()
{
    *this = ON_MappingTag();
}

bool ON_MappingTag::IsSet() const
{
    return ON_UuidIsNotNil(m_mapping_id);
}

namespace
{

template <class T> int Order(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

int ON_MappingTag::Compare(const ON_MappingTag& a, const ON_MappingTag& b, bool compare_id, bool compare_crc,
                           bool compare_xform)
{
    if (compare_id)
    {
        if (const int c = ON_UuidCompare(a.m_mapping_id, b.m_mapping_id))
            return c < 0 ? -1 : 1;
    }
    if (compare_crc)
    {
        if (const int c = Order(static_cast<int>(a.m_mapping_type), static_cast<int>(b.m_mapping_type)))
            return c;
        if (const int c = Order(a.m_mapping_crc, b.m_mapping_crc))
            return c;
    }
    if (compare_xform)
    {
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                if (const int c = Order(a.m_meshdata_xform[i][j], b.m_meshdata_xform[i][j]))
                    return c;
    }
    return 0;
}
