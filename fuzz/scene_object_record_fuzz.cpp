// A scene-object record comes from a host document or a file. Invariant:
// reading never crashes or reads out of bounds, a short record changes
// nothing, and an accepted name is terminated within its 127 characters.
#include "core/bin_stream.h"
#include "core/bounding_box.h"
#include "core/scene_object.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace
{

struct NoGeometry
{
};

class RecordOnly : public tSceneObject<NoGeometry>
{
public:
    bool SaveProperties(IKeyValueStore*) override { return false; }
    bool LoadProperties(IKeyValueStore*, IProcProgress*) override { return false; }
    bool UpdateGeometry() override { return true; }
    GUID GetClassGuid() const override { return kNullGuid; }
    void GetBoundingBox(float box[6]) override { MakeEmptyBox3f(box); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> copy(data, data + size);
    copy.push_back(0); // fmemopen refuses an empty buffer
    std::FILE* file = fmemopen(copy.data(), size == 0 ? 1 : size, "rb");
    if (file == nullptr)
        return 0;
    if (size == 0)
        std::fgetc(file);
    cBINFile stream(file);
    RecordOnly object;
    GUID before = object.GetObjectId();
    bool ok = object.Read(&stream);
    if (!ok && !(object.GetObjectId() == before))
        std::abort();
    if (std::wcslen(object.GetName()) > 127)
        std::abort();
    return 0;
}
