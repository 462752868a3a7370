// Operations the car's tick calls at fixed points whose work comes later:
// each is empty until its subsystem fills it.
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"

int carSoundStarted = 0;

// The car's progress along the track's path (full: the whole update).
// The race keeps it (it needs the world's path and layout).
void CarObject::UpdateRaceProgress(float dt, int full) {
    if (RaceServices.updateRaceProgress != nullptr)
        RaceServices.updateRaceProgress(this, dt, full);
}

// Tells the race that the car was stopped and placed.
void CarObject::AnnounceCar() {
    if (RaceServices.announceCar != nullptr)
        RaceServices.announceCar(this);
}

