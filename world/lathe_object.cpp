#include "world/lathe_object.h"

#include "core/data_stream.h"
#include "vehicle/solid_link.h"
#include "world/lit_mesh_object.h"

namespace {

constexpr int64_t LinkBytes = 8;   // the short form; equal indices add 8 more

} // namespace

int ObjectRecordList::Read(DataStream *stream, int)
{
    Free();
    stream->ReadBytes(name, 16);
    name[15] = 0;
    segments = static_cast<int32_t>(stream->ReadU32());
    stream->ReadU32();
    if (stream->overrun || FloatPairTable::Read(stream) != 0) {
        Free();
        return 1;
    }
    if (count > MaxLathePoints) {
        Free();
        return 1;
    }
    const uint32_t n = stream->ReadU32();
    if (stream->overrun || static_cast<int64_t>(n) * LinkBytes > stream->Remaining()) {
        Free();
        return 1;
    }
    links = new SolidLink[n]();
    linkCount = n;
    for (uint32_t i = 0; i < n; ++i) {
        SolidLink &link = links[i];
        if (ReadSolidLink(stream, link) != 0 || link.curveA >= count || link.curveB >= count) {
            Free();
            return 1;
        }
    }
    return 0;
}

void ObjectRecordList::Free()
{
    delete[] links;
    links = nullptr;
    linkCount = 0;
    FloatPairTable::Free();
}
