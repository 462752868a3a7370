#pragma once

#include <cstdint>
#include <vector>

#include "vehicle/car_damage.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"

// Race hooks of a session with `Slots` slots, slot i driven by `slotCars[i]`
// with an opaque slot record of its own. A test fixture derives from this
// beside its own fixture, installs in SetUp and restores in TearDown.
template <int Slots>
class RaceSlotHooks {
protected:
    void InstallRaceSlotHooks() {
        savedHooks = VehicleRaceHooks;
        savedServices = RaceServices;
        for (CarObject *&car : slotCars)
            car = nullptr;
        RaceServices.slotRecord = [](int slot) { return reinterpret_cast<PlayerSlot *>(slotBytes[slot]); };
        VehicleRaceHooks.slotCount = [] { return Slots; };
        VehicleRaceHooks.slotCar = [](int slot) { return slotCars[slot]; };
    }
    void RestoreRaceSlotHooks() {
        VehicleRaceHooks = savedHooks;
        RaceServices = savedServices;
        for (CarObject *&car : slotCars)
            car = nullptr;
    }

    static inline CarObject *slotCars[Slots] = {};

private:
    RaceHooks savedHooks{};
    CarRaceServices savedServices{};
    alignas(8) static inline unsigned char slotBytes[Slots][64] = {};
};

// One slot of an online session, its player id the one given to Install;
// the damage packets the car queues are kept in `packets`.
class OnlineDamageHooks : public RaceSlotHooks<1> {
protected:
    void InstallOnlineDamageHooks(uint8_t id) {
        InstallRaceSlotHooks();
        packets.clear();
        playerId = id;
        RaceServices.playerId = [](const PlayerSlot *) { return playerId; };
        RaceServices.isOnline = [] { return 1; };
        RaceServices.isStartAllowed = [] { return 1; };
        RaceServices.queueGamePacket = [](const uint8_t *bytes, int length) {
            if (length > 0 && bytes[0] == CarDamagePacketId)
                packets.emplace_back(bytes, bytes + length);
        };
    }

    static inline std::vector<std::vector<uint8_t>> packets;

private:
    static inline uint8_t playerId = 0;
};
