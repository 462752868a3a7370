#include "vehicle/car_sound_feed.h"

// The car sound model does not exist yet, so there is nothing to feed.
void FeedCarSoundBuffer(int lastTickOfFrame) {
    (void)lastTickOfFrame;
}
