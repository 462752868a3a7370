// Operations the car's tick calls at fixed points whose work comes later:
// each is empty until its subsystem fills it.
#include "vehicle/car_object.h"

int carSoundStarted = 0;

// The damage of the tick's contacts and overloads.
void CarObject::AccumulateDamage(PlayerSlot *slot) {
    (void)slot;
}

// Brake help: limits the brake for a moment when an axle locks.
void CarObject::UpdateBrakeHelp() {
}

// Anti-lock brakes: the per-wheel brake release.
void CarObject::StepAbs(float dt) {
    (void)dt;
}

// Traction control's throttle cut of one sub-step, from the driven wheels'
// over-speed.
void CarObject::ApplyTractionCut() {
}

// The wheel's tyre mark on the road and its smoke or dust.
void CarObject::StepTyreMarks(CarWheel &wheel) {
    (void)wheel;
}

// Input changes of an online car, for its state packets.
void CarObject::TrackInputChanges() {
}

// The multiplayer state packets of the car.
void CarObject::SendStatePackets(PlayerSlot *slot) {
    (void)slot;
}

// The car's progress along the track's path (full: the whole update).
void CarObject::UpdateRaceProgress(float dt, int full) {
    (void)dt;
    (void)full;
}

// Tells the race that the car was stopped and placed.
void CarObject::AnnounceCar() {
}

// The wheels' mean load over time, for the race statistics.
void CarObject::UpdateWheelLoadAverage(float dt) {
    (void)dt;
}
