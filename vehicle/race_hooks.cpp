#include "vehicle/race_hooks.h"

RaceHooks VehicleRaceHooks = {};

int RaceSlotCount() {
    if (VehicleRaceHooks.slotCount == nullptr)
        return 0;
    const int count = VehicleRaceHooks.slotCount();
    return count < 0 ? 0 : (count > 32 ? 32 : count);
}

CarObject *RaceSlotCar(int slot) {
    return VehicleRaceHooks.slotCar != nullptr ? VehicleRaceHooks.slotCar(slot) : nullptr;
}

int GetRaceTick(uint32_t *tick) {
    if (VehicleRaceHooks.raceTick == nullptr)
        return 0;
    *tick = VehicleRaceHooks.raceTick();
    return 1;
}

int RaceHotLapMode() {
    return VehicleRaceHooks.hotLapMode != nullptr ? VehicleRaceHooks.hotLapMode() : 0;
}

void RaceInvalidateHotLap(int reason) {
    if (VehicleRaceHooks.invalidateHotLap != nullptr)
        VehicleRaceHooks.invalidateHotLap(reason);
}

void RaceReportObjectHit(const FixVector &position, float radius) {
    if (VehicleRaceHooks.reportObjectHit != nullptr)
        VehicleRaceHooks.reportObjectHit(position, radius);
}

CarObject *RaceLessonContactCar() {
    return VehicleRaceHooks.lessonContactCar != nullptr ? VehicleRaceHooks.lessonContactCar() : nullptr;
}

void RaceReportCarContact() {
    if (VehicleRaceHooks.reportCarContact != nullptr)
        VehicleRaceHooks.reportCarContact();
}

void VehiclePrintWarning(const char *text) {
    if (VehicleRaceHooks.printWarning != nullptr)
        VehicleRaceHooks.printWarning(text);
}
