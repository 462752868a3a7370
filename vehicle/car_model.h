#pragma once

#include <cstdint>

struct Material;

// Program-wide state of the car models (car_model.cpp).

// Set while a remote car's model is rebuilt and its skin is to be wanted
// from the other programs; the helmet then takes no cached skin.
extern int SkinWantedFlag;
// The running number of the cars' "SOL%d", "ALP%d" and "SHD%d" render
// objects (one number for the three, counted up after each car).
extern int CarRenderObjectCounter;
// 1: lamp colours are drawn as the car data stores them; 0 (the default):
// red, green and blue doubled, capped at 255.
extern int CarLampColoursAsStored;

// 1 while cars draw: graphics on and not a dedicated host. Without drawing
// a car builds no render objects, lamp meshes or rim models.
int CarDrawingOn();
