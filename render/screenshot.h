#pragma once

#include <cstdint>

// Screenshots: the finished frame, taken after it is drawn and before it is
// presented, written as a BMP file into data\shots.

// Clears ScreenshotRequest and saves the back buffer. For an InSim request
// with a name: as data\shots\<name>.bmp (a name that would leave the folder
// is refused), answered with IS_SSH (error 0 saved, 3 refused or failed).
// Otherwise as data\shots\kzv_<8 digits>.bmp of the first number from "Next
// Shot " whose file does not exist; the setting becomes that number + 1
// whether or not the save works. A saved numbered shot's path is shown on
// the head-up display.
void TakeScreenshot();

// Writes the device's back buffer to the path as a 24-bit BMP file. Returns 0, -1
// when there is no back buffer to read ("Could not get back buffer"), or -2
// when the file cannot be written ("Could not save surface to file").
int SaveBackBuffer(const char *path);

// The BMP file: a 24-bit picture without palette, rows from the bottom up,
// each padded to four bytes, pixels as blue, green, red. The image comes in
// 4 bytes per pixel (blue, green, red, alpha), rows from the top down.
bool WriteBmpFile(const char *path, const uint8_t *image, int width, int height);
