#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "car_model_fixture.h"
#include "vehicle/car_network_services.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"

// The race session, world and network as the pit lane and the state packets
// see them: four slots (player ids 7..10), one speed-limit zone that holds
// every point while `inZone` is set, one pit place, a path of 100 nodes.
namespace pit_fake {

using Bytes = std::vector<uint8_t>;

constexpr int Slots = 4;

struct Fake {
    CarObject *cars[Slots] = {};
    int ids[Slots] = {7, 8, 9, 10};
    int nodes[Slots] = {-1, -1, -1, -1};
    int pathNodes = 100;
    int order[Slots] = {0, 1, 2, 3};
    int orderCount = 0;

    int inZone = 0;
    int zoneLimit = 80;  // km/h
    int zoneToken = 0;
    int placeCount = 1;
    int32_t placeX = 100 * 65536;
    int32_t placeY = 0;

    int gameState = 2;
    int driven = 1;
    int lesson = 0;
    int online = 0;
    int startAllowed = 1;
    int timed = 0;
    int laps = 0;
    int startOffset = 3;
    int hotLap = 0;
    uint32_t rules = 0;
    int refuelPercent = 0;
    int tyreWearPercent = 100;  // change only tyres worn to the last level
    int repairFlag = 0;

    std::vector<Bytes> packets;   // every queued packet, recorded or not
    std::vector<Bytes> recorded;  // those queued for the replay too
    int flushes = 0;
    std::vector<std::string> messages;
    std::vector<int> colours;
    std::vector<int> sounds;
    std::vector<int> hotLapReasons;
    int pitStarts = 0;
    uint8_t startList[4] = {};
    int pitDones = 0;
    int pitNotices = 0;
};

inline Fake fake;

inline PlayerSlot *SlotHandle(int slot) {
    return reinterpret_cast<PlayerSlot *>(&fake.ids[slot]);
}

inline int CarIndex(const CarObject *car) {
    for (int i = 0; i < Slots; i++) {
        if (fake.cars[i] == car)
            return i;
    }
    return -1;
}

inline void Install() {
    fake = Fake();
    VehicleRaceHooks = {};
    VehicleRaceHooks.slotCount = [] { return Slots; };
    VehicleRaceHooks.slotCar = [](int slot) { return slot >= 0 && slot < Slots ? fake.cars[slot] : nullptr; };
    VehicleRaceHooks.hotLapMode = [] { return fake.hotLap; };
    VehicleRaceHooks.invalidateHotLap = [](int reason) { fake.hotLapReasons.push_back(reason); };

    CarNetwork = {};
    CarNetwork.hostRuleFlags = [] { return fake.rules; };

    RaceServices = {};
    RaceServices.slotRecord = [](int slot) { return slot >= 0 && slot < Slots ? SlotHandle(slot) : nullptr; };
    RaceServices.playerId = [](const PlayerSlot *slot) {
        return static_cast<uint8_t>(*reinterpret_cast<const int *>(slot));
    };
    RaceServices.isTimedOrLappedRace = [] { return fake.timed; };
    RaceServices.raceStartOffset = [] { return fake.startOffset; };
    RaceServices.lapsToRace = [] { return fake.laps; };
    RaceServices.lessonActive = [] { return fake.lesson; };
    RaceServices.queueGamePacket = [](const uint8_t *bytes, int length) {
        fake.packets.emplace_back(bytes, bytes + length);
    };
    RaceServices.queueGamePacketRec = [](const uint8_t *bytes, int length) {
        fake.packets.emplace_back(bytes, bytes + length);
        fake.recorded.emplace_back(bytes, bytes + length);
    };
    RaceServices.flushGameBatch = [](int) { fake.flushes++; };
    RaceServices.isOnline = [] { return fake.online; };
    RaceServices.isStartAllowed = [] { return fake.startAllowed; };
    RaceServices.playInterfaceSound = [](int sound) { fake.sounds.push_back(sound); };
    RaceServices.printMessage = [](const char *text, int colour) {
        fake.messages.emplace_back(text);
        fake.colours.push_back(colour);
    };
    RaceServices.findSpeedLimitZone = [](int32_t, int32_t) {
        return fake.inZone ? reinterpret_cast<const ZoneObject *>(&fake.zoneToken) : nullptr;
    };
    RaceServices.zoneSpeedLimit = [](const ZoneObject *) { return fake.zoneLimit; };
    RaceServices.pitPlaceCount = [] { return fake.placeCount; };
    RaceServices.pitPlacePosition = [](int index, int32_t *x, int32_t *y) {
        if (index != 0)
            return 0;
        *x = fake.placeX;
        *y = fake.placeY;
        return 1;
    };
    RaceServices.pathNodeCount = [] { return fake.pathNodes; };
    RaceServices.carPathNode = [](const CarObject *car) {
        const int i = CarIndex(car);
        return i >= 0 ? fake.nodes[i] : -1;
    };
    RaceServices.gameState = [] { return fake.gameState; };
    RaceServices.isDrivenCar = [](const CarObject *) { return fake.driven; };
    RaceServices.slotRefuelPercent = [](const PlayerSlot *) { return fake.refuelPercent; };
    RaceServices.slotTyreWearPercent = [](const PlayerSlot *) { return fake.tyreWearPercent; };
    RaceServices.slotRepairFlag = [](const PlayerSlot *) { return fake.repairFlag; };
    RaceServices.raceOrderCount = [] { return fake.orderCount; };
    RaceServices.raceOrderSlot = [](int place) { return place >= 0 && place < Slots ? fake.order[place] : -1; };
    RaceServices.sendPitStopStart = [](CarObject *, const uint8_t list[4]) {
        fake.pitStarts++;
        std::memcpy(fake.startList, list, 4);
    };
    RaceServices.sendPitStopDone = [](CarObject *) { fake.pitDones++; };
    RaceServices.sendPitNotice = [](CarObject *) { fake.pitNotices++; };
}

inline void Uninstall() {
    VehicleRaceHooks = {};
    CarNetwork = {};
    RaceServices = {};
}

// Packets of one type byte.
inline std::vector<Bytes> PacketsOfType(uint8_t type) {
    std::vector<Bytes> out;
    for (const Bytes &p : fake.packets) {
        if (!p.empty() && p[0] == type)
            out.push_back(p);
    }
    return out;
}

}  // namespace pit_fake

// The hand-built car with its set-up applied, new tyres, a half-full 50 l
// tank, the pit set-up equal to the set-up in use, 50 s after it was made
// and driving (not stopped). It sits in slot 0 of the fake race.
struct PitCar : ModelCar {
    explicit PitCar(int vehicleClass = 1) : ModelCar(vehicleClass) {
        car.SetUpModel(0);
        for (int i = 0; i < car.wheelCount; i++) {
            CarWheel &w = car.wheels[i];
            for (uint8_t &b : w.treadBytes)
                b = 7;
            w.flat = 0;
            w.springState = 0;
            w.upperArmState = 0;
            w.lowerArmState = 0;
            w.toeState = 0;
        }
        car.pitSetup = *car.setup;
        car.tankSize = 50.0f;
        car.fuel = 25.0f;
        car.stepCount = 5000;
        car.stopped = 0;
        car.takeOverIds[0] = 255;
        car.takeOverIds[1] = 255;
        car.damageCount = 0;
        pit_fake::fake.cars[0] = &car;
    }
};
