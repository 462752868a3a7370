#pragma once

// The 2D interface pass drawn over each frame, and the screen factors it
// draws with. The main loop sets the factors every pass from the back
// buffer's size and the 3D window's share of it; without a usable screen size
// they are 1, 1, 0, 0 and 1.

extern float ScreenAspect;     // height over width of the interface area: makes corners square
extern float WidthOverHeight;  // its inverse
extern float PixelWidth;       // one pixel in screen units, across
extern float PixelHeight;      // one pixel in screen units, down
extern float TextWidthScale;   // min(1, sqrt(1.333 / width over height)): narrows text on wide screens

// 1: the message history is drawn above the current lines.

// Queues the message lines' texts: glyph size 0.5 x MessageSize in a box
// MessageSize high, one line under the other from MessageTop, x from
// 0.1 x MessageSize - 1; hidden lines are skipped; the history first while
// it is shown.
void DrawMessageTexts();

// Draws the pass's items and the message lines (nothing while the program
// exits), and retires the message lines that have had their time.
void DrawInterface();
