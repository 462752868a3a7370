// The car's reset request: the race-progress packets fill it in.
#include "vehicle/car_object.h"

void CarObject::SendPositionPacket(int force) {
    (void)force;
}
