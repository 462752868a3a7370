#pragma once

// Screenshots: the finished frame, taken after it is drawn and before it is
// presented, written as a BMP file into data\shots.

// Clears ScreenshotRequest and saves the back buffer as the next free
// data\shots\kzv_<8 digits>.bmp of "Next Shot ", which goes up by one
// whether or not the save works. A saved shot's path is shown on the
// head-up display.
void TakeScreenshot();

// Writes the back buffer to the path as a 24-bit BMP file. Returns 0, -1
// when there is no back buffer to read ("Could not get back buffer"), or -2
// when the file cannot be written ("Could not save surface to file").
int SaveBackBuffer(const char *path);
