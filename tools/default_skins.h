#pragma once

// Sides of the default skin images: every car's and the helmet's.
constexpr int CarSkinSide = 1024;
constexpr int HelmetSkinSide = 512;

// Writes the default skin of the helmet ("HEL") and of each car of the car
// table as data/skins/<code>_DEFAULT.jpg under the run folder. Returns null,
// or the text of what went wrong.
const char *WriteDefaultSkins(const char *runFolder);
