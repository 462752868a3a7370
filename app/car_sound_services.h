#pragma once

// Connects the car-sound mixer to the race and the session: the player
// slots, the replay skip, the view, the path node under a car, the heard
// byte, and the session's calls that start the mixer, reset and write the
// listener.
void RegisterCarSoundServices();
