#include "fuzz/seeds/seed_records.h"

#include <cstring>

#include "fuzz/fuzz_support.h"
#include "tests/vehicle/car_state_packer.h"
#include "tools/default_track.h"
#include "vehicle/car_damage.h"
#include "vehicle/car_object.h"
#include "vehicle/car_records.h"
#include "vehicle/car_state_record.h"
#include "world/layout.h"
#include "world/layout_packets.h"
#include "world/track_code.h"
#include "world/world.h"

namespace {

std::vector<uint8_t> &Captured()
{
    static std::vector<uint8_t> bytes;
    return bytes;
}

template <typename T>
void Append(std::vector<uint8_t> &out, const T &value)
{
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&value);
    out.insert(out.end(), bytes, bytes + sizeof value);
}

// The packets the host sends for the default layout, each framed as the
// layout packet target reads them (a length byte, then the packet).
std::vector<uint8_t> DefaultLayoutPackets()
{
    FuzzDefaultWorld();
    FuzzResetLayout();
    const LayoutServices saved = GetLayoutServices();
    LayoutServices capture = saved;
    capture.queueGamePacket = [](const uint8_t *bytes, int length) {
        Captured().push_back(static_cast<uint8_t>(length));
        Captured().insert(Captured().end(), bytes, bytes + length);
    };
    capture.flushGameBatch = [] {};
    SetLayoutServices(capture);
    Captured().clear();
    char code[16] = {};
    GetTrackCode(code, sizeof code, CurrentWorld->trackName);
    const std::string name = std::string(code) + "_" + DefaultLayoutName;
    StartLayoutLoad(name.c_str());
    for (int chunks = 0; chunks < 1000 && LayoutRecordsToSend > 0; ++chunks) {
        SendLayoutChunk();
    }
    SetLayoutServices(saved);
    FuzzResetLayout();
    return Captured();
}

}  // namespace

void WriteRecordSeeds(const SeedSink &sink)
{
    sink("layout_packet", "default_layout.bin", DefaultLayoutPackets());

    FuzzCarOnTrack track;
    CarObject *car = track.car;
    if (!car) {
        return;
    }
    // A car driven off for a second and a half, with its records taken every
    // half second.
    std::vector<uint8_t> states, conditions, raceStates, positions;
    for (int half = 0; half < 3; ++half) {
        car->inputs[1] = 50000;
        car->engine.StartAtIdle();
        track.Step(50);
        Append(states, PackCarStateRecord(*car));
        uint8_t condition[56];
        car->PackConditionRecord(condition, 1);
        conditions.insert(conditions.end(), condition, condition + sizeof condition);
        RaceStateRecord race = {};
        race.penalty = static_cast<uint8_t>(half);
        race.confirmedLaps = static_cast<uint16_t>(half);
        race.takeOverIds[0] = race.takeOverIds[1] = 255;
        race.raceTimeWord = half ? 100 * half : -1;
        race.startOffset = 50 * half;
        Append(raceStates, race);
        uint8_t position[sizeof(PositionPacket)] = {};
        car->FillPositionPacket(position, nullptr);
        position[0] = PositionPacketType;
        positions.insert(positions.end(), position, position + sizeof position);
    }
    sink("car_state_record", "driven.bin", states);
    sink("car_condition_record", "driven.bin", conditions);
    sink("car_race_state_record", "states.bin", raceStates);
    sink("p_packet", "driven.bin", positions);

    // Dents at the first points of the car, in the six axis directions.
    std::vector<uint8_t> dents;
    const float directions[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int n = 0; n < 6; ++n) {
        const uint16_t packed = PackDamageDirection(directions[n]);
        const uint8_t record[4] = {static_cast<uint8_t>(n), static_cast<uint8_t>(40 * (n + 1)),
                                   static_cast<uint8_t>(packed & 0xFF), static_cast<uint8_t>(packed >> 8)};
        dents.insert(dents.end(), record, record + 4);
    }
    sink("car_damage_record", "dents.bin", dents);
}
