// Car state records received from another program: the input is a run of
// 68-byte records, each applied to a remote car on the default site as the
// record of the next 4 ticks, with the car stepped (dead reckoning between
// records) after each.
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "vehicle/car_object.h"
#include "vehicle/car_state_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzCarOnTrack track;
    if (!track.car) {
        return 0;
    }
    track.car->BecomeRemote();
    uint32_t tick = track.car->stepCount;
    for (size_t at = 0; at + sizeof(CarStateRecord) <= size && at < 64 * sizeof(CarStateRecord);
         at += sizeof(CarStateRecord)) {
        CarStateRecord record;
        std::memcpy(&record, data + at, sizeof record);
        tick += 4;
        track.car->ApplyRemoteState(&record, tick);
        track.Step(4);
    }
    return 0;
}
