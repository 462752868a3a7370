// Damage records received for a car (the 4-byte deformation records of the
// damage packet: point index, magnitude, packed direction): the input is a
// run of records, each stored on a car of the default data, whose damaged
// shape is rebuilt after each stored one, and the car stepped.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "vehicle/car_object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr size_t RecordSize = 4;
    FuzzCarOnTrack track;
    if (!track.car) {
        return 0;
    }
    for (size_t at = 0; at + RecordSize <= size && at < 64 * RecordSize; at += RecordSize) {
        if (track.car->AddDamageRecord(data + at)) {
            track.car->RefreshShape();
        }
    }
    track.Step(1);
    return 0;
}
