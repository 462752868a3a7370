// The car's state packets: input-rate bookkeeping, the condition record on
// its cadence and the blue and yellow flags.
#include "vehicle/car_network_services.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"

namespace {

// Heights (16.16) and speed (m/s) beyond which a car has left the world.
constexpr int32_t LowestHeight = -20 * 65536;
constexpr int32_t HighestHeight = 80 * 65536;
constexpr float HighestSpeed = 200.0f;

constexpr uint8_t BlueFlagOn = 0x81;
constexpr uint8_t BlueFlagOff = 0x01;
constexpr uint8_t YellowFlagOn = 0x82;
constexpr uint8_t YellowFlagOff = 0x02;

uint8_t PlayerIdOf(const PlayerSlot *slot) {
    return slot != nullptr && RaceServices.playerId != nullptr ? RaceServices.playerId(slot) : 0;
}

uint8_t SlotPlayerId(int slotIndex) {
    PlayerSlot *slot = RaceServices.slotRecord != nullptr ? RaceServices.slotRecord(slotIndex) : nullptr;
    return PlayerIdOf(slot);
}

uint32_t HostRuleFlags() {
    return CarNetwork.hostRuleFlags != nullptr ? CarNetwork.hostRuleFlags() : 0;
}

void SendSwitches(uint8_t id, uint8_t state, uint8_t other) {
    const uint8_t packet[4] = {70, id, state, other};
    RaceQueueGamePacket(packet, 4);
    RaceFlushGameBatch(0);
}

// Strictly between the road's edges, as the blue flag judges it.
bool OnRoad(const CarObject &car) {
    return car.roadEdges[0] < car.progress[1] && car.progress[1] < car.roadEdges[1];
}

// How many nodes `other` is behind `own` on a path of n nodes; -1 when
// either node is unknown.
int NodesBehind(int own, int other, int n) {
    if (own < 0 || own >= n || other < 0 || other >= n)
        return -1;
    return (own - other + n) % n;
}

// The slot index of the car in the race, or -1.
int OwnSlotIndex(const CarObject *car) {
    const int count = RaceSlotCount();
    for (int i = 0; i < count; i++) {
        if (RaceSlotCar(i) == car)
            return i;
    }
    return -1;
}

int Abs(int x) {
    return x < 0 ? -x : x;
}

}  // namespace

void CarObject::TrackInputChanges() {
    const CarStateRecord &r = lastRemoteRecord;
    inputChange += Abs(static_cast<int>(r.steering) - static_cast<int>(inputs[0])) >> 3;
    inputChange += 2 * Abs(static_cast<int>(r.throttle) - (inputs[1] >> 8));
    inputChange += 2 * Abs(static_cast<int>(r.brake) - (inputs[2] >> 8));
    inputCredit -= inputChange;
    if (inputCredit < 1) {
        inputCredit = 0;
        inputChange = 0;
    }
    int flats = 0;
    for (int i = 0; i < wheelCount; i++)
        flats += wheels[i].flat != 0 ? 1 : 0;
    inputFlatCount = static_cast<uint8_t>(flats);
}

void CarObject::SendStatePackets(PlayerSlot *slot) {
    // A car that fell out of the world or flies off is stopped dead and
    // reports nothing (a NaN speed counts as flying off).
    if (!(position.z >= LowestHeight && position.z <= HighestHeight && speed <= HighestSpeed)) {
        StopMotion();
        return;
    }

    if (RacePathNodeCount() > 0 && (HostRuleFlags() & RuleCruise) == 0) {
        const uint32_t phase = stepCount % 32;
        if (phase == 0)
            CheckBlueFlag(slot);
        else if (phase == 16)
            CheckYellowFlag(slot);
    }

    if (!RaceIsOnline() || pitStopPending != 0)
        return;
    // Cars report in turn: each slot has its own phase in the period
    // (10.24 s, or 2.56 s during pit work).
    const uint32_t mask = pitWorkStep != 0 ? 255u : 1023u;
    const int slotCount = RaceSlotCount();
    const int index = OwnSlotIndex(this);
    const uint32_t phase =
        slotCount > 0 && index >= 0 ? static_cast<uint32_t>(index) * mask / static_cast<uint32_t>(slotCount) : 0;
    if ((inputFlatCount != flatCount || (stepCount & mask) == phase) && RaceIsStartAllowed()) {
        uint8_t record[56];
        PackConditionRecord(record, PlayerIdOf(slot));
        RaceQueueGamePacket(record, 56);
    }
}

