#include "vehicle/car_race_services.h"

#include "core/file_handover.h"
#include "vehicle/car_object.h"
#include "vehicle/race_hooks.h"

CarRaceServices RaceServices = {};

PlayerSlot *FindCarSlot(const CarObject *car) {
    if (car == nullptr)
        return nullptr;
    const int count = RaceSlotCount();
    for (int slot = 0; slot < count; slot++) {
        if (RaceSlotCar(slot) == car)
            return RaceServices.slotRecord != nullptr ? RaceServices.slotRecord(slot) : nullptr;
    }
    return nullptr;
}

int StartCarDataRecording(CarObject *car) {
    if (car == nullptr || RaceServices.startCarDataRecording == nullptr)
        return 0;
    return RaceServices.startCarDataRecording(car) != 0 ? 1 : 0;
}

void FinishCarDataRecording(CarObject *car) {
    if (car == nullptr)
        return;
    if (car->rafState == 2 && RaceServices.finishCarDataRecording != nullptr)
        RaceServices.finishCarDataRecording(car);
    car->rafState = 0;
}

int RaceIsTimedOrLapped() {
    return RaceServices.isTimedOrLappedRace != nullptr ? RaceServices.isTimedOrLappedRace() : 0;
}

int RaceLessonActive() {
    return RaceServices.lessonActive != nullptr ? RaceServices.lessonActive() : 0;
}

void RaceQueueGamePacket(const uint8_t *bytes, int length) {
    if (RaceServices.queueGamePacket != nullptr)
        RaceServices.queueGamePacket(bytes, length);
}

void RaceFlushGameBatch(int flag) {
    if (RaceServices.flushGameBatch != nullptr)
        RaceServices.flushGameBatch(flag);
}

void RaceSendReliableToHost(const uint8_t *bytes, int length) {
    if (RaceServices.sendReliableToHost != nullptr)
        RaceServices.sendReliableToHost(bytes, length);
}

int RaceIsOnline() {
    return RaceServices.isOnline != nullptr ? RaceServices.isOnline() : 0;
}

int RaceIsReplayPlayback() {
    return RaceServices.isReplayPlayback != nullptr ? RaceServices.isReplayPlayback() : 0;
}

void RacePlayInterfaceSound(int sound) {
    if (RaceServices.playInterfaceSound != nullptr)
        RaceServices.playInterfaceSound(sound);
}

void RaceExitProgram(int code) {
    if (RaceServices.exitProgram != nullptr)
        RaceServices.exitProgram(code);
    else
        ExitProgram(code);
}
