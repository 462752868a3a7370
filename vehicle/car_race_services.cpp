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

uint8_t RaceStartCountdown() {
    return RaceServices.startCountdown != nullptr ? RaceServices.startCountdown() : 0;
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

int RaceIsStartAllowed() {
    return RaceServices.isStartAllowed != nullptr ? RaceServices.isStartAllowed() : 1;
}

int RaceIsSessionBusy() {
    return RaceServices.isSessionBusy != nullptr ? RaceServices.isSessionBusy() : 0;
}

void RaceSendTimedPackets(CarObject *car) {
    if (RaceServices.sendTimedPackets != nullptr)
        RaceServices.sendTimedPackets(car);
}

void RaceGetRemoteCarView(const CarObject *car, RemoteCarView *view) {
    *view = RemoteCarView{0, 0, 0, 0, nullptr, 0, -1, 0};
    if (RaceServices.getRemoteCarView != nullptr)
        RaceServices.getRemoteCarView(car, view);
}

int RaceLowestSpeedLimit() {
    return RaceServices.lowestSpeedLimit != nullptr ? RaceServices.lowestSpeedLimit() : 255;
}

const ZoneObject *RaceFindSpeedLimitZone(int32_t x, int32_t y) {
    return RaceServices.findSpeedLimitZone != nullptr ? RaceServices.findSpeedLimitZone(x, y) : nullptr;
}

int RaceZoneSpeedLimit(const ZoneObject *zone) {
    return zone != nullptr && RaceServices.zoneSpeedLimit != nullptr ? RaceServices.zoneSpeedLimit(zone) : 0;
}

int RacePitPlaceCount() {
    return RaceServices.pitPlaceCount != nullptr ? RaceServices.pitPlaceCount() : 0;
}

int RacePitPlacePosition(int index, int32_t *x, int32_t *y) {
    return RaceServices.pitPlacePosition != nullptr ? RaceServices.pitPlacePosition(index, x, y) : 0;
}

int RacePathNodeCount() {
    return RaceServices.pathNodeCount != nullptr ? RaceServices.pathNodeCount() : 0;
}

int RaceCarPathNode(const CarObject *car) {
    if (car == nullptr)
        return -1;
    if (RaceServices.carPathNode != nullptr)
        return RaceServices.carPathNode(car);
    if (car->pathFollower != nullptr && CarServices.pathFollowerNode != nullptr)
        return CarServices.pathFollowerNode(car->pathFollower);
    return -1;
}

int RacePathIsClosed() {
    return RaceServices.pathIsClosed != nullptr ? RaceServices.pathIsClosed() : 0;
}

int RacePathSection(int node, float t, PathSection *out) {
    return RaceServices.pathSection != nullptr ? RaceServices.pathSection(node, t, out) : 0;
}

int RaceGameState() {
    return RaceServices.gameState != nullptr ? RaceServices.gameState() : 1;
}

int RaceIsDrivenCar(const CarObject *car) {
    return RaceServices.isDrivenCar != nullptr ? RaceServices.isDrivenCar(car) : 0;
}

int RaceSlotRefuelPercent(const PlayerSlot *slot) {
    return slot != nullptr && RaceServices.slotRefuelPercent != nullptr ? RaceServices.slotRefuelPercent(slot) : 0;
}

int RaceSlotTyreWearPercent(const PlayerSlot *slot) {
    return slot != nullptr && RaceServices.slotTyreWearPercent != nullptr ? RaceServices.slotTyreWearPercent(slot)
                                                                          : 0;
}

int RaceSlotRepairFlag(const PlayerSlot *slot) {
    return slot != nullptr && RaceServices.slotRepairFlag != nullptr ? RaceServices.slotRepairFlag(slot) : 0;
}

int RaceOrderCount() {
    return RaceServices.raceOrderCount != nullptr ? RaceServices.raceOrderCount() : 0;
}

int RaceOrderSlot(int place) {
    return RaceServices.raceOrderSlot != nullptr ? RaceServices.raceOrderSlot(place) : -1;
}

void RaceSendPitStopStart(CarObject *car, const uint8_t tyreList[4]) {
    if (RaceServices.sendPitStopStart != nullptr)
        RaceServices.sendPitStopStart(car, tyreList);
}

void RaceSendPitStopDone(CarObject *car) {
    if (RaceServices.sendPitStopDone != nullptr)
        RaceServices.sendPitStopDone(car);
}

void RaceSendPitNotice(CarObject *car) {
    if (RaceServices.sendPitNotice != nullptr)
        RaceServices.sendPitNotice(car);
}

void RaceQueueGamePacketRec(const uint8_t *bytes, int length) {
    if (RaceServices.queueGamePacketRec != nullptr)
        RaceServices.queueGamePacketRec(bytes, length);
    else
        RaceQueueGamePacket(bytes, length);
}

void RacePlayInterfaceSound(int sound) {
    if (RaceServices.playInterfaceSound != nullptr)
        RaceServices.playInterfaceSound(sound);
}

void RacePrintMessage(const char *text, int colour) {
    if (RaceServices.printMessage != nullptr)
        RaceServices.printMessage(text, colour);
}

void RaceExitProgram(int code) {
    if (RaceServices.exitProgram != nullptr)
        RaceServices.exitProgram(code);
    else
        ExitProgram(code);
}