void CarObject::CheckBlueFlag(PlayerSlot *slot) {
    int candidate = -1;  // the lapping car's player id
    const int n = RacePathNodeCount();
    const int own = RaceCarPathNode(this);
    if (RaceIsStartAllowed() && speedZone == nullptr && speed > progress[0] && OnRoad(*this) && n > 0) {
        const int slotCount = RaceSlotCount();
        if (RaceIsTimedOrLapped()) {
            // Cars ahead in the race order with more laps, up to 8 nodes behind.
            int best = 8;
            const int places = RaceOrderCount();
            for (int place = 0; place < places; place++) {
                const int s = RaceOrderSlot(place);
                if (s < 0 || s >= slotCount)
                    continue;
                const CarObject *other = RaceSlotCar(s);
                if (other == this)
                    break;
                if (other == nullptr)
                    continue;
                const int d = NodesBehind(own, RaceCarPathNode(other), n);
                if (other->confirmedLaps > confirmedLaps && other->resultRecorded == 0 && d > 0 && d <= best &&
                    OnRoad(*other) && other->speed > other->progress[0]) {
                    candidate = SlotPlayerId(s);
                    best = d;
                }
            }
        } else {
            // Practice: a car that has done a lap closing on one that has
            // not, up to 12 nodes behind.
            int best = 12;
            for (int s = 0; s < slotCount; s++) {
                const CarObject *other = RaceSlotCar(s);
                if (other == nullptr || other == this)
                    continue;
                const int d = NodesBehind(own, RaceCarPathNode(other), n);
                if (other->confirmedLaps != 0 && confirmedLaps == 0 && d > 0 && d <= best && OnRoad(*other) &&
                    other->speed > other->progress[0]) {
                    candidate = SlotPlayerId(s);
                    best = d;
                }
            }
        }
    }

    const uint8_t id = PlayerIdOf(slot);
    if (candidate >= 0) {
        bool send;
        if (blueFlagCount < 7) {
            blueFlagCount++;
            send = blueFlagCount == 5;
        } else {
            send = candidate != blueFlagCarId;
        }
        if (send) {
            blueFlagCarId = static_cast<uint8_t>(candidate);
            SendSwitches(id, BlueFlagOn, blueFlagCarId);
        }
    } else if (blueFlagCount != 0) {
        blueFlagCount--;
        if (blueFlagCount == 2)
            SendSwitches(id, BlueFlagOff, 0);
    }
}

void CarObject::CheckYellowFlag(PlayerSlot *slot) {
    const int64_t offset = RaceServices.raceStartOffset != nullptr ? RaceServices.raceStartOffset() : 0;
    if (!RaceIsStartAllowed() || speedZone != nullptr || static_cast<int64_t>(stepCount) <= (offset + 12) * 100)
        return;

    const float dirX = roadDirection[0];
    const float dirY = roadDirection[1];
    const float low = roadEdges[0];
    const float high = roadEdges[1];
    bool judgeSpeed;
    if (low <= progress[1] && progress[1] <= high) {
        judgeSpeed = true;
    } else if (stopped) {
        judgeSpeed = false;
    } else {
        // Off the road and moving: trouble only while it is coming back on
        // within 3 s.
        const float across = velocity[0] * dirY - velocity[1] * dirX;
        const float accelAcross = acceleration[0] * dirY - acceleration[1] * dirX;
        const float predicted = progress[1] + 3.0f * (across + 1.5f * accelAcross);
        judgeSpeed = (progress[1] > high && predicted < high) || (progress[1] < low && predicted > low);
    }

    bool trouble = false;
    if (judgeSpeed) {
        // Heading more than 60 degrees off the path, or slow along it.
        const float forward = orientation[1] * dirX + orientation[4] * dirY;
        const float along = velocity[0] * dirX + velocity[1] * dirY;
        trouble = forward < 0.5f || along < progress[0];
    }

    const uint8_t id = PlayerIdOf(slot);
    if (trouble) {
        if (yellowFlagCount <= 3) {
            yellowFlagCount++;
            if (yellowFlagCount == 3)
                SendSwitches(id, YellowFlagOn, 0);
        }
    } else if (yellowFlagCount != 0) {
        yellowFlagCount--;
        if (yellowFlagCount == 1)
            SendSwitches(id, YellowFlagOff, 0);
    }
}
