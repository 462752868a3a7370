// Race-state records received for a car: the input is a run of 16-byte
// records, each applied to a car on the default site, which is stepped after
// each.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "vehicle/car_object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr size_t RecordSize = 16;
    FuzzCarOnTrack track;
    if (!track.car) {
        return 0;
    }
    for (size_t at = 0; at + RecordSize <= size && at < 256 * RecordSize; at += RecordSize) {
        track.car->ApplyRaceStateRecord(data + at);
        track.Step(1);
    }
    return 0;
}
